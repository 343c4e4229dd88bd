#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "core/TransferLock.h"
#include "settings/SettingsCommands.h"
#include "terminal/ConnectionRules.h"
#include "terminal/MemoryLink.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

namespace {

std::time_t LocalMoment(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// The connection texts of one device row (password and in/out mode fixed).
struct Row {
    std::string name, type, machine, port, baud, ip, ipPort;
};

const Row kNetworkRow{"Giris", "Ethernet", "1", "Com1", "115200", "127.0.0.1", "4370"};
const Row kSerialRow{"Depo", "Comm Port", "1", "Com2", "9600", "", ""};

std::string DeviceSection(int number, const Row& r) {
    return "[cihaz" + std::to_string(number) + "]\r\nadi=" + r.name + "\r\nbaglantitipi=" + r.type +
           "\r\nmakineno=" + r.machine + "\r\nportno=" + r.port + "\r\nbaudrate=" + r.baud +
           "\r\nipadres=" + r.ip + "\r\nipport=" + r.ipPort + "\r\nparola=\r\ngcdurum=Standart\r\n";
}

TerminalState SampleTerminal() {
    TerminalState s;
    s.machineNumber = 1;
    s.clockOffsetSeconds = -400 * 24 * 3600;  // more than a year behind
    s.users[1] = {1, "Ayşe", "", 0, true, ""};
    s.users[2] = {2, "Mehmet", "12", 1, true, ""};
    s.users[3] = {3, "Gülşen", "", 2, true, ""};
    s.users[4] = {4, "İbrahim", "9", 3, true, ""};
    s.templates[{1, 0}] = std::string(600, 'A');
    s.log = {{1, 1, 0, 2024, 3, 4, 8, 1, 15}};
    return s;
}

// Stands in for Tayarlarform: records what the commands show and plays the
// user's part in the dialogs.
class FakeView : public SettingsView {
  public:
    FakeView(const GridModel& grid, int& dialogAnswer, const MemoryLink& link)
        : grid_(grid), dialogAnswer_(dialogAnswer), link_(link) {}

    SettingsCommands* commands = nullptr;
    // The warning dialog's button the user presses; nullopt: its close box.
    std::optional<int> dialogButton;
    std::optional<std::string> chosenFile;
    // The settings window becomes active again as the dialog closes, which
    // selects its first row.
    bool reactivateAfterDialog = false;

    std::vector<std::vector<std::string>> repaintedStatus;  // status column at each repaint
    int windowRepaints = 0;
    std::vector<std::string> messages;
    int dialogsShown = 0;
    int answerWhenShown = -1;
    bool connectedWhenShown = false;
    std::string clockText, pcClock, recordFileText;
    std::vector<int> selectedRows, scrolledRows;
    int personnelShown = 0;
    int closed = 0;

    void RepaintGrid() override {
        std::vector<std::string> status;
        for (int r = 0; r < grid_.RowCount(); ++r)
            status.push_back(grid_.Text(kSettingsColumnStatus, r));
        repaintedStatus.push_back(std::move(status));
    }
    void RepaintWindow() override { ++windowRepaints; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void AskResetConfirmation() override {
        ++dialogsShown;
        answerWhenShown = dialogAnswer_;
        connectedWhenShown = link_.IsConnected();
        if (dialogButton) dialogAnswer_ = *dialogButton;
        if (reactivateAfterDialog && commands != nullptr) commands->SelectFirstDevice();
    }
    void SetClockText(const std::string& text) override { clockText = text; }
    void SetPcClockLabel(const std::string& text) override { pcClock = text; }
    void SetRecordFileText(const std::string& text) override { recordFileText = text; }
    // Does not report the selection back: the commands must not rely on it.
    void SelectRow(int row) override { selectedRows.push_back(row); }
    void ScrollToRow(int row) override { scrolledRows.push_back(row); }
    std::optional<std::string> ChooseFile() override { return chosenFile; }
    void ShowPersonnelWindow() override { ++personnelShown; }
    void CloseWindow() override {
        ++closed;
        if (commands != nullptr) commands->WriteBackDevices();
    }

  private:
    const GridModel& grid_;
    int& dialogAnswer_;
    const MemoryLink& link_;
};

class SettingsTest : public testing::Test {
  protected:
    test::TempDir home;
    std::string iniPath = home.File("cihazlar.ini");
    test::FailingFileSystem failing;
    FileSystem* fs = &RealFileSystem();
    std::unique_ptr<IniFile> ini;
    Configuration config;
    GridModel grid{SettingsGridColumns()};
    ConnectionState state;
    int dialogAnswer = 0;
    std::time_t pcNow = LocalMoment(2009, 3, 5, 14, 7, 9);
    MemoryTerminal terminal{SampleTerminal()};
    MemoryLink link{terminal};
    FakeView view{grid, dialogAnswer, link};
    std::unique_ptr<SettingsCommands> commands;

    // Writes cihazlar.ini with these devices, then shows the window.
    void Open(const std::vector<Row>& rows, const std::string& options = "dosya=qb400.txt\r\n") {
        std::string text = "[ayarlar]\r\n" + options;
        for (size_t i = 0; i < rows.size(); ++i)
            text += DeviceSection(static_cast<int>(i) + 1, rows[i]);
        WriteAll(iniPath, text);
        Show();
    }
    // Loads whatever cihazlar.ini holds and shows the window.
    void Show() {
        ini = std::make_unique<IniFile>(iniPath, *fs);
        config = LoadConfiguration(*ini);
        link.now = [this] { return pcNow; };
        commands = std::make_unique<SettingsCommands>(grid, config, *ini, state, dialogAnswer, link,
                                                      view, [this] { return pcNow; });
        view.commands = commands.get();
        commands->ShowDeviceList();
        commands->SelectFirstDevice();
        link.calls.clear();
        view.repaintedStatus.clear();
    }
    void Select(int row) { commands->SelectDevice(row); }
    std::string Status(int row) const { return grid.Text(kSettingsColumnStatus, row); }
    void SetAllStatus(const std::string& text) {
        for (int r = 0; r < grid.RowCount(); ++r) grid.SetText(kSettingsColumnStatus, r, text);
    }
    std::string OnDisk(const std::string& section, const std::string& key) const {
        return IniFile(iniPath).ReadString(section, key, "<yok>");
    }
    std::vector<std::string> SectionsOnDisk() const { return IniFile(iniPath).SectionNames(); }
    size_t Count(const std::string& call) const {
        return static_cast<size_t>(std::count(link.calls.begin(), link.calls.end(), call));
    }
};

// --- plain helpers ---------------------------------------------------------

TEST(SettingsGrid, TenColumnsWithTheirEditors) {
    const std::vector<GridColumn> columns = SettingsGridColumns();
    ASSERT_EQ(columns.size(), 10u);
    const std::array<const char*, 10> headers = {"Cihaz Adı",  "Bağ.Tipi",    "Chz.No",  "Port No",
                                                 "B.rate",     "IP Adres",    "IP Port", "Parola",
                                                 "G/Ç Durumu", "İşlem Durumu"};
    const std::array<int, 10> widths = {72, 66, 51, 53, 54, 92, 48, 47, 90, 146};
    const std::array<ColumnKind, 10> kinds = {
        ColumnKind::Text,     ColumnKind::DropDown, ColumnKind::Numeric, ColumnKind::DropDown,
        ColumnKind::DropDown, ColumnKind::Text,     ColumnKind::Numeric, ColumnKind::Text,
        ColumnKind::DropDown, ColumnKind::Text};
    for (size_t c = 0; c < columns.size(); ++c) {
        EXPECT_EQ(columns[c].header, headers[c]) << c;
        EXPECT_EQ(columns[c].width, widths[c]) << c;
        EXPECT_EQ(columns[c].kind, kinds[c]) << c;
        EXPECT_EQ(columns[c].editable, c != kSettingsColumnStatus) << c;
    }
    using Items = std::vector<std::string>;
    EXPECT_EQ(columns[1].items, (Items{"Ethernet", "Comm Port"}));
    EXPECT_EQ(columns[3].items, (Items{"Com1", "Com2", "Com3", "Com4"}));
    EXPECT_EQ(columns[4].items, (Items{"115200", "19200", "9600"}));
    EXPECT_EQ(columns[8].items, (Items{"Standart", "Her Zaman Giriş", "Her Zaman Çıkış"}));
}

TEST(ClockText, TwoDigitFieldsFourDigitYearTwoBlanks) {
    struct Case {
        std::array<int32_t, 6> v;  // year, month, day, hour, minute, second
        const char* expected;
    };
    const std::array<Case, 4> cases = {{
        {{2009, 3, 5, 14, 7, 9}, "05/03/2009  14:07:09"},
        {{2024, 12, 31, 23, 59, 59}, "31/12/2024  23:59:59"},
        {{12345, 1, 2, 0, 0, 0}, "02/01/2345  00:00:00"},  // cut to the rightmost digits
        {{0, 0, 0, 0, 0, 0}, "00/00/0000  00:00:00"},      // what an unanswered read shows
    }};
    for (const auto& c : cases)
        EXPECT_EQ(ClockText(c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5]), c.expected);
    EXPECT_EQ(LocalClockText(LocalMoment(2009, 3, 5, 14, 7, 9)), "05/03/2009  14:07:09");
}

// --- showing the window ----------------------------------------------------

TEST_F(SettingsTest, ShowFillsTheGridFromTheTableAndSelectsTheFirstRow) {
    Open({kNetworkRow, kSerialRow}, "dosya=d:\\kayit\\qb.txt\r\n");
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Text(kFieldName, 1), "Depo");
    EXPECT_EQ(grid.Text(kFieldConnectionType, 1), "Comm Port");
    EXPECT_EQ(grid.Text(kFieldInOutMode, 0), "Standart");
    EXPECT_EQ(view.recordFileText, "d:\\kayit\\qb.txt");
    EXPECT_EQ(view.pcClock, "05/03/2009  14:07:09");

    // Edits never outlive a showing; the status column starts empty; each
    // activation goes back to the first row.
    grid.SetText(kFieldName, 0, "değişti");
    SetAllStatus("eski");
    Select(1);
    commands->ShowDeviceList();
    commands->SelectFirstDevice();
    EXPECT_EQ(grid.Text(kFieldName, 0), "Giris");
    EXPECT_EQ(Status(0), "");
    EXPECT_EQ(Status(1), "");
    EXPECT_EQ(state.selectedRow, 1);
    EXPECT_EQ(view.selectedRows.back(), 0);
}

TEST_F(SettingsTest, ShowingWithoutAFileWritesNothing) {
    Show();
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(view.recordFileText, "qb400.txt");
    EXPECT_FALSE(std::filesystem::exists(iniPath));
}

TEST_F(SettingsTest, ColourDeviceRowsAlternatesOverAllTenCells) {
    Open({kNetworkRow, kSerialRow, kNetworkRow});
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < kSettingsColumnCount; ++c)
            EXPECT_EQ(grid.Background(c, r), r % 2 == 0 ? 0xF2F8FFu : 0xE8F0FFu) << c << "," << r;
}

