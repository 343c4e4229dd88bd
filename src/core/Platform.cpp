#include "core/Platform.h"

#include <cstdlib>

#include "core/Errors.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <io.h>
#include <shellapi.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace aktarim {

#ifdef _WIN32

std::wstring WidePath(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int count =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (count <= 0) throw AppError(ErrorKind::Io, "Invalid file name");
    std::wstring wide(static_cast<size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), count);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int count =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(count > 0 ? count : 0), '\0');
    if (count > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), count, nullptr, nullptr);
    return utf8;
}

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    ::localtime_s(&local, &t);
    return local;
}

bool StandardOutputIsTerminal() { return ::_isatty(::_fileno(stdout)) != 0; }

bool IsFolder(const std::string& path) {
    try {
        const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    } catch (const AppError&) {
        return false;
    }
}

namespace {
UINT previousOutputCodePage = 0;
}  // namespace

// The console keeps its code page after the program ends, so the one the
// user had (often 857 in Turkish Windows) is put back on the way out.
void PrepareConsole() {
    previousOutputCodePage = ::GetConsoleOutputCP();
    if (previousOutputCodePage == 0 || previousOutputCodePage == CP_UTF8) return;
    if (::SetConsoleOutputCP(CP_UTF8))
        std::atexit([] { ::SetConsoleOutputCP(previousOutputCodePage); });
}

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide != nullptr) {
        for (int i = 0; i < count; ++i) texts_.push_back(Utf8FromWide(wide[i]));
        ::LocalFree(wide);
    } else {
        texts_.assign(argv, argv + argc);
    }
    for (auto& text : texts_) pointers_.push_back(text.data());
}

#else

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    return local;
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void PrepareConsole() {}

Utf8Arguments::Utf8Arguments(int argc, char** argv) : texts_(argv, argv + argc) {
    for (auto& text : texts_) pointers_.push_back(text.data());
}

#endif

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace aktarim
