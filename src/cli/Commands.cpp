#include "cli/Commands.h"

#include <cstdio>
#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>
#include <variant>

#include "core/DeviceConfig.h"
#include "core/DeviceConnect.h"
#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "core/Platform.h"
#include "core/TerminalLink.h"
#include "core/Transfer.h"
#include "core/TransferLock.h"
#include "settings/ClockSession.h"
#include "terminal/ConnectionRules.h"

namespace aktarim {
namespace {

std::string ConfigPath(const CliContext& context) {
    return JoinPath(context.home, kConfigFileName);
}

// Device numbers named on the command line, or all; nullopt after a usage
// error has been reported.
std::optional<std::vector<int>> SelectDevices(const Configuration& config,
                                              const std::vector<int>& numbers) {
    std::vector<int> chosen = numbers;
    if (chosen.empty())
        for (int k = 1; k <= config.devices.deviceCount(); ++k) chosen.push_back(k);
    for (int k : chosen) {
        if (k < 1 || k > config.devices.deviceCount()) {
            std::cerr << "aktarim-cli: no device " << k << " (" << config.devices.deviceCount()
                      << " configured)\n";
            return std::nullopt;
        }
    }
    return chosen;
}

// Draws one progress bar per device on a terminal; prints nothing otherwise.
class ConsoleProgress {
  public:
    explicit ConsoleProgress(const DeviceTable& devices)
        : devices_(devices), tty_(StandardOutputIsTerminal()) {}
    void Show(const TransferEvent& event) {
        if (!tty_) return;
        if (const auto* progress = std::get_if<RecordProgress>(&event))
            Draw(progress->device(), progress->percent());
        else if (const auto* started = std::get_if<DeviceStarted>(&event))
            Draw(started->device, 0);
        else if (std::holds_alternative<DeviceFinished>(event))
            EndLine();
    }
    void EndLine() {
        if (tty_ && lastNumber_ != 0) std::printf("\r%*s\r", 60, "");
        std::fflush(stdout);
        lastNumber_ = 0;
        lastPercent_ = -1;
    }

  private:
    void Draw(int number, int percent) {
        if (number == lastNumber_ && percent == lastPercent_) return;
        lastNumber_ = number;
        lastPercent_ = percent;
        const int filled = percent / 5;
        std::printf("\r%3d %-20s [%s%s] %3d%%", number, devices_.at(number).name().c_str(),
                    std::string(static_cast<size_t>(filled), '#').c_str(),
                    std::string(static_cast<size_t>(20 - filled), ' ').c_str(), percent);
        std::fflush(stdout);
    }

