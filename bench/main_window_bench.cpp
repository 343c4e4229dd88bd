// The main window's transfer, offscreen, on a home folder whose devices point
// at a running terminal-sim. Used by scripts/transfer-bench.sh.
//   main_window_bench HOME RUNS     median seconds of RUNS presses of "Bilgileri Aktar"
//   main_window_bench --stall HOME  the longest time the window's event loop
//                                   was blocked during one transfer, in ms
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "forms/AppState.h"
#include "forms/ApplicationWindows.h"

namespace {

// The longest gap between two ticks of a 2 ms timer while the transfer runs,
// less the interval itself: how long the window could not react.
double LongestStallMs(aktarim::Tmainform& mainform) {
    constexpr int kTickMs = 2;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    ticker.start(kTickMs);
    mainform.baglanbutonClick();
    last = clock.nsecsElapsed();  // the press itself is the user's own wait
    mainform.WaitForTransfer();
    ticker.stop();
    return std::max(0.0, static_cast<double>(longest) / 1e6 - kTickMs);
}

}  // namespace

int main(int argc, char** argv) {
    const bool stall = argc == 3 && std::strcmp(argv[1], "--stall") == 0;
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: main_window_bench HOME RUNS | main_window_bench --stall HOME\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    aktarim::AppState state;
    state.programFolder = argv[stall ? 2 : 1];
    state.configFile =
        std::make_unique<aktarim::IniFile>(state.ConfigFilePath(), *state.fileSystem);
    aktarim::UseWireLinks(state);
    aktarim::ApplicationWindows windows(state);
    aktarim::Tmainform& mainform = windows.mainform;
    mainform.show();
    QApplication::processEvents();

    if (stall) {
        std::printf("%.1f\n", LongestStallMs(mainform));
        return 0;
    }
    std::vector<double> seconds;
    for (int run = 0; run < std::atoi(argv[2]); ++run) {
        const auto start = std::chrono::steady_clock::now();
        mainform.baglanbutonClick();
        mainform.WaitForTransfer();
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.3f\n", seconds.empty() ? 0.0 : seconds[(seconds.size() - 1) / 2]);
    return 0;
}
