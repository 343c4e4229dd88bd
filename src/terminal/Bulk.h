#pragma once
// Bulk transfers: the reply to a load (BulkBegin: item and chunk counts), then
// the chunks (each: its index, its item count, the items), then an end frame
// with the total count and a CRC-32 over every chunk's item bytes. The
// receiver accepts the transfer only when every chunk came in order and every
// count and checksum agrees; anything else throws the whole load away.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "terminal/Crc.h"
#include "terminal/Frame.h"
#include "terminal/Messages.h"

namespace aktarim::wire {

// Item bytes per chunk. Large enough that the frame overhead is far below 1%
// of a slow serial line, small enough that a chunk is a short wait at 9600 baud.
inline constexpr size_t kChunkTarget = 8 * 1024;
// Room for the chunk header (two varints) inside the payload cap.
inline constexpr size_t kMaxChunkItemBytes = kMaxPayload - 10;
// The most a load may announce and bring. Far beyond what a terminal holds;
// they bound what a broken or hostile peer can make the PC hold and wait for.
inline constexpr uint32_t kMaxBulkItems = 1u << 22;
inline constexpr uint64_t kMaxBulkItemBytes = uint64_t{1} << 29;

// Frames of one bulk reply, built from items already encoded back to back
// (itemEnds[i] is the end offset of item i). stopAfter cuts the stream after
// that many items and leaves out the end frame. nullopt when one item is too
// large for a chunk.
std::optional<std::vector<uint8_t>> BuildBulkFrames(int32_t machine, Code code, uint16_t seq,
                                                    std::span<const uint8_t> itemBytes,
                                                    std::span<const size_t> itemEnds,
                                                    std::optional<uint64_t> stopAfter = {},
                                                    size_t chunkTarget = kChunkTarget);

template <class Item>
std::optional<std::vector<uint8_t>> BuildBulkReply(int32_t machine, Code code, uint16_t seq,
                                                   std::span<const Item> items,
                                                   std::optional<uint64_t> stopAfter = {},
                                                   size_t chunkTarget = kChunkTarget) {
    PayloadWriter w;
    std::vector<size_t> ends;
    ends.reserve(items.size());
    for (const Item& item : items) {
        Encode(w, item);
        ends.push_back(w.size());
    }
    return BuildBulkFrames(machine, code, seq, w.bytes(), ends, stopAfter, chunkTarget);
}

enum class BulkProgress { More, Complete, Broken };

template <class Item>
class BulkReceiver {
  public:
    explicit BulkReceiver(const BulkBegin& begin) : begin_(begin) {
        // Every chunk holds at least one item, so such a transfer never ends.
        if (begin.itemCount > kMaxBulkItems || begin.chunkCount > begin.itemCount) {
            progress_ = BulkProgress::Broken;
            return;
        }
        // The count comes from the peer: reserve only a bounded amount.
        items_.reserve(std::min<uint32_t>(begin.itemCount, 1u << 16));
    }

    // Takes the next chunk or end frame (already matched to the request).
    BulkProgress Take(const Frame& frame) {
        if (progress_ != BulkProgress::More) return progress_;
        if (frame.code == kChunkCode) return TakeChunk(frame.payload);
        if (frame.code == kEndCode) return TakeEnd(frame.payload);
        return Break();
    }

    BulkProgress progress() const { return progress_; }
    // What arrived, once the transfer is Complete; empty otherwise.
    std::vector<Item> TakeItems() {
        if (progress_ != BulkProgress::Complete) return {};
        return std::move(items_);
    }

  private:
    BulkProgress TakeChunk(std::span<const uint8_t> payload) {
        PayloadReader r(payload);
        ChunkHeader header;
        if (!Decode(r, header) || header.index != nextChunk_ || header.index >= begin_.chunkCount ||
            header.itemCount == 0 || header.itemCount > begin_.itemCount - items_.size())
            return Break();
        itemBytes_ += r.Rest().size();
        if (itemBytes_ > kMaxBulkItemBytes) return Break();
        itemsCrc_ = Crc32(r.Rest(), itemsCrc_);
        for (uint32_t i = 0; i < header.itemCount; ++i) {
            Item item{};
            if (!Decode(r, item)) return Break();
            items_.push_back(std::move(item));
        }
        if (!r.AtEnd()) return Break();
        ++nextChunk_;
        return progress_;
    }

    BulkProgress TakeEnd(std::span<const uint8_t> payload) {
        const auto end = DecodePayload<BulkEnd>(payload);
        if (!end || nextChunk_ != begin_.chunkCount || items_.size() != begin_.itemCount ||
            end->itemCount != begin_.itemCount || end->itemsCrc != itemsCrc_)
            return Break();
        progress_ = BulkProgress::Complete;
        return progress_;
    }

    BulkProgress Break() {
        items_.clear();
        progress_ = BulkProgress::Broken;
        return progress_;
    }

    BulkBegin begin_;
    uint32_t nextChunk_ = 0;
    uint32_t itemsCrc_ = 0;
    uint64_t itemBytes_ = 0;
    std::vector<Item> items_;
    BulkProgress progress_ = BulkProgress::More;
};

}  // namespace aktarim::wire
