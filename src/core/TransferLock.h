#pragma once
// One transfer at a time. A transfer holds this lock for its whole run, taken
// before it opens any file; saving the device list and the options take it
// for their moment. It locks two things: the program folder, and the folder
// that holds the record file, so that two program folders naming the same
// record file are kept apart as well.
//
// The lock is the operating system's (flock on the folder itself on POSIX,
// LockFileEx on a lock file on Windows): it goes with the process that holds
// it, so a killed or crashed transfer leaves nothing to remove by hand. It
// locks folders rather than the record file, because another program may
// delete, rename or replace that file at any time and a lock on it would no
// longer guard the name; a folder also needs no write access, so a read-only
// record folder locks as well. Two record files in one folder therefore
// share a lock.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace aktarim {

// The first words of the message of a lock that stayed taken; the folder or
// file follows.
inline constexpr const char* kTransferBusyText = "Başka bir aktarım sürüyor: ";

class TransferLock {
  public:
    // Takes the locks of programFolder and of recordFile's folder (one lock
    // when they are the same folder), waiting up to `wait` for another holder
    // to let go; a wait of zero tries once. When the time is up it throws
    // AppError(Busy, kTransferBusyText + programFolder or recordFile),
    // naming what was taken, and holds nothing. A folder that does not exist
    // yet is locked through the nearest folder above it that does. Other
    // failures throw AppError(Io, ...).
    TransferLock(const std::string& programFolder, const std::string& recordFile,
                 std::chrono::milliseconds wait);
    ~TransferLock();
    TransferLock(const TransferLock&) = delete;
    TransferLock& operator=(const TransferLock&) = delete;

    // How many distinct folders are held (1 or 2).
    size_t heldCount() const { return held_.size(); }

  private:
    void ReleaseAll();

    // The open descriptors (POSIX) or handles (Windows) that hold the locks.
    std::vector<intptr_t> held_;
};

}  // namespace aktarim
