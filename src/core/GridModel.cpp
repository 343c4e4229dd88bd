#include "core/GridModel.h"

#include <algorithm>
#include <utility>

#include "core/Collation.h"
#include "core/Errors.h"

namespace aktarim {
namespace {

[[noreturn]] void ThrowRange(int column, int row) {
    throw AppError(ErrorKind::Range, "Tabloda böyle bir hücre yok (sütun " +
                                         std::to_string(column) + ", satır " + std::to_string(row) +
                                         ")");
}

}  // namespace

GridColumn MakeColumn(std::string header, ColumnKind kind, int width, bool editable,
                      Alignment alignment, bool sortDescending, std::vector<std::string> items) {
    GridColumn c;
    c.header = std::move(header);
    c.kind = kind;
    c.width = width;
    c.editable = editable;
    c.items = std::move(items);
    c.alignment = alignment;
    c.sortDescending = sortDescending;
    return c;
}

GridModel::GridModel(std::vector<GridColumn> columns) : columns_(std::move(columns)) {}

const GridColumn& GridModel::Column(int column) const {
    if (column < 0 || column >= ColumnCount()) ThrowRange(column, 0);
    return columns_[static_cast<size_t>(column)];
}

void GridModel::AppendRows(int count) {
    if (count <= 0) return;
    const int first = RowCount();
    rows_.resize(rows_.size() + static_cast<size_t>(count), std::vector<GridCell>(columns_.size()));
    if (observer_ != nullptr) observer_->RowsInserted(first, count);
}

void GridModel::DeleteRow(int row) {
    if (row < 0 || row >= RowCount()) ThrowRange(0, row);
    rows_.erase(rows_.begin() + row);
    if (observer_ != nullptr) observer_->RowRemoved(row);
}

void GridModel::Clear() {
    rows_.clear();
    if (observer_ != nullptr) observer_->Reset();
}

const GridCell& GridModel::Cell(int column, int row) const {
    if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount())
        ThrowRange(column, row);
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

GridCell& GridModel::MutableCell(int column, int row) {
    return const_cast<GridCell&>(Cell(column, row));
}

void GridModel::SetText(int column, int row, std::string text) {
    MutableCell(column, row).text = std::move(text);
    Notify(column, row);
}

void GridModel::SetChecked(int column, int row, bool checked) {
    MutableCell(column, row).checked = checked;
    Notify(column, row);
}

void GridModel::SetValue(int column, int row, int value) {
    GridCell& cell = MutableCell(column, row);
    if (cell.value == value) return;
    cell.value = value;
    Notify(column, row);
}

void GridModel::SetBackground(int column, int row, uint32_t rgb) {
    MutableCell(column, row).background = rgb;
    Notify(column, row);
}

void GridModel::SetToolTip(int column, int row, std::string text) {
    MutableCell(column, row).toolTip = std::move(text);
    Notify(column, row);
}

void GridModel::SetRowBackground(int row, uint32_t rgb, int columnCount) {
    const int last = columnCount < 0 ? ColumnCount() : std::min(columnCount, ColumnCount());
    for (int c = 0; c < last; ++c) MutableCell(c, row).background = rgb;
    if (observer_ != nullptr)
        for (int c = 0; c < last; ++c) observer_->CellChanged(c, row);
}

void GridModel::SortByColumn(int column, bool descending) {
    const ColumnKind kind = Column(column).kind;
    const auto c = static_cast<size_t>(column);
    auto less = [&](const std::vector<GridCell>& a, const std::vector<GridCell>& b) {
        switch (kind) {
            case ColumnKind::Check:
                return a[c].checked < b[c].checked;
            case ColumnKind::Progress:
            case ColumnKind::Picture:
                return a[c].value < b[c].value;
            default:
                return TurkishLess(a[c].text, b[c].text);
        }
    };
    if (descending)
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&](const auto& a, const auto& b) { return less(b, a); });
    else
        std::stable_sort(rows_.begin(), rows_.end(), less);
    if (observer_ != nullptr) observer_->Reset();
}

}  // namespace aktarim
