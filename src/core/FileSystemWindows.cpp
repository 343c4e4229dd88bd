// The file calls on Windows: wide-character names (the program's paths are
// UTF-8), binary handles, FlushFileBuffers for a sync and MoveFileExW with
// write-through for a replace. Failures carry the same errno values as on
// POSIX, so IoErrorText gives the same words.
#ifdef _WIN32
#include <windows.h>

#include <cerrno>

#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/Platform.h"

namespace aktarim {
namespace {

int ErrnoFromWindows(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        default:
            return EIO;
    }
}

[[noreturn]] void ThrowLastError() {
    throw AppError(ErrorKind::Io, IoErrorText(ErrnoFromWindows(::GetLastError())));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The volume and the file index: what tells one file from another, as the
// device and inode do on POSIX.
std::optional<FileIdentity> IdentityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Other programs (the payroll program above all) may read, rename or delete
// the record file while it is open here.
HANDLE OpenHandle(const std::string& path, DWORD access, DWORD disposition) {
    return ::CreateFileW(WidePath(path).c_str(), access, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

class WindowsFile final : public WritableFile {
  public:
    WindowsFile(HANDLE handle, bool append) : handle_(handle), append_(append) {}
    ~WindowsFile() override {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    void Write(std::string_view bytes) override {
        // Appending means at the end as it stands now, as O_APPEND does.
        if (append_) {
            LARGE_INTEGER zero{};
            if (!::SetFilePointerEx(handle_, zero, nullptr, FILE_END)) ThrowLastError();
        }
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(handle_, bytes.data(), chunk, &written, nullptr)) ThrowLastError();
            bytes.remove_prefix(written);
        }
    }
    void Sync() override {
        if (!::FlushFileBuffers(handle_)) ThrowLastError();
    }
    uint64_t Size() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle_, &size)) ThrowLastError();
        return static_cast<uint64_t>(size.QuadPart);
    }
    void Truncate(uint64_t length) override {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(length);
        if (!::SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle_))
            ThrowLastError();
    }
    FileIdentity Identity() override {
        const std::optional<FileIdentity> identity = IdentityOf(handle_);
        if (!identity) ThrowLastError();
        return *identity;
    }
    void Close() override {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (handle != INVALID_HANDLE_VALUE && !::CloseHandle(handle)) ThrowLastError();
    }

  private:
    HANDLE handle_;
    bool append_;
};

// Reads from offset to the end; nullopt when the file cannot be read.
std::optional<std::string> ReadFrom(const std::string& path, uint64_t tailCount, bool tailOnly) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    try {
        handle = OpenHandle(path, GENERIC_READ, OPEN_EXISTING);
    } catch (const AppError&) {
        return std::nullopt;
    }
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> content;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(handle, &size)) {
        const auto total = static_cast<uint64_t>(size.QuadPart);
        const uint64_t start = tailOnly && total > tailCount ? total - tailCount : 0;
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(start);
        if (::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN)) {
            std::string bytes;
            char buffer[65536];
            DWORD got = 0;
            bool ok = true;
            while ((ok = ::ReadFile(handle, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
                bytes.append(buffer, got);
            if (ok) content = std::move(bytes);
        }
    }
    ::CloseHandle(handle);
    return content;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

class WindowsFileSystem final : public FileSystem {
  public:
    std::optional<std::string> ReadFile(const std::string& path) override {
        return ReadFrom(path, 0, false);
    }
    std::optional<std::string> ReadTail(const std::string& path, uint64_t count) override {
        return ReadFrom(path, count, true);
    }
    std::unique_ptr<WritableFile> OpenAppend(const std::string& path) override {
        return Open(path, OPEN_ALWAYS, true);
    }
    std::unique_ptr<WritableFile> Create(const std::string& path) override {
        return Open(path, CREATE_ALWAYS, false);
    }
    void Rename(const std::string& from, const std::string& to) override {
        // Unlike POSIX rename, MoveFileExW replaces an existing file only when
        // asked; write-through returns once the move is on the disk.
        if (!::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            ThrowLastError();
    }
    void Remove(const std::string& path) override {
        if (!::DeleteFileW(WidePath(path).c_str())) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                throw AppError(ErrorKind::Io, IoErrorText(ErrnoFromWindows(error)));
        }
    }
    void CreateDirectories(const std::string& path) override {
        // Each missing folder from the top down; a drive or share root exists.
        for (size_t end = 0; end != std::string::npos;) {
            end = path.find_first_of("/\\", end + 1);
            const std::string prefix = path.substr(0, end);
            if (prefix.empty() || IsSeparator(prefix.back()) || prefix.back() == ':') continue;
            if (IsFolder(prefix)) continue;
            if (!::CreateDirectoryW(WidePath(prefix).c_str(), nullptr) &&
                ::GetLastError() != ERROR_ALREADY_EXISTS)
                ThrowLastError();
        }
    }
    // A folder cannot be flushed on Windows; the write-through move above is
    // what makes a replace durable there.
    void SyncDirectory(const std::string&) override {}
    bool Exists(const std::string& path) override {
        try {
            return ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
        } catch (const AppError&) {
            return false;
        }
    }

    std::optional<FileIdentity> IdentityAt(const std::string& path) override {
        HANDLE handle = INVALID_HANDLE_VALUE;
        try {
            // No access asked: only the file's information is read.
            handle = OpenHandle(path, 0, OPEN_EXISTING);
        } catch (const AppError&) {
            return std::nullopt;
        }
        if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
        const std::optional<FileIdentity> identity = IdentityOf(handle);
        ::CloseHandle(handle);
        return identity;
    }

  private:
    static std::unique_ptr<WritableFile> Open(const std::string& path, DWORD disposition,
                                              bool append) {
        const HANDLE handle = OpenHandle(path, GENERIC_READ | GENERIC_WRITE, disposition);
        if (handle == INVALID_HANDLE_VALUE) ThrowLastError();
        return std::make_unique<WindowsFile>(handle, append);
    }
};

}  // namespace

FileSystem& RealFileSystem() {
    static WindowsFileSystem fs;
    return fs;
}

std::string DirectoryOf(const std::string& path) {
    const auto separator = path.find_last_of("/\\");
    if (separator == std::string::npos) {
        // "C:name" is relative to the current folder of drive C.
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    }
    // The root of a drive keeps its separator: "C:\" is not "C:".
    if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return ".";
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return DirectoryOf(Utf8FromWide(buffer));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return IsSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

}  // namespace aktarim
#endif
