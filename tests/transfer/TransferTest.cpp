#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "FailingFileSystem.h"
#include "TempDir.h"
#include "core/Errors.h"
#include "core/Transfer.h"
#include "terminal/MemoryLink.h"

using namespace aktarim;
using aktarim::test::ReadAll;
using aktarim::test::WriteAll;

TEST(RecordLine, LayoutUserNumbersAndStates) {
    struct Case {
        int32_t user, state;
        const char* expected;
    };
    constexpr std::array<Case, 5> cases = {{
        {123, 1, "000,00123,1 2024/03/05 08:07:00"},
        {7, 0, "000,00007,0 2024/03/05 08:07:00"},
        {123456, 1, "000,23456,1 2024/03/05 08:07:00"},  // the last five digits
        {5, 15, "000,00005,15 2024/03/05 08:07:00"},     // wider state shifts the rest
        {5, -3, "000,00005,-3 2024/03/05 08:07:00"},
    }};
    for (const auto& c : cases) EXPECT_EQ(RecordLine(c.user, c.state, 2024, 3, 5, 8, 7), c.expected);
    EXPECT_EQ(RecordLine(1, 1, 2024, 3, 5, 8, 7).size(), 31u);
}

TEST(StateToWrite, InOutModeTable) {
    struct Case {
        const char* mode;
        std::array<int32_t, 9> states;   // terminal states
        std::array<int32_t, 9> written;
    };
    const std::array<int32_t, 9> states = {0, 1, 2, 3, 4, 5, 7, 15, -1};
    const std::array<int32_t, 9> standard = {1, 0, 1, 0, 1, 0, 7, 15, -1};
    const Case cases[] = {
        {"Standart", states, standard},
        {"", states, standard},
        {"her zaman giriş", states, standard},  // exact text only
        {"Her Zaman Giriş", states, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"Her Zaman Çıkış", states, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases)
        for (size_t i = 0; i < c.states.size(); ++i)
            EXPECT_EQ(StateToWrite(c.mode, c.states[i]), c.written[i]) << c.mode << " state " << c.states[i];
}

TEST(BackupFileName, DateAndDeviceNumber) {
    std::tm day{};
    day.tm_year = 124, day.tm_mon = 2, day.tm_mday = 5;
    EXPECT_EQ(BackupFileName(day, 2), "20240305.002");
    EXPECT_EQ(BackupFileName(day, 1234), "20240305.234");
}

TEST(ConnectionDescription, ByExactType) {
    DeviceRecord d;
    d.Set(kFieldIpAddress, "127.0.0.1");
    d.Set(kFieldIpPort, "4370");
    d.Set(kFieldMachineNumber, "2");
    d.Set(kFieldPort, "Com1");
    d.Set(kFieldBaudRate, "115200");
    d.Set(kFieldConnectionType, "Ethernet");
    EXPECT_EQ(ConnectionDescription(d), "IP: 127.0.0.1 /Port: 4370");
    d.Set(kFieldConnectionType, "Comm Port");
    EXPECT_EQ(ConnectionDescription(d), "Mak.No: 2 /Port: Com1 /B.rate: 115200");
    d.Set(kFieldConnectionType, "ethernet");
    EXPECT_EQ(ConnectionDescription(d), std::nullopt);
    DeviceRecord empty;
    empty.Set(kFieldConnectionType, "Ethernet");
    EXPECT_EQ(ConnectionDescription(empty), "IP:  /Port: ");
}

namespace {

// Records what the grid showed at each repaint.
class RecordingView : public TransferView {
public:
    explicit RecordingView(const GridModel& grid) : grid_(grid) {}
    void RepaintGrid() override {
        ++repaints;
        if (grid_.RowCount() > 0) progress.push_back(grid_.Value(kMainColumnProgress, 0));
    }
    int repaints = 0;
    std::vector<int> progress;

private:
    const GridModel& grid_;
};

// A terminal that reports a record count of its own choosing.
class CountingLink : public MemoryLink {
public:
    using MemoryLink::MemoryLink;
    int32_t reportedCount = 0;
    bool GetStatusValue(int32_t m, int32_t item, int32_t& value) override {
        const bool ok = MemoryLink::GetStatusValue(m, item, value);
        if (item == kStatusRecordCount) value = reportedCount;
        return ok;
    }
};

AttendanceEntry Punch(int32_t user, int32_t state, int32_t day = 4) {
    return {user, 1, state, 2024, 3, day, 8, 7, 31};
}

class TransferTest : public testing::Test {
protected:
    test::TempDir home;
    std::string recordPath = home.File("qb400.txt");
    DeviceTable devices;
    GridModel grid{MainGridColumns()};
    RecordingView view{grid};
    MemoryTerminal terminal{[] {
        TerminalState s;
        s.machineNumber = 1;
        return s;
    }()};
    bool deleteAfter = true;
    FileSystem* fs = &RealFileSystem();

    void AddDevice(const std::string& name, const std::string& type, const std::string& machine = "1",
                   const std::string& mode = "Standart") {
        DeviceRecord& d = devices.Append();
        d.Set(kFieldName, name);
        d.Set(kFieldConnectionType, type);
        d.Set(kFieldMachineNumber, machine);
        d.Set(kFieldPort, "Com1");
        d.Set(kFieldBaudRate, "115200");
        d.Set(kFieldIpAddress, "127.0.0.1");
        d.Set(kFieldIpPort, "4370");
        d.Set(kFieldInOutMode, mode);
    }
    void Fill(int records, int32_t state = 0) {
        for (int i = 0; i < records; ++i) terminal.AppendRecord(Punch(100 + i, state));
    }
    AttendanceTransfer Make(TerminalLink& link) {
        FillDeviceGrid(grid, devices);
        TransferSettings settings;
        settings.programFolder = home.path();
        settings.recordFilePath = recordPath;
        settings.deleteAfterTransfer = [this] { return deleteAfter; };
        settings.today = [] {
            std::tm t{};
            t.tm_year = 124, t.tm_mon = 2, t.tm_mday = 5;
            return t;
        };
        settings.fileSystem = fs;
        return AttendanceTransfer(grid, devices, link, view, settings);
    }
    std::string Backup(int device) { return ReadAll(home.File("yedekler/20240305.00" + std::to_string(device))); }
};

}  // namespace

TEST_F(TransferTest, ReadsEveryRecordIntoBothFilesAndErasesTheLog) {
    AddDevice("Giriş", "Ethernet");
    Fill(8);
    MemoryLink link(terminal);
    Make(link).Run();
    const std::vector<int> expected = {12, 25, 38, 50, 62, 75, 88, 100};
    EXPECT_EQ(std::vector<int>(view.progress.begin(), view.progress.begin() + 8), expected);
    const std::string lines = ReadAll(recordPath);
    EXPECT_EQ(lines.size(), 8u * 33);
    EXPECT_EQ(lines.substr(0, 33), "000,00100,1 2024/03/04 08:07:00\r\n");
    EXPECT_EQ(Backup(1), lines);
    EXPECT_EQ(grid.Value(kMainColumnStatus, 0), kPictureConnected);
    EXPECT_TRUE(terminal.AttendanceLog().empty());
    EXPECT_FALSE(link.IsConnected());
}

TEST_F(TransferTest, UntickedAndUnknownDevicesAreNotContacted) {
    AddDevice("A", "Ethernet");
    AddDevice("B", "ethernet");
    Fill(3);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    grid.SetChecked(kMainColumnTick, 0, false);
    grid.SetValue(kMainColumnStatus, 0, kPictureFailed);  // left from an earlier run
    transfer.Run();
    EXPECT_TRUE(link.calls.empty());
    EXPECT_EQ(grid.Value(kMainColumnStatus, 0), kPictureNone);
    EXPECT_EQ(grid.Value(kMainColumnStatus, 1), kPictureNone);
    EXPECT_FALSE(std::filesystem::exists(recordPath));
    EXPECT_EQ(terminal.AttendanceLog().size(), 3u);
}

TEST_F(TransferTest, ATerminalWithoutRecordsCreatesAnEmptyBackupAndStillErases) {
    AddDevice("A", "Comm Port");
    MemoryLink link(terminal);
    Make(link).Run();
    EXPECT_TRUE(std::filesystem::exists(home.File("yedekler/20240305.001")));
    EXPECT_EQ(Backup(1), "");
    EXPECT_EQ(grid.Value(kMainColumnProgress, 0), 0);
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClearAttendanceLog"), 1);
}

TEST_F(TransferTest, BackupFilesAreNamedByRowAndAccumulateOverTheDay) {
    AddDevice("A", "Ethernet");
    AddDevice("B", "Ethernet");
    AddDevice("C", "Ethernet");
    deleteAfter = false;
    Fill(2);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    grid.SetChecked(kMainColumnTick, 1, false);
    transfer.Run();
    transfer.Run();
    EXPECT_EQ(Backup(1).size(), 4u * 33);  // two runs of two records
    EXPECT_EQ(Backup(3).size(), 4u * 33);
    EXPECT_FALSE(std::filesystem::exists(home.File("yedekler/20240305.002")));
    EXPECT_EQ(ReadAll(recordPath).size(), 8u * 33);
    EXPECT_EQ(terminal.AttendanceLog().size(), 2u);  // the option was off
}

TEST_F(TransferTest, ADroppedLogLoadIsAFailedDeviceAndTheLoopGoesOn) {
    AddDevice("Kopan", "Ethernet");
    AddDevice("Sağlam", "Comm Port");
    Fill(5);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    link.dropAfterRecords = 2;
    grid.SetChecked(kMainColumnTick, 1, false);
    transfer.Run();
    EXPECT_EQ(grid.Value(kMainColumnStatus, 0), kPictureFailed);
    EXPECT_EQ(ReadAll(recordPath), "");
    EXPECT_EQ(Backup(1), "");
    EXPECT_EQ(terminal.AttendanceLog().size(), 5u);  // still on the terminal
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClearAttendanceLog"), 0);

    link.dropAfterRecords.reset();
    grid.SetChecked(kMainColumnTick, 0, false);
    grid.SetChecked(kMainColumnTick, 1, true);
    transfer.Run();
    EXPECT_EQ(grid.Value(kMainColumnStatus, 1), kPictureConnected);
    EXPECT_EQ(ReadAll(recordPath).size(), 5u * 33);
}

TEST_F(TransferTest, RecordsThatDoNotAllArriveAreNotWrittenAndNotErased) {
    AddDevice("A", "Ethernet");
    Fill(3);
    CountingLink link(terminal);
    link.reportedCount = 4;  // the terminal counted one more than it sent
    Make(link).Run();
    EXPECT_EQ(grid.Value(kMainColumnStatus, 0), kPictureFailed);
    EXPECT_EQ(ReadAll(recordPath), "");
    EXPECT_EQ(terminal.AttendanceLog().size(), 3u);
}

TEST_F(TransferTest, ProgressStaysInRangeWhenTheCountIsZeroOrShort) {
    for (int32_t reported : {0, 2}) {
        SCOPED_TRACE(reported);
        devices.Clear();
        grid.Clear();
        view.progress.clear();
        AddDevice("A", "Ethernet");
        terminal.ClearAttendanceLog();
        Fill(4);
        CountingLink link(terminal);
        link.reportedCount = reported;
        Make(link).Run();
        for (int p : view.progress) {
            EXPECT_GE(p, 0);
            EXPECT_LE(p, 100);
        }
        EXPECT_EQ(grid.Value(kMainColumnProgress, 0), 100);
    }
}

TEST_F(TransferTest, ConnectionFailureShowsRedAndTheNextDeviceRuns) {
    AddDevice("A", "Ethernet");
    MemoryLink link(terminal);
    link.refuseConnect = true;
    Make(link).Run();
    EXPECT_EQ(grid.Value(kMainColumnStatus, 0), kPictureFailed);
    EXPECT_FALSE(std::filesystem::exists(recordPath));
}

TEST_F(TransferTest, AConversionErrorEndsTheTransferAfterDisconnecting) {
    AddDevice("Boş numara", "Ethernet", "");
    AddDevice("Sonraki", "Ethernet");
    Fill(2);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    try {
        transfer.Run();
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "'' is not a valid integer value");
    }
    EXPECT_EQ(grid.Value(kMainColumnStatus, 0), kPictureConnected);  // connected before the conversion
    EXPECT_EQ(grid.Value(kMainColumnStatus, 1), kPictureNone);       // never visited
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.calls.back(), "Disconnect");
    EXPECT_EQ(terminal.AttendanceLog().size(), 2u);
}

