// The link's side: any bytes coming back from a terminal go through the frame
// decoder, the reply parsers and the bulk receivers. Checks: every frame and
// every payload that decodes encodes back to the very same bytes, and a bulk
// transfer that completes holds exactly the items it announced.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <variant>

#include "WireFuzzInput.h"
#include "terminal/Bulk.h"
#include "terminal/Frame.h"
#include "terminal/Messages.h"

using namespace aktarim;
using namespace aktarim::wire;

namespace {

constexpr int32_t kMachine = 3;

void Check(bool condition) {
    if (!condition) std::abort();
}

template <class T>
void ParseBody(std::span<const uint8_t> body) {
    const std::optional<T> value = DecodePayload<T>(body);
    if (!value) return;
    const std::vector<uint8_t> again = EncodePayload(*value);
    Check(std::equal(again.begin(), again.end(), body.begin(), body.end()));
}

using AnyReceiver = std::variant<std::monostate, BulkReceiver<AttendanceItem>,
                                 BulkReceiver<UserRecord>, BulkReceiver<TemplateRecord>>;

// Frames after the transfer ended are not its business; the items are taken
// once, at the moment it completes.
template <class Item>
void Feed(BulkReceiver<Item>& receiver, const BulkBegin& begin, const Frame& frame) {
    if (receiver.progress() != BulkProgress::More) {
        Check(receiver.Take(frame) == receiver.progress());
        return;
    }
    if (receiver.Take(frame) != BulkProgress::Complete) return;
    Check(receiver.TakeItems().size() == begin.itemCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::WireInput input = fuzz::ReadWireInput(data, size, kMachine);
    FrameDecoder decoder;
    AnyReceiver receiver;
    BulkBegin begin;
    const size_t third = input.stream.size() / 3;
    for (const auto piece :
         {std::span(input.stream).first(third), std::span(input.stream).subspan(third)}) {
        decoder.Feed(piece);
        while (std::optional<Frame> frame = decoder.Next()) {
            Check(EncodeFrame(*frame).size() == kHeaderSize + frame->payload.size() + kTrailerSize);
            FrameDecoder again;
            again.Feed(EncodeFrame(*frame));
            Check(again.Next() == frame);

            if (frame->code == kChunkCode || frame->code == kEndCode) {
                std::visit(
                    [&](auto& r) {
                        if constexpr (!std::is_same_v<std::decay_t<decltype(r)>, std::monostate>)
                            Feed(r, begin, *frame);
                    },
                    receiver);
                continue;
            }
            const std::optional<SplitReply> split = SplitReplyPayload(frame->payload);
            if (!split || split->status != Status::Ok) continue;
            switch (static_cast<Code>(frame->code & ~kReplyBit)) {
                case Code::Hello:
                    ParseBody<HelloReply>(split->body);
                    break;
                case Code::GetStatus:
                    ParseBody<IntValue>(split->body);
                    break;
                case Code::GetClock:
                    ParseBody<ClockValue>(split->body);
                    break;
                case Code::ReadUser:
                    ParseBody<UserRecord>(split->body);
                    break;
                case Code::ReadTemplate:
                    ParseBody<TemplateText>(split->body);
                    break;
                case Code::LoadAttendanceLog:
                case Code::LoadUsers:
                case Code::LoadTemplates: {
                    const std::optional<BulkBegin> b = DecodePayload<BulkBegin>(split->body);
                    if (!b) break;
                    begin = *b;
                    const auto code = static_cast<Code>(frame->code & ~kReplyBit);
                    if (code == Code::LoadAttendanceLog)
                        receiver.emplace<BulkReceiver<AttendanceItem>>(begin);
                    else if (code == Code::LoadUsers)
                        receiver.emplace<BulkReceiver<UserRecord>>(begin);
                    else
                        receiver.emplace<BulkReceiver<TemplateRecord>>(begin);
                    break;
                }
                default:
                    break;
            }
        }
        // A header the decoder announces is one whose frame is still short.
        if (const std::optional<FrameHeader> header = decoder.PendingHeader())
            Check(header->frameSize() > decoder.buffered() && header->length <= kMaxPayload);
    }
    return 0;
}
