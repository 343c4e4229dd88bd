// The settings window and the warning dialog, driven the way a user drives
// them, against a terminal served over loopback TCP and a pseudo-terminal
// through the program's own wire link.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <array>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/IniFile.h"
#include "core/Text.h"
#include "forms/AppState.h"
#include "forms/FileDialog.h"
#include "forms/FormStyle.h"
#include "forms/GridView.h"
#include "forms/Language.h"
#include "forms/MainGrid.h"
#include "forms/MessageBox.h"
#include "forms/Tayarlarform.h"
#include "forms/Tmainform.h"
#include "forms/Tpersonelform.h"
#include "forms/Tuyariform.h"
#include "personnel/PersonnelCommands.h"
#include "settings/SettingsCommands.h"
#include "support/FailingFileSystem.h"
#include "support/TempDir.h"
#include "terminal/WireFixtures.h"

namespace aktarim {
namespace {

struct Device {
    std::string name, type, machine, port, ip, ipPort;
};

// Runs body once widget is shown (inside the modal loop that shows it);
// gives up after a few seconds so that a broken handler cannot hang a test.
void WhenVisible(QWidget* widget, std::function<void()> body, int triesLeft = 300) {
    QTimer::singleShot(10, widget, [widget, body = std::move(body), triesLeft]() mutable {
        if (widget->isVisible())
            body();
        else if (triesLeft > 0)
            WhenVisible(widget, std::move(body), triesLeft - 1);
    });
}

// Types text key by key; QTest::keyClicks knows ASCII only.
void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Ends an event loop that a broken handler would leave running forever.
class LoopGuard {
  public:
    LoopGuard() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        timer_.start(10000);
    }

  private:
    QTimer timer_;
};

// Whether text is the clock text of some second in [from, to], shifted by
// offset seconds.
bool IsClockTextBetween(const QString& text, std::time_t from, std::time_t to, int64_t offset = 0) {
    for (std::time_t t = from; t <= to; ++t)
        if (text == QString::fromStdString(LocalClockText(t + static_cast<std::time_t>(offset))))
            return true;
    return false;
}

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { MessageBox::clearShown(); }

    // Users with every privilege, templates, a log, and a clock 400 days
    // behind the PC's.
    static TerminalState Terminal() {
        TerminalState terminal = test::SmallTerminal();
        terminal.clockOffsetSeconds = -400LL * 24 * 3600;
        return terminal;
    }

    std::string ConfigPath() const { return home.File("cihazlar.ini"); }

    void WriteConfig(const std::vector<Device>& devices) {
        std::vector<std::string> lines = {"[ayarlar]",
                                          "dosya=" + home.File("kayit.txt"),
                                          "silkontrol=1",
                                          "[seriport]",
                                          "com1=" + served.ptyPath,
                                          "[zamanasimi]",
                                          "baglanti=1000",
                                          "istek=1000",
                                          "bekleme=1000"};
        int number = 0;
        for (const Device& d : devices) {
            const std::vector<std::string> section = {"[cihaz" + std::to_string(++number) + "]",
                                                      "adi=" + d.name,
                                                      "baglantitipi=" + d.type,
                                                      "makineno=" + d.machine,
                                                      "portno=" + d.port,
                                                      "baudrate=115200",
                                                      "ipadres=" + d.ip,
                                                      "ipport=" + d.ipPort,
                                                      "parola=",
                                                      "gcdurum=Standart"};
            lines.insert(lines.end(), section.begin(), section.end());
        }
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        test::WriteAll(ConfigPath(), Utf8ToCp1254(text));
    }

    std::string Port() const { return std::to_string(served.port); }

    // The served terminal on the network and on the serial line, a closed
    // port, and a type the tests do not know.
    std::vector<Device> FourDevices() const {
        return {{"Giriş Kapısı", "Ethernet", "5", "Com1", "127.0.0.1", Port()},
                {"Kapalı", "Ethernet", "5", "Com1", "127.0.0.1", "1"},
                {"Seri Hat", "Comm Port", "5", "Com1", "", ""},
                {"Eski", "ethernet", "5", "Com1", "127.0.0.1", Port()}};
    }

    // The four windows in their order, as the program makes them.
    void Start(bool showSettings = true) {
        state.programFolder = home.path();
        state.fileSystem = &fs;
        state.configFile = std::make_unique<IniFile>(state.ConfigFilePath(), fs);
        UseWireLinks(state);
        mainform = std::make_unique<Tmainform>(state);
        settings = std::make_unique<Tayarlarform>(state);
        personel = std::make_unique<Tpersonelform>(state);
        uyari = std::make_unique<Tuyariform>(state);
        state.ayarlarform = settings.get();
        state.personelform = personel.get();
        state.uyariform = uyari.get();
        if (!showSettings) return;
        settings->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(settings.get()));
    }

    template <typename T>
    T* Find(const char* name, QWidget* in = nullptr) {
        T* widget = (in != nullptr ? in : settings.get())->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void Click(const char* button) {
        QPushButton* b = Find<QPushButton>(button);
        if (b != nullptr) QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    }

    GridView& grid() { return settings->deviceGrid(); }
    GridModel& model() { return settings->deviceGrid().grid(); }

    QPoint CellCentre(int column, int row) {
        return grid().visualRect(grid().model()->index(row, column)).center();
    }
    void ClickCell(int column, int row) {
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, CellCentre(column, row));
    }

    std::vector<std::string> StatusColumn() {
        std::vector<std::string> texts;
        for (int r = 0; r < model().RowCount(); ++r)
            texts.push_back(model().Text(kSettingsColumnStatus, r));
        return texts;
    }

    std::string Stored(const std::string& section, const char* key) {
        IniFile ini(ConfigPath());
        return ini.ReadString(section, key, "<none>");
    }

    test::TempDir home;
    test::FailingFileSystem fs;
    test::ServedTerminal served{Terminal(), {}, /*serial=*/true};
    AppState state;
    std::unique_ptr<Tmainform> mainform;
    std::unique_ptr<Tayarlarform> settings;
    std::unique_ptr<Tpersonelform> personel;
    std::unique_ptr<Tuyariform> uyari;
};

// --- the window and its controls -------------------------------------------

