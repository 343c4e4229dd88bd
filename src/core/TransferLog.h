#pragma once
// aktarim.log in the program folder: one line per device a transfer visited,
// from the window and from aktarim-cli alike, for whoever has to find out
// what a scheduled transfer did at night.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "core/FileSystem.h"
#include "core/Transfer.h"

namespace aktarim {

inline constexpr const char* kTransferLogName = "aktarim.log";
// Past this size the log keeps only its newer half.
inline constexpr uint64_t kTransferLogLimit = 1024 * 1024;

// "YYYY-MM-DD HH:MM:SS <tab> number <tab> name <tab> result <tab> N kayıt
// <tab> silindi|bırakıldı <tab> reason", in UTF-8 without a line end.
std::string TransferLogLine(const std::tm& when, const std::string& deviceName,
                            const DeviceOutcome& outcome);

// Appends the lines (UTF-8, one per line) in code page 1254 with CR LF.
// Once the file would pass `limit` it is rewritten in one step with its last
// half, cut at a line start. Swallows every error (and returns false): a log
// that cannot be written must not fail the transfer it reports.
bool AppendToTransferLog(FileSystem& fs, const std::string& path, std::string_view utf8Lines,
                         uint64_t limit = kTransferLogLimit);

}  // namespace aktarim
