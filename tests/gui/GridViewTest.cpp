// The grid widget over the core grid model: what Qt sees, what the user can
// edit, how it sorts, what it paints and how often.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <array>
#include <string>
#include <vector>

#include "forms/GridView.h"
#include "forms/MessageBox.h"

namespace aktarim {
namespace {

enum TestColumn : int { kName, kTick, kType, kNumber, kProgress, kPicture, kFixedTick };

std::vector<GridColumn> TestColumns() {
    auto column = [](const char* header, ColumnKind kind, int width, bool editable,
                     Alignment alignment = Alignment::Left, bool descending = false) {
        GridColumn c;
        c.header = header;
        c.kind = kind;
        c.width = width;
        c.editable = editable;
        c.alignment = alignment;
        c.sortDescending = descending;
        return c;
    };
    std::vector<GridColumn> columns = {
        column("Ad", ColumnKind::Text, 80, true),
        column("Seç", ColumnKind::Check, 40, true, Alignment::Centre),
        column("Tip", ColumnKind::DropDown, 90, true),
        column("No", ColumnKind::Numeric, 50, true, Alignment::Left, true),
        column("İlerleme", ColumnKind::Progress, 100, false),
        column("Resim", ColumnKind::Picture, 50, false, Alignment::Centre),
        column("Sabit", ColumnKind::Check, 40, false, Alignment::Centre),
    };
    columns[kType].items = {"Ethernet", "Comm Port"};
    return columns;
}

QIcon Solid(QColor colour) {
    QPixmap pixmap(50, 50);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// Counts the viewport's paints and remembers the progress value each one saw.
class PaintProbe : public QObject {
  public:
    PaintProbe(GridView& view) : view_(view) { view.viewport()->installEventFilter(this); }
    int paints = 0;
    std::vector<int> progressSeen;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            progressSeen.push_back(view_.grid().Value(kProgress, 0));
        }
        return false;
    }

  private:
    GridView& view_;
};

class GridViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MessageBox::clearShown();
        view.resize(520, 200);
        view.SetHeaderHeight(18);
        view.SetRowHeight(24);
        view.SetPictures({Solid(Qt::white), Solid(Qt::red), Solid(Qt::blue)});
        const std::array<const char*, 3> names = {"Cem", "Ali", "Bora"};
        const std::array<const char*, 3> numbers = {"2", "3", "1"};
        grid().AppendRows(3);
        for (int r = 0; r < 3; ++r) {
            grid().SetText(kName, r, names[r]);
            grid().SetText(kType, r, "Ethernet");
            grid().SetText(kNumber, r, numbers[r]);
        }
        view.onAfterEdit = [this](int column, int row) { edits.emplace_back(column, row); };
        view.onAfterSort = [this](int column) { sorts.push_back(column); };
        view.onCellSelected = [this](int column, int row) { selections.emplace_back(column, row); };
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    GridModel& grid() { return view.grid(); }
    QModelIndex Index(int column, int row) { return view.model()->index(row, column); }
    QPoint CellCentre(int column, int row) { return view.visualRect(Index(column, row)).center(); }
    QImage Snapshot() { return view.viewport()->grab().toImage(); }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int r = 0; r < grid().RowCount(); ++r) names.push_back(grid().Text(kName, r));
        return names;
    }

    GridView view{TestColumns()};
    std::vector<std::pair<int, int>> edits;
    std::vector<int> sorts;
    std::vector<std::pair<int, int>> selections;
};

