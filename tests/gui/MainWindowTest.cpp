// The main window, driven the way a user drives it, on a temporary program
// folder and an in-memory terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/IniFile.h"
#include "core/Text.h"
#include "core/TransferLock.h"
#include "forms/AppState.h"
#include "forms/FormStyle.h"
#include "forms/GridView.h"
#include "forms/MainGrid.h"
#include "forms/MessageBox.h"
#include "forms/Tayarlarform.h"
#include "forms/Tmainform.h"
#include "support/FailingFileSystem.h"
#include "support/TempDir.h"
#include "terminal/MemoryLink.h"
#include "terminal/MemoryTerminal.h"
#include "terminal/WireFixtures.h"

namespace aktarim {
namespace {

using test::SplitLines;

// Lines joined with CR LF and stored in code page 1254, like the user's file.
std::string IniBytes(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return Utf8ToCp1254(text);
}

std::vector<std::string> DeviceSection(int number, const std::string& name, const std::string& type,
                                       const std::string& machine, const std::string& ip,
                                       const std::string& ipPort) {
    return {"[cihaz" + std::to_string(number) + "]",
            "adi=" + name,
            "baglantitipi=" + type,
            "makineno=" + machine,
            "portno=Com1",
            "baudrate=115200",
            "ipadres=" + ip,
            "ipport=" + ipPort,
            "parola=",
            "gcdurum=Standart"};
}

// Reaches the terminal over the network only; every serial attempt fails.
class NetworkOnlyLink : public MemoryLink {
  public:
    using MemoryLink::MemoryLink;
    bool ConnectSerial(int32_t, int32_t, int32_t) override {
        calls.emplace_back("ConnectSerial");
        return false;
    }
};

// Holds the log's loading until the test lets it go (at most 5 s), so that
// a test can look at the window while a transfer is under way.
struct LoadGate {
    std::atomic<bool> loading{false};
    std::atomic<bool> release{false};
};

class GatedLink : public NetworkOnlyLink {
  public:
    GatedLink(MemoryTerminal& terminal, LoadGate& gate) : NetworkOnlyLink(terminal), gate_(gate) {}
    bool LoadAttendanceLog(int32_t m) override {
        gate_.loading = true;
        for (int i = 0; i < 500 && !gate_.release; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return NetworkOnlyLink::LoadAttendanceLog(m);
    }

  private:
    LoadGate& gate_;
};

// Ends an event loop that a broken handler would leave running forever.
class LoopGuard {
  public:
    LoopGuard() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        timer_.start(5000);
    }

  private:
    QTimer timer_;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MessageBox::clearShown();
        WebPage::clearOpened();
    }

    std::string ConfigPath() const { return home.File("cihazlar.ini"); }
    std::string RecordPath() const { return home.File("kayit.txt"); }

    void WriteConfig(const std::vector<std::string>& lines) {
        test::WriteAll(ConfigPath(), IniBytes(lines));
    }

    // Ethernet, Comm Port and a type the program does not know.
    void WriteThreeDevices(const char* deleteOption = "1") {
        std::vector<std::string> lines = {"[ayarlar]", "dosya=" + RecordPath(),
                                          std::string("silkontrol=") + deleteOption};
        for (const auto& section :
             {DeviceSection(1, "Giriş Kapısı", "Ethernet", "1", "127.0.0.1", "4370"),
              DeviceSection(2, "Depo", "Comm Port", "2", "", ""),
              DeviceSection(3, "Eski Cihaz", "USB", "3", "10.0.0.9", "4370")})
            lines.insert(lines.end(), section.begin(), section.end());
        WriteConfig(lines);
    }

