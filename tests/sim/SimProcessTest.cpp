// Runs the built terminal-sim as its own process, as `make run` and the
// integration tests do, and talks to it through the production WireLink.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Process.h"
#include "TempDir.h"
#include "terminal/WireLink.h"

using namespace aktarim;
using namespace std::chrono_literals;
using aktarim::test::Process;
using aktarim::test::TempDir;

namespace {

const std::string kSim = AKTARIM_BINARY_DIR "/src/sim/terminal-sim";
constexpr int32_t kMachine = 5;

LinkOptions ShortTimeouts() {
    LinkOptions options;
    options.connectTimeout = 2000ms;
    options.requestTimeout = 500ms;
    options.idleTimeout = 1000ms;
    return options;
}

// A running simulator on a free loopback port; stopped with SIGTERM at the end.
class RunningSim {
  public:
    // The port file of an earlier simulator in the same folder goes before
    // this one starts: removed afterwards, it might be the new port that goes.
    RunningSim(const TempDir& dir, std::vector<std::string> extra)
        : portFile_(FreshPortFile(dir)), process_(Args(std::move(extra))) {
        ready_ = process_.started() && process_.WaitForLine("ready", 10s);
        if (!ready_) return;
        std::ifstream in(portFile_);
        in >> port_;
    }
    ~RunningSim() {
        if (!stopped_) Stop();
    }

    bool ready() const { return ready_ && port_ > 0; }
    int port() const { return port_; }

    // Sends the signal and returns the exit status (nullopt: no clean exit in time).
    std::optional<int> Stop(int signalNumber = SIGTERM) {
        stopped_ = true;
        process_.Signal(signalNumber);
        return process_.Wait(5s);
    }

    std::unique_ptr<WireLink> Connect() {
        auto link = std::make_unique<WireLink>(ShortTimeouts());
        EXPECT_TRUE(link->ConnectNetwork("127.0.0.1", port_));
        return link;
    }

  private:
    static std::string FreshPortFile(const TempDir& dir) {
        const std::string path = dir.File("port");
        std::filesystem::remove(path);
        return path;
    }

