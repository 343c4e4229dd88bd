// Every file call of four commands fails in turn (once, and from then on),
// and the power goes at every file call in turn; after each, the disk must
// hold whole files, whole lines, each device's lines all or none, and no
// terminal may have lost a record that is not in both files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "CrashingFileSystem.h"
#include "FailingFileSystem.h"
#include "Scenarios.h"
#include "TempDir.h"

using namespace aktarim;
using namespace aktarim::test;

namespace {

using Factory = std::function<std::unique_ptr<Scenario>()>;
using Contents = std::map<std::string, std::optional<std::string>>;

Ending ActCatching(Scenario& s) {
    Ending ending;
    try {
        s.Act();
    } catch (const AppError& e) {
        ending.kind = Ending::Kind::Failed;
        ending.error = e;
    } catch (const PowerCut&) {
        ending.kind = Ending::Kind::Crashed;
    }
    return ending;
}

Contents Read(const Disk& disk, const Scenario& s) {
    Contents contents;
    for (const std::string& file : s.Files()) contents[file] = disk.read(disk.root + "/" + file);
    return contents;
}

// Every file the scenario's folders hold, relative to the root.
std::set<std::string> Listing(const Disk& disk, const Scenario& s) {
    std::set<std::string> names;
    for (const std::string& file : s.Files()) {
        const std::string folder = DirectoryOf(file);
        const std::string prefix = folder == "." ? "" : folder + "/";
        for (const std::string& name :
             disk.list(folder == "." ? disk.root : disk.root + "/" + folder))
            names.insert(prefix + name);
    }
    return names;
}

std::set<std::string> Present(const Contents& contents) {
    std::set<std::string> names;
    for (const auto& [name, content] : contents)
        if (content) names.insert(name);
    return names;
}

// The files after an undisturbed run, and how many counted calls it made.
struct Reference {
    Contents after;
    int calls = 0;
};

Reference RunUndisturbed(const Factory& make) {
    TempDir dir;
    const Disk disk = RealDisk(dir);
    auto s = make();
    s->Seed(disk);
    FailingFileSystem fs;
    fs.countCloseAndDirectorySync = true;
    s->Open(fs, disk.root);
    fs.calls = 0;
    s->Act();
    return {Read(disk, *s), fs.calls};
}

// --- commands that replace whole files -------------------------------------

struct ReplacementCase {
    const char* name;
    Factory make;
};
void PrintTo(const ReplacementCase& c, std::ostream* os) { *os << c.name; }

class ReplacedFiles : public testing::TestWithParam<ReplacementCase> {};

// Fails call n of the command, once or from then on, for every n; each file
// must then be wholly as before or wholly as after an undisturbed run.
void FailEachCall(const ReplacementCase& c, bool fromThenOn) {
    const Reference reference = RunUndisturbed(c.make);
    ASSERT_GT(reference.calls, 3);
    int failures = 0;
    for (int n = 1; n <= reference.calls; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n) +
                     (fromThenOn ? " and every later one" : " once"));
        TempDir dir;
        const Disk disk = RealDisk(dir);
        auto s = c.make();
        s->Seed(disk);
        FailingFileSystem fs;
        fs.countCloseAndDirectorySync = true;
        fs.failingWriteWritesHalf = !fromThenOn;
        s->Open(fs, disk.root);
        const Contents before = Read(disk, *s);
        fs.calls = 0;
        fs.failAt = n;
        fs.failFromThenOn = fromThenOn;
        const Ending ending = ActCatching(*s);
        fs.failAt = 0;
        const Contents after = Read(disk, *s);
        for (const auto& [file, content] : after) {
            EXPECT_TRUE(content == before.at(file) || content == reference.after.at(file))
                << file << " is neither the old nor the new file:\n"
                << content.value_or("<missing>");
        }
        if (ending.kind == Ending::Kind::Failed) {
            ++failures;
            s->CheckFailureReported(*ending.error);
        } else {
            EXPECT_EQ(after, reference.after)
                << "no error reported, yet the work is not on the disk";
        }
        if (fromThenOn) continue;
        // A single refused call: the command is taken back whole, leaves no
        // temporary file, and the same command succeeds once the disk is well.
        EXPECT_EQ(Listing(disk, *s), Present(after));
        if (ending.kind == Ending::Kind::Failed) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(ActCatching(*s).kind, Ending::Kind::Completed);
            EXPECT_EQ(Read(disk, *s), reference.after);
        }
    }
    EXPECT_GT(failures, 0);
    std::cout << "[ figures  ] " << c.name << ": " << reference.calls << " calls failed "
              << (fromThenOn ? "from then on" : "once") << ", " << failures << " reported\n";
}

