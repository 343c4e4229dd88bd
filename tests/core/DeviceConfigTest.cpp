#include <gtest/gtest.h>

#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/DeviceConfig.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "core/Text.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

class DeviceConfigTest : public testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.File("cihazlar.ini");

    Configuration Load(const std::string& content) {
        WriteAll(path, content);
        return LoadConfiguration(IniFile(path));
    }
};

TEST_F(DeviceConfigTest, NoFileGivesTheDefaultsAndWritesNothing) {
    IniFile ini(path);
    const Configuration config = LoadConfiguration(ini);
    EXPECT_EQ(config.recordFilePath, "qb400.txt");
    EXPECT_TRUE(config.deleteAfterTransfer);
    EXPECT_EQ(config.devices.deviceCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(DeviceConfigTest, RecordFileOption) {
    struct Case {
        const char* line;
        const char* expected;
    };
    const Case cases[] = {
        {"", "qb400.txt"},
        {"dosya=   \r\n", "qb400.txt"},  // only blanks
        {"dosya=d:\\kayit\\qb.txt\r\n", "d:\\kayit\\qb.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Load(std::string("[ayarlar]\r\nx=1\r\n") + c.line).recordFilePath, c.expected);
}

TEST_F(DeviceConfigTest, DeleteOptionIsTickedOnlyByExactlyOne) {
    const std::pair<const char*, bool> cases[] = {{"silkontrol=1", true},
                                                  {"silkontrol=0", false},
                                                  {"silkontrol=yes", false},
                                                  {"silkontrol=", false},
                                                  {"x=y", true}};
    for (const auto& [line, ticked] : cases)
        EXPECT_EQ(Load(std::string("[ayarlar]\r\n") + line + "\r\n").deleteAfterTransfer, ticked)
            << line;
}

TEST_F(DeviceConfigTest, ScanSkipsGapsRenumbersDenselyAndIgnoresOutOfRangeSections) {
    const Configuration config = Load(
        "[cihaz0]\r\nadi=sifir\r\n[cihaz2]\r\nadi=iki\r\n[cihaz5]\r\nadi=bes\r\n[cihaz7]\r\n"
        "[cihaz9]\r\nadi=dokuz\r\n[cihaz257]\r\nadi=fazla\r\n");
    ASSERT_EQ(config.devices.deviceCount(), 3);
    EXPECT_EQ(config.devices.at(1).name(), "iki");
    EXPECT_EQ(config.devices.at(2).name(), "bes");
    EXPECT_EQ(config.devices.at(3).name(), "dokuz");
}

TEST_F(DeviceConfigTest, MissingKeysGiveDenemeAndEmptyTexts) {
    const Configuration config = Load("[cihaz1]\r\ngcdurum=Standart\r\n");
    ASSERT_EQ(config.devices.deviceCount(), 1);
    const DeviceRecord& d = config.devices.at(1);
    EXPECT_EQ(d.name(), "deneme");
    EXPECT_EQ(d.inOutMode(), "Standart");
    for (int f = kFieldConnectionType; f <= kFieldPassword; ++f) EXPECT_EQ(d.fields[f], "") << f;
}

TEST_F(DeviceConfigTest, FieldsAreCutToTheirWidthsInCharacters) {
    const Configuration config = Load(
        "[cihaz1]\r\nadi=\xD0"
        "234567890123456789012345\r\nbaglantitipi=Ethernet12345\r\nmakineno=1234567\r\n"
        "ipadres=192.168.100.200:99\r\nparola=12345678\r\ngcdurum=Her Zaman Giri\xFE ve daha\r\n");
    const DeviceRecord& d = config.devices.at(1);
    EXPECT_EQ(d.name(), "Ğ2345678901234567890");
    EXPECT_EQ(d.connectionType(), "Ethernet12");
    EXPECT_EQ(d.machineNumber(), "12345");
    EXPECT_EQ(d.ipAddress(), "192.168.100.200:");
    EXPECT_EQ(d.password(), "123456");
    EXPECT_EQ(d.inOutMode(), "Her Zaman Giriş ve d");
    EXPECT_NE(ReadAll(path).find("adi=\xD0"
                                 "234567890123456789012345\r\n"),
              std::string::npos);  // file untouched
}

TEST_F(DeviceConfigTest, SaveRewritesDeviceSectionsDenselyAndKeepsTheRest) {
    WriteAll(path,
             "[ayarlar]\r\ndosya=x.txt\r\n[cihaz1]\r\nadi=A\r\n[cihaz2]\r\nadi=B\r\n[cihaz3]"
             "\r\nadi=C\r\n"
             "[cihaz300]\r\nadi=Z\r\n");
    IniFile ini(path);
    const std::vector<std::vector<std::string>> rows = {
        {"A", "Ethernet", "1", "Com1", "115200", "192.168.1.201", "4370", "", "Standart", "status"},
        {"Uzun bir cihaz adı yirmiden fazla", "Comm Port", "2", "Com2", "9600", "", "", "p",
         "Standart", ""},
    };
    SaveDevices(ini, 2, [&](int column, int row) { return rows.at(row).at(column); });
    IniFile reread(path);
    EXPECT_EQ(reread.SectionNames(),
              (std::vector<std::string>{"ayarlar", "cihaz300", "cihaz1", "cihaz2"}));
    EXPECT_EQ(reread.ReadString("cihaz2", "adi", ""),
              "Uzun bir cihaz adı yirmiden fazla");  // whole text
    EXPECT_EQ(reread.ReadString("cihaz1", "ipport", ""), "4370");
    EXPECT_EQ(reread.ReadString("ayarlar", "dosya", ""), "x.txt");
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("[cihaz1]\r\nadi=A\r\nbaglantitipi=Ethernet\r\nmakineno=1\r\nportno="
                        "Com1\r\nbaudrate=115200\r\n"
                        "ipadres=192.168.1.201\r\nipport=4370\r\nparola=\r\ngcdurum=Standart\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("status"), std::string::npos);
}

TEST_F(DeviceConfigTest, ARefusedSaveLeavesTheWholeOldList) {
    WriteAll(path, "[cihaz1]\r\nadi=A\r\n[cihaz2]\r\nadi=B\r\n");
    const std::string before = ReadAll(path);
    test::FailingFileSystem fs;
    fs.failPathContaining = "cihazlar.ini";
    IniFile ini(path, fs);
    EXPECT_THROW(SaveDevices(ini, 1, [](int, int) { return std::string("X"); }), AppError);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(LoadConfiguration(ini).devices.deviceCount(), 2);
}

TEST_F(DeviceConfigTest, OptionWrites) {
    IniFile ini(path);
    Configuration config;
    WriteDeleteOption(ini, false);
    WriteRecordFileOption(ini, config, "/tmp/kayit.txt");
    EXPECT_EQ(config.recordFilePath, "/tmp/kayit.txt");
    EXPECT_EQ(ReadAll(path), "[ayarlar]\r\nsilkontrol=0\r\ndosya=/tmp/kayit.txt\r\n");
}

// A cihazlar.ini of the earlier Windows installation loads as it did there.
TEST_F(DeviceConfigTest, AWindowsWrittenFileLoadsAsItDidThere) {
    const std::string comment = "; Aktarım ayarları, elle düzenlendi\r\n";
    const std::string settings = comment +
                                 "[ayarlar]\r\ndosya=\"kayit dosyası.txt\"\r\nsilkontrol=\"1\"\r\n"
                                 "[cihaz1]\r\nadi='Kapı'\r\nbaglantitipi=Ethernet\r\n"
                                 "[cihaz2]\r\n;adi=Yemekhane\r\n;baglantitipi=Ethernet\r\n"
                                 "[cihaz3]\r\nadi=Depo\r\n";
    using Encode = std::string (*)(const std::string&);
    const Encode encodings[] = {
        [](const std::string& t) { return Utf8ToCp1254(t); },
        [](const std::string& t) { return t; },
        [](const std::string& t) { return Utf8ToUtf16Le(t); },
    };
    const std::string marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE"};
    for (int e = 0; e < 3; ++e) {
        const Configuration config = Load(marks[e] + encodings[e](settings));
        EXPECT_EQ(config.recordFilePath, "kayit dosyası.txt") << e;
        EXPECT_TRUE(config.deleteAfterTransfer) << e;
        ASSERT_EQ(config.devices.deviceCount(), 2) << e;
        EXPECT_EQ(config.devices.at(1).name(), "Kapı") << e;
        EXPECT_EQ(config.devices.at(2).name(), "Depo") << e;  // no phantom "deneme"

        // Saving keeps the comment, the quoted options and the encoding.
        IniFile ini(path);
        const std::vector<std::string> row = {"Kapı", "Ethernet", "1", "Com1", "", "", "", "", ""};
        SaveDevices(ini, 1, [&](int column, int) { return row.at(column); });
        const std::string saved = ReadAll(path);
        EXPECT_EQ(saved.rfind(marks[e] + encodings[e](comment), 0), 0u) << e;
        const Configuration reread = LoadConfiguration(IniFile(path));
        EXPECT_EQ(reread.devices.deviceCount(), 1) << e;
        EXPECT_EQ(reread.recordFilePath, "kayit dosyası.txt") << e;
        EXPECT_TRUE(reread.deleteAfterTransfer) << e;
    }
}
