// WireLink against an in-process TerminalServer on loopback TCP, and against
// scripted peers that misbehave.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <future>
#include <string>

#include "ConditionalErase.h"
#include "ScriptedPeer.h"
#include "WireFixtures.h"
#include "terminal/WireLink.h"

namespace aktarim::test {
namespace {

using namespace std::chrono_literals;
constexpr int32_t m = kMachine;

class WireLinkTcp : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port)); }

    ServedTerminal served;
    WireLink link{FastOptions()};
};

TEST_F(WireLinkTcp, ConnectsAndDisconnects) {
    EXPECT_TRUE(link.IsConnected());
    EXPECT_TRUE(link.SetLinkValue(m, 1));
    link.Disconnect();
    EXPECT_FALSE(link.IsConnected());
    link.Disconnect();  // nothing open: nothing happens
    EXPECT_FALSE(link.SetLinkValue(m, 1));
    EXPECT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
    EXPECT_TRUE(link.SetLinkValue(m, 2000));
}

TEST(WireLinkNotConnected, EveryOperationAnswersFalse) {
    WireLink link(FastOptions());
    int32_t i = 0;
    bool b = false;
    std::string s;
    AttendanceValues values;
    const std::array<std::function<bool()>, 21> calls = {
        [&] { return link.SetLinkValue(m, 1); },
        [&] { return link.GetStatusValue(m, 2, i); },
        [&] { return link.LoadAttendanceLog(m); },
        [&] { return link.ClearAttendanceLog(m); },
        [&] { return link.ClearAttendanceRecords(m, 0, 0); },
        [&] { return link.ClearAdministrators(m); },
        [&] { return link.ClearAllData(m); },
        [&] { return link.LoadUserIds(m); },
        [&] { return link.LoadAllTemplates(m); },
        [&] { return link.NextAttendanceRecord(m, values); },
        [&] { return link.GetDeviceClock(m, i, i, i, i, i, i); },
        [&] { return link.SetDeviceClock(m, 2024, 1, 1, 0, 0, 0); },
        [&] { return link.NextUserId(m, i, s, s, i, b); },
        [&] { return link.ReadUserInfo(m, 1, s, s, i, b); },
        [&] { return link.WriteUserInfo(m, 1, "a", "", 0, true); },
        [&] { return link.DeleteUserRecord(m, 1, 0, 0); },
        [&] { return link.DeleteFingerTemplate(m, 1, 0); },
        [&] { return link.ReadFingerTemplate(m, 1, 0, s, i); },
        [&] { return link.WriteFingerTemplate(m, 1, 0, std::string(20, 'x')); },
        [&] { return link.ConnectSerial(0, m, 9600); },
        [&] { return link.ConnectSerial(5, m, 9600); },
    };
    for (size_t k = 0; k < calls.size(); ++k) {
        EXPECT_FALSE(calls[k]()) << "call " << k;
        // The last two are connects to ports that do not exist.
        EXPECT_EQ(link.LastFailure().kind, k + 2 < calls.size() ? LinkFailureKind::NotConnected
                                                                : LinkFailureKind::ConnectFailed)
            << "call " << k;
    }
    EXPECT_FALSE(link.IsConnected());
}

TEST_F(WireLinkTcp, ReadsStatusValues) {
    int32_t value = -1;
    EXPECT_TRUE(link.GetStatusValue(m, kStatusUserCount, value));
    EXPECT_EQ(value, 4);
    EXPECT_TRUE(link.GetStatusValue(m, kStatusRecordCount, value));
    EXPECT_EQ(value, 3);
    // An item the terminal does not know is a refusal, not a broken link.
    value = -1;
    EXPECT_FALSE(link.GetStatusValue(m, 42, value));
    EXPECT_EQ(value, -1);
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Refused);
    EXPECT_TRUE(link.IsConnected());
    // The next call that goes through forgets the failure.
    EXPECT_TRUE(link.GetStatusValue(m, kStatusRecordCount, value));
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::None);
}

