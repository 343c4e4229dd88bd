// The wire trace: one whole line per frame, from any number of threads, and
// a trace that cannot be written never fails a call of a link.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "WireFixtures.h"
#include "core/Errors.h"
#include "terminal/WireLink.h"
#include "terminal/WireTrace.h"

namespace aktarim::test {
namespace {

std::vector<std::string> TraceLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(WireTrace, LinesFromManyThreadsStayWhole) {
    TempDir dir;
    const std::string path = dir.File("t.log");
    {
        WireTrace trace(path);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&trace, t] {
                for (int i = 0; i < 500; ++i)
                    trace.Frame(t % 2 == 0 ? TraceDirection::Sent : TraceDirection::Received, t,
                                static_cast<uint8_t>(0xF0 + t), static_cast<uint16_t>(i),
                                static_cast<size_t>(i * 7), "/dev/ttyS" + std::to_string(t));
            });
        for (std::thread& thread : threads) thread.join();
        EXPECT_FALSE(trace.failed());
    }
    const std::regex line(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ([<>]) m=(\d) code=F(\d) len=(\d+) seq=(\d+) /dev/ttyS(\d)\r)");
    std::vector<int> next(4, 0);
    const std::vector<std::string> lines = TraceLines(path);
    ASSERT_EQ(lines.size(), 2000u);
    for (const std::string& text : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        const int t = std::stoi(m[2]);
        EXPECT_EQ(m[1], t % 2 == 0 ? ">" : "<");
        EXPECT_EQ(std::stoi(m[3]), t);
        EXPECT_EQ(std::stoi(m[6]), t);
        // Each thread's lines in its own order, none lost or doubled.
        EXPECT_EQ(std::stoi(m[5]), next[static_cast<size_t>(t)]++);
        EXPECT_EQ(std::stoi(m[4]), std::stoi(m[5]) * 7);
    }
    EXPECT_EQ(next, std::vector<int>(4, 500));
}

TEST(WireTrace, AFullDiskStopsTheTraceButNotTheLink) {
    ServedTerminal served;
    LinkOptions options = FastOptions();
    options.trace = std::make_shared<WireTrace>("/dev/full");
    WireLink link(options);
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
    ASSERT_TRUE(link.LoadAttendanceLog(kMachine));
    AttendanceValues values;
    EXPECT_TRUE(link.NextAttendanceRecord(kMachine, values));
    EXPECT_TRUE(options.trace->failed());
    EXPECT_FALSE(options.trace->failure().empty());
}

TEST(WireTrace, AFileThatCannotBeOpenedIsAnError) {
    TempDir dir;
    EXPECT_THROW(WireTrace{dir.File("no/such/folder/t.log")}, AppError);
}

}  // namespace
}  // namespace aktarim::test
