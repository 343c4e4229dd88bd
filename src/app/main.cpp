// aktarim: creates the four windows in their order and runs the event loop.
// The only input besides the windows is an optional --home DIR that replaces
// the program folder.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/DeviceConfig.h"
#include "core/IniFile.h"
#include "core/Version.h"
#include "forms/AppState.h"
#include "forms/ApplicationWindows.h"
#include "forms/FormStyle.h"

namespace {

constexpr const char* kUsage = "Kullanım: aktarim [--home KLASÖR] [--version]\n";

// The program folder: --home DIR, or the folder of the executable. Nothing
// else is accepted (Qt has already taken its own options out).
std::optional<std::string> ProgramFolder(const QStringList& arguments) {
    std::optional<QString> home;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--home") && i + 1 < arguments.size() && !home) {
            home = arguments[++i];
        } else {
            std::fputs(kUsage, stderr);
            return std::nullopt;
        }
    }
    if (!home) return QCoreApplication::applicationDirPath().toStdString();
    const QFileInfo folder(*home);
    if (!folder.isDir()) {
        std::fprintf(stderr, "aktarim: '%s' bir klasör değil\n", home->toLocal8Bit().constData());
        return std::nullopt;
    }
    return QDir::cleanPath(folder.absoluteFilePath()).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    // Before QApplication, which needs a display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("aktarim %s\n", aktarim::kVersion);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Aktarım"));
    QApplication::setWindowIcon(
        aktarim::PictureIcon(QStringLiteral("transfer.svg"), QSize(32, 32)));

    const std::optional<std::string> folder = ProgramFolder(QCoreApplication::arguments());
    if (!folder) return 2;

    aktarim::AppState state;
    state.programFolder = *folder;
    state.configFile =
        std::make_unique<aktarim::IniFile>(state.ConfigFilePath(), *state.fileSystem);
    aktarim::UseWireLinks(state);

    aktarim::ApplicationWindows windows(state);
    windows.mainform.show();
    return QApplication::exec();
}