    std::vector<std::string> Args(std::vector<std::string> extra) const {
        std::vector<std::string> args = {kSim, "--listen", "127.0.0.1:0", "--port-file", portFile_};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    std::string portFile_;
    Process process_;
    bool ready_ = false;
    bool stopped_ = false;
    int port_ = 0;
};

// `terminal-sim dump` of a state file, parsed.
nlohmann::json Dump(const std::string& state) {
    Process dump({kSim, "dump", "--state", state});
    const auto out = dump.ReadAll(10s);
    EXPECT_EQ(dump.Wait(5s), 0);
    if (!out) return {};
    return nlohmann::json::parse(*out, nullptr, false);
}

std::vector<std::string> Seeded(const std::string& state, int seed = 42,
                                int32_t machine = kMachine) {
    return {"--state",          state, "--machine",      std::to_string(machine),
            "--seed-users",     "20",  "--seed-records", "300",
            "--seed-templates", "2",   "--seed",         std::to_string(seed)};
}

class StopSignal : public testing::TestWithParam<int> {};

}  // namespace

TEST_P(StopSignal, ServesItsStateAndExitsCleanly) {
    TempDir dir;
    const std::string state = dir.File("state.db");
    RunningSim sim(dir, Seeded(state));
    ASSERT_TRUE(sim.ready());

    auto link = sim.Connect();
    int32_t users = 0, records = 0;
    ASSERT_TRUE(link->GetStatusValue(kMachine, kStatusUserCount, users));
    ASSERT_TRUE(link->GetStatusValue(kMachine, kStatusRecordCount, records));
    EXPECT_EQ(users, 20);
    EXPECT_EQ(records, 300);
    ASSERT_TRUE(link->LoadUserIds(kMachine));
    std::vector<std::pair<int32_t, std::string>> listed;
    int32_t number = 0, privilege = 0;
    std::string name, password;
    bool enabled = false;
    while (listed.size() < 100 &&
           link->NextUserId(kMachine, number, name, password, privilege, enabled))
        listed.emplace_back(number, name);
    link->Disconnect();

    EXPECT_EQ(sim.Stop(GetParam()), 0);

    const nlohmann::json dump = Dump(state);
    ASSERT_TRUE(dump.is_object());
    EXPECT_EQ(dump["machine"], kMachine);
    ASSERT_EQ(dump["users"].size(), listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(dump["users"][i]["number"], listed[i].first);
        EXPECT_EQ(dump["users"][i]["name"], listed[i].second);
    }
    EXPECT_EQ(dump["templates"].size(), 40u);
    EXPECT_EQ(dump["records"].size(), 300u);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

TEST(TerminalSimProcess, StateSurvivesARestartAndOnlyAnEmptyStateIsSeeded) {
    TempDir dir;
    const std::string state = dir.File("state.db");
    {
        RunningSim sim(dir, Seeded(state, 42));
        ASSERT_TRUE(sim.ready());
        ASSERT_EQ(sim.Stop(), 0);
    }
    const nlohmann::json first = Dump(state);
    ASSERT_EQ(first["records"].size(), 300u);

    // The same seed in a fresh state gives the same dump.
    const std::string twin = dir.File("twin.db");
    {
        RunningSim sim(dir, Seeded(twin, 42));
        ASSERT_TRUE(sim.ready());
        ASSERT_EQ(sim.Stop(), 0);
    }
    EXPECT_EQ(Dump(twin), first);

    // Another seed on the filled state changes nothing; --machine does.
    {
        RunningSim sim(dir, Seeded(state, 43, 9));
        ASSERT_TRUE(sim.ready());
        auto link = sim.Connect();
        int32_t records = 0;
        EXPECT_FALSE(link->GetStatusValue(kMachine, kStatusRecordCount, records))
            << "the old number is no longer answered";
        ASSERT_TRUE(link->ConnectNetwork("127.0.0.1", sim.port()));
        ASSERT_TRUE(link->GetStatusValue(9, kStatusRecordCount, records));
        EXPECT_EQ(records, 300);
        ASSERT_TRUE(link->ClearAttendanceLog(9));
        link->Disconnect();
        ASSERT_EQ(sim.Stop(), 0);
    }
    const nlohmann::json after = Dump(state);
    EXPECT_EQ(after["machine"], 9);
    EXPECT_EQ(after["users"], first["users"]);
    EXPECT_EQ(after["templates"], first["templates"]);
    EXPECT_TRUE(after["records"].empty()) << "the clear reached the file";
}

TEST(TerminalSimProcess, SerialLinkPointsAtAPseudoTerminalSpeakingTheProtocol) {
    TempDir dir;
    const std::string link = dir.File("ttySIM");
    // An old link from an earlier run is replaced.
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    {
        RunningSim sim(dir, {"--serial-link", link, "--machine", "3", "--seed-users", "4",
                             "--seed-records", "12"});
        ASSERT_TRUE(sim.ready());
        const auto target = std::filesystem::read_symlink(link).string();
        EXPECT_EQ(target.rfind("/dev/pts/", 0), 0u) << target;

        LinkOptions options = ShortTimeouts();
        options.serialDevices[1] = link;
        WireLink serial(options);
        ASSERT_TRUE(serial.ConnectSerial(2, 3, 115200));
        int32_t records = 0;
        EXPECT_TRUE(serial.GetStatusValue(3, kStatusRecordCount, records));
        EXPECT_EQ(records, 12);
        serial.Disconnect();
        ASSERT_EQ(sim.Stop(), 0);
    }
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the terminal";
}

TEST(TerminalSimProcess, BaudThrottlesTheSerialLine) {
    TempDir dir;
    const std::string link = dir.File("ttySIM");
    RunningSim sim(dir, {"--serial-link", link, "--baud", "19200", "--seed-users", "1",
                         "--seed-templates", "1"});
    ASSERT_TRUE(sim.ready());
    LinkOptions options = ShortTimeouts();
    options.serialDevices[0] = link;
    WireLink serial(options);
    ASSERT_TRUE(serial.ConnectSerial(1, 1, 19200));
    // One template of at least 500 characters at 1,920 bytes a second.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(serial.LoadAllTemplates(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
    serial.Disconnect();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(TerminalSimProcess, FaultFlagsReachTheServer) {
    struct Case {
        const char* label;
        std::vector<std::string> flags;
        std::function<void(RunningSim&)> check;
    };
    const std::array<Case, 5> cases = {{
        {"--refuse",
         {"--refuse"},
         [](RunningSim& sim) {
             WireLink link(ShortTimeouts());
             EXPECT_FALSE(link.ConnectNetwork("127.0.0.1", sim.port()));
         }},
        {"--fail-clear",
         {"--fail-clear"},
         [](RunningSim& sim) {
             auto link = sim.Connect();
             EXPECT_FALSE(link->ClearAttendanceLog(kMachine));
             // The erase of what was read is refused as well.
             ASSERT_TRUE(link->LoadAttendanceLog(kMachine));
             std::vector<AttendanceValues> read;
             for (AttendanceValues v; link->NextAttendanceRecord(kMachine, v);) read.push_back(v);
             EXPECT_FALSE(link->ClearAttendanceRecords(kMachine, static_cast<uint32_t>(read.size()),
                                                       RecordsDigest(read)));
             int32_t records = 0;
             EXPECT_TRUE(link->GetStatusValue(kMachine, kStatusRecordCount, records));
             EXPECT_EQ(records, 30);
         }},
        {"--drop-after-records",
         {"--drop-after-records", "10"},
         [](RunningSim& sim) {
             auto link = sim.Connect();
             EXPECT_FALSE(link->LoadAttendanceLog(kMachine));
             AttendanceValues v;
             EXPECT_FALSE(link->NextAttendanceRecord(kMachine, v));
         }},
        {"--wrong-machine",
         {"--wrong-machine"},
         [](RunningSim& sim) {
             WireLink link(ShortTimeouts());
             link.ConnectNetwork("127.0.0.1", sim.port());
             int32_t users = 0;
             EXPECT_FALSE(link.GetStatusValue(kMachine, kStatusUserCount, users));
         }},
        {"--reply-delay-ms",
         {"--reply-delay-ms", "300"},
         [](RunningSim& sim) {
             auto link = sim.Connect();
             const auto start = std::chrono::steady_clock::now();
             int32_t users = 0;
             EXPECT_TRUE(link->GetStatusValue(kMachine, kStatusUserCount, users));
             EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
         }},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        std::vector<std::string> args = {"--machine", std::to_string(kMachine), "--seed-users",
                                         "5",         "--seed-records",         "30"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        RunningSim sim(dir, args);
        ASSERT_TRUE(sim.ready());
        c.check(sim);
        EXPECT_EQ(sim.Stop(), 0);
    }
}

TEST(TerminalSimProcess, ClockOffsetStartsAnEmptyTerminalThatFarFromThePc) {
    TempDir dir;
    const std::string state = dir.File("state.db");
    {
        RunningSim sim(dir, {"--state", state, "--clock-offset", "-5400"});
        ASSERT_TRUE(sim.ready());
        ASSERT_EQ(sim.Stop(), 0);
    }
    EXPECT_EQ(Dump(state)["clockOffsetSeconds"], -5400);
}

TEST(TerminalSimProcess, BadCommandLinesFailWithoutTouchingAnything) {
    TempDir dir;
    const std::string missing = dir.File("missing.db");
    const std::string precious = dir.File("precious.txt");
    std::ofstream(precious) << "keep me\n";
    const std::array<std::vector<std::string>, 6> cases = {{
        {kSim, "--listen", "no-port-here"},
        {kSim, "--listen", "127.0.0.1:70000"},
        {kSim, "--seed-templates", "11"},
        {kSim, "dump", "--state", missing},
        {kSim, "--listen", "127.0.0.1:0", "--serial-link", precious},
        {kSim, "--listen", "127.0.0.1:0", "--state", precious},
    }};
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back());
        Process sim(args);
        ASSERT_TRUE(sim.started());
        EXPECT_FALSE(sim.WaitForLine("ready", 5s));
        const auto status = sim.Wait(5s);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    std::ifstream in(precious);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "keep me");
}

namespace {

// One transfer as the engine makes it: load, read every record, erase
// exactly those. Returns how many were read (nullopt when something failed).
std::optional<size_t> LoadAndErase(WireLink& link, int32_t machine) {
    if (!link.LoadAttendanceLog(machine)) return std::nullopt;
    std::vector<AttendanceValues> read;
    for (AttendanceValues v; link.NextAttendanceRecord(machine, v);) read.push_back(v);
    if (!link.ClearAttendanceRecords(machine, static_cast<uint32_t>(read.size()),
                                     RecordsDigest(read)))
        return std::nullopt;
    return read.size();
}

}  // namespace

TEST(TerminalSimProcess, PunchesWhileTheLogIsSentStayForTheNextTransfer) {
    TempDir dir;
    const std::string state = dir.File("state.db");
    const std::string line = dir.File("ttyS");
    constexpr int kSeeded = 1500;
    // 115,200 baud carries the log in about a second and a half: punches
    // every 2 ms come while it is on the line.
    RunningSim sim(dir, {"--state", state, "--machine", "5", "--seed-users", "20", "--seed-records",
                         std::to_string(kSeeded), "--serial-link", line, "--baud", "115200",
                         "--punch-every-ms", "2"});
    ASSERT_TRUE(sim.ready());
    LinkOptions options = ShortTimeouts();
    options.serialDevices[0] = line;
    WireLink serial(options);
    ASSERT_TRUE(serial.ConnectSerial(1, kMachine, 115200));

    size_t read = 0;
    int32_t before = 0, after = 0;
    ASSERT_TRUE(serial.GetStatusValue(kMachine, kStatusRecordCount, before));
    // The load is one snapshot: the link checks that the count it was
    // announced is the count that came.
    const std::optional<size_t> first = LoadAndErase(serial, kMachine);
    ASSERT_TRUE(first);
    read += *first;
    ASSERT_TRUE(serial.GetStatusValue(kMachine, kStatusRecordCount, after));
    EXPECT_GE(*first, static_cast<size_t>(before));
    EXPECT_GT(after, 0) << "the punches made while the log was sent stay on the terminal";

    // A second and third transfer over TCP take what came since.
    auto tcp = sim.Connect();
    for (int round = 0; round < 2; ++round) {
        std::this_thread::sleep_for(50ms);
        const std::optional<size_t> more = LoadAndErase(*tcp, kMachine);
        ASSERT_TRUE(more) << "round " << round;
        read += *more;
    }
    serial.Disconnect();
    tcp->Disconnect();
    ASSERT_EQ(sim.Stop(), 0);

    const nlohmann::json dump = Dump(state);
    ASSERT_TRUE(dump.is_object());
    const int64_t punches = dump["punchesAdded"].get<int64_t>();
    EXPECT_GT(punches, 100);
    // Every record was read exactly once or is still on the terminal.
    EXPECT_EQ(static_cast<int64_t>(read + dump["records"].size()), kSeeded + punches);
}