    void Start() {
        state.programFolder = home.path();
        state.fileSystem = &fs;
        state.configFile = std::make_unique<IniFile>(state.ConfigFilePath(), fs);
        state.makeLink = [this] { return std::make_unique<NetworkOnlyLink>(terminal); };
        window = std::make_unique<Tmainform>(state);
        settings = std::make_unique<Tayarlarform>(state);
        state.ayarlarform = settings.get();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T>
    T* Find(const char* name) {
        T* widget = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    GridView& grid() { return window->deviceGrid(); }
    GridModel& model() { return window->deviceGrid().grid(); }

    std::string StoredOption(const char* key) {
        IniFile ini(ConfigPath());
        return ini.ReadString(kSettingsSection, key, "<none>");
    }

    void ClickTick(int row) {
        const QRect cell = grid().visualRect(grid().model()->index(row, kMainColumnTick));
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, cell.center());
    }

    // The terminal's log: user, state and time of each punch.
    void FillTerminalLog() {
        struct Punch {
            int32_t user, state, year, month, day, hour, minute;
        };
        const std::array<Punch, 8> punches = {{
            {123, 0, 2024, 3, 5, 8, 7},
            {123456, 1, 2024, 3, 5, 12, 0},
            {7, 4, 2023, 12, 31, 23, 59},
            {42, 5, 2024, 1, 2, 3, 4},
            {42, 2, 2024, 1, 2, 17, 30},
            {42, 3, 2024, 1, 2, 18, 1},
            {99999, 7, 2024, 2, 29, 0, 0},
            {5, 1, 2024, 6, 15, 9, 45},
        }};
        for (const Punch& p : punches) {
            AttendanceEntry entry;
            entry.user = p.user;
            entry.state = p.state;
            entry.year = p.year;
            entry.month = p.month;
            entry.day = p.day;
            entry.hour = p.hour;
            entry.minute = p.minute;
            terminal.AppendRecord(entry);
        }
    }
    // The lines those punches give under "Standart".
    const std::vector<std::string> expectedLines = {
        "000,00123,1 2024/03/05 08:07:00", "000,23456,0 2024/03/05 12:00:00",
        "000,00007,1 2023/12/31 23:59:00", "000,00042,0 2024/01/02 03:04:00",
        "000,00042,1 2024/01/02 17:30:00", "000,00042,0 2024/01/02 18:01:00",
        "000,99999,7 2024/02/29 00:00:00", "000,00005,0 2024/06/15 09:45:00",
    };

    std::string BackupPath(int device) const {
        const QString name = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                             QStringLiteral(".%1").arg(device, 3, 10, QChar('0'));
        return home.File("yedekler/" + name.toStdString());
    }

    test::TempDir home;
    test::FailingFileSystem fs;
    MemoryTerminal terminal;
    AppState state;
    std::unique_ptr<Tmainform> window;
    std::unique_ptr<Tayarlarform> settings;
};

TEST_F(MainWindowTest, WindowHasItsCaptionFixedSizeAndPlace) {
    WriteThreeDevices();
    Start();
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("  -Ondera- Parmak İzi Bilgi Transferi (Ver. 1.01)"));
    EXPECT_EQ(window->size(), QSize(768, 514));
    EXPECT_EQ(window->minimumSize(), QSize(768, 514));
    EXPECT_EQ(window->maximumSize(), QSize(768, 514));
    EXPECT_EQ(window->pos(), QPoint(78, 119));
    EXPECT_EQ(window->objectName(), QStringLiteral("mainform"));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->font(), DefaultFormFont());
}

TEST_F(MainWindowTest, ControlsSitWhereTheyBelongWithTheirTexts) {
    WriteThreeDevices();
    Start();
    struct Control {
        const char* name;
        QRect bounds;  // an empty size: only the place is fixed
        const char* text;
    };
    const std::array<Control, 9> controls = {{
        {"Image1", QRect(0, -6, 768, 103), ""},
        {"baglanbuton", QRect(8, 96, 159, 49), "Bilgileri Aktar"},
        {"silkontrol", QRect(14, 160, 19, 33), ""},
        {"Label1", QRect(38, 160, 0, 0), "Kayıtları aktardıktan"},
        {"Label2", QRect(38, 180, 0, 0), "Sonra sil"},
        {"ayarlarbuton", QRect(6, 272, 161, 49), "Ayarlar"},
        {"cikisbuton", QRect(6, 336, 161, 49), "Çıkış   "},
        {"GridView1", QRect(174, 93, 593, 297), nullptr},
        {"Image2", QRect(-9, 392, 777, 182), ""},
    }};
    for (const Control& c : controls) {
        QWidget* widget = Find<QWidget>(c.name);
        if (widget == nullptr) continue;
        if (c.bounds.isEmpty())
            EXPECT_EQ(widget->pos(), c.bounds.topLeft()) << c.name;
        else
            EXPECT_EQ(widget->geometry(), c.bounds) << c.name;
        if (c.text != nullptr && widget->property("text").isValid()) {
            EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(c.text)) << c.name;
        }
        EXPECT_TRUE(widget->isVisible()) << c.name;
    }
    EXPECT_FALSE(Find<QLabel>("Image1")->pixmap().isNull());
    EXPECT_FALSE(Find<QLabel>("Image2")->pixmap().isNull());
    for (const char* name : {"baglanbuton", "ayarlarbuton", "cikisbuton"}) {
        const QPushButton* button = Find<QPushButton>(name);
        EXPECT_FALSE(button->icon().isNull()) << name;
        // Picture, gap and caption inside the frame of the 159/161-pixel button.
        const int caption =
            QFontMetrics(button->font()).horizontalAdvance(button->text().trimmed());
        EXPECT_LE(button->iconSize().width() + 4 + caption + 2 * 6, button->width()) << name;
    }
}

