#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <ctime>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ConditionalErase.h"
#include "SampleTerminal.h"
#include "terminal/MemoryLink.h"

using namespace aktarim;
using aktarim::test::kSampleMachine;
using aktarim::test::SampleState;

namespace {

using Operation = std::function<bool(TerminalLink&, int32_t m)>;

struct NamedOperation {
    const char* name;
    Operation call;
};

// Every operation that is addressed to a machine number, called so that it
// succeeds on a connected sample terminal.
std::vector<NamedOperation> AddressedOperations() {
    return {
        {"SetLinkValue", [](TerminalLink& l, int32_t m) { return l.SetLinkValue(m, 1); }},
        {"GetStatusValue",
         [](TerminalLink& l, int32_t m) {
             int32_t v = -1;
             return l.GetStatusValue(m, kStatusRecordCount, v);
         }},
        {"LoadAttendanceLog", [](TerminalLink& l, int32_t m) { return l.LoadAttendanceLog(m); }},
        {"ClearAttendanceLog", [](TerminalLink& l, int32_t m) { return l.ClearAttendanceLog(m); }},
        {"ClearAdministrators",
         [](TerminalLink& l, int32_t m) { return l.ClearAdministrators(m); }},
        {"ClearAllData", [](TerminalLink& l, int32_t m) { return l.ClearAllData(m); }},
        {"ClearAttendanceRecords",
         [](TerminalLink& l, int32_t m) {
             return l.ClearAttendanceRecords(m, 0, RecordsDigest({}));
         }},
        {"LoadUserIds", [](TerminalLink& l, int32_t m) { return l.LoadUserIds(m); }},
        {"LoadAllTemplates", [](TerminalLink& l, int32_t m) { return l.LoadAllTemplates(m); }},
        {"NextAttendanceRecord",
         [](TerminalLink& l, int32_t m) {
             l.LoadAttendanceLog(m);
             AttendanceValues v;
             return l.NextAttendanceRecord(m, v);
         }},
        {"GetDeviceClock",
         [](TerminalLink& l, int32_t m) {
             int32_t y, mo, d, h, mi, s;
             return l.GetDeviceClock(m, y, mo, d, h, mi, s);
         }},
        {"SetDeviceClock",
         [](TerminalLink& l, int32_t m) { return l.SetDeviceClock(m, 2024, 5, 6, 7, 8, 9); }},
        {"NextUserId",
         [](TerminalLink& l, int32_t m) {
             l.LoadUserIds(m);
             int32_t number, privilege;
             std::string name, password;
             bool enabled;
             return l.NextUserId(m, number, name, password, privilege, enabled);
         }},
        {"ReadUserInfo",
         [](TerminalLink& l, int32_t m) {
             int32_t privilege;
             std::string name, password;
             bool enabled;
             return l.ReadUserInfo(m, 2, name, password, privilege, enabled);
         }},
        {"WriteUserInfo",
         [](TerminalLink& l, int32_t m) { return l.WriteUserInfo(m, 9, "Ali Veli", "", 0, true); }},
        {"DeleteUserRecord",
         [](TerminalLink& l, int32_t m) { return l.DeleteUserRecord(m, 3, 0, 0); }},
        {"DeleteFingerTemplate",
         [](TerminalLink& l, int32_t m) { return l.DeleteFingerTemplate(m, 1, 5); }},
        {"ReadFingerTemplate",
         [](TerminalLink& l, int32_t m) {
             std::string text;
             int32_t length = 0;
             return l.ReadFingerTemplate(m, 1, 0, text, length);
         }},
        {"WriteFingerTemplate",
         [](TerminalLink& l, int32_t m) {
             return l.WriteFingerTemplate(m, 3, 4, std::string(600, 'Q'));
         }},
    };
}

enum class Setup { NotConnected, Connected, Disconnected, Refused };

struct ConnectionCase {
    const char* label;
    Setup setup;
    int32_t machine;
    bool succeeds;
    LinkFailureKind failure;  // what LastFailure says after the operation
};

constexpr std::array<ConnectionCase, 5> kConnectionCases = {{
    {"connected, own number", Setup::Connected, kSampleMachine, true, LinkFailureKind::None},
    {"never connected", Setup::NotConnected, kSampleMachine, false, LinkFailureKind::NotConnected},
    {"after Disconnect", Setup::Disconnected, kSampleMachine, false, LinkFailureKind::NotConnected},
    {"connection refused", Setup::Refused, kSampleMachine, false, LinkFailureKind::NotConnected},
    {"connected, another number", Setup::Connected, kSampleMachine + 1, false,
     LinkFailureKind::WrongMachine},
}};

void Prepare(MemoryLink& link, Setup setup) {
    switch (setup) {
        case Setup::NotConnected:
            break;
        case Setup::Connected:
            ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));
            break;
        case Setup::Disconnected:
            ASSERT_TRUE(link.ConnectSerial(1, kSampleMachine, 115200));
            link.Disconnect();
            break;
        case Setup::Refused:
            link.refuseConnect = true;
            ASSERT_FALSE(link.ConnectNetwork("127.0.0.1", 4370));
            ASSERT_EQ(link.LastFailure().kind, LinkFailureKind::ConnectFailed);
            break;
    }
}

