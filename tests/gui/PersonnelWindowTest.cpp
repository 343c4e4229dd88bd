// The personnel window, driven the way a user drives it, against a terminal
// served over loopback TCP and a personnel store in a temporary folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/IniFile.h"
#include "core/Text.h"
#include "forms/AppState.h"
#include "forms/FormStyle.h"
#include "forms/GridView.h"
#include "forms/MessageBox.h"
#include "forms/Tpersonelform.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelStore.h"
#include "support/TempDir.h"
#include "terminal/WireFixtures.h"
#include "terminal/WireLink.h"

namespace aktarim {
namespace {

using test::SplitLines;

constexpr int kPerNo = kPersonnelColumnPerNo;
constexpr int kIsim = kPersonnelColumnIsim;
constexpr int kYetki = kPersonnelColumnYetki;
constexpr int kKartNo = kPersonnelColumnKartNo;
constexpr int kSifre = kPersonnelColumnSifre;
constexpr int kMark = kPersonnelColumnParmakIzi;
constexpr int kSec = kPersonnelColumnSec;

std::string Tpl(char c, size_t n) { return std::string(n, c); }

// Users delivered in number order; by Per.No text 123456 comes before 99999.
TerminalState SeededTerminal() {
    TerminalState state;
    state.machineNumber = test::kMachine;
    const std::array<TerminalUser, 7> users = {{
        {3, "Şule İnce", "7", 2, true, ""},
        {7, "Ali Veli", "1234", 0, true, ""},
        {12, "Zeynep Kaya", "", 1, true, ""},
        {42, "Mehmet Öz", "55", 3, true, ""},
        {500, "Hasan Tek", "", 14, true, ""},
        {99999, "Son Kişi", "", 0, true, ""},
        {123456, "Büyük Numara", "", 0, true, ""},
    }};
    for (const TerminalUser& user : users) state.users[user.number] = user;
    state.templates[{7, 2}] = Tpl('A', 600);
    state.templates[{7, 5}] = Tpl('B', 700);
    state.templates[{42, 0}] = Tpl('C', 500);
    state.templates[{12, 1}] = "0123456789";  // ten characters: no template
    return state;
}

// The terminal grid after the load, in Per.No order.
const std::vector<std::string> kTerminalKeys = {"00003", "00007",  "00012", "00042",
                                                "00500", "123456", "99999"};

std::string Crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return Utf8ToCp1254(text);
}

// Types text key by key; QTest's own typing knows only ASCII.
void TypeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}

// Stops a modal loop that a broken handler leaves running. A dialog hidden
// before its loop began can no longer end that loop by closing, so a stuck
// loop ends the test process with a message rather than hanging it.
class ModalGuard {
  public:
    explicit ModalGuard(QDialog& dialog) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, &dialog, [&dialog] {
            if (!dialog.isVisible()) {
                std::fputs("modal loop of a hidden window never ended\n", stderr);
                std::abort();
            }
            ADD_FAILURE() << "the window was still open after 10 s";
            dialog.QDialog::done(QDialog::Rejected);
        });
        timer_.start(10000);
    }

  private:
    QTimer timer_;
};

struct ProgressStep {
    QString caption;
    bool visible;
    int value;
};

class PersonnelWindowTest : public ::testing::Test {
  protected:
    PersonnelWindowTest() : served(SeededTerminal()) {}

    void SetUp() override { MessageBox::clearShown(); }

    std::string ListPath() const { return home.File("personel/personel.ini"); }
    std::string DetailsPath() const { return home.File("personel/parmakizi.ini"); }

    void WriteStore() {
        std::filesystem::create_directories(home.File("personel"));
        test::WriteAll(ListPath(), Crlf({"00012", "00099", "00250"}));
        test::WriteAll(
            DetailsPath(),
            Crlf({"[00012]", "isim=Zeynep Eski", "yetki=Normal", "kartno=777", "sifre=9",
                  "parmakizi0=" + Tpl('Z', 20), "[00099]", "isim=ABCDEFGHIJKL", "yetki=Supervizor",
                  "kartno=55", "sifre=1234567", "parmakizi0=" + Tpl('D', 300),
                  "parmakizi1=" + Tpl('E', 310), "[00250]", "isim=Ece", "yetki=Yetkili"}));
    }

    static LinkOptions Options() {
        LinkOptions options = test::FastOptions();
        // Generous enough for a busy machine; the peer is on loopback.
        options.requestTimeout = std::chrono::milliseconds(2000);
        options.idleTimeout = std::chrono::milliseconds(2000);
        return options;
    }

    void Prepare(int32_t port) {
        state.programFolder = home.path();
        state.makeLink = [this] {
            auto link = std::make_unique<WireLink>(Options());
            lastLink = link.get();
            return link;
        };
        state.connection.link.linkType = 1;
        state.connection.link.linkIpAddress = "127.0.0.1";
        state.connection.link.linkIpPort = port;
        state.connection.link.linkMachineNumber = test::kMachine;
        window = std::make_unique<Tpersonelform>(state);
    }

