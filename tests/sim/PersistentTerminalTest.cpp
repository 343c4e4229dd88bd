#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>

#include "TempDir.h"
#include "core/Errors.h"
#include "sim/PersistentTerminal.h"
#include "sim/StateJson.h"

using namespace aktarim;
using namespace aktarim::sim;
using aktarim::test::TempDir;

namespace {

TerminalState StartState() {
    TerminalState state;
    state.machineNumber = 3;
    state.users[10] = {10, "Ayşe Yılmaz", "", 0, true, "0012345678"};
    state.users[11] = {11, "Mehmet Öztürk", "1234", 2, true, ""};
    state.users[123456] = {123456, "Gülşen Çelik", "", 3, false, "0099887766"};
    state.templates[{10, 0}] = std::string(24, 'k');
    state.templates[{10, 6}] = std::string(30, 'm');
    state.templates[{11, 1}] = std::string(36, 'z');
    state.log = {{10, 1, 0, 2024, 5, 2, 8, 2, 11}, {11, 2, 1, 2024, 5, 2, 17, 31, 59}};
    return state;
}

DemoData AsDemoData(const TerminalState& state) {
    DemoData data;
    for (const auto& [number, user] : state.users) data.users.push_back(user);
    data.templates = {state.templates.begin(), state.templates.end()};
    data.records = state.log;
    return data;
}

std::time_t FixedNow() {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 15;
    t.tm_hour = 10;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// A file state filled with StartState().
void FillFile(const std::string& path) {
    PersistentTerminal terminal(path);
    terminal.SetMachineNumber(StartState().machineNumber);
    terminal.Import(AsDemoData(StartState()));
}

}  // namespace

TEST(PersistentTerminal, ANewStateIsMachineOneAndEmptyAndReopensAsItWasLeft) {
    TempDir dir;
    const std::string path = dir.File("state.db");
    {
        PersistentTerminal terminal(path);
        EXPECT_TRUE(terminal.IsNew());
        EXPECT_TRUE(terminal.IsEmpty());
        EXPECT_EQ(terminal.machineNumber(), 1);
        terminal.SetMachineNumber(3);
        terminal.SetClockOffset(-7200);
        terminal.Import(AsDemoData(StartState()));
    }
    PersistentTerminal reopened(path);
    EXPECT_FALSE(reopened.IsNew());
    EXPECT_FALSE(reopened.IsEmpty());
    TerminalState expected = StartState();
    expected.clockOffsetSeconds = -7200;
    EXPECT_EQ(StateToJson(reopened.state()), StateToJson(expected));
    EXPECT_EQ(StateToJson(ReadStateFile(path)), StateToJson(expected));
}

// Every change is applied both to a plain MemoryTerminal and to the file; after
// a reopen the file must hold what the memory terminal holds.
TEST(PersistentTerminal, EveryChangeSurvivesAReopenExactlyAsInMemory) {
    struct Change {
        const char* name;
        std::function<void(MemoryTerminal&)> apply;
    };
    const std::array<Change, 15> changes = {{
        {"ClearAttendanceLog", [](MemoryTerminal& t) { t.ClearAttendanceLog(); }},
        {"ClearAdministrators", [](MemoryTerminal& t) { t.ClearAdministrators(); }},
        {"ClearAllData", [](MemoryTerminal& t) { t.ClearAllData(); }},
        {"WriteUser new", [](MemoryTerminal& t) { t.WriteUser(77, "İsmail Koç", "9", 1, true); }},
        {"WriteUser existing keeps card",
         [](MemoryTerminal& t) { t.WriteUser(10, "Ayşe Yılmaz Kara", "55", 3, false); }},
        {"DeleteUser", [](MemoryTerminal& t) { t.DeleteUser(10); }},
        {"DeleteUser unknown", [](MemoryTerminal& t) { t.DeleteUser(999); }},
        {"WriteTemplate", [](MemoryTerminal& t) { t.WriteTemplate(11, 9, std::string(900, 'q')); }},
        {"WriteTemplate refused",
         [](MemoryTerminal& t) {
             t.WriteTemplate(11, 10, "x");
             t.WriteTemplate(5, 0, "no such user");
         }},
        {"DeleteTemplate", [](MemoryTerminal& t) { t.DeleteTemplate(10, 6); }},
        {"SetClock",
         [](MemoryTerminal& t) {
             t.SetClock({2024, 6, 15, 11, 30, 5}, FixedNow());
         }},
        {"AppendRecord",
         [](MemoryTerminal& t) {
             t.AppendRecord({11, 0, 5, 2024, 6, 15, 21, 0, 1});
             t.AppendRecord({123456, 1, 4, 2024, 6, 15, 22, 10, 0});
         }},
        {"ClearFirstRecords",
         [](MemoryTerminal& t) {
             const AttendanceValues first = t.ValuesOf(t.AttendanceLog()[0]);
             t.ClearFirstRecords(1, RecordsDigest(std::span(&first, 1)));
         }},
        {"ClearFirstRecords refused",
         [](MemoryTerminal& t) { t.ClearFirstRecords(1, RecordsDigest({})); }},
        {"several in a row",
         [](MemoryTerminal& t) {
             t.DeleteUser(11);
             t.WriteUser(11, "Mehmet Öztürk", "", 0, true);
             t.WriteTemplate(11, 3, std::string(700, 'w'));
             t.ClearAttendanceLog();
             t.AppendRecord({11, 1, 2, 2024, 6, 15, 12, 1, 2});
         }},
    }};
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        TempDir dir;
        const std::string path = dir.File("state.db");
        FillFile(path);
        MemoryTerminal reference(StartState());
        change.apply(reference);
        {
            PersistentTerminal terminal(path);
            change.apply(terminal);
            EXPECT_EQ(StateToJson(terminal.state()), StateToJson(reference.state()));
        }
        EXPECT_EQ(StateToJson(PersistentTerminal(path).state()), StateToJson(reference.state()));
    }
}

