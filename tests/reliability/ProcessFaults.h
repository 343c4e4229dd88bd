#pragma once
// terminal-sim and aktarim-cli as processes on loopback, for the tests that
// cut connections and kill the program in the middle of a transfer.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Process.h"
#include "TempDir.h"
#include "core/Transfer.h"

namespace aktarim::test {

using namespace std::chrono_literals;

inline const std::string kSimProgram = std::string(AKTARIM_BINARY_DIR) + "/src/sim/terminal-sim";
inline const std::string kCliProgram = std::string(AKTARIM_BINARY_DIR) + "/src/cli/aktarim-cli";

struct RunningSim {
    std::unique_ptr<Process> process;
    std::string port;

    // Stops it the way an operator would, so its state file is complete.
    void Stop() {
        if (!process) return;
        process->Signal(SIGTERM);
        EXPECT_TRUE(process->Wait(10s).has_value());
        process.reset();
    }
};

// listen: "127.0.0.1:0" for any free port, or the port a terminal had before.
inline RunningSim StartSim(const TempDir& dir, const std::string& state,
                           std::vector<std::string> extra,
                           const std::string& listen = "127.0.0.1:0") {
    RunningSim sim;
    const std::string portFile = dir.File("sim.port");
    std::filesystem::remove(portFile);
    std::vector<std::string> args = {kSimProgram, "--listen",    listen,  "--state",
                                     state,       "--port-file", portFile};
    args.insert(args.end(), extra.begin(), extra.end());
    sim.process = std::make_unique<Process>(args);
    EXPECT_TRUE(sim.process->WaitForLine("ready", 60s)) << "terminal-sim did not start";
    sim.port = ReadAll(portFile);
    while (!sim.port.empty() && (sim.port.back() == '\n' || sim.port.back() == '\r'))
        sim.port.pop_back();
    return sim;
}

// A state file seeded once, to be copied for each run.
inline void SeedState(const TempDir& dir, const std::string& state, int records, uint64_t seed) {
    RunningSim sim = StartSim(dir, state,
                              {"--seed", std::to_string(seed), "--seed-users", "40",
                               "--seed-records", std::to_string(records)});
    sim.Stop();
}

inline nlohmann::json DumpRecords(const std::string& state) {
    Process dump({kSimProgram, "dump", "--state", state});
    const auto out = dump.ReadAll(60s);
    EXPECT_EQ(dump.Wait(10s), 0);
    return nlohmann::json::parse(out.value_or("{}"))["records"];
}

// The lines a transfer must write for the records of a dump, in code page 1254.
inline std::string ExpectedLines(const nlohmann::json& records,
                                 const std::string& mode = "Standart") {
    std::string lines;
    for (const auto& r : records)
        lines += RecordLine(r["user"], StateToWrite(mode, r["state"]), r["year"], r["month"],
                            r["day"], r["hour"], r["minute"]) +
                 "\r\n";
    return lines;
}

// cihazlar.ini with one networked device.
inline void WriteConfig(const TempDir& home, const std::string& port) {
    WriteAll(
        home.File("cihazlar.ini"),
        "[ayarlar]\r\ndosya=" + home.File("qb400.txt") +
            "\r\nsilkontrol=1\r\n[cihaz1]\r\nadi=Kapi\r\nbaglantitipi=Ethernet\r\nmakineno=1\r\n"
            "portno=Com1\r\nbaudrate=115200\r\nipadres=127.0.0.1\r\nipport=" +
            port + "\r\nparola=\r\ngcdurum=Standart\r\n");
}

// The one backup the transfer of device 1 writes today (empty when none).
inline std::string BackupOfDevice1(const TempDir& home) {
    std::string content;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(home.File("yedekler"), ec))
        if (entry.path().extension() == ".001") content += ReadAll(entry.path().string());
    return content;
}

// Every line 31 characters and CR LF, longer only by the digits of a state
// of 10 or more; nothing after the last line end.
inline void ExpectWholeRecordLines(const std::string& content, const std::string& what) {
    size_t pos = 0;
    while (pos < content.size()) {
        const size_t end = content.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << what << ": a torn last line";
        const std::string line = content.substr(pos, end - pos);
        const size_t extra = line.size() - std::min<size_t>(line.size(), 31);
        EXPECT_GE(line.size(), 31u) << what << ": " << line;
        if (line.size() > 31) {
            // "000,00123,15 ..." : the state field is wider by exactly the extra digits.
            EXPECT_EQ(line.find(' '), 11 + extra) << what << ": " << line;
        }
        pos = end + 2;
    }
}

}  // namespace aktarim::test
