// aktarim: creates the four windows in their order and runs the event loop.
// The only input besides the windows is an optional --home DIR that replaces
// the program folder, and --trace FILE, where support has the links write
// every frame.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/DeviceConfig.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "core/Version.h"
#include "forms/AppState.h"
#include "forms/ApplicationWindows.h"
#include "forms/FormStyle.h"
#include "forms/Language.h"
#include "terminal/WireTrace.h"

namespace {

constexpr const char* kUsage = "Kullanım: aktarim [--home KLASÖR] [--trace DOSYA] [--version]\n";

struct Arguments {
    std::string programFolder;
    std::optional<std::string> tracePath;
};

// The program folder (--home DIR, or the folder of the executable) and the
// trace file. Nothing else is accepted (Qt has already taken its own options
// out).
std::optional<Arguments> ReadArguments(const QStringList& arguments) {
    std::optional<QString> home;
    Arguments result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--home") && i + 1 < arguments.size() && !home) {
            home = arguments[++i];
        } else if (arguments[i] == QLatin1String("--trace") && i + 1 < arguments.size() &&
                   !result.tracePath) {
            result.tracePath = arguments[++i].toStdString();
        } else {
            std::fputs(kUsage, stderr);
            return std::nullopt;
        }
    }
    if (!home) {
        result.programFolder = QCoreApplication::applicationDirPath().toStdString();
        return result;
    }
    const QFileInfo folder(*home);
    if (!folder.isDir()) {
        std::fprintf(stderr, "aktarim: '%s' bir klasör değil\n", home->toLocal8Bit().constData());
        return std::nullopt;
    }
    result.programFolder = QDir::cleanPath(folder.absoluteFilePath()).toStdString();
    return result;
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

    const std::optional<Arguments> arguments = ReadArguments(QCoreApplication::arguments());
    if (!arguments) return 2;
    std::shared_ptr<aktarim::WireTrace> trace;
    if (arguments->tracePath) {
        try {
            trace = std::make_shared<aktarim::WireTrace>(*arguments->tracePath);
        } catch (const aktarim::AppError& e) {
            std::fprintf(stderr, "aktarim: %s: %s\n", arguments->tracePath->c_str(), e.what());
            return 2;
        }
    }
    // Qt's own dialogs and menus speak Turkish too, in the form font.
    aktarim::InstallTurkishTranslations(QCoreApplication::applicationDirPath());
    QApplication::setFont(aktarim::DefaultFormFont());

    aktarim::AppState state;
    state.programFolder = arguments->programFolder;
    state.configFile =
        std::make_unique<aktarim::IniFile>(state.ConfigFilePath(), *state.fileSystem);
    aktarim::UseWireLinks(state, trace);

    aktarim::ApplicationWindows windows(state);
    windows.mainform.show();
    return QApplication::exec();
}