void PrintTo(const ConnectionCase& c, std::ostream* os) { *os << c.label; }

class MemoryLinkConnection : public testing::TestWithParam<ConnectionCase> {};

}  // namespace

TEST_P(MemoryLinkConnection, EveryOperationAnswersOnlyAConnectedLinkForItsOwnNumber) {
    const ConnectionCase& c = GetParam();
    for (const auto& op : AddressedOperations()) {
        SCOPED_TRACE(op.name);
        MemoryTerminal terminal(SampleState());
        MemoryLink link(terminal);
        Prepare(link, c.setup);
        EXPECT_EQ(op.call(link, c.machine), c.succeeds);
        EXPECT_EQ(link.LastFailure().kind, c.failure);
        EXPECT_EQ(link.IsConnected(), c.setup == Setup::Connected);
        if (!c.succeeds) {
            // A refused operation leaves the terminal as it was.
            const TerminalState before = SampleState();
            EXPECT_EQ(terminal.state().users.size(), before.users.size());
            EXPECT_EQ(terminal.StatusValue(1), 3);
            EXPECT_EQ(terminal.state().templates, before.templates);
            EXPECT_EQ(terminal.AttendanceLog().size(), before.log.size());
            EXPECT_EQ(terminal.state().clockOffsetSeconds, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MemoryLinkConnection, testing::ValuesIn(kConnectionCases),
                         [](const auto& info) {
                             std::string name;
                             for (const char* p = info.param.label; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

TEST(MemoryLink, ConnectsOverEitherLinkUnlessRefusedAndDisconnectIsHarmless) {
    MemoryTerminal terminal(SampleState());
    MemoryLink link(terminal);
    link.Disconnect();  // nothing open: does nothing
    EXPECT_FALSE(link.IsConnected());

    EXPECT_TRUE(link.ConnectNetwork("10.0.0.9", 5005));
    EXPECT_TRUE(link.IsConnected());
    link.Disconnect();
    // The serial machine number is only the address; a wrong one still "connects"
    // but the terminal answers nothing addressed to it.
    EXPECT_TRUE(link.ConnectSerial(4, kSampleMachine + 3, 9600));
    EXPECT_FALSE(link.SetLinkValue(kSampleMachine + 3, 2000));
    EXPECT_TRUE(link.SetLinkValue(kSampleMachine, 2000));

    link.refuseConnect = true;
    EXPECT_FALSE(link.ConnectSerial(1, kSampleMachine, 9600));
    EXPECT_FALSE(link.IsConnected()) << "a failed connect leaves no connection open";

    const std::vector<std::string> expected = {"Disconnect",    "ConnectNetwork", "Disconnect",
                                               "ConnectSerial", "SetLinkValue",   "SetLinkValue",
                                               "ConnectSerial"};
    EXPECT_EQ(link.calls, expected);
}

TEST(MemoryLink, AttendanceLogIsWalkedFromTheSnapshotOfTheLoad) {
    MemoryTerminal terminal(SampleState());
    MemoryLink link(terminal);
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));
    AttendanceValues v;
    EXPECT_FALSE(link.NextAttendanceRecord(kSampleMachine, v)) << "nothing loaded yet";

    ASSERT_TRUE(link.LoadAttendanceLog(kSampleMachine));
    terminal.AppendRecord({2, 1, 0, 2025, 1, 1, 1, 1, 1});  // after the load: not seen

    std::vector<AttendanceValues> got;
    for (int guard = 0; guard < 10 && link.NextAttendanceRecord(kSampleMachine, v); ++guard)
        got.push_back(v);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_FALSE(link.NextAttendanceRecord(kSampleMachine, v)) << "the end stays the end";

    const auto log = SampleState().log;
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].machineNumber, kSampleMachine);
        EXPECT_EQ(got[i].enrolMachine, kSampleMachine);
        EXPECT_EQ(got[i].userNumber, log[i].user);
        EXPECT_EQ(got[i].verifyMode, log[i].verify);
        EXPECT_EQ(got[i].inOutState, log[i].state);
        EXPECT_EQ(got[i].year, log[i].year);
        EXPECT_EQ(got[i].month, log[i].month);
        EXPECT_EQ(got[i].day, log[i].day);
        EXPECT_EQ(got[i].hour, log[i].hour);
        EXPECT_EQ(got[i].minute, log[i].minute);
    }

    // A new load starts from the top and sees the new record.
    ASSERT_TRUE(link.LoadAttendanceLog(kSampleMachine));
    int count = 0;
    while (count < 10 && link.NextAttendanceRecord(kSampleMachine, v)) ++count;
    EXPECT_EQ(count, 4);
}

TEST(MemoryLink, DropAfterRecordsFailsALongerLogWholeAndDisconnects) {
    struct Case {
        std::optional<int64_t> dropAfter;
        bool loads;
    };
    // The sample log holds three records.
    const std::array<Case, 5> cases = {
        {{std::nullopt, true}, {3, true}, {10, true}, {2, false}, {0, false}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dropAfter ? std::to_string(*c.dropAfter) : "no drop");
        MemoryTerminal terminal(SampleState());
        MemoryLink link(terminal);
        link.dropAfterRecords = c.dropAfter;
        ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));
        EXPECT_EQ(link.LoadAttendanceLog(kSampleMachine), c.loads);
        EXPECT_EQ(link.LastFailure().kind,
                  c.loads ? LinkFailureKind::None : LinkFailureKind::ConnectionClosed);
        EXPECT_EQ(link.IsConnected(), c.loads);
        int delivered = 0;
        AttendanceValues v;
        while (delivered < 10 && link.NextAttendanceRecord(kSampleMachine, v)) ++delivered;
        EXPECT_EQ(delivered, c.loads ? 3 : 0) << "never a short log";
        EXPECT_EQ(terminal.AttendanceLog().size(), 3u);
    }
}

