#include "personnel/PersonnelCommands.h"

#include <unordered_map>
#include <utility>

#include "core/Errors.h"
#include "core/NumberField.h"
#include "core/TerminalLink.h"
#include "core/Text.h"
#include "personnel/PersonnelStore.h"
#include "terminal/ConnectionRules.h"

namespace aktarim {
namespace {

constexpr size_t kKeyCharacters = 10;
// Sent to the terminal: the first 8 characters of a name, 5 of a password.
constexpr size_t kSentNameCharacters = 8;
constexpr size_t kSentPasswordCharacters = 5;
// Fewer removed rows than this are deleted one by one; more, in one pass.
constexpr size_t kSingleRowDeletes = 32;

constexpr PersonField kFieldOfColumn[] = {PersonField::isim, PersonField::yetki,
                                          PersonField::kartno, PersonField::sifre};

std::string KeyOf(const GridModel& grid, int row) {
    return Utf8Left(grid.Text(kPersonnelColumnPerNo, row), kKeyCharacters);
}

int CountTicked(const GridModel& grid) {
    int ticked = 0;
    for (int r = 0; r < grid.RowCount(); ++r)
        if (grid.Checked(kPersonnelColumnSec, r)) ++ticked;
    return ticked;
}

// Per.No text -> first row holding it, so that a command looks a person up
// in constant time; rows a command appends are added as it goes.
class RowIndex {
  public:
    explicit RowIndex(const GridModel& grid) {
        rows_.reserve(static_cast<size_t>(grid.RowCount()));
        for (int r = 0; r < grid.RowCount(); ++r) Add(grid.Text(kPersonnelColumnPerNo, r), r);
    }
    void Add(const std::string& perNo, int row) {
        rows_.emplace(perNo, row);
    }  // the first row wins
    int Find(const std::string& key) const {
        const auto it = rows_.find(key);
        return it == rows_.end() ? -1 : it->second;
    }

  private:
    std::unordered_map<std::string, int> rows_;
};

// The cells of a grid, to put back when a command's store writes are refused.
class GridSnapshot {
  public:
    explicit GridSnapshot(const GridModel& grid) {
        rows_.resize(static_cast<size_t>(grid.RowCount()));
        for (int r = 0; r < grid.RowCount(); ++r)
            for (int c = 0; c < grid.ColumnCount(); ++c)
                rows_[static_cast<size_t>(r)].push_back(grid.Cell(c, r));
    }
    void RestoreTo(GridModel& grid) const { Refill(grid, rows_); }

    static void Refill(GridModel& grid, const std::vector<std::vector<GridCell>>& rows) {
        grid.Clear();
        grid.AppendRows(static_cast<int>(rows.size()));
        for (size_t r = 0; r < rows.size(); ++r) {
            for (size_t c = 0; c < rows[r].size(); ++c) {
                const GridCell& cell = rows[r][c];
                const int column = static_cast<int>(c);
                const int row = static_cast<int>(r);
                if (!cell.text.empty()) grid.SetText(column, row, cell.text);
                if (cell.checked) grid.SetChecked(column, row, true);
                grid.SetValue(column, row, cell.value);
                if (cell.background) grid.SetBackground(column, row, *cell.background);
            }
        }
    }

