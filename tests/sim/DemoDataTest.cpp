#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <tuple>

#include "TempDir.h"
#include "sim/DemoData.h"
#include "sim/PersistentTerminal.h"
#include "sim/StateJson.h"

using namespace aktarim;
using namespace aktarim::sim;
using aktarim::test::TempDir;

namespace {

std::time_t FixedNow(int hour = 10) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 3;
    t.tm_hour = hour;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

struct Shape {
    int32_t users, records, templates;
};

void PrintTo(const Shape& s, std::ostream* os) {
    *os << s.users << " users, " << s.records << " records, " << s.templates << " templates";
}

class DemoShapes : public testing::TestWithParam<Shape> {};

}  // namespace

TEST(SplitMix64, GivesTheKnownSequenceAndStaysInRange) {
    // Reference values of splitmix64 seeded with 0.
    SplitMix64 rng(0);
    EXPECT_EQ(rng.Next(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(rng.Next(), 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(rng.Next(), 0x06C45D188009454Full);

    SplitMix64 range(99);
    std::set<int64_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const int64_t v = range.Between(-3, 3);
        ASSERT_GE(v, -3);
        ASSERT_LE(v, 3);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 7u) << "both ends are reached";
}

TEST(DemoData, TheSameSeedOnTheSameDayGivesTheSameDump) {
    TempDir dir;
    const DemoOptions options{40, 3000, 2, 1234};
    for (const char* name : {"a.db", "b.db"})
        PersistentTerminal(dir.File(name)).Import(MakeDemoData(options, FixedNow(9)));
    const auto first = StateToJson(ReadStateFile(dir.File("a.db"))).dump();
    EXPECT_EQ(first, StateToJson(ReadStateFile(dir.File("b.db"))).dump());

    // Later the same day: the same data.
    PersistentTerminal later(":memory:");
    later.Import(MakeDemoData(options, FixedNow(23)));
    EXPECT_EQ(StateToJson(later.state()).dump(), first);

    DemoOptions other = options;
    other.seed = 1235;
    PersistentTerminal different(":memory:");
    different.Import(MakeDemoData(other, FixedNow(9)));
    EXPECT_NE(StateToJson(different.state()).dump(), first);
}

TEST_P(DemoShapes, UsersLookRealAndNumbersAreMostlyFiveDigits) {
    const Shape shape = GetParam();
    const DemoData data =
        MakeDemoData({shape.users, shape.records, shape.templates, 5}, FixedNow());
    ASSERT_EQ(data.users.size(), static_cast<size_t>(shape.users));
    if (shape.users == 0) return;

    std::set<int32_t> numbers;
    std::set<int32_t> privileges;
    int longNumbers = 0, ordinary = 0, turkishNames = 0;
    for (size_t i = 0; i < data.users.size(); ++i) {
        const TerminalUser& u = data.users[i];
        SCOPED_TRACE(u.number);
        if (i > 0) {
            EXPECT_LT(data.users[i - 1].number, u.number) << "ascending";
        }
        numbers.insert(u.number);
        privileges.insert(u.privilege);
        EXPECT_GE(u.number, 1);
        if (u.number > 99999) ++longNumbers;
        if (u.privilege == 0) ++ordinary;
        EXPECT_GE(u.privilege, 0);
        EXPECT_LE(u.privilege, 3);
        EXPECT_NE(u.name.find(' '), std::string::npos) << "first and last name";
        if (std::any_of(u.name.begin(), u.name.end(), [](char c) { return c & 0x80; }))
            ++turkishNames;
        EXPECT_TRUE(u.card.empty() || u.card.size() == 10);
    }
    EXPECT_EQ(numbers.size(), data.users.size()) << "numbers are unique";
    if (shape.users >= 20) {
        EXPECT_GE(longNumbers, shape.users / 25) << "a few numbers above 99999";
        EXPECT_LE(longNumbers, shape.users / 10);
        EXPECT_GT(ordinary * 2, shape.users) << "mostly ordinary staff";
        EXPECT_EQ(privileges, (std::set<int32_t>{0, 1, 2, 3}));
        EXPECT_GT(turkishNames, 0);
    }
}

TEST_P(DemoShapes, TemplatesAreDistinctFingersOfBase64LikeText) {
    const Shape shape = GetParam();
    const DemoData data =
        MakeDemoData({shape.users, shape.records, shape.templates, 6}, FixedNow());
    ASSERT_EQ(data.templates.size(), static_cast<size_t>(shape.users * shape.templates));
    std::set<std::pair<int32_t, int32_t>> keys;
    std::set<int32_t> fingers;
    for (const auto& [key, text] : data.templates) {
        SCOPED_TRACE(testing::Message() << key.first << "/" << key.second);
        keys.insert(key);
        fingers.insert(key.second);
        EXPECT_GE(key.second, 0);
        EXPECT_LT(key.second, kFingersPerUser);
        EXPECT_GE(text.size(), 500u);
        EXPECT_LE(text.size(), 2000u);
        EXPECT_EQ(text.find_first_not_of(
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
    }
    EXPECT_EQ(keys.size(), data.templates.size()) << "one template per finger";
    if (shape.users >= 10 && shape.templates > 0) {
        EXPECT_GT(fingers.size(), 3u);
    }
}

TEST_P(DemoShapes, RecordsCoverEveryStateInTimeOrderOnPastDays) {
    const Shape shape = GetParam();
    const DemoData data =
        MakeDemoData({shape.users, shape.records, shape.templates, 8}, FixedNow());
    ASSERT_EQ(data.records.size(), static_cast<size_t>(shape.records));
    if (shape.records == 0) return;

    std::set<int32_t> users;
    for (const auto& u : data.users) users.insert(u.number);
    std::set<int32_t> states, verifies;
    int withSeconds = 0;
    const auto when = [](const AttendanceEntry& e) {
        return std::tie(e.year, e.month, e.day, e.hour, e.minute, e.second);
    };
    for (size_t i = 0; i < data.records.size(); ++i) {
        const AttendanceEntry& e = data.records[i];
        SCOPED_TRACE(i);
        if (i > 0) {
            EXPECT_LE(when(data.records[i - 1]), when(e)) << "time order";
        }
        states.insert(e.state);
        verifies.insert(e.verify);
        if (e.second != 0) ++withSeconds;
        if (!users.empty()) {
            EXPECT_EQ(users.count(e.user), 1u) << "a seeded user";
        }
        // Before 3 January 2024, the day of FixedNow().
        EXPECT_LT(std::tie(e.year, e.month, e.day), std::make_tuple(2024, 1, 3));
        EXPECT_GE(e.month, 1);
        EXPECT_LE(e.month, 12);
        EXPECT_GE(e.hour, 0);
        EXPECT_LE(e.hour, 23);
    }
    if (shape.records >= 6) {
        EXPECT_EQ(states, (std::set<int32_t>{0, 1, 2, 3, 4, 5}));
    }
    if (shape.records >= 200) {
        EXPECT_EQ(verifies, (std::set<int32_t>{0, 1, 2}));
        EXPECT_GT(withSeconds, shape.records / 2);
        // Spread over more than one day.
        EXPECT_NE(
            std::tie(data.records.front().year, data.records.front().month,
                     data.records.front().day),
            std::tie(data.records.back().year, data.records.back().month, data.records.back().day));
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, DemoShapes,
                         testing::Values(Shape{0, 0, 0}, Shape{1, 6, 1}, Shape{3, 10, 10},
                                         Shape{0, 25, 0}, Shape{50, 1000, 3}, Shape{300, 5000, 2}),
                         [](const testing::TestParamInfo<Shape>& info) {
                             const Shape& s = info.param;
                             return std::to_string(s.users) + "users_" + std::to_string(s.records) +
                                    "records_" + std::to_string(s.templates) + "templates";
                         });

TEST(MakePunch, APunchOfAUserOfTheTerminalAtItsOwnClock) {
    TerminalState state;
    state.users[7] = {7, "Ayşe", "", 0, true, ""};
    state.users[4000] = {4000, "Ali", "", 0, true, ""};
    state.clockOffsetSeconds = -3 * 3600 - 125;
    const MemoryTerminal terminal(state);
    const std::time_t now = FixedNow(12);
    const ClockValue clock = terminal.Clock(now);
    SplitMix64 rng(5);
    std::set<int32_t> users, states, verifies;
    for (int i = 0; i < 300; ++i) {
        const AttendanceEntry p = MakePunch(rng, terminal, now);
        users.insert(p.user);
        states.insert(p.state);
        verifies.insert(p.verify);
        EXPECT_EQ(
            std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second),
            std::tie(clock.year, clock.month, clock.day, clock.hour, clock.minute, clock.second));
    }
    EXPECT_EQ(users, (std::set<int32_t>{7, 4000}));
    EXPECT_EQ(states, (std::set<int32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(verifies, (std::set<int32_t>{0, 1, 2}));

    // Without users, still a plausible user number; the same seed, the same punches.
    SplitMix64 a(9), b(9);
    const MemoryTerminal empty;
    for (int i = 0; i < 20; ++i) {
        const AttendanceEntry p = MakePunch(a, empty, now);
        EXPECT_GE(p.user, 1);
        EXPECT_LE(p.user, 20);
        EXPECT_EQ(MakePunch(b, empty, now).user, p.user);
    }
}
