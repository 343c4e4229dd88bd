#include "forms/GridView.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QToolTip>
#include <algorithm>

#include "forms/MessageBox.h"

namespace aktarim {
namespace {

bool HoldsText(ColumnKind kind) {
    return kind == ColumnKind::Text || kind == ColumnKind::DropDown || kind == ColumnKind::Numeric;
}

Qt::Alignment ToQt(Alignment alignment) {
    switch (alignment) {
        case Alignment::Centre:
            return Qt::AlignCenter;
        case Alignment::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case Alignment::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

ColumnKind KindOf(const QModelIndex& index) {
    return static_cast<ColumnKind>(index.data(kKindRole).toInt());
}

}  // namespace

// ---------------------------------------------------------------------------
// GridTableModel

GridTableModel::GridTableModel(GridModel& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rows_(grid.RowCount()) {
    grid_.SetObserver(this);
}

GridTableModel::~GridTableModel() { grid_.SetObserver(nullptr); }

bool GridTableModel::Exists(int column, int row) const {
    return row >= 0 && row < grid_.RowCount() && column >= 0 && column < grid_.ColumnCount();
}

int GridTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.ColumnCount();
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    // Qt may still ask for a row the core model has already dropped.
    if (!index.isValid() || !Exists(index.column(), index.row())) return {};
    const GridColumn& column = grid_.Column(index.column());
    const GridCell& cell = grid_.Cell(index.column(), index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            if (HoldsText(column.kind)) return QString::fromStdString(cell.text);
            return {};
        case Qt::CheckStateRole:
            if (column.kind == ColumnKind::Check) return cell.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::BackgroundRole:
            if (cell.background) return QColor(QRgb(0xFF000000u | *cell.background));
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(ToQt(column.alignment));
        case Qt::ToolTipRole:
            if (!cell.toolTip.empty()) return QString::fromStdString(cell.toolTip);
            return {};
        case kValueRole:
            return cell.value;
        case kKindRole:
            return static_cast<int>(column.kind);
        default:
            return {};
    }
}

bool GridTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !Exists(index.column(), index.row())) return false;
    const GridColumn& column = grid_.Column(index.column());
    if (role == Qt::EditRole && HoldsText(column.kind)) {
        grid_.SetText(index.column(), index.row(), value.toString().toStdString());
    } else if (role == Qt::CheckStateRole && column.kind == ColumnKind::Check) {
        grid_.SetChecked(index.column(), index.row(), value.toInt() == Qt::Checked);
    } else {
        return false;
    }
    emit cellEdited(index.column(), index.row());
    return true;
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || !Exists(index.column(), index.row())) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const GridColumn& column = grid_.Column(index.column());
    if (column.editable && HoldsText(column.kind)) flags |= Qt::ItemIsEditable;
    if (column.editable && column.kind == ColumnKind::Check) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= grid_.ColumnCount()) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(grid_.Column(section).header);
    return {};
}

void GridTableModel::CellChanged(int column, int row) {
    if (row >= rows_) return;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell);
}

void GridTableModel::RowsInserted(int first, int count) {
    beginInsertRows({}, first, first + count - 1);
    rows_ += count;
    endInsertRows();
}

void GridTableModel::RowRemoved(int row) {
    beginRemoveRows({}, row, row);
    --rows_;
    endRemoveRows();
}

void GridTableModel::Reset() {
    beginResetModel();
    rows_ = grid_.RowCount();
    endResetModel();
}

// ---------------------------------------------------------------------------
// GridView

GridView::GridView(std::vector<GridColumn> columns, QWidget* parent)
    : QTableView(parent),
      grid_(std::move(columns)),
      model_(grid_),
      delegate_(new GridDelegate(*this)),
      paintThrottle_([this] { viewport()->repaint(); }) {
    setModel(&model_);
    setItemDelegate(delegate_);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setStretchLastSection(false);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the grid for the next control; the arrows move inside it.
    setTabKeyNavigation(false);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; }")
                      .arg(palette().color(QPalette::Button).name()));
    ApplyColumnWidths();

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (sortable_) SortByColumn(column);
    });
    connect(&model_, &GridTableModel::cellEdited, this, [this](int column, int row) {
        if (onAfterEdit) RunCallback([&] { onAfterEdit(column, row); });
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid() && onCellSelected)
                    RunCallback([&] { onCellSelected(current.column(), current.row()); });
            });
}