TEST_F(MainWindowTest, CaptionsHaveTheirFontsAndColours) {
    WriteThreeDevices();
    Start();
    struct Look {
        const char* name;
        int pixelSize;
        bool bold;
        std::optional<QRgb> colour;
    };
    const std::array<Look, 5> looks = {{
        {"baglanbuton", 16, true, 0xFF0000FF},
        {"ayarlarbuton", 16, true, 0xFF800000},
        {"cikisbuton", 16, true, 0xFFFF0000},
        {"Label1", 13, false, std::nullopt},
        {"Label2", 13, false, std::nullopt},
    }};
    for (const Look& look : looks) {
        QWidget* widget = Find<QWidget>(look.name);
        if (widget == nullptr) continue;
        EXPECT_EQ(widget->font().pixelSize(), look.pixelSize) << look.name;
        EXPECT_EQ(widget->font().bold(), look.bold) << look.name;
        if (look.colour) {
            EXPECT_EQ(widget->palette().color(QPalette::ButtonText).rgba(), *look.colour)
                << look.name;
        }
    }
}

TEST_F(MainWindowTest, TabOrderFollowsTheDesign) {
    WriteThreeDevices();
    Start();
    const std::vector<QString> expected = {"ayarlarbuton", "GridView1", "baglanbuton", "silkontrol",
                                           "cikisbuton"};
    std::vector<QString> order;
    QWidget* widget = Find<QWidget>("ayarlarbuton");
    for (int step = 0; widget != nullptr && step < 50 && order.size() < expected.size(); ++step) {
        if ((widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty() &&
            widget->parentWidget() == window.get())
            order.push_back(widget->objectName());
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(order, expected);
}

TEST_F(MainWindowTest, KeysTickAndMoveInTheGridAndTabLeavesItInOneStep) {
    WriteThreeDevices();
    Start();
    grid().setFocus();
    grid().setCurrentIndex(grid().model()->index(0, 0));
    QTest::keyClick(&grid(), Qt::Key_Space);
    EXPECT_FALSE(grid().grid().Checked(0, 0));
    QTest::keyClick(&grid(), Qt::Key_Down);
    EXPECT_EQ(grid().currentIndex().row(), 1);
    QTest::keyClick(&grid(), Qt::Key_Space);
    EXPECT_FALSE(grid().grid().Checked(0, 1));
    QTest::keyClick(&grid(), Qt::Key_Space);
    EXPECT_TRUE(grid().grid().Checked(0, 1));
    QTest::keyClick(&grid(), Qt::Key_Right);
    EXPECT_EQ(grid().currentIndex().column(), 1);
    QTest::keyClick(&grid(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Find<QPushButton>("baglanbuton"));
    QTest::keyClick(Find<QPushButton>("baglanbuton"), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), &grid());
    QTest::keyClick(&grid(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), Find<QPushButton>("ayarlarbuton"));
}

TEST_F(MainWindowTest, DeviceGridListsEveryDeviceTicked) {
    WriteThreeDevices();
    Start();
    struct Column {
        const char* header;
        int width;
    };
    const std::array<Column, 5> columns = {{
        {"Bağlan", 51},
        {"Cihaz Adı", 122},
        {"Bağlantı Şekli", 238},
        {"Transfer Durumu", 105},
        {"Durum", 72},
    }};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(grid().model()->headerData(c, Qt::Horizontal).toString(),
                  QString::fromUtf8(columns[c].header));
        EXPECT_EQ(grid().columnWidth(c), columns[c].width) << columns[c].header;
    }
    EXPECT_EQ(grid().horizontalHeader()->height(), 18);
    EXPECT_EQ(grid().rowHeight(0), 24);
    // Blank, green, red, and the amber sign of a terminal reached whose log
    // was not taken.
    ASSERT_EQ(grid().pictures().size(), 4u);
    const QImage amber = grid().pictures()[3].pixmap(QSize(50, 50)).toImage();
    const QColor sign = amber.pixelColor(10, 25);
    EXPECT_TRUE(sign.red() > 200 && sign.green() > 130 && sign.green() < 200 && sign.blue() < 60)
        << sign.name().toStdString();
    EXPECT_EQ(amber.pixelColor(25, 20), QColor(Qt::white)) << "the mark";

    struct Row {
        const char* name;
        const char* connection;
    };
    const std::array<Row, 3> rows = {{
        {"Giriş Kapısı", "IP: 127.0.0.1 /Port: 4370"},
        {"Depo", "Mak.No: 2 /Port: Com1 /B.rate: 115200"},
        {"Eski Cihaz", ""},
    }};
    ASSERT_EQ(model().RowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_TRUE(model().Checked(kMainColumnTick, r)) << r;
        EXPECT_EQ(model().Text(kMainColumnName, r), rows[r].name);
        EXPECT_EQ(model().Text(kMainColumnConnection, r), rows[r].connection);
        EXPECT_EQ(model().Value(kMainColumnStatus, r), kPictureNone);
        EXPECT_EQ(model().Value(kMainColumnProgress, r), 0);
    }
    EXPECT_TRUE(Find<QCheckBox>("silkontrol")->isChecked());

    // The rows stay paired with the devices: a header click does not sort.
    QHeaderView* header = grid().horizontalHeader();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(kMainColumnName) + 10, header->height() / 2));
    EXPECT_EQ(model().Text(kMainColumnName, 0), "Giriş Kapısı");

    // The user unticks and ticks a device in the grid.
    ClickTick(1);
    EXPECT_FALSE(model().Checked(kMainColumnTick, 1));
    ClickTick(1);
    EXPECT_TRUE(model().Checked(kMainColumnTick, 1));
}

