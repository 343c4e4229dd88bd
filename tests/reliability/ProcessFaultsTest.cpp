// The real programs over loopback: a simulator that drops the connection
// after every possible number of records, and aktarim-cli killed at random
// moments of a transfer. Nothing the simulator held may be lost, no line may
// be torn or written twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <iostream>
#include <random>
#include <thread>

#include "ProcessFaults.h"

using namespace aktarim;
using namespace aktarim::test;

namespace {

constexpr const char* kOldLine = "000,00001,1 2024/01/01 08:00:00\r\n";

struct CliRun {
    int status = -1;
    std::string output;
};

CliRun RunTransfer(const TempDir& home) {
    Process cli({kCliProgram, "--home", home.path(), "transfer", "--erase-log"});
    const auto out = cli.ReadAll(120s);
    return {cli.Wait(10s).value_or(-1), out.value_or("")};
}

TEST(DroppedConnection, EveryCutOfASmallLogWritesNothingAndKeepsTheLog) {
    constexpr int kRecords = 40;
    TempDir dir;
    const std::string seeded = dir.File("seeded.db");
    SeedState(dir, seeded, kRecords, 21);
    const nlohmann::json records = DumpRecords(seeded);
    ASSERT_EQ(records.size(), static_cast<size_t>(kRecords));
    for (int n = 0; n <= kRecords; ++n) {
        SCOPED_TRACE("dropped after " + std::to_string(n) + " records");
        TempDir home;
        const std::string state = home.File("sim.db");
        std::filesystem::copy_file(seeded, state);
        RunningSim sim = StartSim(home, state, {"--drop-after-records", std::to_string(n)});
        WriteConfig(home, sim.port);
        WriteAll(home.File("qb400.txt"), kOldLine);
        const CliRun run = RunTransfer(home);
        EXPECT_EQ(run.status, 1) << run.output;
        sim.Stop();
        EXPECT_EQ(ReadAll(home.File("qb400.txt")), kOldLine);
        EXPECT_EQ(BackupOfDevice1(home), "");
        EXPECT_EQ(DumpRecords(state), records);
    }
}

// Kills aktarim-cli 0-300 ms after its start, again and again; after each
// kill, every record is still on the simulator or in both files, whole.
TEST(KilledTransfer, EveryRecordStaysOnTheTerminalOrReachesBothFiles) {
    constexpr int kRecords = 3000;
    constexpr int kKills = 30;
    TempDir dir;
    const std::string seeded = dir.File("seeded.db");
    SeedState(dir, seeded, kRecords, 33);
    const nlohmann::json records = DumpRecords(seeded);
    ASSERT_EQ(records.size(), static_cast<size_t>(kRecords));
    const std::string block = ExpectedLines(records);

    // An undisturbed transfer first: it delivers the whole log, and its
    // length spreads the kills over the whole of a transfer.
    int window = 300;
    {
        TempDir home;
        const std::string state = home.File("sim.db");
        std::filesystem::copy_file(seeded, state);
        RunningSim sim = StartSim(home, state, {});
        WriteConfig(home, sim.port);
        const auto start = std::chrono::steady_clock::now();
        const CliRun run = RunTransfer(home);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        sim.Stop();
        ASSERT_EQ(run.status, 0) << run.output;
        ASSERT_EQ(ReadAll(home.File("qb400.txt")), block);
        window = std::clamp(static_cast<int>(took.count()) * 6 / 5, 20, 300);
        std::cout << "[ figures  ] an undisturbed transfer of " << kRecords << " records took "
                  << took.count() << " ms; kills within 0-" << window << " ms\n";
    }

    std::mt19937 random(20240305);
    std::uniform_int_distribution<int> delay(0, window);
    int untouched = 0, writtenKept = 0, delivered = 0, torn = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const int ms = delay(random);
        SCOPED_TRACE("kill " + std::to_string(kill) + " after " + std::to_string(ms) + " ms");
        TempDir home;
        const std::string state = home.File("sim.db");
        std::filesystem::copy_file(seeded, state);
        RunningSim sim = StartSim(home, state, {});
        WriteConfig(home, sim.port);
        WriteAll(home.File("qb400.txt"), kOldLine);
        {
            Process cli({kCliProgram, "--home", home.path(), "transfer", "--erase-log"});
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            cli.Signal(SIGKILL);
            cli.Wait(10s);
        }
        sim.Stop();

        // Right after the kill: what was added is the start of the log's
        // lines (the kernel may have cut the last write short), and a log is
        // gone only when all of its lines are in both files.
        const std::string record = ReadAll(home.File("qb400.txt"));
        ASSERT_EQ(record.substr(0, std::strlen(kOldLine)), kOldLine);
        const std::string added = record.substr(std::strlen(kOldLine));
        const std::string backup = BackupOfDevice1(home);
        EXPECT_EQ(block.substr(0, added.size()), added) << "record file: not the log's lines";
        EXPECT_EQ(block.substr(0, backup.size()), backup) << "backup: not the log's lines";
        const nlohmann::json left = DumpRecords(state);
        EXPECT_TRUE(left.empty() || left == records) << left.size() << " records left";
        const bool erased = left.empty();
        if (erased) {
            EXPECT_EQ(added, block) << "log erased, lines not in the record file";
            EXPECT_EQ(backup, block) << "log erased, lines not in the backup";
            ++delivered;
        } else if (added.empty() && backup.empty()) {
            ++untouched;
        } else {
            ++writtenKept;
        }
        if (added.size() % 33 != 0 || backup.size() % 33 != 0) ++torn;

        // The next transfer runs to its end: no torn line is left, and every
        // record is in both files exactly once: the journal tells it which
        // lines the killed transfer left, a torn block is cut back. The
        // terminal keeps its address, as a real one does.
        const std::string port = sim.port;
        sim = StartSim(home, state, {}, "127.0.0.1:" + port);
        WriteConfig(home, sim.port);
        const CliRun next = RunTransfer(home);
        sim.Stop();
        EXPECT_EQ(next.status, 0) << next.output;
        EXPECT_TRUE(DumpRecords(state).empty());
        const std::string finalRecord = ReadAll(home.File("qb400.txt"));
        const std::string finalBackup = BackupOfDevice1(home);
        ExpectWholeRecordLines(finalRecord, "qb400.txt");
        ExpectWholeRecordLines(finalBackup, "backup");
        for (const auto& [content, before] :
             {std::pair{finalRecord.substr(std::strlen(kOldLine)), added},
              std::pair{finalBackup, backup}}) {
            // Sizes first: the whole text of a doubled file is too long to read.
            EXPECT_EQ(content.size(), block.size())
                << before.size() << " bytes left by the killed transfer";
            EXPECT_TRUE(content == block) << "not the log's lines, once";
        }
    }
    std::cout << "[ figures  ] " << kKills << " kills: " << untouched << " before any line, "
              << writtenKept << " with lines written and the log kept (" << torn
              << " with a torn last line), " << delivered << " after the log was erased\n";
}

}  // namespace
