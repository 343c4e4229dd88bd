#pragma once
// One frame of the wire protocol (docs/protocol.md), the same on TCP and on a
// serial line:
//
//   marker A5 5A | machine u32 | code u8 | seq u16 | length u32 | header CRC-16
//   | payload (length bytes) | CRC-32 over everything before it
//
// Integers are little-endian. The header has its own check so that a damaged
// length is caught before the receiver waits for bytes that never come.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace aktarim::wire {

inline constexpr uint8_t kMarker0 = 0xA5;
inline constexpr uint8_t kMarker1 = 0x5A;
inline constexpr size_t kHeaderSize = 15;
inline constexpr size_t kTrailerSize = 4;
inline constexpr size_t kMaxPayload = 64 * 1024;
inline constexpr size_t kMaxFrameSize = kHeaderSize + kMaxPayload + kTrailerSize;

struct Frame {
    int32_t machine = 0;  // address on the bus; 0 is the broadcast of the TCP handshake
    uint8_t code = 0;
    uint16_t seq = 0;
    std::vector<uint8_t> payload;

    bool operator==(const Frame&) const = default;
};

// What a checked header announces, before the payload is there.
struct FrameHeader {
    int32_t machine = 0;
    uint8_t code = 0;
    uint16_t seq = 0;
    uint32_t length = 0;  // payload bytes, at most kMaxPayload

    size_t frameSize() const { return kHeaderSize + length + kTrailerSize; }
};

// Appends one encoded frame to out. The payload must not exceed kMaxPayload
// (checked: std::length_error).
void AppendFrame(std::vector<uint8_t>& out, int32_t machine, uint8_t code, uint16_t seq,
                 std::span<const uint8_t> payload);
std::vector<uint8_t> EncodeFrame(const Frame& frame);

// Cuts frames out of a byte stream fed in pieces of any size. Bytes that do
// not form a valid frame (no marker, bad header check, length over the cap,
// bad CRC) are dropped one at a time until the next marker, so a receiver
// always resynchronises on the next good frame. Memory stays bounded by the
// largest frame plus what one Feed brings.
class FrameDecoder {
  public:
    void Feed(std::span<const uint8_t> bytes);
    // The next whole, checked frame, or nullopt when more bytes are needed.
    std::optional<Frame> Next();
    void Reset();

    // After Next() gave nullopt: the header of the frame still arriving, once
    // that header has passed its check; nullopt while no such header is there.
    std::optional<FrameHeader> PendingHeader() const;

    // Bytes held back waiting for the rest of a frame.
    size_t buffered() const { return buffer_.size() - start_; }
    // Bytes thrown away while resynchronising, since construction or Reset.
    uint64_t discarded() const { return discarded_; }
    // Where the first held-back byte sits in the stream (bytes dropped or
    // taken as frames before it), so a caller can tell one pending frame from
    // the next.
    uint64_t offset() const { return offset_; }

  private:
    void Drop(size_t count);
    void Consume(size_t count);

    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    uint64_t discarded_ = 0;
    uint64_t offset_ = 0;
};

}  // namespace aktarim::wire