void GridView::SetHeaderHeight(int pixels) { horizontalHeader()->setFixedHeight(pixels); }

void GridView::SetRowHeight(int pixels) { verticalHeader()->setDefaultSectionSize(pixels); }

void GridView::SetPictures(std::vector<QIcon> pictures) {
    pictures_ = std::move(pictures);
    viewport()->update();
}

void GridView::SetWholeRowSelection(bool on) {
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void GridView::SetBlendedSelection(bool on) {
    delegate_->blendedSelection = on;
    viewport()->update();
}

void GridView::SetHideSelectionWhenUnfocused(bool on) {
    hideSelectionWhenUnfocused_ = on;
    viewport()->update();
}

void GridView::ApplyColumnWidths() {
    for (int c = 0; c < grid_.ColumnCount(); ++c) setColumnWidth(c, grid_.Column(c).width);
}

void GridView::SortByColumn(int column) {
    if (column < 0 || column >= grid_.ColumnCount()) return;
    const bool descending = grid_.Column(column).sortDescending;
    grid_.SortByColumn(column, descending);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column,
                                         descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    if (onAfterSort) RunCallback([&] { onAfterSort(column); });
}

void GridView::FocusCell(int column, int row) {
    const QModelIndex cell = model_.index(row, column);
    if (!cell.isValid()) return;
    setCurrentIndex(cell);
}

void GridView::ScrollToRow(int row) {
    const QModelIndex cell = model_.index(row, 0);
    if (cell.isValid()) scrollTo(cell);
}

void GridView::paintEvent(QPaintEvent* event) {
    paintThrottle_.Painted();
    QTableView::paintEvent(event);
}

void GridView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (hideSelectionWhenUnfocused_) viewport()->update();
}

void GridView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    if (hideSelectionWhenUnfocused_) viewport()->update();
}

void GridView::RunCallback(const std::function<void()>& body) { RunHandler(window(), body); }

// ---------------------------------------------------------------------------
// GridDelegate

GridDelegate::GridDelegate(GridView& view) : QStyledItemDelegate(&view), view_(view) {}

QRect GridDelegate::CheckRect(const QStyleOptionViewItem& option, const QWidget* widget) {
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget);
    const Qt::Alignment alignment = option.displayAlignment & Qt::AlignHorizontal_Mask;
    return QStyle::alignedRect(option.direction, alignment | Qt::AlignVCenter, QSize(w, h),
                               option.rect.adjusted(2, 0, -2, 0));
}

