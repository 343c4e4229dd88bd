#include <gtest/gtest.h>

#include <array>
#include <ctime>

#include "SampleTerminal.h"
#include "terminal/MemoryTerminal.h"

using namespace aktarim;
using aktarim::test::SampleState;

namespace {

// A fixed PC time, so that clock arithmetic does not depend on when tests run.
std::time_t PcNow() {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 15;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

}  // namespace

TEST(MemoryTerminal, ClearAdministratorsMakesEveryPrivilegeZeroAndKeepsTheRest) {
    MemoryTerminal terminal(SampleState());
    ASSERT_EQ(terminal.StatusValue(1), 3);

    terminal.ClearAdministrators();

    const auto before = SampleState();
    ASSERT_EQ(terminal.state().users.size(), before.users.size());
    for (const auto& [number, user] : terminal.state().users) {
        SCOPED_TRACE(number);
        const TerminalUser& old = before.users.at(number);
        EXPECT_EQ(user.privilege, 0);
        EXPECT_EQ(user.name, old.name);
        EXPECT_EQ(user.password, old.password);
        EXPECT_EQ(user.card, old.card);
        EXPECT_EQ(user.enabled, old.enabled);
    }
    EXPECT_EQ(terminal.StatusValue(1), 0);
    EXPECT_EQ(terminal.state().templates, before.templates);
    EXPECT_EQ(terminal.AttendanceLog().size(), before.log.size());
}

TEST(MemoryTerminal, ClearAllDataErasesUsersTemplatesAndLogButNotTheMachine) {
    TerminalState state = SampleState();
    state.clockOffsetSeconds = -3600;
    MemoryTerminal terminal(state);

    terminal.ClearAllData();

    EXPECT_TRUE(terminal.state().users.empty());
    EXPECT_TRUE(terminal.state().templates.empty());
    EXPECT_TRUE(terminal.AttendanceLog().empty());
    EXPECT_EQ(terminal.machineNumber(), aktarim::test::kSampleMachine);
    EXPECT_EQ(terminal.state().clockOffsetSeconds, -3600);
}

TEST(MemoryTerminal, ClearAttendanceLogKeepsUsersAndTemplates) {
    MemoryTerminal terminal(SampleState());
    terminal.ClearAttendanceLog();
    EXPECT_TRUE(terminal.AttendanceLog().empty());
    EXPECT_EQ(terminal.state().users.size(), 4u);
    EXPECT_EQ(terminal.state().templates.size(), 4u);
}

TEST(MemoryTerminal, DeleteUserRemovesTheUserAndEveryTemplateOfIt) {
    MemoryTerminal terminal(SampleState());
    ASSERT_TRUE(terminal.WriteTemplate(1, 9, std::string(500, 'Z')));

    EXPECT_TRUE(terminal.DeleteUser(1));

    EXPECT_FALSE(terminal.ReadUser(1));
    for (int32_t finger = 0; finger < kFingersPerUser; ++finger)
        EXPECT_FALSE(terminal.ReadTemplate(1, finger)) << "finger " << finger;
    // Other users and their templates stay.
    EXPECT_TRUE(terminal.ReadUser(2));
    EXPECT_TRUE(terminal.ReadTemplate(2, 9));
    EXPECT_TRUE(terminal.ReadTemplate(100001, 0));
    EXPECT_EQ(terminal.StatusValue(3), 2);
    // The log is history: it keeps the deleted user's records.
    EXPECT_EQ(terminal.AttendanceLog().size(), 3u);

    EXPECT_FALSE(terminal.DeleteUser(1)) << "a second delete finds nobody";
}

TEST(MemoryTerminal, TakesTenTemplatesPerUserOnFingersZeroToNine) {
    MemoryTerminal terminal(SampleState());
    for (int32_t finger = 0; finger < kFingersPerUser; ++finger)
        EXPECT_TRUE(terminal.WriteTemplate(3, finger, std::string(500 + finger, 'x')))
            << "finger " << finger;
    for (int32_t finger = 0; finger < kFingersPerUser; ++finger)
        EXPECT_EQ(terminal.ReadTemplate(3, finger), std::string(500 + finger, 'x'));

    struct Refused {
        int32_t user;
        int32_t finger;
    };
    constexpr std::array<Refused, 4> refused = {{{3, -1}, {3, 10}, {3, 11}, {555, 0}}};
    for (const auto& c : refused) {
        SCOPED_TRACE(testing::Message() << "user " << c.user << " finger " << c.finger);
        EXPECT_FALSE(terminal.WriteTemplate(c.user, c.finger, "text"));
        EXPECT_FALSE(terminal.ReadTemplate(c.user, c.finger));
    }
    EXPECT_EQ(terminal.StatusValue(3), 4 + kFingersPerUser);
}

TEST(MemoryTerminal, WriteUserReplacesAUserButKeepsItsCard) {
    MemoryTerminal terminal(SampleState());
    ASSERT_TRUE(terminal.WriteUser(2, "Mehmet Öztürk Kaya", "", 0, true));
    const auto user = terminal.ReadUser(2);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->name, "Mehmet Öztürk Kaya");
    EXPECT_EQ(user->password, "");
    EXPECT_EQ(user->privilege, 0);
    EXPECT_EQ(user->card, "0004455667");