TEST_F(WireLinkTcp, LoadsTheAttendanceLog) {
    ASSERT_TRUE(link.LoadAttendanceLog(m));
    const auto& log = served.terminal.AttendanceLog();
    AttendanceValues v;
    for (const AttendanceEntry& e : log) {
        ASSERT_TRUE(link.NextAttendanceRecord(m, v));
        EXPECT_EQ(v.machineNumber, m);
        EXPECT_EQ(v.userNumber, e.user);
        EXPECT_EQ(v.enrolMachine, m);
        EXPECT_EQ(v.verifyMode, e.verify);
        EXPECT_EQ(v.inOutState, e.state);
        EXPECT_EQ((std::array{v.year, v.month, v.day, v.hour, v.minute}),
                  (std::array{e.year, e.month, e.day, e.hour, e.minute}));
    }
    EXPECT_FALSE(link.NextAttendanceRecord(m, v));
    // A second load starts the walk again; a disconnect forgets it.
    ASSERT_TRUE(link.LoadAttendanceLog(m));
    EXPECT_TRUE(link.NextAttendanceRecord(m, v));
    link.Disconnect();
    EXPECT_FALSE(link.NextAttendanceRecord(m, v));
}

TEST(WireLinkBulk, LoadsALogOfManyChunks) {
    ServedTerminal served(LogOf(20000));
    WireLink link(FastOptions());
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
    ASSERT_TRUE(link.LoadAttendanceLog(m));
    AttendanceValues v;
    int n = 0;
    for (; link.NextAttendanceRecord(m, v); ++n) {
        const AttendanceEntry& e = served.terminal.AttendanceLog()[static_cast<size_t>(n)];
        ASSERT_EQ(v.userNumber, e.user);
        ASSERT_EQ(v.minute, e.minute);
        ASSERT_EQ(v.year, e.year);
    }
    EXPECT_EQ(n, 20000);
}

TEST_F(WireLinkTcp, LoadsUsersWithTheirTexts) {
    ASSERT_TRUE(link.LoadUserIds(m));
    int32_t number = 0, privilege = 0;
    std::string name, password;
    bool enabled = false;
    for (const TerminalUser& expected : served.terminal.Users()) {
        ASSERT_TRUE(link.NextUserId(m, number, name, password, privilege, enabled));
        EXPECT_EQ(number, expected.number);
        EXPECT_EQ(name, expected.name);
        EXPECT_EQ(password, expected.password);
        EXPECT_EQ(privilege, expected.privilege);
        EXPECT_EQ(enabled, expected.enabled);
    }
    EXPECT_FALSE(link.NextUserId(m, number, name, password, privilege, enabled));
}

TEST_F(WireLinkTcp, ReadsWritesAndDeletesUsers) {
    std::string name, password;
    int32_t privilege = -1;
    bool enabled = false;
    ASSERT_TRUE(link.ReadUserInfo(m, 2, name, password, privilege, enabled));
    EXPECT_EQ(name, "Çağrı Öğüt");
    EXPECT_EQ(password, "4321");
    EXPECT_EQ(privilege, 1);
    EXPECT_TRUE(enabled);
    EXPECT_FALSE(link.ReadUserInfo(m, 999, name, password, privilege, enabled));
    EXPECT_EQ(name, "Çağrı Öğüt");  // left as it was

    ASSERT_TRUE(link.WriteUserInfo(m, 55, "Gökçe Işık", "1", 2, true));
    const auto written = served.terminal.ReadUser(55);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->name, "Gökçe Işık");
    EXPECT_EQ(written->privilege, 2);

    // A name that is not UTF-8 is refused by the terminal and changes nothing.
    EXPECT_FALSE(link.WriteUserInfo(m, 56, "\xC3\x28", "", 0, true));
    EXPECT_FALSE(served.terminal.ReadUser(56));
    EXPECT_TRUE(link.IsConnected());

    EXPECT_TRUE(link.DeleteUserRecord(m, 1, 0, 0));
    EXPECT_FALSE(served.terminal.ReadUser(1));
    EXPECT_FALSE(served.terminal.ReadTemplate(1, 0));
    EXPECT_FALSE(link.DeleteUserRecord(m, 1, 0, 0));
}

