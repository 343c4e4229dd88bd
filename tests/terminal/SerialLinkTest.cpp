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
    // The terminal is still there for its own number.
    ASSERT_TRUE(link.ConnectSerial(1, m, 115200));
    EXPECT_TRUE(link.GetStatusValue(m, 2, value));
    EXPECT_EQ(value, 4);
}

TEST_F(SerialLink, UnusablePortsFail) {
    LinkOptions options = served.SerialOptions();
    options.serialDevices[1] = "/nonexistent/tty";
    WireLink link(options);
    EXPECT_FALSE(link.ConnectSerial(0, m, 115200));
    EXPECT_FALSE(link.ConnectSerial(5, m, 115200));
    EXPECT_FALSE(link.ConnectSerial(2, m, 115200));
    EXPECT_FALSE(link.ConnectSerial(1, m, 0));
    EXPECT_FALSE(link.IsConnected());
}

}  // namespace
}  // namespace aktarim::test
