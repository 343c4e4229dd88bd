// aktarim-cli personnel against terminal-sim over loopback TCP: what the
// commands leave on the terminal (the simulator's dump) and in the store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "Process.h"
#include "TempDir.h"
#include "core/IniFile.h"
#include "core/Text.h"

using namespace aktarim;
using namespace std::chrono_literals;
using aktarim::test::Process;
using aktarim::test::ReadAll;
using aktarim::test::TempDir;
using aktarim::test::WriteAll;

namespace {

const std::string kBin = AKTARIM_BINARY_DIR;
const std::string kSim = kBin + "/src/sim/terminal-sim";
const std::string kCli = kBin + "/src/cli/aktarim-cli";

struct CliRun {
    int status;
    std::string output;
};

CliRun RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    Process cli(args);
    auto out = cli.ReadAll(60s);
    const auto status = cli.Wait(10s);
    return {status.value_or(-1), out.value_or("")};
}

// A folder with one device on a fresh terminal-sim holding four users with
// two templates each, and an empty personnel folder.
class CliPersonnelTest : public testing::Test {
  protected:
    void SetUp() override { Start({}); }

    void Start(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {kSim,
                                         "--listen",
                                         "127.0.0.1:0",
                                         "--state",
                                         state,
                                         "--port-file",
                                         dir.File("port"),
                                         "--seed",
                                         "3",
                                         "--seed-users",
                                         "4",
                                         "--seed-records",
                                         "0",
                                         "--seed-templates",
                                         "2"};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<Process>(args);
        ASSERT_TRUE(sim->WaitForLine("ready", 20s)) << "terminal-sim did not start";
        std::string port = ReadAll(dir.File("port"));
        while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) port.pop_back();
        WriteAll(dir.File("cihazlar.ini"),
                 "[cihaz1]\r\nadi=Kapi\r\nbaglantitipi=Ethernet\r\nmakineno=1\r\nportno=Com1\r\n"
                 "baudrate=115200\r\nipadres=127.0.0.1\r\nipport=" +
                     port + "\r\n");
        std::filesystem::create_directories(dir.File("personel"));
    }

    nlohmann::json Dump() {
        Process dump({kSim, "dump", "--state", state});
        auto out = dump.ReadAll(30s);
        EXPECT_EQ(dump.Wait(10s), 0);
        return nlohmann::json::parse(out.value_or("{}"));
    }
    std::vector<int> Users(const nlohmann::json& dump) {
        std::vector<int> users;
        for (const auto& u : dump["users"]) users.push_back(u["number"]);
        return users;
    }
    // The templates of a user in finger order.
    std::vector<std::string> Templates(const nlohmann::json& dump, int user) {
        std::map<int, std::string> byFinger;
        for (const auto& t : dump["templates"])
            if (t["user"] == user) byFinger[t["finger"]] = t["text"];
        std::vector<std::string> texts;
        for (const auto& [finger, text] : byFinger) texts.push_back(text);
        return texts;
    }
    std::string List() { return ReadAll(dir.File("personel/personel.ini")); }
    std::string Stored(const std::string& key, const std::string& name) {
        return IniFile(dir.File("personel/parmakizi.ini")).ReadString(key, name, "<missing>");
    }
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--home", dir.path(), "personnel"});
        return RunCli(args);
    }

    TempDir dir;
    std::string state = dir.File("sim.db");
    std::unique_ptr<Process> sim;
};

std::string Key(int user) {
    std::string key = std::to_string(user);
    return std::string(5 - key.size(), '0') + key;
}

TEST_F(CliPersonnelTest, PullTakesTheGivenUsersAndTheirTemplatesAndListShowsBothSides) {
    const auto before = Dump();
    const std::vector<int> users = Users(before);
    ASSERT_EQ(users.size(), 4u);
    const int a = users[0], b = users[2];

    const CliRun pull = Cli({"pull", "1", std::to_string(a), std::to_string(b), "--templates"});
    ASSERT_EQ(pull.status, 0) << pull.output;
    EXPECT_EQ(List(), Key(a) + "\r\n" + Key(b) + "\r\n");
    for (const int u : {a, b}) {
        const auto& user = before["users"][u == a ? 0 : 2];
        EXPECT_EQ(Stored(Key(u), "isim"), user["name"].get<std::string>());
        const auto templates = Templates(before, u);
        ASSERT_EQ(templates.size(), 2u);
        EXPECT_EQ(Stored(Key(u), "parmakizi0"), templates[0]);
        EXPECT_EQ(Stored(Key(u), "parmakizi1"), templates[1]);
        EXPECT_EQ(Stored(Key(u), "parmakizi2"), "<missing>");
    }

    const CliRun list = Cli({"list", "1", "--json"});
    ASSERT_EQ(list.status, 0) << list.output;
    const auto json = nlohmann::json::parse(list.output);
    ASSERT_EQ(json["terminal"].size(), 4u);
    EXPECT_EQ(json["terminal"][1]["perNo"], Key(users[1]));
    ASSERT_EQ(json["store"].size(), 2u);
    EXPECT_EQ(json["store"][0]["perNo"], Key(a));
    EXPECT_EQ(json["store"][1]["parmakizi"], 1);
    EXPECT_EQ(Dump(), before);  // pulling changes nothing on the terminal

    // Without users, all of them; the information only.
    ASSERT_EQ(Cli({"pull", "1"}).status, 0);
    EXPECT_EQ(List(),
              Key(a) + "\r\n" + Key(b) + "\r\n" + Key(users[1]) + "\r\n" + Key(users[3]) + "\r\n");
    EXPECT_EQ(Stored(Key(users[1]), "parmakizi0"), "<missing>");
}