TEST_F(WireLinkTcp, TemplatesComeFromTheLoadUntilTheLinkChangesThem) {
    std::string text;
    int32_t length = 0;
    ASSERT_TRUE(link.ReadFingerTemplate(m, 1, 5, text, length));  // asked one by one
    EXPECT_EQ(text, std::string(700, 'B'));
    EXPECT_EQ(length, 700);

    ASSERT_TRUE(link.LoadAllTemplates(m));
    ASSERT_TRUE(link.ReadFingerTemplate(m, 70000, 9, text, length));
    EXPECT_EQ(text, std::string(800, 'C'));
    EXPECT_FALSE(link.ReadFingerTemplate(m, 70000, 8, text, length));

    ASSERT_TRUE(link.WriteFingerTemplate(m, 2, 3, std::string(300, 'W')));
    EXPECT_EQ(served.terminal.ReadTemplate(2, 3), std::string(300, 'W'));
    ASSERT_TRUE(link.ReadFingerTemplate(m, 2, 3, text, length));
    EXPECT_EQ(length, 300);

    EXPECT_TRUE(link.DeleteFingerTemplate(m, 2, 3));
    EXPECT_FALSE(link.ReadFingerTemplate(m, 2, 3, text, length));
    EXPECT_FALSE(link.DeleteFingerTemplate(m, 2, 3));
    EXPECT_FALSE(link.WriteFingerTemplate(m, 999, 0, "no such user"));
    EXPECT_TRUE(link.IsConnected());
}

TEST_F(WireLinkTcp, ReadsAndSetsTheClock) {
    ASSERT_TRUE(link.SetDeviceClock(m, 2031, 7, 15, 10, 20, 30));
    int32_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    ASSERT_TRUE(link.GetDeviceClock(m, y, mo, d, h, mi, s));
    EXPECT_EQ((std::array{y, mo, d, h, mi}), (std::array{2031, 7, 15, 10, 20}));
    EXPECT_GE(s, 30);
    EXPECT_LE(s, 32);
}

TEST_F(WireLinkTcp, ClearCommandsClearTheTerminal) {
    ASSERT_TRUE(link.ClearAdministrators(m));
    for (const TerminalUser& user : served.terminal.Users()) EXPECT_EQ(user.privilege, 0);
    EXPECT_EQ(served.terminal.Users().size(), 4u);
    ASSERT_TRUE(link.ClearAttendanceLog(m));
    EXPECT_TRUE(served.terminal.AttendanceLog().empty());
    EXPECT_EQ(served.terminal.Users().size(), 4u);
    ASSERT_TRUE(link.ClearAllData(m));
    EXPECT_TRUE(served.terminal.Users().empty());
    EXPECT_TRUE(served.terminal.Templates().empty());
}

TEST_F(WireLinkTcp, AnotherMachineNumberTimesOutAndDisconnects) {
    int32_t value = -1;
    const auto elapsed = Elapsed([&] { EXPECT_FALSE(link.GetStatusValue(m + 1, 2, value)); });
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, 1000ms);
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(link.IsConnected());
    // The handshake said who is at the other end.
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::WrongMachine);
    EXPECT_EQ(link.LastFailure().detail, "bağlı cihazın numarası 5, istek 6 numarasına gitti");
}

TEST_F(WireLinkTcp, TheNewestClientTakesTheTerminalOver) {
    WireLink second(FastOptions());
    ASSERT_TRUE(second.ConnectNetwork("127.0.0.1", served.port));
    int32_t value = 0;
    EXPECT_TRUE(second.GetStatusValue(m, 2, value));
    EXPECT_FALSE(link.GetStatusValue(m, 2, value));
    EXPECT_FALSE(link.IsConnected());
}

