#pragma once
// The few things that differ between the systems the program runs on. The
// rest of the program speaks UTF-8 and calls these; each has one form for
// POSIX and one for Windows in Platform.cpp.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace aktarim {

// The calendar fields of t in the local time zone.
std::tm LocalTime(std::time_t t);

// True when standard output is an interactive console, not a file or pipe.
bool StandardOutputIsTerminal();

// True when path names an existing folder.
bool IsFolder(const std::string& path);

// A path of ours (UTF-8) as the standard library's path and back. A plain
// std::string would be read in the ANSI code page on Windows.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// Lets the console show the program's UTF-8 output as it is written (on
// Windows the console's code page is set to UTF-8; elsewhere nothing to do).
void PrepareConsole();

// The program's arguments as UTF-8 text. On Windows argv is in the ANSI code
// page and loses letters it cannot hold, so the wide command line is read
// again; elsewhere argv already is the text.
class Utf8Arguments {
  public:
    Utf8Arguments(int argc, char** argv);
    int Count() const { return static_cast<int>(pointers_.size()); }
    char** Values() { return pointers_.data(); }

  private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;
};

#ifdef _WIN32
// UTF-8 <-> UTF-16 for the wide Windows calls; a malformed sequence throws
// AppError(Io, ...) rather than naming some other file.
std::wstring WidePath(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
#endif

}  // namespace aktarim
