#include "settings/ClockSession.h"

#include <optional>

#include "core/Errors.h"
#include "core/GridModel.h"
#include "settings/SettingsCommands.h"
#include "terminal/ConnectionRules.h"

namespace aktarim {
namespace {

// Keeps the clock text, passes messages on and paints nothing.
class HeadlessSettingsView : public SettingsView {
  public:
    explicit HeadlessSettingsView(const std::function<void(const std::string&)>& showMessage)
        : showMessage_(showMessage) {}
    void RepaintGrid() override {}
    void RepaintWindow() override {}
    void ShowMessage(const std::string& text) override {
        if (showMessage_) showMessage_(text);
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

  private:
    const std::function<void(const std::string&)>& showMessage_;
};

}  // namespace

DeviceClockResult RunDeviceClock(Configuration& config, IniFile& configFile, TerminalLink& link,
                                 int number, bool setToPcTime,
                                 const std::function<void(const std::string&)>& showMessage) {
    GridModel grid(SettingsGridColumns());
    ConnectionState state;
    int dialogAnswer = kDialogNoAnswer;
    HeadlessSettingsView view(showMessage);
    SettingsCommands commands(grid, config, configFile, state, dialogAnswer, link, view);
    commands.FillSettingsGrid();
    commands.SelectDevice(number - 1);
    try {
        if (setToPcTime)
            commands.WriteTerminalClock();
        else
            commands.ReadTerminalClock();
    } catch (const AppError&) {
        link.Disconnect();  // the window's timer would do it at its next tick
        throw;
    }
    DeviceClockResult result;
    result.status = grid.Text(kSettingsColumnStatus, number - 1);
    result.connected = result.status != kConnectFailedText;
    result.answered = commands.lastClockAnswered();
    result.clockText = view.clockText;
    return result;
}

}  // namespace aktarim