// --- editing the list ------------------------------------------------------

TEST_F(SettingsTest, DeletingTheMiddleOfThreeRenumbersTheFile) {
    Open({{"cihaz-a", "Ethernet", "1", "Com1", "9600", "10.0.0.1", "4370"},
          {"cihaz-b", "Ethernet", "2", "Com1", "9600", "10.0.0.2", "4370"},
          {"cihaz-c", "Comm Port", "3", "Com3", "9600", "", ""}});
    for (int r = 0; r < 3; ++r) grid.SetText(kSettingsColumnStatus, r, "s" + std::to_string(r));
    Select(1);
    commands->DeleteSelectedDevice();

    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Text(kFieldName, 1), "cihaz-c");
    EXPECT_EQ(grid.Text(kFieldPort, 1), "Com3");
    EXPECT_EQ(Status(1), "s1");  // status texts stay where they were
    EXPECT_EQ(state.selectedRow, 2);
    EXPECT_EQ(config.devices.deviceCount(), 2);
    EXPECT_EQ(SectionsOnDisk(), (std::vector<std::string>{"ayarlar", "cihaz1", "cihaz2"}));
    EXPECT_EQ(OnDisk("cihaz1", "adi"), "cihaz-a");
    EXPECT_EQ(OnDisk("cihaz2", "adi"), "cihaz-c");
    EXPECT_EQ(OnDisk("cihaz2", "baglantitipi"), "Comm Port");
    EXPECT_EQ(OnDisk("cihaz2", "makineno"), "3");
    // Colours stay with the positions.
    EXPECT_EQ(grid.Background(0, 1), 0xE8F0FFu);
}

