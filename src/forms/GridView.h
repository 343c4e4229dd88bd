#pragma once
// The one Qt view over aktarim::GridModel. The windows configure its columns
// through the model and its look through the setters here; they never paint
// cells themselves.
#include <QAbstractTableModel>
#include <QIcon>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <vector>

#include "core/GridModel.h"
#include "forms/PaintThrottle.h"

namespace aktarim {

// Roles beyond Qt's own, for the delegate and for tests.
enum GridRole : int {
    kValueRole = Qt::UserRole + 1,  // progress 0..100 or picture index
    kKindRole,                      // ColumnKind as int
};

// Presents a GridModel to Qt. The core model reports changes after they are
// made, so the row count Qt sees is mirrored and moved on inside each
// begin/end pair.
class GridTableModel : public QAbstractTableModel, public GridObserver {
    Q_OBJECT

  public:
    explicit GridTableModel(GridModel& grid, QObject* parent = nullptr);
    ~GridTableModel() override;

    GridModel& grid() { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void CellChanged(int column, int row) override;
    void RowsInserted(int first, int count) override;
    void RowRemoved(int row) override;
    void Reset() override;

  signals:
    // A cell was changed by the user (an editor committed or a tick toggled).
    void cellEdited(int column, int row);

  private:
    bool Exists(int column, int row) const;

    GridModel& grid_;
    int rows_ = 0;
};

// The view owns its grid model, so the model lives exactly as long as the
// widget that observes it; the windows hand grid() to the logic.
class GridDelegate;

class GridView : public QTableView {
    Q_OBJECT

  public:
    explicit GridView(std::vector<GridColumn> columns, QWidget* parent = nullptr);

    GridModel& grid() { return grid_; }
    const GridModel& grid() const { return grid_; }

    void SetHeaderHeight(int pixels);
    void SetRowHeight(int pixels);
    // Pictures of the picture columns, by index; a missing index draws nothing.
    void SetPictures(std::vector<QIcon> pictures);
    const std::vector<QIcon>& pictures() const { return pictures_; }
    void SetWholeRowSelection(bool on);
    // Header clicks sort by the clicked column in that column's direction.
    void SetSortable(bool on) { sortable_ = on; }
    // Selected rows drawn as a blend of the highlight over the cell colour
    // with bold text, and no focus rectangle.
    void SetBlendedSelection(bool on);
    // No selection drawn while the grid does not have the focus.
    void SetHideSelectionWhenUnfocused(bool on);
    bool hidesSelectionWhenUnfocused() const { return hideSelectionWhenUnfocused_; }
    // Reapplies the model's column widths (after the columns are known).
    void ApplyColumnWidths();

    // Sorts by a column in its direction, then runs the after-sort callback.
    void SortByColumn(int column);
    // Makes the cell current, which selects it (or its row) and runs the
    // cell-selected callback.
    void FocusCell(int column, int row);
    void ScrollToRow(int row);

    // "Repaint at once", throttled to a frame (PaintThrottle).
    void RepaintNow(bool force = false) { paintThrottle_.Request(force); }

    // Callbacks run through RunHandler, so an error shows the error box.
    std::function<void(int column)> onAfterSort;
    std::function<void(int column, int row)> onAfterEdit;
    std::function<void(int column, int row)> onCellSelected;

    static constexpr int kRepaintIntervalMs = PaintThrottle::kIntervalMs;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void RunCallback(const std::function<void()>& body);

    GridModel grid_;
    GridTableModel model_;
    GridDelegate* delegate_;  // owned by this view (Qt parent)
    std::vector<QIcon> pictures_;
    bool sortable_ = false;
    bool hideSelectionWhenUnfocused_ = false;
    PaintThrottle paintThrottle_;
};

// Draws and edits the column kinds: centred tick boxes, combo boxes with free
// text, digit-only editors, solid progress bars and pictures.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    explicit GridDelegate(GridView& view);

    bool blendedSelection = false;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // A text cut short in its cell shows the whole text as its tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // Whether the cell's text is drawn whole (not elided) in its rectangle.
    static bool TextFits(const QStyleOptionViewItem& option, const QString& text);

    static QRect CheckRect(const QStyleOptionViewItem& option, const QWidget* widget);

  private:
    void PaintBackground(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const;

    GridView& view_;
};

// Colours the grids draw with, so that tests can look for them.
inline constexpr QRgb kProgressBarColour = 0xFF316AC5;
inline constexpr QRgb kProgressBorderColour = 0xFF808080;

}  // namespace aktarim
