#pragma once
// An in-memory FileSystem that can lose power. It keeps two views of the
// disk: what the program sees now, and what would still be there after a
// power cut. Counted calls (every call that changes something: the opens,
// Write, Sync, Truncate, Close, Rename, Remove, CreateDirectories,
// SyncDirectory) can be made to crash: the crashAt-th one does not happen,
// throws PowerCut instead, and freezes the after-a-power-cut view, which the
// test then reads with Durable().
//
// What survives a power cut (the strict POSIX reading, no more):
// - a file's bytes as of its last Sync; of what was appended since, nothing,
//   or with keepHalfOfUnsyncedAppends the first half (a disk that had
//   written some of the pages already: the torn tail a real power cut or a
//   killed process can leave);
// - a name (a created file, a rename, a removal, a new folder) only once
//   SyncDirectory of the folder that holds it ran after the change; until
//   then the old name, and the file it named, stay;
// - a file or folder only while every folder above it survives.
// The folders of paths given to Put and PutDirectory, and "/", are durable
// from the start.
#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "core/FileSystem.h"

namespace aktarim::test {

// Thrown by the call at which the power went; deliberately no std::exception,
// so that no handler of the program mistakes it for an error it can handle.
struct PowerCut {
    int call = 0;
};

class CrashingFileSystem : public FileSystem {
  public:
    int crashAt = 0;  // the counted call (1-based) at which the power goes; 0: never
    int calls = 0;    // calls counted so far
    bool keepHalfOfUnsyncedAppends = false;

    bool crashed() const { return frozen_.has_value(); }

    // Puts a file as it would be on the disk before the program starts.
    void Put(const std::string& path, const std::string& content) {
        PutDirectory(DirectoryOf(path));
        const int node = NewNode(false);
        nodes_[node].data = content;
        nodes_[node].synced = content;
        live_[path] = node;
        durable_[path] = node;
    }
    void PutDirectory(const std::string& path) {
        for (const std::string& folder : FoldersDownTo(path)) {
            if (live_.count(folder) != 0) continue;
            const int node = NewNode(true);
            live_[folder] = node;
            durable_[folder] = node;
        }
    }

    // What the program sees now (before the crash: every write so far).
    std::optional<std::string> Live(const std::string& path) const {
        const auto it = live_.find(path);
        if (it == live_.end() || nodes_.at(it->second).directory) return std::nullopt;
        return nodes_.at(it->second).data;
    }
    // The files after a power cut at the crash point (or now, when no crash
    // happened yet): path -> content.
    std::map<std::string, std::string> Durable() const {
        return frozen_ ? *frozen_ : PowerCutView();
    }
    std::optional<std::string> Durable(const std::string& path) const {
        const auto files = Durable();
        const auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    // The files the program sees now, path -> content.
    std::map<std::string, std::string> LiveFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& [path, node] : live_)
            if (!nodes_.at(node).directory) files[path] = nodes_.at(node).data;
        return files;
    }

    // The machine comes back: the disk holds what survived, nothing more,
    // and no further crash is planned.
    void Restart() {
        const auto files = Durable();
        std::set<std::string> folders;
        for (const auto& [path, node] : durable_)
            if (nodes_.at(node).directory && Survives(path)) folders.insert(path);
        nodes_.clear();
        live_.clear();
        durable_.clear();
        for (const std::string& folder : folders) PutDirectory(folder);
        for (const auto& [path, content] : files) Put(path, content);
        frozen_.reset();
        crashAt = 0;
        calls = 0;
    }

    std::optional<std::string> ReadFile(const std::string& path) override { return Live(path); }
    bool Exists(const std::string& path) override { return live_.count(path) != 0; }
    // A file's identity is its node: it follows the file through renames.
    std::optional<FileIdentity> IdentityAt(const std::string& path) override {
        const auto it = live_.find(path);
        if (it == live_.end() || nodes_.at(it->second).directory) return std::nullopt;
        return FileIdentity{0, static_cast<uint64_t>(it->second)};
    }

    std::unique_ptr<WritableFile> OpenAppend(const std::string& path) override {
        Step();
        return std::make_unique<File>(*this, OpenNode(path, false), true);
    }
    std::unique_ptr<WritableFile> Create(const std::string& path) override {
        Step();
        return std::make_unique<File>(*this, OpenNode(path, true), false);
    }
    void Rename(const std::string& from, const std::string& to) override {
        Step();
        const auto it = live_.find(from);
        if (it == live_.end()) Fail(ENOENT);
        if (!IsFolder(DirectoryOf(to))) Fail(ENOENT);
        const int node = it->second;
        live_.erase(it);
        live_[to] = node;
    }
    void Remove(const std::string& path) override {
        Step();
        live_.erase(path);
    }
    void CreateDirectories(const std::string& path) override {
        Step();
        for (const std::string& folder : FoldersDownTo(path)) {
            const auto it = live_.find(folder);
            if (it == live_.end())
                live_[folder] = NewNode(true);
            else if (!nodes_[it->second].directory)
                Fail(ENOTDIR);
        }
    }
    void SyncDirectory(const std::string& path) override {
        Step();
        if (!IsFolder(path)) Fail(ENOENT);
        // Every name in this folder becomes what it is now.
        std::set<std::string> names;
        for (const auto& [name, node] : live_)
            if (DirectoryOf(name) == path && name != path) names.insert(name);
        for (const auto& [name, node] : durable_)
            if (DirectoryOf(name) == path && name != path) names.insert(name);
        for (const std::string& name : names) {
            const auto now = live_.find(name);
            if (now == live_.end())
                durable_.erase(name);
            else
                durable_[name] = now->second;
        }
    }