TEST_F(SettingsTest, DeletingTheSelectedLastRowSelectsTheNewLastRow) {
    Open({{"a", "Ethernet", "1", "Com1", "9600", "10.0.0.1", "4370"},
          {"b", "Ethernet", "1", "Com1", "9600", "10.0.0.2", "4370"},
          {"c", "Ethernet", "1", "Com1", "9600", "10.0.0.3", "4370"}});
    Select(2);
    commands->DeleteSelectedDevice();
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Text(kFieldName, 0), "a");
    EXPECT_EQ(grid.Text(kFieldName, 1), "b");
    EXPECT_EQ(state.selectedRow, 2);
    EXPECT_EQ(view.selectedRows.back(), 1);
    EXPECT_EQ(SectionsOnDisk(), (std::vector<std::string>{"ayarlar", "cihaz1", "cihaz2"}));

    // The next command works on the row that is now selected.
    commands->TestSelectedDevice();
    EXPECT_EQ(Status(1), kConnectedText);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(SettingsTest, TheLastDeviceCannotBeDeleted) {
    Open({kNetworkRow});
    const std::string before = ReadAll(iniPath);
    commands->DeleteSelectedDevice();
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(ReadAll(iniPath), before);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(SettingsTest, NewRowGetsTheDefaultsAndIsSelected) {
    Open({kNetworkRow, kSerialRow, kNetworkRow});
    const std::string before = ReadAll(iniPath);
    commands->AddDevice();
    ASSERT_EQ(grid.RowCount(), 4);
    const std::array<const char*, 10> expected = {
        "Cihaz4", "Ethernet", "1", "Com1", "115200", "192.168.1.201", "4370", "", "Standart", ""};
    for (int c = 0; c < kSettingsColumnCount; ++c) EXPECT_EQ(grid.Text(c, 3), expected[c]) << c;
    EXPECT_EQ(state.selectedRow, 4);
    EXPECT_EQ(view.selectedRows.back(), 3);
    EXPECT_EQ(view.scrolledRows.back(), 3);
    EXPECT_EQ(grid.Background(9, 3), 0xE8F0FFu);
    // The table grows by an empty record; the file waits for a save.
    EXPECT_EQ(config.devices.deviceCount(), 4);
    EXPECT_EQ(config.devices.at(4).name(), "");
    EXPECT_EQ(ReadAll(iniPath), before);

    commands->WriteBackDevices();
    EXPECT_EQ(config.devices.at(4).name(), "Cihaz4");
    EXPECT_EQ(OnDisk("cihaz4", "ipadres"), "192.168.1.201");
}

TEST_F(SettingsTest, NewRowOnAnEmptyListIsCihaz1) {
    Show();
    commands->AddDevice();
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Text(kFieldName, 0), "Cihaz1");
    EXPECT_EQ(state.selectedRow, 1);
}

