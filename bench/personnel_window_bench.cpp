// Opening the personnel window, offscreen, on a terminal of 3,000 users served
// over loopback TCP and a personnel store of 10,000 persons: prints the
// seconds from showing the window until both grids are filled, as
// `label: value s`.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/Text.h"
#include "forms/AppState.h"
#include "forms/GridView.h"
#include "forms/MessageBox.h"
#include "forms/Tpersonelform.h"
#include "personnel/PersonnelStore.h"
#include "terminal/MemoryTerminal.h"
#include "terminal/TerminalServer.h"
#include "terminal/WireLink.h"

namespace {

constexpr int kTerminalUsers = 3000;
constexpr int kStorePersons = 10000;
constexpr int32_t kMachine = 1;

aktarim::TerminalState Terminal() {
    aktarim::TerminalState state;
    state.machineNumber = kMachine;
    for (int32_t n = 1; n <= kTerminalUsers; ++n)
        state.users[n] = {
            n, "Personel " + std::to_string(n), std::to_string(1000 + n % 9000), n % 4, true, ""};
    return state;
}

// The store in code page 1254 with CR LF lines; every other person has a
// template, as a store filled from terminals would.
void WriteStore(const std::filesystem::path& home) {
    const std::filesystem::path folder = home / aktarim::kPersonnelFolderName;
    std::filesystem::create_directories(folder);
    std::string list, details;
    const std::string templateText(500, 'T');
    for (int32_t n = 1; n <= kStorePersons; ++n) {
        const std::string key = aktarim::PersonnelKey(n);
        list += key + "\r\n";
        details += "[" + key + "]\r\nisim=Kişi " + std::to_string(n) +
                   "\r\nyetki=" + aktarim::PrivilegeName(n % 4) +
                   "\r\nkartno=" + std::to_string(440000 + n) +
                   "\r\nsifre=" + std::to_string(n % 10000) + "\r\n";
        if (n % 2 == 0) details += "parmakizi0=" + templateText + "\r\n";
    }
    std::ofstream(folder / aktarim::kPersonnelListFileName, std::ios::binary) << list;
    std::ofstream(folder / aktarim::kPersonnelDetailsFileName, std::ios::binary)
        << aktarim::Utf8ToCp1254(details);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    (void)argc;
    // Nothing modal may wait for a user; a box shown counts as a failure.
    aktarim::MessageBox::setTestMode(true);

    std::string pattern =
        (std::filesystem::temp_directory_path() / "personnel-window-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 2;
    const std::filesystem::path home = pattern;
    WriteStore(home);

    aktarim::MemoryTerminal terminal(Terminal());
    aktarim::TerminalServer server(terminal);
    const uint16_t port = server.ListenTcp("127.0.0.1", 0);
    std::thread serving([&server] { server.Run(); });

    aktarim::AppState state;
    state.programFolder = home.string();
    state.makeLink = [] { return std::make_unique<aktarim::WireLink>(); };
    state.connection.link = {1, "127.0.0.1", port, 0, 0, kMachine};

    int status = 0;
    {
        aktarim::Tpersonelform window(state);
        const aktarim::GridModel& grid = window.terminalGrid().grid();
        const aktarim::GridModel& griddisk = window.storeGrid().grid();
        const auto start = std::chrono::steady_clock::now();
        const auto limit = start + std::chrono::seconds(60);
        window.show();
        window.activateWindow();
        while ((grid.RowCount() < kTerminalUsers || griddisk.RowCount() < kStorePersons) &&
               std::chrono::steady_clock::now() < limit)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (grid.RowCount() != kTerminalUsers || griddisk.RowCount() != kStorePersons ||
            !aktarim::MessageBox::shown().empty()) {
            std::fprintf(stderr, "load incomplete: %d terminal rows, %d PC rows, %zu boxes\n",
                         grid.RowCount(), griddisk.RowCount(), aktarim::MessageBox::shown().size());
            for (const auto& box : aktarim::MessageBox::shown())
                std::fprintf(stderr, "  %s\n", box.text.toUtf8().constData());
            status = 1;
        }
        std::printf("personnel window filled, %d terminal users and %d stored persons: %.3f s\n",
                    kTerminalUsers, kStorePersons, seconds);
        window.cikisbutonClick();
    }
    server.Stop();
    serving.join();
    std::filesystem::remove_all(home);
    return status;
}