TEST(MemoryLink, FailClearRefusesEveryClearAndChangesNothing) {
    using Clear = std::function<bool(MemoryLink&, int32_t)>;
    const std::array<std::pair<const char*, Clear>, 4> clears = {{
        {"ClearAttendanceLog", &MemoryLink::ClearAttendanceLog},
        {"ClearAdministrators", &MemoryLink::ClearAdministrators},
        {"ClearAllData", &MemoryLink::ClearAllData},
        {"ClearAttendanceRecords",
         [](MemoryLink& l, int32_t m) {
             std::vector<AttendanceValues> read;
             AttendanceValues v;
             if (l.LoadAttendanceLog(m))
                 while (l.NextAttendanceRecord(m, v)) read.push_back(v);
             return l.ClearAttendanceRecords(m, static_cast<uint32_t>(read.size()),
                                             RecordsDigest(read));
         }},
    }};
    for (const auto& [name, clear] : clears) {
        SCOPED_TRACE(name);
        MemoryTerminal terminal(SampleState());
        MemoryLink link(terminal);
        link.failClear = true;
        ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));
        EXPECT_FALSE(clear(link, kSampleMachine));
        EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Refused);
        EXPECT_TRUE(link.IsConnected()) << "a refused command keeps the connection";
        EXPECT_EQ(terminal.StatusValue(1), 3);
        EXPECT_EQ(terminal.StatusValue(kStatusUserCount), 4);
        EXPECT_EQ(terminal.StatusValue(3), 4);
        EXPECT_EQ(terminal.StatusValue(kStatusRecordCount), 3);

        link.failClear = false;
        EXPECT_TRUE(clear(link, kSampleMachine));
        EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::None) << "a success forgets it";
        EXPECT_EQ(link.calls.back(), name);
    }
}