TEST_F(SettingsTest, A257thDeviceIsRefused) {
    std::vector<Row> rows(kMaxStoredDevices, kNetworkRow);
    Open(rows);
    ASSERT_EQ(grid.RowCount(), 256);
    commands->AddDevice();
    EXPECT_EQ(grid.RowCount(), 256);
    EXPECT_EQ(config.devices.deviceCount(), 256);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], kTooManyDevicesText);
}

TEST_F(SettingsTest, LongNamesAreSavedWholeButCutInTheTable) {
    Open({kNetworkRow});
    const std::string name = "Üretim Bandı Giriş Kapısı";  // 25 characters
    grid.SetText(kFieldName, 0, name);
    grid.SetText(kFieldPassword, 0, "şifre東");  // a character 1254 cannot hold
    commands->SaveDeviceList();
    EXPECT_EQ(OnDisk("cihaz1", "adi"), name);
    EXPECT_EQ(config.devices.at(1).name(), "Giris");  // the table waits for closing

    commands->WriteBackDevices();
    EXPECT_EQ(config.devices.at(1).name(), "Üretim Bandı Giriş K");
    EXPECT_EQ(config.devices.at(1).password(), "şifre?");
    EXPECT_EQ(OnDisk("cihaz1", "adi"), name);
}

TEST_F(SettingsTest, ARefusedSaveKeepsTheOldFileWhole) {
    fs = &failing;
    using Command = void (SettingsCommands::*)();
    const std::array<std::pair<const char*, Command>, 3> cases = {{
        {"Kaydet", &SettingsCommands::SaveDeviceList},
        {"Sil", &SettingsCommands::DeleteSelectedDevice},
        {"Çıkış", &SettingsCommands::WriteBackDevices},
    }};
    for (const auto& [what, command] : cases) {
        SCOPED_TRACE(what);
        failing.failPathContaining.clear();
        Open({kNetworkRow, kSerialRow});
        const std::string before = ReadAll(iniPath);
        grid.SetText(kFieldName, 0, "yeni ad");
        failing.failPathContaining = "cihazlar.ini";
        try {
            (commands.get()->*command)();
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Io);
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + iniPath);
        }
        EXPECT_EQ(ReadAll(iniPath), before);
        EXPECT_EQ(ini->ReadString("cihaz1", "adi", ""), "Giris");
        // No temporary file is left behind.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST_F(SettingsTest, NothingIsSavedWhileATransferHoldsTheProgramFolder) {
    using Command = std::function<void()>;
    const std::array<std::pair<const char*, Command>, 4> cases = {{
        {"Kaydet", [this] { commands->SaveDeviceList(); }},
        {"Sil", [this] { commands->DeleteSelectedDevice(); }},
        {"Çıkış", [this] { commands->WriteBackDevices(); }},
        {"dosya", [this] { commands->SetRecordFile("baska.txt"); }},
    }};
    for (const auto& [what, command] : cases) {
        SCOPED_TRACE(what);
        Open({kNetworkRow, kSerialRow});
        const std::string before = ReadAll(iniPath);
        grid.SetText(kFieldName, 0, "yeni ad");
        {
            const TransferLock transfer(home.path(), home.File("qb400.txt"),
                                        std::chrono::milliseconds(0));
            try {
                command();
                ADD_FAILURE() << "no error";
            } catch (const AppError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Busy);
                EXPECT_EQ(std::string(e.what()), kTransferBusyText + home.path());
            }
            EXPECT_EQ(ReadAll(iniPath), before);
            EXPECT_EQ(grid.RowCount(), 2) << "no row lost on the screen either";
        }
        command();  // the transfer is over
        EXPECT_NE(ReadAll(iniPath), before);
    }
}