TEST(PersistentTerminal, ClearAttendanceLogEmptiesTheFileButKeepsPeople) {
    TempDir dir;
    const std::string path = dir.File("state.db");
    FillFile(path);
    PersistentTerminal(path).ClearAttendanceLog();
    const TerminalState state = ReadStateFile(path);
    EXPECT_TRUE(state.log.empty());
    EXPECT_EQ(state.users.size(), 3u);
    EXPECT_EQ(state.templates.size(), 3u);
}

TEST(PersistentTerminal, SeedingManyRecordsIsOneQuickTransaction) {
    TempDir dir;
    const std::string path = dir.File("state.db");
    const DemoData data = MakeDemoData({50, 20000, 2, 7}, FixedNow());
    const auto start = std::chrono::steady_clock::now();
    PersistentTerminal(path).Import(data);
    const auto took = std::chrono::steady_clock::now() - start;
    // A transaction per row would sync the disk 20,000 times.
    EXPECT_LT(took, std::chrono::seconds(3));
    const TerminalState state = ReadStateFile(path);
    EXPECT_EQ(state.log.size(), 20000u);
    EXPECT_EQ(state.templates.size(), 100u);
}

TEST(PersistentTerminal, ReadingSomethingThatIsNoStateFailsWithoutCreatingIt) {
    TempDir dir;
    const std::string missing = dir.File("missing.db");
    EXPECT_THROW(ReadStateFile(missing), AppError);
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::string empty = dir.File("empty.db");
    std::ofstream{empty};
    EXPECT_THROW(ReadStateFile(empty), AppError) << "a database without the simulator's tables";
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);

    const std::string text = dir.File("notes.txt");
    std::ofstream(text) << "not a database, just some text that is long enough to matter\n";
    EXPECT_THROW(ReadStateFile(text), AppError);
    EXPECT_THROW(PersistentTerminal{text}, AppError);
    std::ifstream in(text);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "not a database, just some text that is long enough to matter");
}

TEST(PersistentTerminal, PunchesAreStoredAndCountedFromTheLastReset) {
    TempDir dir;
    const std::string path = dir.File("state.db");
    FillFile(path);
    const AttendanceEntry punch{11, 1, 3, 2024, 6, 15, 9, 41, 7};
    {
        PersistentTerminal terminal(path);
        terminal.ResetPunchesAdded();
        terminal.AppendPunch(punch);
        terminal.AppendPunch(punch);
        EXPECT_EQ(terminal.punchesAdded(), 2);
    }
    EXPECT_EQ(ReadPunchesAdded(path), 2);
    PersistentTerminal reopened(path);
    EXPECT_EQ(reopened.punchesAdded(), 2);
    ASSERT_EQ(reopened.AttendanceLog().size(), StartState().log.size() + 2);
    EXPECT_EQ(StateToJson({3, 0, {}, {}, {punch}})["records"][0],
              StateToJson(reopened.state())["records"].back());
    reopened.ResetPunchesAdded();
    EXPECT_EQ(ReadPunchesAdded(path), 0);
}
