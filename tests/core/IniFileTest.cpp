#include <gtest/gtest.h>

#include <random>

#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "core/Text.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

class IniFileTest : public testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.File("cihazlar.ini");
};

TEST_F(IniFileTest, MissingFileReadsAsEmptyAndFirstWriteCreatesIt) {
    IniFile ini(path);
    EXPECT_FALSE(ini.SectionExists("ayarlar"));
    EXPECT_EQ(ini.ReadString("ayarlar", "dosya", "qb400.txt"), "qb400.txt");
    ini.WriteString("ayarlar", "silkontrol", "0");
    EXPECT_EQ(ReadAll(path), "[ayarlar]\r\nsilkontrol=0\r\n");
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndValuesReadTrimmed) {
    WriteAll(path, "[Ayarlar]\nDosya =  c:\\kayit.txt  \n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("AYARLAR", "dosya", "x"), "c:\\kayit.txt");
    EXPECT_TRUE(ini.SectionExists("ayarlar"));
}

TEST_F(IniFileTest, WritesReplaceInPlaceAppendKeysAndSectionsAndKeepOtherLines) {
    WriteAll(path, "; yorum\r\n[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    IniFile ini(path);
    ini.WriteString("A", "X", "10");  // in place, original spelling kept
    ini.WriteString("a", "z", "3");   // after the last key of [a], before the blank line
    ini.WriteString("c", "w", "4");   // new section at the end
    EXPECT_EQ(ReadAll(path), "; yorum\r\n[a]\r\nx=10\r\nz=3\r\n\r\n[b]\r\ny=2\r\n[c]\r\nw=4\r\n");
}

TEST_F(IniFileTest, SectionExistsOnlyWhileItHoldsAKeyAndEraseRemovesIt) {
    WriteAll(path, "[bos]\r\n; nothing\r\n[dolu]\r\nk=v\r\n[son]\r\nq=1\r\n");
    IniFile ini(path);
    EXPECT_FALSE(ini.SectionExists("bos"));
    EXPECT_TRUE(ini.SectionExists("dolu"));
    ini.EraseSection("DOLU");
    EXPECT_FALSE(ini.SectionExists("dolu"));
    EXPECT_EQ(ReadAll(path), "[bos]\r\n; nothing\r\n[son]\r\nq=1\r\n");
}

TEST_F(IniFileTest, TurkishTextIsStoredInCodePage1254) {
    IniFile ini(path);
    ini.WriteString("cihaz1", "gcdurum", "Her Zaman Çıkış");
    EXPECT_EQ(ReadAll(path), "[cihaz1]\r\ngcdurum=Her Zaman \xC7\xFDk\xFD\xFE\r\n");
    IniFile again(path);
    EXPECT_EQ(again.ReadString("cihaz1", "gcdurum", ""), "Her Zaman Çıkış");
}

TEST_F(IniFileTest, LineBreaksInAValueNeverCreateKeysOrSections) {
    IniFile ini(path);
    ini.WriteString("p", "isim", "Ali\r\n[cihaz1]\r\nadi=Sahte");
    IniFile again(path);
    EXPECT_FALSE(again.SectionExists("cihaz1"));
    EXPECT_EQ(again.ReadString("p", "isim", ""), "Ali  [cihaz1]  adi=Sahte");
    EXPECT_EQ(again.SectionNames(), std::vector<std::string>{"p"});
}

TEST_F(IniFileTest, LongValuesReadBackWhole) {
    const std::string longValue(100000, 'T');
    IniFile(path).WriteString("00012", "parmakizi0", longValue);
    EXPECT_EQ(IniFile(path).ReadString("00012", "parmakizi0", ""), longValue);
}

TEST_F(IniFileTest, AcceptsLfEndsMissingFinalEndOddLinesAndDuplicates) {
    WriteAll(path, "\xEF\xBB\xBFyalniz satir\n[a]\nnoequals\n=novalue\nk=1\n[A]\nk=2\n[b]\nk=3");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("a", "k", ""), "1");  // the first of duplicate sections wins
    EXPECT_EQ(ini.ReadString("b", "k", ""), "3");
    ini.WriteString("b", "m", "4");
    const std::string rewritten = ReadAll(path);
    EXPECT_NE(rewritten.find("noequals\r\n"), std::string::npos);
    EXPECT_NE(rewritten.find("=novalue\r\n"), std::string::npos);
    EXPECT_EQ(rewritten.rfind("k=3\r\nm=4\r\n"), rewritten.size() - 10);
}

TEST_F(IniFileTest, RandomBytesNeverCrashAndComeBackLineForLine) {
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(static_cast<size_t>(random() % 2000), '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 256);
        WriteAll(path, bytes);
        IniFile ini(path);
        (void)ini.SectionNames();
        // Untouched lines are written back byte for byte, each with CR LF;
        // CR LF, LF and a lone CR all end a line.
        std::string expected;
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t end = bytes.find_first_of("\r\n", pos);
            if (end == std::string::npos) end = bytes.size();
            expected += bytes.substr(pos, end - pos) + "\r\n";
            pos = end + 1;
            if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++pos;
        }
        ASSERT_EQ(ini.Serialize(), expected) << "round " << round;
    }
}