// --- record file -----------------------------------------------------------

TEST_F(SettingsTest, EveryChangeOfTheRecordFileBoxIsWritten) {
    Open({kNetworkRow});
    for (const char* typed : {"d", "d:", "d:\\k.txt"}) {
        commands->SetRecordFile(typed);
        EXPECT_EQ(config.recordFilePath, typed);
        EXPECT_EQ(OnDisk("ayarlar", "dosya"), typed);
    }
}

TEST_F(SettingsTest, ChangeTakesTheChosenFileAndCancelKeepsThePath) {
    Open({kNetworkRow}, "dosya=eski.txt\r\n");
    const std::string before = ReadAll(iniPath);
    view.chosenFile.reset();
    commands->ChooseRecordFile();
    EXPECT_EQ(config.recordFilePath, "eski.txt");
    EXPECT_EQ(view.recordFileText, "eski.txt");
    EXPECT_EQ(ReadAll(iniPath), before);

    view.chosenFile = "/veri/kayit.txt";
    commands->ChooseRecordFile();
    EXPECT_EQ(config.recordFilePath, "/veri/kayit.txt");
    EXPECT_EQ(view.recordFileText, "/veri/kayit.txt");
    EXPECT_EQ(OnDisk("ayarlar", "dosya"), "/veri/kayit.txt");
}

// --- commands on the current row -------------------------------------------

using Command = void (SettingsCommands::*)();

struct RowCommand {
    const char* name;
    Command command;
    const char* startText;
    const char* doneText;
    const char* terminalCall;  // the operation that does the work
};
void PrintTo(const RowCommand& c, std::ostream* os) { *os << c.name; }

const std::array<RowCommand, 5> kRowCommands = {{
    {"bagtest", &SettingsCommands::TestSelectedDevice, kCheckingText, kConnectedText, nullptr},
    {"tarihoku", &SettingsCommands::ReadTerminalClock, kClockReadingText, kClockReadText,
     "GetDeviceClock"},
    {"tarihkaydet", &SettingsCommands::WriteTerminalClock, kClockSavingText, kClockSavedText,
     "SetDeviceClock"},
    {"BitBtn4", &SettingsCommands::ClearAdministrators, kAdminsClearingText, kAdminsClearedText,
     "ClearAdministrators"},
    {"BitBtn2", &SettingsCommands::ResetTerminal, kResettingText, kResetDoneText, "ClearAllData"},
}};

class RowCommandTest : public SettingsTest, public testing::WithParamInterface<RowCommand> {
  protected:
    // Three rows, the serial one in the middle selected, old texts everywhere.
    void SetUp() override {
        Open({kNetworkRow, kSerialRow, kNetworkRow});
        Select(1);
        SetAllStatus("eski");
        view.dialogButton = kDialogYes;
    }
    void Run() { (commands.get()->*GetParam().command)(); }
};

TEST_P(RowCommandTest, ReportsOnTheCurrentRowOnly) {
    const RowCommand& c = GetParam();
    Run();
    EXPECT_EQ(Status(0), "");
    EXPECT_EQ(Status(1), c.doneText);
    EXPECT_EQ(Status(2), "");
    // The start text is painted before the terminal is contacted.
    ASSERT_FALSE(view.repaintedStatus.empty());
    EXPECT_EQ(view.repaintedStatus.front(), (std::vector<std::string>{"", c.startText, ""}));
    ASSERT_FALSE(link.calls.empty());
    EXPECT_EQ(link.calls.front(), "ConnectSerial");
    if (c.terminalCall != nullptr) {
        EXPECT_EQ(Count(c.terminalCall), 1u);
    }
    EXPECT_EQ(link.calls.back(), "Disconnect");
    EXPECT_FALSE(link.IsConnected());
    EXPECT_FALSE(state.settingsConnected);
    EXPECT_TRUE(view.messages.empty());
}

