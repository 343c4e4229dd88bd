#include "core/RecordFile.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

#include "core/Errors.h"

namespace aktarim {
namespace {

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "000,ddddd,S YYYY/MM/DD HH:MM:00" with a state of any width.
bool IsWholeRecordLine(std::string_view line) {
    if (line.size() < 31 || line.substr(0, 4) != "000," || !IsDigits(line.substr(4, 5)) ||
        line[9] != ',')
        return false;
    const std::string_view rest = line.substr(10);
    const size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return false;
    const std::string_view state = rest.substr(0, blank);
    if (!IsDigits(state.front() == '-' ? state.substr(1) : state)) return false;
    const std::string_view when = rest.substr(blank);  // " YYYY/MM/DD HH:MM:00"
    return when.size() == 20 && IsDigits(when.substr(1, 4)) && when[5] == '/' &&
           IsDigits(when.substr(6, 2)) && when[8] == '/' && IsDigits(when.substr(9, 2)) &&
           when[11] == ' ' && IsDigits(when.substr(12, 2)) && when[14] == ':' &&
           IsDigits(when.substr(15, 2)) && when.substr(17) == ":00";
}

bool HoldsLine(std::string_view lines, std::string_view line) {
    for (size_t at = lines.find(line); at != std::string_view::npos;
         at = lines.find(line, at + 1)) {
        const bool starts = at == 0 || lines[at - 1] == '\n';
        if (starts && lines.substr(at + line.size(), 2) == "\r\n") return true;
    }
    return false;
}

}  // namespace

bool IsInterruptedTail(std::string_view tail, std::string_view lines) {
    const size_t last = tail.find_last_not_of('\0');
    if (last == std::string_view::npos) return true;
    std::string_view fragment = tail.substr(0, last + 1);
    const bool lostLf = fragment.back() == '\r';
    if (lostLf) fragment.remove_suffix(1);
    constexpr std::string_view kHead = "000,";
    if (fragment.size() < kHead.size()) return kHead.substr(0, fragment.size()) == fragment;
    if (fragment.substr(0, kHead.size()) != kHead) return false;
    if (fragment.find_first_not_of("0123456789,/: -") != std::string_view::npos) return false;
    return lostLf || !IsWholeRecordLine(fragment) || HoldsLine(lines, fragment);
}

void CheckRecordFilePath(FileSystem& fs, const std::string& path) {
    switch (fs.KindOf(path)) {
        case PathKind::Missing:
        case PathKind::RegularFile:
            return;
        case PathKind::Directory:
            throw AppError(ErrorKind::Io, "'" + path + "' bir klasör, kayıt dosyası olamaz");
        case PathKind::Other:
            break;
    }
    throw AppError(ErrorKind::Io, "'" + path + "' düz bir dosya değil, kayıt dosyası olamaz");
}

DeviceRecordFiles::DeviceRecordFiles(FileSystem& fs, const std::string& backupPath,
                                     const std::string& recordPath)
    : fs_(fs),
      folders_{DirectoryOf(backupPath), DirectoryOf(recordPath)},
      backupPath_(backupPath),
      recordPath_(recordPath),
      backup_(fs.OpenAppend(backupPath)),
      record_(fs.OpenAppend(recordPath)) {
    backupStart_ = backup_->Size();
    recordStart_ = record_->Size();
}

void DeviceRecordFiles::ReopenMoved() {
    for (auto [file, path, start] : {std::tuple{&record_, &recordPath_, &recordStart_},
                                     std::tuple{&backup_, &backupPath_, &backupStart_}}) {
        if (StandsAt(fs_, **file, *path)) continue;
        // Nothing of ours is in the old file yet: it is left as it is.
        try {
            (*file)->Close();
        } catch (const AppError&) {
        }
        *file = fs_.OpenAppend(*path);
        *start = (*file)->Size();
    }
}

void DeviceRecordFiles::CutBack(bool recordFile, uint64_t length) {
    WritableFile& file = recordFile ? *record_ : *backup_;
    const std::string& path = recordFile ? recordPath_ : backupPath_;
    uint64_t& start = recordFile ? recordStart_ : backupStart_;
    if (!StandsAt(fs_, file, path)) return;
    if (ShrinkTo(file, length)) file.Sync();
    start = std::min(start, file.Size());
}

void DeviceRecordFiles::StartLines(std::string_view recordLines, std::string_view backupLines) {
    if (started_) return;
    StartOnANewLine(*record_, recordPath_, recordStart_, recordLines);
    StartOnANewLine(*backup_, backupPath_, backupStart_, backupLines);
    started_ = true;
}

void DeviceRecordFiles::Commit(std::string_view recordLines, std::string_view backupLines) {
    try {
        StartLines(recordLines, backupLines);
        if (!recordLines.empty()) record_->Write(recordLines);
        if (!backupLines.empty()) backup_->Write(backupLines);
        record_->Sync();
        backup_->Sync();
        // A file this transfer created survives a power cut only once its
        // folder's entry for it is on the disk too.
        for (const std::string& folder : folders_) fs_.SyncDirectory(folder);
    } catch (const AppError&) {
        RollBack();
        throw;
    }
    done_ = true;
    // The lines are on the disk; a failing close cannot take them back, and
    // cutting the files back now would lose them.
    for (WritableFile* file : {record_.get(), backup_.get()}) {
        try {
            file->Close();
        } catch (const AppError&) {
        }
    }
}

void DeviceRecordFiles::RollBack() noexcept {
    if (done_) return;
    done_ = true;
    for (auto [file, start] :
         {std::pair{record_.get(), recordStart_}, std::pair{backup_.get(), backupStart_}}) {
        try {
            // Only ever shorter: a file another program emptied meanwhile
            // must not grow zero bytes.
            if (ShrinkTo(*file, start)) file->Sync();
        } catch (const AppError&) {
        }
        try {
            file->Close();
        } catch (const AppError&) {
        }
    }
}

// Makes the lines to come start on a line of their own: removes what an
// interrupted transfer left after the last line end, or ends a last line that
// someone else left open. start follows, so that a failure later cuts the
// file back to where this device began and never past a repair.
void DeviceRecordFiles::StartOnANewLine(WritableFile& file, const std::string& path,
                                        uint64_t& start, std::string_view lines) {
    const uint64_t size = start;
    if (size == 0) return;
    constexpr uint64_t kWindow = 64 * 1024;
    std::optional<std::string> tail = fs_.ReadTail(path, kWindow);
    if (!tail || tail->size() != std::min(size, kWindow)) return;  // unreadable: leave it be
    size_t lastEnd = tail->rfind('\n');
    if (lastEnd == std::string::npos && size > kWindow) {
        tail = fs_.ReadFile(path);
        if (!tail || tail->size() != size) return;
        lastEnd = tail->rfind('\n');
    }
    const size_t open = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    if (open == tail->size()) return;
    if (IsInterruptedTail(std::string_view(*tail).substr(open), lines)) {
        const uint64_t end = size - (tail->size() - open);
        file.Truncate(end);
        file.Sync();
        start = end;
        return;
    }
    file.Write("\r\n");
    start = size + 2;
}

}  // namespace aktarim
