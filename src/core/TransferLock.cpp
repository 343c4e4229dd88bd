#include "core/TransferLock.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>
#include <utility>

#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/Platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace aktarim {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// How often a waiting lock tries again.
constexpr std::chrono::milliseconds kRetryInterval{25};

// No descriptor; on Windows the value of INVALID_HANDLE_VALUE as well.
constexpr intptr_t kNoHandle = -1;

struct Target {
    std::string folder;   // an existing folder
    std::string shownAs;  // what the busy message names
    intptr_t handle = kNoHandle;
    FileIdentity identity;
};

// The folder itself when it exists, else the nearest one above it: a
// missing folder still gets the same key in every process.
std::string ExistingFolder(const std::string& folder) {
    std::error_code ec;
    fs::path path = fs::absolute(folder.empty() ? fs::path(".") : PathFromUtf8(folder), ec);
    if (ec) return folder.empty() ? "." : folder;
    path = path.lexically_normal();
    while (!fs::is_directory(path, ec)) {
        if (!path.has_parent_path() || path.parent_path() == path) break;
        path = path.parent_path();
    }
    return Utf8FromPath(path);
}

// The record file's folder; through a symbolic link, the folder of the file
// it names, so that two names of one file share the lock.
std::string RecordFolder(const std::string& recordFile) {
    std::error_code ec;
    const fs::path real = fs::canonical(PathFromUtf8(recordFile), ec);
    if (!ec) return Utf8FromPath(real.parent_path());
    return DirectoryOf(recordFile);
}

[[noreturn]] void ThrowOpenFailure(const std::string& folder, int errorNumber) {
    throw AppError(ErrorKind::Io, folder + ": " + IoErrorText(errorNumber));
}

#ifdef _WIN32

// Windows locks files, not folders: a lock file in the folder stands for it.
void Open(Target& target) {
    const std::wstring path = (PathFromUtf8(target.folder) / "aktarim.lock").wstring();
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) ThrowOpenFailure(target.folder, EACCES);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        ::CloseHandle(h);
        ThrowOpenFailure(target.folder, EACCES);
    }
    target.handle = reinterpret_cast<intptr_t>(h);
    target.identity = {info.dwVolumeSerialNumber,
                       (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// True when taken, false when another holder has it.
bool TryLock(const Target& target) {
    OVERLAPPED whole{};
    if (::LockFileEx(reinterpret_cast<HANDLE>(target.handle),
                     LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole))
        return true;
    if (::GetLastError() == ERROR_LOCK_VIOLATION) return false;
    throw AppError(ErrorKind::Io, target.folder + ": " + IoErrorText(EIO));
}

void Close(intptr_t handle) { ::CloseHandle(reinterpret_cast<HANDLE>(handle)); }

#else

// POSIX locks the folder itself: flock needs only a read-only descriptor,
// creates no file, and is released by the kernel with the process.
void Open(Target& target) {
    const int fd = ::open(target.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) ThrowOpenFailure(target.folder, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        ThrowOpenFailure(target.folder, error);
    }
    target.handle = fd;
    target.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool TryLock(const Target& target) {
    for (;;) {
        if (::flock(static_cast<int>(target.handle), LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return false;
        throw AppError(ErrorKind::Io, target.folder + ": " + IoErrorText(errno));
    }
}

void Close(intptr_t handle) { ::close(static_cast<int>(handle)); }

#endif

}  // namespace

TransferLock::TransferLock(const std::string& programFolder, const std::string& recordFile,
                           std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + std::max(wait, std::chrono::milliseconds(0));
    std::vector<Target> targets;
    targets.push_back({ExistingFolder(programFolder), programFolder, kNoHandle, {}});
    targets.push_back({ExistingFolder(RecordFolder(recordFile)), recordFile, kNoHandle, {}});
    try {
        for (Target& target : targets) Open(target);
        // One folder under two names is locked once (a second lock on it
        // would wait for ourselves); and every process takes the locks in
        // the same order, so two waiting transfers cannot block each other.
        if (targets[0].identity == targets[1].identity) {
            Close(targets[1].handle);
            targets.pop_back();
        } else if (std::pair(targets[1].identity.device, targets[1].identity.file) <
                   std::pair(targets[0].identity.device, targets[0].identity.file)) {
            std::swap(targets[0], targets[1]);
        }
        for (Target& target : targets) {
            while (!TryLock(target)) {
                const auto now = Clock::now();
                if (now >= deadline)
                    throw AppError(ErrorKind::Busy, kTransferBusyText + target.shownAs);
                std::this_thread::sleep_for(
                    std::min<Clock::duration>(kRetryInterval, deadline - now));
            }
            held_.push_back(std::exchange(target.handle, kNoHandle));
        }
    } catch (...) {
        for (const Target& target : targets)
            if (target.handle != kNoHandle) Close(target.handle);
        ReleaseAll();
        throw;
    }
}

TransferLock::~TransferLock() { ReleaseAll(); }

void TransferLock::ReleaseAll() {
    // Closing the last descriptor of a lock releases it.
    for (const intptr_t handle : held_) Close(handle);
    held_.clear();
}

}  // namespace aktarim