TEST_F(SettingsWindowTest, WindowIsAFixedModalDialogWithItsCaption) {
    WriteConfig(FourDevices());
    Start();
    EXPECT_EQ(settings->objectName(), QStringLiteral("ayarlarform"));
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Ayarlar"));
    EXPECT_EQ(settings->size(), QSize(745, 501));
    EXPECT_EQ(settings->minimumSize(), QSize(745, 501));
    EXPECT_EQ(settings->maximumSize(), QSize(745, 501));
    EXPECT_TRUE(settings->isModal());
    const Qt::WindowFlags flags = settings->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(settings->font(), DefaultFormFont());
}

TEST_F(SettingsWindowTest, ControlsSitWhereTheyBelongWithTheirCaptions) {
    WriteConfig(FourDevices());
    Start();
    struct Control {
        const char* name;
        const char* parent;           // the group that holds it, or nullptr
        std::optional<QPoint> place;  // in window coordinates
        QSize size;                   // an invalid size: only the place is fixed
        const char* caption;          // text or group title; nullptr: none to check
    };
    const std::array<Control, 22> controls = {{
        {"Label2", nullptr, QPoint(8, 8), QSize(), "Kayıtların Kaydedileceği Dosya:"},
        {"kayityeriedit", nullptr, QPoint(8, 24), QSize(473, 24), nullptr},
        {"BitBtn1", nullptr, QPoint(488, 24), QSize(75, 25), "Değiştir"},
        {"cihazlist", nullptr, QPoint(8, 56), QSize(729, 193), nullptr},
        {"cihazayarlari", nullptr, QPoint(8, 256), QSize(257, 65), "Cihazlar"},
        {"yeni", "cihazayarlari", std::nullopt, QSize(), "Yeni"},
        {"kaydet", "cihazayarlari", std::nullopt, QSize(), "Kaydet"},
        {"sil", "cihazayarlari", std::nullopt, QSize(), "Sil"},
        {"GroupBox1", nullptr, QPoint(8, 328), QSize(257, 83), "Tarih / Saat Düzenleme"},
        {"tarihoku", "GroupBox1", std::nullopt, QSize(), "Tarihi Oku"},
        {"tarihtext", "GroupBox1", std::nullopt, QSize(), ""},
        {"tarihkaydet", "GroupBox1", std::nullopt, QSize(), "Tarihi Kaydet"},
        {"Label3", "GroupBox1", QPoint(118, 382), QSize(), nullptr},
        {"GroupBox4", nullptr, QPoint(8, 416), QSize(257, 73), "Cihaz İşlemleri"},
        {"BitBtn4", "GroupBox4", std::nullopt, QSize(), "Yetkilileri Sil"},
        {"BitBtn2", "GroupBox4", std::nullopt, QSize(), "Cihazı Sıfırla"},
        {"GroupBox3", nullptr, QPoint(272, 256), QSize(273, 105), "Personel İşlemleri"},
        {"personelbuton", "GroupBox3", std::nullopt, QSize(), "Personel İşlemleri"},
        {"GroupBox2", nullptr, QPoint(552, 256), QSize(185, 105), "Bağlantı Test"},
        {"bagtest", "GroupBox2", std::nullopt, QSize(), "Bağlantı Test"},
        {"tumtest", "GroupBox2", std::nullopt, QSize(), "Tüm  CihazlarıTest et"},
        {"cikisbuton", nullptr, QPoint(624, 440), QSize(97, 41), "Çıkış"},
    }};
    for (const Control& c : controls) {
        QWidget* widget = Find<QWidget>(c.name);
        if (widget == nullptr) continue;
        EXPECT_TRUE(widget->isVisible()) << c.name;
        const QString parent =
            c.parent != nullptr ? QLatin1String(c.parent) : settings->objectName();
        EXPECT_EQ(widget->parentWidget()->objectName(), parent) << c.name;
        const QRect inWindow(widget->mapTo(settings.get(), QPoint(0, 0)), widget->size());
        if (c.parent != nullptr) {
            // Wholly inside its group, below the group's title.
            const QRect group = widget->parentWidget()->rect().adjusted(0, 12, 0, 0);
            EXPECT_TRUE(group.contains(widget->geometry())) << c.name;
        }
        if (c.place) {
            EXPECT_EQ(inWindow.topLeft(), *c.place) << c.name;
        }
        if (c.size.isValid()) {
            EXPECT_EQ(inWindow.size(), c.size) << c.name;
        }
        if (c.caption != nullptr) {
            const QVariant text =
                widget->property(qobject_cast<QGroupBox*>(widget) ? "title" : "text");
            EXPECT_EQ(text.toString(), QString::fromUtf8(c.caption)) << c.name;
        }
    }
    for (const char* name : {"yeni", "kaydet", "sil"}) {
        const QSize size = Find<QWidget>(name)->size();
        EXPECT_TRUE(size.width() >= 73 && size.width() <= 75 && size.height() == 33) << name;
    }
    EXPECT_EQ(Find<QWidget>("personelbuton")->size(), QSize(137, 41));
    EXPECT_TRUE(Find<QLineEdit>("tarihtext")->isReadOnly());
}

TEST_F(SettingsWindowTest, CaptionsHaveTheirFontsAndColours) {
    WriteConfig(FourDevices());
    Start();
    struct Look {
        const char* name;
        int points;
        bool bold;
        std::optional<QRgb> colour;
    };
    const std::array<Look, 14> looks = {{
        {"kayityeriedit", 10, false, std::nullopt},
        {"BitBtn1", 10, true, 0xFF000080},
        {"yeni", 10, true, 0xFF0000FF},
        {"kaydet", 10, true, 0xFF008000},
        {"sil", 10, true, 0xFFFF0000},
        {"Label3", 8, true, std::nullopt},
        {"tarihoku", 8, false, std::nullopt},
        {"BitBtn4", 8, true, std::nullopt},
        {"BitBtn2", 8, true, 0xFFFF0000},
        {"personelbuton", 10, true, 0xFF800000},
        {"bagtest", 10, true, 0xFF0000FF},
        {"tumtest", 8, true, 0xFF0000FF},
        {"cikisbuton", 10, true, 0xFFFF0000},
        {"Label2", 8, false, std::nullopt},
    }};
    const QRgb plain = settings->palette().color(QPalette::ButtonText).rgba();
    for (const Look& look : looks) {
        QWidget* widget = Find<QWidget>(look.name);
        if (widget == nullptr) continue;
        EXPECT_EQ(widget->font(), FormFont(look.points, look.bold)) << look.name;
        EXPECT_EQ(widget->font().bold(), look.bold) << look.name;
        EXPECT_EQ(widget->palette().color(QPalette::ButtonText).rgba(), look.colour.value_or(plain))
            << look.name;
    }
}

