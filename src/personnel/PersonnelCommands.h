#pragma once
// The personnel window's commands, free of any toolkit: the terminal's users
// in the grid `grid` beside the personnel store in the grid `griddisk`, and
// the transfers of personnel information and fingerprint templates between
// them. Tpersonelform forwards its events here.
//
// Errors the handlers do not expect (a Per.No that is not an integer, a
// refused store write, a failing link) leave as AppError, for the caller's
// standard error box. A command that writes the store and ends early keeps
// the rows it finished (unticked, on disk); a refused store write takes the
// command's store changes and its grid changes back, so the rows stay ticked
// for another try.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/GridModel.h"

namespace aktarim {

class PersonnelStore;
class TerminalLink;
struct ConnectionState;

// Columns of both grids.
inline constexpr int kPersonnelColumnPerNo = 0;
inline constexpr int kPersonnelColumnIsim = 1;
inline constexpr int kPersonnelColumnYetki = 2;
inline constexpr int kPersonnelColumnKartNo = 3;
inline constexpr int kPersonnelColumnSifre = 4;
inline constexpr int kPersonnelColumnParmakIzi = 5;
inline constexpr int kPersonnelColumnSec = 6;
inline constexpr int kPersonnelColumnCount = 7;

// Row backgrounds of both grids (0xRRGGBB); the first row is an even one.
inline constexpr uint32_t kPersonnelEvenRowColour = 0xFFFFE1;
inline constexpr uint32_t kPersonnelOddRowColour = 0xFFFFC5;

// Pictures of the PC grid's column "Parmak izi".
inline constexpr int kNoFingerprintPicture = 0;
inline constexpr int kFingerprintPicture = 1;

// Captions of the progress box GroupBox1.
inline constexpr const char* kLoadingTerminalCaption = "Cihazdaki Personeller Yükleniyor";
inline constexpr const char* kLoadingStoreCaption = "Bilgisayardaki Personeller Yükleniyor";
inline constexpr const char* kPersonnelToStoreCaption =
    "Personel bilgileri bilgisayara kopyalanıyor";
inline constexpr const char* kPersonnelToTerminalCaption = "Personel bilgileri cihaza kopyalanıyor";
inline constexpr const char* kTemplatesToStoreCaption = "Parmak izleri bilgisayara kopyalanıyor";
inline constexpr const char* kTemplatesToTerminalCaption = "Parmak izleri cihaza kopyalanıyor";
inline constexpr const char* kDeletingOnTerminalCaption = "Personeller cihazdan siliniyor";
inline constexpr const char* kDeletingInStoreCaption = "Personeller bilgisayardan siliniyor";

// The columns of `grid` (the terminal's users) and of `griddisk` (the store).
std::vector<GridColumn> TerminalGridColumns();
std::vector<GridColumn> StoreGridColumns();

// What the commands ask of the window that shows them.
class PersonnelView {
  public:
    virtual ~PersonnelView() = default;
    // Shows GroupBox1 with this caption and paints it now.
    virtual void ShowProgress(const std::string& caption) = 0;
    // ProgressBar1's position, 0..100; RepaintProgress paints it.
    virtual void SetProgress(int percent) = 0;
    virtual void HideProgress() = 0;
    // Paint now, before the next blocking call.
    virtual void RepaintTerminalGrid() = 0;
    virtual void RepaintStoreGrid() = 0;
    virtual void RepaintProgress() = 0;
    // Brings a row (which exists) into view.
    virtual void ScrollTerminalTo(int row) = 0;
    virtual void ScrollStoreTo(int row) = 0;
    // A message box with an OK button; returns once it is closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // Closes the window, which then runs Release like any close.
    virtual void CloseWindow() = 0;
};

class PersonnelCommands {
  public:
    PersonnelCommands(GridModel& grid, GridModel& griddisk, PersonnelStore& store,
                      TerminalLink& link, ConnectionState& state, PersonnelView& view);

    // Window events. ConnectTerminal connects from the link parameters; LoadBothLists
    // loads both grids once per opening; Release (any way of closing)
    // releases the store, disconnects and empties both grids, once.
    void ConnectTerminal();
    void LoadBothLists();
    void Release();

    // A PC grid cell has been edited: İsim, Yetki, Kart no and Şifre are
    // written to the store at once.
    void StoreEditedCell(int column, int row);
    // A grid has sorted its rows: the row colours alternate again.
    void RecolourTerminalRows();
    void RecolourStoreRows();

    // Selection buttons: all on, all off, inverted.
    void TickAllTerminalRows();
    void UntickAllTerminalRows();
    void InvertTerminalTicks();
    void TickAllStoreRows();
    void UntickAllStoreRows();
    void InvertStoreTicks();

    // "Çıkış".
    void Exit();

    // Personnel information: ticked terminal rows into the store ("Al"),
    // ticked PC rows onto the terminal ("Gönder").
    void CopyPersonnelToStore();
    void CopyPersonnelToTerminal();
    // Fingerprint templates, the same two ways.
    void CopyTemplatesToStore();
    void CopyTemplatesToTerminal();
    // "Sil": the ticked terminal rows on the terminal, then the ticked PC
    // rows in the store. After a PC load that did not finish, the PC grid
    // is not the list, so the store side leaves the list and the details
    // as they are on disk.
    void DeleteTicked();

    // Shared routines.
    void ColourTerminalRow(int row);
    void ColourStoreRow(int row);
    // Adds the person of a terminal row to the store and as a new last PC
    // row; the picture shows a fingerprint when templateIndex >= 0.
    void AddPersonFromTerminalRow(int32_t number, int terminalRow, int templateIndex);
    // The first terminal row whose Per.No is key, or -1 (also when empty).
    int FindTerminalRow(std::string_view key) const;

    // The terminal's user count as last read (at the load and after the
    // personnel "Gönder").
    int32_t userCount() const { return userCount_; }

  private:
    // Runs a command that writes the store: its writes reach the disk
    // together at the end. When the command ends early the rows it finished
    // are kept; when the store refuses the writes, both grids go back to
    // where they were.
    void RunStoreCommand(const std::function<void()>& body);
    void SetAllTicks(GridModel& grid, const std::function<bool(bool)>& tick);
    void CopyTextsToTerminalRow(int pcRow, int terminalRow);
    void ColourAllTerminalRows();
    void ColourAllStoreRows();
    void DeleteTickedOnTerminal();
    void DeleteTickedInStore();

    GridModel& grid_;
    GridModel& griddisk_;
    PersonnelStore& store_;
    TerminalLink& link_;
    ConnectionState& state_;
    PersonnelView& view_;
    int32_t userCount_ = 0;
    bool shown_ = false;
    bool loaded_ = false;
    // The PC grid shows the whole list: its load ran to the end. Only then
    // may "Sil" rebuild the list from it.
    bool storeLoaded_ = false;
};

}  // namespace aktarim
