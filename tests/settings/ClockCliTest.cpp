// `aktarim-cli clock get|set N` against the built terminal-sim, over loopback.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "settings/SettingsCommands.h"
#include "terminal/ConnectionRules.h"

using namespace aktarim;
using namespace std::chrono_literals;
using aktarim::test::ReadAll;
using aktarim::test::TempDir;
using aktarim::test::WriteAll;

namespace {

const std::string kCli = AKTARIM_BINARY_DIR "/src/cli/aktarim-cli";
const std::string kSim = AKTARIM_BINARY_DIR "/src/sim/terminal-sim";
constexpr int kTerminalBehind = 86400;  // the simulated terminal runs a day late

// A child process with stdout and stderr in files; killed if still running
// when it goes.
class Child {
  public:
    Child(std::vector<std::string> args, const std::string& out, const std::string& err) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The exit status, or nullopt when the child did not exit normally in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (pid_ > 0) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                if (!WIFEXITED(status)) return std::nullopt;
                return WEXITSTATUS(status);
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

  private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

// A loopback port that is bound but never listens: connecting is refused.
class ClosedPort {
  public:
    ClosedPort() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~ClosedPort() { close(fd_); }
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// "DD/MM/YYYY  hh:mm:ss" back to a moment of the PC's local time.
std::optional<std::time_t> ParseClockText(const std::string& text) {
    std::tm t{};
    if (std::sscanf(text.c_str(), "%2d/%2d/%4d  %2d:%2d:%2d", &t.tm_mday, &t.tm_mon, &t.tm_year,
                    &t.tm_hour, &t.tm_min, &t.tm_sec) != 6 ||
        text.size() != 20)
        return std::nullopt;
    t.tm_mon -= 1;
    t.tm_year -= 1900;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::string Device(int number, const std::string& name, const std::string& machine,
                   const std::string& ipPort) {
    return "[cihaz" + std::to_string(number) + "]\r\nadi=" + name +
           "\r\nbaglantitipi=Ethernet\r\nmakineno=" + machine +
           "\r\nportno=Com1\r\nbaudrate=115200" + "\r\nipadres=127.0.0.1\r\nipport=" + ipPort +
           "\r\nparola=\r\ngcdurum=Standart\r\n";
}

class ClockCliTest : public testing::Test {
  protected:
    TempDir home;
    ClosedPort closed;
    std::unique_ptr<Child> sim;
    int simPort = 0;
    std::string ini;

    void SetUp() override {
        const std::string simOut = home.File("sim.out");
        sim = std::make_unique<Child>(
            std::vector<std::string>{kSim, "--listen", "127.0.0.1:0", "--port-file",
                                     home.File("port"), "--clock-offset",
                                     std::to_string(-kTerminalBehind)},
            simOut, home.File("sim.err"));
        for (int i = 0; i < 500 && ReadAll(simOut).find("ready\n") == std::string::npos; ++i)
            std::this_thread::sleep_for(10ms);
        simPort = std::atoi(ReadAll(home.File("port")).c_str());
        ASSERT_GT(simPort, 0) << "terminal-sim did not start";
        ASSERT_GT(closed.port(), 0);
        // Short timeouts: device 4 names a machine the terminal does not answer to.
        ini = "[zamanasimi]\r\nistek=500\r\n" + Device(1, "Giris", "1", std::to_string(simPort)) +
              Device(2, "Kapali", "1", std::to_string(closed.port())) +
              Device(3, "Bozuk", "1", "abc") + Device(4, "Baska", "9", std::to_string(simPort));
        WriteAll(home.File("cihazlar.ini"), ini);
    }

    struct Result {
        std::optional<int> status;
        std::string out, err;
    };
    Result Cli(const std::string& action, const std::string& number) {
        Result r;
        {
            Child cli({kCli, "--home", home.path(), "clock", action, number}, home.File("cli.out"),
                      home.File("cli.err"));
            r.status = cli.Wait(20s);
        }
        r.out = ReadAll(home.File("cli.out"));
        r.err = ReadAll(home.File("cli.err"));
        return r;
    }
};

TEST_F(ClockCliTest, GetShowsTheTerminalsClockAndSetBringsItToThePcTime) {
    Result get = Cli("get", "1");
    ASSERT_EQ(get.status, 0) << get.err;
    ASSERT_EQ(get.out.size(), 21u) << get.out;
    auto shown = ParseClockText(get.out.substr(0, 20));
    ASSERT_TRUE(shown) << get.out;
    EXPECT_NEAR(static_cast<double>(*shown),
                static_cast<double>(std::time(nullptr) - kTerminalBehind), 3.0);

    for (const char* action : {"set", "get"}) {
        SCOPED_TRACE(action);
        const Result r = Cli(action, "1");
        ASSERT_EQ(r.status, 0) << r.err;
        shown = ParseClockText(r.out.substr(0, 20));
        ASSERT_TRUE(shown) << r.out;
        EXPECT_NEAR(static_cast<double>(*shown), static_cast<double>(std::time(nullptr)), 3.0);
    }
    EXPECT_EQ(ReadAll(home.File("cihazlar.ini")), ini);  // a clock command writes no setting
}

TEST_F(ClockCliTest, FailuresGiveTheStatusTextAndTheirExitStatus) {
    struct Case {
        const char* action;
        const char* number;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"get", "2", 1, kConnectFailedText},
        {"set", "2", 1, kConnectFailedText},
        {"get", "3", 2, "'abc' is not a valid integer value"},
        {"get", "4", 1, "Tarih/Saat okundu: cihaz saati okunamadı"},
        {"get", "5", 2, "no device 5"},
        {"get", "x", 2, "N = x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.action) + " " + c.number);
        const Result r = Cli(c.action, c.number);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadAll(home.File("cihazlar.ini")), ini);
}

}  // namespace