TEST_F(SettingsWindowTest, DeviceGridHasTheTenColumnsAndItsLook) {
    WriteConfig(FourDevices());
    Start();
    struct Column {
        const char* header;
        int width;
        bool editable;
    };
    const std::array<Column, 10> columns = {{
        {"Cihaz Adı", 72, true},
        {"Bağ.Tipi", 66, true},
        {"Chz.No", 51, true},
        {"Port No", 53, true},
        {"B.rate", 54, true},
        {"IP Adres", 92, true},
        {"IP Port", 48, true},
        {"Parola", 47, true},
        {"G/Ç Durumu", 90, true},
        {"İşlem Durumu", 146, false},
    }};
    ASSERT_EQ(grid().model()->columnCount(), 10);
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(grid().model()->headerData(c, Qt::Horizontal).toString(),
                  QString::fromUtf8(columns[c].header));
        EXPECT_EQ(grid().columnWidth(c), columns[c].width) << c;
        EXPECT_EQ(bool(grid().model()->index(0, c).flags() & Qt::ItemIsEditable),
                  columns[c].editable)
            << c;
    }
    EXPECT_EQ(grid().horizontalHeader()->height(), 18);
    EXPECT_EQ(grid().rowHeight(0), 16);
    EXPECT_EQ(grid().selectionBehavior(), QAbstractItemView::SelectRows);
    auto* delegate = qobject_cast<GridDelegate*>(grid().itemDelegate());
    ASSERT_NE(delegate, nullptr);
    EXPECT_TRUE(delegate->blendedSelection);

    // Rows coloured from the top, the first one the lighter.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 10; ++c)
            EXPECT_EQ(model().Cell(c, r).background, r % 2 == 0 ? 0xF2F8FFu : 0xE8F0FFu)
                << c << "," << r;

    // A click on a header does not sort.
    QTest::mouseClick(grid().horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid().columnViewportPosition(0) + 10, 9));
    EXPECT_EQ(model().Text(0, 0), "Giriş Kapısı");
    EXPECT_EQ(model().Text(0, 3), "Eski");
}

TEST_F(SettingsWindowTest, ShowingFillsTheGridFromTheTableAndSelectsTheFirstRow) {
    WriteConfig(FourDevices());
    const std::time_t before = std::time(nullptr);
    Start();
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(model().RowCount(), 4);
    const std::array<std::string, 9> first = {"Giriş Kapısı", "Ethernet", "5", "Com1",    "115200",
                                              "127.0.0.1",    Port(),     "",  "Standart"};
    for (int f = 0; f < 9; ++f) EXPECT_EQ(model().Text(f, 0), first[f]) << f;
    EXPECT_EQ(StatusColumn(), std::vector<std::string>(4, ""));
    EXPECT_EQ(Find<QLineEdit>("kayityeriedit")->text(),
              QString::fromStdString(home.File("kayit.txt")));
    EXPECT_TRUE(Find<QLineEdit>("tarihtext")->text().isEmpty());
    EXPECT_TRUE(IsClockTextBetween(Find<QLabel>("Label3")->text(), before, after))
        << Find<QLabel>("Label3")->text().toStdString();
    EXPECT_EQ(state.connection.selectedRow, 1);
    EXPECT_EQ(grid().currentIndex().row(), 0);
    EXPECT_TRUE(MessageBox::shown().empty());

    // The grid follows the user's selection.
    ClickCell(2, 2);
    EXPECT_EQ(state.connection.selectedRow, 3);
    EXPECT_TRUE(grid().selectionModel()->isRowSelected(2, {}));
}

// --- editing and saving the device list -------------------------------------

