#pragma once
// Frames over one Transport: the only place where the PC's frames leave and
// arrive, so the wire trace is written here and nowhere else. It knows the
// line's speed, so that the link above can give a frame on a slow serial
// line the time the line needs to carry it.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "terminal/Frame.h"
#include "terminal/Transport.h"

namespace aktarim {

class WireTrace;

class FrameChannel {
  public:
    using Clock = Transport::Clock;

    // endpoint names the other end in the trace ("127.0.0.1:4370",
    // "/dev/ttyS0"); baudRate is 0 on TCP.
    FrameChannel(std::unique_ptr<Transport> transport, std::string endpoint, int32_t baudRate,
                 std::shared_ptr<WireTrace> trace);
    ~FrameChannel();

    IoStatus Send(int32_t machine, uint8_t code, uint16_t seq, std::span<const uint8_t> payload,
                  Clock::time_point deadline);

    // One step of receiving: a whole, checked frame already held back, or else
    // one read of whatever the line brings before the deadline. Ok with no
    // frame means bytes came but no whole frame yet; Timeout once the deadline
    // has passed, however steadily bytes arrive.
    IoStatus Next(std::optional<wire::Frame>& frame, Clock::time_point deadline);

    const wire::FrameDecoder& decoder() const { return decoder_; }

    // How long the line takes to carry n bytes: nothing on TCP, ten bits a
    // byte on a serial line.
    Clock::duration LineTime(size_t bytes) const;

  private:
    std::unique_ptr<Transport> transport_;
    std::string endpoint_;
    int32_t baudRate_;
    std::shared_ptr<WireTrace> trace_;
    wire::FrameDecoder decoder_;
    std::vector<uint8_t> readBuffer_;
    std::vector<uint8_t> sendBuffer_;
};

}  // namespace aktarim