TEST_F(CliPersonnelTest, PushWritesTheStoredPersonAndTheirTemplatesToTheTerminal) {
    const std::string tpl(40, 'Q');
    WriteAll(dir.File("personel/personel.ini"), "00077\r\n00078\r\n");
    WriteAll(dir.File("personel/parmakizi.ini"),
             "[00077]\r\nisim=Ay\xFE"
             "e Y\xFDlmaz\r\nyetki=Yetkili\r\nkartno=\r\nsifre=1234567\r\n"
             "parmakizi0=" +
                 tpl + "\r\n[00078]\r\nisim=Can\r\n");
    const std::string details = ReadAll(dir.File("personel/parmakizi.ini"));
    const CliRun push = Cli({"push", "1", "77", "--templates"});
    ASSERT_EQ(push.status, 0) << push.output;
    const auto after = Dump();
    const auto users = Users(after);
    ASSERT_NE(std::find(users.begin(), users.end(), 77), users.end());
    EXPECT_EQ(std::find(users.begin(), users.end(), 78), users.end());
    for (const auto& u : after["users"]) {
        if (u["number"] != 77) continue;
        EXPECT_EQ(u["name"], "Ayşe Yıl");  // the first 8 characters
        EXPECT_EQ(u["password"], "12345");
        EXPECT_EQ(u["privilege"], 2);
    }
    EXPECT_EQ(Templates(after, 77), std::vector<std::string>{tpl});
    EXPECT_EQ(ReadAll(dir.File("personel/parmakizi.ini")), details);  // nothing written
}

TEST_F(CliPersonnelTest, DeleteActsOnTheChosenSides) {
    const std::vector<int> users = Users(Dump());
    ASSERT_EQ(Cli({"pull", "1"}).status, 0);
    const std::string all = List();
    const int t = users[0], s = users[1], both = users[2];

    ASSERT_EQ(Cli({"delete", "1", std::to_string(t), "--terminal"}).status, 0);
    EXPECT_EQ(Users(Dump()), (std::vector<int>{users[1], users[2], users[3]}));
    EXPECT_EQ(List(), all);
    EXPECT_NE(Stored(Key(t), "isim"), "<missing>");

    ASSERT_EQ(Cli({"delete", "1", std::to_string(s), "--store"}).status, 0);
    EXPECT_EQ(Users(Dump()), (std::vector<int>{users[1], users[2], users[3]}));
    EXPECT_EQ(List(), Key(t) + "\r\n" + Key(both) + "\r\n" + Key(users[3]) + "\r\n");
    EXPECT_EQ(Stored(Key(s), "isim"), "<missing>");

    ASSERT_EQ(Cli({"delete", "1", std::to_string(both)}).status, 0);
    EXPECT_EQ(Users(Dump()), (std::vector<int>{users[1], users[3]}));
    EXPECT_EQ(List(), Key(t) + "\r\n" + Key(users[3]) + "\r\n");
    EXPECT_TRUE(Templates(Dump(), both).empty());
}

TEST_F(CliPersonnelTest, UsageErrorsChangeNothing) {
    const auto before = Dump();
    const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
        {{"list", "2"}, "no device 2"},
        {{"pull", "1", "99999"}, "a user the terminal does not have"},
        {{"push", "1", "12"}, "a user the store does not have"},
        {{"delete", "1", "99999"}, "a user on neither side"},
        {{"delete", "1"}, "no user to delete"},
        {{"pull"}, "no device"},
    };
    for (const auto& [args, what] : cases) EXPECT_EQ(Cli(args).status, 2) << what;
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(List(), "");
}

TEST_F(CliPersonnelTest, FailuresOfTheStoreOrTheTerminalExitWithOne) {
    const std::vector<int> users = Users(Dump());
    // A read-only details file: "Al" is refused and the file kept.
    const std::string details = dir.File("personel/parmakizi.ini");
    WriteAll(details, "[00001]\r\nisim=Eski\r\n");
    ASSERT_EQ(::chmod(details.c_str(), 0444), 0);
    const CliRun refused = Cli({"pull", "1"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(ReadAll(details), "[00001]\r\nisim=Eski\r\n");
    EXPECT_EQ(List(), "");

    // A list that stops at a bad line: listing says so, deleting on the
    // terminal alone still works and leaves the list as it was.
    WriteAll(dir.File("personel/personel.ini"), "00001\r\nabc\r\n");
    EXPECT_EQ(Cli({"list", "1"}).status, 1);
    EXPECT_EQ(Cli({"delete", "1", std::to_string(users[0]), "--store"}).status, 1);
    EXPECT_EQ(Cli({"delete", "1", std::to_string(users[0]), "--terminal"}).status, 0);
    EXPECT_EQ(List(), "00001\r\nabc\r\n");
    EXPECT_EQ(Users(Dump()).size(), 3u);

    // A terminal that refuses connections.
    sim.reset();
    Start({"--refuse"});
    EXPECT_EQ(Cli({"list", "1"}).status, 1);
}

}  // namespace
