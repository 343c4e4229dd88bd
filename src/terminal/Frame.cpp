#include "terminal/Frame.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "terminal/Crc.h"

namespace aktarim::wire {
namespace {

void PutU16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t GetU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

// Offsets inside the header.
constexpr size_t kMachineAt = 2;
constexpr size_t kCodeAt = 6;
constexpr size_t kSeqAt = 7;
constexpr size_t kLengthAt = 9;
constexpr size_t kHeaderCrcAt = 13;

}  // namespace

void AppendFrame(std::vector<uint8_t>& out, int32_t machine, uint8_t code, uint16_t seq,
                 std::span<const uint8_t> payload) {
    if (payload.size() > kMaxPayload) throw std::length_error("frame payload over the cap");
    const size_t begin = out.size();
    out.resize(begin + kHeaderSize + payload.size() + kTrailerSize);
    uint8_t* frame = out.data() + begin;
    frame[0] = kMarker0;
    frame[1] = kMarker1;
    PutU32(frame + kMachineAt, static_cast<uint32_t>(machine));
    frame[kCodeAt] = code;
    PutU16(frame + kSeqAt, seq);
    PutU32(frame + kLengthAt, static_cast<uint32_t>(payload.size()));
    PutU16(frame + kHeaderCrcAt, Crc16Ccitt({frame, kHeaderCrcAt}));
    if (!payload.empty()) std::memcpy(frame + kHeaderSize, payload.data(), payload.size());
    const size_t checked = kHeaderSize + payload.size();
    PutU32(frame + checked, Crc32({frame, checked}));
}

std::vector<uint8_t> EncodeFrame(const Frame& frame) {
    std::vector<uint8_t> out;
    AppendFrame(out, frame.machine, frame.code, frame.seq, frame.payload);
    return out;
}

void FrameDecoder::Feed(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    // Compact before growing so that a long stream reuses one buffer.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void FrameDecoder::Consume(size_t count) {
    start_ += count;
    offset_ += count;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
}

void FrameDecoder::Drop(size_t count) {
    discarded_ += count;
    Consume(count);
}

void FrameDecoder::Reset() {
    buffer_.clear();
    start_ = 0;
    discarded_ = 0;
    offset_ = 0;
}

std::optional<FrameHeader> FrameDecoder::PendingHeader() const {
    const uint8_t* data = buffer_.data() + start_;
    if (buffered() < kHeaderSize || data[0] != kMarker0 || data[1] != kMarker1) return std::nullopt;
    if (GetU16(data + kHeaderCrcAt) != Crc16Ccitt({data, kHeaderCrcAt})) return std::nullopt;
    const uint32_t length = GetU32(data + kLengthAt);
    if (length > kMaxPayload) return std::nullopt;
    return FrameHeader{static_cast<int32_t>(GetU32(data + kMachineAt)), data[kCodeAt],
                       GetU16(data + kSeqAt), length};
}

std::optional<Frame> FrameDecoder::Next() {
    for (;;) {
        const uint8_t* data = buffer_.data() + start_;
        const size_t available = buffer_.size() - start_;
        if (available == 0) return std::nullopt;

        // Skip to the next possible marker; a lone A5 at the very end may
        // still become one.
        size_t skip = 0;
        while (skip < available) {
            const void* found = std::memchr(data + skip, kMarker0, available - skip);
            if (found == nullptr) {
                skip = available;
                break;
            }
            skip = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
            if (skip + 1 == available || data[skip + 1] == kMarker1) break;
            ++skip;
        }
        if (skip > 0) {
            Drop(skip);
            continue;
        }
        if (available < kHeaderSize) return std::nullopt;

        if (GetU16(data + kHeaderCrcAt) != Crc16Ccitt({data, kHeaderCrcAt})) {
            Drop(1);
            continue;
        }
        const uint32_t length = GetU32(data + kLengthAt);
        if (length > kMaxPayload) {
            Drop(1);
            continue;
        }
        const size_t total = kHeaderSize + length + kTrailerSize;
        if (available < total) return std::nullopt;
        if (GetU32(data + kHeaderSize + length) != Crc32({data, kHeaderSize + length})) {
            Drop(1);
            continue;
        }

        Frame frame;
        frame.machine = static_cast<int32_t>(GetU32(data + kMachineAt));
        frame.code = data[kCodeAt];
        frame.seq = GetU16(data + kSeqAt);
        frame.payload.assign(data + kHeaderSize, data + kHeaderSize + length);
        Consume(total);
        return frame;
    }
}

}  // namespace aktarim::wire