TEST_F(SettingsWindowTest, EditedCellsAreSavedByKaydet) {
    WriteConfig(FourDevices());
    Start();
    struct Edit {
        int column;
        const char* typed;
        const char* stored;  // what the editor lets through
        const char* key;
        const char* before;  // in the file until "Kaydet"
    };
    const std::array<Edit, 3> edits = {{
        {0, "Ana Kapı", "Ana Kapı", "adi", "Kapalı"},
        {2, "1a2", "12", "makineno", "5"},  // digits only in a numeric column
        {4, "9600", "9600", "baudrate", "115200"},
    }};
    ClickCell(0, 1);
    for (const Edit& e : edits) {
        // The way a user edits: arrow keys to the cell, F2.
        for (int step = 0; step < 10 && grid().currentIndex().column() < e.column; ++step)
            QTest::keyClick(&grid(), Qt::Key_Right);
        QTest::keyClick(&grid(), Qt::Key_F2);
        QWidget* editor = grid().indexWidget(grid().model()->index(1, e.column));
        ASSERT_NE(editor, nullptr) << e.column;
        QLineEdit* line = qobject_cast<QLineEdit*>(editor);
        if (auto* combo = qobject_cast<QComboBox*>(editor)) line = combo->lineEdit();
        ASSERT_NE(line, nullptr) << e.column;
        line->selectAll();
        TypeText(line, QString::fromUtf8(e.typed));
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents();  // the view commits the edit as a posted call
        EXPECT_EQ(model().Text(e.column, 1), e.stored) << e.column;
    }
    for (const Edit& e : edits) EXPECT_EQ(Stored("cihaz2", e.key), e.before) << e.key;
    Click("kaydet");
    for (const Edit& e : edits) EXPECT_EQ(Stored("cihaz2", e.key), e.stored) << e.key;
    EXPECT_EQ(Stored("cihaz1", "adi"), "Giriş Kapısı");
    EXPECT_EQ(Stored("cihaz4", "adi"), "Eski");
    EXPECT_EQ(Stored("ayarlar", "silkontrol"), "1") << "the options are not touched";
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(SettingsWindowTest, SilDeletesTheMiddleOfThreeAndRenumbersTheFile) {
    std::vector<Device> devices = FourDevices();
    devices.pop_back();
    WriteConfig(devices);
    Start();
    Click("bagtest");  // a status text on row 0 stays on its row position
    ClickCell(0, 1);
    Click("sil");
    ASSERT_EQ(model().RowCount(), 2);
    EXPECT_EQ(model().Text(0, 0), "Giriş Kapısı");
    EXPECT_EQ(model().Text(0, 1), "Seri Hat");
    EXPECT_EQ(model().Text(1, 1), "Comm Port");
    EXPECT_EQ(state.connection.selectedRow, 2);
    EXPECT_EQ(Stored("cihaz1", "adi"), "Giriş Kapısı");
    EXPECT_EQ(Stored("cihaz2", "adi"), "Seri Hat");
    EXPECT_EQ(Stored("cihaz2", "baglantitipi"), "Comm Port");
    EXPECT_FALSE(IniFile(ConfigPath()).SectionExists("cihaz3"));

    // The last device stays.
    Click("sil");
    Click("sil");
    EXPECT_EQ(model().RowCount(), 1);
    EXPECT_EQ(Stored("cihaz1", "adi"), "Giriş Kapısı");
    EXPECT_FALSE(IniFile(ConfigPath()).SectionExists("cihaz2"));
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(SettingsWindowTest, YeniAddsADefaultRowThatReachesTheTableOnClose) {
    WriteConfig(FourDevices());
    Start();
    Click("yeni");
    ASSERT_EQ(model().RowCount(), 5);
    const std::array<std::string, 10> row = {"Cihaz5",        "Ethernet", "1", "Com1",     "115200",
                                             "192.168.1.201", "4370",     "",  "Standart", ""};
    for (int c = 0; c < 10; ++c) EXPECT_EQ(model().Text(c, 4), row[c]) << c;
    EXPECT_EQ(state.connection.selectedRow, 5);
    EXPECT_EQ(grid().currentIndex(), grid().model()->index(4, 0));
    EXPECT_FALSE(IniFile(ConfigPath()).SectionExists("cihaz5")) << "Yeni writes nothing";

    // A name longer than its field: written whole by the save at closing,
    // kept cut to 20 characters in the device table.
    model().SetText(kFieldName, 4, "Çok Uzun Bir Cihaz Adı Burada");
    Click("cikisbuton");
    EXPECT_FALSE(settings->isVisible());
    EXPECT_EQ(Stored("cihaz5", "adi"), "Çok Uzun Bir Cihaz Adı Burada");
    ASSERT_EQ(state.config.devices.deviceCount(), 5);
    EXPECT_EQ(state.config.devices.at(5).fields[kFieldName], "Çok Uzun Bir Cihaz A");
}

TEST_F(SettingsWindowTest, CloseBoxWritesTheListBackLikeCikis) {
    WriteConfig(FourDevices());
    Start();
    model().SetText(kFieldIpAddress, 1, "10.1.2.3");
    settings->close();  // what the title bar's close box does
    EXPECT_FALSE(settings->isVisible());
    EXPECT_EQ(Stored("cihaz2", "ipadres"), "10.1.2.3");
    EXPECT_EQ(state.config.devices.at(2).fields[kFieldIpAddress], "10.1.2.3");

    // Esc is no way out.
    settings->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings.get()));
    QTest::keyClick(settings.get(), Qt::Key_Escape);
    EXPECT_TRUE(settings->isVisible());
}

TEST_F(SettingsWindowTest, RefusedWriteShowsTheErrorAndKeepsTheFile) {
    WriteConfig(FourDevices());
    Start();
    const std::string before = test::ReadAll(ConfigPath());
    fs.failPathContaining = "cihazlar.ini";
    model().SetText(kFieldName, 0, "Değişti");
    Click("kaydet");
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Error);
    EXPECT_EQ(MessageBox::shown()[0].text,
              QString::fromStdString("Unable to write to " + ConfigPath()));
    EXPECT_EQ(test::ReadAll(ConfigPath()), before);

    fs.failPathContaining.clear();
    Click("kaydet");
    EXPECT_EQ(Stored("cihaz1", "adi"), "Değişti");
    EXPECT_EQ(MessageBox::shown().size(), 1u);
}

// --- the record file ---------------------------------------------------------

TEST_F(SettingsWindowTest, EveryKeystrokeInTheRecordFileBoxWritesDosya) {
    WriteConfig(FourDevices());
    Start();
    const std::string path = home.File("kayit.txt");
    auto* edit = Find<QLineEdit>("kayityeriedit");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, 'x');
    EXPECT_EQ(Stored("ayarlar", "dosya"), path + "x");
    EXPECT_EQ(state.config.recordFilePath, path + "x");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(Stored("ayarlar", "dosya"), path);
    EXPECT_EQ(state.config.recordFilePath, path);
    EXPECT_TRUE(settings->isVisible()) << "Enter in the box presses no button";
}

TEST_F(SettingsWindowTest, DegistirTakesTheChosenFileAndKeepsThePathWhenCancelled) {
    WriteConfig(FourDevices());
    Start();
    const std::string chosen = home.File("bordro/giriş.txt");
    const int asked = OpenFileDialog::timesAsked();
    OpenFileDialog::setNextAnswer(QString::fromStdString(chosen));
    Click("BitBtn1");
    EXPECT_EQ(OpenFileDialog::timesAsked(), asked + 1);
    EXPECT_EQ(Find<QLineEdit>("kayityeriedit")->text(), QString::fromStdString(chosen));
    EXPECT_EQ(state.config.recordFilePath, chosen);
    EXPECT_EQ(Stored("ayarlar", "dosya"), chosen);

    OpenFileDialog::setNextAnswer(std::nullopt);
    Click("BitBtn1");
    EXPECT_EQ(OpenFileDialog::timesAsked(), asked + 2);
    EXPECT_EQ(state.config.recordFilePath, chosen);
    EXPECT_EQ(Stored("ayarlar", "dosya"), chosen);
    EXPECT_TRUE(MessageBox::shown().empty());
}

// --- connection tests --------------------------------------------------------

