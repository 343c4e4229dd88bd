#include "core/IniFile.h"

#include "core/Errors.h"
#include "core/Text.h"

namespace aktarim {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// A line break or a NUL inside a written value would end it early or make a
// new key of its rest.
std::string SanitizeValue(std::string_view value) {
    std::string out(value);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return out;
}

bool EnclosedInQuotes(std::string_view value) {
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
           value.back() == value.front();
}

// The text of a value as a reader takes it from its line: up to a NUL,
// trimmed, one pair of enclosing quotes dropped.
std::string ValueAsRead(std::string_view text) {
    text = TrimBlanks(text.substr(0, text.find('\0')));
    if (EnclosedInQuotes(text)) text = text.substr(1, text.size() - 2);
    return std::string(text);
}

// A value that itself starts and ends with the same quote gets one more
// pair, so that it reads back as written (trimmed, as every value).
std::string ValueAsWritten(const std::string& value) {
    const std::string_view trimmed = TrimBlanks(value);
    if (!EnclosedInQuotes(trimmed)) return value;
    return trimmed.front() + std::string(trimmed) + trimmed.front();
}

}  // namespace

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

IniFile::IniFile(std::string path, FileSystem& fs) : path_(std::move(path)), fs_(fs) { Reload(); }

void IniFile::Reload() {
    sections_.clear();
    sectionIndex_.clear();
    dirty_ = false;
    duplicateSections_ = false;
    encoding_ = IniEncoding::Cp1254;
    const auto bytes = fs_.ReadFile(path_);
    if (!bytes) {
        Parse({});
    } else if (bytes->starts_with(kUtf16LeBom)) {
        encoding_ = IniEncoding::Utf16Le;
        Parse(Utf16LeToUtf8(std::string_view(*bytes).substr(kUtf16LeBom.size())));
    } else if (bytes->starts_with(kUtf8Bom)) {
        encoding_ = IniEncoding::Utf8WithBom;
        Parse(std::string_view(*bytes).substr(kUtf8Bom.size()));
    } else {
        Parse(Cp1254ToUtf8(*bytes));
    }
}

void IniFile::Parse(std::string_view text) {
    sections_.emplace_back();  // lines before the first section header
    Section* current = &sections_.back();
    size_t pos = 0;
    while (pos < text.size()) {
        // CR LF, LF or a lone CR ends a line.
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;

        const std::string_view trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const size_t close = trimmed.find(']');
            if (close != std::string_view::npos) {
                Section section;
                section.name = std::string(TrimBlanks(trimmed.substr(1, close - 1)));
                section.headerRaw = std::string(line);
                section.hasHeader = true;
                sections_.push_back(std::move(section));
                auto it = std::prev(sections_.end());
                // The first of duplicates wins.
                if (!sectionIndex_.emplace(AsciiLower(it->name), it).second)
                    duplicateSections_ = true;
                current = &*it;
                continue;
            }
        }
        Entry entry;
        entry.raw = std::string(line);
        const size_t eq = line.find('=');
        const bool comment = !trimmed.empty() && trimmed.front() == ';';
        if (!comment && eq != std::string_view::npos && !TrimBlanks(line.substr(0, eq)).empty()) {
            entry.isKey = true;
            entry.key = std::string(TrimBlanks(line.substr(0, eq)));
            entry.lowerKey = AsciiLower(entry.key);
            entry.value = ValueAsRead(line.substr(eq + 1));
            current->keyIndex.emplace(entry.lowerKey, current->entries.size());
            ++current->keyCount;
        }
        current->entries.push_back(std::move(entry));
    }
}

const IniFile::Section* IniFile::Find(std::string_view section) const {
    const auto it = sectionIndex_.find(AsciiLower(section));
    return it == sectionIndex_.end() ? nullptr : &*it->second;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const Section* s = Find(section);
    if (s == nullptr) return std::string(defaultValue);
    const auto it = s->keyIndex.find(AsciiLower(key));
    if (it == s->keyIndex.end()) return std::string(defaultValue);
    return s->entries[it->second].value;
}