TEST_F(MainWindowTest, StatusPicturesAreWhiteGreenWithTickAndRedWithBar) {
    WriteThreeDevices();
    Start();
    enum class Colour { White, Green, Red };
    auto looksLike = [](QColor c, Colour colour) {
        switch (colour) {
            case Colour::White:
                return c.red() > 240 && c.green() > 240 && c.blue() > 240;
            case Colour::Green:
                return c.green() > 120 && c.red() < 100 && c.blue() < 100;
            case Colour::Red:
                return c.red() > 180 && c.green() < 80 && c.blue() < 80;
        }
        return false;
    };
    struct Probe {
        int picture;
        QPoint at;
        Colour colour;
    };
    const std::array<Probe, 5> probes = {{
        {0, {25, 25}, Colour::White},
        {1, {25, 10}, Colour::Green},
        {1, {21, 33}, Colour::White},
        {2, {25, 10}, Colour::Red},
        {2, {25, 25}, Colour::White},
    }};
    for (const Probe& p : probes) {
        const QImage image =
            grid().pictures()[static_cast<size_t>(p.picture)].pixmap(50, 50).toImage();
        ASSERT_EQ(image.size(), QSize(50, 50));
        const QColor c = image.pixelColor(p.at);
        EXPECT_TRUE(looksLike(c, p.colour)) << "picture " << p.picture << " at " << p.at.x() << ","
                                            << p.at.y() << ": " << c.name().toStdString();
    }
}

struct DeleteOptionCase {
    const char* name;
    bool writeFile;
    std::optional<std::string> stored;  // nullopt: no key
    bool ticked;
    std::optional<std::string> storedAfter;  // nullopt: the file is untouched
};
void PrintTo(const DeleteOptionCase& c, std::ostream* os) { *os << c.name; }

class DeleteOptionAtStart : public MainWindowTest,
                            public ::testing::WithParamInterface<DeleteOptionCase> {};