    ASSERT_TRUE(terminal.WriteUser(42, "Zeynep Aydın", "1", 1, true));
    EXPECT_EQ(terminal.StatusValue(kStatusUserCount), 5);
    EXPECT_EQ(terminal.Users().front().number, 1) << "users come in ascending number";
    EXPECT_EQ(terminal.Users().back().number, 100001);
}

TEST(MemoryTerminal, StatusItemsCountWhatTheTerminalHolds) {
    MemoryTerminal terminal(SampleState());
    struct Case {
        int32_t item;
        std::optional<int32_t> value;
    };
    const std::array<Case, 7> cases = {{
        {1, 3},  // administrators: privilege above 0
        {2, 4},  // users
        {3, 4},  // templates
        {6, 3},  // attendance records
        {0, std::nullopt},
        {4, std::nullopt},
        {7, std::nullopt},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        EXPECT_EQ(terminal.StatusValue(c.item), c.value);
    }
    terminal.AppendRecord({2, 1, 1, 2025, 1, 2, 3, 4, 5});
    EXPECT_EQ(terminal.StatusValue(kStatusRecordCount), 4);
    EXPECT_EQ(terminal.AttendanceLog().back().second, 5);
}

TEST(MemoryTerminal, ClockSetThenReadGivesTheSameTimeAndKeepsRunning) {
    const std::array<ClockValue, 4> values = {{
        {2024, 6, 15, 12, 0, 0},     // the PC's own time
        {2023, 12, 31, 23, 59, 30},  // across a year end
        {2030, 1, 1, 0, 0, 0},
        {2024, 2, 29, 9, 41, 7},
    }};
    const std::time_t pc = PcNow();
    for (const auto& v : values) {
        SCOPED_TRACE(testing::Message() << v.year << "-" << v.month << "-" << v.day);
        MemoryTerminal terminal(SampleState());
        terminal.SetClock(v, pc);
        const ClockValue read = terminal.Clock(pc);
        EXPECT_EQ(read.year, v.year);
        EXPECT_EQ(read.month, v.month);
        EXPECT_EQ(read.day, v.day);
        EXPECT_EQ(read.hour, v.hour);
        EXPECT_EQ(read.minute, v.minute);
        EXPECT_EQ(read.second, v.second);

        // Forty seconds later on the PC, forty seconds later on the terminal.
        const ClockValue later = terminal.Clock(pc + 40);
        EXPECT_EQ((later.minute * 60 + later.second) % 3600,
                  (v.minute * 60 + v.second + 40) % 3600);
    }

    MemoryTerminal terminal(SampleState());
    terminal.SetClock({2024, 6, 15, 13, 0, 0}, PcNow());
    EXPECT_EQ(terminal.state().clockOffsetSeconds, 3600);
}