TEST_P(ReplacedFiles, EveryCallFailingOnceLeavesOldOrNewFiles) { FailEachCall(GetParam(), false); }

TEST_P(ReplacedFiles, EveryCallFailingFromThenOnLeavesOldOrNewFiles) {
    FailEachCall(GetParam(), true);
}

// The power goes at call n, for every n and once after the last: what the
// disk keeps is, file by file, the old or the new content, and no temporary
// file survives.
TEST_P(ReplacedFiles, APowerCutAtEveryCallLeavesOldOrNewFiles) {
    const ReplacementCase& c = GetParam();
    const Reference reference = RunUndisturbed(c.make);
    for (int n = 1; n <= reference.calls + 1; ++n) {
        SCOPED_TRACE("power cut at call " + std::to_string(n));
        CrashingFileSystem fs;
        const Disk disk = DurableDisk(fs);
        auto s = c.make();
        s->Seed(disk);
        s->Open(fs, disk.root);
        const Contents before = Read(disk, *s);
        fs.calls = 0;
        fs.crashAt = n;
        const Ending ending = ActCatching(*s);
        EXPECT_EQ(ending.kind,
                  n <= reference.calls ? Ending::Kind::Crashed : Ending::Kind::Completed);
        const Contents after = Read(disk, *s);
        for (const auto& [file, content] : after) {
            EXPECT_TRUE(content == before.at(file) || content == reference.after.at(file))
                << file << " is neither the old nor the new file:\n"
                << content.value_or("<missing>");
        }
        EXPECT_EQ(Listing(disk, *s), Present(after));
        if (n > reference.calls) {
            EXPECT_EQ(after, reference.after) << "a finished command is not durable";
        }
    }
    std::cout << "[ figures  ] " << c.name << ": " << reference.calls + 1 << " power cut points\n";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ReplacedFiles,
    testing::Values(ReplacementCase{"SaveDeviceList",
                                    [] { return std::make_unique<SaveDevicesScenario>(); }},
                    ReplacementCase{"TemplatesToStore",
                                    [] {
                                        return std::make_unique<PersonnelScenario>(
                                            PersonnelScenario::Command::TemplatesToStore);
                                    }},
                    ReplacementCase{"DeleteWithListRebuild",
                                    [] {
                                        return std::make_unique<PersonnelScenario>(
                                            PersonnelScenario::Command::Delete);
                                    }}),
    [](const testing::TestParamInfo<ReplacementCase>& info) {
        return std::string(info.param.name);
    });

// --- the transfer ----------------------------------------------------------

struct TransferCase {
    const char* name;
    TransferLayout layout;
    bool tornWrites;  // failing writes and power cuts leave half of what was written
};
void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }

class TransferFaults : public testing::TestWithParam<TransferCase> {
  protected:
    const TransferLayout& layout() const { return GetParam().layout; }
    bool torn() const { return GetParam().tornWrites; }
    int CountCalls() const {
        auto terminals = std::make_shared<Terminals>();
        return RunUndisturbed(
                   [&] { return std::make_unique<TransferScenario>(terminals, layout()); })
            .calls;
    }
};

TEST_P(TransferFaults, EveryCallFailingKeepsLinesWholeAndLogsUntilSafe) {
    const int total = CountCalls();
    ASSERT_GT(total, 12);
    for (const bool fromThenOn : {false, true}) {
        for (int n = 1; n <= total; ++n) {
            SCOPED_TRACE("failing call " + std::to_string(n) +
                         (fromThenOn ? " and every later one" : " once"));
            auto terminals = std::make_shared<Terminals>();
            TempDir dir;
            const Disk disk = RealDisk(dir);
            TransferScenario s(terminals, layout());
            s.Seed(disk);
            FailingFileSystem fs;
            fs.countCloseAndDirectorySync = true;
            fs.failingWriteWritesHalf = torn();
            fs.errorNumber = ENOSPC;
            s.Open(fs, disk.root);
            fs.calls = 0;
            fs.failAt = n;
            fs.failFromThenOn = fromThenOn;
            const Ending ending = ActCatching(s);
            fs.failAt = 0;
            // A half-written block is cut back, unless the disk refuses that too.
            CheckTransferFiles(disk, *terminals, layout(), fromThenOn && torn());
            if (ending.kind == Ending::Kind::Failed) {
                s.CheckFailureReported(*ending.error);
                EXPECT_EQ(std::string(ending.error->what()), "Disk dolu");
            } else {
                CheckEverythingDelivered(disk, *terminals, layout(), 1);
            }
            // The next transfer on a healthy disk delivers the rest, with
            // whole lines; after a single refused call nothing is written twice.
            EXPECT_EQ(ActCatching(s).kind, Ending::Kind::Completed);
            CheckEverythingDelivered(disk, *terminals, layout(), fromThenOn ? 2 : 1);
        }
    }
    std::cout << "[ figures  ] transfer, " << GetParam().name << ": " << total
              << " calls failed once and from then on\n";
}