TEST_P(DeleteOptionAtStart, TicksTheBoxAndWritesOnlyAnUntick) {
    const DeleteOptionCase& c = GetParam();
    if (c.writeFile) {
        std::vector<std::string> lines = {"[ayarlar]"};
        if (c.stored) lines.push_back("silkontrol=" + *c.stored);
        for (const auto& line : DeviceSection(1, "Tek", "Ethernet", "1", "127.0.0.1", "4370"))
            lines.push_back(line);
        WriteConfig(lines);
    }
    const std::string before = c.writeFile ? test::ReadAll(ConfigPath()) : "";
    Start();
    EXPECT_EQ(Find<QCheckBox>("silkontrol")->isChecked(), c.ticked);
    EXPECT_TRUE(MessageBox::shown().empty());
    if (c.storedAfter) {
        EXPECT_EQ(StoredOption("silkontrol"), *c.storedAfter);
    } else if (c.writeFile) {
        EXPECT_EQ(test::ReadAll(ConfigPath()), before) << "nothing may be written at start";
    } else {
        EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
    }
    EXPECT_EQ(model().RowCount(), c.writeFile ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, DeleteOptionAtStart,
    ::testing::Values(DeleteOptionCase{"zero", true, "0", false, "0"},
                      DeleteOptionCase{"yes", true, "yes", false, "0"},
                      DeleteOptionCase{"empty", true, "", false, "0"},
                      DeleteOptionCase{"one", true, "1", true, std::nullopt},
                      DeleteOptionCase{"missing_key", true, std::nullopt, true, std::nullopt},
                      DeleteOptionCase{"no_file", false, std::nullopt, true, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TogglingTheBoxWritesTheOption) {
    Start();  // no file yet: the first change creates it
    QCheckBox* box = Find<QCheckBox>("silkontrol");
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(StoredOption("silkontrol"), "0");
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(StoredOption("silkontrol"), "1");
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(MainWindowTest, RefusedWriteShowsTheErrorBoxAndTheProgramGoesOn) {
    WriteThreeDevices();
    const std::string before = test::ReadAll(ConfigPath());
    Start();
    fs.failPathContaining = "cihazlar.ini";  // as a read-only folder would
    QCheckBox* box = Find<QCheckBox>("silkontrol");
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Error);
    EXPECT_EQ(MessageBox::shown()[0].text,
              QString::fromStdString("Unable to write to " + ConfigPath()));
    EXPECT_EQ(test::ReadAll(ConfigPath()), before);

    // Still alive: the next change goes through once the folder is writable.
    fs.failPathContaining.clear();
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_EQ(StoredOption("silkontrol"), box->isChecked() ? "1" : "0");
    EXPECT_EQ(MessageBox::shown().size(), 1u);
}

TEST_F(MainWindowTest, SettingsWindowReturnRebuildsTheGridFromTheTable) {
    WriteThreeDevices();
    Start();
    ClickTick(0);
    model().SetValue(kMainColumnStatus, 1, kPictureFailed);
    model().SetValue(kMainColumnProgress, 1, 40);

    bool shownModal = false;
    QString caption;
    QTimer::singleShot(0, settings.get(), [&] {
        shownModal = settings->isVisible() && settings->isModal();
        caption = settings->windowTitle();
        // A new device, renamed in the settings grid; closing hands it over.
        settings->findChild<QPushButton*>(QStringLiteral("yeni"))->click();
        settings->deviceGrid().grid().SetText(kFieldName, 3, "Yeni Cihaz");
        settings->close();
    });
    LoopGuard guard;
    QPushButton* ayarlar = Find<QPushButton>("ayarlarbuton");
    QTest::mouseClick(ayarlar, Qt::LeftButton, {}, ayarlar->rect().center());

    EXPECT_TRUE(shownModal);
    EXPECT_EQ(caption, QStringLiteral("Ayarlar"));
    EXPECT_EQ(settings->size(), QSize(745, 501));
    ASSERT_EQ(model().RowCount(), 4);
    for (int r = 0; r < 4; ++r) {
        EXPECT_TRUE(model().Checked(kMainColumnTick, r)) << r;
        EXPECT_EQ(model().Value(kMainColumnStatus, r), kPictureNone) << r;
        EXPECT_EQ(model().Value(kMainColumnProgress, r), 0) << r;
    }
    EXPECT_EQ(model().Text(kMainColumnName, 3), "Yeni Cihaz");
    EXPECT_EQ(model().Text(kMainColumnConnection, 3), "IP: 192.168.1.201 /Port: 4370");
}

TEST_F(MainWindowTest, EmptyDeviceTableGivesAnEmptyGridBeforeAndAfterSettings) {
    WriteConfig({"[ayarlar]", "silkontrol=1"});
    Start();
    EXPECT_EQ(model().RowCount(), 0);
    QTimer::singleShot(0, settings.get(), [&] { settings->accept(); });
    LoopGuard guard;
    Find<QPushButton>("ayarlarbuton")->click();
    EXPECT_EQ(model().RowCount(), 0);
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST_F(MainWindowTest, ExitButtonEndsTheProgramWithoutTheCloseHandler) {
    WriteThreeDevices();
    Start();
    QTimer::singleShot(0, Find<QPushButton>("cikisbuton"), &QPushButton::click);
    LoopGuard guard;
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_NE(state.configFile, nullptr);
}

TEST_F(MainWindowTest, ClosingTheWindowFreesTheConfigFileAndEndsTheProgram) {
    WriteThreeDevices();
    Start();
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, window.get(), &QWidget::close);
    LoopGuard guard;
    const int result = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(state.configFile, nullptr);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, DoubleClickOnEitherPictureOpensTheHelpPage) {
    WriteThreeDevices();
    Start();
    QTest::mouseDClick(Find<QLabel>("Image1"), Qt::LeftButton, {}, QPoint(300, 50));
    QTest::mouseDClick(Find<QLabel>("Image2"), Qt::LeftButton, {}, QPoint(300, 50));
    QTest::mouseClick(Find<QLabel>("Image1"), Qt::LeftButton, {}, QPoint(300, 50));
    ASSERT_EQ(WebPage::opened().size(), 2u);
    // The page shipped next to the program file, whatever the program folder.
    const QString page = QDir(QCoreApplication::applicationDirPath()).filePath("yardim.html");
    for (const QUrl& url : WebPage::opened()) {
        EXPECT_TRUE(url.isLocalFile()) << url.toString().toStdString();
        EXPECT_EQ(url.toLocalFile(), page);
    }
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(QStringLiteral("Bilgileri Aktar")));
}

struct TransferCase {
    const char* name;
    bool deleteAfter;
    size_t logLeft;
};
void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }

class TransferFromWindow : public MainWindowTest,
                           public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TransferFromWindow, WritesTheRecordsAndShowsPicturesAndProgress) {
    const TransferCase& c = GetParam();
    WriteThreeDevices(c.deleteAfter ? "1" : "0");
    FillTerminalLog();
    Start();
    QPushButton* aktar = Find<QPushButton>("baglanbuton");
    QTest::mouseClick(aktar, Qt::LeftButton, {}, aktar->rect().center());
    window->WaitForTransfer();

    EXPECT_TRUE(MessageBox::shown().empty());
    const std::array<int, 3> pictures = {kPictureConnected, kPictureFailed, kPictureNone};
    const std::array<int, 3> progress = {100, 0, 0};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(model().Value(kMainColumnStatus, r), pictures[r]) << r;
        EXPECT_EQ(model().Value(kMainColumnProgress, r), progress[r]) << r;
    }
    EXPECT_EQ(SplitLines(test::ReadAll(RecordPath())), expectedLines);
    EXPECT_EQ(SplitLines(test::ReadAll(BackupPath(1))), expectedLines);
    EXPECT_FALSE(std::filesystem::exists(BackupPath(2)));
    EXPECT_EQ(terminal.AttendanceLog().size(), c.logLeft);
    EXPECT_GE(state.transferRow, 3) << "the window keeps the last device number";

    // What the user sees: the green picture and a full bar in the first row.
    QTest::qWait(3 * GridView::kRepaintIntervalMs);
    const QImage shot = grid().viewport()->grab().toImage();
    const QRect status = grid().visualRect(grid().model()->index(0, kMainColumnStatus));
    const QColor disc = shot.pixelColor(status.center().x(), status.top() + 3);
    EXPECT_TRUE(disc.green() > 120 && disc.red() < 100) << disc.name().toStdString();
    const QRect bar = grid().visualRect(grid().model()->index(0, kMainColumnProgress));
    EXPECT_EQ(shot.pixel(bar.right() - 6, bar.center().y()), kProgressBarColour);

    // A second run on the same day appends to the same files.
    if (!c.deleteAfter) {
        QTest::mouseClick(aktar, Qt::LeftButton, {}, aktar->rect().center());
        window->WaitForTransfer();
        EXPECT_EQ(SplitLines(test::ReadAll(BackupPath(1))).size(), 2 * expectedLines.size());
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindow, TransferFromWindow,
                         ::testing::Values(TransferCase{"delete_after", true, 0},
                                           TransferCase{"keep", false, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, UntickedDevicesAreNotContacted) {
    WriteThreeDevices();
    FillTerminalLog();
    Start();
    ClickTick(0);
    ClickTick(1);
    Find<QPushButton>("baglanbuton")->click();
    window->WaitForTransfer();
    for (int r = 0; r < 3; ++r) EXPECT_EQ(model().Value(kMainColumnStatus, r), kPictureNone) << r;
    EXPECT_FALSE(std::filesystem::exists(RecordPath()));
    EXPECT_EQ(terminal.AttendanceLog().size(), 8u);
}

TEST_F(MainWindowTest, RefusedRecordFileShowsTheErrorAndLosesNothing) {
    WriteThreeDevices();
    FillTerminalLog();
    Start();
    fs.failPathContaining = "kayit.txt";
    QPushButton* aktar = Find<QPushButton>("baglanbuton");
    aktar->click();
    window->WaitForTransfer();
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("Dosyaya erişim engellendi"));
    EXPECT_EQ(terminal.AttendanceLog().size(), 8u)
        << "records not written must stay on the terminal";
    EXPECT_TRUE(test::ReadAll(RecordPath()).empty());
    EXPECT_TRUE(test::ReadAll(BackupPath(1)).empty());

    fs.failPathContaining.clear();
    aktar->click();
    window->WaitForTransfer();
    EXPECT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(SplitLines(test::ReadAll(RecordPath())), expectedLines);
    EXPECT_EQ(model().Value(kMainColumnProgress, 0), 100);
    EXPECT_EQ(terminal.AttendanceLog().size(), 0u);
}

TEST_F(MainWindowTest, AnotherTransferRunningShowsTheMessageAndTransfersNothing) {
    WriteThreeDevices();
    FillTerminalLog();
    Start();
    QPushButton* aktar = Find<QPushButton>("baglanbuton");
    {
        // aktarim-cli, started by the scheduler on the same program folder.
        const TransferLock other(home.path(), RecordPath(), std::chrono::milliseconds(0));
        aktar->click();
        window->WaitForTransfer();
        ASSERT_EQ(MessageBox::shown().size(), 1u);
        EXPECT_EQ(MessageBox::shown()[0].text,
                  QString::fromUtf8(kTransferBusyText) + QString::fromStdString(home.path()));
        EXPECT_FALSE(std::filesystem::exists(RecordPath()));
        EXPECT_EQ(terminal.AttendanceLog().size(), 8u);
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(model().Value(kMainColumnStatus, r), kPictureNone) << r;
    }
    aktar->click();
    window->WaitForTransfer();
    EXPECT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(SplitLines(test::ReadAll(RecordPath())), expectedLines);
    EXPECT_EQ(terminal.AttendanceLog().size(), 0u);
}

TEST_F(MainWindowTest, ConversionErrorEndsTheTransferInTheErrorBox) {
    WriteConfig([] {
        std::vector<std::string> lines = {"[ayarlar]", "silkontrol=1"};
        for (const auto& section :
             {DeviceSection(1, "Bozuk", "Ethernet", "1", "127.0.0.1", "43x0"),
              DeviceSection(2, "Sonraki", "Ethernet", "1", "127.0.0.1", "4370")})
            lines.insert(lines.end(), section.begin(), section.end());
        return lines;
    }());
    Start();
    Find<QPushButton>("baglanbuton")->click();
    window->WaitForTransfer();
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("'43x0' is not a valid integer value"));
    EXPECT_EQ(model().Value(kMainColumnStatus, 1), kPictureNone)
        << "devices after the error are not visited";
}

