#pragma once
// The grid every window shows: columns of a kind, rows of cells holding text,
// a tick, an integer (progress or picture index), a background colour and a
// tool tip.
// Cells are addressed (column, row) with 0-based indexes, like the windows'
// handlers address them. A view observes it; logic never touches the view.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace aktarim {

enum class ColumnKind { Text, Check, DropDown, Numeric, Progress, Picture };
enum class Alignment { Left, Centre, Right };

struct GridColumn {
    std::string header;
    ColumnKind kind = ColumnKind::Text;
    int width = 64;
    bool editable = false;
    std::vector<std::string> items;  // drop-down choices
    Alignment alignment = Alignment::Left;
    bool sortDescending = false;  // the direction a header click sorts in
};

GridColumn MakeColumn(std::string header, ColumnKind kind, int width, bool editable,
                      Alignment alignment = Alignment::Left, bool sortDescending = false,
                      std::vector<std::string> items = {});

struct GridCell {
    std::string text;
    bool checked = false;
    int value = 0;                       // progress 0..100 or picture index
    std::optional<uint32_t> background;  // 0xRRGGBB
    std::string toolTip;                 // shown when the pointer rests on the cell
};

class GridObserver {
  public:
    virtual ~GridObserver() = default;
    virtual void CellChanged(int column, int row) = 0;
    virtual void RowsInserted(int first, int count) = 0;
    virtual void RowRemoved(int row) = 0;
    // Everything may have changed (cleared, sorted).
    virtual void Reset() = 0;
};

class GridModel {
  public:
    explicit GridModel(std::vector<GridColumn> columns);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const GridColumn& Column(int column) const;

    void AppendRows(int count);
    void DeleteRow(int row);
    void Clear();

    // Every access outside the grid throws AppError(Range, ...).
    const GridCell& Cell(int column, int row) const;
    const std::string& Text(int column, int row) const { return Cell(column, row).text; }
    bool Checked(int column, int row) const { return Cell(column, row).checked; }
    int Value(int column, int row) const { return Cell(column, row).value; }
    std::optional<uint32_t> Background(int column, int row) const {
        return Cell(column, row).background;
    }

    void SetText(int column, int row, std::string text);
    void SetChecked(int column, int row, bool checked);
    void SetValue(int column, int row, int value);
    void SetBackground(int column, int row, uint32_t rgb);
    void SetToolTip(int column, int row, std::string text);
    const std::string& ToolTip(int column, int row) const { return Cell(column, row).toolTip; }
    void SetRowBackground(int row, uint32_t rgb, int columnCount = -1);

    // Stable sort of whole rows by one column: text by text, progress and
    // pictures by value, ticks by state.
    void SortByColumn(int column, bool descending);

    void SetObserver(GridObserver* observer) { observer_ = observer; }

  private:
    GridCell& MutableCell(int column, int row);
    void Notify(int column, int row) {
        if (observer_ != nullptr) observer_->CellChanged(column, row);
    }

    std::vector<GridColumn> columns_;
    std::vector<std::vector<GridCell>> rows_;
    GridObserver* observer_ = nullptr;
};

}  // namespace aktarim
