// WireLink on a serial line: the server's pseudo-terminal stands in for a
// cable, mapped to port 1 through the link options.
#include <gtest/gtest.h>

#include "WireFixtures.h"
#include "terminal/WireLink.h"

namespace aktarim::test {
namespace {

using namespace std::chrono_literals;
constexpr int32_t m = kMachine;

class SerialLink : public ::testing::Test {
  protected:
    ServedTerminal served{SmallTerminal(), {}, true};
};

TEST_F(SerialLink, ConnectsLoadsAndConnectsAgain) {
    WireLink link(served.SerialOptions());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(link.ConnectSerial(1, m, 115200)) << round;
        EXPECT_EQ(link.serialMachineNumber(), m);
        EXPECT_TRUE(link.SetLinkValue(m, 2000));
        int32_t count = 0;
        EXPECT_TRUE(link.GetStatusValue(m, kStatusRecordCount, count));
        EXPECT_EQ(count, 3);
        ASSERT_TRUE(link.LoadAttendanceLog(m));
        AttendanceValues v;
        int records = 0;
        while (link.NextAttendanceRecord(m, v)) ++records;
        EXPECT_EQ(records, 3);
        ASSERT_TRUE(link.LoadUserIds(m));
        int32_t number = 0, privilege = 0;
        std::string name, password;
        bool enabled = false;
        ASSERT_TRUE(link.NextUserId(m, number, name, password, privilege, enabled));
        EXPECT_EQ(name, "Ayşe Yılmaz");
        // The line stays served after the client goes.
        link.Disconnect();
    }
}

TEST_F(SerialLink, AFrameForAnotherMachineIsIgnored) {
    LinkOptions options = served.SerialOptions();
    options.connectTimeout = 250ms;
    WireLink link(options);
    const auto elapsed = Elapsed([&] { EXPECT_FALSE(link.ConnectSerial(1, m + 1, 115200)); });
    EXPECT_GE(elapsed, 240ms);
    EXPECT_LT(elapsed, 800ms);
    EXPECT_FALSE(link.IsConnected());

    ASSERT_TRUE(link.ConnectSerial(1, m, 115200));
    int32_t value = -1;
    const auto call = Elapsed([&] { EXPECT_FALSE(link.GetStatusValue(m + 1, 2, value)); });
    EXPECT_GE(call, 290ms);
    EXPECT_LT(call, 1000ms);
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(link.IsConnected());
    // On a bus nobody answers for another number: nothing tells it from silence.
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Timeout);
    // The terminal is still there for its own number.
    ASSERT_TRUE(link.ConnectSerial(1, m, 115200));
    EXPECT_TRUE(link.GetStatusValue(m, 2, value));
    EXPECT_EQ(value, 4);
}

TEST_F(SerialLink, UnusablePortsFail) {
    LinkOptions options = served.SerialOptions();
    options.serialDevices[1] = "/nonexistent/tty";
    WireLink link(options);
    for (const auto& [port, baud] : {std::pair{0, 115200}, {5, 115200}, {2, 115200}, {1, 0}}) {
        EXPECT_FALSE(link.ConnectSerial(port, m, baud)) << port << " " << baud;
        EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::ConnectFailed) << port << " " << baud;
        EXPECT_FALSE(link.IsConnected());
    }
}

// At 9600 baud a chunk takes longer than the silence allowed between frames:
// the line time that a checked header announces is waited for on top.
TEST(SerialLineTime, ALoadSlowerThanTheIdleTimeoutArrives) {
    TerminalState state = SmallTerminal();
    state.templates.clear();
    for (int32_t f = 0; f < 3; ++f) state.templates[{1, f}] = std::string(500, 'T');
    ServedTerminal served(std::move(state), Faults([&](ServerFaults& f) { f.baud = 9600; }), true);
    WireLink link(served.SerialOptions());  // 300 ms per request and of silence
    ASSERT_TRUE(link.ConnectSerial(1, m, 9600));
    const auto elapsed = Elapsed([&] { EXPECT_TRUE(link.LoadAllTemplates(m)); });
    EXPECT_GE(elapsed, 1500ms) << "the line carries 960 bytes a second";
    EXPECT_LT(elapsed, 3000ms);
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::None)
        << LinkFailureText(link.LastFailure());
}

}  // namespace
}  // namespace aktarim::test