TEST_P(RowCommandTest, AFailedConnectionSendsNothing) {
    link.refuseConnect = true;
    Run();
    EXPECT_EQ(Status(1), kConnectFailedText);
    EXPECT_EQ(Status(0), "");
    EXPECT_EQ(link.calls, std::vector<std::string>{"ConnectSerial"});
    EXPECT_EQ(terminal.state().users.size(), 4u);
    EXPECT_EQ(terminal.state().users.at(4).privilege, 3);
    EXPECT_EQ(view.clockText, "");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_FALSE(state.settingsConnected);
}

TEST_P(RowCommandTest, NothingToDoOnAnEmptyListOrAMissingRow) {
    // A selected row past the end of the list.
    state.selectedRow = 4;
    Run();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], kNoSelectedDeviceText);
    EXPECT_EQ(Status(0), "eski");  // nothing was touched
    EXPECT_TRUE(link.calls.empty());

    WriteAll(iniPath, "");
    Show();
    Run();
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1], kNoDevicesText);
    EXPECT_TRUE(link.calls.empty());
    EXPECT_EQ(view.dialogsShown, 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, RowCommandTest, testing::ValuesIn(kRowCommands),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, ConversionErrorsEndTheCommandBeforeTheTerminal) {
    struct Case {
        const char* what;
        Command command;
        Row row;
        const char* message;
        const char* statusLeft;  // nullptr: the status column is not touched
    };
    const std::array<Case, 7> cases = {{
        {"network row without IP port",
         &SettingsCommands::ReadTerminalClock,
         {"x", "Ethernet", "1", "Com1", "9600", "10.0.0.1", ""},
         "'' is not a valid integer value",
         kClockReadingText},
        {"baud rate converted first",
         &SettingsCommands::TestSelectedDevice,
         {"x", "Comm Port", "x1", "Co", "abc", "", ""},
         "'abc' is not a valid integer value",
         kCheckingText},
        {"then the machine number",
         &SettingsCommands::ClearAdministrators,
         {"x", "Comm Port", "x1", "Co", "9600", "", ""},
         "'x1' is not a valid integer value",
         kAdminsClearingText},
        {"then the fourth character of the port",
         &SettingsCommands::WriteTerminalClock,
         {"x", "ethernet", "1", "Co", "9600", "10.0.0.1", "4370"},
         "'' is not a valid integer value",
         kClockSavingText},
        {"reset after Evet",
         &SettingsCommands::ResetTerminal,
         {"x", "", "1", "Com1", "", "", ""},
         "'' is not a valid integer value",
         kResettingText},
        {"personnel on a serial row without IP port",
         &SettingsCommands::OpenPersonnelWindow,
         {"x", "Comm Port", "1", "Com1", "9600", "", ""},
         "'' is not a valid integer value",
         nullptr},
        {"personnel with a bad machine number",
         &SettingsCommands::OpenPersonnelWindow,
         {"x", "Ethernet", "bir", "Com1", "9600", "10.0.0.1", "4370"},
         "'bir' is not a valid integer value",
         nullptr},
    }};
    view.dialogButton = kDialogYes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Open({c.row});
        SetAllStatus("eski");
        try {
            (commands.get()->*c.command)();
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Conversion);
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_TRUE(link.calls.empty());
        EXPECT_EQ(Status(0), c.statusLeft != nullptr ? c.statusLeft : "eski");
    }
    EXPECT_EQ(view.personnelShown, 0);
}

TEST_F(SettingsTest, ABadMachineNumberOnANetworkRowLeavesTheLinkToTheTimer) {
    Open({{"x", "Ethernet", "bir", "Com1", "9600", "10.0.0.1", "4370"}});
    EXPECT_THROW(commands->ClearAdministrators(), AppError);
    EXPECT_EQ(link.calls, std::vector<std::string>{"ConnectNetwork"});
    EXPECT_EQ(Status(0), kAdminsClearingText);
    EXPECT_TRUE(link.IsConnected());
    commands->Tick();
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(terminal.state().users.at(4).privilege, 3);
}

// --- connection tests ------------------------------------------------------

