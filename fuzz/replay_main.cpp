// Runs a fuzz target's LLVMFuzzerTestOneInput over saved inputs without
// libFuzzer, so that an ordinary build replays the committed corpora:
//   <target>_replay PATH...   (a PATH is an input file or a folder of them)
// A target reports a failed check by aborting, which fails the run. The
// inputs run in name order; each name is printed before it runs, so the last
// name printed is the input that failed. Temporary files of the target go to
// a private folder, removed at the end.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

// The input files a path names, in name order; empty with a message on error.
std::vector<fs::path> Inputs(const fs::path& path) {
    std::error_code error;
    if (fs::is_regular_file(path, error)) return {path};
    if (!fs::is_directory(path, error)) {
        std::cerr << "replay: no such file or folder: " << path << "\n";
        return {};
    }
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    if (error) {
        std::cerr << "replay: cannot read " << path << ": " << error.message() << "\n";
        return {};
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) std::cerr << "replay: no inputs in " << path << "\n";
    return files;
}

bool ReadFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " PATH...\n";
        return 2;
    }
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> found = Inputs(argv[i]);
        if (found.empty()) return 1;  // a missing corpus must not pass as replayed
        inputs.insert(inputs.end(), found.begin(), found.end());
    }

    const fs::path scratch =
        fs::temp_directory_path() / ("aktarim-replay-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    ::setenv("TMPDIR", scratch.c_str(), 1);

    int status = 0;
    std::vector<uint8_t> bytes;
    for (const fs::path& input : inputs) {
        std::cout << input.filename().string() << std::endl;
        if (!ReadFile(input, bytes)) {
            std::cerr << "replay: cannot read " << input << "\n";
            status = 1;
            continue;
        }
        // A copy of exactly the input's size, so that a read past its end is
        // the target's fault and visible to a sanitizer.
        const std::vector<uint8_t> exact(bytes);
        LLVMFuzzerTestOneInput(exact.data(), exact.size());
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    std::cout << "replayed " << inputs.size() << " inputs\n";
    return status;
}
