// The building blocks of a transfer that writes each punch exactly once (the
// journal, the conditional erase, the check of pending lines), put together
// in the order the transfer engine uses them, against a terminal that takes
// punches and a transfer that can be killed after any step.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CrashingFileSystem.h"
#include "core/TransferJournal.h"
#include "terminal/MemoryLink.h"

namespace aktarim {
namespace {

constexpr int32_t kMachine = 3;
const std::string kAddress = "10.0.0.3:4370";
const std::string kFolder = "/p";

// A line per record; only its uniqueness matters here.
std::string Line(const AttendanceValues& v) {
    char text[64];
    std::snprintf(text, sizeof text, "%08d%02d%04d%02d%02d%02d%02d%02d\r\n", v.userNumber,
                  v.inOutState, v.year, v.month, v.day, v.hour, v.minute, v.verifyMode);
    return text;
}

// Where a transfer stops, as a kill would stop it: after this step.
enum class Stop {
    Never,
    AfterPendingJournal,
    AfterHalfTheLines,
    AfterSync,
    AfterDoneJournal,
    AfterErase
};

struct Pc {
    test::CrashingFileSystem disk;   // the journal
    std::string recordFile, backup;  // what is on the disk after a sync
    Pc() { disk.PutDirectory(kFolder); }
};

// One transfer of the terminal, step by step, in the engine's order.
// Returns false when it stopped or the erase was refused.
bool Transfer(MemoryLink& link, Pc& pc, bool erase, Stop stop = Stop::Never) {
    if (!link.LoadAttendanceLog(kMachine)) return false;
    std::vector<AttendanceValues> log;
    for (AttendanceValues v; link.NextAttendanceRecord(kMachine, v);) log.push_back(v);
    const uint64_t n = log.size();

    const JournalMatch match =
        MatchJournal(LoadJournal(pc.disk, kFolder, kMachine, kAddress), kMachine, kAddress, log);
    if (match.dropEntry) RemoveJournal(pc.disk, kFolder, kMachine, kAddress);
    const std::optional<JournalEntry> old = LoadJournal(pc.disk, kFolder, kMachine, kAddress);

    // Lines an interrupted transfer may have left: per file, there, torn or absent.
    const uint64_t from = match.alreadyWritten;
    std::string pendingLines;
    for (uint64_t i = from; i < from + match.unconfirmed; ++i) pendingLines += Line(log[i]);
    struct Target {
        std::string& bytes;
        uint64_t journaledStart;
        uint64_t firstToWrite = 0;
        uint64_t blockStart = 0;  // where records [from, n) begin in this file
    };
    Target targets[] = {{pc.recordFile, old ? old->recordStart : 0},
                        {pc.backup, old ? old->backupStart : 0}};
    for (Target& t : targets) {
        t.firstToWrite = from;
        t.blockStart = t.bytes.size();
        if (match.unconfirmed == 0) continue;
        const std::string fromStart =
            t.journaledStart < t.bytes.size() ? t.bytes.substr(t.journaledStart) : "";
        switch (FindPendingLines(fromStart, pendingLines)) {
            case PendingLines::Present:
                t.firstToWrite = from + match.unconfirmed;
                t.blockStart = t.journaledStart;
                break;
            case PendingLines::Torn:
                t.bytes.resize(t.journaledStart);  // only ever shorter
                t.blockStart = t.journaledStart;
                break;
            case PendingLines::Absent:
                break;
        }
    }

    SaveJournal(pc.disk, kFolder,
                MakePendingEntry(kMachine, kAddress, log, n, from, "qb400.txt",
                                 targets[0].blockStart, "yedek.txt", targets[1].blockStart));
    if (stop == Stop::AfterPendingJournal) return false;
    for (Target& t : targets)
        for (uint64_t i = t.firstToWrite; i < n; ++i) {
            if (stop == Stop::AfterHalfTheLines && i == (t.firstToWrite + n) / 2) {
                t.bytes += Line(log[i]).substr(0, 9);  // a torn line, then the kill
                return false;
            }
            t.bytes += Line(log[i]);
        }
    if (stop == Stop::AfterSync) return false;
    SaveJournal(pc.disk, kFolder, MakeJournalEntry(kMachine, kAddress, log, n));
    if (stop == Stop::AfterDoneJournal || !erase) return stop == Stop::Never;
    if (!link.ClearAttendanceRecords(kMachine, static_cast<uint32_t>(n), RecordsDigest(log)))
        return false;
    if (stop == Stop::AfterErase) return false;
    RemoveJournal(pc.disk, kFolder, kMachine, kAddress);
    return true;
}

AttendanceEntry Punch(int32_t user) { return {user, 1, user % 6, 2026, 12, 11, 9, user % 60, 0}; }

std::map<std::string, int> Count(const std::string& bytes) {
    std::map<std::string, int> lines;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find("\r\n", at);
        lines[bytes.substr(at, end == std::string::npos ? end : end + 2 - at)]++;
        at = end == std::string::npos ? bytes.size() : end + 2;
    }
    return lines;
}

TEST(ExactlyOnce, AKillAfterAnyStepThenPunchesThenTransfersLoseAndDoubleNothing) {
    const Stop stops[] = {Stop::Never,     Stop::AfterPendingJournal, Stop::AfterHalfTheLines,
                          Stop::AfterSync, Stop::AfterDoneJournal,    Stop::AfterErase};
    for (const bool erase : {true, false}) {
        for (const Stop stop : stops) {
            SCOPED_TRACE(testing::Message() << "erase " << erase << ", stop " << int(stop));
            TerminalState state;
            state.machineNumber = kMachine;
            for (int32_t u = 1; u <= 6; ++u) state.log.push_back(Punch(u));
            MemoryTerminal terminal(state);
            MemoryLink link(terminal);
            ASSERT_TRUE(link.ConnectNetwork(kAddress, 4370));
            Pc pc;

            Transfer(link, pc, erase, stop);
            for (int32_t u = 7; u <= 9; ++u) terminal.AppendRecord(Punch(u));
            ASSERT_TRUE(Transfer(link, pc, erase));
            terminal.AppendRecord(Punch(10));
            ASSERT_TRUE(Transfer(link, pc, erase));

            std::map<std::string, int> want;
            for (int32_t u = 1; u <= 10; ++u) want[Line(terminal.ValuesOf(Punch(u)))] = 1;
            EXPECT_EQ(Count(pc.recordFile), want);
            EXPECT_EQ(Count(pc.backup), want);
            EXPECT_EQ(terminal.AttendanceLog().size(), erase ? 0u : 10u);
        }
    }
}

TEST(ExactlyOnce, ARefusedEraseThenATransferDoublesNothing) {
    TerminalState state;
    state.machineNumber = kMachine;
    for (int32_t u = 1; u <= 4; ++u) state.log.push_back(Punch(u));
    MemoryTerminal terminal(state);
    MemoryLink link(terminal);
    ASSERT_TRUE(link.ConnectNetwork(kAddress, 4370));
    Pc pc;
    link.failClear = true;
    EXPECT_FALSE(Transfer(link, pc, true));
    EXPECT_EQ(terminal.AttendanceLog().size(), 4u) << "refused: all still on the terminal";
    terminal.AppendRecord(Punch(5));
    link.failClear = false;
    ASSERT_TRUE(Transfer(link, pc, true));
    EXPECT_EQ(Count(pc.recordFile).size(), 5u);
    for (const auto& [line, times] : Count(pc.recordFile)) EXPECT_EQ(times, 1) << line;
    EXPECT_TRUE(terminal.AttendanceLog().empty());
}

TEST(ExactlyOnce, AJournalThatNoLongerMatchesWritesEverything) {
    TerminalState state;
    state.machineNumber = kMachine;
    for (int32_t u = 1; u <= 3; ++u) state.log.push_back(Punch(u));
    MemoryTerminal terminal(state);
    MemoryLink link(terminal);
    ASSERT_TRUE(link.ConnectNetwork(kAddress, 4370));
    Pc pc;
    ASSERT_TRUE(Transfer(link, pc, false));  // only new records: the log is kept
    // Another PC takes the log and clears it; new punches come.
    terminal.ClearAttendanceLog();
    for (int32_t u = 11; u <= 14; ++u) terminal.AppendRecord(Punch(u));
    ASSERT_TRUE(Transfer(link, pc, false));
    EXPECT_EQ(Count(pc.recordFile).size(), 7u) << "every new punch written, none hidden";
}

}  // namespace
}  // namespace aktarim
