#include "core/TransferLog.h"

#include <exception>
#include <memory>

#include "core/Errors.h"
#include "core/NumberField.h"
#include "core/Text.h"

namespace aktarim {
namespace {

std::string_view ResultWords(DeviceOutcome::Result result) {
    switch (result) {
        case DeviceOutcome::Result::NotContacted:
            return "bağlantı tipi tanınmadı";
        case DeviceOutcome::Result::Connected:
            return "aktarıldı";
        case DeviceOutcome::Result::ConnectFailed:
            return "bağlantı kurulamadı";
        case DeviceOutcome::Result::LoadFailed:
            return "kayıtlar alınamadı";
        case DeviceOutcome::Result::WriteFailed:
            return "dosyaya yazılamadı";
    }
    return "";
}

// Keeps the part of content after the first line end at or past its middle.
std::string NewerHalf(const std::string& content) {
    const size_t end = content.find('\n', content.size() / 2);
    return end == std::string::npos ? std::string() : content.substr(end + 1);
}

}  // namespace

std::string TransferLogLine(const std::tm& when, const std::string& deviceName,
                            const DeviceOutcome& outcome) {
    std::string line = ZeroPadded(when.tm_year + 1900, 4) + "-" + ZeroPadded(when.tm_mon + 1, 2) +
                       "-" + ZeroPadded(when.tm_mday, 2) + " " + ZeroPadded(when.tm_hour, 2) + ":" +
                       ZeroPadded(when.tm_min, 2) + ":" + ZeroPadded(when.tm_sec, 2);
    line += "\t" + std::to_string(outcome.number) + "\t" + deviceName;
    line += "\t" + std::string(ResultWords(outcome.result));
    line += "\t" + std::to_string(outcome.recordsWritten) + " kayıt";
    line += outcome.logErased ? "\tsilindi" : "\tbırakıldı";
    line += "\t" + outcome.error;
    // A reason carries no line end of its own into the log.
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

bool AppendToTransferLog(FileSystem& fs, const std::string& path, std::string_view utf8Lines,
                         uint64_t limit) {
    try {
        std::string lines;
        for (size_t at = 0; at < utf8Lines.size();) {
            size_t end = utf8Lines.find('\n', at);
            if (end == std::string_view::npos) end = utf8Lines.size();
            std::string_view line = utf8Lines.substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            lines += Utf8ToCp1254(std::string(line)) + "\r\n";
            at = end + 1;
        }
        if (lines.empty()) return true;
        std::unique_ptr<WritableFile> file = fs.OpenAppend(path);
        const uint64_t size = file->Size();
        std::string opening;
        if (size > 0) {
            const auto last = fs.ReadTail(path, 1);
            if (last && *last != "\n") opening = "\r\n";  // someone's unended line
        }
        if (size + opening.size() + lines.size() <= limit) {
            file->Write(opening + lines);
            file->Sync();
            file->Close();
            return true;
        }
        file->Close();
        const std::optional<std::string> old = fs.ReadFile(path);
        std::string content = old.value_or("") + opening + lines;
        while (content.size() > limit) content = NewerHalf(content);
        WriteFileAtomically(fs, path, content);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace aktarim
