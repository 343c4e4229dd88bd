#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelStore.h"
#include "terminal/ConnectionRules.h"
#include "terminal/MemoryLink.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

namespace {

constexpr int kPerNo = kPersonnelColumnPerNo;
constexpr int kIsim = kPersonnelColumnIsim;
constexpr int kYetki = kPersonnelColumnYetki;
constexpr int kKartNo = kPersonnelColumnKartNo;
constexpr int kSifre = kPersonnelColumnSifre;
constexpr int kMark = kPersonnelColumnParmakIzi;
constexpr int kSec = kPersonnelColumnSec;

// A template text of n characters.
std::string Tpl(char c, size_t n = 40) { return std::string(n, c); }

// Stands in for Tpersonelform: records what the commands show.
class FakeView : public PersonnelView {
  public:
    PersonnelCommands* commands = nullptr;
    std::vector<std::string> captions;
    std::vector<int> progress;
    bool progressVisible = false;
    std::vector<std::string> messages;
    int closed = 0;
    std::vector<int> terminalScrolls, storeScrolls;
    int terminalRepaints = 0, storeRepaints = 0;

    void ShowProgress(const std::string& caption) override {
        captions.push_back(caption);
        progressVisible = true;
    }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void HideProgress() override { progressVisible = false; }
    void RepaintTerminalGrid() override { ++terminalRepaints; }
    void RepaintStoreGrid() override { ++storeRepaints; }
    void RepaintProgress() override {}
    void ScrollTerminalTo(int row) override { terminalScrolls.push_back(row); }
    void ScrollStoreTo(int row) override { storeScrolls.push_back(row); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void CloseWindow() override {
        ++closed;
        if (commands != nullptr) commands->Release();
    }
    void Forget() {
        captions.clear();
        progress.clear();
        terminalScrolls.clear();
        storeScrolls.clear();
    }
};

// A MemoryLink whose n-th call of one operation fails in the link itself.
class FlakyLink : public MemoryLink {
  public:
    using MemoryLink::MemoryLink;
    std::string failOperation;
    int failAtCall = 0;
    int32_t extraUsersCounted = 0;

    bool GetStatusValue(int32_t m, int32_t item, int32_t& value) override {
        const bool answered = MemoryLink::GetStatusValue(m, item, value);
        if (answered && item == kStatusUserCount) value += extraUsersCounted;
        return answered;
    }

    bool ReadFingerTemplate(int32_t m, int32_t user, int32_t finger, std::string& text,
                            int32_t& length) override {
        MaybeFail("ReadFingerTemplate");
        return MemoryLink::ReadFingerTemplate(m, user, finger, text, length);
    }
    bool WriteFingerTemplate(int32_t m, int32_t user, int32_t finger,
                             const std::string& text) override {
        MaybeFail("WriteFingerTemplate");
        return MemoryLink::WriteFingerTemplate(m, user, finger, text);
    }
    bool DeleteFingerTemplate(int32_t m, int32_t user, int32_t finger) override {
        MaybeFail("DeleteFingerTemplate");
        return MemoryLink::DeleteFingerTemplate(m, user, finger);
    }

  private:
    void MaybeFail(const std::string& operation) {
        if (operation == failOperation && ++seen_ == failAtCall)
            throw AppError(ErrorKind::Terminal, "Terminal not answering");
    }
    int seen_ = 0;
};

class PersonnelTest : public testing::Test {
  protected:
    PersonnelTest() {
        state.link.linkType = 1;
        state.link.linkIpAddress = "127.0.0.1";
        state.link.linkIpPort = 4370;
        state.link.linkMachineNumber = 1;
        view.commands = &commands;
    }

    test::TempDir home;
    test::FailingFileSystem fs;
    MemoryTerminal terminal;
    FlakyLink link{terminal};
    ConnectionState state;
    GridModel grid{TerminalGridColumns()};
    GridModel griddisk{StoreGridColumns()};
    PersonnelStore store{home.path(), fs};
    FakeView view;
    PersonnelCommands commands{grid, griddisk, store, link, state, view};

