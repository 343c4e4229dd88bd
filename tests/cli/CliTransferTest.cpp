// aktarim-cli transfer against terminal-sim processes, over loopback TCP and
// a pseudo-terminal: the record file must hold, line for line, what the
// simulators held, and the simulators' logs go only once the lines are safe.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "Process.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "core/Text.h"
#include "core/Transfer.h"
#include "core/TransferLock.h"

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

using Sim = test::SimProcess;

Sim StartSim(const TempDir& dir, const std::string& name, std::vector<std::string> extra) {
    return test::StartSimProcess(dir, name, extra, true);
}

nlohmann::json Dump(const std::string& state) {
    Process dump({kSim, "dump", "--state", state});
    auto out = dump.ReadAll(30s);
    EXPECT_EQ(dump.Wait(10s), 0);
    return nlohmann::json::parse(out.value_or("{}"));
}

// The lines a transfer must write for the records of a dump.
std::string ExpectedLines(const nlohmann::json& dump, const std::string& mode) {
    std::string lines;
    for (const auto& r : dump["records"])
        lines += RecordLine(r["user"], StateToWrite(mode, r["state"]), r["year"], r["month"],
                            r["day"], r["hour"], r["minute"]) +
                 "\r\n";
    return lines;
}

std::string Device(int n, const std::string& name, const std::string& type,
                   const std::string& machine, const std::string& port, const std::string& ipPort,
                   const std::string& mode) {
    std::ostringstream s;
    s << "[cihaz" << n << "]\r\nadi=" << Utf8ToCp1254(name) << "\r\nbaglantitipi=" << type
      << "\r\nmakineno=" << machine << "\r\nportno=" << port
      << "\r\nbaudrate=115200\r\nipadres=127.0.0.1\r\nipport=" << ipPort
      << "\r\nparola=\r\ngcdurum=" << Utf8ToCp1254(mode) << "\r\n";
    return s.str();
}

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

std::string BackupName(int device) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return "yedekler/" + BackupFileName(local, device);
}

}  // namespace

