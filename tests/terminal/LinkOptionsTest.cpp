#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "terminal/LinkOptions.h"

namespace aktarim::test {
namespace {

using namespace std::chrono_literals;

LinkOptions Load(const TempDir& dir, const std::string& content) {
    WriteAll(dir.File("cihazlar.ini"), content);
    IniFile ini(dir.File("cihazlar.ini"));
    return LoadLinkOptions(ini);
}

TEST(LinkOptions, DefaultsWithoutTheSections) {
    TempDir dir;
    const LinkOptions options = Load(dir, "[ayarlar]\r\ndosya=qb400.txt\r\n");
    EXPECT_EQ(options.connectTimeout, 3000ms);
    EXPECT_EQ(options.requestTimeout, 5000ms);
    EXPECT_EQ(options.idleTimeout, 3000ms);
    EXPECT_EQ(options.serialDevices[0], "/dev/ttyS0");
    EXPECT_EQ(options.serialDevices[3], "/dev/ttyS3");
}

TEST(LinkOptions, SectionsOverrideDevicesAndTimeouts) {
    TempDir dir;
    const LinkOptions options =
        Load(dir,
             "[SeriPort]\r\nCOM2=/dev/ttyUSB0\r\ncom4= /dev/pts/7 \r\n"
             "com1=\r\n"
             "[zamanasimi]\r\nbaglanti=1500\r\nistek=0\r\nbekleme=9999999\r\n");
    EXPECT_EQ(options.serialDevices[0], "/dev/ttyS0");
    EXPECT_EQ(options.serialDevices[1], "/dev/ttyUSB0");
    EXPECT_EQ(options.serialDevices[2], "/dev/ttyS2");
    EXPECT_EQ(options.serialDevices[3], "/dev/pts/7");
    EXPECT_EQ(options.connectTimeout, 1500ms);
    EXPECT_EQ(options.requestTimeout, 1ms);    // brought up to the least
    EXPECT_EQ(options.idleTimeout, 600000ms);  // and down to the most
}

TEST(LinkOptions, ATimeoutThatIsNoNumberIsAConversionError) {
    TempDir dir;
    try {
        Load(dir, "[zamanasimi]\r\nistek=5 sn\r\n");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'5 sn' is not a valid integer value");
    }
}

}  // namespace
}  // namespace aktarim::test