  private:
    std::vector<std::vector<GridCell>> rows_;
};

// Removes the marked rows. Deleting many rows one at a time from the top of
// a long grid moves the rows below each time, so those are rebuilt in one pass.
void RemoveRows(GridModel& grid, const std::vector<bool>& remove) {
    size_t removed = 0;
    for (bool r : remove) removed += r ? 1 : 0;
    if (removed == 0) return;
    if (removed < kSingleRowDeletes) {
        for (int r = static_cast<int>(remove.size()) - 1; r >= 0; --r)
            if (remove[static_cast<size_t>(r)]) grid.DeleteRow(r);
        return;
    }
    std::vector<std::vector<GridCell>> kept;
    kept.reserve(remove.size() - removed);
    for (int r = 0; r < grid.RowCount(); ++r) {
        if (static_cast<size_t>(r) < remove.size() && remove[static_cast<size_t>(r)]) continue;
        std::vector<GridCell> cells;
        cells.reserve(static_cast<size_t>(grid.ColumnCount()));
        for (int c = 0; c < grid.ColumnCount(); ++c) cells.push_back(grid.Cell(c, r));
        kept.push_back(std::move(cells));
    }
    GridSnapshot::Refill(grid, kept);
}

std::vector<GridColumn> PersonnelColumns(bool store) {
    std::vector<std::string> privileges(std::begin(kPrivilegeNames), std::end(kPrivilegeNames));
    return {
        MakeColumn("Per.No", ColumnKind::Text, 57, false, Alignment::Left, store),
        MakeColumn("İsim", ColumnKind::Text, 64, store),
        MakeColumn("Yetki", ColumnKind::DropDown, 57, store, Alignment::Left, false,
                   std::move(privileges)),
        MakeColumn(store ? "Kart no" : "Kart No", ColumnKind::Text, 63, store),
        MakeColumn("Şifre", ColumnKind::Text, 44, store),
        MakeColumn("Parmak izi", store ? ColumnKind::Picture : ColumnKind::Text, 70, false,
                   Alignment::Centre),
        MakeColumn("Seç", ColumnKind::Check, 41, true, Alignment::Centre, !store),
    };
}

}  // namespace

std::vector<GridColumn> TerminalGridColumns() { return PersonnelColumns(false); }
std::vector<GridColumn> StoreGridColumns() { return PersonnelColumns(true); }

PersonnelCommands::PersonnelCommands(GridModel& grid, GridModel& griddisk, PersonnelStore& store,
                                     TerminalLink& link, ConnectionState& state,
                                     PersonnelView& view)
    : grid_(grid), griddisk_(griddisk), store_(store), link_(link), state_(state), view_(view) {}

// --- window ------------------------------------------------------------------

void PersonnelCommands::ConnectTerminal() {
    shown_ = true;
    if (!ConnectFromLinkParameters(link_, state_,
                                   [this](const std::string& text) { view_.ShowMessage(text); }))
        view_.CloseWindow();
    view_.HideProgress();
}

void PersonnelCommands::LoadBothLists() {
    // Loads once per opening: becoming active again adds no rows.
    if (!state_.personnelConnected || loaded_) return;
    loaded_ = true;
    const int32_t m = state_.currentMachineNumber;

    view_.RepaintTerminalGrid();
    view_.RepaintStoreGrid();
    view_.ShowProgress(kLoadingTerminalCaption);
    view_.SetProgress(0);
    userCount_ = 0;  // a terminal that does not answer has no users to show
    link_.GetStatusValue(m, kStatusUserCount, userCount_);
    link_.LoadUserIds(m);
    for (int32_t b = 1; b <= userCount_; ++b) {
        int32_t number = 0;
        std::string name, password;
        int32_t privilege = 0;
        bool enabled = true;
        // A terminal that delivers fewer users than it counted ends the list.
        if (!link_.NextUserId(m, number, name, password, privilege, enabled)) break;
        // What the list delivered stands when the detailed read fails.
        link_.ReadUserInfo(m, number, name, password, privilege, enabled);
        const int row = grid_.RowCount();
        grid_.AppendRows(1);
        grid_.SetText(kPersonnelColumnPerNo, row, PersonnelKey(number));
        grid_.SetText(kPersonnelColumnIsim, row, name);
        grid_.SetText(kPersonnelColumnYetki, row, PrivilegeName(privilege));
        grid_.SetText(kPersonnelColumnSifre, row, password);
        ColourTerminalRow(row);
        view_.ScrollTerminalTo(row);
        if (b % 10 == 1) view_.RepaintTerminalGrid();
        view_.SetProgress(ProgressPercent(b, userCount_));
        view_.RepaintProgress();
    }
    grid_.SortByColumn(kPersonnelColumnPerNo, false);
    ColourAllTerminalRows();
    view_.RepaintTerminalGrid();

    store_.OpenStore();
    view_.RepaintTerminalGrid();
    view_.ShowProgress(kLoadingStoreCaption);
    const std::vector<std::string> keys = store_.ReadPersonnelList();
    const auto n = static_cast<int64_t>(keys.size());
    for (int c = 0; c < static_cast<int>(keys.size()); ++c) {
        view_.SetProgress(ProgressPercent(c, n));
        view_.RepaintProgress();
        const std::string& key = keys[static_cast<size_t>(c)];
        const PersonRecord person = store_.ReadPerson(key);
        griddisk_.AppendRows(1);
        griddisk_.SetText(kPersonnelColumnPerNo, c, key);
        griddisk_.SetText(kPersonnelColumnIsim, c, person.isim);
        griddisk_.SetText(kPersonnelColumnYetki, c, person.yetki);
        griddisk_.SetText(kPersonnelColumnKartNo, c, person.kartno);
        griddisk_.SetText(kPersonnelColumnSifre, c, person.sifre);
        griddisk_.SetValue(kPersonnelColumnParmakIzi, c, person.fingerprintMark);
        view_.ScrollStoreTo(c);
        if (c % 10 == 1) view_.RepaintStoreGrid();
    }
    ColourAllStoreRows();
    view_.RepaintStoreGrid();
    storeLoaded_ = true;
    view_.HideProgress();
    if (griddisk_.RowCount() > 0) view_.ScrollStoreTo(0);
    if (grid_.RowCount() > 0) view_.ScrollTerminalTo(0);
}

void PersonnelCommands::Release() {
    if (!shown_) return;
    shown_ = false;
    loaded_ = false;
    storeLoaded_ = false;
    store_.CloseStore();
    if (state_.personnelConnected) link_.Disconnect();
    grid_.Clear();
    griddisk_.Clear();
}

void PersonnelCommands::Exit() {
    Release();
    view_.CloseWindow();
}

void PersonnelCommands::StoreEditedCell(int column, int row) {
    if (column < kPersonnelColumnIsim || column > kPersonnelColumnSifre) return;
    store_.WritePersonField(griddisk_.Text(kPersonnelColumnPerNo, row),
                            kFieldOfColumn[column - kPersonnelColumnIsim],
                            griddisk_.Text(column, row));
}

void PersonnelCommands::RecolourTerminalRows() {
    ColourAllTerminalRows();
    view_.RepaintTerminalGrid();
}

void PersonnelCommands::RecolourStoreRows() {
    ColourAllStoreRows();
    view_.RepaintStoreGrid();
}

// --- selection ---------------------------------------------------------------

void PersonnelCommands::SetAllTicks(GridModel& grid, const std::function<bool(bool)>& tick) {
    for (int r = 0; r < grid.RowCount(); ++r)
        grid.SetChecked(kPersonnelColumnSec, r, tick(grid.Checked(kPersonnelColumnSec, r)));
    if (&grid == &grid_)
        view_.RepaintTerminalGrid();
    else
        view_.RepaintStoreGrid();
}

void PersonnelCommands::TickAllTerminalRows() {
    SetAllTicks(grid_, [](bool) { return true; });
}
void PersonnelCommands::UntickAllTerminalRows() {
    SetAllTicks(grid_, [](bool) { return false; });
}
void PersonnelCommands::InvertTerminalTicks() {
    SetAllTicks(grid_, [](bool on) { return !on; });
}
void PersonnelCommands::TickAllStoreRows() {
    SetAllTicks(griddisk_, [](bool) { return true; });
}
void PersonnelCommands::UntickAllStoreRows() {
    SetAllTicks(griddisk_, [](bool) { return false; });
}
void PersonnelCommands::InvertStoreTicks() {
    SetAllTicks(griddisk_, [](bool on) { return !on; });
}

// --- shared routines -----------------------------------------------------------

void PersonnelCommands::ColourTerminalRow(int row) {
    grid_.SetRowBackground(row, row % 2 == 0 ? kPersonnelEvenRowColour : kPersonnelOddRowColour,
                           kPersonnelColumnCount);
}

void PersonnelCommands::ColourStoreRow(int row) {
    griddisk_.SetRowBackground(row, row % 2 == 0 ? kPersonnelEvenRowColour : kPersonnelOddRowColour,
                               kPersonnelColumnCount);
}

void PersonnelCommands::ColourAllTerminalRows() {
    for (int r = 0; r < grid_.RowCount(); ++r) ColourTerminalRow(r);
}

void PersonnelCommands::ColourAllStoreRows() {
    for (int r = 0; r < griddisk_.RowCount(); ++r) ColourStoreRow(r);
}

void PersonnelCommands::AddPersonFromTerminalRow(int32_t number, int terminalRow,
                                                 int templateIndex) {
    const std::string key = grid_.Text(kPersonnelColumnPerNo, terminalRow);
    // The list line names the same key as the section, even for a row whose
    // Per.No is not the usual form of its number.
    if (key == PersonnelKey(number))
        store_.AppendPersonnelNumber(number);
    else
        store_.AppendPersonnelKey(key);
    for (int c = kPersonnelColumnIsim; c <= kPersonnelColumnSifre; ++c)
        store_.WritePersonField(key, kFieldOfColumn[c - kPersonnelColumnIsim],
                                grid_.Text(c, terminalRow));
    const int row = griddisk_.RowCount();
    griddisk_.AppendRows(1);
    griddisk_.SetText(kPersonnelColumnPerNo, row, key);
    // The PC row shows what the store holds, as the next load would.
    for (int c = kPersonnelColumnIsim; c <= kPersonnelColumnSifre; ++c)
        griddisk_.SetText(c, row,
                          store_.ReadPersonField(key, kFieldOfColumn[c - kPersonnelColumnIsim]));
    if (templateIndex >= 0) griddisk_.SetValue(kPersonnelColumnParmakIzi, row, kFingerprintPicture);
    ColourStoreRow(row);
}

int PersonnelCommands::FindTerminalRow(std::string_view key) const {
    for (int r = 0; r < grid_.RowCount(); ++r)
        if (grid_.Text(kPersonnelColumnPerNo, r) == key) return r;
    return -1;
}

void PersonnelCommands::CopyTextsToTerminalRow(int pcRow, int terminalRow) {
    for (int c = kPersonnelColumnPerNo; c <= kPersonnelColumnSifre; ++c)
        grid_.SetText(c, terminalRow, griddisk_.Text(c, pcRow));
}

void PersonnelCommands::RunStoreCommand(const std::function<void()>& body) {
    const GridSnapshot terminalBefore(grid_);
    const GridSnapshot storeBefore(griddisk_);
    auto restore = [&] {
        terminalBefore.RestoreTo(grid_);
        storeBefore.RestoreTo(griddisk_);
        view_.RepaintTerminalGrid();
        view_.RepaintStoreGrid();
    };
    PersonnelStore::Batch batch(store_);
    try {
        body();
    } catch (...) {
        // Keep the rows finished before the error, if the store takes them.
        try {
            batch.Commit();
        } catch (const AppError&) {
            restore();
        }
        throw;
    }
    try {
        batch.Commit();
    } catch (const AppError&) {
        restore();
        throw;
    }
}

// --- personnel information -------------------------------------------------------

void PersonnelCommands::CopyPersonnelToStore() {
    view_.ShowProgress(kPersonnelToStoreCaption);
    view_.SetProgress(0);
    const int selected = CountTicked(grid_);
    RunStoreCommand([&] {
        RowIndex pcRows(griddisk_);
        int done = 0;
        const int rows = grid_.RowCount();
        for (int i = 0; i < rows; ++i) {
            if (!grid_.Checked(kPersonnelColumnSec, i)) continue;
            ++done;
            const std::string perNo = grid_.Text(kPersonnelColumnPerNo, i);
            const int32_t number = StrToInt(perNo);
            const int p =
                griddisk_.RowCount() == 0 ? -1 : pcRows.Find(Utf8Left(perNo, kKeyCharacters));
            if (p >= 0) {
                for (int c = kPersonnelColumnIsim; c <= kPersonnelColumnSifre; ++c)
                    store_.WritePersonField(perNo, kFieldOfColumn[c - kPersonnelColumnIsim],
                                            grid_.Text(c, i));
                griddisk_.SetText(kPersonnelColumnPerNo, p, perNo);
                for (int c = kPersonnelColumnIsim; c <= kPersonnelColumnSifre; ++c)
                    griddisk_.SetText(
                        c, p,
                        store_.ReadPersonField(perNo, kFieldOfColumn[c - kPersonnelColumnIsim]));
            } else {
                AddPersonFromTerminalRow(number, i, -1);
                const int added = griddisk_.RowCount() - 1;
                pcRows.Add(griddisk_.Text(kPersonnelColumnPerNo, added), added);
            }
            grid_.SetChecked(kPersonnelColumnSec, i, false);
            view_.RepaintTerminalGrid();
            view_.SetProgress(ProgressPercent(done, selected));
            view_.RepaintProgress();
            view_.RepaintStoreGrid();
        }
    });
    view_.HideProgress();
}

void PersonnelCommands::CopyPersonnelToTerminal() {
    view_.ShowProgress(kPersonnelToTerminalCaption);
    view_.SetProgress(0);
    const int selected = CountTicked(griddisk_);
    if (griddisk_.RowCount() > 0) {
        const int32_t m = state_.currentMachineNumber;
        RowIndex terminalRows(grid_);
        int done = 0;
        const int rows = griddisk_.RowCount();
        for (int i = 0; i < rows; ++i) {
            if (!griddisk_.Checked(kPersonnelColumnSec, i)) continue;
            ++done;
            const std::string perNo = griddisk_.Text(kPersonnelColumnPerNo, i);
            const int32_t number = StrToInt(perNo);
            const std::string name =
                Utf8Left(griddisk_.Text(kPersonnelColumnIsim, i), kSentNameCharacters);
            const std::string password =
                Utf8Left(griddisk_.Text(kPersonnelColumnSifre, i), kSentPasswordCharacters);
            // An unknown Yetki text is sent as "Normal", never as the
            // privilege of the person before.
            const int32_t privilege = PrivilegeNumber(griddisk_.Text(kPersonnelColumnYetki, i));
            link_.WriteUserInfo(m, number, name, password, privilege, true);
            int p = terminalRows.Find(Utf8Left(perNo, kKeyCharacters));
            if (p < 0) {
                p = grid_.RowCount();
                grid_.AppendRows(1);
                CopyTextsToTerminalRow(i, p);
                terminalRows.Add(grid_.Text(kPersonnelColumnPerNo, p), p);
            } else {
                CopyTextsToTerminalRow(i, p);
            }
            ColourTerminalRow(p);
            griddisk_.SetChecked(kPersonnelColumnSec, i, false);
            view_.RepaintStoreGrid();
            view_.SetProgress(ProgressPercent(done, selected));
            view_.RepaintProgress();
            // The row just written, rather than the one at the PC row's index.
            view_.ScrollTerminalTo(p);
            view_.RepaintTerminalGrid();
        }
        link_.GetStatusValue(m, kStatusUserCount, userCount_);
    }
    view_.HideProgress();
}

// --- fingerprint templates ---------------------------------------------------------

void PersonnelCommands::CopyTemplatesToStore() {
    view_.ShowProgress(kTemplatesToStoreCaption);
    view_.SetProgress(0);
    const int32_t m = state_.currentMachineNumber;
    const int total = CountTicked(grid_);
    link_.LoadAllTemplates(m);
    RunStoreCommand([&] {
        RowIndex pcRows(griddisk_);
        int done = 0;
        const int rows = grid_.RowCount();
        for (int p = 0; p < rows; ++p) {
            if (!grid_.Checked(kPersonnelColumnSec, p)) continue;
            ++done;
            const std::string perNo = grid_.Text(kPersonnelColumnPerNo, p);
            const std::string key = Utf8Left(perNo, kKeyCharacters);
            const int32_t number = StrToInt(key);
            // All ten reads first: a link that fails half-way leaves no
            // half-stored person behind.
            std::vector<std::string> templates;
            for (int32_t finger = 0; finger < kTemplateSlots; ++finger) {
                std::string text;
                int32_t length = 0;
                link_.ReadFingerTemplate(m, number, finger, text, length);
                if (IsTemplateText(text)) templates.push_back(std::move(text));
            }
            const int k = static_cast<int>(templates.size()) - 1;
            for (int slot = 0; slot <= k; ++slot)
                store_.WriteTemplate(perNo, slot, templates[static_cast<size_t>(slot)]);

            const int found = pcRows.Find(key);
            if (found >= 0) {
                if (k >= 0)
                    griddisk_.SetValue(kPersonnelColumnParmakIzi, found, kFingerprintPicture);
            } else if (griddisk_.RowCount() > 0 || k >= 0) {
                AddPersonFromTerminalRow(number, p, k);
                const int added = griddisk_.RowCount() - 1;
                pcRows.Add(griddisk_.Text(kPersonnelColumnPerNo, added), added);
                view_.RepaintStoreGrid();
            }
            view_.SetProgress(ProgressPercent(done, total));
            view_.RepaintProgress();
            grid_.SetChecked(kPersonnelColumnSec, p, false);
            view_.ScrollTerminalTo(p);
            view_.RepaintTerminalGrid();
        }
    });
    view_.HideProgress();
}

void PersonnelCommands::CopyTemplatesToTerminal() {
    view_.ShowProgress(kTemplatesToTerminalCaption);
    view_.SetProgress(0);
    const int32_t m = state_.currentMachineNumber;
    const int total = CountTicked(griddisk_);
    RowIndex terminalRows(grid_);
    int done = 0;
    const int rows = griddisk_.RowCount();
    for (int i = 0; i < rows; ++i) {
        if (!griddisk_.Checked(kPersonnelColumnSec, i)) continue;
        ++done;
        const std::string key = KeyOf(griddisk_, i);
        const int32_t number = StrToInt(key);
        const bool listed = terminalRows.Find(key) >= 0;
        if (!listed) {
            const int32_t privilege = PrivilegeNumber(griddisk_.Text(kPersonnelColumnYetki, i));
            link_.WriteUserInfo(m, number, griddisk_.Text(kPersonnelColumnIsim, i),
                                griddisk_.Text(kPersonnelColumnSifre, i), privilege, true);
        }
        int32_t finger = -1;
        for (int q = 0; q < kTemplateSlots; ++q) {
            const std::string text = store_.ReadTemplate(key, q);
            if (IsTemplateText(text)) link_.WriteFingerTemplate(m, number, ++finger, text);
        }
        if (!listed) {
            const int t = grid_.RowCount();
            grid_.AppendRows(1);
            CopyTextsToTerminalRow(i, t);
            terminalRows.Add(grid_.Text(kPersonnelColumnPerNo, t), t);
            ColourTerminalRow(t);
            view_.RepaintTerminalGrid();
        }
        griddisk_.SetChecked(kPersonnelColumnSec, i, false);
        view_.RepaintStoreGrid();
        view_.SetProgress(ProgressPercent(done, total));
        view_.RepaintProgress();
    }
    view_.HideProgress();
}

// --- deleting ------------------------------------------------------------------------

void PersonnelCommands::DeleteTicked() {
    DeleteTickedOnTerminal();
    DeleteTickedInStore();
}

void PersonnelCommands::DeleteTickedOnTerminal() {
    view_.ShowProgress(kDeletingOnTerminalCaption);
    view_.SetProgress(0);
    const int32_t m = state_.currentMachineNumber;
    const int64_t selected = CountTicked(grid_);
    int64_t steps = 0;
    // Deleted users leave the grid together at the end (or when the link
    // fails), which keeps the command linear in the number of rows.
    std::vector<bool> deleted(static_cast<size_t>(grid_.RowCount()), false);
    try {
        for (int i = 0; i < grid_.RowCount(); ++i) {
            if (!grid_.Checked(kPersonnelColumnSec, i)) continue;
            const int32_t number = StrToInt(KeyOf(grid_, i));
            for (int32_t finger = 0; finger < kTemplateSlots; ++finger) {
                link_.DeleteFingerTemplate(m, number, finger);
                ++steps;
                view_.SetProgress(ProgressPercent(steps, selected * kTemplateSlots));
                view_.RepaintProgress();
            }
            link_.DeleteUserRecord(m, number, 0, 0);
            deleted[static_cast<size_t>(i)] = true;
            grid_.SetChecked(kPersonnelColumnSec, i, false);
            view_.RepaintTerminalGrid();
        }
    } catch (...) {
        RemoveRows(grid_, deleted);
        ColourAllTerminalRows();
        view_.RepaintTerminalGrid();
        throw;
    }
    RemoveRows(grid_, deleted);
    view_.HideProgress();
    ColourAllTerminalRows();
    view_.RepaintTerminalGrid();
}

void PersonnelCommands::DeleteTickedInStore() {
    if (!storeLoaded_) return;
    view_.ShowProgress(kDeletingInStoreCaption);
    view_.SetProgress(0);
    const int selected = CountTicked(griddisk_);
    RunStoreCommand([&] {
        int done = 0;
        std::vector<std::string> kept;
        std::vector<bool> erased(static_cast<size_t>(griddisk_.RowCount()), false);
        for (int i = 0; i < griddisk_.RowCount(); ++i) {
            if (griddisk_.Checked(kPersonnelColumnSec, i)) {
                store_.ErasePerson(griddisk_.Text(kPersonnelColumnPerNo, i));
                ++done;
                view_.SetProgress(ProgressPercent(done, selected));
                view_.RepaintProgress();
                erased[static_cast<size_t>(i)] = true;
            } else {
                kept.push_back(KeyOf(griddisk_, i));
            }
        }
        store_.RebuildPersonnelList(kept);
        RemoveRows(griddisk_, erased);
        view_.RepaintStoreGrid();
    });
    ColourAllStoreRows();
    view_.RepaintStoreGrid();
    view_.HideProgress();
}

}  // namespace aktarim