    // Shows the window the way the settings window's button does, without
    // the modal loop; activation runs the load.
    void Open() {
        if (!window) Prepare(served.port);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <typename T>
    T* Find(const char* name) {
        T* widget = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    GridModel& terminal() { return window->terminalGrid().grid(); }
    GridModel& store() { return window->storeGrid().grid(); }

    static std::vector<std::string> Column(const GridModel& model, int column) {
        std::vector<std::string> texts;
        for (int r = 0; r < model.RowCount(); ++r) texts.push_back(model.Text(column, r));
        return texts;
    }
    static std::vector<bool> Ticks(const GridModel& model) {
        std::vector<bool> ticks;
        for (int r = 0; r < model.RowCount(); ++r) ticks.push_back(model.Checked(kSec, r));
        return ticks;
    }
    static int RowOf(const GridModel& model, const std::string& perNo) {
        for (int r = 0; r < model.RowCount(); ++r)
            if (model.Text(kPerNo, r) == perNo) return r;
        return -1;
    }
    // Every row's seven cells carry the colour of its index's parity.
    static void ExpectAlternatingColours(const GridModel& model) {
        for (int r = 0; r < model.RowCount(); ++r)
            for (int c = 0; c < kPersonnelColumnCount; ++c)
                EXPECT_EQ(model.Background(c, r),
                          r % 2 == 0 ? kPersonnelEvenRowColour : kPersonnelOddRowColour)
                    << "row " << r << " column " << c;
    }

    // Ticks a row the way the user does: a click on its Seç box.
    void ClickTick(GridView& view, int row) {
        ASSERT_GE(row, 0);
        const QRect cell = view.visualRect(view.model()->index(row, kSec));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    }
    void Tick(GridView& view, const std::vector<std::string>& perNos) {
        for (const std::string& perNo : perNos) ClickTick(view, RowOf(view.grid(), perNo));
    }

    void ClickHeader(GridView& view, int column) {
        QHeaderView* header = view.horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    void Click(const char* button) {
        QPushButton* b = Find<QPushButton>(button);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    // Records what the progress box shows at each change of the bar.
    void RecordProgress() {
        auto* bar = Find<QProgressBar>("ProgressBar1");
        auto* box = Find<QGroupBox>("GroupBox1");
        QObject::connect(bar, &QProgressBar::valueChanged, window.get(), [this, box](int value) {
            progress.push_back({box->title(), box->isVisible(), value});
        });
    }
    std::vector<int> ProgressValues(const char* caption) const {
        std::vector<int> values;
        for (const ProgressStep& step : progress)
            if (step.caption == QString::fromUtf8(caption)) {
                EXPECT_TRUE(step.visible) << caption;
                values.push_back(step.value);
            }
        return values;
    }
    void ExpectProgressBoxHiddenAfter(const char* caption) {
        auto* box = Find<QGroupBox>("GroupBox1");
        EXPECT_FALSE(box->isVisible());
        EXPECT_EQ(box->title(), QString::fromUtf8(caption));
    }

    // What a fresh reader finds in the store.
    PersonRecord StoredPerson(const std::string& key) const {
        PersonnelStore reader(home.path());
        reader.OpenStore();
        return reader.ReadPerson(key);
    }
    std::string StoredTemplate(const std::string& key, int index) const {
        PersonnelStore reader(home.path());
        reader.OpenStore();
        return reader.ReadTemplate(key, index);
    }
    bool StoredSection(const std::string& key) const {
        return IniFile(DetailsPath()).SectionExists(key);
    }
    std::vector<std::string> ListLines() const { return SplitLines(test::ReadAll(ListPath())); }

    test::TempDir home;
    test::ServedTerminal served;
    AppState state;
    WireLink* lastLink = nullptr;
    std::unique_ptr<Tpersonelform> window;
    std::vector<ProgressStep> progress;
};

// --- the window ------------------------------------------------------------------

TEST_F(PersonnelWindowTest, WindowHasItsCaptionSizeAndPlace) {
    Prepare(served.port);
    EXPECT_EQ(window->objectName(), QStringLiteral("personelform"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Personel"));
    // 999 x 589 is the outer size: the client area ends 14 pixels under
    // "Çıkış" and 8 right of the PC grid.
    EXPECT_EQ(window->size(), QSize(993, 559));
    EXPECT_EQ(window->minimumSize(), window->size());
    EXPECT_EQ(window->maximumSize(), window->size());
    EXPECT_EQ(window->pos(), QPoint(6, 114));
    EXPECT_TRUE(window->isModal());
    EXPECT_EQ(window->font(), DefaultFormFont());
}

TEST_F(PersonnelWindowTest, ControlsHaveTheirPlacesCaptionsFontsAndColours) {
    WriteStore();
    Open();
    struct Control {
        const char* name;
        const char* parent;
        QRect bounds;
        const char* text;  // nullptr: no caption
        int pixelSize;     // 0: the form's font
        bool bold;
        QRgb colour;  // 0: the default
    };
    const std::array<Control, 25> controls = {{
        {"Panel3", "personelform", {8, 8, 425, 25}, "Cihazdaki Kayıtlar", 13, true, 0xFF000080},
        {"grid", "personelform", {8, 40, 425, 409}, nullptr, 0, false, 0},
        {"Panel4",
         "personelform",
         {560, 8, 425, 25},
         "Bilgisayardaki Kayıtlar",
         13,
         true,
         0xFF000080},
        {"griddisk", "personelform", {560, 40, 425, 409}, nullptr, 0, false, 0},
        {"Panel1", "personelform", {440, 40, 113, 193}, nullptr, 0, false, 0},
        {"Label1", "Panel1", {}, "Personel", 16, true, 0xFF800000},
        {"Label2", "Panel1", {}, "Bilgileri", 16, true, 0xFF800000},
        {"Label3", "Panel1", {}, "(İsim, Kartno ", -1, true, 0xFF0000FF},
        {"Label4", "Panel1", {}, "Yetki Durumu)", -1, true, 0xFF0000FF},
        {"personelgonderbuton", "Panel1", {8, 92, 97, 41}, "Gönder", 13, true, 0},
        {"personelalbuton", "Panel1", {8, 140, 97, 41}, "Al", 13, true, 0},
        {"Panel2", "personelform", {440, 240, 113, 153}, nullptr, 0, false, 0},
        {"Label5", "Panel2", {}, "Parmak İzi", 16, true, 0xFF800000},
        {"Label6", "Panel2", {}, "Kayıtları", 16, true, 0xFF800000},
        {"parmakizigonderbuton", "Panel2", {8, 56, 97, 41}, "Gönder", 13, true, 0xFF0000FF},
        {"parmakizialbuton", "Panel2", {8, 104, 97, 41}, "Al", 13, true, 0xFF0000FF},
        {"silbuton", "personelform", {440, 408, 113, 41}, "Sil", 16, true, 0xFF800000},
        {"ctumsec", "personelform", {8, 456, 75, 25}, "Tümünü Seç", 0, false, 0},
        {"cseckaldir", "personelform", {88, 456, 75, 25}, "Seçimi kaldır", 0, false, 0},
        {"cdigersec", "personelform", {168, 456, 75, 25}, "Diğerlerini Seç", 0, false, 0},
        {"dtumsec", "personelform", {744, 456, 75, 25}, "Tümünü Seç", 0, false, 0},
        {"dseckaldir", "personelform", {824, 456, 75, 25}, "Seçimi kaldır", 0, false, 0},
        {"ddigersec", "personelform", {904, 456, 75, 25}, "Diğerlerini Seç", 0, false, 0},
        {"ProgressBar1", "GroupBox1", {16, 24, 241, 17}, nullptr, 0, false, 0},
        {"cikisbuton", "personelform", {840, 504, 137, 41}, "Çıkış", 16, true, 0xFF0000FF},
    }};
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* widget = Find<QWidget>(c.name);
        if (widget == nullptr) continue;
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(c.parent));
        if (!c.bounds.isNull()) {
            EXPECT_EQ(widget->geometry(), c.bounds);
        }
        if (c.text != nullptr) {
            EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(c.text));
        }
        if (c.pixelSize > 0) {
            EXPECT_EQ(widget->font().pixelSize(), c.pixelSize);
        }
        if (c.pixelSize != 0) {
            EXPECT_EQ(widget->font().bold(), c.bold);
        }
        if (c.colour != 0) {
            const QPalette::ColorRole role =
                qobject_cast<QPushButton*>(widget) ? QPalette::ButtonText : QPalette::WindowText;
            EXPECT_EQ(widget->palette().color(role).rgba(), c.colour);
        }
        if (std::string(c.name) != "ProgressBar1") {
            EXPECT_TRUE(widget->isVisible());
        }
    }
    // Every caption fits its button, next to its picture.
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        const int picture = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + picture,
                  button->width() - 4)
            << button->objectName().toStdString();
    }
    // The six selection buttons share one type size.
    const QFont selection = Find<QPushButton>("ctumsec")->font();
    for (const char* name : {"cseckaldir", "cdigersec", "dtumsec", "dseckaldir", "ddigersec"}) {
        const QFont font = Find<QPushButton>(name)->font();
        EXPECT_EQ(font.pointSizeF(), selection.pointSizeF()) << name;
        EXPECT_EQ(font.stretch(), selection.stretch()) << name;
    }
    // The two note labels share the panel's width, one under the other.
    EXPECT_LT(Find<QLabel>("Label3")->font().pixelSize(), 16);
    EXPECT_LT(Find<QLabel>("Label3")->y(), Find<QLabel>("Label4")->y());

    auto* box = Find<QGroupBox>("GroupBox1");
    EXPECT_EQ(box->geometry(), QRect(352, 464, 281, 57));
    EXPECT_FALSE(box->isVisible());
    auto* bar = Find<QProgressBar>("ProgressBar1");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
}

TEST_F(PersonnelWindowTest, ButtonsCarryTheirPicturesRightOfTheCaption) {
    Prepare(served.port);
    const std::array<const char*, 5> pictured = {"personelgonderbuton", "personelalbuton",
                                                 "parmakizigonderbuton", "parmakizialbuton",
                                                 "silbuton"};
    for (const char* name : pictured) {
        auto* button = Find<QPushButton>(name);
        EXPECT_FALSE(button->icon().isNull()) << name;
        // No button turns into the default one: Enter presses nothing.
        EXPECT_FALSE(button->autoDefault()) << name;
    }
    for (const char* name :
         {"personelgonderbuton", "personelalbuton", "parmakizigonderbuton", "parmakizialbuton"})
        EXPECT_EQ(Find<QPushButton>(name)->layoutDirection(), Qt::RightToLeft) << name;

    // The arrows are green and point the way the data goes: "Gönder" to the
    // terminal grid on the left, "Al" to the PC grid on the right. The point
    // is the narrow end.
    auto pointsLeft = [this](const char* name) {
        const QImage image = Find<QPushButton>(name)->icon().pixmap(QSize(20, 20)).toImage();
        std::vector<int> green(static_cast<size_t>(image.width()), 0);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() > 128 && c.green() > 2 * c.red() && c.green() > 2 * c.blue())
                    ++green[static_cast<size_t>(x)];
            }
        const auto first = std::find_if(green.begin(), green.end(), [](int n) { return n > 0; });
        const auto last = std::find_if(green.rbegin(), green.rend(), [](int n) { return n > 0; });
        EXPECT_NE(first, green.end()) << name << " has no green";
        if (first == green.end()) return false;
        EXPECT_NE(*first, *last) << name;
        return *first < *last;
    };
    EXPECT_TRUE(pointsLeft("personelgonderbuton"));
    EXPECT_FALSE(pointsLeft("personelalbuton"));
    EXPECT_TRUE(pointsLeft("parmakizigonderbuton"));
    EXPECT_FALSE(pointsLeft("parmakizialbuton"));
}

