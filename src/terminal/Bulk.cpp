#include "terminal/Bulk.h"

namespace aktarim::wire {

std::optional<std::vector<uint8_t>> BuildBulkFrames(int32_t machine, Code code, uint16_t seq,
                                                    std::span<const uint8_t> itemBytes,
                                                    std::span<const size_t> itemEnds,
                                                    std::optional<uint64_t> stopAfter,
                                                    size_t chunkTarget) {
    chunkTarget = std::clamp<size_t>(chunkTarget, 1, kMaxChunkItemBytes);

    // Plan the chunks: as many whole items as fit the target, at least one.
    std::vector<size_t> chunkEnds;  // item index one past each chunk
    size_t first = 0;
    size_t begin = 0;  // byte offset of item `first`
    while (first < itemEnds.size()) {
        size_t last = first;
        if (itemEnds[first] - begin > kMaxChunkItemBytes) return std::nullopt;
        while (last + 1 < itemEnds.size() && itemEnds[last + 1] - begin <= chunkTarget) ++last;
        chunkEnds.push_back(last + 1);
        begin = itemEnds[last];
        first = last + 1;
    }

    const size_t itemCount = itemEnds.size();
    std::vector<uint8_t> out;
    out.reserve(itemBytes.size() + chunkEnds.size() * (kHeaderSize + kTrailerSize + 10) + 64);
    AppendFrame(out, machine, ReplyCode(code), seq,
                OkReply(BulkBegin{static_cast<uint32_t>(itemCount),
                                  static_cast<uint32_t>(chunkEnds.size())}));

    const size_t limit =
        stopAfter ? static_cast<size_t>(std::min<uint64_t>(*stopAfter, itemCount)) : itemCount;
    uint32_t crc = 0;
    size_t sent = 0;
    std::vector<uint8_t> payload;
    for (size_t chunk = 0; chunk < chunkEnds.size() && sent < limit; ++chunk) {
        const size_t end = std::min(chunkEnds[chunk], limit);
        const size_t from = sent == 0 ? 0 : itemEnds[sent - 1];
        const std::span<const uint8_t> items = itemBytes.subspan(from, itemEnds[end - 1] - from);
        PayloadWriter header;
        Encode(header,
               ChunkHeader{static_cast<uint32_t>(chunk), static_cast<uint32_t>(end - sent)});
        payload.assign(header.bytes().begin(), header.bytes().end());
        payload.insert(payload.end(), items.begin(), items.end());
        AppendFrame(out, machine, kChunkCode, seq, payload);
        crc = Crc32(items, crc);
        sent = end;
    }
    if (!stopAfter) {
        AppendFrame(out, machine, kEndCode, seq,
                    EncodePayload(BulkEnd{static_cast<uint32_t>(itemCount), crc}));
    }
    return out;
}

}  // namespace aktarim::wire