TEST_F(IniFileTest, ARefusedWriteLeavesTheFileByteIdenticalAndReportsThePath) {
    WriteAll(path, "[ayarlar]\r\ndosya=eski.txt\r\n");
    test::FailingFileSystem fs;
    fs.failPathContaining = "cihazlar.ini";
    IniFile ini(path, fs);
    try {
        ini.WriteString("ayarlar", "dosya", "yeni.txt");
        FAIL() << "the write was not refused";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(ReadAll(path), "[ayarlar]\r\ndosya=eski.txt\r\n");
    EXPECT_EQ(ini.ReadString("ayarlar", "dosya", ""), "eski.txt");  // memory follows the disk
}

TEST_F(IniFileTest, EveryFailingStepOfAReplacementLeavesOldOrNewContent) {
    const std::string before = "[a]\r\nk=1\r\n";
    for (int n = 1; n <= 4; ++n) {
        WriteAll(path, before);
        test::FailingFileSystem fs;
        fs.failAt = n;
        IniFile ini(path, fs);
        bool failed = false;
        try {
            ini.WriteString("a", "k", "2");
        } catch (const AppError&) {
            failed = true;
        }
        const std::string after = ReadAll(path);
        EXPECT_TRUE(after == before || after == "[a]\r\nk=2\r\n") << "call " << n;
        EXPECT_EQ(failed, after == before) << "call " << n;
    }
}

TEST_F(IniFileTest, AGroupWritesOnceAndADiscardedGroupLeavesTheFileWhole) {
    WriteAll(path, "[a]\r\nk=1\r\n");
    test::FailingFileSystem fs;
    IniFile ini(path, fs);
    {
        IniFile::Group group(ini);
        for (int i = 0; i < 100; ++i) ini.WriteString("s" + std::to_string(i), "k", "v");
        group.Commit();
    }
    EXPECT_EQ(fs.calls, 4);  // one create, write, sync, rename
    {
        IniFile::Group group(ini, IniFile::Group::Abandon::Discard);
        ini.EraseSection("a");
        // ended without Commit: an error left the command
    }
    EXPECT_TRUE(IniFile(path).SectionExists("a"));
    EXPECT_TRUE(ini.SectionExists("a"));
}

TEST_F(IniFileTest, AGroupThatFailsToCommitLeavesThePreviousFile) {
    WriteAll(path, "[cihaz1]\r\nadi=A\r\n[cihaz2]\r\nadi=B\r\n");
    const std::string before = ReadAll(path);
    test::FailingFileSystem fs;
    IniFile ini(path, fs);
    IniFile::Group group(ini);
    ini.EraseSection("cihaz1");
    ini.EraseSection("cihaz2");
    ini.WriteString("cihaz1", "adi", "C");
    fs.failPathContaining = "cihazlar.ini";
    EXPECT_THROW(group.Commit(), AppError);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(ini.ReadString("cihaz2", "adi", ""), "B");
}

// Files as the Windows profile functions read them (each case checked
// against those functions).
struct ReadCase {
    const char* name;
    std::string bytes;
    const char* section;
    const char* key;
    const char* expected;  // "<default>": the key is not found
};

TEST_F(IniFileTest, ReadsFilesAsTheWindowsProfileFunctionsDo) {
    const std::string utf16Settings = "\xFF\xFE" + Utf8ToUtf16Le("[ayarlar]\r\ndosya=ş.txt\r\n");
    const ReadCase cases[] = {
        {"double quotes dropped", "[ayarlar]\r\ndosya=\"qb400.txt\"\r\n", "ayarlar", "dosya",
         "qb400.txt"},
        {"single quotes dropped", "[ayarlar]\r\nsilkontrol='1'\r\n", "ayarlar", "silkontrol", "1"},
        {"one pair only", "[a]\r\nk=\"\"x\"\"\r\n", "a", "k", "\"x\""},
        {"blanks inside quotes kept", "[a]\r\nk=  \" b \"  \r\n", "a", "k", " b "},
        {"empty quotes", "[a]\r\nk=\"\"\r\n", "a", "k", ""},
        {"an unmatched quote stays", "[a]\r\nk=\"a\r\n", "a", "k", "\"a"},
        {"mixed quotes stay", "[a]\r\nk=\"a'\r\n", "a", "k", "\"a'"},
        {"inner quote stays", "[a]\r\nk=\"a\"b\"\r\n", "a", "k", "a\"b"},
        {"comment is no key", "[ayarlar]\r\n;dosya=yorum.txt\r\n", "ayarlar", "dosya", "<default>"},
        {"indented comment", "[a]\r\n  ; k=0\r\nk=1\r\n", "a", "k", "1"},
        {"commented header keeps the keys above", "[a]\r\n;[b]\r\nk=1\r\n", "a", "k", "1"},
        {"CR-only line ends", "[a]\rk=1\rm=2\r[b]\rk=3", "b", "k", "3"},
        {"value ends at NUL", std::string("[a]\r\nk=ab\0cd\r\nm=2\r\n", 20), "a", "k", "ab"},
        {"lines after a NUL still read", std::string("[a]\r\nk=ab\0cd\r\nm=2\r\n", 20), "a", "m",
         "2"},
        {"UTF-16 LE with its mark", utf16Settings, "ayarlar", "dosya", "ş.txt"},
        {"UTF-8 with its mark keeps its first section",
         "\xEF\xBB\xBF[ayarlar]\r\ndosya=\xC5\x9F.txt\r\n", "ayarlar", "dosya", "ş.txt"},
        {"code page 1254 without a mark", "[ayarlar]\r\ndosya=\xFE.txt\r\n", "ayarlar", "dosya",
         "ş.txt"},
    };
    for (const ReadCase& c : cases) {
        WriteAll(path, c.bytes);
        EXPECT_EQ(IniFile(path).ReadString(c.section, c.key, "<default>"), c.expected) << c.name;
    }
}

TEST_F(IniFileTest, ASectionWhoseKeysAreAllCommentedOutIsNoDevice) {
    WriteAll(path, "[cihaz1]\r\n;adi=deneme\r\n;baglantitipi=Ethernet\r\n[cihaz2]\r\nadi=iki\r\n");
    IniFile ini(path);
    EXPECT_FALSE(ini.SectionExists("cihaz1"));
    EXPECT_EQ(ini.SectionNames(), std::vector<std::string>{"cihaz2"});
}

struct RoundTripCase {
    const char* name;
    std::string before;
    std::string after;  // after WriteString("a", "k", "yeni") and WriteString("b", "ş", "ğ")
};

TEST_F(IniFileTest, RewritingKeepsCommentsAndTheFileEncoding) {
    // The same text, "; yorum ı\n[a]\nk=eski\n", in each encoding.
    const auto utf16 = [](std::string_view utf8) { return "\xFF\xFE" + Utf8ToUtf16Le(utf8); };
    const RoundTripCase cases[] = {
        {"code page 1254", "; yorum \xFD\r\n[a]\r\nk=eski\r\n",
         "; yorum \xFD\r\n[a]\r\nk=yeni\r\n[b]\r\n\xFE=\xF0\r\n"},
        {"CR-only ends become CR LF", "; yorum \xFD\r[a]\rk=eski",
         "; yorum \xFD\r\n[a]\r\nk=yeni\r\n[b]\r\n\xFE=\xF0\r\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF; yorum ı\r\n[a]\r\nk=eski\r\n",
         "\xEF\xBB\xBF; yorum ı\r\n[a]\r\nk=yeni\r\n[b]\r\nş=ğ\r\n"},
        {"UTF-16 LE with its mark", utf16("; yorum ı\r\n[a]\r\nk=eski\r\n"),
         utf16("; yorum ı\r\n[a]\r\nk=yeni\r\n[b]\r\nş=ğ\r\n")},
    };
    for (const RoundTripCase& c : cases) {
        WriteAll(path, c.before);
        IniFile ini(path);
        ini.WriteString("a", "k", "yeni");
        ini.WriteString("b", "ş", "ğ");
        EXPECT_EQ(ReadAll(path), c.after) << c.name;
        IniFile again(path);
        EXPECT_EQ(again.ReadString("b", "ş", ""), "ğ") << c.name;
        EXPECT_EQ(again.encoding(), ini.encoding()) << c.name;
    }
}

TEST_F(IniFileTest, QuotedValuesReadBackAsWritten) {
    IniFile ini(path);
    for (const std::string value : {"\"x\"", "'y'", "\"", "a\"b\"", "\"\""}) {
        ini.WriteString("a", "k", value);
        EXPECT_EQ(IniFile(path).ReadString("a", "k", "<default>"), value) << value;
    }
    ini.WriteString("a", "k", "\"x\"");
    EXPECT_EQ(ReadAll(path), "[a]\r\nk=\"\"x\"\"\r\n");
}
