// The dropped connection of ProcessFaultsTest on a log of 100,000 records,
// cut at a handful of places from the first chunk to the last record.
#include <gtest/gtest.h>

#include <array>
#include <iostream>

#include "ProcessFaults.h"

using namespace aktarim;
using namespace aktarim::test;

namespace {

TEST(DroppedConnectionLargeLog, EveryCutWritesNothingAndKeepsTheLog) {
    constexpr int kRecords = 100000;
    constexpr const char* kOldLine = "000,00001,1 2024/01/01 08:00:00\r\n";
    TempDir dir;
    const std::string seeded = dir.File("seeded.db");
    SeedState(dir, seeded, kRecords, 77);
    const nlohmann::json records = DumpRecords(seeded);
    ASSERT_EQ(records.size(), static_cast<size_t>(kRecords));
    const std::array<int, 6> cuts = {0, 1, 263, 50000, 99999, 100000};
    for (const int n : cuts) {
        SCOPED_TRACE("dropped after " + std::to_string(n) + " records");
        TempDir home;
        const std::string state = home.File("sim.db");
        std::filesystem::copy_file(seeded, state);
        RunningSim sim = StartSim(home, state, {"--drop-after-records", std::to_string(n)});
        WriteConfig(home, sim.port);
        WriteAll(home.File("qb400.txt"), kOldLine);
        Process cli({kCliProgram, "--home", home.path(), "transfer", "--erase-log"});
        const auto out = cli.ReadAll(300s);
        EXPECT_EQ(cli.Wait(10s), 1) << out.value_or("");
        sim.Stop();
        EXPECT_EQ(ReadAll(home.File("qb400.txt")), kOldLine);
        EXPECT_EQ(BackupOfDevice1(home), "");
        EXPECT_EQ(DumpRecords(state), records);
    }
}

// The undisturbed transfer of the same log, for comparison: all of it, once.
TEST(DroppedConnectionLargeLog, TheWholeLogArrivesWhenNothingIsCut) {
    constexpr int kRecords = 100000;
    TempDir home;
    const std::string state = home.File("sim.db");
    SeedState(home, state, kRecords, 77);
    const nlohmann::json records = DumpRecords(state);
    RunningSim sim = StartSim(home, state, {});
    WriteConfig(home, sim.port);
    Process cli({kCliProgram, "--home", home.path(), "transfer", "--erase-log"});
    const auto out = cli.ReadAll(300s);
    EXPECT_EQ(cli.Wait(10s), 0) << out.value_or("");
    sim.Stop();
    EXPECT_EQ(ReadAll(home.File("qb400.txt")), ExpectedLines(records));
    EXPECT_EQ(BackupOfDevice1(home), ExpectedLines(records));
    EXPECT_TRUE(DumpRecords(state).empty());
}

}  // namespace
