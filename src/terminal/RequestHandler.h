#pragma once
// The terminal's side of the protocol without any I/O: one request frame in,
// the bytes of the reply out. TerminalServer feeds it; the fuzzers drive it
// directly.
#include <ctime>
#include <functional>
#include <optional>
#include <vector>

#include "terminal/Frame.h"
#include "terminal/MemoryTerminal.h"
#include "terminal/TerminalServer.h"

namespace aktarim::wire {

struct ServerReply {
    std::vector<uint8_t> bytes;  // one or more encoded frames
    bool dropAfter = false;      // cut the line once these bytes are out
};

class RequestHandler {
  public:
    RequestHandler(
        MemoryTerminal& terminal, const ServerFaults& faults,
        std::function<std::time_t()> now = [] { return std::time(nullptr); });

    // nullopt when the frame gets no answer: not a request, or addressed to
    // another machine. On a serial bus the broadcast address is not answered
    // either, since every terminal on the bus would answer at once.
    std::optional<ServerReply> Handle(const Frame& request, bool serialLine);

  private:
    void Answer(const Frame& request, int32_t from, ServerReply& reply);

    MemoryTerminal& terminal_;
    const ServerFaults& faults_;
    std::function<std::time_t()> now_;
};

}  // namespace aktarim::wire
