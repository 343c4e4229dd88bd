// aktarim-cli and the wire: --trace writes one well-formed line per frame,
// and devices that answer with nothing but noise end within their own
// timeouts without holding up the devices after them.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "HostilePeer.h"
#include "Process.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "terminal/ConnectionRules.h"

using namespace aktarim;
using namespace std::chrono_literals;
using aktarim::test::HostilePeer;
using aktarim::test::Process;
using aktarim::test::ReadAll;
using aktarim::test::TempDir;
using aktarim::test::WriteAll;

namespace {

const std::string kBin = AKTARIM_BINARY_DIR;
const std::string kSim = kBin + "/src/sim/terminal-sim";
const std::string kCli = kBin + "/src/cli/aktarim-cli";

using Sim = test::SimProcess;

Sim StartSim(const TempDir& dir, std::vector<std::string> extra) {
    return test::StartSimProcess(dir, "sim", extra, false);
}

std::string EthernetDevice(int n, const std::string& name, int machine, const std::string& port) {
    std::ostringstream s;
    s << "[cihaz" << n << "]\r\nadi=" << name << "\r\nbaglantitipi=Ethernet\r\nmakineno=" << machine
      << "\r\nportno=Com1\r\nbaudrate=115200\r\nipadres=127.0.0.1\r\nipport=" << port
      << "\r\nparola=\r\ngcdurum=Standart\r\n";
    return s.str();
}

struct CliRun {
    int status;
    std::string output;
    std::chrono::milliseconds took;
};

CliRun RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    const auto start = std::chrono::steady_clock::now();
    Process cli(args);
    auto out = cli.ReadAll(60s);
    const auto status = cli.Wait(10s);
    return {status.value_or(-1), out.value_or(""),
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  start)};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(CliTrace, ATransferFillsTheTraceWithOneWellFormedLinePerFrame) {
    TempDir dir;
    Sim sim = StartSim(
        dir, {"--machine", "3", "--seed", "7", "--seed-users", "5", "--seed-records", "2000"});
    WriteAll(dir.File("cihazlar.ini"), "[ayarlar]\r\ndosya=" + dir.File("qb400.txt") +
                                           "\r\nsilkontrol=0\r\n" +
                                           EthernetDevice(1, "Kapi", 3, sim.port));
    const std::string trace = dir.File("t.log");
    const CliRun run = RunCli({"--home", dir.path(), "--trace", trace, "transfer"});
    ASSERT_EQ(run.status, 0) << run.output;

    const std::regex line(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ([<>]) m=(-?\d+) code=([0-9A-F]{2}) len=(\d+) seq=(\d+) 127\.0\.0\.1:\d+\r)");
    std::vector<std::string> codes;  // direction and code, in order
    std::string loadSeq;
    size_t chunks = 0;
    const std::vector<std::string> lines = Lines(ReadAll(trace));
    for (const std::string& text : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        const std::string code = m[3];
        codes.push_back(m[1].str() + code);
        // The handshake goes to anyone; everything after it to machine 3.
        EXPECT_EQ(m[2], code == "01" ? "0" : "3") << text;
        if (code == "10") loadSeq = m[5];
        if (code == "90" || code == "F0" || code == "F1") {
            EXPECT_EQ(m[5], loadSeq) << text;
        }
        if (code == "F0") {
            ++chunks;
            EXPECT_GT(std::stoul(m[4].str()), 1000u) << "a chunk carries many records";
        }
    }
    ASSERT_GE(codes.size(), 6u);
    EXPECT_EQ(codes[0], ">01");
    EXPECT_EQ(codes[1], "<81");
    const auto has = [&](const std::string& c) {
        return std::find(codes.begin(), codes.end(), c) != codes.end();
    };
    EXPECT_TRUE(has(">10") && has("<90") && has("<F1")) << lines.size() << " lines";
    // 2,000 records of about 10 bytes each come in chunks of about 8 KiB.
    EXPECT_GE(chunks, 2u);

    // A second run adds to the trace and keeps what was there.
    const CliRun again = RunCli({"--home", dir.path(), "--trace", trace, "test"});
    EXPECT_EQ(again.status, 0) << again.output;
    const std::vector<std::string> after = Lines(ReadAll(trace));
    EXPECT_EQ(after.size(), lines.size() + 2) << "the test's handshake, out and back";
    EXPECT_TRUE(std::equal(lines.begin(), lines.end(), after.begin()));
}