TEST(WireLinkConnect, UnusableAddressesFailAtOnce) {
    // A port nobody listens on: bind one, then let it go.
    uint16_t freePort = 0;
    {
        ScriptedPeer peer([](const wire::Frame&) { return ScriptedPeer::Bytes{}; });
        freePort = peer.port;
    }
    WireLink link(FastOptions());
    struct Case {
        std::string address;
        int32_t port;
    };
    const std::array cases = {Case{"127.0.0.1", freePort}, Case{"not an address", 4370},
                              Case{"", 4370}, Case{"127.0.0.1", 0}, Case{"127.0.0.1", 70000}};
    for (const Case& c : cases) {
        const auto elapsed = Elapsed([&] { EXPECT_FALSE(link.ConnectNetwork(c.address, c.port)); });
        EXPECT_LT(elapsed, 200ms) << c.address << ":" << c.port;
        EXPECT_FALSE(link.IsConnected());
        EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::ConnectFailed);
        EXPECT_FALSE(link.LastFailure().detail.empty()) << c.address << ":" << c.port;
    }
}

// Peers that break the protocol in ways the real server never does.
TEST(WireLinkPeers, ASilentPeerEndsTheConnectWithinItsTimeout) {
    ScriptedPeer silent([](const wire::Frame&) { return ScriptedPeer::Bytes{}; });
    LinkOptions options = FastOptions();
    options.connectTimeout = 200ms;
    WireLink link(options);
    const auto elapsed =
        Elapsed([&] { EXPECT_FALSE(link.ConnectNetwork("127.0.0.1", silent.port)); });
    EXPECT_GE(elapsed, 190ms);
    EXPECT_LT(elapsed, 700ms);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Timeout);
}

TEST(WireLinkPeers, APeerThatFallsSilentEndsTheCallWithinTheRequestTimeout) {
    ScriptedPeer peer([](const wire::Frame& f) {
        return f.code == wire::RequestCode(wire::Code::Hello) ? ScriptedPeer::HelloReply(f, m)
                                                              : ScriptedPeer::Bytes{};
    });
    WireLink link(FastOptions());
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", peer.port));
    int32_t value = 0;
    const auto elapsed = Elapsed([&] { EXPECT_FALSE(link.GetStatusValue(m, 2, value)); });
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, 800ms);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Timeout);
}