void GridDelegate::PaintBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex&) const {
    const QWidget* widget = option.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    QStyleOptionViewItem panel = option;
    const bool selected = option.state & QStyle::State_Selected;
    if (blendedSelection) panel.state &= ~QStyle::State_Selected;
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, widget);
    if (blendedSelection && selected) {
        QColor highlight = option.palette.color(QPalette::Highlight);
        highlight.setAlpha(96);
        painter->fillRect(option.rect, highlight);
    }
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (blendedSelection) opt.state &= ~QStyle::State_HasFocus;
    if (view_.hidesSelectionWhenUnfocused() && !view_.hasFocus())
        opt.state &= ~QStyle::State_Selected;
    const QWidget* widget = opt.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();

    switch (KindOf(index)) {
        case ColumnKind::Check: {
            PaintBackground(painter, opt, index);
            QStyleOptionButton box;
            box.rect = CheckRect(opt, widget);
            box.state = QStyle::State_Enabled;
            box.state |= index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On
                                                                               : QStyle::State_Off;
            style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
            return;
        }
        case ColumnKind::Progress: {
            PaintBackground(painter, opt, index);
            const QRect frame = opt.rect.adjusted(2, 3, -3, -4);
            if (frame.width() < 3 || frame.height() < 3) return;
            const int value = std::clamp(index.data(kValueRole).toInt(), 0, 100);
            const int inner = frame.width() - 1;
            painter->save();
            painter->setPen(QColor(kProgressBorderColour));
            painter->setBrush(Qt::white);
            painter->drawRect(frame);
            const int filled = inner * value / 100;
            if (filled > 0)
                painter->fillRect(
                    QRect(frame.left() + 1, frame.top() + 1, filled, frame.height() - 1),
                    QColor(kProgressBarColour));
            painter->restore();
            return;
        }
        case ColumnKind::Picture: {
            PaintBackground(painter, opt, index);
            const int picture = index.data(kValueRole).toInt();
            const auto& pictures = view_.pictures();
            if (picture < 0 || picture >= static_cast<int>(pictures.size())) return;
            const int side = std::max(0, std::min(opt.rect.width(), opt.rect.height()) - 2);
            const QRect target =
                QStyle::alignedRect(opt.direction, opt.displayAlignment, QSize(side, side),
                                    opt.rect.adjusted(1, 1, -1, -1));
            pictures[static_cast<size_t>(picture)].paint(painter, target);
            return;
        }
        default:
            break;
    }
    if (blendedSelection && (opt.state & QStyle::State_Selected)) {
        PaintBackground(painter, opt, index);
        opt.state &= ~QStyle::State_Selected;
        opt.backgroundBrush = QBrush();
        opt.font.setBold(true);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        return;
    }
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const GridColumn& column = view_.grid().Column(index.column());
    switch (column.kind) {
        case ColumnKind::DropDown: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            int widest = 0;
            for (const std::string& item : column.items) {
                combo->addItem(QString::fromStdString(item));
                widest = std::max(widest, combo->fontMetrics().horizontalAdvance(
                                              combo->itemText(combo->count() - 1)));
            }
            // The list as wide as its longest item, however narrow the column.
            combo->view()->setTextElideMode(Qt::ElideNone);
            combo->view()->setMinimumWidth(widest + 2 * combo->view()->frameWidth() + 16);
            // A choice from the list ends the edit at once.
            connect(combo, &QComboBox::activated, this, [this, combo] {
                auto* self = const_cast<GridDelegate*>(this);
                emit self->commitData(combo);
                emit self->closeEditor(combo);
            });
            return combo;
        }
        case ColumnKind::Numeric: {
            auto* edit = new QLineEdit(parent);
            edit->setFrame(false);
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
            return edit;
        }
        default:
            return QStyledItemDelegate::createEditor(parent, option, index);
    }
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const QString text = index.data(Qt::EditRole).toString();
        const int found = combo->findText(text);
        combo->setCurrentIndex(found);
        combo->setEditText(text);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, combo->currentText(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

bool GridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (KindOf(index) != ColumnKind::Check)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    if (!(index.flags() & Qt::ItemIsUserCheckable)) return false;
    bool toggle = false;
    switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            toggle = mouse->button() == Qt::LeftButton &&
                     option.rect.contains(mouse->position().toPoint());
            break;
        }
        case QEvent::MouseButtonDblClick:
            // Each release of a double click toggles; the double click itself
            // must not open an editor.
            return true;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            toggle = key == Qt::Key_Space || key == Qt::Key_Select;
            break;
        }
        default:
            return false;
    }
    if (!toggle) return false;
    const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

bool GridDelegate::TextFits(const QStyleOptionViewItem& option, const QString& text) {
    const QWidget* widget = option.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    // The margins the style leaves either side of a cell's text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return QFontMetrics(option.font).horizontalAdvance(text) <= option.rect.width() - 2 * margin;
}

bool GridDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                             const QStyleOptionViewItem& option, const QModelIndex& index) {
    // A tooltip of the cell's own comes first.
    if (event->type() == QEvent::ToolTip && index.isValid() &&
        !index.data(Qt::ToolTipRole).isValid()) {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        if (!opt.text.isEmpty() && !TextFits(opt, opt.text)) {
            QToolTip::showText(event->globalPos(), opt.text, view, option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

}  // namespace aktarim