TEST(MemoryLink, RecordsEveryOperationInOrder) {
    MemoryTerminal terminal(SampleState());
    MemoryLink link(terminal);
    int32_t count = 0;
    AttendanceValues v;
    link.LoadAttendanceLog(kSampleMachine);  // not connected yet: still recorded
    ASSERT_TRUE(link.ConnectNetwork("192.168.1.201", 4370));
    link.GetStatusValue(kSampleMachine, kStatusRecordCount, count);
    link.LoadAttendanceLog(kSampleMachine);
    while (link.NextAttendanceRecord(kSampleMachine, v) && count-- > 0) {
    }
    link.ClearAttendanceLog(kSampleMachine);
    link.Disconnect();
    EXPECT_FALSE(link.IsConnected());

    const std::vector<std::string> expected = {"LoadAttendanceLog",    "ConnectNetwork",
                                               "GetStatusValue",       "LoadAttendanceLog",
                                               "NextAttendanceRecord", "NextAttendanceRecord",
                                               "NextAttendanceRecord", "NextAttendanceRecord",
                                               "ClearAttendanceLog",   "Disconnect"};
    EXPECT_EQ(link.calls, expected);
    EXPECT_TRUE(terminal.AttendanceLog().empty());
}

TEST(MemoryLink, StatusValuesComeFromTheTerminal) {
    MemoryTerminal terminal(SampleState());
    MemoryLink link(terminal);
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));
    struct Case {
        int32_t item;
        bool known;
        int32_t value;
    };
    constexpr std::array<Case, 5> cases = {
        {{1, true, 3}, {2, true, 4}, {3, true, 4}, {6, true, 3}, {5, false, -1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        int32_t value = -1;
        EXPECT_EQ(link.GetStatusValue(kSampleMachine, c.item, value), c.known);
        EXPECT_EQ(value, c.value) << "an unknown item leaves the out value alone";
    }
}

TEST(MemoryLink, ClockFollowsTheNowKnob) {
    MemoryTerminal terminal(SampleState());
    MemoryLink link(terminal);
    std::tm base{};
    base.tm_year = 2024 - 1900;
    base.tm_mon = 0;
    base.tm_mday = 10;
    base.tm_hour = 10;
    base.tm_isdst = -1;
    std::time_t pc = std::mktime(&base);
    link.now = [&pc] { return pc; };
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));

    ASSERT_TRUE(link.SetDeviceClock(kSampleMachine, 2024, 1, 10, 9, 58, 30));
    pc += 95;
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    ASSERT_TRUE(link.GetDeviceClock(kSampleMachine, y, mo, d, h, mi, s));
    EXPECT_EQ((std::array{y, mo, d, h, mi, s}), (std::array{2024, 1, 10, 10, 0, 5}));
    EXPECT_EQ(terminal.state().clockOffsetSeconds, -90);
}

