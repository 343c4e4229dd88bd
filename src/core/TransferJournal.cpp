#include "core/TransferJournal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "core/Errors.h"

namespace aktarim {
namespace {

constexpr std::string_view kHeader = "aktarim-gunluk 1";
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

// FNV-1a, 64 bits, over the file's text: catches a torn or altered entry.
uint64_t TextCheck(std::string_view text) {
    uint64_t hash = kFnvOffset;
    for (const char c : text) {
        hash ^= static_cast<uint8_t>(c);
        hash *= kFnvPrime;
    }
    return hash;
}

std::string Hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// An address as the journal keeps it: one line, whatever was typed.
std::string JournalAddress(std::string_view address) {
    std::string kept(address);
    for (char& c : kept)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return kept;
}

template <class T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
    if (text.empty() || text.front() == '+') return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// The value of line `key=value`, or nullopt for another line.
std::optional<std::string_view> Field(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
        return std::nullopt;
    return line.substr(key.size() + 1);
}

}  // namespace

JournalEntry MakeJournalEntry(int32_t machineNumber, const std::string& address,
                              std::span<const AttendanceValues> log, uint64_t count) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, log.size()));
    JournalEntry entry;
    entry.machineNumber = machineNumber;
    entry.address = JournalAddress(address);
    entry.recordCount = n;
    entry.digest = RecordsDigest(log.first(n));
    entry.confirmedCount = n;
    return entry;
}

JournalEntry MakePendingEntry(int32_t machineNumber, const std::string& address,
                              std::span<const AttendanceValues> log, uint64_t count,
                              uint64_t confirmed, const std::string& recordPath,
                              uint64_t recordStart, const std::string& backupPath,
                              uint64_t backupStart) {
    JournalEntry entry = MakeJournalEntry(machineNumber, address, log, count);
    entry.confirmedCount = std::min(confirmed, entry.recordCount);
    entry.recordPath = JournalAddress(recordPath);
    entry.recordStart = recordStart;
    entry.backupPath = JournalAddress(backupPath);
    entry.backupStart = backupStart;
    return entry;
}

PendingLines FindPendingLines(std::string_view fileFromStart, std::string_view expected) {
    if (expected.empty() || fileFromStart.substr(0, expected.size()) == expected)
        return PendingLines::Present;
    if (!fileFromStart.empty() && expected.substr(0, fileFromStart.size()) == fileFromStart)
        return PendingLines::Torn;
    return PendingLines::Absent;
}

JournalMatch MatchJournal(const std::optional<JournalEntry>& entry, int32_t machineNumber,
                          std::string_view address, std::span<const AttendanceValues> log) {
    if (!entry || entry->machineNumber != machineNumber ||
        entry->address != JournalAddress(address))
        return {};
    // More records than the log holds: it was cleared or taken meanwhile.
    if (entry->recordCount == 0 || entry->recordCount > log.size() ||
        entry->confirmedCount > entry->recordCount)
        return {0, 0, true};
    if (RecordsDigest(log.first(static_cast<size_t>(entry->recordCount))) != entry->digest)
        return {0, 0, true};
    return {entry->confirmedCount, entry->recordCount - entry->confirmedCount, false};
}

std::string FormatJournal(const JournalEntry& entry) {
    std::string text;
    text += kHeader;
    text += "\r\nmakine=" + std::to_string(entry.machineNumber);
    text += "\r\nadres=" + JournalAddress(entry.address);
    text += "\r\nkayit=" + std::to_string(entry.recordCount);
    text += "\r\nozet=" + Hex(entry.digest);
    text += "\r\nonce=" + std::to_string(entry.confirmedCount);
    text += "\r\nkayitdosya=" + JournalAddress(entry.recordPath);
    text += "\r\nkayitbas=" + std::to_string(entry.recordStart);
    text += "\r\nyedekdosya=" + JournalAddress(entry.backupPath);
    text += "\r\nyedekbas=" + std::to_string(entry.backupStart);
    text += "\r\n";
    text += "kontrol=" + Hex(TextCheck(text)) + "\r\n";
    return text;
}

