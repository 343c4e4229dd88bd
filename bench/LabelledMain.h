#pragma once
// The main() of every Google Benchmark program here: each figure on a line of
// its own as `label: value unit`, so that `make bench` reads the same for
// every benchmark and a figure can be found with grep.
//   BM_Save256Devices real time: 12.3 ms
//   LoadAttendanceLogTcp/100000/real_time items_per_second: 812345 items/s
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace aktarim::bench {

class LabelledReporter : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            if (run.error_occurred) {
                std::printf("%s failed: %s\n", name.c_str(), run.error_message.c_str());
                continue;
            }
            const char* unit = benchmark::GetTimeUnitString(run.time_unit);
            std::printf("%s real time: %.4g %s\n", name.c_str(), run.GetAdjustedRealTime(), unit);
            std::printf("%s cpu time: %.4g %s\n", name.c_str(), run.GetAdjustedCPUTime(), unit);
            for (const auto& [counter, value] : run.counters)
                std::printf("%s %s: %.6g %s\n", name.c_str(), counter.c_str(), value.value,
                            CounterUnit(counter, value).c_str());
        }
        std::fflush(stdout);
    }

  private:
    // The unit a counter is counted in, from its name: *_Bps and the bytes
    // rate are bytes a second, a count of bytes is bytes, any other count is
    // of the thing it names (users).
    static std::string CounterUnit(const std::string& name, const benchmark::Counter& counter) {
        const bool rate = (counter.flags & benchmark::Counter::kIsRate) != 0;
        const auto endsWith = [&](const std::string& end) {
            return name.size() >= end.size() &&
                   name.compare(name.size() - end.size(), end.size(), end) == 0;
        };
        if (name == "bytes_per_second" || endsWith("_Bps")) return "B/s";
        if (name == "items_per_second") return "items/s";
        const std::string thing = name.find("bytes") != std::string::npos ? "bytes" : name;
        return rate ? thing + "/s" : thing;
    }
};

inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    LabelledReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace aktarim::bench

#define AKTARIM_BENCHMARK_MAIN() \
    int main(int argc, char** argv) { return aktarim::bench::RunBenchmarks(argc, argv); }
