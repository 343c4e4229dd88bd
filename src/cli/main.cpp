// aktarim-cli: the transfer engine without windows, for scheduled downloads
// and scripts.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/Commands.h"
#include "cli/PersonnelCli.h"
#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "core/Platform.h"
#include "core/Version.h"
#include "terminal/LinkOptions.h"
#include "terminal/WireLink.h"
#include "terminal/WireTrace.h"

int main(int argc, char** argv) {
    using namespace aktarim;
    PrepareConsole();
    Utf8Arguments arguments(argc, argv);
    CLI::App app{"Aktarım: parmak izi cihazlarından kayıt aktarımı", "aktarim-cli"};
    app.set_version_flag("--version", std::string("aktarim-cli ") + kVersion, "Sürümü yazar");
    app.require_subcommand(1);
    std::string home;
    app.add_option("--home", home, "Program klasörü yerine kullanılacak klasör")
        ->check(CLI::Validator(
            [](const std::string& path) {
                return IsFolder(path) ? std::string() : "Directory does not exist: " + path;
            },
            "DIR"));
    std::string tracePath;
    app.add_option("--trace", tracePath,
                   "Cihazlarla giden ve gelen her çerçeveyi bu dosyaya ekler");

    bool json = false;
    auto* devices = app.add_subcommand("devices", "Tanımlı cihazları listeler");
    devices->add_flag("--json", json, "JSON olarak yazar");

    std::vector<int> testNumbers;
    auto* test = app.add_subcommand("test", "Cihazlara bağlantıyı dener");
    test->add_option("N", testNumbers, "Cihaz numaraları (boşsa hepsi)");

    std::vector<int> transferNumbers;
    bool eraseLog = false;
    bool keepLog = false;
    int waitSeconds = 0;
    bool newOnly = false;
    auto* transfer = app.add_subcommand("transfer", "Kayıtları aktarır");
    transfer->add_option("--device", transferNumbers, "Cihaz numarası (birden çok verilebilir)");
    auto* erase = transfer->add_flag("--erase-log", eraseLog, "Aktardıktan sonra cihazdan sil");
    transfer->add_flag("--keep-log", keepLog, "Cihazdaki kayıtları bırak")->excludes(erase);
    transfer
        ->add_option("--wait", waitSeconds, "Süren başka bir aktarımı en çok bu kadar saniye bekle")
        ->check(CLI::Range(0, 86400));
    transfer->add_flag("--new-only", newOnly, "Yalnızca yeni kayıtları yaz, cihazdan silme")
        ->excludes(erase);

    int clockNumber = 0;
    auto* clock = app.add_subcommand("clock", "Cihaz saatini okur ya da PC saatine ayarlar");
    clock->require_subcommand(1);
    auto* clockGet = clock->add_subcommand("get", "Cihaz saatini okur");
    clockGet->add_option("N", clockNumber, "Cihaz numarası")->required();
    auto* clockSet = clock->add_subcommand("set", "Cihaz saatini PC saatine ayarlar");
    clockSet->add_option("N", clockNumber, "Cihaz numarası")->required();

    PersonnelRequest personnelRequest;
    auto* personnel = AddPersonnelCommands(app, personnelRequest);

    try {
        app.parse(arguments.Count(), arguments.Values());
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }

    std::shared_ptr<WireTrace> trace;
    if (!tracePath.empty()) {
        try {
            trace = std::make_shared<WireTrace>(tracePath);
        } catch (const AppError& e) {
            std::cerr << "aktarim-cli: " << tracePath << ": " << e.what() << "\n";
            return kExitUsage;
        }
    }

    CliContext context;
    context.home = home.empty() ? ExecutableFolder() : home;
    context.makeLink = [trace](const IniFile& ini) -> std::unique_ptr<TerminalLink> {
        LinkOptions options = LoadLinkOptions(ini);
        options.trace = trace;
        return std::make_unique<WireLink>(std::move(options));
    };
    const auto run = [&]() -> int {
        try {
            if (*devices) return DevicesCommand(context, json);
            if (*personnel) return PersonnelCommand(context, personnelRequest);
            if (*test) return TestCommand(context, testNumbers);
            if (*clock)
                return ClockCommand(context, *clockSet ? ClockAction::Set : ClockAction::Get,
                                    clockNumber);
            TransferRequest request;
            request.numbers = transferNumbers;
            if (eraseLog) request.eraseLog = true;
            if (keepLog) request.eraseLog = false;
            request.waitSeconds = waitSeconds;
            request.newOnly = newOnly;
            return TransferCommand(context, request);
        } catch (const std::exception& e) {
            std::cerr << "aktarim-cli: " << e.what() << "\n";
            return kExitUsage;
        }
    };
    const int status = run();
    // A trace that could not be written never failed the command; say so.
    if (trace && trace->failed())
        std::cerr << "aktarim-cli: " << tracePath << ": " << trace->failure() << "\n";
    return status;
}