TEST_F(PersonnelWindowTest, GridsHaveTheirColumnsAndLook) {
    Prepare(served.port);
    struct Header {
        int column;
        const char* terminal;
        const char* store;
        int width;
    };
    const std::array<Header, 7> headers = {{
        {0, "Per.No", "Per.No", 57},
        {1, "İsim", "İsim", 64},
        {2, "Yetki", "Yetki", 57},
        {3, "Kart No", "Kart no", 63},
        {4, "Şifre", "Şifre", 44},
        {5, "Parmak izi", "Parmak izi", 70},
        {6, "Seç", "Seç", 41},
    }};
    for (GridView* view : {&window->terminalGrid(), &window->storeGrid()}) {
        const bool isStore = view == &window->storeGrid();
        SCOPED_TRACE(isStore ? "griddisk" : "grid");
        EXPECT_EQ(view->horizontalHeader()->height(), 18);
        EXPECT_EQ(view->verticalHeader()->defaultSectionSize(), 16);
        EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_TRUE(view->hidesSelectionWhenUnfocused());
        for (const Header& h : headers) {
            EXPECT_EQ(view->model()->headerData(h.column, Qt::Horizontal).toString(),
                      QString::fromUtf8(isStore ? h.store : h.terminal));
            EXPECT_EQ(view->columnWidth(h.column), h.width);
        }
        EXPECT_EQ(view->grid().Column(kMark).kind,
                  isStore ? ColumnKind::Picture : ColumnKind::Text);
        EXPECT_EQ(view->grid().Column(kYetki).kind, ColumnKind::DropDown);
    }

    // ImageList1: a red cross, a grey fingerprint and a white box, 16 x 16.
    const auto& pictures = window->storeGrid().pictures();
    ASSERT_EQ(pictures.size(), 3u);
    struct Look {
        int red, grey, white;
    };
    auto look = [](const QIcon& icon) {
        const QImage image = icon.pixmap(QSize(16, 16)).toImage();
        EXPECT_EQ(image.size(), QSize(16, 16));
        Look l{0, 0, 0};
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() < 200) continue;
                if (c.red() > 180 && c.green() < 80 && c.blue() < 80) ++l.red;
                if (c.red() > 230 && c.green() > 230 && c.blue() > 230) ++l.white;
                const int spread = std::max({c.red(), c.green(), c.blue()}) -
                                   std::min({c.red(), c.green(), c.blue()});
                if (spread < 20 && c.red() > 60 && c.red() < 200) ++l.grey;
            }
        return l;
    };
    const Look cross = look(pictures[0]);
    const Look fingerprint = look(pictures[1]);
    const Look box = look(pictures[2]);
    EXPECT_GT(cross.red, 20);
    EXPECT_EQ(cross.grey, 0);
    EXPECT_GT(fingerprint.grey, 20);
    EXPECT_EQ(fingerprint.red, 0);
    EXPECT_GT(box.white, 100);
    EXPECT_EQ(box.red, 0);
}

