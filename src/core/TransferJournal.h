#pragma once
// The journal of a device: which leading records of a terminal's log are
// already in the record file and the backup. A transfer writes it (synced,
// replaced in one step) after the files and before the erase, and removes it
// once the erase went through. When a transfer dies or the terminal refuses
// the erase in between, the next transfer of that terminal finds the entry,
// sees that the log still begins with exactly those records, and writes only
// what follows them; it erases them with the rest. With the "only new
// records" option the log is never erased and the journal always says how
// much of it is in the files.
//
// An entry is trusted only when the log begins with the records it
// describes: their count and a digest over their values, in order. A log
// that was cleared elsewhere or taken by another PC no longer begins with
// them, so the entry is dropped and everything is written. A journal that is
// missing, torn or damaged counts as absent: it may cost a record written
// twice, never a record left out.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/FileSystem.h"
#include "core/TerminalLink.h"

namespace aktarim {

struct JournalEntry {
    int32_t machineNumber = 0;
    std::string address;       // the connection: "192.168.1.10:4370", "COM1"
    uint64_t recordCount = 0;  // leading records of the log that are in the files
    // RecordsDigest (core/TerminalLink.h) of those records: over what the
    // terminal returns, not the lines, so it does not depend on the line format.
    uint64_t digest = 0;

    bool operator==(const JournalEntry&) const = default;
};

// The entry for the first `count` records of `log` (count <= log.size()).
JournalEntry MakeJournalEntry(int32_t machineNumber, const std::string& address,
                              std::span<const AttendanceValues> log, uint64_t count);

struct JournalMatch {
    // Leading records of the log that are already in the files: write from
    // here on, and erase them with the rest.
    uint64_t alreadyWritten = 0;
    // The entry describes records this log no longer begins with: remove it.
    bool dropEntry = false;
};

// What the entry (nullopt: none) says about the freshly loaded log of the
// terminal (machineNumber, address). An entry of another terminal is left
// alone and says nothing.
JournalMatch MatchJournal(const std::optional<JournalEntry>& entry, int32_t machineNumber,
                          std::string_view address, std::span<const AttendanceValues> log);

// The file's text, CR LF lines with a check of their own.
std::string FormatJournal(const JournalEntry& entry);
// nullopt for a text that is not a whole, undamaged journal.
std::optional<JournalEntry> ParseJournal(std::string_view text);

// The folder of the journals, in the program folder.
inline constexpr const char* kJournalFolder = "gunluk";
// One file per terminal: <program folder>/gunluk/<machine>-<address>.txt,
// with every character of the address but letters and digits as '_'.
std::string JournalPath(const std::string& programFolder, int32_t machineNumber,
                        std::string_view address);

// The terminal's entry, or nullopt when there is none or it cannot be
// trusted (unreadable, torn, damaged, or of another terminal).
std::optional<JournalEntry> LoadJournal(FileSystem& fs, const std::string& programFolder,
                                        int32_t machineNumber, std::string_view address);
// Writes the entry in one step and syncs it and its folder entries; throws
// AppError(Io, ...) and leaves the old entry when it cannot.
void SaveJournal(FileSystem& fs, const std::string& programFolder, const JournalEntry& entry);
// Removes the terminal's entry; no entry is no error. Throws AppError(Io,
// ...) when it cannot.
void RemoveJournal(FileSystem& fs, const std::string& programFolder, int32_t machineNumber,
                   std::string_view address);

}  // namespace aktarim