bool IniFile::SectionExists(std::string_view section) const {
    const Section* s = Find(section);
    return s != nullptr && s->keyCount > 0;
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const auto& s : sections_)
        if (s.hasHeader && s.keyCount > 0) names.push_back(s.name);
    return names;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = const_cast<Section*>(Find(section));
    if (s == nullptr) {
        Section fresh;
        fresh.name = std::string(section);
        fresh.headerRaw = "[" + fresh.name + "]";
        fresh.hasHeader = true;
        sections_.push_back(std::move(fresh));
        auto it = std::prev(sections_.end());
        sectionIndex_.emplace(AsciiLower(it->name), it);
        s = &*it;
    }
    const std::string lowerKey = AsciiLower(key);
    std::string clean = SanitizeValue(value);
    const auto it = s->keyIndex.find(lowerKey);
    if (it != s->keyIndex.end()) {
        Entry& e = s->entries[it->second];
        e.value = std::move(clean);
        e.modified = true;
    } else {
        // After the last key of the section, so trailing blank lines and
        // comments stay where they were.
        size_t insertAt = 0;
        for (size_t i = 0; i < s->entries.size(); ++i)
            if (s->entries[i].isKey) insertAt = i + 1;
        Entry e;
        e.isKey = true;
        e.key = SanitizeValue(key);
        e.lowerKey = lowerKey;
        e.value = std::move(clean);
        e.modified = true;
        s->entries.insert(s->entries.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(e));
        s->keyIndex.clear();
        for (size_t i = 0; i < s->entries.size(); ++i)
            if (s->entries[i].isKey) s->keyIndex.emplace(s->entries[i].lowerKey, i);
        ++s->keyCount;
    }
    Changed();
}

void IniFile::EraseSection(std::string_view section) {
    const std::string lower = AsciiLower(section);
    const auto found = sectionIndex_.find(lower);
    if (found == sectionIndex_.end()) return;
    const auto first = found->second;
    sectionIndex_.erase(found);
    if (!duplicateSections_) {
        // Constant time, so that erasing many sections stays linear.
        sections_.erase(first);
        Changed();
        return;
    }
    for (auto it = sections_.begin(); it != sections_.end();) {
        if (it->hasHeader && AsciiLower(it->name) == lower)
            it = sections_.erase(it);
        else
            ++it;
    }
    Changed();
}

std::string IniFile::Serialize() const {
    std::string out;
    for (const auto& s : sections_) {
        if (s.hasHeader) {
            out += s.headerRaw;
            out += "\r\n";
        }
        for (const auto& e : s.entries) {
            if (e.modified) {
                out += e.key;
                out += '=';
                out += ValueAsWritten(e.value);
            } else {
                out += e.raw;
            }
            out += "\r\n";
        }
    }
    switch (encoding_) {
        case IniEncoding::Utf16Le:
            return std::string(kUtf16LeBom) + Utf8ToUtf16Le(out);
        case IniEncoding::Utf8WithBom:
            return std::string(kUtf8Bom) + out;
        case IniEncoding::Cp1254:
            break;
    }
    return Utf8ToCp1254(out);
}

void IniFile::Changed() {
    dirty_ = true;
    if (groupDepth_ == 0) Flush();
}

void IniFile::Flush() {
    if (!dirty_) return;
    try {
        WriteFileAtomically(fs_, path_, Serialize());
        dirty_ = false;
    } catch (const AppError&) {
        Reload();  // the disk still holds the old content; so must we
        throw AppError(ErrorKind::Io, "Unable to write to " + path_);
    }
}

IniFile::Group::Group(IniFile& ini, Abandon abandon) : ini_(ini), abandon_(abandon) {
    ++ini_.groupDepth_;
}

IniFile::Group::~Group() {
    if (!open_) return;
    if (--ini_.groupDepth_ != 0) return;
    if (abandon_ == Abandon::Discard) {
        if (ini_.dirty_) ini_.Reload();
        return;
    }
    try {
        ini_.Flush();
    } catch (const AppError&) {
    }
}

void IniFile::Group::Commit() {
    if (!open_) return;
    open_ = false;
    if (--ini_.groupDepth_ == 0) ini_.Flush();
}

}  // namespace aktarim
