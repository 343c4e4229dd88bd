#pragma once
// INI file as the Windows profile functions read it: code page 1254, or
// UTF-16 LE or UTF-8 when the file starts with their byte order mark; lines
// end with CR LF, LF or a lone CR; a line whose first non-blank character is
// ';' is a comment; a value is trimmed, ends at a NUL, and loses one pair of
// enclosing "..." or '...'. Section and key names match without regard to
// letter case. Every change replaces the file on disk atomically (or once per
// Group), in the file's own encoding with CR LF line ends, keeping the lines
// it did not change, comments included.
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/FileSystem.h"

namespace aktarim {

enum class IniEncoding { Cp1254, Utf8WithBom, Utf16Le };

class IniFile {
  public:
    explicit IniFile(std::string path, FileSystem& fs = RealFileSystem());

    const std::string& path() const { return path_; }
    // The encoding the file was read in, and is written back in.
    IniEncoding encoding() const { return encoding_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // A section counts as existing only while it holds at least one key.
    bool SectionExists(std::string_view section) const;
    // Names of the sections that hold a key, in file order.
    std::vector<std::string> SectionNames() const;

    // Each throws AppError(Io, "Unable to write to <path>") when the file
    // cannot be replaced; the file and this object then keep the old content.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void EraseSection(std::string_view section);

    // Re-reads the file from disk (a missing or unreadable file reads as empty).
    void Reload();

    // Writes made while a Group lives reach the disk as one replacement at
    // Commit(). A Group left without Commit() (an error ended the command)
    // either still writes what was done, so handled work is kept (Keep), or
    // drops it, so the file stays as it was before the group (Discard). If
    // that late write fails, the file also stays as it was.
    class Group {
      public:
        enum class Abandon { Keep, Discard };
        explicit Group(IniFile& ini, Abandon abandon = Abandon::Keep);
        ~Group();
        Group(const Group&) = delete;
        Group& operator=(const Group&) = delete;
        void Commit();

      private:
        IniFile& ini_;
        Abandon abandon_;
        bool open_ = true;
    };

    // The serialised content as it would be written, in the file's encoding.
    std::string Serialize() const;

  private:
    struct Entry {
        std::string raw;  // the line as read, for lines kept verbatim
        std::string key;  // empty for lines that hold no key
        std::string lowerKey;
        std::string value;
        bool isKey = false;
        bool modified = false;
    };
    struct Section {
        std::string name;
        std::string headerRaw;  // empty for the lines before the first section
        bool hasHeader = false;
        std::vector<Entry> entries;
        std::unordered_map<std::string, size_t> keyIndex;  // lower-case key -> first entry
        size_t keyCount = 0;
    };

    void Parse(std::string_view utf8);
    const Section* Find(std::string_view section) const;
    void Changed();
    void Flush();

    std::string path_;
    FileSystem& fs_;
    IniEncoding encoding_ = IniEncoding::Cp1254;
    std::list<Section> sections_;
    std::unordered_map<std::string, std::list<Section>::iterator> sectionIndex_;
    int groupDepth_ = 0;
    bool dirty_ = false;
    // Some section name appears twice in the file; only then must erasing
    // look past the indexed section.
    bool duplicateSections_ = false;
};

std::string AsciiLower(std::string_view text);

}  // namespace aktarim