TEST(CliTrace, ATraceThatCannotBeOpenedStopsBeforeAnyDeviceIsContacted) {
    TempDir dir;
    WriteAll(dir.File("cihazlar.ini"), EthernetDevice(1, "Kapi", 1, "1"));
    const CliRun run =
        RunCli({"--home", dir.path(), "--trace", dir.File("no/such/folder/t.log"), "test"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "") << "no device line is printed";
}

// Peers that send only noise after the handshake request: random bytes as
// fast as the socket takes them, and a frame marker trickled byte by byte.
TEST(CliHostileDevices, EachEndsWithinItsTimeoutsAndTheNextDeviceIsServed) {
    const auto flood = [](const wire::Frame&, HostilePeer::Sender& s) {
        std::mt19937 random(5);
        HostilePeer::Bytes block(64 * 1024);
        for (uint8_t& b : block) b = static_cast<uint8_t>(random());
        while (s.Send(block)) {
        }
    };
    const auto trickle = [](const wire::Frame&, HostilePeer::Sender& s) {
        for (int i = 0; s.Send({i % 2 == 0 ? wire::kMarker0 : wire::kMarker1}); ++i)
            std::this_thread::sleep_for(2ms);
    };
    HostilePeer flooding(flood, 10s);
    HostilePeer trickling(trickle, 10s);
    TempDir dir;
    Sim sim = StartSim(dir, {"--machine", "1", "--seed", "3", "--seed-records", "50"});
    constexpr int kTimeoutMs = 300;
    const std::string timeouts = "[zamanasimi]\r\nbaglanti=" + std::to_string(kTimeoutMs) +
                                 "\r\nistek=" + std::to_string(kTimeoutMs) +
                                 "\r\nbekleme=" + std::to_string(kTimeoutMs) + "\r\n";
    WriteAll(dir.File("cihazlar.ini"),
             "[ayarlar]\r\ndosya=" + dir.File("qb400.txt") + "\r\nsilkontrol=0\r\n" + timeouts +
                 EthernetDevice(1, "Sel", 1, std::to_string(flooding.port)) +
                 EthernetDevice(2, "Damla", 1, std::to_string(trickling.port)) +
                 EthernetDevice(3, "Kapi", 1, sim.port));

    // Each hostile device may take twice its connect timeout; the real one
    // and the program's start get a second between them.
    const auto bound = std::chrono::milliseconds(2 * 2 * kTimeoutMs) + 1000ms;
    for (const char* command : {"test", "transfer"}) {
        SCOPED_TRACE(command);
        const CliRun run = RunCli({"--home", dir.path(), command});
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_LT(run.took, bound) << run.took.count() << " ms\n" << run.output;
        const std::vector<std::string> lines = Lines(run.output);
        ASSERT_EQ(lines.size(), 3u) << run.output;
        EXPECT_EQ(lines[0].rfind(std::string("1\tSel\t") + kConnectFailedText, 0), 0u) << lines[0];
        EXPECT_EQ(lines[1].rfind(std::string("2\tDamla\t") + kConnectFailedText, 0), 0u)
            << lines[1];
        EXPECT_EQ(lines[2].rfind(std::string("3\tKapi\t") + kConnectedText, 0), 0u) << lines[2];
    }
    EXPECT_NE(ReadAll(dir.File("qb400.txt")), "") << "the third device's records arrived";
}
