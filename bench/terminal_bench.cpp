// The wire link against an in-process terminal: a 100,000-record attendance
// log over loopback TCP, and bulk payload throughput on a pseudo-terminal
// throttled to 115200 baud.
#include <benchmark/benchmark.h>

#include <string>
#include <thread>

#include "LabelledMain.h"
#include "terminal/MemoryTerminal.h"
#include "terminal/TerminalServer.h"
#include "terminal/WireLink.h"

namespace aktarim {
namespace {

constexpr int32_t kMachine = 1;

class Served {
  public:
    Served(TerminalState state, ServerFaults faults, bool serial)
        : terminal_(std::move(state)), server_(terminal_, faults) {
        port = server_.ListenTcp("127.0.0.1", 0);
        if (serial) pty = server_.OpenPseudoTerminal();
        thread_ = std::thread([this] { server_.Run(); });
    }
    ~Served() {
        server_.Stop();
        thread_.join();
    }

    uint16_t port = 0;
    std::string pty;

  private:
    MemoryTerminal terminal_;
    TerminalServer server_;
    std::thread thread_;
};

void LoadAttendanceLogTcp(benchmark::State& state) {
    const auto records = static_cast<int>(state.range(0));
    TerminalState terminal;
    terminal.machineNumber = kMachine;
    for (int i = 0; i < records; ++i)
        terminal.log.push_back(
            {10000 + i % 5000, 1, i % 6, 2024, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0});
    Served served(std::move(terminal), {}, false);
    WireLink link;
    if (!link.ConnectNetwork("127.0.0.1", served.port)) return state.SkipWithError("no connection");

    int64_t delivered = 0;
    for (auto _ : state) {
        if (!link.LoadAttendanceLog(kMachine)) return state.SkipWithError("load failed");
        AttendanceValues values;
        while (link.NextAttendanceRecord(kMachine, values)) ++delivered;
    }
    if (delivered != records * state.iterations()) state.SkipWithError("records missing");
    state.SetItemsProcessed(delivered);
}
BENCHMARK(LoadAttendanceLogTcp)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void TemplatesOverThrottledSerial(benchmark::State& state) {
    constexpr int kBaud = 115200;
    const auto payloadBytes = static_cast<int>(state.range(0));
    constexpr int kTemplateSize = 1000;
    TerminalState terminal;
    terminal.machineNumber = kMachine;
    for (int i = 0; i < payloadBytes / kTemplateSize; ++i) {
        const int32_t user = 1 + i / 10;
        terminal.users[user] = {user, "Kişi " + std::to_string(user), "", 0, true, ""};
        terminal.templates[{user, i % 10}] =
            std::string(kTemplateSize, static_cast<char>('A' + i % 26));
    }
    ServerFaults faults;
    faults.baud = kBaud;
    Served served(std::move(terminal), faults, true);
    LinkOptions options;
    options.serialDevices[0] = served.pty;
    WireLink link(options);
    if (!link.ConnectSerial(1, kMachine, kBaud)) return state.SkipWithError("no connection");

    for (auto _ : state) {
        if (!link.LoadAllTemplates(kMachine)) return state.SkipWithError("load failed");
    }
    const double lineBytesPerSecond = kBaud / 10.0;
    state.SetBytesProcessed(static_cast<int64_t>(payloadBytes) * state.iterations());
    state.counters["payload_Bps"] = benchmark::Counter(
        static_cast<double>(payloadBytes) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["line_Bps"] = lineBytesPerSecond;
}
BENCHMARK(TemplatesOverThrottledSerial)
    ->Arg(24000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace aktarim

AKTARIM_BENCHMARK_MAIN()
