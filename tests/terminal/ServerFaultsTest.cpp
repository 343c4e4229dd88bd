// Every fault the server can inject produces the failure it promises, on the
// line where it applies.
#include <gtest/gtest.h>

#include <array>

#include "WireFixtures.h"
#include "terminal/WireLink.h"

namespace aktarim::test {
namespace {

using namespace std::chrono_literals;
constexpr int32_t m = kMachine;

TEST(ServerFaults, RefusedTcpConnectionFailsFast) {
    ServedTerminal served(SmallTerminal(), Faults([&](ServerFaults& f) { f.refuse = true; }));
    WireLink link(FastOptions());
    const auto elapsed =
        Elapsed([&] { EXPECT_FALSE(link.ConnectNetwork("127.0.0.1", served.port)); });
    EXPECT_LT(elapsed, 250ms);
    EXPECT_FALSE(link.IsConnected());
    // The connection stood for a moment: the terminal hung up on the handshake.
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::ConnectionClosed);
}

TEST(ServerFaults, RefusingSerialTerminalNeverAnswersTheHandshake) {
    ServedTerminal served(SmallTerminal(), Faults([&](ServerFaults& f) { f.refuse = true; }), true);
    LinkOptions options = served.SerialOptions();
    options.connectTimeout = 200ms;
    WireLink link(options);
    const auto elapsed = Elapsed([&] { EXPECT_FALSE(link.ConnectSerial(1, m, 115200)); });
    EXPECT_GE(elapsed, 190ms);
    EXPECT_LT(elapsed, 700ms);
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Timeout);
}

TEST(ServerFaults, ReplyDelayIsWaitedForWithinTheTimeoutOnly) {
    struct Case {
        int delayMs;
        bool answered;
    };
    for (const Case c : {Case{60, true}, Case{300, false}}) {
        ServedTerminal served(SmallTerminal(),
                              Faults([&](ServerFaults& f) { f.replyDelayMs = c.delayMs; }));
        LinkOptions options = FastOptions();
        options.requestTimeout = 200ms;
        WireLink link(options);
        ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));  // the handshake waits too
        int32_t value = 0;
        bool result = false;
        const auto elapsed = Elapsed([&] { result = link.GetStatusValue(m, 2, value); });
        EXPECT_EQ(result, c.answered) << c.delayMs;
        EXPECT_EQ(link.IsConnected(), c.answered) << c.delayMs;
        EXPECT_EQ(link.LastFailure().kind,
                  c.answered ? LinkFailureKind::None : LinkFailureKind::Timeout)
            << c.delayMs;
        EXPECT_GE(elapsed, std::chrono::milliseconds(std::min(c.delayMs, 200) - 10));
        EXPECT_LT(elapsed, 700ms);
    }
}

// A log cut off at any point is a failed load that delivers nothing.
class DropAfterRecords : public ::testing::TestWithParam<int64_t> {};

TEST_P(DropAfterRecords, NeverGivesAShortLog) {
    constexpr int kRecords = 5000;
    ServedTerminal served(LogOf(kRecords),
                          Faults([&](ServerFaults& f) { f.dropAfterRecords = GetParam(); }));
    WireLink link(FastOptions());
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
    const auto elapsed = Elapsed([&] { EXPECT_FALSE(link.LoadAttendanceLog(m)); });
    EXPECT_LT(elapsed, 800ms);
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::ConnectionClosed)
        << LinkFailureText(link.LastFailure());
    AttendanceValues values;
    EXPECT_FALSE(link.NextAttendanceRecord(m, values));
    EXPECT_FALSE(link.IsConnected());
    // The terminal keeps its log; only the transfer broke.
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
    int32_t count = 0;
    EXPECT_TRUE(link.GetStatusValue(m, kStatusRecordCount, count));
    EXPECT_EQ(count, kRecords);
}

INSTANTIATE_TEST_SUITE_P(ServerFaults, DropAfterRecords,
                         ::testing::Values(0, 1, 700, 2500, 4999, 5000),
                         ::testing::PrintToStringParamName());

TEST(ServerFaults, WrongMachineRepliesAreIgnored) {
    ServedTerminal served(SmallTerminal(), Faults([&](ServerFaults& f) { f.wrongMachine = true; }),
                          true);
    // TCP: the broadcast handshake connects, every addressed call times out.
    WireLink tcp(FastOptions());
    ASSERT_TRUE(tcp.ConnectNetwork("127.0.0.1", served.port));
    int32_t value = -1;
    const auto elapsed = Elapsed([&] { EXPECT_FALSE(tcp.GetStatusValue(m, 2, value)); });
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, 1000ms);
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(tcp.IsConnected());
    EXPECT_EQ(tcp.LastFailure().kind, LinkFailureKind::WrongMachine);
    EXPECT_EQ(tcp.LastFailure().detail, "6 numaralı cihaz yanıt verdi, 5 bekleniyordu");
    // Serial: the handshake itself is addressed, so connecting fails.
    LinkOptions options = served.SerialOptions();
    options.connectTimeout = 200ms;
    WireLink serial(options);
    EXPECT_FALSE(serial.ConnectSerial(1, m, 115200));
    EXPECT_EQ(serial.LastFailure().kind, LinkFailureKind::WrongMachine);
}

TEST(ServerFaults, FailedClearLeavesTheTerminalAsItWas) {
    ServedTerminal served(SmallTerminal(), Faults([&](ServerFaults& f) { f.failClear = true; }));
    WireLink link(FastOptions());
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
    EXPECT_FALSE(link.ClearAttendanceLog(m));
    EXPECT_FALSE(link.ClearAttendanceRecords(m, 0, RecordsDigest({})));
    EXPECT_FALSE(link.ClearAdministrators(m));
    EXPECT_FALSE(link.ClearAllData(m));
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Refused);
    EXPECT_EQ(link.LastFailure().detail, "ClearAllData");
    EXPECT_TRUE(link.IsConnected());
    const TerminalState before = SmallTerminal();
    EXPECT_EQ(served.terminal.AttendanceLog().size(), before.log.size());
    EXPECT_EQ(served.terminal.Users().size(), before.users.size());
    EXPECT_EQ(served.terminal.ReadUser(70000)->privilege, 3);
    EXPECT_EQ(served.terminal.Templates().size(), before.templates.size());
}

TEST(ServerFaults, BaudThrottlesTheSerialLine) {
    // About 4 KB of templates: some 0.35 s at 115200 baud, a blink unthrottled.
    TerminalState state = SmallTerminal();
    state.templates.clear();
    for (int32_t f = 0; f < 8; ++f) state.templates[{1, f}] = std::string(500, 'T');
    ServedTerminal served(std::move(state), Faults([&](ServerFaults& f) { f.baud = 115200; }),
                          true);
    LinkOptions options = served.SerialOptions();
    options.requestTimeout = 1000ms;
    WireLink link(options);
    ASSERT_TRUE(link.ConnectSerial(1, m, 115200));
    const auto elapsed = Elapsed([&] { EXPECT_TRUE(link.LoadAllTemplates(m)); });
    const double lineSeconds = 8 * 500 / 11520.0;
    EXPECT_GE(elapsed.count(), static_cast<int64_t>(lineSeconds * 1000 * 0.95));
    EXPECT_LT(elapsed.count(), static_cast<int64_t>(lineSeconds * 1000 * 2 + 200));
    std::string text;
    int32_t length = 0;
    EXPECT_TRUE(link.ReadFingerTemplate(m, 1, 7, text, length));
    EXPECT_EQ(length, 500);
}

}  // namespace
}  // namespace aktarim::test
