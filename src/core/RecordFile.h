#pragma once
// The two files a device's records go to: the record file and the day's
// backup of that device. A device's lines reach both files all or nothing,
// are on the disk (and so are the folders' entries for new files) before
// Commit returns, and begin on a line of their own whatever an interrupted
// transfer left at a file's end.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/FileSystem.h"

namespace aktarim {

// Whether the bytes after a file's last line end are what an interrupted
// transfer left: zeros of a power cut, part of a record line (a line that
// lost only its LF included), or a whole record line that `lines` (what is
// about to be written) holds again. Such a remnant's records are still on a
// terminal, since a log is erased only once its lines are on the disk.
// Anything else, a whole record line the terminal no longer has among them,
// may be someone's own text and is kept.
bool IsInterruptedTail(std::string_view tail, std::string_view lines);

// Throws AppError(Io, ...) naming the path when it names something that is
// neither a regular file nor missing (a folder, a FIFO, a device): appending
// to it would hang or fail after a terminal was already contacted.
void CheckRecordFilePath(FileSystem& fs, const std::string& path);

class DeviceRecordFiles {
  public:
    // Opens (creating when missing) both files for appending and notes
    // their lengths: a failure later cuts both back to them.
    DeviceRecordFiles(FileSystem& fs, const std::string& backupPath, const std::string& recordPath);
    ~DeviceRecordFiles() { RollBack(); }
    DeviceRecordFiles(const DeviceRecordFiles&) = delete;
    DeviceRecordFiles& operator=(const DeviceRecordFiles&) = delete;

    // Reopens a file that another program deleted, renamed or replaced
    // since it was opened, so that the lines reach the file at the path; its
    // start becomes the new file's length.
    void ReopenMoved();

    // Cuts the record file (or the backup) back to `length`, never growing
    // it, when it is still the file at its path: what an interrupted
    // transfer left torn there is written again. The start follows.
    void CutBack(bool recordFile, uint64_t length);

    // Makes both files start on a line of their own (see StartOnANewLine);
    // after it the starts are where this device's lines begin. Commit
    // calls it when nobody did.
    void StartLines(std::string_view recordLines, std::string_view backupLines);
    uint64_t recordStart() const { return recordStart_; }
    uint64_t backupStart() const { return backupStart_; }
    const std::string& recordPath() const { return recordPath_; }
    const std::string& backupPath() const { return backupPath_; }

    // Writes the lines to the record file, then to the backup, and forces
    // both files and their folders to the disk. On any failure cuts both
    // files back and rethrows.
    void Commit(std::string_view lines) { Commit(lines, lines); }
    // The same with lines of each file's own: an interrupted transfer may
    // have left some of them in one file and not in the other.
    void Commit(std::string_view recordLines, std::string_view backupLines);

    // Cuts both files back and closes them; does nothing once committed.
    void RollBack() noexcept;

  private:
    void StartOnANewLine(WritableFile& file, const std::string& path, uint64_t& start,
                         std::string_view lines);

    FileSystem& fs_;
    std::array<std::string, 2> folders_;
    std::string backupPath_;
    std::string recordPath_;
    std::unique_ptr<WritableFile> backup_;
    std::unique_ptr<WritableFile> record_;
    uint64_t backupStart_ = 0;
    uint64_t recordStart_ = 0;
    bool started_ = false;
    bool done_ = false;
};

}  // namespace aktarim
