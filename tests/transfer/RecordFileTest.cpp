#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/RecordFile.h"
#include "core/TransferLog.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

namespace {

const std::string kLine = "000,00123,1 2024/03/05 08:07:00";
const std::string kOther = "000,00456,0 2024/03/05 17:30:00";

TEST(InterruptedTail, WhatAnInterruptedTransferLeftAndWhatIsSomeonesText) {
    struct Case {
        const char* name;
        std::string tail;
        std::string lines;  // about to be written
        bool interrupted;
    };
    const std::string lines = kLine + "\r\n" + kOther + "\r\n";
    const Case cases[] = {
        {"zeros of a power cut", std::string(7, '\0'), lines, true},
        {"start of the line head", "00", lines, true},
        {"part of a record line", "000,00123,1 2024/0", lines, true},
        {"part of a line, zeros after it", std::string("000,001") + '\0' + '\0', lines, true},
        {"a whole line that lost only its LF", kLine + "\r", "", true},
        {"a whole line the terminal still holds", kOther, lines, true},
        {"a whole line the terminal no longer holds", kLine, kOther + "\r\n", false},
        {"a held line only inside another line", kLine, "x" + kLine + "\r\n", false},
        {"someone's own text", "Not: elle eklendi", lines, false},
        {"a record head with text after it", "000,abc", lines, false},
        {"no line head at all", "1", lines, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInterruptedTail(c.tail, c.lines), c.interrupted) << c.name;
}

TEST(DeviceRecordFiles, LinesStartOnALineOfTheirOwnInBothFiles) {
    struct Case {
        const char* name;
        std::string before;
        std::string after;  // then the new lines
    };
    const Case cases[] = {
        {"empty file", "", ""},
        {"whole lines", kOther + "\r\n", kOther + "\r\n"},
        {"torn tail cut", kOther + "\r\n000,0012", kOther + "\r\n"},
        {"someone's unended line ended", "elle\r\nnot", "elle\r\nnot\r\n"},
        {"a whole line the next lines hold cut", kOther + "\r\n" + kLine, kOther + "\r\n"},
    };
    const std::string lines = kLine + "\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        WriteAll(dir.File("qb400.txt"), c.before);
        WriteAll(dir.File("yedek"), c.before);
        DeviceRecordFiles files(RealFileSystem(), dir.File("yedek"), dir.File("qb400.txt"));
        files.Commit(lines);
        EXPECT_EQ(ReadAll(dir.File("qb400.txt")), c.after + lines);
        EXPECT_EQ(ReadAll(dir.File("yedek")), c.after + lines);
    }
}

TEST(DeviceRecordFiles, AFailedWriteAfterATailRepairCutsBackToTheRepair) {
    test::TempDir dir;
    const std::string old = kOther + "\r\n";
    WriteAll(dir.File("qb400.txt"), old + "000,0012");  // a killed transfer's tail
    test::FailingFileSystem fs;
    fs.errorNumber = ENOSPC;
    fs.failingWriteWritesHalf = true;  // the failing write leaves half its bytes
    DeviceRecordFiles files(fs, dir.File("yedek"), dir.File("qb400.txt"));
    // Counted so far: the two opens. Then the record file's Truncate and Sync
    // of the repair, then its Write.
    fs.failAt = fs.calls + 3;
    const std::string lines = kLine + "\r\n" + kLine + "\r\n" + kLine + "\r\n";
    EXPECT_THROW(files.Commit(lines), AppError);
    EXPECT_EQ(ReadAll(dir.File("qb400.txt")), old);
    EXPECT_EQ(ReadAll(dir.File("yedek")), "");
}

TEST(DeviceRecordFiles, WithoutACommitBothFilesGoBackToTheirLength) {
    test::TempDir dir;
    WriteAll(dir.File("qb400.txt"), kOther + "\r\n");
    { DeviceRecordFiles files(RealFileSystem(), dir.File("yedek"), dir.File("qb400.txt")); }
    EXPECT_EQ(ReadAll(dir.File("qb400.txt")), kOther + "\r\n");
    EXPECT_EQ(ReadAll(dir.File("yedek")), "");
}

TEST(TransferLog, LineHoldsWhenWhoWhatHowManyAndWhy) {
    std::tm when{};
    when.tm_year = 126, when.tm_mon = 11, when.tm_mday = 9, when.tm_hour = 3, when.tm_min = 4,
    when.tm_sec = 5;
    DeviceOutcome o;
    o.number = 12;
    o.result = DeviceOutcome::Result::LoadFailed;
    o.error = "Kayıtlar okunamadı (Bağlantı koptu:\r\nx)";
    EXPECT_EQ(TransferLogLine(when, "Giriş", o),
              "2026-12-09 03:04:05\t12\tGiriş\tkayıtlar alınamadı\t0 kayıt\tbırakıldı\t"
              "Kayıtlar okunamadı (Bağlantı koptu:  x)");
}

TEST(TransferLog, AppendsInCodePage1254AndEndsAnOpenLastLine) {
    test::TempDir dir;
    const std::string path = dir.File("aktarim.log");
    EXPECT_TRUE(AppendToTransferLog(RealFileSystem(), path, "ilk"));
    EXPECT_TRUE(AppendToTransferLog(RealFileSystem(), path, "Çıkış\nikinci"));
    EXPECT_EQ(ReadAll(path), "ilk\r\n\xC7\xFDk\xFD\xFE\r\nikinci\r\n");
    WriteAll(path, "elle");
    EXPECT_TRUE(AppendToTransferLog(RealFileSystem(), path, "son"));
    EXPECT_EQ(ReadAll(path), "elle\r\nson\r\n");
}

TEST(TransferLog, PastItsLimitKeepsItsNewerHalfFromALineStart) {
    test::TempDir dir;
    const std::string path = dir.File("aktarim.log");
    std::string all;
    for (int i = 0; i < 40; ++i) {
        const std::string line = "satir " + std::to_string(i);
        ASSERT_TRUE(AppendToTransferLog(RealFileSystem(), path, line, 200));
        all += line + "\r\n";
        const std::string text = ReadAll(path);
        EXPECT_LE(text.size(), 200u);
        // What is kept is the end of everything written, from a line start.
        ASSERT_GE(all.size(), text.size());
        EXPECT_EQ(all.substr(all.size() - text.size()), text);
        EXPECT_TRUE(text.size() == all.size() || all[all.size() - text.size() - 1] == '\n');
        EXPECT_EQ(text.substr(text.size() - line.size() - 2), line + "\r\n");
    }
    EXPECT_LT(ReadAll(path).size(), all.size()) << "the log was never cut";
}

TEST(TransferLog, AFailingDiskIsSwallowed) {
    test::TempDir dir;
    test::FailingFileSystem fs;
    fs.failPathContaining = "aktarim.log";
    EXPECT_FALSE(AppendToTransferLog(fs, dir.File("aktarim.log"), "satır"));
}

}  // namespace
