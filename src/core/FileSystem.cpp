#include "core/FileSystem.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <process.h>  // getpid; the Windows forms are in FileSystemWindows.cpp
#endif

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/Errors.h"
#include "core/Platform.h"

namespace aktarim {
namespace {
#ifndef _WIN32

[[noreturn]] void ThrowIo(int errorNumber) {
    throw AppError(ErrorKind::Io, IoErrorText(errorNumber));
}

class PosixFile final : public WritableFile {
  public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    void Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                ThrowIo(errno);
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }
    void Sync() override {
        if (::fsync(fd_) != 0) ThrowIo(errno);
    }
    uint64_t Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) ThrowIo(errno);
        return static_cast<uint64_t>(st.st_size);
    }
    void Truncate(uint64_t length) override {
        if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) ThrowIo(errno);
    }
    FileIdentity Identity() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) ThrowIo(errno);
        return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    }
    void Close() override {
        const int fd = fd_;
        fd_ = -1;
        if (fd >= 0 && ::close(fd) != 0) ThrowIo(errno);
    }

  private:
    int fd_;
};

class PosixFileSystem final : public FileSystem {
  public:
    static constexpr int kMaxLinkHops = 40;

    std::optional<std::string> ReadFile(const std::string& path) override {
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::nullopt;
        std::ostringstream content;
        content << in.rdbuf();
        if (in.bad()) return std::nullopt;
        return std::move(content).str();
    }
    std::optional<std::string> ReadTail(const std::string& path, uint64_t count) override {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) return std::nullopt;
        const auto size = static_cast<uint64_t>(in.tellg());
        const uint64_t start = size > count ? size - count : 0;
        std::string tail(static_cast<size_t>(size - start), '\0');
        in.seekg(static_cast<std::streamoff>(start));
        if (!in.read(tail.data(), static_cast<std::streamsize>(tail.size()))) return std::nullopt;
        return tail;
    }
    std::unique_ptr<WritableFile> OpenAppend(const std::string& path) override {
        return Open(path, O_WRONLY | O_APPEND | O_CREAT);
    }
    std::unique_ptr<WritableFile> Create(const std::string& path) override {
        return Open(path, O_WRONLY | O_TRUNC | O_CREAT);
    }
    void Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) ThrowIo(errno);
    }
    void Remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowIo(errno);
    }
    void CreateDirectories(const std::string& path) override {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (ec) ThrowIo(ec.value());
    }
    void SyncDirectory(const std::string& path) override {
        const int fd =
            ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) ThrowIo(errno);
        const int rc = ::fsync(fd);
        const int err = errno;
        ::close(fd);
        if (rc != 0 && err != EINVAL) ThrowIo(err);
    }
    bool Exists(const std::string& path) override { return ::access(path.c_str(), F_OK) == 0; }
    std::optional<FileIdentity> IdentityAt(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
            ThrowIo(errno);
        }
        return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    }

    std::string ResolveLinks(const std::string& path) override {
        std::string current = path;
        for (int hop = 0; hop < kMaxLinkHops; ++hop) {
            struct stat st {};
            if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
            std::error_code ec;
            const std::string target = std::filesystem::read_symlink(current, ec).string();
            if (ec) ThrowIo(ec.value());
            current = !target.empty() && target.front() == '/'
                          ? target
                          : JoinPath(DirectoryOf(current), target);
        }
        ThrowIo(ELOOP);
    }
    bool MayWrite(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
        // Root may write anything; a file no one may write is still read-only.
        if (::geteuid() == 0) return (st.st_mode & 0222) != 0;
        return ::access(path.c_str(), W_OK) == 0;
    }
    void CopyPermissions(const std::string& from, const std::string& to) override {
        struct stat st {};
        if (::stat(from.c_str(), &st) != 0) ThrowIo(errno);
        // Owner and group first: changing them may clear set-id bits.
        if (::chown(to.c_str(), st.st_uid, st.st_gid) != 0) {
            // Not the owner's: keep the group at least, where we belong to it.
            [[maybe_unused]] const int ignored =
                ::chown(to.c_str(), static_cast<uid_t>(-1), st.st_gid);
        }
        if (::chmod(to.c_str(), st.st_mode & 07777) != 0) ThrowIo(errno);
    }

  private:
    static std::unique_ptr<WritableFile> Open(const std::string& path, int flags) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd < 0) ThrowIo(errno);
        return std::make_unique<PosixFile>(fd);
    }
};

#endif
}  // namespace

std::optional<std::string> FileSystem::ReadTail(const std::string& path, uint64_t count) {
    std::optional<std::string> content = ReadFile(path);
    if (content && content->size() > count)
        content->erase(0, content->size() - static_cast<size_t>(count));
    return content;
}

PathKind FileSystem::KindOf(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(PathFromUtf8(path), error);
    switch (status.type()) {
        case std::filesystem::file_type::not_found:
        case std::filesystem::file_type::none:
            return PathKind::Missing;
        case std::filesystem::file_type::regular:
            return PathKind::RegularFile;
        case std::filesystem::file_type::directory:
            return PathKind::Directory;
        default:
            return PathKind::Other;
    }
}

#ifndef _WIN32
FileSystem& RealFileSystem() {
    static PosixFileSystem fs;
    return fs;
}
#endif

std::string IoErrorText(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return "Dosya bulunamadı";
        case ENOTDIR:
            return "Yol bulunamadı";
        case EACCES:
        case EPERM:
        case EROFS:
            return "Dosyaya erişim engellendi";
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return "Disk dolu";
        case EMFILE:
        case ENFILE:
            return "Açık dosya sayısı çok fazla";
        default:
            return "G/Ç hatası " + std::to_string(errorNumber);
    }
}

bool StandsAt(FileSystem& fs, WritableFile& file, const std::string& path) {
    const std::optional<FileIdentity> atPath = fs.IdentityAt(path);
    return atPath && *atPath == file.Identity();
}

bool ShrinkTo(WritableFile& file, uint64_t length) {
    if (file.Size() <= length) return false;
    file.Truncate(length);
    return true;
}

#ifndef _WIN32
std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path().string();
    return exe.parent_path().string();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}
#endif

void WriteFileAtomically(FileSystem& fs, const std::string& path, std::string_view content) {
    static std::atomic<unsigned> counter{0};
    const std::string target = fs.ResolveLinks(path);
    const std::string name = target.substr(target.find_last_of("/\\") + 1);
    WriteFileAtomically(
        fs, target, content,
        name + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
}

void WriteFileAtomically(FileSystem& fs, const std::string& path, std::string_view content,
                         const std::string& tempName) {
    const std::string target = fs.ResolveLinks(path);
    const bool replacing = fs.Exists(target);
    // Renaming over a read-only file would succeed; the user meant it to stay.
    if (replacing && !fs.MayWrite(target)) throw AppError(ErrorKind::Io, IoErrorText(EACCES));
    const std::string temp = JoinPath(DirectoryOf(target), tempName);
    try {
        auto file = fs.Create(temp);
        file->Write(content);
        if (replacing) fs.CopyPermissions(target, temp);
        file->Sync();
        file->Close();
        fs.Rename(temp, target);
    } catch (...) {
        try {
            fs.Remove(temp);
        } catch (...) {
        }
        throw;
    }
    // The new content is in place; a folder that cannot be synced only
    // weakens durability across a power cut, so it does not undo the write.
    try {
        fs.SyncDirectory(DirectoryOf(target));
    } catch (const AppError&) {
    }
}

}  // namespace aktarim