// What the peer sends back to GetStatus(2), and whether the link accepts it.
TEST(WireLinkPeers, TakesOnlyTheReplyToItsOwnRequest) {
    using Bytes = ScriptedPeer::Bytes;
    const auto status = [](const wire::Frame& f, int32_t machine, uint16_t seq, uint8_t code,
                           const Bytes& payload) {
        Bytes out;
        wire::AppendFrame(out, machine, code, seq, payload);
        (void)f;
        return out;
    };
    const uint8_t reply = wire::ReplyCode(wire::Code::GetStatus);
    const Bytes ok7 = wire::OkReply(wire::IntValue{7});
    struct Case {
        const char* name;
        std::function<Bytes(const wire::Frame&)> answer;
        bool accepted;
        bool stillConnected;
        LinkFailureKind failure;
    };
    const std::array cases = {
        Case{"plain reply", [&](const wire::Frame& f) { return status(f, m, f.seq, reply, ok7); },
             true, true, LinkFailureKind::None},
        Case{"garbage first",
             [&](const wire::Frame& f) {
                 Bytes out = {0xA5, 0x00, 0xA5, 0x5A, 0x01, 0x02, 0x03};
                 const Bytes good = status(f, m, f.seq, reply, ok7);
                 out.insert(out.end(), good.begin(), good.end());
                 return out;
             },
             true, true, LinkFailureKind::None},
        Case{"stale reply, then ours",
             [&](const wire::Frame& f) {
                 Bytes out = status(f, m, static_cast<uint16_t>(f.seq - 1), reply,
                                    wire::OkReply(wire::IntValue{1}));
                 const Bytes good = status(f, m, f.seq, reply, ok7);
                 out.insert(out.end(), good.begin(), good.end());
                 return out;
             },
             true, true, LinkFailureKind::None},
        Case{"our request echoed, then the reply",
             [&](const wire::Frame& f) {
                 Bytes out = wire::EncodeFrame(f);
                 const Bytes good = status(f, m, f.seq, reply, ok7);
                 out.insert(out.end(), good.begin(), good.end());
                 return out;
             },
             true, true, LinkFailureKind::None},
        Case{"only a stale reply",
             [&](const wire::Frame& f) {
                 return status(f, m, static_cast<uint16_t>(f.seq + 1), reply, ok7);
             },
             false, false, LinkFailureKind::Timeout},
        Case{"another machine answers",
             [&](const wire::Frame& f) { return status(f, m + 1, f.seq, reply, ok7); }, false,
             false, LinkFailureKind::WrongMachine},
        Case{"reply to another request",
             [&](const wire::Frame& f) {
                 return status(f, m, f.seq, wire::ReplyCode(wire::Code::GetClock), ok7);
             },
             false, false, LinkFailureKind::Protocol},
        Case{"body that does not decode",
             [&](const wire::Frame& f) {
                 return status(f, m, f.seq, reply, Bytes{0, 0x80});
             },
             false, false, LinkFailureKind::Protocol},
        Case{"failure status",
             [&](const wire::Frame& f) { return status(f, m, f.seq, reply, Bytes{1}); }, false,
             true, LinkFailureKind::Refused},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer([&](const wire::Frame& f) {
            return f.code == wire::RequestCode(wire::Code::Hello) ? ScriptedPeer::HelloReply(f, m)
                                                                  : c.answer(f);
        });
        LinkOptions options = FastOptions();
        options.requestTimeout = options.idleTimeout = 150ms;
        WireLink link(options);
        ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", peer.port)) << c.name;
        int32_t value = -1;
        EXPECT_EQ(link.GetStatusValue(m, 2, value), c.accepted) << c.name;
        EXPECT_EQ(value, c.accepted ? 7 : -1) << c.name;
        EXPECT_EQ(link.IsConnected(), c.stillConnected) << c.name;
        EXPECT_EQ(link.LastFailure().kind, c.failure)
            << c.name << ": " << LinkFailureText(link.LastFailure());
    }
}

TEST(WireLinkPeers, AHandshakeOfAnotherVersionIsRefused) {
    ScriptedPeer peer([](const wire::Frame& f) {
        ScriptedPeer::Bytes out;
        wire::AppendFrame(out, m, wire::ReplyCode(wire::Code::Hello), f.seq,
                          wire::OkReply(wire::HelloReply{2, m, 65536}));
        return out;
    });
    WireLink link(FastOptions());
    EXPECT_FALSE(link.ConnectNetwork("127.0.0.1", peer.port));
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Protocol);
    EXPECT_EQ(link.LastFailure().detail, "cihazın protokol sürümü 2, beklenen 1");
}

// Runs f on the server's loop, the only thread that may touch its terminal
// while it runs, and waits for it.
template <class F>
auto OnServer(ServedTerminal& served, F f) {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto done = task.get_future();
    served.server.Post([&task] { task(); });
    EXPECT_EQ(done.wait_for(5s), std::future_status::ready);
    return done.get();
}

TEST(WireLinkErase, TheConditionalEraseTakesOnlyWhatWasRead) {
    for (const ConditionalEraseCase& c : ConditionalEraseCases()) {
        SCOPED_TRACE(c.name);
        ServedTerminal served(EraseCaseTerminal(m, c));
        WireLink link(FastOptions());
        ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
        ASSERT_TRUE(link.LoadAttendanceLog(m));
        std::vector<AttendanceValues> read;
        for (AttendanceValues v; link.NextAttendanceRecord(m, v);) read.push_back(v);
        OnServer(served, [&] { AfterLoad(served.terminal, c); });
        const auto [count, digest] = EraseRequestFor(read, c);
        EXPECT_EQ(link.ClearAttendanceRecords(m, count, digest), c.erased);
        EXPECT_EQ(OnServer(served, [&] { return UsersIn(served.terminal.AttendanceLog()); }),
                  c.usersLeft);
        EXPECT_TRUE(link.IsConnected()) << "a refused erase keeps the connection";
    }
}

}  // namespace
}  // namespace aktarim::test