TEST_F(TransferTest, AWriteFailureCutsBothFilesBackAndKeepsTheLog) {
    AddDevice("A", "Ethernet");
    Fill(4);
    WriteAll(recordPath, "000,00001,1 2024/03/01 08:00:00\r\n");
    std::filesystem::create_directories(home.File("yedekler"));
    WriteAll(home.File("yedekler/20240305.001"), "eski\r\n");
    // Each file call that can fail: the two opens, the two writes, the two syncs.
    for (int step = 1; step <= 6; ++step) {
        SCOPED_TRACE(step);
        test::FailingFileSystem failing;
        failing.errorNumber = ENOSPC;
        failing.failAt = step;
        fs = &failing;
        MemoryLink link(terminal);
        try {
            Make(link).Run();
            FAIL() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(std::string(e.what()), "Disk dolu");
        }
        EXPECT_EQ(ReadAll(recordPath), "000,00001,1 2024/03/01 08:00:00\r\n");
        EXPECT_EQ(Backup(1), "eski\r\n");
        EXPECT_EQ(terminal.AttendanceLog().size(), 4u);
        EXPECT_FALSE(link.IsConnected());
        EXPECT_EQ(grid.Value(kMainColumnStatus, 0), kPictureFailed);
    }
}

TEST_F(TransferTest, ARefusedBackupFolderEndsTheTransferWithoutTouchingTheRecordFile) {
    AddDevice("A", "Ethernet");
    Fill(2);
    test::FailingFileSystem failing;
    failing.failPathContaining = "yedekler";
    fs = &failing;
    MemoryLink link(terminal);
    EXPECT_THROW(Make(link).Run(), AppError);
    EXPECT_FALSE(std::filesystem::exists(recordPath));
    EXPECT_EQ(terminal.AttendanceLog().size(), 2u);
    EXPECT_FALSE(link.IsConnected());
}