TEST(CliTransfer, TcpAndSerialRecordsArriveLineForLineAndLeaveTheTerminals) {
    TempDir dir;
    Sim tcp = StartSim(
        dir, "tcp",
        {"--machine", "1", "--seed", "11", "--seed-users", "30", "--seed-records", "3000"});
    Sim serial = StartSim(dir, "serial",
                          {"--machine", "2", "--seed", "12", "--seed-users", "10", "--seed-records",
                           "400", "--serial-link", dir.File("ttySIM")});
    const auto tcpBefore = Dump(tcp.state);
    const auto serialBefore = Dump(serial.state);
    ASSERT_EQ(tcpBefore["records"].size(), 3000u);
    ASSERT_EQ(serialBefore["records"].size(), 400u);

    WriteAll(dir.File("cihazlar.ini"),
             "[ayarlar]\r\ndosya=" + dir.File("qb400.txt") + "\r\n" +
                 Device(1, "Kapı", "Ethernet", "1", "Com1", tcp.port, "Standart") +
                 Device(2, "Yemekhane", "Comm Port", "2", "Com2", "", "Her Zaman Çıkış") +
                 "[seriport]\r\ncom2=" + dir.File("ttySIM") + "\r\n");
    const CliRun run = RunCli({"--home", dir.path(), "transfer"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("1\tKapı\tBağlantı Kuruldu\t3000 kayıt"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("2\tYemekhane\tBağlantı Kuruldu\t400 kayıt"), std::string::npos)
        << run.output;

    const std::string tcpLines = ExpectedLines(tcpBefore, "Standart");
    const std::string serialLines = ExpectedLines(serialBefore, "Her Zaman Çıkış");
    EXPECT_EQ(ReadAll(dir.File("qb400.txt")), tcpLines + serialLines);
    EXPECT_EQ(ReadAll(dir.File(BackupName(1))), tcpLines);
    EXPECT_EQ(ReadAll(dir.File(BackupName(2))), serialLines);
    EXPECT_TRUE(Dump(tcp.state)["records"].empty());
    EXPECT_TRUE(Dump(serial.state)["records"].empty());
}

TEST(CliTransfer, ADroppedConnectionWritesNothingAndKeepsTheLog) {
    TempDir dir;
    Sim tcp = StartSim(dir, "tcp",
                       {"--seed", "5", "--seed-users", "5", "--seed-records", "500",
                        "--drop-after-records", "250"});
    WriteAll(dir.File("qb400.txt"), "000,00001,1 2024/01/01 08:00:00\r\n");
    WriteAll(dir.File("cihazlar.ini"),
             "[ayarlar]\r\ndosya=" + dir.File("qb400.txt") + "\r\n" +
                 Device(1, "Kopan", "Ethernet", "1", "Com1", tcp.port, "Standart"));
    const CliRun run = RunCli({"--home", dir.path(), "transfer", "--erase-log"});
    EXPECT_EQ(run.status, 1) << run.output;
    // The summary line says why.
    EXPECT_NE(run.output.find("1\tKopan\tBağlantı Kuruldu\t0 kayıt\tKayıtlar okunamadı"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(ReadAll(dir.File("qb400.txt")), "000,00001,1 2024/01/01 08:00:00\r\n");
    EXPECT_EQ(ReadAll(dir.File(BackupName(1))), "");
    EXPECT_EQ(Dump(tcp.state)["records"].size(), 500u);
    // The night's transfer leaves its trace in the program folder.
    const std::string log = Cp1254ToUtf8(ReadAll(dir.File("aktarim.log")));
    EXPECT_NE(log.find("\t1\tKopan\tkayıtlar alınamadı\t0 kayıt\tbırakıldı\tKayıtlar okunamadı"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST(CliTransfer, ConfigurationErrorsExitWithTwoBeforeAnyTerminal) {
    TempDir dir;
    Sim tcp = StartSim(dir, "tcp", {"--seed", "5", "--seed-users", "5", "--seed-records", "20"});
    const std::string device = Device(1, "Kapı", "Ethernet", "1", "Com1", tcp.port, "Standart");
    struct Case {
        const char* name;
        std::string ini;  // empty: no cihazlar.ini at all
        std::vector<std::string> command;
        int status;
    };
    const Case cases[] = {
        {"no cihazlar.ini, transfer", "", {"transfer"}, 2},
        {"no cihazlar.ini, test", "", {"test"}, 2},
        {"no device, transfer", "[ayarlar]\r\nsilkontrol=1\r\n", {"transfer"}, 2},
        {"no device, test", "[ayarlar]\r\n", {"test"}, 2},
        {"a cell that is no number, test",
         Device(1, "Bozuk", "Ethernet", "1", "Com1", "43x0", ""),
         {"test"},
         2},
        {"record file is a folder",
         "[ayarlar]\r\ndosya=" + dir.path() + "\r\n" + device,
         {"transfer"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir.File("cihazlar.ini"));
        if (!c.ini.empty()) WriteAll(dir.File("cihazlar.ini"), c.ini);
        std::vector<std::string> args = {"--home", dir.path()};
        args.insert(args.end(), c.command.begin(), c.command.end());
        EXPECT_EQ(RunCli(args).status, c.status);
        EXPECT_EQ(Dump(tcp.state)["records"].size(), 20u);
    }
}

TEST(CliTransfer, UsageAndConfigurationErrors) {
    TempDir dir;
    WriteAll(dir.File("cihazlar.ini"),
             Device(1, "Bozuk", "Ethernet", "1", "Com1", "43x0", "Standart"));
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--home", dir.path(), "transfer", "--device", "2"}, 2},  // no such device
        {{"--home", dir.path(), "transfer", "--erase-log", "--keep-log"}, 2},
        {{"--home", dir.path(), "transfer"}, 2},  // '43x0' is not an integer
        {{"--home", dir.File("yok"), "devices"}, 2},
    };
    for (const auto& [args, status] : cases) EXPECT_EQ(RunCli(args).status, status) << args.back();
    EXPECT_FALSE(std::filesystem::exists(dir.File("qb400.txt")));
}

TEST(CliDevices, JsonListsTheTableAsLoaded) {
    TempDir dir;
    WriteAll(dir.File("cihazlar.ini"),
             "[ayarlar]\r\nsilkontrol=0\r\n[cihaz3]\r\nadi=Uzun adl\xFD bir cihaz yirmiyi a\xFE"
             "ar\r\n"
             "baglantitipi=Ethernet\r\n");
    const std::string before = ReadAll(dir.File("cihazlar.ini"));
    const CliRun run = RunCli({"--home", dir.path(), "devices", "--json"});
    ASSERT_EQ(run.status, 0);
    const auto json = nlohmann::json::parse(run.output);
    EXPECT_EQ(json["recordFile"], "qb400.txt");
    EXPECT_EQ(json["deleteAfterTransfer"], false);
    ASSERT_EQ(json["devices"].size(), 1u);
    EXPECT_EQ(json["devices"][0]["number"], 1);
    EXPECT_EQ(json["devices"][0]["adi"], "Uzun adlı bir cihaz ");
    EXPECT_EQ(json["devices"][0]["gcdurum"], "");
    EXPECT_EQ(ReadAll(dir.File("cihazlar.ini")), before);  // never written
}

namespace {

// The command line with its error output, through the shell.
CliRun RunCliWithErrors(const std::string& args) {
    Process cli({"/bin/sh", "-c", "'" + kCli + "' " + args + " 2>&1"});
    auto out = cli.ReadAll(60s);
    const auto status = cli.Wait(10s);
    return {status.value_or(-1), out.value_or("")};
}

}  // namespace

TEST(CliTransfer, ABusyFolderOrRecordFileExitsWithThreeAndTouchesNothing) {
    TempDir dir;
    Sim tcp = StartSim(dir, "tcp", {"--seed", "3", "--seed-users", "3", "--seed-records", "20"});
    std::filesystem::create_directories(dir.File("home"));
    std::filesystem::create_directories(dir.File("data"));
    const std::string record = dir.File("data/qb400.txt");
    WriteAll(dir.File("home/cihazlar.ini"),
             "[ayarlar]\r\ndosya=" + record + "\r\n" +
                 Device(1, "Kapı", "Ethernet", "1", "Com1", tcp.port, "Standart"));
    const struct {
        const char* name;
        std::string heldFolder, heldRecord, named;
    } cases[] = {
        {"the same program folder", dir.File("home"), dir.File("home/baska.txt"), dir.File("home")},
        {"another program folder with the same record file", dir.File("other"), record, record},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::create_directories(c.heldFolder);
        {
            const TransferLock held(c.heldFolder, c.heldRecord, 0ms);
            const auto started = std::chrono::steady_clock::now();
            const CliRun run =
                RunCliWithErrors("--home '" + dir.File("home") + "' transfer --wait 1");
            EXPECT_GE(std::chrono::steady_clock::now() - started, 1s) << "it waited";
            EXPECT_EQ(run.status, 3) << run.output;
            EXPECT_NE(run.output.find("Başka bir aktarım sürüyor: " + c.named), std::string::npos)
                << run.output;
            EXPECT_FALSE(std::filesystem::exists(record));
            EXPECT_EQ(Dump(tcp.state)["records"].size(), 20u);
        }
    }
    const CliRun run = RunCli({"--home", dir.File("home"), "transfer", "--erase-log"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Dump(tcp.state)["records"].empty());
}

TEST(CliTransfer, PunchesDuringATransferWithEraseAreWrittenOnceOrStayOnTheTerminal) {
    TempDir dir;
    const std::string record = dir.File("qb400.txt");
    int64_t onTerminal = 0, added = 0;
    std::string file;
    {
        Sim tcp = StartSim(dir, "tcp",
                           {"--seed", "9", "--seed-users", "40", "--seed-records", "3000",
                            "--punch-every-ms", "3"});
        WriteAll(dir.File("cihazlar.ini"),
                 "[ayarlar]\r\ndosya=" + record + "\r\n" +
                     Device(1, "Kapı", "Ethernet", "1", "Com1", tcp.port, "Standart"));
        for (int run = 0; run < 3; ++run) {
            const CliRun done = RunCli({"--home", dir.path(), "transfer", "--erase-log"});
            EXPECT_EQ(done.status, 0) << done.output;
            EXPECT_NE(done.output.find("cihazdan silindi"), std::string::npos) << done.output;
        }
        tcp.process.reset();  // stopped: no punch after the dump
        const auto dump = Dump(tcp.state);
        onTerminal = static_cast<int64_t>(dump["records"].size());
        added = dump["punchesAdded"].get<int64_t>();
        file = ReadAll(record);
    }
    EXPECT_GT(added, 0) << "punches came during the transfers";
    EXPECT_EQ(file.size() % 33, 0u) << "whole lines only";
    EXPECT_EQ(file.find('\0'), std::string::npos);
    const int64_t lines = static_cast<int64_t>(file.size() / 33);
    EXPECT_EQ(lines + onTerminal, 3000 + added)
        << "each punch once, in the file or on the terminal";
    EXPECT_EQ(ReadAll(dir.File(BackupName(1))), file);
}

TEST(CliTransfer, TwoTransfersAtOnceOnOneRecordFileWriteEachRecordOnce) {
    TempDir dir;
    const std::string record = dir.File("qb400.txt");
    Sim good = StartSim(
        dir, "good",
        {"--machine", "1", "--seed", "21", "--seed-users", "20", "--seed-records", "2000"});
    Sim failing = StartSim(dir, "failing",
                           {"--machine", "2", "--seed", "22", "--seed-users", "20",
                            "--seed-records", "2000", "--drop-after-records", "1000"});
    const auto goodBefore = Dump(good.state);
    const auto failingBefore = Dump(failing.state);
    for (const char* home : {"a", "b"}) {
        std::filesystem::create_directories(dir.File(home));
        WriteAll(dir.File(std::string(home) + "/cihazlar.ini"),
                 "[ayarlar]\r\ndosya=" + record + "\r\n" +
                     Device(1, "Kapı", "Ethernet", "1", "Com1", good.port, "Standart") +
                     Device(2, "Depo", "Ethernet", "2", "Com1", failing.port, "Standart"));
    }
    std::vector<std::unique_ptr<Process>> runs;
    for (const char* home : {"a", "b"})
        runs.push_back(std::make_unique<Process>(std::vector<std::string>{
            kCli, "--home", dir.File(home), "transfer", "--erase-log", "--wait", "60"}));
    for (auto& run : runs) {
        run->ReadAll(90s);
        EXPECT_EQ(run->Wait(10s), 1) << "the failing device fails its transfer";
    }
    EXPECT_EQ(ReadAll(record), ExpectedLines(goodBefore, "Standart")) << "once, never twice";
    EXPECT_TRUE(Dump(good.state)["records"].empty());
    EXPECT_EQ(Dump(failing.state)["records"], failingBefore["records"])
        << "all still on the terminal";
}

TEST(CliTransfer, OnlyNewRecordsFromTheOptionOrTheFlagWritesAKeptLogOnce) {
    for (const bool fromOption : {true, false}) {
        SCOPED_TRACE(fromOption ? "sadeceyeni=1" : "--new-only");
        TempDir dir;
        Sim tcp =
            StartSim(dir, "tcp", {"--seed", "31", "--seed-users", "5", "--seed-records", "50"});
        const auto before = Dump(tcp.state);
        WriteAll(dir.File("cihazlar.ini"),
                 "[ayarlar]\r\ndosya=" + dir.File("qb400.txt") + "\r\nsilkontrol=1\r\n" +
                     (fromOption ? "sadeceyeni=1\r\n" : "") +
                     Device(1, "Kapı", "Ethernet", "1", "Com1", tcp.port, "Standart"));
        std::vector<std::string> args = {"--home", dir.path(), "transfer"};
        if (!fromOption) args.push_back("--new-only");
        for (const char* written : {"\t50 kayıt", "\t0 kayıt"}) {
            const CliRun run = RunCli(args);
            EXPECT_EQ(run.status, 0) << run.output;
            EXPECT_NE(run.output.find(written), std::string::npos) << run.output;
            EXPECT_EQ(run.output.find("cihazdan silindi"), std::string::npos) << run.output;
        }
        EXPECT_EQ(ReadAll(dir.File("qb400.txt")), ExpectedLines(before, "Standart"));
        EXPECT_EQ(Dump(tcp.state)["records"], before["records"]) << "never erased";
    }
}
