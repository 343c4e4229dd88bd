#include "cli/Commands.h"

#include <cstdio>
#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>

#include "core/DeviceConfig.h"
#include "core/DeviceConnect.h"
#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "core/Platform.h"
#include "core/Transfer.h"
#include "settings/SettingsCommands.h"
#include "terminal/ConnectionRules.h"
#include "core/TerminalLink.h"

namespace aktarim {
namespace {

std::string ConfigPath(const CliContext& context) { return JoinPath(context.home, kConfigFileName); }

// Device numbers named on the command line, or all; nullopt after a usage
// error has been reported.
std::optional<std::vector<int>> SelectDevices(const Configuration& config, const std::vector<int>& numbers) {
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
class ConsoleView : public TransferView {
public:
    ConsoleView(const GridModel& grid, const DeviceTable& devices, const AttendanceTransfer* transfer)
        : grid_(grid), devices_(devices), transfer_(transfer), tty_(StandardOutputIsTerminal()) {}
    void RepaintGrid() override {
        if (!tty_ || transfer_ == nullptr) return;
        const int number = transfer_->transferRow();
        if (number < 1 || number > devices_.deviceCount()) return;
        const int percent = grid_.Value(kMainColumnProgress, number - 1);
        if (number == lastNumber_ && percent == lastPercent_) return;
        lastNumber_ = number;
        lastPercent_ = percent;
        const int filled = percent / 5;
        std::printf("\r%3d %-20s [%s%s] %3d%%", number, devices_.at(number).name().c_str(),
                    std::string(static_cast<size_t>(filled), '#').c_str(),
                    std::string(static_cast<size_t>(20 - filled), ' ').c_str(), percent);
        std::fflush(stdout);
    }
    void EndLine() {
        if (tty_ && lastNumber_ != 0) std::printf("\r%*s\r", 60, "");
        lastNumber_ = 0;
    }
    void SetTransfer(const AttendanceTransfer* transfer) { transfer_ = transfer; }

private:
    const GridModel& grid_;
    const DeviceTable& devices_;
    const AttendanceTransfer* transfer_;
    bool tty_;
    int lastNumber_ = 0;
    int lastPercent_ = -1;
};

const char* ResultText(DeviceOutcome::Result result) {
    switch (result) {
        case DeviceOutcome::Result::Connected:
        case DeviceOutcome::Result::LoadFailed:
        case DeviceOutcome::Result::WriteFailed: return kConnectedText;
        default: return kConnectFailedText;
    }
}

// The settings window's view on a console: keeps the clock text, reports
// messages on stderr and paints nothing.
class ConsoleSettingsView : public SettingsView {
public:
    void RepaintGrid() override {}
    void RepaintWindow() override {}
    void ShowMessage(const std::string& text) override {
        std::cerr << "aktarim-cli: " << text << "\n";
    }
    void AskResetConfirmation() override {}  // never confirms
    void SetClockText(const std::string& text) override { clockText = text; }
    void SetPcClockLabel(const std::string& /*text*/) override {}
    void SetRecordFileText(const std::string& /*text*/) override {}
    void SelectRow(int /*row*/) override {}
    void ScrollToRow(int /*row*/) override {}
    std::optional<std::string> ChooseFile() override { return std::nullopt; }
    void ShowPersonnelWindow() override {}
    void CloseWindow() override {}

    std::string clockText;
};

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
            for (int f = 0; f < kDeviceFieldCount; ++f) device[kDeviceFields[f].key] = config.devices.at(k).fields[f];
            out["devices"].push_back(device);
        }
        std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return kExitOk;
    }
    std::cout << "Kayıt dosyası: " << config.recordFilePath << "\n"
              << "Aktardıktan sonra sil: " << (config.deleteAfterTransfer ? "evet" : "hayır") << "\n";
    for (int k = 1; k <= config.devices.deviceCount(); ++k) {
        const DeviceRecord& d = config.devices.at(k);
        std::cout << k << "\t" << d.name() << "\t" << ConnectionDescription(d).value_or(d.connectionType()) << "\t"
                  << d.inOutMode() << "\n";
    }
    return kExitOk;
}

int TestCommand(const CliContext& context, const std::vector<int>& numbers) {
    const IniFile ini(ConfigPath(context));
    const Configuration config = LoadConfiguration(ini);
    const auto chosen = SelectDevices(config, numbers);
    if (!chosen) return kExitUsage;
    auto link = context.makeLink(ini);
    bool all = true;
    for (int k : *chosen) {
        const DeviceRecord& d = config.devices.at(k);
        std::string status;
        try {
            const auto connected =
                ConnectByExactType(*link, ConnectionTexts::FromRecord(d), SerialOrder::BaudMachinePort);
            status = connected.value_or(false) ? kConnectedText : kConnectFailedText;
            if (!connected) status += " (bağlantı tipi: \"" + d.connectionType() + "\")";
            link->Disconnect();
        } catch (const AppError& e) {
            status = std::string(kConnectFailedText) + " (" + e.what() + ")";
        }
        if (status != kConnectedText) all = false;
        std::cout << k << "\t" << d.name() << "\t" << status << "\n";
    }
    return all ? kExitOk : kExitFailed;
}