TEST_P(TransferFaults, APowerCutAtEveryCallLosesNoRecord) {
    const int total = CountCalls();
    for (int n = 1; n <= total + 1; ++n) {
        SCOPED_TRACE("power cut at call " + std::to_string(n));
        auto terminals = std::make_shared<Terminals>();
        CrashingFileSystem fs;
        fs.keepHalfOfUnsyncedAppends = torn();
        const Disk disk = DurableDisk(fs);
        {
            TransferScenario s(terminals, layout());
            s.Seed(disk);
            s.Open(fs, disk.root);
            fs.calls = 0;
            fs.crashAt = n;
            EXPECT_EQ(ActCatching(s).kind,
                      n <= total ? Ending::Kind::Crashed : Ending::Kind::Completed);
        }
        // Every record is still on its terminal or in both files.
        CheckTransferFiles(disk, *terminals, layout(), torn());
        // The machine comes back and the transfer runs again: everything
        // arrives, durably, in whole lines, at most twice in the record file.
        fs.Restart();
        TransferScenario again(terminals, layout());
        again.Open(fs, disk.root);
        EXPECT_EQ(ActCatching(again).kind, Ending::Kind::Completed);
        CheckEverythingDelivered(disk, *terminals, layout(), 2);
    }
    std::cout << "[ figures  ] transfer, " << GetParam().name << ": " << total + 1
              << " power cut points\n";
}

INSTANTIATE_TEST_SUITE_P(
    Disks, TransferFaults,
    testing::Values(TransferCase{"ExistingBackupFolder", {true, "qb400.txt"}, false},
                    TransferCase{"NewBackupFolder", {false, "qb400.txt"}, false},
                    TransferCase{
                        "NewBackupFolderRecordFileElsewhere", {false, "kayit/qb400.txt"}, false},
                    TransferCase{"ExistingBackupFolderTornWrites", {true, "qb400.txt"}, true},
                    TransferCase{"NewBackupFolderTornWrites", {false, "qb400.txt"}, true}),
    [](const testing::TestParamInfo<TransferCase>& info) { return std::string(info.param.name); });

