#pragma once
// The one seam through which every file the program writes passes, so that
// tests can fail the n-th call or simulate a crash.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace aktarim {

// Which file an open file or a path is, whatever its name: device and inode
// on POSIX, volume serial number and file index on Windows. Two equal
// identities are the same file.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;

    bool operator==(const FileIdentity&) const = default;
};

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
    // The file this handle has open, even after its name was removed or
    // given to another file.
    virtual FileIdentity Identity() = 0;
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

    // What replacing a file must keep of what the user set up. The defaults
    // suit a file system without links or permissions (the test doubles).

    // The file a write to `path` must reach: symbolic links (and, on
    // Windows, junctions and other reparse points) followed to their final
    // target, a relative target taken from the link's folder; `path` itself
    // when it is no link. A link whose target is missing gives that target,
    // so that the first write creates it and the link stays.
    virtual std::string ResolveLinks(const std::string& path) { return path; }
    // False when `path` exists and is read-only for the running user: its
    // permissions give the user no write access, and for a user who may
    // write anything (root) no one has write access, as a file with the
    // Windows read-only attribute. True for a missing file.
    virtual bool MayWrite(const std::string& /*path*/) { return true; }
    // Gives `to` (a new file of ours) the permissions of `from`: its mode
    // (on Windows its attributes and access list), and its owner and group
    // where the process may set them; a refused owner or group is no error.
    // Throws AppError(Io, ...) when the mode cannot be set.
    virtual void CopyPermissions(const std::string& /*from*/, const std::string& /*to*/) {}

    // Reads the path's kind without opening it, so a FIFO cannot block.
    virtual PathKind KindOf(const std::string& path);

    // The file standing at path now (a symbolic link followed), or nullopt
    // when there is none.
    virtual std::optional<FileIdentity> IdentityAt(const std::string& path) = 0;
};

FileSystem& RealFileSystem();

// The platform's text for an error code, in the run-time's words.
std::string IoErrorText(int errorNumber);

// Replaces path by content in one step: a temporary file beside it, given
// the old file's permissions, synced, renamed over the old one. A symbolic
// link is followed and its target replaced, the link kept. A file that is
// read-only for the running user is refused with the platform's text for
// EACCES. Throws AppError(Io, ...) and leaves the old file untouched on
// failure.
void WriteFileAtomically(FileSystem& fs, const std::string& path, std::string_view content);
// The same with a temporary file of a given name in the target's folder.
void WriteFileAtomically(FileSystem& fs, const std::string& path, std::string_view content,
                         const std::string& tempName);

// True when `file` is still the file standing at `path`: false once another
// program deleted, renamed or replaced it, so that the caller reopens the
// path before writing lines that must reach the file at that name.
bool StandsAt(FileSystem& fs, WritableFile& file, const std::string& path);

// Cuts `file` back to `length` when it is longer, and never grows it: a file
// that another program emptied or shortened meanwhile is left as it is, so
// a rollback can never fill it with zero bytes. True when it cut.
bool ShrinkTo(WritableFile& file, uint64_t length);

std::string DirectoryOf(const std::string& path);
// The folder that holds the running program file.
std::string ExecutableFolder();
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace aktarim