TEST_F(SettingsWindowTest, BaglantiTestReportsOnTheCurrentRowOnly) {
    WriteConfig(FourDevices());
    Start();
    struct Case {
        int row;
        std::vector<std::string> status;
    };
    const std::array<Case, 4> cases = {{
        {0, {"Bağlantı Kuruldu", "", "", ""}},
        {1, {"", "Bağlantı Kurulamadı", "", ""}},
        {2, {"", "", "Bağlantı Kuruldu", ""}},
        {3, {"", "", "", "Kontrol Ediliyor"}},  // an unknown type makes no attempt
    }};
    for (const Case& c : cases) {
        ClickCell(0, c.row);
        Click("bagtest");
        EXPECT_EQ(StatusColumn(), c.status) << c.row;
        EXPECT_FALSE(settings->terminalLink().IsConnected()) << c.row;
    }
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(SettingsWindowTest, TumCihazlariTestEtReportsEveryRow) {
    WriteConfig(FourDevices());
    Start();
    ClickCell(0, 2);
    Click("tumtest");
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"Bağlantı Kuruldu", "Bağlantı Kurulamadı",
                                                        "Bağlantı Kuruldu", "Kontrol Ediliyor"}));
    EXPECT_EQ(state.connection.selectedRow, 3) << "the current row does not move";
    EXPECT_FALSE(settings->terminalLink().IsConnected());
    EXPECT_TRUE(MessageBox::shown().empty());

    // The status texts are drawn, not only stored.
    QTest::qWait(3 * GridView::kRepaintIntervalMs);
    EXPECT_EQ(grid().model()->index(1, 9).data().toString(), QStringLiteral("Bağlantı Kurulamadı"));
}

TEST_F(SettingsWindowTest, ATextThatIsNoNumberEndsTheTestsInTheErrorBox) {
    std::vector<Device> devices = FourDevices();
    devices[1].ipPort = "43x0";
    WriteConfig(devices);
    Start();
    Click("tumtest");
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Error);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("'43x0' is not a valid integer value"));
    EXPECT_EQ(StatusColumn(),
              (std::vector<std::string>{"Bağlantı Kuruldu", "Kontrol Ediliyor", "", ""}));
}

// --- the device clock --------------------------------------------------------

TEST_F(SettingsWindowTest, TarihiOkuShowsTheTerminalsClockUntilTheGridIsClicked) {
    WriteConfig(FourDevices());
    Start();
    const std::time_t before = std::time(nullptr);
    Click("tarihoku");
    const std::time_t after = std::time(nullptr);
    const QString text = Find<QLineEdit>("tarihtext")->text();
    EXPECT_TRUE(IsClockTextBetween(text, before, after, served.terminal.state().clockOffsetSeconds))
        << text.toStdString();
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"Tarih/Saat okundu", "", "", ""}));
    EXPECT_FALSE(settings->terminalLink().IsConnected());
    EXPECT_FALSE(state.connection.settingsConnected);
    EXPECT_EQ(state.connection.currentMachineNumber, 5);

    ClickCell(3, 2);
    EXPECT_TRUE(Find<QLineEdit>("tarihtext")->text().isEmpty());

    // An unreachable terminal leaves the box as it was.
    ClickCell(0, 1);
    Find<QLineEdit>("tarihtext")->setText(QStringLiteral("önceki"));
    Click("tarihoku");
    EXPECT_EQ(Find<QLineEdit>("tarihtext")->text(), QStringLiteral("önceki"));
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"", "Bağlantı Kurulamadı", "", ""}));
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(SettingsWindowTest, TarihiKaydetSetsTheTerminalsClockToThePcTime) {
    WriteConfig(FourDevices());
    Start();
    ClickCell(0, 2);  // over the serial line
    ASSERT_LT(served.terminal.state().clockOffsetSeconds, -3600);
    const std::time_t before = std::time(nullptr);
    Click("tarihkaydet");
    const std::time_t after = std::time(nullptr);
    EXPECT_LE(std::abs(served.terminal.state().clockOffsetSeconds), 1);
    const QString text = Find<QLineEdit>("tarihtext")->text();
    EXPECT_TRUE(IsClockTextBetween(text, before, after + 1)) << text.toStdString();
    EXPECT_EQ(Find<QLabel>("Label3")->text(), text);
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"", "", "Tarih/Saat Kaydedildi", ""}));
    EXPECT_FALSE(settings->terminalLink().IsConnected());
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(SettingsWindowTest, TimerShowsThePcClockAndDisconnectsWhileTheWindowIsHidden) {
    WriteConfig(FourDevices());
    Start(/*showSettings=*/false);
    auto* timer = settings->findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());
    EXPECT_FALSE(settings->isVisible());

    TerminalLink& link = settings->terminalLink();
    ASSERT_TRUE(link.ConnectNetwork("127.0.0.1", served.port));
    auto* label = Find<QLabel>("Label3");
    label->setText(QStringLiteral("-"));
    QSignalSpy ticks(timer, &QTimer::timeout);
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(ticks.wait(1500));
    const std::time_t after = std::time(nullptr);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_TRUE(IsClockTextBetween(label->text(), before, after)) << label->text().toStdString();
}

// --- personnel ---------------------------------------------------------------

TEST_F(SettingsWindowTest, PersonelIslemleriOpensThePersonnelWindowAndTheTimerClosesTheTest) {
    WriteConfig(FourDevices());
    Start();
    auto* timer = settings->findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    timer->start();  // a whole second before the next tick
    bool shownModal = false;
    bool connectedMeanwhile = false;
    WhenVisible(personel.get(), [&] {
        shownModal = personel->isModal() && QApplication::activeModalWidget() == personel.get();
        connectedMeanwhile = settings->terminalLink().IsConnected();
        personel->close();
    });
    LoopGuard guard;
    Click("personelbuton");
    EXPECT_TRUE(shownModal);
    EXPECT_TRUE(connectedMeanwhile);
    EXPECT_EQ(state.connection.link.linkType, 1);
    EXPECT_EQ(state.connection.link.linkIpAddress, "127.0.0.1");
    EXPECT_EQ(state.connection.link.linkIpPort, served.port);
    EXPECT_EQ(state.connection.link.linkMachineNumber, 5);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_TRUE(MessageBox::shown().empty());

    // The button leaves its test connection to the next tick.
    EXPECT_TRUE(settings->terminalLink().IsConnected());
    QSignalSpy ticks(timer, &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(1500));
    EXPECT_FALSE(settings->terminalLink().IsConnected());
}

