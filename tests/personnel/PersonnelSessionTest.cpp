// The windowless personnel session: it must tell a terminal that failed a
// command from one whose "no" answers are part of normal work.
#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "core/Errors.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelSession.h"
#include "terminal/MemoryLink.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

namespace {

// Drops the connection at the n-th WriteUserInfo.
class DroppingLink : public MemoryLink {
  public:
    using MemoryLink::MemoryLink;
    int dropAtWrite = 0;
    bool WriteUserInfo(int32_t m, int32_t user, const std::string& name,
                       const std::string& password, int32_t privilege, bool enabled) override {
        if (++writes_ == dropAtWrite) Disconnect();
        return MemoryLink::WriteUserInfo(m, user, name, password, privilege, enabled);
    }

  private:
    int writes_ = 0;
};

class SessionTest : public testing::Test {
  protected:
    SessionTest() {
        device.fields = {"Kapı", "Ethernet", "1", "Com1", "115200", "127.0.0.1", "4370", "", ""};
        std::filesystem::create_directories(home.File("personel"));
    }
    test::TempDir home;
    MemoryTerminal terminal;
    DroppingLink link{terminal};
    DeviceRecord device;
};

TEST_F(SessionTest, AbsentTemplatesAreNoFailureButADroppedLinkIs) {
    terminal.WriteUser(12, "Gül", "", 0, true);
    terminal.WriteTemplate(12, 3, std::string(40, 'T'));
    WriteAll(home.File("personel/personel.ini"), "00077\r\n00078\r\n");
    {
        PersonnelSession session(home.path(), link);
        ASSERT_TRUE(session.Open(device));
        EXPECT_FALSE(session.storeError());
        // Nine of the ten fingers hold nothing to delete.
        EXPECT_TRUE(session.TickTerminal({12}).empty());
        session.commands().DeleteTicked();
        EXPECT_FALSE(terminal.ReadUser(12).has_value());
        EXPECT_TRUE(session.terminalFailures().empty());
    }
    {
        link.dropAtWrite = 2;
        PersonnelSession session(home.path(), link);
        ASSERT_TRUE(session.Open(device));
        EXPECT_EQ(session.TickStore({77, 78, 79}), std::vector<int32_t>{79});
        session.commands().CopyPersonnelToTerminal();
        ASSERT_FALSE(session.terminalFailures().empty());
        EXPECT_EQ(session.terminalFailures().front().rfind("WriteUserInfo 78: ", 0), 0u)
            << session.terminalFailures().front();
    }
}

TEST_F(SessionTest, AStoreThatCannotLoadLeavesTheTerminalSideAndSaysWhy) {
    terminal.WriteUser(12, "Gül", "", 0, true);
    WriteAll(home.File("personel/personel.ini"), "00012\r\nabc\r\n");
    PersonnelSession session(home.path(), link);
    ASSERT_TRUE(session.Open(device));
    ASSERT_TRUE(session.storeError());
    EXPECT_EQ(*session.storeError(), "'abc' is not a valid integer value");
    ASSERT_EQ(session.TerminalRows().size(), 1u);
    EXPECT_EQ(session.TerminalRows()[0].perNo, "00012");
    EXPECT_TRUE(session.StoreRows().empty());
}

TEST_F(SessionTest, OpeningNeedsNumbersInTheDeviceAndAReachableTerminal) {
    device.fields[6] = "43x0";
    PersonnelSession bad(home.path(), link);
    EXPECT_THROW(bad.Open(device), AppError);
    EXPECT_FALSE(link.IsConnected());

    device.fields[6] = "4370";
    link.refuseConnect = true;
    PersonnelSession refused(home.path(), link);
    EXPECT_FALSE(refused.Open(device));
    EXPECT_EQ(refused.messages(), std::vector<std::string>{"Bağlantı Kurulamadı"});
}

}  // namespace
