#include "terminal/WireTrace.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/Platform.h"

namespace aktarim {
namespace {

std::string LocalTimeText(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    const std::tm local = LocalTime(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

}  // namespace

WireTrace::WireTrace(const std::string& path) : file_(RealFileSystem().OpenAppend(path)) {}

WireTrace::~WireTrace() = default;

std::string WireTrace::FrameText(TraceDirection direction, int32_t machine, uint8_t code,
                                 uint16_t seq, size_t length, std::string_view endpoint) {
    char text[96];
    std::snprintf(text, sizeof text, "%c m=%d code=%02X len=%zu seq=%u ",
                  direction == TraceDirection::Sent ? '>' : '<', static_cast<int>(machine),
                  static_cast<unsigned>(code), length, static_cast<unsigned>(seq));
    return text + std::string(endpoint);
}

void WireTrace::Frame(TraceDirection direction, int32_t machine, uint8_t code, uint16_t seq,
                      size_t length, std::string_view endpoint) {
    const std::string line = LocalTimeText(std::chrono::system_clock::now()) + " " +
                             FrameText(direction, machine, code, seq, length, endpoint) + "\r\n";
    std::lock_guard lock(mutex_);
    if (!file_) return;
    try {
        file_->Write(line);
    } catch (const AppError& e) {
        failure_ = e.what();
        file_.reset();
    }
}

bool WireTrace::failed() const {
    std::lock_guard lock(mutex_);
    return !failure_.empty();
}

std::string WireTrace::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

}  // namespace aktarim
