#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CrashingFileSystem.h"
#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "personnel/PersonnelStore.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

namespace {

class StoreTest : public testing::Test {
  protected:
    test::TempDir home;
    test::FailingFileSystem fs;
    PersonnelStore store{home.path(), fs};

    std::string Folder() const { return home.File("personel"); }
    void WriteList(const std::string& bytes) {
        std::filesystem::create_directories(Folder());
        WriteAll(store.listPath(), bytes);
    }
    void WriteDetails(const std::string& bytes) {
        std::filesystem::create_directories(Folder());
        WriteAll(store.detailsPath(), bytes);
    }
    // What a fresh reader of parmakizi.ini sees.
    std::string OnDisk(const std::string& section, const std::string& key) const {
        return IniFile(store.detailsPath()).ReadString(section, key, "<missing>");
    }
};

TEST(PersonnelKey, FiveDigitsUpTo99999AndTheWholeNumberAbove) {
    struct Case {
        int32_t number;
        const char* key;
    };
    constexpr std::array<Case, 9> cases = {{{0, "00000"},
                                            {7, "00007"},
                                            {12, "00012"},
                                            {99999, "99999"},
                                            {100000, "100000"},
                                            {123456, "123456"},
                                            {2147483647, "2147483647"},
                                            {-5, "-0005"},
                                            {-123456, "-123456"}}};
    for (const auto& c : cases) EXPECT_EQ(PersonnelKey(c.number), c.key) << c.number;
    // Two numbers that share their last five digits keep apart.
    EXPECT_NE(PersonnelKey(123456), PersonnelKey(23456));
}

TEST(Privileges, NamesAndNumbers) {
    EXPECT_EQ(PrivilegeName(0), "Normal");
    EXPECT_EQ(PrivilegeName(1), "Kayıtçı");
    EXPECT_EQ(PrivilegeName(2), "Yetkili");
    EXPECT_EQ(PrivilegeName(3), "Supervizor");
    EXPECT_EQ(PrivilegeName(14), "");
    EXPECT_EQ(PrivilegeName(-1), "");
    for (int32_t p = 0; p < 4; ++p) EXPECT_EQ(PrivilegeNumber(PrivilegeName(p)), p);
    EXPECT_EQ(PrivilegeNumber("yetkili"), 0);  // exact text only
    EXPECT_EQ(PrivilegeNumber(""), 0);
}

TEST_F(StoreTest, OpenCreatesTheMissingFolderAndAnEmptyList) {
    ASSERT_FALSE(std::filesystem::exists(Folder()));
    store.OpenStore();
    EXPECT_TRUE(std::filesystem::is_directory(Folder()));
    EXPECT_TRUE(std::filesystem::exists(store.listPath()));
    EXPECT_EQ(ReadAll(store.listPath()), "");
    EXPECT_TRUE(store.ReadPersonnelList().empty());
}

TEST_F(StoreTest, OpenLeavesAnExistingListAlone) {
    WriteList("00012\r\n00013\r\n");
    store.OpenStore();
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n00013\r\n");
}

struct ListCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> keys;
    const char* error;  // nullptr: the reading succeeds
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class ListReading : public StoreTest, public testing::WithParamInterface<ListCase> {};

TEST_P(ListReading, FollowsTheLineRules) {
    const ListCase& c = GetParam();
    WriteList(c.bytes);
    store.OpenStore();
    if (c.error == nullptr) {
        EXPECT_EQ(store.ReadPersonnelList(), c.keys);
        return;
    }
    try {
        store.ReadPersonnelList();
        ADD_FAILURE() << "the reading went through";
    } catch (const AppError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
        EXPECT_EQ(std::string(e.what()), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ListReading,
    testing::Values(
        ListCase{"empty_file", "", {}, nullptr},
        ListCase{"empty_and_short_lines_skipped", "00012\r\n\r\n12\r\n", {"00012"}, nullptr},
        ListCase{"twelve_characters_give_ten", "000000000123\r\n", {"0000000001"}, nullptr},
        ListCase{
            "only_fifteen_characters_count", "0000000000000001234\r\n", {"0000000000"}, nullptr},
        ListCase{
            "duplicates_kept", "00012\r\n00007\r\n00012\r\n", {"00012", "00007", "00012"}, nullptr},
        ListCase{"line_ends_lf_and_last_line_open",
                 "00012\n00013\r\n123456",
                 {"00012", "00013", "123456"},
                 nullptr},
        ListCase{"signed_key", "-0005\r\n", {"-0005"}, nullptr},
        ListCase{"too_large_for_32_bits",
                 "00012\r\n1234567890123456\r\n",
                 {},
                 "'123456789012345' is not a valid integer value"},
        ListCase{
            "eleven_digits", "12345678901\r\n", {}, "'12345678901' is not a valid integer value"},
        ListCase{
            "not_a_number", "00012\r\nabc\r\n00013\r\n", {}, "'abc' is not a valid integer value"},
        ListCase{
            "code_page_text_in_message", "12\xFE\r\n", {}, "'12ş' is not a valid integer value"}),
    [](const testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

TEST_F(StoreTest, AListedKeyWithoutSectionReadsAsDefaults) {
    WriteList("00012\r\n");
    WriteDetails("[00013]\r\nisim=Başka\r\n");
    store.OpenStore();
    const PersonRecord person = store.ReadPerson("00012");
    EXPECT_EQ(person.isim, "");
    EXPECT_EQ(person.yetki, "Normal");
    EXPECT_EQ(person.kartno, "");
    EXPECT_EQ(person.sifre, "");
    EXPECT_EQ(person.fingerprintMark, 0);
}

TEST_F(StoreTest, ReadsFieldsInCodePage1254WithoutRegardToCase) {
    WriteDetails(
        "[00012]\r\nISIM=  G\xFCl\xFE"
        "en \xC7"
        "elik  \r\nyetki=Kay\xFDt\xE7\xFD\r\nKartNo=0004455667\r\nsifre=\r\n");
    store.OpenStore();
    const PersonRecord person = store.ReadPerson("00012");
    EXPECT_EQ(person.isim, "Gülşen Çelik");
    EXPECT_EQ(person.yetki, "Kayıtçı");
    EXPECT_EQ(person.kartno, "0004455667");
    EXPECT_EQ(person.sifre, "");  // present and empty: no default
}

TEST_F(StoreTest, FingerprintMarkNeedsMoreThanTenCharacters) {
    struct Case {
        const char* details;
        int mark;
    };
    const std::array<Case, 5> cases = {{
        {"parmakizi3=ABCDEFGHIJK\r\n", 1},
        {"parmakizi3=ABCDEFGHIJ\r\n", 0},
        {"parmakizi0=ABCDEFGHIJ\r\nparmakizi9=ABCDEFGHIJ\r\n", 0},
        {"parmakizi9=ABCDEFGHIJKLMNOP\r\n", 1},
        {"parmakizi10=ABCDEFGHIJKLMNOP\r\n", 0},  // not one of the ten keys
    }};
    for (const auto& c : cases) {
        WriteDetails(std::string("[00012]\r\n") + c.details);
        store.OpenStore();
        EXPECT_EQ(store.ReadPerson("00012").fingerprintMark, c.mark) << c.details;
    }
}

TEST_F(StoreTest, AppendAddsTheKeyOfTheNumber) {
    WriteList("00012\r\n");
    store.OpenStore();
    store.AppendPersonnelNumber(7);
    store.AppendPersonnelNumber(123456);
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n00007\r\n123456\r\n");
    EXPECT_EQ(store.ReadPersonnelList(), (std::vector<std::string>{"00012", "00007", "123456"}));
}

TEST_F(StoreTest, FieldsAndTemplatesGoToTheSectionOnly) {
    WriteList("");
    store.OpenStore();
    store.WritePersonField("00012", PersonField::isim, "Ayşe");
    store.WritePersonField("00012", PersonField::yetki, "Yetkili");
    store.WritePersonField("00012", PersonField::kartno, "");
    store.WritePersonField("00012", PersonField::sifre, "12");
    store.WriteTemplate("00012", 0, "TEMPLATETEXT");
    EXPECT_EQ(ReadAll(store.listPath()), "");
    EXPECT_EQ(ReadAll(store.detailsPath()),
              "[00012]\r\nisim=Ay\xFE"
              "e\r\nyetki=Yetkili\r\nkartno=\r\nsifre=12\r\nparmakizi0=TEMPLATETEXT\r\n");
    EXPECT_EQ(store.ReadTemplate("00012", 0), "TEMPLATETEXT");
    EXPECT_EQ(store.ReadTemplate("00012", 1), "");
    EXPECT_THROW(store.WriteTemplate("00012", 10, "X"), AppError);
    EXPECT_THROW(store.ReadTemplate("00012", -1), AppError);
}

TEST_F(StoreTest, LongTemplatesComeBackWhole) {
    std::string text;
    for (int i = 0; i < 6000; ++i) text += static_cast<char>('A' + i % 26);
    store.OpenStore();
    store.WriteTemplate("00012", 4, text);
    EXPECT_EQ(OnDisk("00012", "parmakizi4"), text);
    PersonnelStore again(home.path());
    again.OpenStore();
    EXPECT_EQ(again.ReadTemplate("00012", 4), text);
}

TEST_F(StoreTest, TextsThatWouldBreakTheFileReadBackAsOneValue) {
    store.OpenStore();
    store.WritePersonField("00012", PersonField::isim, "Ali\r\nyetki=Supervizor\r\n[00099]");
    store.WritePersonField("00012", PersonField::sifre, "日本");
    PersonnelStore again(home.path());
    again.OpenStore();
    const PersonRecord person = again.ReadPerson("00012");
    EXPECT_EQ(person.isim, "Ali  yetki=Supervizor  [00099]");
    EXPECT_EQ(person.yetki, "Normal");
    EXPECT_EQ(person.sifre, "??");
    EXPECT_EQ(store.ReadPersonField("00012", PersonField::isim), person.isim);
    EXPECT_EQ(IniFile(store.detailsPath()).SectionNames(), std::vector<std::string>{"00012"});
}

TEST_F(StoreTest, EraseRemovesTheWholeSectionOnly) {
    WriteList("00012\r\n00013\r\n");
    WriteDetails("[00012]\r\nisim=A\r\nparmakizi0=ABCDEFGHIJKL\r\n[00013]\r\nisim=B\r\n");
    store.OpenStore();
    store.ErasePerson("00012");
    EXPECT_EQ(ReadAll(store.detailsPath()), "[00013]\r\nisim=B\r\n");
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n00013\r\n");
    EXPECT_EQ(store.ReadPerson("00012").fingerprintMark, 0);
}

TEST_F(StoreTest, EraseRemovesEveryCopyOfADuplicatedSection) {
    WriteDetails(
        "[00012]\r\nisim=A\r\n[00013]\r\nisim=B\r\n[00012]\r\nparmakizi0=ABCDEFGHIJKL\r\n");
    store.OpenStore();
    store.ErasePerson("00012");
    EXPECT_EQ(ReadAll(store.detailsPath()), "[00013]\r\nisim=B\r\n");
}

TEST_F(StoreTest, RebuildReplacesTheListInOneStep) {
    WriteList("00012\r\n12\r\n00013\r\n00014\r\n");
    WriteDetails("[00012]\r\nisim=A\r\n[00099]\r\nisim=Z\r\n");
    store.OpenStore();
    const std::vector<std::string> keys = {"00014", "00012"};
    store.RebuildPersonnelList(keys);
    EXPECT_EQ(ReadAll(store.listPath()), "00014\r\n00012\r\n");
    EXPECT_FALSE(std::filesystem::exists(store.rebuildPath()));
    store.RebuildPersonnelList({});
    EXPECT_EQ(ReadAll(store.listPath()), "");
    // Sections stay, listed or not.
    EXPECT_EQ(IniFile(store.detailsPath()).SectionNames(),
              (std::vector<std::string>{"00012", "00099"}));
}

struct RefusedCase {
    const char* name;
    const char* failingPath;
    void (*operation)(PersonnelStore&);
    const char* message;  // nullptr: the details file's message
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedWrite : public StoreTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedWrite, LeavesEveryFileWholeAndSaysWhy) {
    const RefusedCase& c = GetParam();
    const std::string list = "00012\r\n00013\r\n";
    const std::string details = "[00012]\r\nisim=A\r\nparmakizi0=ABCDEFGHIJKL\r\n";
    WriteList(list);
    WriteDetails(details);
    store.OpenStore();
    fs.failPathContaining = c.failingPath;
    try {
        c.operation(store);
        ADD_FAILURE() << "the write went through";
    } catch (const AppError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Io);
        const std::string expected =
            c.message ? c.message : "Unable to write to " + store.detailsPath();
        EXPECT_EQ(std::string(e.what()), expected);
    }
    EXPECT_EQ(ReadAll(store.listPath()), list);
    EXPECT_EQ(ReadAll(store.detailsPath()), details);
    EXPECT_FALSE(std::filesystem::exists(store.rebuildPath()));
    // The store in memory agrees with the disk.
    EXPECT_EQ(store.ReadPerson("00012").isim, "A");
    EXPECT_EQ(store.ReadPerson("00012").fingerprintMark, 1);
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Store, RefusedWrite,
    testing::Values(
        RefusedCase{"field", "parmakizi.ini",
                    [](PersonnelStore& s) { s.WritePersonField("00012", PersonField::isim, "B"); },
                    nullptr},
        RefusedCase{"template", "parmakizi.ini",
                    [](PersonnelStore& s) { s.WriteTemplate("00012", 0, "ZZZZZZZZZZZZ"); },
                    nullptr},
        RefusedCase{"erase", "parmakizi.ini", [](PersonnelStore& s) { s.ErasePerson("00012"); },
                    nullptr},
        RefusedCase{"append", "personel.ini", [](PersonnelStore& s) { s.AppendPersonnelNumber(7); },
                    "Dosyaya erişim engellendi"},
        RefusedCase{
            "rebuild", "_personel.ini",
            [](PersonnelStore& s) { s.RebuildPersonnelList(std::vector<std::string>{"00013"}); },
            "Dosyaya erişim engellendi"},
        RefusedCase{"batch_details", "parmakizi.ini",
                    [](PersonnelStore& s) {
                        PersonnelStore::Batch batch(s);
                        s.AppendPersonnelNumber(7);
                        s.WritePersonField("00007", PersonField::isim, "Yeni");
                        s.ErasePerson("00012");
                        batch.Commit();
                    },
                    nullptr},
        RefusedCase{"batch_rebuild", "_personel.ini",
                    [](PersonnelStore& s) {
                        PersonnelStore::Batch batch(s);
                        s.ErasePerson("00012");
                        s.RebuildPersonnelList(std::vector<std::string>{"00013"});
                        batch.Commit();
                    },
                    "Dosyaya erişim engellendi"},
        RefusedCase{"batch_rebuild_then_details", "parmakizi.ini",
                    [](PersonnelStore& s) {
                        PersonnelStore::Batch batch(s);
                        s.ErasePerson("00012");
                        s.RebuildPersonnelList(std::vector<std::string>{"00013"});
                        batch.Commit();
                    },
                    nullptr}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST_F(StoreTest, AnAppendThatFailsHalfWayIsCutBack) {
    WriteList("00012\r\n");
    store.OpenStore();
    fs.failAt = 3;  // the new list is created and written; its Sync fails
    fs.calls = 0;
    EXPECT_THROW(store.AppendPersonnelNumber(7), AppError);
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n");
}

TEST_F(StoreTest, ABatchWritesEverythingAtCommit) {
    WriteList("00012\r\n");
    WriteDetails("[00012]\r\nisim=A\r\n");
    store.OpenStore();
    {
        PersonnelStore::Batch batch(store);
        store.AppendPersonnelNumber(7);
        store.WritePersonField("00007", PersonField::isim, "Yeni");
        store.WriteTemplate("00012", 0, "ABCDEFGHIJKL");
        // Nothing on disk yet, but the store reads its own writes.
        EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n");
        EXPECT_EQ(OnDisk("00007", "isim"), "<missing>");
        EXPECT_EQ(store.ReadPersonField("00007", PersonField::isim), "Yeni");
        batch.Commit();
    }
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n00007\r\n");
    EXPECT_EQ(OnDisk("00007", "isim"), "Yeni");
    EXPECT_EQ(OnDisk("00012", "parmakizi0"), "ABCDEFGHIJKL");
}

TEST_F(StoreTest, ABatchLeftWithoutCommitChangesNothing) {
    WriteList("00012\r\n");
    WriteDetails("[00012]\r\nisim=A\r\n");
    store.OpenStore();
    {
        PersonnelStore::Batch batch(store);
        store.AppendPersonnelNumber(7);
        store.ErasePerson("00012");
        store.RebuildPersonnelList({});
    }
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n");
    EXPECT_EQ(ReadAll(store.detailsPath()), "[00012]\r\nisim=A\r\n");
    EXPECT_EQ(store.ReadPerson("00012").isim, "A");
}

TEST_F(StoreTest, OperationsNeedAnOpenStore) {
    EXPECT_THROW(store.ReadPerson("00012"), AppError);
    store.OpenStore();
    store.WritePersonField("00012", PersonField::isim, "A");
    store.CloseStore();
    EXPECT_FALSE(store.IsOpen());
    EXPECT_THROW(store.WritePersonField("00012", PersonField::isim, "B"), AppError);
    store.OpenStore();
    EXPECT_EQ(store.ReadPerson("00012").isim, "A");
}

}  // namespace

namespace {

TEST_F(StoreTest, ALastLineWithoutItsEndIsEndedBeforeTheNextKey) {
    struct Case {
        const char* before;
        const char* after;  // after appending 13
    };
    const Case cases[] = {
        {"00011\r\n00012", "00011\r\n00012\r\n00013\r\n"},
        {"00011\r\n00012\r\n", "00011\r\n00012\r\n00013\r\n"},
        {"00011\n00012\n", "00011\n00012\n00013\r\n"},
        {"00011\r00012\r", "00011\r00012\r00013\r\n"},
        {"", "00013\r\n"},
    };
    for (const Case& c : cases) {
        WriteList(c.before);
        store.OpenStore();
        store.AppendPersonnelNumber(13);
        EXPECT_EQ(ReadAll(store.listPath()), c.after) << c.before;
        // The same inside a command's batch.
        WriteList(c.before);
        {
            PersonnelStore::Batch batch(store);
            store.AppendPersonnelNumber(13);
            batch.Commit();
        }
        EXPECT_EQ(ReadAll(store.listPath()), c.after) << "batch: " << c.before;
    }
}

TEST_F(StoreTest, ALeftoverRebuildFileTakesTheListsPlaceWhenTheListIsMissing) {
    std::filesystem::create_directories(Folder());
    WriteAll(store.rebuildPath(), "00012\r\n00013\r\n");
    store.OpenStore();
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n00013\r\n");
    EXPECT_FALSE(std::filesystem::exists(store.rebuildPath()));
    EXPECT_EQ(store.ReadPersonnelList(), (std::vector<std::string>{"00012", "00013"}));

    // Beside a list, it is a rebuild that never finished: the list stands.
    WriteAll(store.rebuildPath(), "00099\r\n");
    store.OpenStore();
    EXPECT_EQ(store.ReadPersonnelList(), (std::vector<std::string>{"00012", "00013"}));
}

TEST_F(StoreTest, ReadOnlyFilesAreRefusedAndLinkedFilesFollowed) {
    WriteList("00012\r\n");
    WriteDetails("[00012]\r\nisim=A\r\n");
    store.OpenStore();
    fs.readOnlyPathContaining = "personel.ini";  // and _personel.ini: no harm
    EXPECT_THROW(store.AppendPersonnelNumber(7), AppError);
    EXPECT_THROW(store.RebuildPersonnelList({}), AppError);
    EXPECT_EQ(ReadAll(store.listPath()), "00012\r\n");
    fs.readOnlyPathContaining = "parmakizi.ini";
    try {
        store.WritePersonField("00012", PersonField::isim, "B");
        ADD_FAILURE() << "the write went through";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + store.detailsPath());
    }
    EXPECT_EQ(ReadAll(store.detailsPath()), "[00012]\r\nisim=A\r\n");
    fs.readOnlyPathContaining.clear();

    // A list that is a link to a shared file: the shared file gets the key.
    const std::string shared = home.File("ortak.ini");
    WriteAll(shared, "00012\r\n");
    std::filesystem::remove(store.listPath());
    std::filesystem::create_symlink(shared, store.listPath());
    store.AppendPersonnelNumber(7);
    EXPECT_TRUE(std::filesystem::is_symlink(store.listPath()));
    EXPECT_EQ(ReadAll(shared), "00012\r\n00007\r\n");
}

// A power cut at every call of adding keys and of rebuilding leaves a list
// whose every line is a whole key: the old list or the new one.
TEST(StorePowerCut, EveryLineIsAWholeKeyAfterAPowerCutAtAnyCall) {
    struct Operation {
        const char* name;
        void (*run)(PersonnelStore&);
        const char* after;
    };
    const Operation operations[] = {
        {"append", [](PersonnelStore& s) { s.AppendPersonnelNumber(13); },
         "00011\r\n00012\r\n00013\r\n"},
        {"batch",
         [](PersonnelStore& s) {
             PersonnelStore::Batch batch(s);
             s.AppendPersonnelNumber(13);
             s.WritePersonField("00013", PersonField::isim, "Can");
             s.AppendPersonnelNumber(14);
             batch.Commit();
         },
         "00011\r\n00012\r\n00013\r\n00014\r\n"},
        {"rebuild",
         [](PersonnelStore& s) { s.RebuildPersonnelList(std::vector<std::string>{"00012"}); },
         "00012\r\n"},
    };
    const std::string home = "/ev";
    const std::string list = home + "/personel/personel.ini";
    const std::string before = "00011\r\n00012";  // hand-edited: no last line end
    for (const Operation& op : operations) {
        bool finished = false;
        for (int crashAt = 1; !finished && crashAt < 100; ++crashAt) {
            test::CrashingFileSystem fs;
            fs.keepHalfOfUnsyncedAppends = true;
            fs.Put(list, before);
            fs.Put(home + "/personel/parmakizi.ini", "[00011]\r\nisim=A\r\n");
            PersonnelStore store(home, fs);
            store.OpenStore();
            fs.calls = 0;
            fs.crashAt = crashAt;
            try {
                op.run(store);
                finished = true;
            } catch (const test::PowerCut&) {
            }
            fs.Restart();
            const std::string survived = fs.Live(list).value_or("<missing>");
            EXPECT_TRUE(survived == before || survived == op.after)
                << op.name << ", power cut at call " << crashAt << ": " << survived;
            if (finished) {
                EXPECT_EQ(survived, op.after) << op.name;
            }
            // The next opening reads it whole.
            PersonnelStore again(home, fs);
            again.OpenStore();
            EXPECT_NO_THROW(again.ReadPersonnelList()) << op.name << " at call " << crashAt;
        }
        EXPECT_TRUE(finished) << op.name;
    }
}

}  // namespace

namespace {

TEST_F(StoreTest, AUnicodeDetailsFileKeepsWhatCodePage1254CannotHold) {
    WriteDetails("\xEF\xBB\xBF[00012]\r\nisim=Ali\r\n");
    store.OpenStore();
    store.WritePersonField("00012", PersonField::isim, "日本 Ayşe");
    EXPECT_EQ(store.ReadPersonField("00012", PersonField::isim), "日本 Ayşe");
    EXPECT_EQ(ReadAll(store.detailsPath()), "\xEF\xBB\xBF[00012]\r\nisim=日本 Ayşe\r\n");
    PersonnelStore again(home.path());
    again.OpenStore();
    EXPECT_EQ(again.ReadPerson("00012").isim, "日本 Ayşe");
}

}  // namespace