int TransferCommand(const CliContext& context, const std::vector<int>& numbers, std::optional<bool> eraseLog) {
    const IniFile ini(ConfigPath(context));
    const Configuration config = LoadConfiguration(ini);
    const auto chosen = SelectDevices(config, numbers);
    if (!chosen) return kExitUsage;

    GridModel grid(MainGridColumns());
    grid.AppendRows(config.devices.deviceCount());
    FillDeviceGrid(grid, config.devices);
    for (int row = 0; row < grid.RowCount(); ++row) grid.SetChecked(kMainColumnTick, row, false);
    for (int k : *chosen) grid.SetChecked(kMainColumnTick, k - 1, true);

    auto link = context.makeLink(ini);
    TransferSettings settings;
    settings.programFolder = context.home;
    settings.recordFilePath = config.recordFilePath;
    const bool erase = eraseLog.value_or(config.deleteAfterTransfer);
    settings.deleteAfterTransfer = [erase] { return erase; };
    settings.today = [] { return LocalTime(std::time(nullptr)); };
    ConsoleView view(grid, config.devices, nullptr);
    AttendanceTransfer transfer(grid, config.devices, *link, view, settings);
    view.SetTransfer(&transfer);

    int status = kExitOk;
    try {
        transfer.Run();
    } catch (const AppError& e) {
        view.EndLine();
        std::cerr << "aktarim-cli: " << e.what() << "\n";
        status = e.kind() == ErrorKind::Conversion ? kExitUsage : kExitFailed;
    }
    view.EndLine();
    for (const DeviceOutcome& o : transfer.outcomes()) {
        if (o.result == DeviceOutcome::Result::NotTicked) continue;
        const DeviceRecord& d = config.devices.at(o.number);
        std::cout << o.number << "\t" << d.name() << "\t" << ResultText(o.result) << "\t" << o.recordsWritten
                  << " kayıt";
        if (o.logErased) std::cout << ", cihazdan silindi";
        if (o.result == DeviceOutcome::Result::NotContacted)
            std::cout << "\tbağlantı tipi tanınmadı: \"" << d.connectionType() << "\"";
        if (!o.error.empty()) std::cout << "\t" << o.error;
        std::cout << "\n";
        if (o.result != DeviceOutcome::Result::Connected && status == kExitOk) status = kExitFailed;
    }
    return status;
}

int ClockCommand(const CliContext& context, ClockAction action, int number) {
    IniFile ini(ConfigPath(context));
    Configuration config = LoadConfiguration(ini);
    if (!SelectDevices(config, {number})) return kExitUsage;
    const DeviceRecord& device = config.devices.at(number);
    auto link = context.makeLink(ini);

    // The window's own handlers on a grid built from the device table; the
    // grid and the table are never written back, so cihazlar.ini is not touched.
    GridModel grid(SettingsGridColumns());
    ConnectionState state;
    int dialogAnswer = kDialogNoAnswer;
    ConsoleSettingsView view;
    SettingsCommands commands(grid, config, ini, state, dialogAnswer, *link, view);
    commands.FillSettingsGrid();
    commands.cihazlistSelectCell(0, number - 1);
    const auto report = [&](const std::string& text) {
        std::cerr << "aktarim-cli: " << number << "\t" << device.name() << "\t" << text << "\n";
    };
    try {
        if (action == ClockAction::Set)
            commands.tarihkaydetClick();
        else
            commands.tarihokuClick();
    } catch (const AppError& e) {
        link->Disconnect();  // the window's timer would do it at its next tick
        report(grid.Text(kSettingsColumnStatus, number - 1) + ": " + e.what());
        return e.kind() == ErrorKind::Conversion ? kExitUsage : kExitFailed;
    }
    const std::string status = grid.Text(kSettingsColumnStatus, number - 1);
    if (status == kConnectFailedText) {
        report(status);
        return kExitFailed;
    }
    if (!commands.lastClockAnswered()) {
        const bool set = action == ClockAction::Set;
        report(status + ": " + (set ? "cihaz saati ayarlanamadı" : "cihaz saati okunamadı"));
        return kExitFailed;
    }
    std::cout << view.clockText << "\n";
    return kExitOk;
}

}  // namespace aktarim
