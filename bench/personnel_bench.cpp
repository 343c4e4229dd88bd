// The personnel window's long commands on an in-memory terminal and a store
// on disk: templates "Al" and "Gönder", "Sil" on both sides, and the load.
// Each runs at 3,000 and 6,000 users, so that the cost of doubling shows.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "LabelledMain.h"
#include "core/GridModel.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelStore.h"
#include "terminal/ConnectionRules.h"
#include "terminal/MemoryLink.h"

namespace {

using namespace aktarim;
using Clock = std::chrono::steady_clock;

constexpr size_t kTemplateLength = 1500;

class NullView : public PersonnelView {
  public:
    void ShowProgress(const std::string&) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}
    void RepaintTerminalGrid() override {}
    void RepaintStoreGrid() override {}
    void RepaintProgress() override {}
    void ScrollTerminalTo(int) override {}
    void ScrollStoreTo(int) override {}
    void ShowMessage(const std::string&) override {}
    void CloseWindow() override {}
};

std::string TemplateText(std::mt19937& random) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text(kTemplateLength, 'A');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
}

// Users 1..count, each with templates on fingers 0 and 1.
TerminalState Terminal(int count, bool withTemplates = true) {
    std::mt19937 random(1);
    TerminalState state;
    state.machineNumber = 1;
    for (int32_t u = 1; u <= count; ++u) {
        state.users[u] = {u, "Personel " + std::to_string(u), "1234", u % 4, true, ""};
        if (!withTemplates) continue;
        state.templates[{u, 0}] = TemplateText(random);
        state.templates[{u, 1}] = TemplateText(random);
    }
    return state;
}

// A folder of its own under the temporary folder, removed afterwards.
class Home {
  public:
    Home() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "aktarim-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~Home() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

    // A store of persons 1..count with the four fields and two templates each.
    void WriteStore(int count) const {
        std::mt19937 random(2);
        std::filesystem::create_directories(path_ + "/personel");
        std::ofstream list(path_ + "/personel/personel.ini", std::ios::binary);
        std::ofstream details(path_ + "/personel/parmakizi.ini", std::ios::binary);
        for (int32_t p = 1; p <= count; ++p) {
            const std::string key = PersonnelKey(p);
            list << key << "\r\n";
            details << "[" << key << "]\r\nisim=Personel " << p
                    << "\r\nyetki=Normal\r\nkartno=" << p
                    << "\r\nsifre=1234\r\nparmakizi0=" << TemplateText(random)
                    << "\r\nparmakizi1=" << TemplateText(random) << "\r\n";
        }
    }

  private:
    std::string path_;
};

// The personnel window without its widgets.
struct Window {
    Window(TerminalState terminalState, const std::string& home)
        : terminal(std::move(terminalState)), link(terminal), store(home) {
        state.link.linkType = 1;
        state.link.linkIpAddress = "127.0.0.1";
        state.link.linkIpPort = 4370;
        state.link.linkMachineNumber = 1;
        commands.ConnectTerminal();
    }
    MemoryTerminal terminal;
    MemoryLink link;
    ConnectionState state;
    GridModel grid{TerminalGridColumns()};
    GridModel griddisk{StoreGridColumns()};
    PersonnelStore store;
    NullView view;
    PersonnelCommands commands{grid, griddisk, store, link, state, view};
};

template <typename Body>
void Timed(benchmark::State& state, Body&& body) {
    const auto start = Clock::now();
    body();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
}

void BM_TemplatesAlAll(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    const TerminalState terminal = Terminal(users);
    for (auto _ : state) {
        Home home;
        Window window(terminal, home.path());
        window.commands.LoadBothLists();
        window.commands.TickAllTerminalRows();
        Timed(state, [&] { window.commands.CopyTemplatesToStore(); });
        if (window.griddisk.RowCount() != users) state.SkipWithError("not every person was stored");
    }
    state.counters["users"] = users;
}
BENCHMARK(BM_TemplatesAlAll)
    ->Arg(3000)
    ->Arg(6000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_TemplatesGonderAllToAnEmptyTerminal(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    Home home;
    home.WriteStore(users);
    for (auto _ : state) {
        Window window(Terminal(0), home.path());
        window.commands.LoadBothLists();
        window.commands.TickAllStoreRows();
        Timed(state, [&] { window.commands.CopyTemplatesToTerminal(); });
        if (window.terminal.state().templates.size() != static_cast<size_t>(2 * users))
            state.SkipWithError("not every template was sent");
    }
    state.counters["users"] = users;
}
BENCHMARK(BM_TemplatesGonderAllToAnEmptyTerminal)
    ->Arg(3000)
    ->Arg(6000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_SilAllOnBothSides(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    const TerminalState terminal = Terminal(users);
    for (auto _ : state) {
        Home home;
        home.WriteStore(users);
        Window window(terminal, home.path());
        window.commands.LoadBothLists();
        window.commands.TickAllTerminalRows();
        window.commands.TickAllStoreRows();
        Timed(state, [&] { window.commands.DeleteTicked(); });
        if (!window.terminal.state().users.empty() || window.griddisk.RowCount() != 0)
            state.SkipWithError("not everyone was deleted");
    }
    state.counters["users"] = users;
}
BENCHMARK(BM_SilAllOnBothSides)
    ->Arg(3000)
    ->Arg(6000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_SilAllOnTheTerminal(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    const TerminalState terminal = Terminal(users);
    for (auto _ : state) {
        Home home;
        Window window(terminal, home.path());
        window.commands.LoadBothLists();
        window.commands.TickAllTerminalRows();
        Timed(state, [&] { window.commands.DeleteTicked(); });
        if (!window.terminal.state().users.empty()) state.SkipWithError("not everyone was deleted");
    }
    state.counters["users"] = users;
}
BENCHMARK(BM_SilAllOnTheTerminal)
    ->Arg(3000)
    ->Arg(6000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The load: 3,000 terminal users and a store of 10,000 persons.
void BM_LoadBothGrids(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    const int persons = static_cast<int>(state.range(1));
    const TerminalState terminal = Terminal(users, false);
    Home home;
    home.WriteStore(persons);
    state.counters["store_bytes"] =
        static_cast<double>(std::filesystem::file_size(home.path() + "/personel/parmakizi.ini"));
    for (auto _ : state) {
        Window window(terminal, home.path());
        Timed(state, [&] { window.commands.LoadBothLists(); });
        if (window.grid.RowCount() != users || window.griddisk.RowCount() != persons)
            state.SkipWithError("the grids are not full");
    }
}
BENCHMARK(BM_LoadBothGrids)
    ->Args({3000, 10000})
    ->Args({6000, 20000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

AKTARIM_BENCHMARK_MAIN()
