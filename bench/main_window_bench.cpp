// The main window's transfer, offscreen, on a home folder whose devices point
// at a running terminal-sim: prints the median seconds of N presses of
// "Bilgileri Aktar". Used by scripts/transfer-bench.sh.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "forms/AppState.h"
#include "forms/ApplicationWindows.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: main_window_bench HOME RUNS\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    aktarim::AppState state;
    state.programFolder = argv[1];
    state.configFile = std::make_unique<aktarim::IniFile>(state.ConfigFilePath(), *state.fileSystem);
    aktarim::UseWireLinks(state);
    aktarim::ApplicationWindows windows(state);
    aktarim::Tmainform& mainform = windows.mainform;
    mainform.show();
    QApplication::processEvents();

    std::vector<double> seconds;
    for (int run = 0; run < std::atoi(argv[2]); ++run) {
        const auto start = std::chrono::steady_clock::now();
        mainform.baglanbutonClick();
        QApplication::processEvents();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.3f\n", seconds.empty() ? 0.0 : seconds[(seconds.size() - 1) / 2]);
    return 0;
}