// The window during a transfer: the picture of a connected device shows at
// once, the pointer says it is working, and the button does nothing more.
TEST_F(MainWindowTest, TheWindowStaysAliveWhileALogLoads) {
    WriteThreeDevices("0");
    FillTerminalLog();
    Start();
    LoadGate gate;
    state.makeLink = [&] { return std::make_unique<GatedLink>(terminal, gate); };
    QPushButton* aktar = Find<QPushButton>("baglanbuton");
    aktar->click();
    for (int i = 0; i < 500 && !gate.loading; ++i) QTest::qWait(10);
    ASSERT_TRUE(gate.loading);
    QTest::qWait(20);  // the queued events reach the window
    EXPECT_TRUE(window->transferRunning());
    EXPECT_EQ(model().Value(kMainColumnStatus, 0), kPictureConnected);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    aktar->click();  // a second press would reset the pictures and start again
    EXPECT_EQ(model().Value(kMainColumnStatus, 0), kPictureConnected);

    gate.release = true;
    window->WaitForTransfer();
    EXPECT_FALSE(window->transferRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(model().Value(kMainColumnProgress, 0), 100);
    EXPECT_EQ(SplitLines(test::ReadAll(RecordPath())), expectedLines);
    EXPECT_EQ(state.transferRow, 3);
}

TEST_F(MainWindowTest, ClosingDuringATransferLetsTheDeviceFinishAndStartsNoOther) {
    WriteThreeDevices("1");
    FillTerminalLog();
    Start();
    LoadGate gate;
    state.makeLink = [&] { return std::make_unique<GatedLink>(terminal, gate); };
    Find<QPushButton>("baglanbuton")->click();
    for (int i = 0; i < 500 && !gate.loading; ++i) QTest::qWait(10);
    ASSERT_TRUE(gate.loading);
    std::thread releaser([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate.release = true;
    });
    window->close();  // waits for device 1
    releaser.join();
    EXPECT_FALSE(window->transferRunning());
    EXPECT_EQ(SplitLines(test::ReadAll(RecordPath())), expectedLines);
    EXPECT_EQ(SplitLines(test::ReadAll(BackupPath(1))), expectedLines);
    EXPECT_TRUE(terminal.AttendanceLog().empty());
    EXPECT_EQ(model().Value(kMainColumnStatus, 0), kPictureConnected);
    EXPECT_EQ(model().Value(kMainColumnStatus, 1), kPictureNone) << "device 2 not started";
    EXPECT_EQ(state.transferRow, 1);
}

// Amber: connected, but the log did not come (the reason is the tool tip);
// red: no connection.
TEST_F(MainWindowTest, ALogThatDoesNotArriveShowsAmberWithTheReason) {
    WriteThreeDevices("1");
    FillTerminalLog();
    Start();
    state.makeLink = [this] {
        auto link = std::make_unique<NetworkOnlyLink>(terminal);
        link->dropAfterRecords = 3;
        return link;
    };
    Find<QPushButton>("baglanbuton")->click();
    window->WaitForTransfer();
    EXPECT_TRUE(MessageBox::shown().empty());
    EXPECT_EQ(model().Value(kMainColumnStatus, 0), kPictureNotTaken);
    EXPECT_EQ(model().Value(kMainColumnProgress, 0), 0);
    EXPECT_EQ(model().ToolTip(kMainColumnStatus, 0).rfind("Kayıtlar okunamadı", 0), 0u)
        << model().ToolTip(kMainColumnStatus, 0);
    EXPECT_EQ(grid().model()->index(0, kMainColumnStatus).data(Qt::ToolTipRole).toString(),
              QString::fromStdString(model().ToolTip(kMainColumnStatus, 0)));
    EXPECT_EQ(model().Value(kMainColumnStatus, 1), kPictureFailed);
    EXPECT_EQ(terminal.AttendanceLog().size(), 8u);
    EXPECT_TRUE(test::ReadAll(RecordPath()).empty());

    QTest::qWait(3 * GridView::kRepaintIntervalMs);
    const QImage shot = grid().viewport()->grab().toImage();
    const QRect status = grid().visualRect(grid().model()->index(0, kMainColumnStatus));
    const QColor disc = shot.pixelColor(status.center().x(), status.top() + 3);
    EXPECT_TRUE(disc.red() > 180 && disc.green() > 100 && disc.blue() < 90)
        << disc.name().toStdString();

    // The next run clears the reason with the picture.
    state.makeLink = [this] { return std::make_unique<NetworkOnlyLink>(terminal); };
    window.reset();
    window = std::make_unique<Tmainform>(state);
    window->show();
    Find<QPushButton>("baglanbuton")->click();
    window->WaitForTransfer();
    EXPECT_EQ(model().Value(kMainColumnStatus, 0), kPictureConnected);
    EXPECT_EQ(model().ToolTip(kMainColumnStatus, 0), "");
}

// The program's own link: the wire protocol to a terminal served on loopback
// TCP and on a pseudo-terminal, with the timeouts read from cihazlar.ini.
TEST_F(MainWindowTest, TransferOverTheWireReadsNetworkAndSerialTerminals) {
    test::ServedTerminal served(test::SmallTerminal(), {}, /*serial=*/true);
    std::vector<std::string> lines = {"[ayarlar]",
                                      "dosya=" + RecordPath(),
                                      "silkontrol=0",
                                      "[seriport]",
                                      "com1=" + served.ptyPath,
                                      "[zamanasimi]",
                                      "baglanti=1000",
                                      "istek=1000",
                                      "bekleme=1000"};
    for (const auto& section :
         {DeviceSection(1, "Ağ", "Ethernet", "5", "127.0.0.1", std::to_string(served.port)),
          DeviceSection(2, "Seri", "Comm Port", "5", "", "")})
        lines.insert(lines.end(), section.begin(), section.end());
    WriteConfig(lines);
    Start();
    UseWireLinks(state);

    Find<QPushButton>("baglanbuton")->click();
    window->WaitForTransfer();
    EXPECT_TRUE(MessageBox::shown().empty());
    const std::vector<std::string> terminalLines = {"000,00001,1 2024/03/04 08:01:00",
                                                    "000,70000,0 2024/03/04 17:59:00",
                                                    "000,00003,0 2024/12/31 23:59:00"};
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(model().Value(kMainColumnStatus, r), kPictureConnected) << r;
        EXPECT_EQ(model().Value(kMainColumnProgress, r), 100) << r;
        EXPECT_EQ(SplitLines(test::ReadAll(BackupPath(r + 1))), terminalLines) << r;
    }
    std::vector<std::string> both = terminalLines;
    both.insert(both.end(), terminalLines.begin(), terminalLines.end());
    EXPECT_EQ(SplitLines(test::ReadAll(RecordPath())), both);
    EXPECT_EQ(served.terminal.AttendanceLog().size(), 3u) << "the option was off";
}

// With AKTARIM_SCREENSHOT_DIR set, saves the window after a transfer.
TEST_F(MainWindowTest, Screenshot) {
    const QString folder = qEnvironmentVariable("AKTARIM_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "AKTARIM_SCREENSHOT_DIR not set";
    WriteThreeDevices();
    FillTerminalLog();
    Start();
    Find<QPushButton>("baglanbuton")->click();
    window->WaitForTransfer();
    QTest::qWait(50);
    QDir().mkpath(folder);
    ASSERT_TRUE(window->grab().save(folder + QStringLiteral("/main-window.png")));
}

}  // namespace
}  // namespace aktarim
