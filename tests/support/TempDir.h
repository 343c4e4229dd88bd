#pragma once
// A fresh folder under the system's temporary folder, removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace aktarim::test {

class TempDir {
  public:
    TempDir() {
#ifdef _WIN32
        // No mkdtemp: a random name, created only when it is new.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path() /
                                   ("aktarim-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
        }
        if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "aktarim-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
#endif
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The CR LF lines of a file's bytes; a last line without its end is marked.
inline std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace aktarim::test