TEST_F(SettingsTest, TestAllTriesEachRowByItsExactType) {
    const Row lowerCase{"x", "ethernet", "1", "Com1", "9600", "10.0.0.1", "4370"};
    struct Case {
        bool refuse;
        std::array<const char*, 3> status;
    };
    const std::array<Case, 2> cases = {{
        {false, {kConnectedText, kCheckingText, kConnectedText}},
        {true, {kConnectFailedText, kCheckingText, kConnectFailedText}},
    }};
    for (const auto& c : cases) {
        Open({kNetworkRow, lowerCase, kSerialRow});
        Select(2);
        link.refuseConnect = c.refuse;
        commands->TestAllDevices();
        for (int r = 0; r < 3; ++r) EXPECT_EQ(Status(r), c.status[r]) << r;
        EXPECT_EQ(Count("ConnectNetwork"), 1u);
        EXPECT_EQ(Count("ConnectSerial"), 1u);
        EXPECT_EQ(Count("Disconnect"), c.refuse ? 0u : 2u);
        EXPECT_FALSE(link.IsConnected());
        EXPECT_EQ(state.selectedRow, 3);  // the current row is not moved
    }
}

TEST_F(SettingsTest, TestAllStopsAtABadRow) {
    const Row badBaud{"x", "Comm Port", "1", "Com1", "", "", ""};
    Open({kNetworkRow, badBaud, kNetworkRow});
    SetAllStatus("eski");
    EXPECT_THROW(commands->TestAllDevices(), AppError);
    EXPECT_EQ(Status(0), kConnectedText);
    EXPECT_EQ(Status(1), kCheckingText);
    EXPECT_EQ(Status(2), "");
    EXPECT_EQ(link.calls, (std::vector<std::string>{"ConnectNetwork", "Disconnect"}));
}

TEST_F(SettingsTest, TestAllOnAnEmptyListSaysSo) {
    Show();
    commands->TestAllDevices();
    EXPECT_EQ(view.messages, std::vector<std::string>{kNoDevicesText});
    EXPECT_TRUE(link.calls.empty());
}

// --- clock -----------------------------------------------------------------

TEST_F(SettingsTest, ReadingTheClockShowsTheTerminalsTime) {
    Open({kNetworkRow});
    const ClockValue t = terminal.Clock(pcNow);
    commands->ReadTerminalClock();
    EXPECT_EQ(view.clockText, ClockText(t.year, t.month, t.day, t.hour, t.minute, t.second));
    EXPECT_NE(view.clockText, view.pcClock);  // the terminal is a year behind
    EXPECT_TRUE(commands->lastClockAnswered());

    commands->ClearClockText();
    EXPECT_EQ(view.clockText, "");
}

TEST_F(SettingsTest, AClockThatDoesNotAnswerShowsZeros) {
    Open({{"x", "Ethernet", "2", "Com1", "9600", "10.0.0.1", "4370"}});  // terminal is number 1
    commands->ReadTerminalClock();
    EXPECT_EQ(Status(0), kClockReadText);
    EXPECT_EQ(view.clockText, "00/00/0000  00:00:00");
    EXPECT_FALSE(commands->lastClockAnswered());
}

TEST_F(SettingsTest, SettingTheClockUsesThePcTimeAndTheTimerTakesTheLabelBack) {
    Open({kSerialRow});
    pcNow += 5;  // the label still shows the time of the showing
    commands->WriteTerminalClock();
    const ClockValue t = terminal.Clock(pcNow);
    EXPECT_EQ(ClockText(t.year, t.month, t.day, t.hour, t.minute, t.second),
              "05/03/2009  14:07:14");
    EXPECT_EQ(view.clockText, "05/03/2009  14:07:14");
    EXPECT_EQ(view.pcClock, "05/03/2009  14:07:14");
    EXPECT_TRUE(commands->lastClockAnswered());

    pcNow += 61;
    link.calls.clear();
    commands->Tick();
    EXPECT_EQ(view.pcClock, "05/03/2009  14:08:15");
    EXPECT_EQ(link.calls, std::vector<std::string>{"Disconnect"});
}

// --- maintenance -----------------------------------------------------------

TEST_F(SettingsTest, ClearingAdministratorsAsksNothingAndKeepsTheUsers) {
    Open({kNetworkRow});
    commands->ClearAdministrators();
    EXPECT_EQ(view.dialogsShown, 0);
    ASSERT_EQ(terminal.state().users.size(), 4u);
    for (const auto& [number, user] : terminal.state().users)
        EXPECT_EQ(user.privilege, 0) << number;
    EXPECT_EQ(Status(0), kAdminsClearedText);
}

