#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CrashingFileSystem.h"
#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/TransferJournal.h"

namespace aktarim {
namespace {

const std::string kAddress = "192.168.1.10:4370";

AttendanceValues Punch(int32_t user, int32_t minute, int32_t state = 0) {
    return {7, user, 7, 1, state, 2026, 12, 11, 8, minute};
}

// A log of n punches, each distinct.
std::vector<AttendanceValues> Log(int n, int firstUser = 1) {
    std::vector<AttendanceValues> log;
    for (int i = 0; i < n; ++i) log.push_back(Punch(firstUser + i, i % 60));
    return log;
}

std::vector<AttendanceValues> Concat(std::vector<AttendanceValues> a,
                                     const std::vector<AttendanceValues>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(TransferJournal, TheEntryCountsOnlyWhenTheLogBeginsWithItsRecords) {
    const std::vector<AttendanceValues> written = Log(3);
    const std::optional<JournalEntry> entry = MakeJournalEntry(7, kAddress, written, 3);
    std::vector<AttendanceValues> swapped = written;
    std::swap(swapped[0], swapped[1]);
    std::vector<AttendanceValues> oneValueOff = written;
    oneValueOff[2].inOutState = 1;
    const std::vector<AttendanceValues> twoRecordsTwice = {Punch(1, 0), Punch(1, 0)};

    const JournalEntry pending =
        MakePendingEntry(7, kAddress, written, 3, 1, "/p/qb400.txt", 310, "/p/yedekler/x.txt", 62);

    struct Want {
        uint64_t alreadyWritten, unconfirmed;
        bool drop;
    };
    struct Case {
        const char* name;
        std::optional<JournalEntry> entry;
        int32_t machine;
        std::string address;
        std::vector<AttendanceValues> log;
        Want want;
    };
    const Case cases[] = {
        {"no journal", std::nullopt, 7, kAddress, written, {0, 0, false}},
        {"the erase did not happen: the same log", entry, 7, kAddress, written, {3, 0, false}},
        {"punches came after", entry, 7, kAddress, Concat(written, Log(2, 50)), {3, 0, false}},
        {"the log was cleared elsewhere", entry, 7, kAddress, {}, {0, 0, true}},
        {"cleared, and fewer new punches than the entry",
         entry,
         7,
         kAddress,
         Log(2, 90),
         {0, 0, true}},
        {"cleared, and as many new punches", entry, 7, kAddress, Log(3, 90), {0, 0, true}},
        {"taken by another PC, then more punches", entry, 7, kAddress, Log(5, 90), {0, 0, true}},
        {"the same records in another order", entry, 7, kAddress, swapped, {0, 0, true}},
        {"one value differs", entry, 7, kAddress, oneValueOff, {0, 0, true}},
        {"another machine number", entry, 8, kAddress, written, {0, 0, false}},
        {"another address", entry, 7, "192.168.1.11:4370", written, {0, 0, false}},
        {"an entry of no records",
         MakeJournalEntry(7, kAddress, written, 0),
         7,
         kAddress,
         written,
         {0, 0, true}},
        {"a repeated punch is counted as many times as it was written",
         MakeJournalEntry(7, kAddress, twoRecordsTwice, 1),
         7,
         kAddress,
         twoRecordsTwice,
         {1, 0, false}},
        {"killed while writing: one sure, two to look for",
         pending,
         7,
         kAddress,
         Concat(written, Log(1, 50)),
         {1, 2, false}},
        {"killed while writing, then cleared elsewhere",
         pending,
         7,
         kAddress,
         Log(4, 90),
         {0, 0, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const JournalMatch got = MatchJournal(c.entry, c.machine, c.address, c.log);
        EXPECT_EQ(got.alreadyWritten, c.want.alreadyWritten);
        EXPECT_EQ(got.unconfirmed, c.want.unconfirmed);
        EXPECT_EQ(got.dropEntry, c.want.drop);
    }
}

TEST(TransferJournal, PendingLinesAreFoundWholeTornOrAbsent) {
    const std::string lines =
        "0000000100001202612110800000101\r\n"
        "0000000200001202612110801000101\r\n";
    struct Case {
        const char* name;
        std::string fromStart;
        PendingLines want;
    };
    const Case cases[] = {
        {"written and synced", lines, PendingLines::Present},
        {"written, then another device's lines", lines + "0000000900003x\r\n",
         PendingLines::Present},
        {"never written", "", PendingLines::Absent},
        {"half written", lines.substr(0, 40), PendingLines::Torn},
        {"one byte of them", lines.substr(0, 1), PendingLines::Torn},
        {"all but the last line end", lines.substr(0, lines.size() - 1), PendingLines::Torn},
        {"the file emptied and refilled by another program", "other text\r\n",
         PendingLines::Absent},
        {"a torn beginning followed by something else", lines.substr(0, 20) + "X",
         PendingLines::Absent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindPendingLines(c.fromStart, lines), c.want);
    }
    EXPECT_EQ(FindPendingLines("anything", ""), PendingLines::Present) << "nothing was pending";
}

TEST(TransferJournal, TheDigestIsOverEveryValueInOrder) {
    const AttendanceValues base = Punch(12, 30, 2);
    const uint64_t digest = RecordsDigest(std::vector{base});
    for (int field = 0; field < 10; ++field) {
        AttendanceValues other = base;
        int32_t* values[] = {&other.machineNumber, &other.userNumber, &other.enrolMachine,
                             &other.verifyMode,    &other.inOutState, &other.year,
                             &other.month,         &other.day,        &other.hour,
                             &other.minute};
        *values[field] += 1;
        EXPECT_NE(RecordsDigest(std::vector{other}), digest) << "field " << field;
    }
    EXPECT_NE(RecordsDigest(Log(2)), RecordsDigest(std::vector{Log(2)[1], Log(2)[0]}));
    EXPECT_NE(RecordsDigest({}), RecordsDigest(std::vector{Punch(0, 0)}));
}

TEST(TransferJournal, TheDigestIsTheOneTheProtocolDocumentDefines) {
    // Worked out from the definition in docs/protocol.md, apart from this
    // code: the PC and every terminal must agree on it to the bit.
    const AttendanceValues a{7, 12, 7, 1, 2, 2026, 12, 11, 8, 30};
    const AttendanceValues b{-1, 70000, 7, 0, 5, 2026, 1, 31, 23, 59};
    EXPECT_EQ(RecordsDigest({}), 0xcbf29ce484222325ull);
    EXPECT_EQ(RecordsDigest(std::vector{a}), 0x13938260144328a3ull);
    EXPECT_EQ(RecordsDigest(std::vector{a, b}), 0x45295784e6bd8de7ull);
}

TEST(TransferJournal, AnEntryReadsBackAndADamagedOneCountsAsAbsent) {
    const JournalEntry entry = MakeJournalEntry(7, kAddress, Log(40), 40);
    const std::string text = FormatJournal(entry);
    ASSERT_EQ(ParseJournal(text), entry);
    const JournalEntry pending =
        MakePendingEntry(7, kAddress, Log(40), 40, 12, "/veri/qb400.txt", 123456789012,
                         "/veri/yedekler/20261211-7.txt", 31);
    ASSERT_EQ(ParseJournal(FormatJournal(pending)), pending);
    EXPECT_TRUE(pending.pending());
    EXPECT_FALSE(entry.pending());
    EXPECT_EQ(ParseJournal(FormatJournal(MakeJournalEntry(-3, "COM1", {}, 0))),
              MakeJournalEntry(-3, "COM1", {}, 0));

    std::string countChanged = text;
    countChanged.replace(countChanged.find("kayit=40"), 8, "kayit=90");
    std::string lfOnly;
    for (const char c : text)
        if (c != '\r') lfOnly += c;
    const std::string damaged[] = {
        "",
        text.substr(0, text.size() - 1),    // the last line end torn
        text.substr(0, text.size() / 2),    // half written
        text.substr(0, text.find("ozet")),  // no digest, no check
        countChanged,                       // a value changed: the check fails
        lfOnly,
        text + "kayit=1\r\n",            // a line too many
        std::string(text.size(), '\0'),  // the zeros a power cut can leave
    };
    for (const std::string& bad : damaged) EXPECT_EQ(ParseJournal(bad), std::nullopt) << bad;
}

TEST(TransferJournal, AnAddressThatIsNoPlainLineStaysTheSameTerminal) {
    // Typed addresses may hold anything; the file stays one entry per line
    // and the entry still matches the terminal it was written for.
    const std::string typed = "10.0.0.1:4370\r\nkayit=99";
    const std::vector<AttendanceValues> log = Log(2);
    const JournalEntry entry = MakeJournalEntry(1, typed, log, 2);
    ASSERT_EQ(ParseJournal(FormatJournal(entry)), entry);
    EXPECT_EQ(MatchJournal(entry, 1, typed, log).alreadyWritten, 2u);
    EXPECT_EQ(JournalPath("/p", 1, typed),
              JoinPath(JoinPath("/p", "gunluk"), "1-10_0_0_1_4370__kayit_99.txt"));
}

TEST(TransferJournal, SavedLoadedAndRemovedPerTerminal) {
    test::TempDir dir;
    FileSystem& fs = RealFileSystem();
    const JournalEntry a = MakeJournalEntry(1, kAddress, Log(5), 5);
    const JournalEntry b = MakeJournalEntry(2, "COM1", Log(3), 2);
    EXPECT_EQ(LoadJournal(fs, dir.path(), 1, kAddress), std::nullopt);
    SaveJournal(fs, dir.path(), a);
    SaveJournal(fs, dir.path(), b);
    EXPECT_EQ(LoadJournal(fs, dir.path(), 1, kAddress), a);
    EXPECT_EQ(LoadJournal(fs, dir.path(), 2, "COM1"), b);
    EXPECT_EQ(LoadJournal(fs, dir.path(), 1, "COM1"), std::nullopt);

    // Two addresses that share a file name do not read each other's entry.
    EXPECT_EQ(LoadJournal(fs, dir.path(), 1, "192_168_1_10_4370"), std::nullopt);

    const JournalEntry later = MakeJournalEntry(1, kAddress, Log(9), 9);
    SaveJournal(fs, dir.path(), later);
    EXPECT_EQ(LoadJournal(fs, dir.path(), 1, kAddress), later);

    RemoveJournal(fs, dir.path(), 1, kAddress);
    RemoveJournal(fs, dir.path(), 1, kAddress);  // none left is no error
    EXPECT_EQ(LoadJournal(fs, dir.path(), 1, kAddress), std::nullopt);
    EXPECT_EQ(LoadJournal(fs, dir.path(), 2, "COM1"), b);
    EXPECT_EQ(std::filesystem::directory_iterator(dir.File("gunluk"))->path().filename(),
              "2-COM1.txt")
        << "no temporary file is left";

    test::WriteAll(JournalPath(dir.path(), 2, "COM1"), "aktarim-gunluk 1\r\nmakine=2\r\n");
    EXPECT_EQ(LoadJournal(fs, dir.path(), 2, "COM1"), std::nullopt) << "torn";
}

TEST(TransferJournal, AFailedSaveKeepsTheOldEntryWhole) {
    test::TempDir dir;
    const JournalEntry old = MakeJournalEntry(1, kAddress, Log(5), 5);
    SaveJournal(RealFileSystem(), dir.path(), old);
    const JournalEntry next = MakeJournalEntry(1, kAddress, Log(8), 8);
    // Every counted call of a save, failed in turn: the save throws and the
    // old entry stays, or the save went through.
    int failures = 0;
    for (int failAt = 1; failAt <= 7; ++failAt) {
        SCOPED_TRACE(failAt);
        test::FailingFileSystem failing;
        failing.failAt = failAt;
        failing.countCloseAndDirectorySync = true;
        failing.failingWriteWritesHalf = true;
        bool saved = true;
        try {
            SaveJournal(failing, dir.path(), next);
        } catch (const AppError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Io);
            saved = false;
            ++failures;
        }
        // A failure after the rename (the folder sync) reports the failure
        // with the new entry in place; either entry is whole.
        const auto now = LoadJournal(RealFileSystem(), dir.path(), 1, kAddress);
        EXPECT_TRUE(now == old || now == next);
        if (saved) {
            EXPECT_EQ(now, next);
        }
        SaveJournal(RealFileSystem(), dir.path(), old);
    }
    EXPECT_GE(failures, 5);
}

TEST(TransferJournal, APowerCutLeavesTheOldEntryOrTheNewOneNeverATornOne) {
    const JournalEntry old = MakeJournalEntry(1, kAddress, Log(5), 5);
    const JournalEntry next = MakeJournalEntry(1, kAddress, Log(8), 8);
    for (int crashAt = 1; crashAt <= 8; ++crashAt) {
        SCOPED_TRACE(crashAt);
        test::CrashingFileSystem disk;
        disk.keepHalfOfUnsyncedAppends = true;
        disk.PutDirectory("/p");
        SaveJournal(disk, "/p", old);
        disk.calls = 0;
        disk.crashAt = crashAt;
        bool finished = false;
        try {
            SaveJournal(disk, "/p", next);
            finished = true;
        } catch (const test::PowerCut&) {
        }
        disk.Restart();
        const auto now = LoadJournal(disk, "/p", 1, kAddress);
        ASSERT_TRUE(now == old || now == next);
        if (finished) {
            EXPECT_EQ(now, next) << "a finished save is durable";
        }
    }
}

}  // namespace
}  // namespace aktarim