TEST_F(GridViewTest, QtSeesTheCoreModelAndItsChanges) {
    QAbstractItemModel& model = *view.model();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 7);
    EXPECT_EQ(model.headerData(kTick, Qt::Horizontal).toString(), QStringLiteral("Seç"));

    grid().SetText(kName, 1, "Çağrı");
    grid().SetChecked(kTick, 1, true);
    grid().SetValue(kProgress, 1, 42);
    grid().SetBackground(kName, 1, 0xE8F0FF);
    EXPECT_EQ(model.data(Index(kName, 1)).toString(), QStringLiteral("Çağrı"));
    EXPECT_EQ(model.data(Index(kTick, 1), Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model.data(Index(kTick, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(model.data(Index(kProgress, 1), kValueRole).toInt(), 42);
    EXPECT_EQ(model.data(Index(kName, 1), Qt::BackgroundRole).value<QColor>(),
              QColor(0xE8, 0xF0, 0xFF));
    EXPECT_FALSE(model.data(Index(kName, 0), Qt::BackgroundRole).isValid());

    // Editable text and user-checkable ticks only where the column says so.
    EXPECT_TRUE(model.flags(Index(kName, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(Index(kProgress, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(Index(kTick, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(Index(kFixedTick, 0)) & Qt::ItemIsUserCheckable);

    // Deleting the current last row, appending and clearing keep Qt in step.
    view.FocusCell(kName, 2);
    grid().DeleteRow(2);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_LT(view.currentIndex().row(), 2);
    grid().AppendRows(2);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.data(Index(kName, 3)).toString(), QString());
    grid().Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(GridViewTest, HeaderAndRowHeightsAndColumnWidthsApply) {
    EXPECT_EQ(view.horizontalHeader()->height(), 18);
    EXPECT_EQ(view.rowHeight(0), 24);
    EXPECT_EQ(view.columnWidth(kName), 80);
    EXPECT_EQ(view.columnWidth(kProgress), 100);
    view.SetRowHeight(16);
    EXPECT_EQ(view.rowHeight(2), 16);
}

TEST_F(GridViewTest, ClickOnATickCellTogglesItAndReportsTheEdit) {
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(kTick, 1));
    EXPECT_TRUE(grid().Checked(kTick, 1));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(kTick, 1));
    EXPECT_FALSE(grid().Checked(kTick, 1));
    EXPECT_EQ(edits, (std::vector<std::pair<int, int>>{{kTick, 1}, {kTick, 1}}));

    // A column that is not editable ignores the user.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(kFixedTick, 0));
    EXPECT_FALSE(grid().Checked(kFixedTick, 0));
    EXPECT_EQ(edits.size(), 2u);

    // The space bar toggles the current tick too.
    view.setFocus();
    view.FocusCell(kTick, 2);
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_TRUE(grid().Checked(kTick, 2));
}

TEST_F(GridViewTest, DropDownEditorOffersTheItemsAndTakesFreeText) {
    view.FocusCell(kType, 0);
    view.edit(Index(kType, 0));
    auto* combo = qobject_cast<QComboBox*>(view.indexWidget(Index(kType, 0)));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Ethernet"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Comm Port"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Ethernet"));

    // Picking from the list ends the edit at once.
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(grid().Text(kType, 0), "Comm Port");
    EXPECT_EQ(view.indexWidget(Index(kType, 0)), nullptr);
    ASSERT_EQ(edits, (std::vector<std::pair<int, int>>{{kType, 0}}));

    view.FocusCell(kType, 1);
    view.edit(Index(kType, 1));
    combo = qobject_cast<QComboBox*>(view.indexWidget(Index(kType, 1)));
    ASSERT_NE(combo, nullptr);
    combo->setEditText(QStringLiteral("Modem İ"));
    emit view.itemDelegate()->commitData(combo);
    EXPECT_EQ(grid().Text(kType, 1), "Modem İ");
    EXPECT_EQ(edits.back(), std::make_pair(int{kType}, 1));
}

TEST_F(GridViewTest, NumericEditorTakesDigitsOnly) {
    view.FocusCell(kNumber, 2);
    view.edit(Index(kNumber, 2));
    auto* edit = qobject_cast<QLineEdit*>(view.indexWidget(Index(kNumber, 2)));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, "12a-3 ");
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    emit view.itemDelegate()->commitData(edit);
    EXPECT_EQ(grid().Text(kNumber, 2), "123");
}

TEST_F(GridViewTest, HeaderClickSortsInTheColumnsDirection) {
    struct Case {
        int column;
        std::vector<std::string> names;
    };
    const std::array<Case, 2> cases = {{
        {kName, {"Ali", "Bora", "Cem"}},    // ascending by text
        {kNumber, {"Ali", "Cem", "Bora"}},  // descending: 3, 2, 1
    }};
    QHeaderView* header = view.horizontalHeader();
    auto clickHeader = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };

    clickHeader(kName);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Cem", "Ali", "Bora"}))
        << "sorting is off by default";
    EXPECT_TRUE(sorts.empty());

    view.SetSortable(true);
    for (const Case& c : cases) {
        clickHeader(c.column);
        EXPECT_EQ(Names(), c.names) << "column " << c.column;
        ASSERT_FALSE(sorts.empty());
        EXPECT_EQ(sorts.back(), c.column);
    }
    EXPECT_EQ(sorts.size(), cases.size());
}

TEST_F(GridViewTest, CellSelectionIsReportedAndCanSelectWholeRows) {
    selections.clear();
    view.FocusCell(kNumber, 1);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(kName, 2));
    EXPECT_EQ(selections, (std::vector<std::pair<int, int>>{{kNumber, 1}, {kName, 2}}));
    EXPECT_FALSE(view.selectionModel()->isRowSelected(2, {}));

    view.SetWholeRowSelection(true);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(kType, 0));
    EXPECT_TRUE(view.selectionModel()->isRowSelected(0, {}));
    EXPECT_EQ(selections.back(), std::make_pair(int{kType}, 0));
}

TEST_F(GridViewTest, PaintsProgressBarsPicturesBackgroundsAndGridLines) {
    struct Case {
        int progress;
        bool quarterFilled;
        bool threeQuartersFilled;
    };
    const std::array<Case, 3> cases = {{{0, false, false}, {50, true, false}, {100, true, true}}};
    for (int r = 0; r < 3; ++r)
        grid().SetValue(kProgress, r, cases[static_cast<size_t>(r)].progress);
    grid().SetValue(kPicture, 0, 1);
    grid().SetValue(kPicture, 1, 2);
    grid().SetValue(kPicture, 2, 7);  // no such picture: nothing drawn
    grid().SetBackground(kPicture, 2, 0x00FF00);
    grid().SetBackground(kName, 1, 0xE8F0FF);
    view.RepaintNow(true);

    const QImage image = Snapshot();
    for (int r = 0; r < 3; ++r) {
        const Case& c = cases[static_cast<size_t>(r)];
        const QRect cell = view.visualRect(Index(kProgress, r));
        const int y = cell.center().y();
        EXPECT_EQ(image.pixel(cell.left() + cell.width() / 4, y) == kProgressBarColour,
                  c.quarterFilled)
            << "progress " << c.progress;
        EXPECT_EQ(image.pixel(cell.left() + cell.width() * 3 / 4, y) == kProgressBarColour,
                  c.threeQuartersFilled)
            << "progress " << c.progress;
    }
    auto colourAt = [&](QPoint at) { return image.pixelColor(at).name().toStdString(); };
    EXPECT_EQ(colourAt(CellCentre(kPicture, 0)), "#ff0000");
    EXPECT_EQ(colourAt(CellCentre(kPicture, 1)), "#0000ff");
    EXPECT_EQ(colourAt(CellCentre(kPicture, 2)), "#00ff00");

    const QRect name = view.visualRect(Index(kName, 1));
    EXPECT_EQ(colourAt({name.right() - 2, name.center().y()}), "#e8f0ff");
    // Grid lines under and right of a cell are in the button-face colour.
    const std::string buttonFace = view.palette().color(QPalette::Button).name().toStdString();
    EXPECT_EQ(colourAt({name.center().x(), name.bottom() + 1}), buttonFace);
    EXPECT_EQ(colourAt({name.right() + 1, name.center().y()}), buttonFace);
}

TEST_F(GridViewTest, SelectionLooksFollowTheOptions) {
    enum class Look { Highlight, Blend, Plain };
    struct Case {
        const char* what;
        bool blended;
        bool hideUnfocused;
        bool focused;
        Look look;
    };
    const std::array<Case, 4> cases = {{
        {"standard", false, false, true, Look::Highlight},
        {"blended", true, false, true, Look::Blend},
        {"hidden without focus", false, true, false, Look::Plain},
        {"shown with focus", false, true, true, Look::Highlight},
    }};
    constexpr QRgb kBackground = 0xF2F8FF;
    grid().SetBackground(kName, 1, kBackground);
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    for (const Case& c : cases) {
        view.SetBlendedSelection(c.blended);
        view.SetHideSelectionWhenUnfocused(c.hideUnfocused);
        view.FocusCell(kName, 1);
        if (c.focused)
            view.setFocus();
        else
            view.clearFocus();
        ASSERT_EQ(view.hasFocus(), c.focused) << c.what;
        view.RepaintNow(true);
        const QRect cell = view.visualRect(Index(kName, 1));
        const QColor seen = Snapshot().pixelColor(cell.right() - 3, cell.center().y());
        const QColor background(kBackground);
        const QColor highlight = view.palette().color(
            view.isActiveWindow() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight);
        switch (c.look) {
            case Look::Plain:
                EXPECT_EQ(seen.name().toStdString(), background.name().toStdString()) << c.what;
                break;
            case Look::Highlight:
                EXPECT_NE(seen.name().toStdString(), background.name().toStdString()) << c.what;
                break;
            case Look::Blend: {
                // Highlight laid over the cell's own colour at 96/255.
                auto mix = [](int under, int over) {
                    return (under * (255 - 96) + over * 96) / 255;
                };
                EXPECT_NEAR(seen.red(), mix(background.red(), highlight.red()), 3) << c.what;
                EXPECT_NEAR(seen.green(), mix(background.green(), highlight.green()), 3) << c.what;
                EXPECT_NEAR(seen.blue(), mix(background.blue(), highlight.blue()), 3) << c.what;
                break;
            }
        }
    }
}

TEST_F(GridViewTest, RepaintNowSkipsPaintsWithinAFrameButPaintsTheLastState) {
    PaintProbe probe(view);
    QElapsedTimer clock;
    clock.start();
    int calls = 0;
    // A long loop on the UI thread, like a transfer of many records.
    while (clock.elapsed() < 120) {
        grid().SetValue(kProgress, 0, calls % 100);
        view.RepaintNow();
        ++calls;
    }
    const qint64 elapsed = clock.elapsed();
    const int paintsInLoop = probe.paints;
    EXPECT_GT(calls, 200);
    EXPECT_GE(paintsInLoop, 2) << "paints must happen during the loop, not only after it";
    EXPECT_LE(paintsInLoop, elapsed / GridView::kRepaintIntervalMs + 2);

    grid().SetValue(kProgress, 0, 100);
    view.RepaintNow();
    QTest::qWait(3 * GridView::kRepaintIntervalMs);
    ASSERT_FALSE(probe.progressSeen.empty());
    EXPECT_EQ(probe.progressSeen.back(), 100);

    const int before = probe.paints;
    for (int i = 0; i < 5; ++i) view.RepaintNow(true);
    EXPECT_EQ(probe.paints - before, 5);
}

TEST_F(GridViewTest, AnErrorInACallbackIsShownAndTheGridGoesOn) {
    view.onAfterEdit = [](int, int) { throw std::runtime_error("kayıt yazılamadı"); };
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(kTick, 0));
    EXPECT_TRUE(grid().Checked(kTick, 0));
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Error);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("kayıt yazılamadı"));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, CellCentre(kTick, 0));
    EXPECT_FALSE(grid().Checked(kTick, 0));
    EXPECT_EQ(MessageBox::shown().size(), 2u);
}

}  // namespace
}  // namespace aktarim
