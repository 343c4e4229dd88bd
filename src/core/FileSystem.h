#pragma once
// The one seam through which every file the program writes passes, so that
// tests can fail the n-th call or simulate a crash.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace aktarim {

// An open file. Every failing call throws AppError(Io, IoErrorText(...)).
class WritableFile {
public:
    virtual ~WritableFile() = default;
    virtual void Write(std::string_view bytes) = 0;
    // Flushes and forces the content to the disk.
    virtual void Sync() = 0;
    virtual uint64_t Size() = 0;
    virtual void Truncate(uint64_t length) = 0;
    virtual void Close() = 0;
};

// What a path names, links followed.
enum class PathKind { Missing, RegularFile, Directory, Other };

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // The whole content, or nullopt when the file is missing or unreadable.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // The last `count` bytes (all of a shorter file), or nullopt like ReadFile.
    virtual std::optional<std::string> ReadTail(const std::string& path, uint64_t count);
    // Opens for appending, creating the file when it is missing.
    virtual std::unique_ptr<WritableFile> OpenAppend(const std::string& path) = 0;
    // Creates the file empty, replacing any earlier content.
    virtual std::unique_ptr<WritableFile> Create(const std::string& path) = 0;
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    virtual void Remove(const std::string& path) = 0;
    virtual void CreateDirectories(const std::string& path) = 0;
    virtual void SyncDirectory(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Reads the path's kind without opening it, so a FIFO cannot block.
    virtual PathKind KindOf(const std::string& path);
};

FileSystem& RealFileSystem();

// The platform's text for an error code, in the run-time's words.
std::string IoErrorText(int errorNumber);

// Replaces path by content in one step: a temporary file in the same folder,
// synced, renamed over the old one. Throws AppError(Io, ...) and leaves the
// old file untouched on failure.
void WriteFileAtomically(FileSystem& fs, const std::string& path, std::string_view content);

std::string DirectoryOf(const std::string& path);
// The folder that holds the running program file.
std::string ExecutableFolder();
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace aktarim