std::optional<JournalEntry> ParseJournal(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) return std::nullopt;  // a torn last line
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (lines.size() != 11 || lines[0] != kHeader) return std::nullopt;
    const size_t checked = static_cast<size_t>(lines[10].data() - text.data());
    const auto machine = Field(lines[1], "makine");
    const auto address = Field(lines[2], "adres");
    const auto count = Field(lines[3], "kayit");
    const auto digest = Field(lines[4], "ozet");
    const auto confirmed = Field(lines[5], "once");
    const auto recordPath = Field(lines[6], "kayitdosya");
    const auto recordStart = Field(lines[7], "kayitbas");
    const auto backupPath = Field(lines[8], "yedekdosya");
    const auto backupStart = Field(lines[9], "yedekbas");
    const auto check = Field(lines[10], "kontrol");
    JournalEntry entry;
    uint64_t checkValue = 0;
    if (!machine || !address || !count || !digest || !confirmed || !recordPath || !recordStart ||
        !backupPath || !backupStart || !check || !ParseNumber(*machine, entry.machineNumber) ||
        !ParseNumber(*count, entry.recordCount) || digest->size() != 16 ||
        !ParseNumber(*digest, entry.digest, 16) || !ParseNumber(*confirmed, entry.confirmedCount) ||
        entry.confirmedCount > entry.recordCount || !ParseNumber(*recordStart, entry.recordStart) ||
        !ParseNumber(*backupStart, entry.backupStart) || check->size() != 16 ||
        !ParseNumber(*check, checkValue, 16) || checkValue != TextCheck(text.substr(0, checked)))
        return std::nullopt;
    entry.address = std::string(*address);
    entry.recordPath = std::string(*recordPath);
    entry.backupPath = std::string(*backupPath);
    return entry;
}

std::string JournalPath(const std::string& programFolder, int32_t machineNumber,
                        std::string_view address) {
    std::string name = std::to_string(machineNumber) + "-";
    for (const char c : address) {
        const bool plain =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        name += plain ? c : '_';
    }
    return JoinPath(JoinPath(programFolder, kJournalFolder), name + ".txt");
}

std::optional<JournalEntry> LoadJournal(FileSystem& fs, const std::string& programFolder,
                                        int32_t machineNumber, std::string_view address) {
    const std::optional<std::string> text =
        fs.ReadFile(JournalPath(programFolder, machineNumber, address));
    if (!text) return std::nullopt;
    std::optional<JournalEntry> entry = ParseJournal(*text);
    // Two addresses that give one file name: the other terminal's entry.
    if (entry &&
        (entry->machineNumber != machineNumber || entry->address != JournalAddress(address)))
        return std::nullopt;
    return entry;
}

void SaveJournal(FileSystem& fs, const std::string& programFolder, const JournalEntry& entry) {
    const std::string folder = JoinPath(programFolder, kJournalFolder);
    if (!fs.Exists(folder)) {
        fs.CreateDirectories(folder);
        // The folder's own name must survive a power cut, or the entry goes with it.
        fs.SyncDirectory(programFolder.empty() ? "." : programFolder);
    }
    const std::string path = JournalPath(programFolder, entry.machineNumber, entry.address);
    WriteFileAtomically(fs, path, FormatJournal(entry));
    // WriteFileAtomically lets a failed folder sync pass; the erase that
    // follows must not, so the entry's name is made durable here.
    fs.SyncDirectory(folder);
}

void RemoveJournal(FileSystem& fs, const std::string& programFolder, int32_t machineNumber,
                   std::string_view address) {
    const std::string path = JournalPath(programFolder, machineNumber, address);
    if (!fs.Exists(path)) return;
    fs.Remove(path);
    fs.SyncDirectory(JoinPath(programFolder, kJournalFolder));
}

}  // namespace aktarim
