// The terminal's side: any bytes arriving on its line go through the frame
// decoder and the request handler of a small terminal. Whatever comes in,
// the handler must answer with well-formed frames only, addressed from the
// terminal, echoing the request's sequence number.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "WireFuzzInput.h"
#include "terminal/Bulk.h"
#include "terminal/Frame.h"
#include "terminal/Messages.h"
#include "terminal/RequestHandler.h"

using namespace aktarim;

namespace {

constexpr int32_t kMachine = 3;

TerminalState SmallState() {
    TerminalState state;
    state.machineNumber = kMachine;
    state.users[1] = {1, "Ayşe", "1", 0, true, ""};
    state.users[2] = {2, "Şükrü", "", 3, true, ""};
    state.templates[{1, 0}] = std::string(40, 'A');
    state.log = {{1, 1, 0, 2024, 1, 2, 3, 4, 5}, {2, 0, 1, 2024, 6, 7, 8, 9, 10}};
    return state;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::WireInput input = fuzz::ReadWireInput(data, size, kMachine);
    const bool serial = (input.flags & fuzz::kSerialFlag) != 0;
    MemoryTerminal terminal(SmallState());
    ServerFaults faults;
    faults.failClear = (input.flags & 0x04) != 0;
    if ((input.flags & 0x08) != 0) faults.dropAfterRecords = 1;
    wire::RequestHandler handler(terminal, faults, [] { return std::time_t{1700000000}; });

    wire::FrameDecoder decoder;
    // Fed in two pieces so that frames split across reads are covered too.
    const size_t half = input.stream.size() / 2;
    for (const auto piece :
         {std::span(input.stream).first(half), std::span(input.stream).subspan(half)}) {
        decoder.Feed(piece);
        while (std::optional<wire::Frame> request = decoder.Next()) {
            Check(request->payload.size() <= wire::kMaxPayload);
            const std::optional<wire::ServerReply> reply = handler.Handle(*request, serial);
            if (!reply) continue;
            Check((request->code & wire::kReplyBit) == 0);
            wire::FrameDecoder replies;
            replies.Feed(reply->bytes);
            size_t frames = 0;
            while (std::optional<wire::Frame> frame = replies.Next()) {
                Check(frame->machine == kMachine && frame->seq == request->seq);
                if (frames++ == 0) {
                    Check(frame->code == (request->code | wire::kReplyBit));
                    Check(wire::SplitReplyPayload(frame->payload).has_value());
                } else {
                    Check(frame->code == wire::kChunkCode || frame->code == wire::kEndCode);
                }
            }
            Check(frames > 0 && replies.buffered() == 0 && replies.discarded() == 0);
        }
    }
    return 0;
}