TEST(MemoryLink, UsersAreListedReadWrittenAndDeleted) {
    MemoryTerminal terminal(SampleState());
    MemoryLink link(terminal);
    ASSERT_TRUE(link.ConnectSerial(2, kSampleMachine, 38400));
    ASSERT_TRUE(link.LoadUserIds(kSampleMachine));

    std::vector<int32_t> numbers;
    int32_t number = 0, privilege = 0;
    std::string name, password;
    bool enabled = true;
    while (numbers.size() < 10 &&
           link.NextUserId(kSampleMachine, number, name, password, privilege, enabled)) {
        numbers.push_back(number);
        if (number == 100001) {
            EXPECT_EQ(name, "İbrahim Şahin");
            EXPECT_EQ(password, "99");
            EXPECT_EQ(privilege, 3);
            EXPECT_FALSE(enabled);
        }
    }
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3, 100001}));
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::None)
        << "the end of the list is no failure";

    ASSERT_TRUE(link.WriteUserInfo(kSampleMachine, 77, "Şükrü Ağaoğlu", "5", 2, true));
    ASSERT_TRUE(link.ReadUserInfo(kSampleMachine, 77, name, password, privilege, enabled));
    EXPECT_EQ(name, "Şükrü Ağaoğlu");
    EXPECT_EQ(password, "5");
    EXPECT_EQ(privilege, 2);
    EXPECT_TRUE(enabled);

    EXPECT_TRUE(link.DeleteUserRecord(kSampleMachine, 77, 0, 0));
    EXPECT_FALSE(link.ReadUserInfo(kSampleMachine, 77, name, password, privilege, enabled));
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Refused);
    EXPECT_FALSE(link.DeleteUserRecord(kSampleMachine, 77, 0, 0));
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Refused);
}

TEST(MemoryLink, TemplatesAreReadFromTheLoadAndWritesShowAtOnce) {
    MemoryTerminal terminal(SampleState());
    MemoryLink link(terminal);
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));
    ASSERT_TRUE(link.LoadAllTemplates(kSampleMachine));

    std::string text;
    int32_t length = 0;
    ASSERT_TRUE(link.ReadFingerTemplate(kSampleMachine, 2, 9, text, length));
    EXPECT_EQ(text, std::string(800, 'C'));
    EXPECT_EQ(length, 800);
    EXPECT_FALSE(link.ReadFingerTemplate(kSampleMachine, 2, 8, text, length));

    ASSERT_TRUE(link.WriteFingerTemplate(kSampleMachine, 2, 8, std::string(512, 'n')));
    ASSERT_TRUE(link.ReadFingerTemplate(kSampleMachine, 2, 8, text, length));
    EXPECT_EQ(length, 512);
    EXPECT_FALSE(link.WriteFingerTemplate(kSampleMachine, 2, 10, "x")) << "ten fingers only";

    ASSERT_TRUE(link.DeleteFingerTemplate(kSampleMachine, 2, 9));
    EXPECT_FALSE(link.ReadFingerTemplate(kSampleMachine, 2, 9, text, length));
    EXPECT_FALSE(terminal.ReadTemplate(2, 9));
}

TEST(MemoryLink, TheConditionalEraseTakesOnlyWhatWasRead) {
    for (const test::ConditionalEraseCase& c : test::ConditionalEraseCases()) {
        SCOPED_TRACE(c.name);
        MemoryTerminal terminal(test::EraseCaseTerminal(kSampleMachine, c));
        MemoryLink link(terminal);
        ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", 4370));
        ASSERT_TRUE(link.LoadAttendanceLog(kSampleMachine));
        std::vector<AttendanceValues> read;
        for (AttendanceValues v; link.NextAttendanceRecord(kSampleMachine, v);) read.push_back(v);
        test::AfterLoad(terminal, c);
        const auto [count, digest] = test::EraseRequestFor(read, c);
        EXPECT_EQ(link.ClearAttendanceRecords(kSampleMachine, count, digest), c.erased);
        EXPECT_EQ(test::UsersIn(terminal.AttendanceLog()), c.usersLeft);
        EXPECT_TRUE(link.IsConnected()) << "a refused erase keeps the connection";
    }
}