TEST_F(SettingsWindowTest, PersonelIslemleriOnAnUnreachableTerminalClosesTheWindow) {
    WriteConfig(FourDevices());
    Start();
    bool personnelShown = false;
    WhenVisible(personel.get(), [&] {
        personnelShown = true;
        personel->close();
    });
    ClickCell(0, 1);
    model().SetText(kFieldName, 0, "Kapanırken Yazıldı");
    Click("personelbuton");
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Message);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("Bağlantı Kurulamadı"));
    EXPECT_FALSE(settings->isVisible());
    QTest::qWait(30);
    EXPECT_FALSE(personnelShown);
    EXPECT_EQ(Stored("cihaz1", "adi"), "Kapanırken Yazıldı") << "closing writes the list back";
}

// --- maintenance -------------------------------------------------------------

TEST_F(SettingsWindowTest, YetkilileriSilTakesThePrivilegesAwayWithoutAQuestion) {
    WriteConfig(FourDevices());
    Start();
    ASSERT_EQ(served.terminal.state().users.at(70000).privilege, 3);
    Click("BitBtn4");
    for (const auto& [number, user] : served.terminal.state().users)
        EXPECT_EQ(user.privilege, 0) << number;
    EXPECT_EQ(served.terminal.state().users.size(), 4u) << "the users themselves stay";
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"Yetkililer silindi", "", "", ""}));
    EXPECT_FALSE(uyari->isVisible());
    EXPECT_FALSE(settings->terminalLink().IsConnected());
    EXPECT_TRUE(MessageBox::shown().empty());

    ClickCell(0, 1);
    Click("BitBtn4");
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"", "Bağlantı Kurulamadı", "", ""}));
}

TEST_F(SettingsWindowTest, WarningDialogHasItsControlsAndPlace) {
    WriteConfig(FourDevices());
    Start(/*showSettings=*/false);
    EXPECT_EQ(uyari->objectName(), QStringLiteral("uyariform"));
    EXPECT_EQ(uyari->windowTitle(), QStringLiteral("Uyarı"));
    EXPECT_EQ(uyari->size(), QSize(455, 105));
    EXPECT_EQ(uyari->minimumSize(), uyari->maximumSize());
    EXPECT_EQ(uyari->pos(), QPoint(227, 370));
    const Qt::WindowFlags flags = uyari->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowContextHelpButtonHint));
    struct Control {
        const char* name;
        QRect bounds;
        const char* text;
        bool bold;
    };
    const std::array<Control, 5> controls = {{
        {"Image1", QRect(24, 14, 33, 39), "", false},
        {"Label1", QRect(72, 16, 345, 13), "", true},
        {"Label2", QRect(72, 32, 345, 13), "", true},
        {"evetbuton", QRect(136, 64, 81, 25), "Evet", false},
        {"hayirbuton", QRect(232, 64, 81, 25), "Hayır", false},
    }};
    for (const Control& c : controls) {
        QWidget* widget = Find<QWidget>(c.name, uyari.get());
        if (widget == nullptr) continue;
        EXPECT_EQ(widget->geometry(), c.bounds) << c.name;
        EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(c.text)) << c.name;
        EXPECT_EQ(widget->font().bold(), c.bold) << c.name;
    }
    // The warning picture: yellow inside the sign, dark at the mark.
    const QImage picture = Find<QLabel>("Image1", uyari.get())->pixmap().toImage();
    ASSERT_FALSE(picture.isNull());
    const QColor fill = picture.pixelColor(8, 26);
    EXPECT_TRUE(fill.red() > 200 && fill.green() > 170 && fill.blue() < 80)
        << fill.name().toStdString();
    const QColor mark = picture.pixelColor(15, 15);
    EXPECT_TRUE(mark.red() < 80 && mark.green() < 80 && mark.blue() < 80)
        << mark.name().toStdString();
}

enum class Answer { Evet, Hayir, CloseBox };

struct ResetCase {
    const char* name;
    Answer answer;
    int dialogAnswer;
    bool erased;
    const char* status;
};

void PrintTo(const ResetCase& c, std::ostream* os) { *os << c.name; }