// --- loading -----------------------------------------------------------------------

TEST_F(PersonnelWindowTest, ShowingConnectsAndLoadsBothSides) {
    WriteStore();
    Open();
    EXPECT_TRUE(state.connection.personnelConnected);
    EXPECT_EQ(state.connection.currentMachineNumber, test::kMachine);
    ASSERT_NE(lastLink, nullptr);
    EXPECT_TRUE(lastLink->IsConnected());
    EXPECT_TRUE(MessageBox::shown().empty());

    // The terminal side: Per.No order, five-digit keys, privileges by name.
    EXPECT_EQ(Column(terminal(), kPerNo), kTerminalKeys);
    EXPECT_EQ(Column(terminal(), kIsim),
              (std::vector<std::string>{"Şule İnce", "Ali Veli", "Zeynep Kaya", "Mehmet Öz",
                                        "Hasan Tek", "Büyük Numara", "Son Kişi"}));
    EXPECT_EQ(Column(terminal(), kYetki),
              (std::vector<std::string>{"Yetkili", "Normal", "Kayıtçı", "Supervizor", "", "Normal",
                                        "Normal"}));
    EXPECT_EQ(Column(terminal(), kSifre),
              (std::vector<std::string>{"7", "1234", "", "55", "", "", ""}));
    EXPECT_EQ(Column(terminal(), kKartNo), std::vector<std::string>(7, ""));
    EXPECT_EQ(Column(terminal(), kMark), std::vector<std::string>(7, ""));
    EXPECT_EQ(Ticks(terminal()), std::vector<bool>(7, false));
    ExpectAlternatingColours(terminal());

    // The PC side: file order, the details and the fingerprint marks.
    EXPECT_EQ(Column(store(), kPerNo), (std::vector<std::string>{"00012", "00099", "00250"}));
    EXPECT_EQ(Column(store(), kIsim),
              (std::vector<std::string>{"Zeynep Eski", "ABCDEFGHIJKL", "Ece"}));
    EXPECT_EQ(Column(store(), kYetki),
              (std::vector<std::string>{"Normal", "Supervizor", "Yetkili"}));
    EXPECT_EQ(Column(store(), kKartNo), (std::vector<std::string>{"777", "55", ""}));
    EXPECT_EQ(Column(store(), kSifre), (std::vector<std::string>{"9", "1234567", ""}));
    for (const auto& [row, mark] : std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {2, 0}})
        EXPECT_EQ(store().Value(kMark, row), mark) << row;
    ExpectAlternatingColours(store());

    EXPECT_FALSE(Find<QGroupBox>("GroupBox1")->isVisible());
    EXPECT_EQ(window->terminalGrid().horizontalHeader()->sortIndicatorSection(), kPerNo);

    // Becoming active again loads nothing more.
    window->FormActivate();
    QApplication::processEvents();
    EXPECT_EQ(terminal().RowCount(), 7);
    EXPECT_EQ(store().RowCount(), 3);
}

TEST_F(PersonnelWindowTest, MissingStoreIsCreatedEmpty) {
    Open();
    EXPECT_EQ(terminal().RowCount(), 7);
    EXPECT_EQ(store().RowCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(ListPath()));
    EXPECT_TRUE(test::ReadAll(ListPath()).empty());
}

