#include "settings/SettingsCommands.h"

#include <chrono>
#include <utility>

#include "core/DeviceConnect.h"
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "core/NumberField.h"
#include "core/Platform.h"
#include "core/TerminalLink.h"
#include "core/Text.h"
#include "core/TransferLock.h"
#include "terminal/ConnectionRules.h"

namespace aktarim {
namespace {

// The device list and the options are not written while a transfer of this
// program folder runs; the lock of the folder alone is enough for that.
TransferLock LockProgramFolder(const IniFile& configFile) {
    return TransferLock(DirectoryOf(configFile.path()), configFile.path(),
                        std::chrono::milliseconds(0));
}

ConnectionTexts RowConnectionTexts(const GridModel& grid, int row) {
    return {grid.Text(kFieldConnectionType, row), grid.Text(kFieldMachineNumber, row),
            grid.Text(kFieldPort, row),           grid.Text(kFieldBaudRate, row),
            grid.Text(kFieldIpAddress, row),      grid.Text(kFieldIpPort, row)};
}

// The defaults of a row made by "Yeni", after its name.
constexpr const char* kNewDeviceTexts[kDeviceFieldCount] = {
    "", kEthernet, "1", "Com1", "115200", "192.168.1.201", "4370", "", "Standart"};

}  // namespace

std::vector<GridColumn> SettingsGridColumns() {
    return {
        MakeColumn("Cihaz Adı", ColumnKind::Text, 72, true),
        MakeColumn("Bağ.Tipi", ColumnKind::DropDown, 66, true, Alignment::Left, false,
                   {kEthernet, kCommPort}),
        MakeColumn("Chz.No", ColumnKind::Numeric, 51, true),
        MakeColumn("Port No", ColumnKind::DropDown, 53, true, Alignment::Left, false,
                   {"Com1", "Com2", "Com3", "Com4"}),
        MakeColumn("B.rate", ColumnKind::DropDown, 54, true, Alignment::Left, false,
                   {"115200", "19200", "9600"}),
        MakeColumn("IP Adres", ColumnKind::Text, 92, true),
        MakeColumn("IP Port", ColumnKind::Numeric, 48, true),
        MakeColumn("Parola", ColumnKind::Text, 47, true),
        MakeColumn("G/Ç Durumu", ColumnKind::DropDown, 90, true, Alignment::Left, false,
                   {"Standart", "Her Zaman Giriş", "Her Zaman Çıkış"}),
        MakeColumn("İşlem Durumu", ColumnKind::Text, 146, false),
    };
}

std::string ClockText(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second) {
    return ZeroPadded(day, 2) + "/" + ZeroPadded(month, 2) + "/" + ZeroPadded(year, 4) + "  " +
           ZeroPadded(hour, 2) + ":" + ZeroPadded(minute, 2) + ":" + ZeroPadded(second, 2);
}

std::string LocalClockText(std::time_t moment) {
    const std::tm t = LocalTime(moment);
    return ClockText(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

SettingsCommands::SettingsCommands(GridModel& grid, Configuration& config, IniFile& configFile,
                                   ConnectionState& state, int& dialogAnswer, TerminalLink& link,
                                   SettingsView& view, std::function<std::time_t()> clock)
    : grid_(grid),
      config_(config),
      configFile_(configFile),
      state_(state),
      dialogAnswer_(dialogAnswer),
      link_(link),
      view_(view),
      clock_(clock ? std::move(clock) : [] { return std::time(nullptr); }) {}

// --- window events ---------------------------------------------------------

void SettingsCommands::ShowDeviceList() {
    view_.SetPcClockLabel(LocalClockText(clock_()));
    const std::string path = config_.recordFilePath;
    view_.SetRecordFileText(path);
    // Like the edit box, the option is written only when its text changes.
    if (path != recordFileText_) SetRecordFile(path);
    FillSettingsGrid();
    view_.RepaintGrid();
    ColourDeviceRows();
}

void SettingsCommands::SelectFirstDevice() {
    if (grid_.RowCount() == 0) return;
    view_.SelectRow(0);
    state_.selectedRow = 1;
}

void SettingsCommands::WriteBackDevices() {
    const TransferLock lock = LockProgramFolder(configFile_);
    DeviceTable& devices = config_.devices;
    devices.Resize(grid_.RowCount());
    for (int d = 1; d <= devices.deviceCount(); ++d) {
        for (int f = 0; f < kDeviceFieldCount; ++f) {
            // The table holds what the file can: 8-bit text, cut to the field.
            const std::string eightBit = Cp1254ToUtf8(Utf8ToCp1254(grid_.Text(f, d - 1)));
            devices.at(d).Set(static_cast<DeviceField>(f), eightBit);
        }
    }
    WriteGridDevices();
}

// --- device list -----------------------------------------------------------

void SettingsCommands::SelectDevice(int row) { state_.selectedRow = row + 1; }

void SettingsCommands::ClearClockText() { view_.SetClockText(""); }

void SettingsCommands::AddDevice() {
    // cihazlar.ini holds cihaz1..cihaz256 only; a 257th would vanish at the
    // next start.
    if (grid_.RowCount() >= kMaxStoredDevices) {
        view_.ShowMessage(kTooManyDevicesText);
        return;
    }
    grid_.AppendRows(1);
    const int count = grid_.RowCount();
    config_.devices.Resize(count);
    state_.selectedRow = count;
    const int row = count - 1;
    grid_.SetText(kFieldName, row, "Cihaz" + std::to_string(count));
    for (int f = kFieldConnectionType; f < kDeviceFieldCount; ++f)
        grid_.SetText(f, row, kNewDeviceTexts[f]);
    SetStatus(row, "");
    view_.SelectRow(row);
    view_.ScrollToRow(row);
    view_.RepaintGrid();
    ColourDeviceRows();
}

void SettingsCommands::DeleteSelectedDevice() {
    const int rows = grid_.RowCount();
    if (rows < 2) return;  // the last device stays
    if (!CheckSelectedRow()) return;
    // Before the row goes: a busy folder leaves grid and file alike.
    const TransferLock lock = LockProgramFolder(configFile_);
    for (int r = CurrentRow(); r <= rows - 2; ++r)
        for (int f = 0; f < kDeviceFieldCount; ++f) grid_.SetText(f, r, grid_.Text(f, r + 1));
    grid_.DeleteRow(rows - 1);
    config_.devices.Resize(rows - 1);
    if (state_.selectedRow > rows - 1) {
        // The selected last row is gone: its predecessor takes its place.
        state_.selectedRow = rows - 1;
        view_.SelectRow(rows - 2);
    }
    view_.RepaintGrid();
    WriteGridDevices();
}

void SettingsCommands::SaveDeviceList() { SaveGridDevices(); }

// --- record file -----------------------------------------------------------

void SettingsCommands::SetRecordFile(const std::string& text) {
    recordFileText_ = text;
    const TransferLock lock = LockProgramFolder(configFile_);
    WriteRecordFileOption(configFile_, config_, text);
}

void SettingsCommands::ChooseRecordFile() {
    const std::optional<std::string> chosen = view_.ChooseFile();
    if (!chosen) return;  // cancelled: the path stays
    view_.SetRecordFileText(*chosen);
    if (*chosen != recordFileText_) SetRecordFile(*chosen);
}

// --- personnel -------------------------------------------------------------

void SettingsCommands::OpenPersonnelWindow() {
    if (!CheckSelectedRow()) return;
    FillLinkParameters(grid_, CurrentRow(), state_.link);
    const LinkParameters& p = state_.link;
    // Only a network row is tried first; the timer closes this test connection.
    if (p.linkType == 1 && !link_.ConnectNetwork(p.linkIpAddress, p.linkIpPort)) {
        view_.ShowMessage(kConnectFailedText);
        view_.CloseWindow();
        return;
    }
    view_.ShowPersonnelWindow();
}

// --- connection tests ------------------------------------------------------

void SettingsCommands::TestSelectedDevice() {
    if (!CheckSelectedRow()) return;
    const int row = CurrentRow();
    BeginRowCommand(row, kCheckingText);
    TestRow(row);
    view_.RepaintGrid();
}

void SettingsCommands::TestAllDevices() {
    ClearStatusColumn();
    if (grid_.RowCount() == 0) {
        view_.ShowMessage(kNoDevicesText);
        return;
    }
    for (int r = 0; r < grid_.RowCount(); ++r) {
        SetStatus(r, kCheckingText);
        view_.RepaintGrid();
        TestRow(r);
        view_.RepaintGrid();
    }
}

void SettingsCommands::TestRow(int row) {
    const std::optional<bool> connected =
        ConnectByExactType(link_, RowConnectionTexts(grid_, row), SerialOrder::BaudMachinePort);
    if (!connected) return;
    if (*connected) {
        SetStatus(row, kConnectedText);
        link_.Disconnect();
    } else {
        SetStatus(row, kConnectFailedText);
    }
}

// --- device clock ----------------------------------------------------------

void SettingsCommands::ReadTerminalClock() {
    if (!CheckSelectedRow()) return;
    lastClockAnswered_ = false;
    const int row = CurrentRow();
    BeginRowCommand(row, kClockReadingText);
    ConnectRow(row);
    if (!state_.settingsConnected) return;
    SetStatus(row, kClockReadText);
    view_.SetClockText(ReadDeviceClock());
    DisconnectCommand();
    view_.RepaintGrid();
}

void SettingsCommands::WriteTerminalClock() {
    if (!CheckSelectedRow()) return;
    lastClockAnswered_ = false;
    const int row = CurrentRow();
    BeginRowCommand(row, kClockSavingText);
    ConnectRow(row);
    if (!state_.settingsConnected) return;
    const std::tm now = LocalTime(clock_());
    const bool set =
        link_.SetDeviceClock(state_.currentMachineNumber, now.tm_year + 1900, now.tm_mon + 1,
                             now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
    SetStatus(row, kClockSavedText);
    const std::string text = ReadDeviceClock();
    lastClockAnswered_ = lastClockAnswered_ && set;
    view_.SetClockText(text);
    view_.SetPcClockLabel(text);
    DisconnectCommand();
    view_.RepaintGrid();
}

void SettingsCommands::Tick() {
    view_.SetPcClockLabel(LocalClockText(clock_()));
    link_.Disconnect();
}

std::string SettingsCommands::ReadDeviceClock() {
    // A terminal that does not answer leaves zeros, which show as such.
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    lastClockAnswered_ =
        link_.GetDeviceClock(state_.currentMachineNumber, year, month, day, hour, minute, second);
    return ClockText(year, month, day, hour, minute, second);
}

// --- maintenance -----------------------------------------------------------

void SettingsCommands::ClearAdministrators() {
    if (!CheckSelectedRow()) return;
    const int row = CurrentRow();
    BeginRowCommand(row, kAdminsClearingText);
    ConnectRow(row);
    if (state_.settingsConnected) {
        link_.ClearAdministrators(state_.currentMachineNumber);
        SetStatus(row, kAdminsClearedText);
        DisconnectCommand();
    } else {
        SetStatus(row, kConnectFailedText);
    }
    view_.RepaintGrid();
}

void SettingsCommands::ResetTerminal() {
    if (!CheckSelectedRow()) return;
    const int row = CurrentRow();
    BeginRowCommand(row, kResettingText);
    // Cleared before every showing, so that leaving through the close box
    // never takes up an "Evet" from an earlier one.
    dialogAnswer_ = kDialogNoAnswer;
    view_.AskResetConfirmation();
    if (dialogAnswer_ == kDialogYes) {
        view_.RepaintWindow();
        ConnectRow(row);
        if (state_.settingsConnected) {
            link_.ClearAllData(state_.currentMachineNumber);
            SetStatus(row, kResetDoneText);
            DisconnectCommand();
        }
    } else {
        SetStatus(row, "");
    }
    view_.RepaintGrid();
}

// --- shared steps ----------------------------------------------------------

void SettingsCommands::FillSettingsGrid() {
    const DeviceTable& devices = config_.devices;
    grid_.Clear();
    grid_.AppendRows(devices.deviceCount());
    for (int d = 1; d <= devices.deviceCount(); ++d) {
        for (int f = 0; f < kDeviceFieldCount; ++f)
            grid_.SetText(f, d - 1, devices.at(d).fields[f]);
        SetStatus(d - 1, "");
    }
}

void SettingsCommands::ColourDeviceRows() {
    for (int row = 0; row < grid_.RowCount(); ++row)
        grid_.SetRowBackground(row, row % 2 == 0 ? kEvenRowColour : kOddRowColour,
                               kSettingsColumnCount);
}

bool SettingsCommands::CheckSelectedRow() {
    if (grid_.RowCount() == 0) {
        view_.ShowMessage(kNoDevicesText);
        return false;
    }
    if (state_.selectedRow < 1 || state_.selectedRow > grid_.RowCount()) {
        view_.ShowMessage(kNoSelectedDeviceText);
        return false;
    }
    return true;
}

int SettingsCommands::CurrentRow() const { return state_.selectedRow - 1; }

void SettingsCommands::ClearStatusColumn() {
    for (int row = 0; row < grid_.RowCount(); ++row) SetStatus(row, "");
}

void SettingsCommands::SetStatus(int row, const std::string& text) {
    grid_.SetText(kSettingsColumnStatus, row, text);
}

void SettingsCommands::BeginRowCommand(int row, const char* text) {
    ClearStatusColumn();
    SetStatus(row, text);
    view_.RepaintGrid();
    ColourDeviceRows();
}

void SettingsCommands::ConnectRow(int row) {
    // ConnectSelectedDevice connects the selected row. A dialog or message
    // box that closed meanwhile selects the first row when the window becomes
    // active again; the command still belongs to the row it started on.
    struct Restore {
        int& selected;
        int value;
        ~Restore() { selected = value; }
    } restore{state_.selectedRow, state_.selectedRow};
    state_.selectedRow = row + 1;
    ConnectSelectedDevice(link_, grid_, state_, [this] { view_.RepaintGrid(); });
}

void SettingsCommands::SaveGridDevices() {
    const TransferLock lock = LockProgramFolder(configFile_);
    WriteGridDevices();
}

void SettingsCommands::WriteGridDevices() {
    SaveDevices(configFile_, grid_.RowCount(),
                [this](int column, int row) { return grid_.Text(column, row); });
}

void SettingsCommands::DisconnectCommand() {
    link_.Disconnect();
    state_.settingsConnected = false;
}

}  // namespace aktarim
