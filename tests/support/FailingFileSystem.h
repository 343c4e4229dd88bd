#pragma once
// A FileSystem over the real one that fails chosen calls, the way a full
// disk or a read-only folder would. Running as root makes permission bits
// useless for this, so tests fail calls here instead.
#include <cerrno>
#include <functional>
#include <memory>
#include <string>

#include "core/Errors.h"
#include "core/FileSystem.h"

namespace aktarim::test {

class FailingFileSystem : public FileSystem {
  public:
    // Counted calls: the opens, Write, Sync, Truncate, Rename, Remove and
    // CreateDirectories; with countCloseAndDirectorySync also Close and
    // SyncDirectory. Which calls fail: the n-th counted call (1-based) once,
    // or it and every later one; or every counted call on a path containing
    // a text.
    int failAt = 0;
    bool failFromThenOn = false;
    std::string failPathContaining;
    int errorNumber = EACCES;
    int calls = 0;  // calls counted so far
    bool countCloseAndDirectorySync = false;
    // A failing Write first writes half of its bytes, as a disk that fills
    // up in the middle of a write does.
    bool failingWriteWritesHalf = false;
    // Files whose path contains this text are read-only for the running user.
    std::string readOnlyPathContaining;

    explicit FailingFileSystem(FileSystem& real = RealFileSystem()) : real_(real) {}

    void Check(const std::string& path) {
        ++calls;
        const bool byCount = failAt > 0 && (calls == failAt || (failFromThenOn && calls > failAt));
        const bool byPath =
            !failPathContaining.empty() && path.find(failPathContaining) != std::string::npos;
        if (byCount || byPath) throw AppError(ErrorKind::Io, IoErrorText(errorNumber));
    }

    std::optional<std::string> ReadFile(const std::string& path) override {
        return real_.ReadFile(path);
    }
    std::optional<std::string> ReadTail(const std::string& path, uint64_t count) override {
        return real_.ReadTail(path, count);
    }
    std::unique_ptr<WritableFile> OpenAppend(const std::string& path) override {
        Check(path);
        return Wrap(real_.OpenAppend(path), path);
    }
    std::unique_ptr<WritableFile> Create(const std::string& path) override {
        Check(path);
        return Wrap(real_.Create(path), path);
    }
    void Rename(const std::string& from, const std::string& to) override {
        Check(to);
        real_.Rename(from, to);
    }
    void Remove(const std::string& path) override {
        Check(path);
        real_.Remove(path);
    }
    void CreateDirectories(const std::string& path) override {
        Check(path);
        real_.CreateDirectories(path);
    }
    void SyncDirectory(const std::string& path) override {
        if (countCloseAndDirectorySync) Check(path);
        real_.SyncDirectory(path);
    }
    bool Exists(const std::string& path) override { return real_.Exists(path); }
    std::string ResolveLinks(const std::string& path) override { return real_.ResolveLinks(path); }
    bool MayWrite(const std::string& path) override {
        if (!readOnlyPathContaining.empty() &&
            path.find(readOnlyPathContaining) != std::string::npos && real_.Exists(path))
            return false;
        return real_.MayWrite(path);
    }
    void CopyPermissions(const std::string& from, const std::string& to) override {
        real_.CopyPermissions(from, to);
    }
    std::optional<FileIdentity> IdentityAt(const std::string& path) override {
        return real_.IdentityAt(path);
    }

  private:
    class File : public WritableFile {
      public:
        File(FailingFileSystem& fs, std::unique_ptr<WritableFile> inner, std::string path)
            : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}
        void Write(std::string_view bytes) override {
            try {
                fs_.Check(path_);
            } catch (const AppError&) {
                if (fs_.failingWriteWritesHalf) inner_->Write(bytes.substr(0, bytes.size() / 2));
                throw;
            }
            inner_->Write(bytes);
        }
        void Sync() override {
            fs_.Check(path_);
            inner_->Sync();
        }
        uint64_t Size() override { return inner_->Size(); }
        FileIdentity Identity() override { return inner_->Identity(); }
        void Truncate(uint64_t length) override {
            fs_.Check(path_);
            inner_->Truncate(length);
        }
        void Close() override {
            if (fs_.countCloseAndDirectorySync) {
                // A failing close still releases the file, as close(2) does.
                try {
                    fs_.Check(path_);
                } catch (const AppError&) {
                    inner_->Close();
                    throw;
                }
            }
            inner_->Close();
        }

      private:
        FailingFileSystem& fs_;
        std::unique_ptr<WritableFile> inner_;
        std::string path_;
    };

    std::unique_ptr<WritableFile> Wrap(std::unique_ptr<WritableFile> inner,
                                       const std::string& path) {
        return std::make_unique<File>(*this, std::move(inner), path);
    }

    FileSystem& real_;
};

}  // namespace aktarim::test