    const DeviceTable& devices_;
    bool tty_;
    int lastNumber_ = 0;
    int lastPercent_ = -1;
};

const char* ResultText(DeviceOutcome::Result result) {
    switch (result) {
        case DeviceOutcome::Result::Connected:
        case DeviceOutcome::Result::LoadFailed:
        case DeviceOutcome::Result::WriteFailed:
            return kConnectedText;
        default:
            return kConnectFailedText;
    }
}

// The configuration of the program folder; nullopt after a configuration
// error (no cihazlar.ini, or no device in it) has been reported.
std::optional<Configuration> LoadCliConfiguration(const CliContext& context, const IniFile& ini) {
    const std::string path = ConfigPath(context);
    if (RealFileSystem().KindOf(path) != PathKind::RegularFile) {
        std::cerr << "aktarim-cli: " << path << " bulunamadı\n";
        return std::nullopt;
    }
    Configuration config = LoadConfiguration(ini);
    if (config.devices.deviceCount() == 0) {
        std::cerr << "aktarim-cli: " << path << " içinde tanımlı cihaz yok\n";
        return std::nullopt;
    }
    return config;
}

}  // namespace

int DevicesCommand(const CliContext& context, bool json) {
    const IniFile ini(ConfigPath(context));
    const Configuration config = LoadConfiguration(ini);
    if (json) {
        nlohmann::json out;
        out["recordFile"] = config.recordFilePath;
        out["deleteAfterTransfer"] = config.deleteAfterTransfer;
        out["devices"] = nlohmann::json::array();
        for (int k = 1; k <= config.devices.deviceCount(); ++k) {
            nlohmann::json device;
            device["number"] = k;
            for (int f = 0; f < kDeviceFieldCount; ++f)
                device[kDeviceFields[f].key] = config.devices.at(k).fields[f];
            out["devices"].push_back(device);
        }
        std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return kExitOk;
    }
    std::cout << "Kayıt dosyası: " << config.recordFilePath << "\n"
              << "Aktardıktan sonra sil: " << (config.deleteAfterTransfer ? "evet" : "hayır")
              << "\n";
    for (int k = 1; k <= config.devices.deviceCount(); ++k) {
        const DeviceRecord& d = config.devices.at(k);
        std::cout << k << "\t" << d.name() << "\t"
                  << ConnectionDescription(d).value_or(d.connectionType()) << "\t" << d.inOutMode()
                  << "\n";
    }
    return kExitOk;
}

int TestCommand(const CliContext& context, const std::vector<int>& numbers) {
    const IniFile ini(ConfigPath(context));
    const auto config = LoadCliConfiguration(context, ini);
    if (!config) return kExitUsage;
    const auto chosen = SelectDevices(*config, numbers);
    if (!chosen) return kExitUsage;
    auto link = context.makeLink(ini);
    int result = kExitOk;
    for (int k : *chosen) {
        const DeviceRecord& d = config->devices.at(k);
        std::string status;
        try {
            const auto connected = ConnectByExactType(*link, ConnectionTexts::FromRecord(d),
                                                      SerialOrder::BaudMachinePort);
            status = connected.value_or(false) ? kConnectedText : kConnectFailedText;
            if (!connected)
                status += " (bağlantı tipi: \"" + d.connectionType() + "\")";
            else if (!*connected)
                if (const LinkFailure failure = link->LastFailure())
                    status += "\t" + LinkFailureText(failure);
            link->Disconnect();
        } catch (const AppError& e) {
            status = std::string(kConnectFailedText) + " (" + e.what() + ")";
            // A cell that is no number is the configuration's fault.
            if (e.kind() == ErrorKind::Conversion) result = kExitUsage;
        }
        if (status != kConnectedText && result == kExitOk) result = kExitFailed;
        std::cout << k << "\t" << d.name() << "\t" << status << "\n";
    }
    return result;
}

int TransferCommand(const CliContext& context, const TransferRequest& request) {
    const IniFile ini(ConfigPath(context));
    const auto config = LoadCliConfiguration(context, ini);
    if (!config) return kExitUsage;
    const auto chosen = SelectDevices(*config, request.numbers);
    if (!chosen) return kExitUsage;

    // Before any file is opened: one transfer at a time on this folder and
    // this record file.
    std::optional<TransferLock> lock;
    try {
        lock.emplace(context.home, config->recordFilePath,
                     std::chrono::seconds(request.waitSeconds));
    } catch (const AppError& e) {
        std::cerr << "aktarim-cli: " << e.what() << "\n";
        return e.kind() == ErrorKind::Busy ? kExitBusy : kExitFailed;
    }

    auto link = context.makeLink(ini);
    TransferSettings settings;
    settings.programFolder = context.home;
    settings.recordFilePath = config->recordFilePath;
    const bool erase = request.eraseLog.value_or(config->deleteAfterTransfer);
    settings.deleteAfterTransfer = [erase] { return erase; };
    settings.newOnly = request.newOnly || config->newOnly;
    settings.today = [] { return LocalTime(std::time(nullptr)); };
    ConsoleProgress progress(config->devices);
    AttendanceTransfer transfer(
        config->devices, *link, [&progress](const TransferEvent& event) { progress.Show(event); },
        settings);

    int status = kExitOk;
    try {
        transfer.Run(*chosen);
    } catch (const AppError& e) {
        progress.EndLine();
        std::cerr << "aktarim-cli: " << e.what() << "\n";
        status = e.kind() == ErrorKind::Conversion ? kExitUsage : kExitFailed;
    }
    progress.EndLine();
    for (const DeviceOutcome& o : transfer.outcomes()) {
        const DeviceRecord& d = config->devices.at(o.number);
        std::cout << o.number << "\t" << d.name() << "\t" << ResultText(o.result) << "\t"
                  << o.recordsWritten << " kayıt";
        if (o.logErased) std::cout << ", cihazdan silindi";
        if (o.eraseRefused) std::cout << ", cihaz silmeyi reddetti";
        if (o.result == DeviceOutcome::Result::NotContacted)
            std::cout << "\tbağlantı tipi tanınmadı: \"" << d.connectionType() << "\"";
        if (!o.error.empty()) std::cout << "\t" << o.error;
        std::cout << "\n";
        // Anything short of "read out and done as asked" is a failure for a
        // scheduled job, a log kept against the option included.
        const bool whole = o.result == DeviceOutcome::Result::Connected && o.error.empty();
        if (!whole && status == kExitOk) status = kExitFailed;
    }
    return status;
}

int ClockCommand(const CliContext& context, ClockAction action, int number) {
    IniFile ini(ConfigPath(context));
    Configuration config = LoadConfiguration(ini);
    if (!SelectDevices(config, {number})) return kExitUsage;
    const std::string name = config.devices.at(number).name();
    auto link = context.makeLink(ini);
    const auto report = [&](const std::string& text) {
        std::cerr << "aktarim-cli: " << number << "\t" << name << "\t" << text << "\n";
    };
    const bool set = action == ClockAction::Set;
    DeviceClockResult result;
    try {
        result = RunDeviceClock(config, ini, *link, number, set, [](const std::string& text) {
            std::cerr << "aktarim-cli: " << text << "\n";
        });
    } catch (const AppError& e) {
        report(e.what());
        return e.kind() == ErrorKind::Conversion ? kExitUsage : kExitFailed;
    }
    if (!result.connected) {
        report(result.status);
        return kExitFailed;
    }
    if (!result.answered) {
        report(result.status + ": " + (set ? "cihaz saati ayarlanamadı" : "cihaz saati okunamadı"));
        return kExitFailed;
    }
    std::cout << result.clockText << "\n";
    return kExitOk;
}

}  // namespace aktarim