    void AddUser(int32_t number, const std::string& name, int32_t privilege = 0,
                 const std::string& password = "",
                 const std::map<int32_t, std::string>& templates = {}) {
        terminal.WriteUser(number, name, password, privilege, true);
        for (const auto& [finger, text] : templates) terminal.WriteTemplate(number, finger, text);
    }
    void WriteStore(const std::string& list, const std::string& details = "") {
        std::filesystem::create_directories(home.File("personel"));
        WriteAll(store.listPath(), list);
        if (!details.empty()) WriteAll(store.detailsPath(), details);
    }
    // Shows the window and loads both grids, then forgets what that showed.
    void Open() {
        commands.ConnectTerminal();
        commands.LoadBothLists();
        link.calls.clear();
        view.Forget();
    }
    void Reopen() {
        commands.Exit();
        Open();
    }
    static void Tick(GridModel& g, std::initializer_list<int> rows) {
        for (int r : rows) g.SetChecked(kSec, r, true);
    }
    static std::vector<std::string> Texts(const GridModel& g, int column) {
        std::vector<std::string> texts;
        for (int r = 0; r < g.RowCount(); ++r) texts.push_back(g.Text(column, r));
        return texts;
    }
    static std::vector<int> Values(const GridModel& g, int column) {
        std::vector<int> values;
        for (int r = 0; r < g.RowCount(); ++r) values.push_back(g.Value(column, r));
        return values;
    }
    static std::vector<bool> Ticks(const GridModel& g) {
        std::vector<bool> ticks;
        for (int r = 0; r < g.RowCount(); ++r) ticks.push_back(g.Checked(kSec, r));
        return ticks;
    }
    // Every row's colour over columns 0..6 alternates from the first row.
    static void ExpectAlternatingColours(const GridModel& g) {
        for (int r = 0; r < g.RowCount(); ++r)
            for (int c = 0; c < kPersonnelColumnCount; ++c)
                EXPECT_EQ(g.Background(c, r), r % 2 == 0 ? 0xFFFFE1u : 0xFFFFC5u)
                    << "row " << r << " column " << c;
    }
    std::string OnDisk(const std::string& section, const std::string& key) const {
        return IniFile(store.detailsPath()).ReadString(section, key, "<missing>");
    }
    std::string List() const { return ReadAll(store.listPath()); }
    int CallCount(const std::string& operation) const {
        return static_cast<int>(std::count(link.calls.begin(), link.calls.end(), operation));
    }
};

// --- columns -------------------------------------------------------------------

TEST(PersonnelColumns, HeadersKindsAndSortDirections) {
    const auto terminal = TerminalGridColumns();
    const auto pc = StoreGridColumns();
    ASSERT_EQ(terminal.size(), 7u);
    ASSERT_EQ(pc.size(), 7u);
    const std::array<const char*, 7> terminalHeaders = {"Per.No", "İsim",       "Yetki", "Kart No",
                                                        "Şifre",  "Parmak izi", "Seç"};
    const std::array<int, 7> widths = {57, 64, 57, 63, 44, 70, 41};
    for (size_t c = 0; c < 7; ++c) {
        EXPECT_EQ(terminal[c].header, terminalHeaders[c]);
        EXPECT_EQ(pc[c].header, c == 3 ? "Kart no" : terminalHeaders[c]);
        EXPECT_EQ(terminal[c].width, widths[c]);
        EXPECT_EQ(pc[c].width, widths[c]);
        // Only ticks are editable on the terminal side; İsim to Şifre and the tick on the PC side.
        EXPECT_EQ(terminal[c].editable, c == 6) << c;
        EXPECT_EQ(pc[c].editable, (c >= 1 && c <= 4) || c == 6) << c;
        EXPECT_EQ(terminal[c].sortDescending, c == 6) << c;
        EXPECT_EQ(pc[c].sortDescending, c == 0) << c;
    }
    const std::vector<std::string> privileges = {"Normal", "Kayıtçı", "Yetkili", "Supervizor"};
    EXPECT_EQ(terminal[2].kind, ColumnKind::DropDown);
    EXPECT_EQ(pc[2].items, privileges);
    EXPECT_EQ(terminal[5].kind, ColumnKind::Text);
    EXPECT_EQ(pc[5].kind, ColumnKind::Picture);
    EXPECT_EQ(pc[5].alignment, Alignment::Centre);
    EXPECT_EQ(terminal[6].kind, ColumnKind::Check);
    EXPECT_EQ(pc[6].alignment, Alignment::Centre);
}

// --- showing, loading, closing ---------------------------------------------------------

TEST_F(PersonnelTest, LoadShowsTheTerminalSortedByPerNoWithPrivilegeNames) {
    AddUser(23456, "Mehmet", 2);
    AddUser(7, "Ayşe", 0);
    AddUser(100001, "İbrahim", 14);
    AddUser(12, "Gül", 3, "99");
    commands.ConnectTerminal();
    commands.LoadBothLists();

    // By text: the six-digit key sorts before 23456.
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00007", "00012", "100001", "23456"}));
    EXPECT_EQ(Texts(grid, kIsim), (std::vector<std::string>{"Ayşe", "Gül", "İbrahim", "Mehmet"}));
    EXPECT_EQ(Texts(grid, kYetki),
              (std::vector<std::string>{"Normal", "Supervizor", "", "Yetkili"}));
    EXPECT_EQ(Texts(grid, kSifre), (std::vector<std::string>{"", "99", "", ""}));
    EXPECT_EQ(Texts(grid, kKartNo), std::vector<std::string>(4, ""));
    EXPECT_EQ(Texts(grid, kMark), std::vector<std::string>(4, ""));
    EXPECT_EQ(Ticks(grid), std::vector<bool>(4, false));
    ExpectAlternatingColours(grid);
    EXPECT_EQ(commands.userCount(), 4);

    EXPECT_EQ(view.captions, (std::vector<std::string>{"Cihazdaki Personeller Yükleniyor",
                                                       "Bilgisayardaki Personeller Yükleniyor"}));
    EXPECT_EQ(view.progress, (std::vector<int>{0, 25, 50, 75, 100}));
    EXPECT_FALSE(view.progressVisible);
    EXPECT_EQ(view.terminalScrolls.back(), 0);
    EXPECT_TRUE(state.personnelConnected);
    EXPECT_EQ(link.calls.front(), "ConnectNetwork");
    EXPECT_EQ(link.calls[1], "SetLinkValue");
}

TEST_F(PersonnelTest, LoadFillsThePcGridInListOrder) {
    WriteStore("00099\r\n\r\n12\r\n00012\r\n",
               "[00012]\r\nisim=G\xFCl\r\nyetki=Yetkili\r\nkartno=555\r\nsifre=1\r\nparmakizi2=" +
                   Tpl('A', 11) + "\r\n[00077]\r\nisim=Unlisted\r\n");
    Open();
    EXPECT_EQ(Texts(griddisk, kPerNo), (std::vector<std::string>{"00099", "00012"}));
    EXPECT_EQ(Texts(griddisk, kIsim), (std::vector<std::string>{"", "Gül"}));
    EXPECT_EQ(Texts(griddisk, kYetki), (std::vector<std::string>{"Normal", "Yetkili"}));
    EXPECT_EQ(Texts(griddisk, kKartNo), (std::vector<std::string>{"", "555"}));
    EXPECT_EQ(Texts(griddisk, kSifre), (std::vector<std::string>{"", "1"}));
    EXPECT_EQ(Values(griddisk, kMark), (std::vector<int>{0, 1}));
    ExpectAlternatingColours(griddisk);
    EXPECT_TRUE(grid.RowCount() == 0);  // a terminal of no users
}

TEST_F(PersonnelTest, AMissingStoreIsCreatedEmptyAtTheLoad) {
    AddUser(1, "A");
    Open();
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(griddisk.RowCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(store.listPath()));
}

TEST_F(PersonnelTest, ABadListLineStopsThePcLoadWithTheConversionError) {
    AddUser(1, "A");
    WriteStore("00012\r\nabc\r\n");
    commands.ConnectTerminal();
    try {
        commands.LoadBothLists();
        ADD_FAILURE() << "the load went through";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(griddisk.RowCount(), 0);
    EXPECT_TRUE(view.progressVisible);
    EXPECT_EQ(view.captions.back(), "Bilgisayardaki Personeller Yükleniyor");
}

TEST_F(PersonnelTest, ATerminalCountingMoreUsersThanItDeliversShowsOnlyThoseItHas) {
    AddUser(1, "A");
    AddUser(2, "B");
    link.extraUsersCounted = 3;
    Open();
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00001", "00002"}));
    EXPECT_EQ(commands.userCount(), 5);
}

TEST_F(PersonnelTest, BecomingActiveAgainLoadsNothingTwice) {
    AddUser(1, "A");
    AddUser(2, "B");
    WriteStore("00001\r\n");
    Open();
    commands.LoadBothLists();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(griddisk.RowCount(), 1);
    EXPECT_TRUE(link.calls.empty());
    // A new opening starts from empty grids.
    Reopen();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(griddisk.RowCount(), 1);
}

TEST_F(PersonnelTest, AFailedConnectionSaysSoAndClosesTheWindow) {
    AddUser(1, "A");
    link.refuseConnect = true;
    commands.ConnectTerminal();
    commands.LoadBothLists();
    EXPECT_EQ(view.messages, std::vector<std::string>{"Bağlantı Kurulamadı"});
    EXPECT_EQ(view.closed, 1);
    EXPECT_FALSE(state.personnelConnected);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(link.calls, std::vector<std::string>{"ConnectNetwork"});
    EXPECT_FALSE(view.progressVisible);
}

TEST_F(PersonnelTest, ClosingReleasesEverythingOnceWhicheverWay) {
    struct Case {
        const char* name;
        void (*close)(PersonnelCommands&);
        int closeRequests;
    };
    const std::array<Case, 2> cases = {{
        {"Çıkış", [](PersonnelCommands& c) { c.Exit(); }, 1},
        {"title bar", [](PersonnelCommands& c) { c.Release(); }, 0},
    }};
    AddUser(1, "A");
    WriteStore("00001\r\n");
    for (const auto& c : cases) {
        Open();
        view.closed = 0;
        c.close(commands);
        commands.Release();  // a second close does nothing more
        EXPECT_EQ(CallCount("Disconnect"), 1) << c.name;
        EXPECT_FALSE(link.IsConnected()) << c.name;
        EXPECT_FALSE(store.IsOpen()) << c.name;
        EXPECT_EQ(grid.RowCount(), 0) << c.name;
        EXPECT_EQ(griddisk.RowCount(), 0) << c.name;
        EXPECT_EQ(view.closed, c.closeRequests) << c.name;
    }
}

TEST_F(PersonnelTest, EditingAPcCellWritesItsFieldAtOnce) {
    WriteStore("00012\r\n", "[00012]\r\nisim=Eski\r\n");
    Open();
    const std::array<std::pair<int, const char*>, 4> fields = {
        {{kIsim, "isim"}, {kYetki, "yetki"}, {kKartNo, "kartno"}, {kSifre, "sifre"}}};
    for (const auto& [column, key] : fields) {
        const std::string text = std::string("Yeni ") + key;
        griddisk.SetText(column, 0, text);
        commands.StoreEditedCell(column, 0);
        EXPECT_EQ(OnDisk("00012", key), text);
    }
    const std::string before = ReadAll(store.detailsPath());
    griddisk.SetChecked(kSec, 0, true);
    commands.StoreEditedCell(kSec, 0);
    EXPECT_EQ(ReadAll(store.detailsPath()), before);
}

TEST_F(PersonnelTest, ARefusedEditSaysWhereAndKeepsTheCell) {
    WriteStore("00012\r\n", "[00012]\r\nisim=Eski\r\n");
    Open();
    fs.failPathContaining = "parmakizi.ini";
    griddisk.SetText(kIsim, 0, "Yeni");
    try {
        commands.StoreEditedCell(kIsim, 0);
        ADD_FAILURE() << "the write went through";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + store.detailsPath());
    }
    EXPECT_EQ(griddisk.Text(kIsim, 0), "Yeni");
    EXPECT_EQ(OnDisk("00012", "isim"), "Eski");
}

TEST_F(PersonnelTest, SortingRecoloursAndSilKeepsTheSortedOrder) {
    WriteStore("00001\r\n00002\r\n00003\r\n",
               "[00001]\r\nisim=Zeki\r\n[00002]\r\nisim=Ali\r\n[00003]\r\nisim=Mert\r\n");
    AddUser(5, "E");
    AddUser(6, "F");
    Open();
    griddisk.SortByColumn(kIsim, false);
    commands.RecolourStoreRows();
    ExpectAlternatingColours(griddisk);
    grid.SortByColumn(kPerNo, true);
    commands.RecolourTerminalRows();
    ExpectAlternatingColours(grid);
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00006", "00005"}));

    commands.DeleteTicked();
    EXPECT_EQ(List(), "00002\r\n00003\r\n00001\r\n");
}

TEST_F(PersonnelTest, SelectionButtons) {
    struct Case {
        const char* name;
        void (PersonnelCommands::*click)();
        bool terminalSide;
        std::vector<bool> after;
    };
    const std::array<Case, 6> cases = {{
        {"ctumsec", &PersonnelCommands::TickAllTerminalRows, true, {true, true, true}},
        {"cseckaldir", &PersonnelCommands::UntickAllTerminalRows, true, {false, false, false}},
        {"cdigersec", &PersonnelCommands::InvertTerminalTicks, true, {false, true, false}},
        {"dtumsec", &PersonnelCommands::TickAllStoreRows, false, {true, true, true}},
        {"dseckaldir", &PersonnelCommands::UntickAllStoreRows, false, {false, false, false}},
        {"ddigersec", &PersonnelCommands::InvertStoreTicks, false, {false, true, false}},
    }};
    AddUser(1, "A");
    AddUser(2, "B");
    AddUser(3, "C");
    WriteStore("00001\r\n00002\r\n00003\r\n");
    Open();
    const std::string details = ReadAll(store.detailsPath());
    for (const auto& c : cases) {
        for (GridModel* g : {&grid, &griddisk}) {
            for (int r = 0; r < 3; ++r) g->SetChecked(kSec, r, r != 1);
        }
        (commands.*c.click)();
        GridModel& chosen = c.terminalSide ? grid : griddisk;
        GridModel& other = c.terminalSide ? griddisk : grid;
        EXPECT_EQ(Ticks(chosen), c.after) << c.name;
        EXPECT_EQ(Ticks(other), (std::vector<bool>{true, false, true})) << c.name;
    }
    EXPECT_EQ(ReadAll(store.detailsPath()), details);
    EXPECT_TRUE(link.calls.empty());
}

TEST_F(PersonnelTest, FindTerminalRow) {
    EXPECT_EQ(commands.FindTerminalRow("00001"), -1);  // an empty grid is no error
    AddUser(1, "A");
    Open();
    EXPECT_EQ(commands.FindTerminalRow("00001"), 0);
    EXPECT_EQ(commands.FindTerminalRow("1"), -1);
    EXPECT_EQ(commands.FindTerminalRow("00002"), -1);
}

// --- progress, shared by the four transfers ------------------------------------------------

struct ProgressCase {
    const char* name;
    void (PersonnelCommands::*click)();
    bool ticksTerminal;
    const char* caption;
};

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

class TransferProgress : public PersonnelTest, public testing::WithParamInterface<ProgressCase> {};

TEST_P(TransferProgress, ThreeTickedRowsGive33_67_100) {
    const ProgressCase& c = GetParam();
    for (int32_t u = 1; u <= 3; ++u) AddUser(u, "U", 0, "", {{0, Tpl('A')}});
    WriteStore("00001\r\n00002\r\n00003\r\n00004\r\n",
               "[00001]\r\nparmakizi0=" + Tpl('A') + "\r\n");
    Open();
    GridModel& g = c.ticksTerminal ? grid : griddisk;
    Tick(g, {0, 1, 2});
    (commands.*c.click)();
    EXPECT_EQ(view.captions, std::vector<std::string>{c.caption});
    EXPECT_EQ(view.progress, (std::vector<int>{0, 33, 67, 100}));
    EXPECT_FALSE(view.progressVisible);
    EXPECT_EQ(Ticks(g), std::vector<bool>(static_cast<size_t>(g.RowCount()), false));
}

TEST_P(TransferProgress, EightTickedRowsStartAt12) {
    const ProgressCase& c = GetParam();
    std::string list;
    for (int32_t u = 1; u <= 8; ++u) {
        AddUser(u, "U");
        list += PersonnelKey(u) + "\r\n";
    }
    WriteStore(list);
    Open();
    GridModel& g = c.ticksTerminal ? grid : griddisk;
    for (int r = 0; r < 8; ++r) g.SetChecked(kSec, r, true);
    (commands.*c.click)();
    ASSERT_GE(view.progress.size(), 2u);
    EXPECT_EQ(view.progress[1], 12);
    EXPECT_EQ(view.progress.back(), 100);
}

TEST_P(TransferProgress, NothingTickedShowsAndHidesTheBoxOnly) {
    const ProgressCase& c = GetParam();
    AddUser(1, "U", 0, "", {{0, Tpl('A')}});
    WriteStore("00001\r\n", "[00001]\r\nisim=U\r\n");
    Open();
    const std::string list = List(), details = ReadAll(store.detailsPath());
    (commands.*c.click)();
    EXPECT_EQ(view.captions, std::vector<std::string>{c.caption});
    EXPECT_FALSE(view.progressVisible);
    EXPECT_EQ(List(), list);
    EXPECT_EQ(ReadAll(store.detailsPath()), details);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(griddisk.RowCount(), 1);
    // Only the template "Al" loads the templates, and the personnel "Gönder"
    // asks for the user count; nothing is written to the terminal.
    std::vector<std::string> expected;
    if (c.click == &PersonnelCommands::CopyTemplatesToStore) expected = {"LoadAllTemplates"};
    if (c.click == &PersonnelCommands::CopyPersonnelToTerminal) expected = {"GetStatusValue"};
    EXPECT_EQ(link.calls, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, TransferProgress,
    testing::Values(ProgressCase{"personel_al", &PersonnelCommands::CopyPersonnelToStore, true,
                                 "Personel bilgileri bilgisayara kopyalanıyor"},
                    ProgressCase{"personel_gonder", &PersonnelCommands::CopyPersonnelToTerminal,
                                 false, "Personel bilgileri cihaza kopyalanıyor"},
                    ProgressCase{"parmakizi_al", &PersonnelCommands::CopyTemplatesToStore, true,
                                 "Parmak izleri bilgisayara kopyalanıyor"},
                    ProgressCase{"parmakizi_gonder", &PersonnelCommands::CopyTemplatesToTerminal,
                                 false, "Parmak izleri cihaza kopyalanıyor"}),
    [](const testing::TestParamInfo<ProgressCase>& info) { return std::string(info.param.name); });

// --- personnel information ---------------------------------------------------------------------

TEST_F(PersonnelTest, AlAddsAPersonMissingFromTheStore) {
    AddUser(12, "Gül", 1, "99");
    Open();
    Tick(grid, {0});
    commands.CopyPersonnelToStore();
    EXPECT_EQ(List(), "00012\r\n");
    EXPECT_EQ(OnDisk("00012", "isim"), "Gül");
    EXPECT_EQ(OnDisk("00012", "yetki"), "Kayıtçı");
    EXPECT_EQ(OnDisk("00012", "kartno"), "");
    EXPECT_EQ(OnDisk("00012", "sifre"), "99");
    EXPECT_EQ(Texts(griddisk, kPerNo), std::vector<std::string>{"00012"});
    EXPECT_EQ(Texts(griddisk, kIsim), std::vector<std::string>{"Gül"});
    EXPECT_EQ(Texts(griddisk, kYetki), std::vector<std::string>{"Kayıtçı"});
    EXPECT_EQ(Values(griddisk, kMark), std::vector<int>{0});
    ExpectAlternatingColours(griddisk);
    EXPECT_FALSE(grid.Checked(kSec, 0));
    EXPECT_TRUE(link.calls.empty());  // nothing is asked of the terminal
}

TEST_F(PersonnelTest, AlOverwritesAStoredPersonButNotItsPicture) {
    AddUser(12, "Gül Yeni", 2, "7");
    WriteStore("00001\r\n00012\r\n",
               "[00012]\r\nisim=G\xFCl\r\nyetki=Normal\r\nkartno=555\r\nsifre=1\r\nparmakizi0=" +
                   Tpl('A') + "\r\n");
    Open();
    griddisk.SetChecked(kSec, 1, true);
    Tick(grid, {0});
    commands.CopyPersonnelToStore();
    EXPECT_EQ(List(), "00001\r\n00012\r\n");
    EXPECT_EQ(OnDisk("00012", "isim"), "Gül Yeni");
    EXPECT_EQ(OnDisk("00012", "yetki"), "Yetkili");
    EXPECT_EQ(OnDisk("00012", "kartno"), "");  // the terminal grid has no card numbers
    EXPECT_EQ(OnDisk("00012", "sifre"), "7");
    EXPECT_EQ(OnDisk("00012", "parmakizi0"), Tpl('A'));
    EXPECT_EQ(griddisk.RowCount(), 2);
    EXPECT_EQ(griddisk.Text(kIsim, 1), "Gül Yeni");
    EXPECT_EQ(griddisk.Text(kKartNo, 1), "");
    EXPECT_EQ(griddisk.Value(kMark, 1), 1);
    EXPECT_TRUE(griddisk.Checked(kSec, 1));
}

TEST_F(PersonnelTest, TextsThatWouldBreakTheStoreAreStoredAsOneValue) {
    AddUser(12, "Ali\r\nVeli", 0, "ş日");
    Open();
    Tick(grid, {0});
    commands.CopyPersonnelToStore();
    EXPECT_EQ(OnDisk("00012", "isim"), "Ali  Veli");
    EXPECT_EQ(OnDisk("00012", "sifre"), "ş?");
    EXPECT_EQ(List(), "00012\r\n");
    EXPECT_EQ(IniFile(store.detailsPath()).SectionNames(), std::vector<std::string>{"00012"});
    // The PC row shows what the next load shows.
    EXPECT_EQ(griddisk.Text(kIsim, 0), "Ali  Veli");
    EXPECT_EQ(griddisk.Text(kSifre, 0), "ş?");
    Reopen();
    EXPECT_EQ(Texts(griddisk, kIsim), std::vector<std::string>{"Ali  Veli"});
    EXPECT_EQ(Texts(griddisk, kSifre), std::vector<std::string>{"ş?"});
}

TEST_F(PersonnelTest, GonderCutsNameAndPasswordButShowsThemWhole) {
    AddUser(1, "A");
    WriteStore("00012\r\n",
               "[00012]\r\nisim=ABCDEFGHIJKL\r\nyetki=Yetkili\r\nkartno=42\r\nsifre=1234567\r\n");
    Open();
    Tick(griddisk, {0});
    commands.CopyPersonnelToTerminal();
    const auto user = terminal.ReadUser(12);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->name, "ABCDEFGH");
    EXPECT_EQ(user->password, "12345");
    EXPECT_EQ(user->privilege, 2);
    EXPECT_TRUE(user->enabled);
    // A new last row, not sorted in, with the colour of its index.
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00001", "00012"}));
    EXPECT_EQ(grid.Text(kIsim, 1), "ABCDEFGHIJKL");
    EXPECT_EQ(grid.Text(kKartNo, 1), "42");
    EXPECT_EQ(grid.Text(kSifre, 1), "1234567");
    ExpectAlternatingColours(grid);
    EXPECT_FALSE(griddisk.Checked(kSec, 0));
    EXPECT_EQ(commands.userCount(), 2);
    EXPECT_EQ(view.terminalScrolls.back(), 1);
}

TEST_F(PersonnelTest, GonderSendsEachRowsOwnPrivilege) {
    WriteStore("00001\r\n00002\r\n00003\r\n00004\r\n",
               "[00001]\r\nyetki=Supervizor\r\n[00002]\r\nyetki=bilinmeyen\r\n[00003]\r\nyetki="
               "Kay\xFDt\xE7\xFD\r\n"
               "[00004]\r\nyetki=Yetkili\r\n");
    Open();
    Tick(griddisk, {0, 1, 2, 3});
    commands.CopyPersonnelToTerminal();
    const std::array<int32_t, 4> expected = {3, 0, 1, 2};
    for (int32_t u = 1; u <= 4; ++u) {
        const auto user = terminal.ReadUser(u);
        ASSERT_TRUE(user.has_value()) << u;
        EXPECT_EQ(user->privilege, expected[static_cast<size_t>(u - 1)]) << u;
    }
}

TEST_F(PersonnelTest, GonderOfAListedPersonUpdatesItsRowInPlace) {
    AddUser(12, "Eski");
    AddUser(13, "Diğer");
    WriteStore("00012\r\n", "[00012]\r\nisim=Yeni\r\n");
    Open();
    Tick(griddisk, {0});
    commands.CopyPersonnelToTerminal();
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00012", "00013"}));
    EXPECT_EQ(Texts(grid, kIsim), (std::vector<std::string>{"Yeni", "Diğer"}));
    EXPECT_EQ(terminal.ReadUser(12)->name, "Yeni");
}

// --- fingerprint templates ---------------------------------------------------------------------

TEST_F(PersonnelTest, TemplatesMoveToConsecutiveSlotsAndBackToFingersFromZero) {
    AddUser(12, "Gül", 0, "", {{2, Tpl('B')}, {5, Tpl('E')}});
    WriteStore("00012\r\n");
    Open();
    Tick(grid, {0});
    commands.CopyTemplatesToStore();
    EXPECT_EQ(OnDisk("00012", "parmakizi0"), Tpl('B'));
    EXPECT_EQ(OnDisk("00012", "parmakizi1"), Tpl('E'));
    EXPECT_EQ(OnDisk("00012", "parmakizi2"), "<missing>");
    EXPECT_EQ(Values(griddisk, kMark), std::vector<int>{1});
    EXPECT_EQ(CallCount("LoadAllTemplates"), 1);
    EXPECT_EQ(CallCount("ReadFingerTemplate"), 10);

    terminal.DeleteTemplate(12, 2);
    terminal.DeleteTemplate(12, 5);
    Tick(griddisk, {0});
    link.calls.clear();
    commands.CopyTemplatesToTerminal();
    EXPECT_EQ(terminal.ReadTemplate(12, 0), Tpl('B'));
    EXPECT_EQ(terminal.ReadTemplate(12, 1), Tpl('E'));
    EXPECT_FALSE(terminal.ReadTemplate(12, 2).has_value());
    // The terminal grid lists the person: only the templates go.
    EXPECT_EQ(link.calls, (std::vector<std::string>{"WriteFingerTemplate", "WriteFingerTemplate"}));
    EXPECT_EQ(grid.RowCount(), 1);
}

TEST_F(PersonnelTest, AnEarlierThirdTemplateStaysAndIsSentAgain) {
    AddUser(12, "Gül", 0, "", {{0, Tpl('N')}, {1, Tpl('M')}});
    WriteStore("00012\r\n", "[00012]\r\nparmakizi0=" + Tpl('a') + "\r\nparmakizi1=" + Tpl('b') +
                                "\r\nparmakizi2=" + Tpl('c') + "\r\n");
    Open();
    Tick(grid, {0});
    commands.CopyTemplatesToStore();
    EXPECT_EQ(OnDisk("00012", "parmakizi0"), Tpl('N'));
    EXPECT_EQ(OnDisk("00012", "parmakizi1"), Tpl('M'));
    EXPECT_EQ(OnDisk("00012", "parmakizi2"), Tpl('c'));
    Tick(griddisk, {0});
    commands.CopyTemplatesToTerminal();
    EXPECT_EQ(terminal.ReadTemplate(12, 2), Tpl('c'));
}

TEST_F(PersonnelTest, ATemplateNeedsElevenCharacters) {
    struct Case {
        size_t length;
        int mark;
    };
    for (const Case c : {Case{10, 0}, Case{11, 1}}) {
        MemoryTerminal fresh;
        fresh.WriteUser(12, "Gül", "", 0, true);
        fresh.WriteTemplate(12, 3, Tpl('T', c.length));
        FlakyLink freshLink{fresh};
        GridModel g{TerminalGridColumns()}, d{StoreGridColumns()};
        test::TempDir freshHome;
        PersonnelStore freshStore{freshHome.path()};
        PersonnelCommands cmds{g, d, freshStore, freshLink, state, view};
        cmds.ConnectTerminal();
        cmds.LoadBothLists();
        d.AppendRows(1);
        d.SetText(kPerNo, 0, "00012");
        g.SetChecked(kSec, 0, true);
        cmds.CopyTemplatesToStore();
        EXPECT_EQ(d.Value(kMark, 0), c.mark) << c.length;
        EXPECT_EQ(IniFile(freshStore.detailsPath()).ReadString("00012", "parmakizi0", "<missing>"),
                  c.mark ? Tpl('T', c.length) : "<missing>")
            << c.length;
        cmds.Release();
    }
}

TEST_F(PersonnelTest, APersonWithoutTemplatesJoinsOnlyANonEmptyPcGrid) {
    struct Case {
        const char* list;
        std::vector<std::string> pcRows;
        const char* listAfter;
    };
    const std::array<Case, 2> cases = {{
        {"00001\r\n", {"00001", "00012"}, "00001\r\n00012\r\n"},
        {"", {}, ""},
    }};
    AddUser(12, "Gül", 2);
    for (const auto& c : cases) {
        WriteStore(c.list);
        std::filesystem::remove(store.detailsPath());
        Open();
        Tick(grid, {0});
        commands.CopyTemplatesToStore();
        EXPECT_EQ(Texts(griddisk, kPerNo), c.pcRows) << c.list;
        EXPECT_EQ(List(), c.listAfter) << c.list;
        if (!c.pcRows.empty()) {
            EXPECT_EQ(griddisk.Value(kMark, 1), 0);
            EXPECT_EQ(griddisk.Text(kYetki, 1), "Yetkili");
            EXPECT_EQ(OnDisk("00012", "isim"), "Gül");
        }
        EXPECT_FALSE(grid.Checked(kSec, 0)) << c.list;
        commands.Exit();
    }
}

TEST_F(PersonnelTest, AStoredPersonsPictureChangesOnlyWhenTemplatesCame) {
    AddUser(1, "Has", 0, "", {{0, Tpl('A')}});
    AddUser(2, "HasNot");
    AddUser(3, "HadBefore");
    WriteStore("00001\r\n00002\r\n00003\r\n", "[00003]\r\nparmakizi0=" + Tpl('Z') + "\r\n");
    Open();
    EXPECT_EQ(Values(griddisk, kMark), (std::vector<int>{0, 0, 1}));
    Tick(grid, {0, 1, 2});
    commands.CopyTemplatesToStore();
    EXPECT_EQ(Values(griddisk, kMark), (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(griddisk.RowCount(), 3);
    EXPECT_EQ(OnDisk("00003", "parmakizi0"), Tpl('Z'));
}

TEST_F(PersonnelTest, GonderCreatesAPersonTheTerminalLacksFirst) {
    WriteStore("00012\r\n",
               "[00012]\r\nisim=Yeni Ki\xFEi\r\nyetki=Supervizor\r\nkartno=9\r\nsifre=1234567\r\n"
               "parmakizi0=" +
                   Tpl('P') + "\r\nparmakizi1=short\r\nparmakizi2=" + Tpl('Q') + "\r\n");
    AddUser(1, "A");
    Open();
    Tick(griddisk, {0});
    commands.CopyTemplatesToTerminal();
    EXPECT_EQ(link.calls, (std::vector<std::string>{"WriteUserInfo", "WriteFingerTemplate",
                                                    "WriteFingerTemplate"}));
    const auto user = terminal.ReadUser(12);
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->name, "Yeni Kişi");  // passed whole here
    EXPECT_EQ(user->password, "1234567");
    EXPECT_EQ(user->privilege, 3);
    EXPECT_EQ(terminal.ReadTemplate(12, 0), Tpl('P'));
    EXPECT_EQ(terminal.ReadTemplate(12, 1), Tpl('Q'));
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00001", "00012"}));
    EXPECT_EQ(grid.Text(kKartNo, 1), "9");
    ExpectAlternatingColours(grid);
}

// --- deleting --------------------------------------------------------------------------------

TEST_F(PersonnelTest, SilDeletesTickedTerminalRowsTwoAndThreeOfFive) {
    for (int32_t u = 1; u <= 5; ++u) AddUser(u, "U", 0, "", {{0, Tpl('A')}});
    Open();
    Tick(grid, {1, 2});
    commands.DeleteTicked();
    std::vector<std::string> expectedCalls;
    for (int user = 0; user < 2; ++user) {
        expectedCalls.insert(expectedCalls.end(), 10, "DeleteFingerTemplate");
        expectedCalls.push_back("DeleteUserRecord");
    }
    EXPECT_EQ(link.calls, expectedCalls);
    std::vector<int> expectedProgress = {0};
    for (int step = 1; step <= 20; ++step) expectedProgress.push_back(step * 5);
    expectedProgress.push_back(0);  // the store side starts
    EXPECT_EQ(view.progress, expectedProgress);
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00001", "00004", "00005"}));
    ExpectAlternatingColours(grid);
    EXPECT_FALSE(terminal.ReadUser(2).has_value());
    EXPECT_FALSE(terminal.ReadUser(3).has_value());
    EXPECT_FALSE(terminal.ReadTemplate(2, 0).has_value());
    EXPECT_TRUE(terminal.ReadUser(4).has_value());
    EXPECT_EQ(view.captions, (std::vector<std::string>{"Personeller cihazdan siliniyor",
                                                       "Personeller bilgisayardan siliniyor"}));
    EXPECT_FALSE(view.progressVisible);
}

TEST_F(PersonnelTest, SilWithManyRowsKeepsTheOthersInOrder) {
    std::string list;
    for (int32_t u = 1; u <= 100; ++u) {
        AddUser(u, "U" + std::to_string(u));
        list += PersonnelKey(u) + "\r\n";
    }
    WriteStore(list);
    Open();
    std::vector<std::string> keptTerminal, keptList;
    for (int r = 0; r < 100; ++r) {
        if (r % 3 != 0) {
            grid.SetChecked(kSec, r, true);
            griddisk.SetChecked(kSec, r, true);
        } else {
            keptTerminal.push_back(PersonnelKey(r + 1));
        }
    }
    commands.DeleteTicked();
    EXPECT_EQ(Texts(grid, kPerNo), keptTerminal);
    EXPECT_EQ(Texts(griddisk, kPerNo), keptTerminal);
    std::string expectedList;
    for (const auto& key : keptTerminal) expectedList += key + "\r\n";
    EXPECT_EQ(List(), expectedList);
    EXPECT_EQ(Texts(grid, kIsim)[1], "U4");
    ExpectAlternatingColours(grid);
    ExpectAlternatingColours(griddisk);
}

TEST_F(PersonnelTest, SilWithNothingTickedStillRewritesTheList) {
    AddUser(1, "A");
    WriteStore("00012\r\n12\r\n00013\r\n", "[00012]\r\nisim=A\r\n[00013]\r\nisim=B\r\n");
    Open();
    const std::string details = ReadAll(store.detailsPath());
    commands.DeleteTicked();
    EXPECT_TRUE(link.calls.empty());
    EXPECT_EQ(List(), "00012\r\n00013\r\n");
    EXPECT_EQ(ReadAll(store.detailsPath()), details);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(store.rebuildPath()));
}

TEST_F(PersonnelTest, SilOfAKeyListedTwiceErasesTheSharedSection) {
    WriteStore("00012\r\n00013\r\n00012\r\n", "[00012]\r\nisim=A\r\n[00013]\r\nisim=B\r\n");
    Open();
    EXPECT_EQ(griddisk.RowCount(), 3);
    Tick(griddisk, {0});
    commands.DeleteTicked();
    EXPECT_EQ(List(), "00013\r\n00012\r\n");
    EXPECT_EQ(OnDisk("00012", "isim"), "<missing>");
    EXPECT_EQ(OnDisk("00013", "isim"), "B");
    EXPECT_EQ(Texts(griddisk, kPerNo), (std::vector<std::string>{"00013", "00012"}));
    ExpectAlternatingColours(griddisk);
}

TEST_F(PersonnelTest, SilDeletesOnBothSidesInOnePressTerminalFirst) {
    AddUser(12, "Gül");
    WriteStore("00012\r\n00013\r\n", "[00012]\r\nisim=A\r\n[00013]\r\nisim=B\r\n");
    Open();
    Tick(grid, {0});
    Tick(griddisk, {1});
    commands.DeleteTicked();
    EXPECT_FALSE(terminal.ReadUser(12).has_value());
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(List(), "00012\r\n");
    EXPECT_EQ(OnDisk("00013", "isim"), "<missing>");
    EXPECT_EQ(OnDisk("00012", "isim"), "A");  // deleting on one side never touches the other
    EXPECT_EQ(view.captions.front(), "Personeller cihazdan siliniyor");
}

// --- commands that end early --------------------------------------------------------------------

struct RefusedCommand {
    const char* name;
    void (PersonnelCommands::*click)();
    bool ticksTerminal;
    const char* failingPath;
};

void PrintTo(const RefusedCommand& c, std::ostream* os) { *os << c.name; }

class RefusedStoreWrite : public PersonnelTest,
                          public testing::WithParamInterface<RefusedCommand> {};

TEST_P(RefusedStoreWrite, TakesTheCommandBackAndKeepsTheRowsTicked) {
    const RefusedCommand& c = GetParam();
    AddUser(1, "A", 0, "", {{0, Tpl('A')}});
    AddUser(2, "B", 0, "", {{0, Tpl('B')}});
    AddUser(3, "C", 0, "", {{0, Tpl('C')}});
    WriteStore("00001\r\n00009\r\n", "[00001]\r\nisim=Eski\r\n[00009]\r\nisim=Z\r\n");
    Open();
    GridModel& ticked = c.ticksTerminal ? grid : griddisk;
    for (int r = 0; r < ticked.RowCount(); ++r) ticked.SetChecked(kSec, r, true);
    const std::string list = List(), details = ReadAll(store.detailsPath());
    const auto terminalBefore = Texts(grid, kPerNo);
    const auto pcBefore = Texts(griddisk, kPerNo);
    const auto pcNames = Texts(griddisk, kIsim);
    const auto marks = Values(griddisk, kMark);

    fs.failPathContaining = c.failingPath;
    EXPECT_THROW((commands.*c.click)(), AppError);
    EXPECT_EQ(List(), list);
    EXPECT_EQ(ReadAll(store.detailsPath()), details);
    EXPECT_FALSE(std::filesystem::exists(store.rebuildPath()));
    EXPECT_EQ(Texts(grid, kPerNo), terminalBefore);
    EXPECT_EQ(Texts(griddisk, kPerNo), pcBefore);
    EXPECT_EQ(Texts(griddisk, kIsim), pcNames);
    EXPECT_EQ(Values(griddisk, kMark), marks);
    EXPECT_EQ(Ticks(ticked), std::vector<bool>(static_cast<size_t>(ticked.RowCount()), true));
    ExpectAlternatingColours(griddisk);

    // Once the disk takes writes again, the same press does the work.
    fs.failPathContaining.clear();
    (commands.*c.click)();
    EXPECT_NE(List() + ReadAll(store.detailsPath()), list + details);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, RefusedStoreWrite,
    testing::Values(
        RefusedCommand{"personel_al_details", &PersonnelCommands::CopyPersonnelToStore, true,
                       "parmakizi.ini"},
        RefusedCommand{"personel_al_list", &PersonnelCommands::CopyPersonnelToStore, true,
                       "personel.ini"},
        RefusedCommand{"parmakizi_al_details", &PersonnelCommands::CopyTemplatesToStore, true,
                       "parmakizi.ini"},
        RefusedCommand{"parmakizi_al_list", &PersonnelCommands::CopyTemplatesToStore, true,
                       "personel.ini"},
        RefusedCommand{"sil_list", &PersonnelCommands::DeleteTicked, false, "_personel.ini"},
        RefusedCommand{"sil_details", &PersonnelCommands::DeleteTicked, false, "parmakizi.ini"}),
    [](const testing::TestParamInfo<RefusedCommand>& info) {
        return std::string(info.param.name);
    });

TEST_F(PersonnelTest, ALinkFailingMidwayKeepsTheFinishedRowsOnly) {
    AddUser(1, "A", 0, "", {{0, Tpl('A')}});
    AddUser(2, "B", 0, "", {{0, Tpl('B')}});
    AddUser(3, "C", 0, "", {{0, Tpl('C')}});
    WriteStore("00009\r\n");
    Open();
    Tick(grid, {0, 1, 2});
    link.failOperation = "ReadFingerTemplate";
    link.failAtCall = 15;  // the second person's fifth finger
    try {
        commands.CopyTemplatesToStore();
        ADD_FAILURE() << "the command went through";
    } catch (const AppError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Terminal);
    }
    EXPECT_EQ(Ticks(grid), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(List(), "00009\r\n00001\r\n");
    EXPECT_EQ(OnDisk("00001", "parmakizi0"), Tpl('A'));
    EXPECT_EQ(OnDisk("00002", "parmakizi0"), "<missing>");
    EXPECT_EQ(Texts(griddisk, kPerNo), (std::vector<std::string>{"00009", "00001"}));
    EXPECT_TRUE(view.progressVisible);  // until the next command hides it
}

TEST_F(PersonnelTest, ALinkFailingDuringSilKeepsTheDeletedRowsDeleted) {
    for (int32_t u = 1; u <= 3; ++u) AddUser(u, "U", 0, "", {{0, Tpl('A')}});
    WriteStore("00001\r\n", "[00001]\r\nisim=A\r\n");
    Open();
    Tick(grid, {0, 1, 2});
    Tick(griddisk, {0});
    link.failOperation = "DeleteFingerTemplate";
    link.failAtCall = 13;
    EXPECT_THROW(commands.DeleteTicked(), AppError);
    EXPECT_FALSE(terminal.ReadUser(1).has_value());
    EXPECT_TRUE(terminal.ReadUser(2).has_value());
    EXPECT_EQ(Texts(grid, kPerNo), (std::vector<std::string>{"00002", "00003"}));
    EXPECT_EQ(Ticks(grid), (std::vector<bool>{true, true}));
    ExpectAlternatingColours(grid);
    // The store side did not run.
    EXPECT_EQ(List(), "00001\r\n");
    EXPECT_EQ(OnDisk("00001", "isim"), "A");
}

TEST_F(PersonnelTest, ALinkFailingDuringGonderLeavesTheRestTicked) {
    WriteStore("00001\r\n00002\r\n00003\r\n", "[00001]\r\nparmakizi0=" + Tpl('A') +
                                                  "\r\n[00002]\r\nparmakizi0=" + Tpl('B') +
                                                  "\r\n[00003]\r\nparmakizi0=" + Tpl('C') + "\r\n");
    Open();
    Tick(griddisk, {0, 1, 2});
    link.failOperation = "WriteFingerTemplate";
    link.failAtCall = 2;
    EXPECT_THROW(commands.CopyTemplatesToTerminal(), AppError);
    EXPECT_EQ(Ticks(griddisk), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(Texts(grid, kPerNo), std::vector<std::string>{"00001"});
    EXPECT_EQ(terminal.ReadTemplate(1, 0), Tpl('A'));
}

TEST_F(PersonnelTest, ANonIntegerPerNoStopsTheCommandAtItsRow) {
    AddUser(1, "A");
    AddUser(2, "B");
    Open();
    grid.SetText(kPerNo, 1, "0000x");
    Tick(grid, {0, 1});
    try {
        commands.CopyPersonnelToStore();
        ADD_FAILURE() << "the command went through";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "'0000x' is not a valid integer value");
    }
    EXPECT_EQ(List(), "00001\r\n");
    EXPECT_EQ(Ticks(grid), (std::vector<bool>{false, true}));
}

}  // namespace

// --- damaged lists ---------------------------------------------------------------

TEST_F(PersonnelTest, SilAfterAPcLoadThatStoppedLeavesTheStoreAsOnDisk) {
    AddUser(12, "Gül");
    AddUser(13, "Can");
    const std::string list = "00012\r\nabc\r\n00013\r\n";
    const std::string details = "[00012]\r\nisim=A\r\n[00013]\r\nisim=B\r\n";
    WriteStore(list, details);
    commands.ConnectTerminal();
    EXPECT_THROW(commands.LoadBothLists(), AppError);
    ASSERT_EQ(griddisk.RowCount(), 0);
    Tick(grid, {0});
    commands.DeleteTicked();
    // The terminal side still runs.
    EXPECT_FALSE(terminal.ReadUser(12).has_value());
    EXPECT_TRUE(terminal.ReadUser(13).has_value());
    EXPECT_EQ(Texts(grid, kPerNo), std::vector<std::string>{"00013"});
    EXPECT_EQ(List(), list);
    EXPECT_EQ(ReadAll(store.detailsPath()), details);
    EXPECT_FALSE(std::filesystem::exists(store.rebuildPath()));

    // Once the list is mended, the next opening loads it and "Sil" works.
    WriteAll(store.listPath(), "00012\r\n00013\r\n");
    Reopen();
    Tick(griddisk, {0});
    commands.DeleteTicked();
    EXPECT_EQ(List(), "00013\r\n");
}

TEST_F(PersonnelTest, AlAfterAListWhoseLastLineHasNoEndKeepsEveryKey) {
    AddUser(13, "Can");
    WriteStore("00011\r\n00012", "[00011]\r\nisim=A\r\n[00012]\r\nisim=B\r\n");
    Open();
    ASSERT_EQ(Texts(griddisk, kPerNo), (std::vector<std::string>{"00011", "00012"}));
    Tick(grid, {0});
    commands.CopyPersonnelToStore();
    EXPECT_EQ(List(), "00011\r\n00012\r\n00013\r\n");
    Reopen();
    EXPECT_EQ(Texts(griddisk, kPerNo), (std::vector<std::string>{"00011", "00012", "00013"}));
    EXPECT_EQ(Texts(griddisk, kIsim), (std::vector<std::string>{"A", "B", "Can"}));
}