class ResetFromWindow : public SettingsWindowTest,
                        public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetFromWindow, ErasesTheTerminalOnlyAfterEvet) {
    const ResetCase& c = GetParam();
    WriteConfig(FourDevices());
    Start();
    ClickCell(0, 2);  // the serial line
    // An "Evet" from an earlier showing must not carry over to this one.
    state.dialogAnswer = kDialogYes;
    // What the previous question left in the labels is replaced.
    uyari->PrepareQuestion(QStringLiteral("eski"), QStringLiteral("soru"));

    bool shownModal = false;
    QString line1, line2, statusMeanwhile;
    WhenVisible(uyari.get(), [&] {
        shownModal = QApplication::activeModalWidget() == uyari.get();
        for (const char* name : {"Label1", "Label2"}) {
            const QLabel* label = Find<QLabel>(name, uyari.get());
            (label->objectName() == QLatin1String("Label1") ? line1 : line2) = label->text();
            // The whole line is shown, in bold.
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
                << name;
            EXPECT_TRUE(label->font().bold()) << name;
        }
        statusMeanwhile = QString::fromStdString(model().Text(kSettingsColumnStatus, 2));
        switch (c.answer) {
            case Answer::Evet:
                Find<QPushButton>("evetbuton", uyari.get())->click();
                break;
            case Answer::Hayir:
                Find<QPushButton>("hayirbuton", uyari.get())->click();
                break;
            case Answer::CloseBox:
                uyari->close();
                break;
        }
    });
    LoopGuard guard;
    Click("BitBtn2");

    EXPECT_TRUE(shownModal);
    EXPECT_EQ(line1,
              QStringLiteral("Cihaz içinde kayıtlı bulunan tüm personel bilgileri silinecektir."));
    EXPECT_EQ(line2, QStringLiteral("Cihazı sıfırlamak istediğinizden emin misiniz ?"));
    EXPECT_EQ(statusMeanwhile, QStringLiteral("Cihaz Sıfırlanıyor"));
    EXPECT_FALSE(uyari->isVisible());
    EXPECT_EQ(state.dialogAnswer, c.dialogAnswer);
    const TerminalState& terminal = served.terminal.state();
    EXPECT_EQ(terminal.users.empty(), c.erased);
    EXPECT_EQ(terminal.templates.empty(), c.erased);
    EXPECT_EQ(terminal.log.empty(), c.erased);
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"", "", c.status, ""}));
    EXPECT_FALSE(settings->terminalLink().IsConnected());
    EXPECT_TRUE(MessageBox::shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    SettingsWindow, ResetFromWindow,
    ::testing::Values(ResetCase{"evet", Answer::Evet, kDialogYes, true, "Cihaz Sıfırlandı"},
                      ResetCase{"hayir", Answer::Hayir, kDialogNo, false, ""},
                      ResetCase{"close_box", Answer::CloseBox, kDialogNoAnswer, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the device the user chose ----------------------------------------------

// The program loses the focus to another one, then gets it back.
void LeaveForAnotherProgramAndReturn(QWidget* window) {
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    QApplication::setActiveWindow(window);
    ASSERT_EQ(QApplication::activeWindow(), window);
}

TEST_F(SettingsWindowTest, ReturnFromAnotherProgramKeepsTheRowTheCommandsActOn) {
    WriteConfig(FourDevices());
    Start();
    ClickCell(0, 1);  // "Kapalı": nothing answers there
    LeaveForAnotherProgramAndReturn(settings.get());
    EXPECT_EQ(state.connection.selectedRow, 2);
    EXPECT_EQ(grid().currentIndex().row(), 1);

    // Acting on the first row would take the rights of the served terminal.
    Click("BitBtn4");
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"", "Bağlantı Kurulamadı", "", ""}));
    EXPECT_EQ(served.terminal.state().users.at(70000).privilege, 3);

    // A window of the program opened over this one selects the first row
    // when it closes.
    QDialog over(settings.get());
    over.show();
    QApplication::setActiveWindow(&over);
    over.close();
    QApplication::setActiveWindow(settings.get());
    EXPECT_EQ(state.connection.selectedRow, 1);
    EXPECT_EQ(grid().currentIndex().row(), 0);
}

TEST_F(SettingsWindowTest, ResetActsOnTheChosenRowWhenTheDialogMovesTheSelection) {
    WriteConfig(FourDevices());
    Start();
    ClickCell(0, 1);  // "Kapalı"
    WhenVisible(uyari.get(), [&] {
        QApplication::setActiveWindow(uyari.get());
        Find<QPushButton>("evetbuton", uyari.get())->click();
        // The settings window is active again before the reset goes on: its
        // first row is selected, as after any window of the program.
        QApplication::setActiveWindow(settings.get());
    });
    LoopGuard guard;
    Click("BitBtn2");
    EXPECT_EQ(state.connection.selectedRow, 1);
    EXPECT_EQ(StatusColumn(), (std::vector<std::string>{"", "Bağlantı Kurulamadı", "", ""}));
    EXPECT_FALSE(served.terminal.state().users.empty()) << "the first row's terminal was reset";
}

// --- keys ---------------------------------------------------------------------

