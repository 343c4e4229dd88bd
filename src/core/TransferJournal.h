#pragma once
// The journal of a device: which leading records of a terminal's log are
// already in the record file and the backup. A transfer writes it (synced,
// replaced in one step) twice: before its lines, as a pending entry naming
// the files and their lengths before them, and after the files are synced,
// as a done entry, before the erase; it removes it once the erase went
// through. When a transfer dies or the terminal refuses
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
    // Of recordCount, how many were in the files before this transfer began
    // writing: recordCount in a done entry. Fewer in a pending entry, written
    // before the lines: those of the rest may or may not have reached the
    // files, at these lengths of these files.
    uint64_t confirmedCount = 0;
    std::string recordPath;
    uint64_t recordStart = 0;
    std::string backupPath;
    uint64_t backupStart = 0;

    bool pending() const { return confirmedCount < recordCount; }
    bool operator==(const JournalEntry&) const = default;
};

// The done entry for the first `count` records of `log` (count <= log.size()).
JournalEntry MakeJournalEntry(int32_t machineNumber, const std::string& address,
                              std::span<const AttendanceValues> log, uint64_t count);
// The pending entry of a transfer about to write records [confirmed, count)
// of `log` at the given lengths of the two files.
JournalEntry MakePendingEntry(int32_t machineNumber, const std::string& address,
                              std::span<const AttendanceValues> log, uint64_t count,
                              uint64_t confirmed, const std::string& recordPath,
                              uint64_t recordStart, const std::string& backupPath,
                              uint64_t backupStart);

struct JournalMatch {
    // Leading records of the log that are already in the files: write from
    // here on, and erase them with the rest.
    uint64_t alreadyWritten = 0;
    // Records after those whose lines an interrupted transfer may have left
    // in the files (a pending entry): check each file with FindPendingLines
    // at the entry's recordStart and backupStart before writing them.
    uint64_t unconfirmed = 0;
    // The entry describes records this log no longer begins with: remove it.
    bool dropEntry = false;
};

// Whether the lines an interrupted transfer was writing at a file's journaled
// length are there. `fileFromStart` is the file's content from that length to
// its end (empty when the file is shorter now); `expected` the lines of the
// unconfirmed records, as they would be written.
enum class PendingLines {
    Present,  // all there: do not write them to this file again
    Torn,     // only a beginning of them ends the file: cut the file back
              // to the start (never grow it) and write them all
    Absent,   // not there (never written, or the file was emptied or
              // replaced since): write them all, cut nothing
};
PendingLines FindPendingLines(std::string_view fileFromStart, std::string_view expected);

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
