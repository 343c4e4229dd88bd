#include "terminal/FrameChannel.h"

#include "terminal/WireTrace.h"

namespace aktarim {
namespace {

constexpr size_t kReadBufferSize = 64 * 1024;

}  // namespace

FrameChannel::FrameChannel(std::unique_ptr<Transport> transport, std::string endpoint,
                           int32_t baudRate, std::shared_ptr<WireTrace> trace)
    : transport_(std::move(transport)),
      endpoint_(std::move(endpoint)),
      baudRate_(baudRate),
      trace_(std::move(trace)),
      readBuffer_(kReadBufferSize) {}

FrameChannel::~FrameChannel() = default;

IoStatus FrameChannel::Send(int32_t machine, uint8_t code, uint16_t seq,
                            std::span<const uint8_t> payload, Clock::time_point deadline) {
    sendBuffer_.clear();
    wire::AppendFrame(sendBuffer_, machine, code, seq, payload);
    if (trace_) trace_->Frame(TraceDirection::Sent, machine, code, seq, payload.size(), endpoint_);
    return transport_->Write(sendBuffer_, deadline);
}

IoStatus FrameChannel::Next(std::optional<wire::Frame>& frame, Clock::time_point deadline) {
    frame = decoder_.Next();
    if (frame) {
        if (trace_)
            trace_->Frame(TraceDirection::Received, frame->machine, frame->code, frame->seq,
                          frame->payload.size(), endpoint_);
        return IoStatus::Ok;
    }
    // A read may still hand over bytes that were waiting when its deadline
    // had already passed; without this check a peer that never stops
    // sending would keep the caller here for ever.
    if (Clock::now() >= deadline) return IoStatus::Timeout;
    size_t received = 0;
    const IoStatus status = transport_->Read(readBuffer_, deadline, received);
    if (status == IoStatus::Ok) decoder_.Feed({readBuffer_.data(), received});
    return status;
}

FrameChannel::Clock::duration FrameChannel::LineTime(size_t bytes) const {
    if (baudRate_ <= 0) return Clock::duration::zero();
    // Start bit, eight data bits, stop bit.
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::microseconds(static_cast<int64_t>(bytes) * 10 * 1'000'000 / baudRate_));
}

}  // namespace aktarim