TEST_F(SettingsWindowTest, EnterPressesTheFocusedButtonOnlyAndTabLeavesTheGrid) {
    WriteConfig(FourDevices());
    Start();
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (QPushButton* button : settings->findChildren<QPushButton*>())
        spies.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
    const auto clicks = [&] {
        int total = 0;
        for (const auto& spy : spies) total += static_cast<int>(spy->count());
        return total;
    };

    // Enter in the record file box presses nothing.
    QLineEdit* edit = Find<QLineEdit>("kayityeriedit");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks(), 0);

    struct Press {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    for (const Press press :
         {Press{Qt::Key_Return, {}}, Press{Qt::Key_Enter, Qt::KeypadModifier}}) {
        QPushButton* button = Find<QPushButton>("tarihoku");
        QSignalSpy pressed(button, &QPushButton::clicked);
        button->setFocus();
        QTest::keyClick(button, press.key, press.modifiers);
        EXPECT_EQ(pressed.count(), 1) << press.key;
    }
    EXPECT_EQ(clicks(), 2) << "no other button";

    // Tab from the grid goes to "Yeni" in one step; the arrows move the row.
    grid().setFocus();
    QTest::keyClick(&grid(), Qt::Key_Down);
    EXPECT_EQ(state.connection.selectedRow, 2);
    QTest::keyClick(&grid(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Find<QPushButton>("yeni"));
}

// --- texts in their columns ---------------------------------------------------

// Whether text is drawn whole in a cell of this column (not elided).
bool FitsColumn(GridView& view, int column, const QString& text, bool bold) {
    QStyleOptionViewItem option;
    option.initFrom(view.viewport());
    option.widget = &view;
    option.font = view.font();
    option.font.setBold(bold);
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = text;
    option.rect = QRect(0, 0, view.columnWidth(column), view.rowHeight(0));
    return GridDelegate::TextFits(option, text);
}

TEST_F(SettingsWindowTest, LongTextsFitTheirColumnsAndDropDownsShowWholeItems) {
    WriteConfig({{"Giriş Kapısı", "Comm Port", "12345", "Com4", "192.168.100.200", "65535"}});
    Start();
    // The form font, which was made for these widths.
    EXPECT_EQ(grid().font(), DefaultFormFont());
    EXPECT_EQ(grid().font().family(), FormFontFamily());
    struct Text {
        int column;
        const char* text;
    };
    const Text texts[] = {
        {kFieldName, "Giriş Kapısı"},
        {kFieldConnectionType, "Comm Port"},
        {kFieldConnectionType, "Ethernet"},
        {kFieldMachineNumber, "12345"},
        {kFieldBaudRate, "115200"},
        {kFieldIpAddress, "192.168.100.200"},
        {kFieldIpPort, "65535"},
        {kFieldInOutMode, "Her Zaman Giriş"},
        {kFieldInOutMode, "Her Zaman Çıkış"},
        {kSettingsColumnStatus, "Tarih/saat kaydediliyor"},
    };
    // Whole in a plain row; the selected row is bold, where the widest may
    // be elided (with its tooltip).
    for (const Text& t : texts)
        EXPECT_TRUE(FitsColumn(grid(), t.column, QString::fromUtf8(t.text), false)) << t.text;

    // A text that cannot fit is elided, with the whole text as its tooltip.
    model().SetText(kFieldName, 0, "Çok Uzun Bir Cihaz Adı Olur Bu");
    const QRect cell = grid().visualRect(grid().model()->index(0, kFieldName));
    QHelpEvent help(QEvent::ToolTip, cell.center(), grid().viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid().viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Çok Uzun Bir Cihaz Adı Olur Bu"));
    // A text that fits has none: the tip goes away (after its fade).
    const QRect ip = grid().visualRect(grid().model()->index(0, kFieldIpAddress));
    QHelpEvent noHelp(QEvent::ToolTip, ip.center(), grid().viewport()->mapToGlobal(ip.center()));
    QApplication::sendEvent(grid().viewport(), &noHelp);
    for (int wait = 0; wait < 100 && QToolTip::isVisible(); ++wait) QTest::qWait(20);
    EXPECT_FALSE(QToolTip::isVisible()) << QToolTip::text().toStdString();

    // The personnel window's grids, same font, same rule.
    struct PersonnelText {
        int column;
        const char* text;
    };
    const PersonnelText personnelTexts[] = {
        {kPersonnelColumnPerNo, "123456"},      {kPersonnelColumnIsim, "Ali Veli"},
        {kPersonnelColumnYetki, "Supervizor"},  {kPersonnelColumnYetki, "Kayıtçı"},
        {kPersonnelColumnKartNo, "4294967295"}, {kPersonnelColumnSifre, "123456"},
    };
    for (GridView* view : {&personel->terminalGrid(), &personel->storeGrid()}) {
        EXPECT_EQ(view->font().family(), FormFontFamily());
        for (const PersonnelText& t : personnelTexts)
            EXPECT_TRUE(FitsColumn(*view, t.column, QString::fromUtf8(t.text), false)) << t.text;
    }

    // The drop-down lists are as wide as their longest item.
    for (const int column : {kFieldConnectionType, kFieldPort, kFieldBaudRate, kFieldInOutMode}) {
        const QModelIndex index = grid().model()->index(0, column);
        QStyleOptionViewItem option;
        option.rect = grid().visualRect(index);
        std::unique_ptr<QWidget> editor(
            grid().itemDelegate()->createEditor(grid().viewport(), option, index));
        auto* combo = qobject_cast<QComboBox*>(editor.get());
        ASSERT_NE(combo, nullptr) << column;
        ASSERT_GT(combo->count(), 1);
        for (int i = 0; i < combo->count(); ++i)
            EXPECT_GE(combo->view()->minimumWidth(),
                      combo->fontMetrics().horizontalAdvance(combo->itemText(i)))
                << combo->itemText(i).toStdString();
    }
}

// --- from the main window ------------------------------------------------------

TEST_F(SettingsWindowTest, AyarlarOpensTheWindowModallyAndTheMainGridFollowsItsEdits) {
    WriteConfig(FourDevices());
    Start(/*showSettings=*/false);
    mainform->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mainform.get()));
    bool shownModal = false;
    WhenVisible(settings.get(), [&] {
        shownModal = QApplication::activeModalWidget() == settings.get();
        ClickCell(0, 0);
        Click("sil");
        Click("yeni");
        model().SetText(kFieldName, 3, "Arka Kapı");
        Click("cikisbuton");
    });
    LoopGuard guard;
    QPushButton* ayarlar = Find<QPushButton>("ayarlarbuton", mainform.get());
    QTest::mouseClick(ayarlar, Qt::LeftButton, {}, ayarlar->rect().center());

    EXPECT_TRUE(shownModal);
    EXPECT_FALSE(settings->isVisible());
    GridModel& mainGrid = mainform->deviceGrid().grid();
    const std::array<const char*, 4> names = {"Kapalı", "Seri Hat", "Eski", "Arka Kapı"};
    ASSERT_EQ(mainGrid.RowCount(), 4);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(mainGrid.Text(kMainColumnName, r), names[r]) << r;
    EXPECT_EQ(Stored("cihaz4", "adi"), "Arka Kapı");
    EXPECT_TRUE(MessageBox::shown().empty());
}

// --- screenshots ---------------------------------------------------------------

// With AKTARIM_SCREENSHOT_DIR set, saves the window after the connection
// tests and the warning dialog as the reset asks.
TEST_F(SettingsWindowTest, Screenshot) {
    const QString folder = qEnvironmentVariable("AKTARIM_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "AKTARIM_SCREENSHOT_DIR not set";
    QDir().mkpath(folder);
    WriteConfig(FourDevices());
    Start();
    Click("tarihoku");
    Click("tumtest");
    // A long address and both in/out modes, written after the tests so that
    // nothing tries the address.
    model().SetText(kFieldIpAddress, 3, "192.168.100.200");
    model().SetText(kFieldInOutMode, 1, "Her Zaman Giriş");
    model().SetText(kFieldInOutMode, 2, "Her Zaman Çıkış");
    QTest::qWait(50);
    ASSERT_TRUE(settings->grab().save(folder + QStringLiteral("/settings-window.png")));

    // OpenDialog1, as "Değiştir" shows it, in Turkish.
    InstallTurkishTranslations(QCoreApplication::applicationDirPath());
    QFileDialog dialog(settings.get(), QStringLiteral("Aç"), QString::fromStdString(home.path()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFont(DefaultFormFont());  // the program sets it application-wide
    dialog.resize(640, 400);
    dialog.show();
    QTest::qWait(200);
    EXPECT_TRUE(dialog.grab().save(folder + QStringLiteral("/file-dialog.png")));
    dialog.close();

    bool saved = false;
    WhenVisible(uyari.get(), [&] {
        QTest::qWait(50);
        saved = uyari->grab().save(folder + QStringLiteral("/warning-dialog.png"));
        Find<QPushButton>("hayirbuton", uyari.get())->click();
    });
    LoopGuard guard;
    Click("BitBtn2");
    EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace aktarim
