#pragma once
// The wire trace for support: one line per frame a link sends or receives,
//
//   2026-03-05 08:07:00.123 > m=5 code=03 len=2 seq=17 127.0.0.1:4370
//
// (local time, > sent by the PC or < received, machine number, code in hex,
// payload length, sequence number, the link's endpoint). The program opens
// the file (--trace FILE) and hands the trace to its links through
// LinkOptions; only the frame channel writes to it. One trace may serve links
// on several threads: each line goes out whole, in one write.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace aktarim {

class WritableFile;

enum class TraceDirection { Sent, Received };

class WireTrace {
  public:
    // Opens path for appending, creating it when missing; throws
    // AppError(Io) when it cannot.
    explicit WireTrace(const std::string& path);
    ~WireTrace();
    WireTrace(const WireTrace&) = delete;
    WireTrace& operator=(const WireTrace&) = delete;

    void Frame(TraceDirection direction, int32_t machine, uint8_t code, uint16_t seq, size_t length,
               std::string_view endpoint);

    // A trace that could not be written stops there and never fails a call
    // of a link; the program asks afterwards and says so.
    bool failed() const;
    std::string failure() const;

    // One line without its time and line end, as Frame writes it.
    static std::string FrameText(TraceDirection direction, int32_t machine, uint8_t code,
                                 uint16_t seq, size_t length, std::string_view endpoint);

  private:
    mutable std::mutex mutex_;
    std::unique_ptr<WritableFile> file_;
    std::string failure_;
};

}  // namespace aktarim