// A tail without its line end, as a cut write leaves it, goes before the
// next lines are written; whole lines before it stay. A last line that is
// not such a remnant (a whole record, someone's note) is kept and ended.
TEST(TornTail, TheNextTransferCutsItAndKeepsEveryWholeLine) {
    struct Case {
        const char* name;
        std::string before;
        std::string kept;
    };
    const std::string line = kOldRecordLine;
    const std::string bare = line.substr(0, 31);
    const std::array<Case, 10> cases = {{
        {"whole lines", line + line, line + line},
        {"cut in a line", line + line.substr(0, 17), line},
        {"cut before the LF", line + line.substr(0, 32), line},
        {"zeros of a power cut", line + std::string(4096, '\0'), line},
        {"nothing whole", line.substr(0, 9), ""},
        {"a tail longer than the window", line + std::string(70000, '\0'), line},
        {"LF ends are line ends", "a\nb\n", "a\nb\n"},
        {"a whole record without a line end", line + bare, line + bare + "\r\n"},
        {"someone's note without a line end", line + "elle eklenen not",
         line + "elle eklenen not\r\n"},
        {"a cut line then zeros", line + line.substr(0, 12) + std::string(100, '\0'), line},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto terminals = std::make_shared<Terminals>();
        TempDir dir;
        const Disk disk = RealDisk(dir);
        TransferScenario s(terminals, TransferLayout{});
        s.Seed(disk);
        disk.put(disk.root + "/qb400.txt", c.before);
        disk.put(disk.root + "/yedekler/20240305.001", c.before);
        s.Open(RealFileSystem(), disk.root);
        ASSERT_EQ(ActCatching(s).kind, Ending::Kind::Completed);
        std::string all;
        for (int k = 0; k < Terminals::kCount; ++k) all += ExpectedBlock(*terminals, k);
        EXPECT_EQ(disk.read(disk.root + "/qb400.txt"), c.kept + all);
        EXPECT_EQ(disk.read(disk.root + "/yedekler/20240305.001"),
                  c.kept + ExpectedBlock(*terminals, 0));
    }
}

// A whole record line left without its line end by a cut write, whose
// record the terminal still holds, goes too: the transfer writes it again.
TEST(TornTail, AWholeLineTheTerminalStillHoldsIsCutNotDoubled) {
    auto terminals = std::make_shared<Terminals>();
    TempDir dir;
    const Disk disk = RealDisk(dir);
    TransferScenario s(terminals, TransferLayout{});
    s.Seed(disk);
    const std::string first = ExpectedBlock(*terminals, 0);
    const std::string cut = first.substr(0, first.find("\r\n"));
    const std::string line = kOldRecordLine;
    disk.put(disk.root + "/qb400.txt", line + cut);
    disk.put(disk.root + "/yedekler/20240305.001", line + cut + "\r");
    s.Open(RealFileSystem(), disk.root);
    ASSERT_EQ(ActCatching(s).kind, Ending::Kind::Completed);
    std::string all;
    for (int k = 0; k < Terminals::kCount; ++k) all += ExpectedBlock(*terminals, k);
    EXPECT_EQ(disk.read(disk.root + "/qb400.txt"), line + all);
    EXPECT_EQ(disk.read(disk.root + "/yedekler/20240305.001"), line + first);
}

// --- the crash double itself -----------------------------------------------

TEST(CrashingFileSystem, KeepsOnlySyncedBytesAndNamesOfSyncedFolders) {
    struct Case {
        const char* name;
        std::function<void(FileSystem&)> steps;
        std::map<std::string, std::string> durable;
    };
    const std::array<Case, 5> cases = {{
        {"unsynced write is lost",
         [](FileSystem& fs) { fs.OpenAppend("/d/a")->Write("x"); },
         {{"/d/a", "old"}}},
        {"synced append stays",
         [](FileSystem& fs) {
             auto f = fs.OpenAppend("/d/a");
             f->Write("+1");
             f->Sync();
             f->Write("+2");
         },
         {{"/d/a", "old+1"}}},
        {"new file needs its folder synced",
         [](FileSystem& fs) {
             auto f = fs.Create("/d/b");
             f->Write("new");
             f->Sync();
         },
         {{"/d/a", "old"}}},
        {"rename is durable after the folder sync",
         [](FileSystem& fs) {
             auto f = fs.Create("/d/t");
             f->Write("new");
             f->Sync();
             f->Close();
             fs.Rename("/d/t", "/d/a");
             fs.SyncDirectory("/d");
         },
         {{"/d/a", "new"}}},
        {"a file in a new folder needs both folders synced",
         [](FileSystem& fs) {
             fs.CreateDirectories("/d/e");
             auto f = fs.Create("/d/e/c");
             f->Write("c");
             f->Sync();
             fs.SyncDirectory("/d/e");
         },
         {{"/d/a", "old"}}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CrashingFileSystem fs;
        fs.Put("/d/a", "old");
        c.steps(fs);
        EXPECT_EQ(fs.Durable(), c.durable);
    }
}

TEST(CrashingFileSystem, TheCrashingCallDoesNotHappenAndLaterCallsFail) {
    CrashingFileSystem fs;
    fs.Put("/d/a", "old");
    fs.crashAt = 3;
    auto f = fs.OpenAppend("/d/a");  // 1
    f->Write("new");                 // 2
    EXPECT_THROW(f->Sync(), PowerCut);
    EXPECT_TRUE(fs.crashed());
    EXPECT_THROW(f->Sync(), AppError);
    EXPECT_EQ(fs.Durable("/d/a"), "old");
    EXPECT_EQ(fs.Live("/d/a"), "oldnew");
    fs.Restart();
    EXPECT_EQ(fs.Live("/d/a"), "old");
    EXPECT_FALSE(fs.crashed());
}

}  // namespace