TEST_F(SettingsTest, ResetOnlyAfterEvet) {
    Open({kNetworkRow, kNetworkRow});
    SetAllStatus("eski");
    view.dialogButton = kDialogYes;
    commands->ResetTerminal();
    EXPECT_EQ(view.dialogsShown, 1);
    EXPECT_FALSE(view.connectedWhenShown);
    EXPECT_EQ(view.windowRepaints, 1);
    EXPECT_TRUE(terminal.state().users.empty());
    EXPECT_TRUE(terminal.state().templates.empty());
    EXPECT_TRUE(terminal.state().log.empty());
    EXPECT_EQ(Status(0), kResetDoneText);
    EXPECT_EQ(Status(1), "");
}

TEST_F(SettingsTest, ResetStaysOnItsRowWhenTheDialogSelectsTheFirstOne) {
    Open({kNetworkRow, kSerialRow});
    Select(1);
    view.dialogButton = kDialogYes;
    view.reactivateAfterDialog = true;
    commands->ResetTerminal();
    EXPECT_EQ(state.selectedRow, 1) << "the first row is selected after the dialog";
    ASSERT_FALSE(link.calls.empty());
    EXPECT_EQ(link.calls.front(), "ConnectSerial") << "the serial row's terminal";
    EXPECT_EQ(Count("ConnectNetwork"), 0u);
    EXPECT_EQ(Count("ClearAllData"), 1u);
    EXPECT_EQ(Status(0), "");
    EXPECT_EQ(Status(1), kResetDoneText);
}

TEST_F(SettingsTest, HayirAndTheCloseBoxLeaveTheTerminalAlone) {
    // The close box comes after an "Evet" given at an earlier showing.
    const std::array<std::optional<int>, 2> buttons = {kDialogNo, std::nullopt};
    for (const auto& button : buttons) {
        SCOPED_TRACE(button ? "Hayır" : "close box");
        Open({kNetworkRow, kNetworkRow});
        SetAllStatus("eski");
        dialogAnswer = kDialogYes;
        view.dialogButton = button;
        commands->ResetTerminal();
        EXPECT_EQ(view.answerWhenShown, kDialogNoAnswer);
        EXPECT_TRUE(link.calls.empty());
        EXPECT_EQ(terminal.state().users.size(), 4u);
        EXPECT_EQ(Status(0), "");
        EXPECT_EQ(Status(1), "");
        EXPECT_EQ(view.windowRepaints, 0);
    }
}

// --- personnel -------------------------------------------------------------

TEST_F(SettingsTest, PersonnelButtonTestsNetworkRowsOnly) {
    struct Case {
        const char* what;
        Row row;
        bool refuse;
        std::vector<std::string> calls;
        int shown;
        int closed;
    };
    const Row serial{"Depo", "Comm Port", "3", "Com2", "9600", "", "4370"};
    const std::array<Case, 3> cases = {{
        {"network", kNetworkRow, false, {"ConnectNetwork"}, 1, 0},
        {"network refused", kNetworkRow, true, {"ConnectNetwork"}, 0, 1},
        {"serial, no test", serial, true, {}, 1, 0},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        view.personnelShown = view.closed = 0;
        view.messages.clear();
        Open({c.row});
        grid.SetText(kFieldName, 0, "yeni ad");
        link.refuseConnect = c.refuse;
        commands->OpenPersonnelWindow();
        EXPECT_EQ(link.calls, c.calls);
        EXPECT_EQ(view.personnelShown, c.shown);
        EXPECT_EQ(view.closed, c.closed);
        // A refused test says so, and closing writes the list back.
        EXPECT_EQ(view.messages.size(), static_cast<size_t>(c.closed));
        if (c.closed == 1) {
            EXPECT_EQ(view.messages[0], kConnectFailedText);
            EXPECT_EQ(config.devices.at(1).name(), "yeni ad");
            EXPECT_EQ(OnDisk("cihaz1", "adi"), "yeni ad");
        }
    }
    // The last fill: the serial row.
    EXPECT_EQ(state.link.linkType, 2);
    EXPECT_EQ(state.link.linkComPort, 2);
    EXPECT_EQ(state.link.linkMachineNumber, 3);
    EXPECT_EQ(state.link.linkBaudRate, 9600);
}

TEST_F(SettingsTest, PersonnelTestConnectionStaysOpenUntilTheTimer) {
    Open({kNetworkRow});
    commands->OpenPersonnelWindow();
    EXPECT_EQ(state.link.linkType, 1);
    EXPECT_EQ(state.link.linkIpAddress, "127.0.0.1");
    EXPECT_EQ(state.link.linkIpPort, 4370);
    EXPECT_TRUE(link.IsConnected());
    commands->Tick();
    EXPECT_FALSE(link.IsConnected());
}

}  // namespace