TEST_F(PersonnelWindowTest, ABadListLineStopsTheLoadWithTheConversionError) {
    WriteStore();
    test::WriteAll(ListPath(), Crlf({"00012", "12x", "00250"}));
    Open();
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Error);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("'12x' is not a valid integer value"));
    // The terminal side stands; the progress box keeps the step that failed.
    EXPECT_EQ(terminal().RowCount(), 7);
    EXPECT_EQ(store().RowCount(), 0);
    auto* box = Find<QGroupBox>("GroupBox1");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->title(), QString::fromUtf8(kLoadingStoreCaption));
    // The window still leaves cleanly, and the list is as it was.
    Click("cikisbuton");
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(lastLink->IsConnected());
    EXPECT_EQ(ListLines(), (std::vector<std::string>{"00012", "12x", "00250"}));
}

TEST_F(PersonnelWindowTest, FailedConnectionShowsTheMessageAndClosesTheModalWindow) {
    WriteStore();
    Prepare(1);  // nothing listens on port 1 of loopback
    ModalGuard guard(*window);
    window->exec();
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Message);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("Bağlantı Kurulamadı"));
    EXPECT_FALSE(state.connection.personnelConnected);
    EXPECT_EQ(terminal().RowCount(), 0);
    EXPECT_EQ(store().RowCount(), 0);
}

// --- editing, sorting, selecting -------------------------------------------------------

TEST_F(PersonnelWindowTest, EditingACellOfThePcGridWritesTheStoreAtOnce) {
    WriteStore();
    Open();
    GridView& view = window->storeGrid();
    const int row = RowOf(store(), "00250");
    struct Edit {
        int column;
        const char* typed;
        std::string PersonRecord::*field;
    };
    const std::array<Edit, 4> edits = {{
        {kIsim, "Ece Nur Şahin", &PersonRecord::isim},
        {kYetki, "Kayıtçı", &PersonRecord::yetki},
        {kKartNo, "0004455", &PersonRecord::kartno},
        {kSifre, "8642", &PersonRecord::sifre},
    }};
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.typed);
        const QModelIndex cell = view.model()->index(row, e.column);
        view.setFocus();
        view.setCurrentIndex(cell);
        view.edit(cell);
        QWidget* editor = QApplication::focusWidget();
        ASSERT_NE(editor, nullptr);
        // The drop-down's editor takes the keys itself and hands them on.
        auto* combo = qobject_cast<QComboBox*>(editor);
        QLineEdit* line = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(editor);
        ASSERT_NE(line, nullptr) << editor->metaObject()->className();
        EXPECT_EQ(combo != nullptr, e.column == kYetki);
        line->selectAll();
        TypeText(editor, QString::fromUtf8(e.typed));
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_EQ(store().Text(e.column, row), e.typed);
        EXPECT_EQ(StoredPerson("00250").*e.field, e.typed);
    }
    // The other persons are untouched.
    EXPECT_EQ(StoredPerson("00012").isim, "Zeynep Eski");
    EXPECT_TRUE(MessageBox::shown().empty());

    // Ticking a row writes nothing.
    const std::string before = test::ReadAll(DetailsPath());
    ClickTick(view, row);
    EXPECT_TRUE(store().Checked(kSec, row));
    EXPECT_EQ(test::ReadAll(DetailsPath()), before);
}

TEST_F(PersonnelWindowTest, TerminalGridTakesNoEditsButItsTicks) {
    WriteStore();
    Open();
    GridView& view = window->terminalGrid();
    for (int column = kPerNo; column <= kMark; ++column) {
        const QModelIndex cell = view.model()->index(0, column);
        EXPECT_FALSE(view.model()->flags(cell) & Qt::ItemIsEditable) << column;
    }
    ClickTick(view, 2);
    EXPECT_EQ(Ticks(terminal()),
              (std::vector<bool>{false, false, true, false, false, false, false}));
}

TEST_F(PersonnelWindowTest, SortingByAHeaderOrdersTheRowsAndRecoloursThem) {
    WriteStore();
    Open();
    struct Sort {
        bool storeGrid;
        int column;
        std::vector<std::string> perNos;  // after the click
    };
    const std::array<Sort, 4> sorts = {{
        // Pictures by value, stable: no fingerprint first.
        {true, kMark, {"00250", "00012", "00099"}},
        // The PC grid's Per.No sorts descending.
        {true, kPerNo, {"00250", "00099", "00012"}},
        // Names: ABCDEFGHIJKL, Ece, Zeynep Eski.
        {true, kIsim, {"00099", "00250", "00012"}},
        // Turkish order: Ali, Büyük, Hasan, Mehmet, Son, Şule, Zeynep.
        {false, kIsim, {"00007", "123456", "00500", "00042", "99999", "00003", "00012"}},
    }};
    for (const Sort& s : sorts) {
        SCOPED_TRACE(s.perNos.front());
        GridView& view = s.storeGrid ? window->storeGrid() : window->terminalGrid();
        ClickHeader(view, s.column);
        EXPECT_EQ(Column(view.grid(), kPerNo), s.perNos);
        EXPECT_EQ(view.horizontalHeader()->sortIndicatorSection(), s.column);
        ExpectAlternatingColours(view.grid());
    }
    // The PC rows keep their own cells through the sorts.
    const int row = RowOf(store(), "00099");
    EXPECT_EQ(store().Text(kIsim, row), "ABCDEFGHIJKL");
    EXPECT_EQ(store().Value(kMark, row), 1);

    // Ticked rows first when the terminal grid is sorted by Seç (descending).
    ClickTick(window->terminalGrid(), RowOf(terminal(), "00500"));
    ClickHeader(window->terminalGrid(), kSec);
    EXPECT_EQ(terminal().Text(kPerNo, 0), "00500");
    EXPECT_TRUE(terminal().Checked(kSec, 0));
    ExpectAlternatingColours(terminal());
}