  private:
    struct Node {
        bool directory = false;
        std::string data;    // what a read sees
        std::string synced;  // what a power cut leaves
    };

    class File : public WritableFile {
      public:
        File(CrashingFileSystem& fs, int node, bool append)
            : fs_(fs), node_(node), append_(append) {}
        void Write(std::string_view bytes) override {
            fs_.Step();
            Usable();
            std::string& data = fs_.nodes_[node_].data;
            if (append_) position_ = data.size();
            if (data.size() < position_) data.resize(position_, '\0');
            data.replace(position_, std::min(bytes.size(), data.size() - position_), bytes);
            position_ += bytes.size();
        }
        void Sync() override {
            fs_.Step();
            Usable();
            fs_.nodes_[node_].synced = fs_.nodes_[node_].data;
        }
        uint64_t Size() override {
            Usable();
            return fs_.nodes_[node_].data.size();
        }
        FileIdentity Identity() override {
            Usable();
            return {0, static_cast<uint64_t>(node_)};
        }
        void Truncate(uint64_t length) override {
            fs_.Step();
            Usable();
            fs_.nodes_[node_].data.resize(length, '\0');
        }
        void Close() override {
            fs_.Step();
            closed_ = true;
        }

      private:
        void Usable() const {
            if (closed_) Fail(EBADF);
        }
        CrashingFileSystem& fs_;
        int node_;
        bool append_;
        uint64_t position_ = 0;
        bool closed_ = false;
    };

    [[noreturn]] static void Fail(int errorNumber) {
        throw AppError(ErrorKind::Io, IoErrorText(errorNumber));
    }

    // Counts a call; at the crash point the power goes. After it every call
    // fails: the program is gone and nothing it does can reach the disk.
    void Step() {
        if (crashed()) Fail(EIO);
        ++calls;
        if (crashAt > 0 && calls == crashAt) {
            frozen_ = PowerCutView();
            throw PowerCut{calls};
        }
    }

    int NewNode(bool directory) {
        const int id = nextNode_++;
        nodes_[id].directory = directory;
        return id;
    }
    bool IsFolder(const std::string& path) const {
        const auto it = live_.find(path);
        return it != live_.end() && nodes_.at(it->second).directory;
    }
    int OpenNode(const std::string& path, bool truncate) {
        if (!IsFolder(DirectoryOf(path))) Fail(ENOENT);
        const auto it = live_.find(path);
        if (it == live_.end()) {
            const int node = NewNode(false);
            live_[path] = node;
            return node;
        }
        if (nodes_[it->second].directory) Fail(EISDIR);
        if (truncate) nodes_[it->second].data.clear();
        return it->second;
    }

    // "/a/b/c" -> "/", "/a", "/a/b", "/a/b/c".
    static std::vector<std::string> FoldersDownTo(const std::string& path) {
        std::vector<std::string> folders{"/"};
        for (size_t slash = path.find('/', 1); slash != std::string::npos;
             slash = path.find('/', slash + 1))
            folders.push_back(path.substr(0, slash));
        if (path != "/") folders.push_back(path);
        return folders;
    }
    bool Survives(const std::string& path) const {
        if (durable_.count(path) == 0) return false;
        if (path == "/") return true;
        const std::string parent = DirectoryOf(path);
        const auto it = durable_.find(parent);
        return it != durable_.end() && nodes_.at(it->second).directory && Survives(parent);
    }
    std::map<std::string, std::string> PowerCutView() const {
        std::map<std::string, std::string> files;
        for (const auto& [path, node] : durable_) {
            const Node& n = nodes_.at(node);
            if (n.directory || !Survives(path)) continue;
            files[path] = n.synced;
            const bool appended = n.data.size() > n.synced.size() &&
                                  n.data.compare(0, n.synced.size(), n.synced) == 0;
            if (keepHalfOfUnsyncedAppends && appended)
                files[path] +=
                    n.data.substr(n.synced.size(), (n.data.size() - n.synced.size()) / 2);
        }
        return files;
    }

    std::map<int, Node> nodes_;
    std::map<std::string, int> live_;     // names as the program sees them
    std::map<std::string, int> durable_;  // names as a power cut leaves them
    std::optional<std::map<std::string, std::string>> frozen_;
    int nextNode_ = 1;
};

}  // namespace aktarim::test
