#pragma once
// The settings window's commands, free of any toolkit: the device list
// editor, the record file, the connection tests, the device clock and the
// maintenance commands. Tayarlarform forwards its events here; aktarim-cli's
// `clock` runs the same handlers through a console view.
//
// Errors the handlers do not expect (a cell that is not an integer, a refused
// write of cihazlar.ini, a failing link) leave as AppError, for the caller's
// standard error box.
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DeviceConfig.h"
#include "core/GridModel.h"

namespace aktarim {

class IniFile;
class TerminalLink;
struct ConnectionState;

// Status texts of the column "İşlem Durumu" ("Bağlantı Kuruldu" and
// "Bağlantı Kurulamadı" come from terminal/ConnectionRules.h).
inline constexpr const char* kCheckingText = "Kontrol Ediliyor";
inline constexpr const char* kClockReadingText = "Tarih/saat Okunuyor";
inline constexpr const char* kClockReadText = "Tarih/Saat okundu";
inline constexpr const char* kClockSavingText = "Tarih/saat kaydediliyor";
inline constexpr const char* kClockSavedText = "Tarih/Saat Kaydedildi";
inline constexpr const char* kAdminsClearingText = "Yetkililer siliniyor";
inline constexpr const char* kAdminsClearedText = "Yetkililer silindi";
inline constexpr const char* kResettingText = "Cihaz Sıfırlanıyor";
inline constexpr const char* kResetDoneText = "Cihaz Sıfırlandı";

// The two lines of the warning dialog Tuyariform before a reset.
inline constexpr const char* kResetWarningLine1 =
    "Cihaz içinde kayıtlı bulunan tüm personel bilgileri silinecektir.";
inline constexpr const char* kResetWarningLine2 = "Cihazı sıfırlamak istediğinizden emin misiniz ?";

// Messages for commands that cannot run.
inline constexpr const char* kNoDevicesText = "Listede cihaz yok.";
inline constexpr const char* kNoSelectedDeviceText = "Listede seçili cihaz yok.";
inline constexpr const char* kTooManyDevicesText = "En fazla 256 cihaz tanımlanabilir.";

// Values of dialogAnswer.
inline constexpr int kDialogNoAnswer = 0;
inline constexpr int kDialogYes = 1;
inline constexpr int kDialogNo = 2;

// Row backgrounds of the device grid; the first row is the lighter one.
inline constexpr uint32_t kEvenRowColour = 0xF2F8FF;
inline constexpr uint32_t kOddRowColour = 0xE8F0FF;

inline constexpr int kSettingsColumnCount = 10;

// The ten columns of cihazlist: the nine device fields, then the status.
std::vector<GridColumn> SettingsGridColumns();

// "DD/MM/YYYY  hh:mm:ss" (two blanks between date and time).
std::string ClockText(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second);
// The clock text of a moment in the PC's local time.
std::string LocalClockText(std::time_t moment);

// What the commands ask of the window that shows them.
class SettingsView {
  public:
    virtual ~SettingsView() = default;
    // Paint the grid (or the whole window) now, before a blocking call.
    virtual void RepaintGrid() = 0;
    virtual void RepaintWindow() = 0;
    // A message box with an OK button; returns once it is closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // Shows Tuyariform modally with kResetWarningLine1 and kResetWarningLine2
    // and returns once it is closed. Its buttons leave their answer in
    // dialogAnswer ("Evet" 1, "Hayır" 2); its close box leaves it alone.
    virtual void AskResetConfirmation() = 0;
    // tarihtext, the terminal's clock.
    virtual void SetClockText(const std::string& text) = 0;
    // Label3, the PC's clock.
    virtual void SetPcClockLabel(const std::string& text) = 0;
    // kayityeriedit. Must not call SetRecordFile back: the commands
    // run it themselves when the text changes.
    virtual void SetRecordFileText(const std::string& text) = 0;
    // Focuses the first cell of a row (0-based). The commands set
    // selectedRow themselves, so a view need not report this selection.
    virtual void SelectRow(int row) = 0;
    virtual void ScrollToRow(int row) = 0;
    // OpenDialog1: the chosen file's full path, nullopt when cancelled.
    virtual std::optional<std::string> ChooseFile() = 0;
    // The personnel window, modally; returns once it is closed.
    virtual void ShowPersonnelWindow() = 0;
    // Closes the settings window, which then runs WriteBackDevices like any close.
    virtual void CloseWindow() = 0;
};

class SettingsCommands {
  public:
    // clock gives the PC's time (std::time by default; tests pass their own).
    SettingsCommands(GridModel& grid, Configuration& config, IniFile& configFile,
                     ConnectionState& state, int& dialogAnswer, TerminalLink& link,
                     SettingsView& view, std::function<std::time_t()> clock = {});

    // Window events.
    void ShowDeviceList();
    void SelectFirstDevice();
    void WriteBackDevices();

    // Device list.
    void SelectDevice(int row);
    void ClearClockText();
    void AddDevice();
    void DeleteSelectedDevice();
    void SaveDeviceList();

    // Record file.
    void SetRecordFile(const std::string& text);
    void ChooseRecordFile();

    // "Personel İşlemleri".
    void OpenPersonnelWindow();

    // Connection tests.
    void TestSelectedDevice();
    void TestAllDevices();

    // Device clock.
    void ReadTerminalClock();
    void WriteTerminalClock();
    void Tick();

    // Maintenance: "Yetkilileri Sil" and "Cihazı Sıfırla".
    void ClearAdministrators();
    void ResetTerminal();

    // Fills the grid from the device table, status column empty (the part of
    // ShowDeviceList that touches neither the view nor cihazlar.ini).
    void FillSettingsGrid();
    void ColourDeviceRows();

    // Whether the terminal answered the last clock read (and set): the
    // window shows whatever came back, a script wants to know.
    bool lastClockAnswered() const { return lastClockAnswered_; }
    // The text last put into kayityeriedit.
    const std::string& recordFileText() const { return recordFileText_; }

  private:
    // Shows why no command can run on the current row; false then.
    bool CheckSelectedRow();
    int CurrentRow() const;
    void ClearStatusColumn();
    void SetStatus(int row, const std::string& text);
    // Clears the status column, shows text on the row, repaints and colours:
    // the start of every command on the current row. The commands take the
    // row once, at their start, and act on it to their end.
    void BeginRowCommand(int row, const char* text);
    // ConnectSelectedDevice for the row the command started on.
    void ConnectRow(int row);
    // "Bağlantı Kuruldu" / "Bağlantı Kurulamadı", or nothing for a type that
    // is neither "Ethernet" nor "Comm Port".
    void TestRow(int row);
    // Reads the terminal's clock into tarihtext; returns its text.
    std::string ReadDeviceClock();
    void SaveGridDevices();
    // The same for a caller that holds the transfer lock already.
    void WriteGridDevices();
    void DisconnectCommand();

    GridModel& grid_;
    Configuration& config_;
    IniFile& configFile_;
    ConnectionState& state_;
    int& dialogAnswer_;
    TerminalLink& link_;
    SettingsView& view_;
    std::function<std::time_t()> clock_;
    std::string recordFileText_ = kDefaultRecordFile;  // kayityeriedit's first text
    bool lastClockAnswered_ = false;
};

}  // namespace aktarim