TEST_F(PersonnelWindowTest, SelectionButtonsSetClearAndInvertTheTicksOfTheirGrid) {
    WriteStore();
    Open();
    enum class Effect { On, Off, Invert };
    struct Case {
        const char* button;
        bool storeGrid;
        Effect effect;
    };
    const std::array<Case, 6> cases = {{
        {"ctumsec", false, Effect::On},
        {"cseckaldir", false, Effect::Off},
        {"cdigersec", false, Effect::Invert},
        {"dtumsec", true, Effect::On},
        {"dseckaldir", true, Effect::Off},
        {"ddigersec", true, Effect::Invert},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        // On, off, on, ... in both grids before each press.
        for (GridModel* model : {&terminal(), &store()})
            for (int r = 0; r < model->RowCount(); ++r) model->SetChecked(kSec, r, r % 2 == 0);
        GridModel& target = c.storeGrid ? store() : terminal();
        GridModel& other = c.storeGrid ? terminal() : store();
        const std::vector<bool> otherBefore = Ticks(other);
        Click(c.button);
        for (int r = 0; r < target.RowCount(); ++r) {
            const bool before = r % 2 == 0;
            const bool expected = c.effect == Effect::On    ? true
                                  : c.effect == Effect::Off ? false
                                                            : !before;
            EXPECT_EQ(target.Checked(kSec, r), expected) << "row " << r;
        }
        EXPECT_EQ(Ticks(other), otherBefore);
    }
}

// --- closing and reopening ---------------------------------------------------------------

class PersonnelWindowCloseTest : public PersonnelWindowTest,
                                 public ::testing::WithParamInterface<bool> {};

TEST_P(PersonnelWindowCloseTest, ClosingReleasesEverythingAndReopeningLoadsOnce) {
    const bool viaCikis = GetParam();
    WriteStore();
    Open();
    ASSERT_EQ(terminal().RowCount(), 7);
    WireLink* link = lastLink;
    if (viaCikis)
        Click("cikisbuton");
    else
        window->close();  // what the title bar's close button does
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(link->IsConnected());
    EXPECT_EQ(terminal().RowCount(), 0);
    EXPECT_EQ(store().RowCount(), 0);
    EXPECT_TRUE(MessageBox::shown().empty());

    // Changes made meanwhile show at the next opening, which loads once.
    served.terminal.WriteUser(8, "Yeni Gelen", "", 0, true);
    test::WriteAll(ListPath(), test::ReadAll(ListPath()) + "00300\r\n");
    Open();
    EXPECT_EQ(lastLink, link);  // the window keeps its own link
    EXPECT_TRUE(link->IsConnected());
    EXPECT_EQ(terminal().RowCount(), 8);
    EXPECT_EQ(terminal().Text(kPerNo, 2), "00008");
    EXPECT_EQ(Column(store(), kPerNo),
              (std::vector<std::string>{"00012", "00099", "00250", "00300"}));
}

INSTANTIATE_TEST_SUITE_P(TitleBarOrCikis, PersonnelWindowCloseTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Cikis" : "TitleBar"; });

TEST_F(PersonnelWindowTest, ModalWindowLoadsAndLeavesThroughCikis) {
    WriteStore();
    Prepare(served.port);
    ModalGuard guard(*window);
    int rowsSeen = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, window.get(), [&] {
        if (terminal().RowCount() == 0) return;
        poll.stop();
        rowsSeen = terminal().RowCount();
        Find<QPushButton>("cikisbuton")->click();
    });
    poll.start(10);
    window->exec();
    EXPECT_EQ(rowsSeen, 7);
    ASSERT_NE(lastLink, nullptr);
    EXPECT_FALSE(lastLink->IsConnected());
    EXPECT_EQ(terminal().RowCount(), 0);
}

// --- personnel information -------------------------------------------------------------------

TEST_F(PersonnelWindowTest, PersonnelAlCopiesTickedTerminalRowsIntoTheStore) {
    WriteStore();
    Open();
    const auto usersBefore = served.terminal.Users().size();
    RecordProgress();
    Tick(window->terminalGrid(), {"00007", "00012", "123456"});
    Click("personelalbuton");

    // New persons get a list line, a section and a PC row; the one already
    // stored has its four fields replaced, card number included.
    EXPECT_EQ(ListLines(),
              (std::vector<std::string>{"00012", "00099", "00250", "00007", "123456"}));
    const PersonRecord ali = StoredPerson("00007");
    EXPECT_EQ(ali.isim, "Ali Veli");
    EXPECT_EQ(ali.yetki, "Normal");
    EXPECT_EQ(ali.kartno, "");
    EXPECT_EQ(ali.sifre, "1234");
    EXPECT_EQ(StoredPerson("123456").isim, "Büyük Numara");
    const PersonRecord zeynep = StoredPerson("00012");
    EXPECT_EQ(zeynep.isim, "Zeynep Kaya");
    EXPECT_EQ(zeynep.yetki, "Kayıtçı");
    EXPECT_EQ(zeynep.kartno, "");
    EXPECT_EQ(zeynep.sifre, "");
    EXPECT_EQ(StoredTemplate("00012", 0), Tpl('Z', 20));

    EXPECT_EQ(Column(store(), kPerNo),
              (std::vector<std::string>{"00012", "00099", "00250", "00007", "123456"}));
    EXPECT_EQ(store().Text(kIsim, 0), "Zeynep Kaya");
    EXPECT_EQ(store().Value(kMark, 0), 1);  // the picture stays
    EXPECT_EQ(store().Value(kMark, 3), 0);
    ExpectAlternatingColours(store());
    EXPECT_EQ(Ticks(terminal()), std::vector<bool>(7, false));

    EXPECT_EQ(served.terminal.Users().size(), usersBefore);  // nothing sent
    EXPECT_EQ(ProgressValues(kPersonnelToStoreCaption), (std::vector<int>{0, 33, 67, 100}));
    ExpectProgressBoxHiddenAfter(kPersonnelToStoreCaption);
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(PersonnelWindowTest, PersonnelGonderWritesTickedPcRowsToTheTerminal) {
    WriteStore();
    Open();
    const std::string listBefore = test::ReadAll(ListPath());
    const std::string detailsBefore = test::ReadAll(DetailsPath());
    Tick(window->storeGrid(), {"00012", "00099"});
    Click("personelgonderbuton");

    // The terminal gets the name cut to 8 and the password to 5 characters.
    const std::optional<TerminalUser> created = served.terminal.ReadUser(99);
    ASSERT_TRUE(created.has_value());
    EXPECT_EQ(created->name, "ABCDEFGH");
    EXPECT_EQ(created->password, "12345");
    EXPECT_EQ(created->privilege, 3);
    EXPECT_TRUE(created->enabled);
    const std::optional<TerminalUser> updated = served.terminal.ReadUser(12);
    ASSERT_TRUE(updated.has_value());
    EXPECT_EQ(updated->name, "Zeynep E");
    EXPECT_EQ(updated->password, "9");
    EXPECT_EQ(updated->privilege, 0);

    // The grid shows the whole texts; a new person is a new last row.
    ASSERT_EQ(terminal().RowCount(), 8);
    EXPECT_EQ(terminal().Text(kPerNo, 7), "00099");
    EXPECT_EQ(terminal().Text(kIsim, 7), "ABCDEFGHIJKL");
    EXPECT_EQ(terminal().Text(kYetki, 7), "Supervizor");
    EXPECT_EQ(terminal().Text(kKartNo, 7), "55");
    EXPECT_EQ(terminal().Text(kSifre, 7), "1234567");
    const int zeynep = RowOf(terminal(), "00012");
    EXPECT_EQ(terminal().Text(kIsim, zeynep), "Zeynep Eski");
    EXPECT_EQ(terminal().Text(kKartNo, zeynep), "777");
    ExpectAlternatingColours(terminal());
    EXPECT_EQ(Ticks(store()), std::vector<bool>(3, false));

    EXPECT_EQ(test::ReadAll(ListPath()), listBefore);
    EXPECT_EQ(test::ReadAll(DetailsPath()), detailsBefore);
    ExpectProgressBoxHiddenAfter(kPersonnelToTerminalCaption);
    EXPECT_TRUE(MessageBox::shown().empty());
}

// --- fingerprint templates -------------------------------------------------------------------

TEST_F(PersonnelWindowTest, TemplatesAlStoresTheTerminalsTemplatesWithoutGaps) {
    WriteStore();
    Open();
    RecordProgress();
    Tick(window->terminalGrid(), {"00007", "00012", "00042"});
    Click("parmakizialbuton");

    // Fingers 2 and 5 become slots 0 and 1.
    EXPECT_EQ(StoredTemplate("00007", 0), Tpl('A', 600));
    EXPECT_EQ(StoredTemplate("00007", 1), Tpl('B', 700));
    EXPECT_EQ(StoredTemplate("00007", 2), "");
    EXPECT_EQ(StoredTemplate("00042", 0), Tpl('C', 500));
    // A ten-character text is no template: the stored one stays.
    EXPECT_EQ(StoredTemplate("00012", 0), Tpl('Z', 20));
    EXPECT_EQ(StoredTemplate("00012", 1), "");

    EXPECT_EQ(ListLines(), (std::vector<std::string>{"00012", "00099", "00250", "00007", "00042"}));
    EXPECT_EQ(StoredPerson("00007").isim, "Ali Veli");
    EXPECT_EQ(StoredPerson("00042").yetki, "Supervizor");
    EXPECT_EQ(Column(store(), kPerNo),
              (std::vector<std::string>{"00012", "00099", "00250", "00007", "00042"}));
    for (int row : {3, 4}) EXPECT_EQ(store().Value(kMark, row), 1) << row;
    EXPECT_EQ(store().Value(kMark, 0), 1);
    ExpectAlternatingColours(store());
    EXPECT_EQ(Ticks(terminal()), std::vector<bool>(7, false));
    EXPECT_EQ(ProgressValues(kTemplatesToStoreCaption), (std::vector<int>{0, 33, 67, 100}));
    ExpectProgressBoxHiddenAfter(kTemplatesToStoreCaption);
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(PersonnelWindowTest, TemplatesGonderCreatesMissingUsersAndSendsTheStoredTemplates) {
    WriteStore();
    Open();
    const std::string detailsBefore = test::ReadAll(DetailsPath());
    Tick(window->storeGrid(), {"00012", "00099"});
    Click("parmakizigonderbuton");

    // 00099 was not on the terminal: created with name and password whole.
    const std::optional<TerminalUser> created = served.terminal.ReadUser(99);
    ASSERT_TRUE(created.has_value());
    EXPECT_EQ(created->name, "ABCDEFGHIJKL");
    EXPECT_EQ(created->password, "1234567");
    EXPECT_EQ(created->privilege, 3);
    EXPECT_EQ(served.terminal.ReadTemplate(99, 0), Tpl('D', 300));
    EXPECT_EQ(served.terminal.ReadTemplate(99, 1), Tpl('E', 310));
    EXPECT_FALSE(served.terminal.ReadTemplate(99, 2).has_value());
    // 00012 was listed: only its template, on finger 0; the user is unchanged.
    EXPECT_EQ(served.terminal.ReadTemplate(12, 0), Tpl('Z', 20));
    EXPECT_EQ(served.terminal.ReadUser(12)->name, "Zeynep Kaya");

    ASSERT_EQ(terminal().RowCount(), 8);
    EXPECT_EQ(terminal().Text(kPerNo, 7), "00099");
    EXPECT_EQ(RowOf(terminal(), "00012"), 2);  // no second row
    ExpectAlternatingColours(terminal());
    EXPECT_EQ(Ticks(store()), std::vector<bool>(3, false));
    EXPECT_EQ(test::ReadAll(DetailsPath()), detailsBefore);
    ExpectProgressBoxHiddenAfter(kTemplatesToTerminalCaption);
    EXPECT_TRUE(MessageBox::shown().empty());
}

// --- deleting ---------------------------------------------------------------------------------

TEST_F(PersonnelWindowTest, SilDeletesTickedRowsOnTheTerminalThenInTheStore) {
    WriteStore();
    Open();
    RecordProgress();
    Tick(window->terminalGrid(), {"00042", "00500"});
    Tick(window->storeGrid(), {"00099"});
    Click("silbuton");

    EXPECT_FALSE(served.terminal.ReadUser(42).has_value());
    EXPECT_FALSE(served.terminal.ReadUser(500).has_value());
    EXPECT_FALSE(served.terminal.ReadTemplate(42, 0).has_value());
    EXPECT_TRUE(served.terminal.ReadUser(7).has_value());
    EXPECT_EQ(Column(terminal(), kPerNo),
              (std::vector<std::string>{"00003", "00007", "00012", "123456", "99999"}));
    ExpectAlternatingColours(terminal());

    EXPECT_EQ(ListLines(), (std::vector<std::string>{"00012", "00250"}));
    EXPECT_FALSE(StoredSection("00099"));
    EXPECT_TRUE(StoredSection("00012"));
    EXPECT_FALSE(std::filesystem::exists(home.File("personel/_personel.ini")));
    EXPECT_EQ(Column(store(), kPerNo), (std::vector<std::string>{"00012", "00250"}));
    ExpectAlternatingColours(store());

    // Ten steps per terminal user, then the store side.
    std::vector<int> expected = {0};
    for (int step = 1; step <= 20; ++step) expected.push_back(step * 5);
    EXPECT_EQ(ProgressValues(kDeletingOnTerminalCaption), expected);
    EXPECT_EQ(ProgressValues(kDeletingInStoreCaption), (std::vector<int>{0, 100}));
    ExpectProgressBoxHiddenAfter(kDeletingInStoreCaption);
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(PersonnelWindowTest, SilWithNothingTickedRewritesTheListInTheGridsOrder) {
    WriteStore();
    Open();
    ClickHeader(window->storeGrid(), kPerNo);  // descending
    Click("silbuton");
    EXPECT_EQ(ListLines(), (std::vector<std::string>{"00250", "00099", "00012"}));
    EXPECT_EQ(served.terminal.Users().size(), 7u);
    EXPECT_TRUE(StoredSection("00099"));
    EXPECT_EQ(terminal().RowCount(), 7);
    EXPECT_EQ(store().RowCount(), 3);
}

// --- picture -------------------------------------------------------------------------------------

// With AKTARIM_SCREENSHOT_DIR set, saves the loaded window.
TEST(PersonnelWindowScreenshot, Screenshot) {
    const QString folder = qEnvironmentVariable("AKTARIM_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "AKTARIM_SCREENSHOT_DIR not set";
    struct Person {
        int32_t number;
        const char* name;
        int32_t privilege;
        const char* password;
    };
    const std::array<Person, 12> people = {{
        {101, "Ahmet Yıldız", 0, "1111"},
        {102, "Ayşe Demir", 1, ""},
        {103, "Mehmet Kaya", 0, "2580"},
        {104, "Fatma Şahin", 2, ""},
        {105, "Mustafa Çelik", 0, "7777"},
        {106, "Emine Öztürk", 3, "1907"},
        {107, "Ali Aydın", 0, ""},
        {108, "Hatice Arslan", 0, "4242"},
        {109, "Hüseyin Doğan", 1, ""},
        {110, "Zeynep Koç", 0, "1234"},
        {111, "İbrahim Kurt", 0, ""},
        {112, "Elif Özdemir", 2, "9090"},
    }};
    TerminalState terminalState;
    terminalState.machineNumber = test::kMachine;
    for (const Person& p : people) {
        terminalState.users[p.number] = {p.number, p.name, p.password, p.privilege, true, ""};
        if (p.number % 3 != 0) terminalState.templates[{p.number, 0}] = Tpl('T', 400);
    }
    test::ServedTerminal served(terminalState);

    test::TempDir home;
    std::filesystem::create_directories(home.File("personel"));
    std::vector<std::string> list, details;
    for (const Person& p : people) {
        const std::string key = PersonnelKey(p.number + 100);
        list.push_back(key);
        details.insert(details.end(), {"[" + key + "]", std::string("isim=") + p.name,
                                       std::string("yetki=") + PrivilegeName(p.privilege),
                                       "kartno=" + std::to_string(4400000 + p.number),
                                       std::string("sifre=") + p.password});
        if (p.number % 2 == 0) details.push_back("parmakizi0=" + Tpl('P', 400));
    }
    test::WriteAll(home.File("personel/personel.ini"), Crlf(list));
    test::WriteAll(home.File("personel/parmakizi.ini"), Crlf(details));

    AppState state;
    state.programFolder = home.path();
    state.makeLink = [] { return std::make_unique<WireLink>(test::FastOptions()); };
    state.connection.link = {1, "127.0.0.1", served.port, 0, 0, test::kMachine};
    Tpersonelform window(state);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_EQ(window.terminalGrid().grid().RowCount(), 12);
    ASSERT_EQ(window.storeGrid().grid().RowCount(), 12);
    for (int row : {1, 2, 5, 9}) window.terminalGrid().grid().SetChecked(kSec, row, true);
    for (int row : {0, 3, 4}) window.storeGrid().grid().SetChecked(kSec, row, true);
    QTest::qWait(100);
    QDir().mkpath(folder);
    ASSERT_TRUE(window.grab().save(folder + QStringLiteral("/personnel-window.png")));
    window.cikisbutonClick();
}

}  // namespace
}  // namespace aktarim
