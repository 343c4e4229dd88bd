#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <variant>

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
    for (const auto& c : cases)
        EXPECT_EQ(RecordLine(c.user, c.state, 2024, 3, 5, 8, 7), c.expected);
    EXPECT_EQ(RecordLine(1, 1, 2024, 3, 5, 8, 7).size(), 31u);
}

TEST(StateToWrite, InOutModeTable) {
    struct Case {
        const char* mode;
        std::array<int32_t, 9> states;  // terminal states
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
            EXPECT_EQ(StateToWrite(c.mode, c.states[i]), c.written[i])
                << c.mode << " state " << c.states[i];
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

// Keeps every event, and the percentages of the record progress.
struct EventLog {
    std::vector<TransferEvent> events;
    std::vector<int> progress;
    void operator()(const TransferEvent& event) {
        events.push_back(event);
        if (const auto* p = std::get_if<RecordProgress>(&event)) {
            EXPECT_GE(p->done(), 0);
            EXPECT_LE(p->done(), p->total());
            progress.push_back(p->percent());
        }
    }
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
    EventLog log;
    MemoryTerminal terminal{[] {
        TerminalState s;
        s.machineNumber = 1;
        return s;
    }()};
    bool deleteAfter = true;
    bool newOnly = false;
    FileSystem* fs = &RealFileSystem();
    // What another program, or the terminal, does while the transfer runs.
    std::function<void(const TransferEvent&)> meanwhile;

    void AddDevice(const std::string& name, const std::string& type,
                   const std::string& machine = "1", const std::string& mode = "Standart") {
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
        settings.newOnly = newOnly;
        return AttendanceTransfer(
            devices, link,
            [this](const TransferEvent& e) {
                log(e);
                if (meanwhile) meanwhile(e);
            },
            settings);
    }
    std::vector<int> All() const {
        std::vector<int> numbers;
        for (int k = 1; k <= devices.deviceCount(); ++k) numbers.push_back(k);
        return numbers;
    }
    static DeviceOutcome::Result ResultOf(const AttendanceTransfer& t, int device) {
        for (const DeviceOutcome& o : t.outcomes())
            if (o.number == device) return o.result;
        ADD_FAILURE() << "device " << device << " not visited";
        return DeviceOutcome::Result::NotContacted;
    }
    std::string Backup(int device) {
        return ReadAll(home.File("yedekler/20240305.00" + std::to_string(device)));
    }
};

}  // namespace

TEST_F(TransferTest, ReadsEveryRecordIntoBothFilesAndErasesTheLog) {
    AddDevice("Giriş", "Ethernet");
    Fill(8);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    transfer.Run({1});
    const std::vector<int> expected = {12, 25, 38, 50, 62, 75, 88, 100};
    EXPECT_EQ(log.progress, expected);
    // The events of one device, in their order.
    ASSERT_EQ(log.events.size(), 2u + 2u + 8u + 1u);
    EXPECT_EQ(std::get<DeviceStarted>(log.events[0]).device, 1);
    EXPECT_EQ(std::get<DeviceConnected>(log.events[1]).device, 1);
    EXPECT_TRUE(std::get<LoadProgress>(log.events[2]).loading);
    EXPECT_FALSE(std::get<LoadProgress>(log.events[3]).loading);
    EXPECT_EQ(std::get<RecordProgress>(log.events[11]).total(), 8);
    const DeviceOutcome& outcome = std::get<DeviceFinished>(log.events.back()).outcome;
    EXPECT_EQ(outcome.result, DeviceOutcome::Result::Connected);
    EXPECT_EQ(outcome.recordsWritten, 8);
    EXPECT_TRUE(outcome.logErased);
    EXPECT_EQ(outcome.error, "");

    const std::string lines = ReadAll(recordPath);
    EXPECT_EQ(lines.size(), 8u * 33);
    EXPECT_EQ(lines.substr(0, 33), "000,00100,1 2024/03/04 08:07:00\r\n");
    EXPECT_EQ(Backup(1), lines);
    EXPECT_TRUE(terminal.AttendanceLog().empty());
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(transfer.transferRow(), 1);
}

TEST_F(TransferTest, OnlyTheGivenDevicesAreVisitedAndUnknownTypesNotContacted) {
    AddDevice("A", "Ethernet");
    AddDevice("B", "ethernet");
    Fill(3);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    transfer.Run({});
    EXPECT_TRUE(log.events.empty());
    transfer.Run({2});
    EXPECT_TRUE(link.calls.empty());
    ASSERT_EQ(transfer.outcomes().size(), 1u);
    EXPECT_EQ(ResultOf(transfer, 2), DeviceOutcome::Result::NotContacted);
    EXPECT_FALSE(std::filesystem::exists(recordPath));
    EXPECT_EQ(terminal.AttendanceLog().size(), 3u);
    EXPECT_THROW(transfer.Run({3}), AppError) << "no device 3";
}

TEST_F(TransferTest, ATerminalWithoutRecordsCreatesAnEmptyBackupAndStillErases) {
    AddDevice("A", "Comm Port");
    MemoryLink link(terminal);
    Make(link).Run({1});
    EXPECT_TRUE(std::filesystem::exists(home.File("yedekler/20240305.001")));
    EXPECT_EQ(Backup(1), "");
    EXPECT_TRUE(log.progress.empty());
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClearAttendanceRecords"), 1);
}

TEST_F(TransferTest, BackupFilesAreNamedByDeviceNumberAndAccumulateOverTheDay) {
    AddDevice("A", "Ethernet");
    AddDevice("B", "Ethernet");
    AddDevice("C", "Ethernet");
    deleteAfter = false;
    Fill(2);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    transfer.Run({1, 3});
    transfer.Run({1, 3});
    EXPECT_EQ(Backup(1).size(), 4u * 33);  // two runs of two records
    EXPECT_EQ(Backup(3).size(), 4u * 33);
    EXPECT_FALSE(std::filesystem::exists(home.File("yedekler/20240305.002")));
    EXPECT_EQ(ReadAll(recordPath).size(), 8u * 33);
    EXPECT_EQ(terminal.AttendanceLog().size(), 2u);  // the option was off
    EXPECT_EQ(transfer.transferRow(), 3);
}

// A link that gives a reason of its own for its failures.
class ExplainingLink : public MemoryLink {
  public:
    using MemoryLink::MemoryLink;
    LinkFailure failure;
    LinkFailure LastFailure() const override { return failure; }
};

TEST_F(TransferTest, ALogThatDoesNotArriveIsNotWrittenWithTheLinksReason) {
    struct Case {
        const char* name;
        LinkFailure failure;
        const char* reason;
    };
    const Case cases[] = {
        {"no reason from the link", {}, "Kayıtlar okunamadı"},
        {"timeout",
         {LinkFailureKind::Timeout, "3000 ms"},
         "Kayıtlar okunamadı (Zaman aşımı: 3000 ms)"},
        {"dropped", {LinkFailureKind::ConnectionClosed, ""}, "Kayıtlar okunamadı (Bağlantı koptu)"},
    };
    AddDevice("Kopan", "Ethernet");
    AddDevice("Sağlam", "Comm Port");
    Fill(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExplainingLink link(terminal);
        link.failure = c.failure;
        link.dropAfterRecords = 2;
        auto transfer = Make(link);
        transfer.Run({1});
        ASSERT_EQ(transfer.outcomes().size(), 1u);
        const DeviceOutcome& o = transfer.outcomes()[0];
        EXPECT_EQ(o.result, DeviceOutcome::Result::LoadFailed);
        EXPECT_EQ(o.error, c.reason);
        EXPECT_EQ(o.failureKind, c.failure.kind);
        EXPECT_EQ(o.recordsWritten, 0);
        EXPECT_EQ(ReadAll(recordPath), "");
        EXPECT_EQ(Backup(1), "");
        EXPECT_EQ(terminal.AttendanceLog().size(), 5u);  // still on the terminal
        EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClearAttendanceLog"), 0);
    }
    MemoryLink whole(terminal);
    auto transfer = Make(whole);
    transfer.Run({2});
    EXPECT_EQ(ResultOf(transfer, 2), DeviceOutcome::Result::Connected);
    EXPECT_EQ(ReadAll(recordPath).size(), 5u * 33);
}

TEST_F(TransferTest, RecordsThatDoNotAllArriveAreNotWrittenAndNotErased) {
    AddDevice("A", "Ethernet");
    Fill(3);
    CountingLink link(terminal);
    link.reportedCount = 4;  // the terminal counted one more than it sent
    auto transfer = Make(link);
    transfer.Run({1});
    EXPECT_EQ(ResultOf(transfer, 1), DeviceOutcome::Result::LoadFailed);
    EXPECT_EQ(transfer.outcomes()[0].error, "Kayıtların tamamı alınamadı (3/4)");
    EXPECT_EQ(ReadAll(recordPath), "");
    EXPECT_EQ(terminal.AttendanceLog().size(), 3u);
}

// A terminal that loads its log but cannot say how many records it holds.
class UncountedLink : public MemoryLink {
  public:
    using MemoryLink::MemoryLink;
    bool GetStatusValue(int32_t m, int32_t item, int32_t& value) override {
        MemoryLink::GetStatusValue(m, item, value);
        if (item != kStatusRecordCount) return true;
        value = 99;  // whatever the link left there is not a count
        return false;
    }
};

TEST_F(TransferTest, WithoutARecordCountTheRecordsAreWrittenAndTheLogKept) {
    AddDevice("A", "Ethernet");
    Fill(4);
    UncountedLink link(terminal);
    auto transfer = Make(link);
    transfer.Run({1});
    const DeviceOutcome& o = transfer.outcomes().at(0);
    EXPECT_EQ(o.result, DeviceOutcome::Result::Connected);
    EXPECT_EQ(o.recordsWritten, 4);
    EXPECT_FALSE(o.logErased);
    EXPECT_EQ(o.error, "Kayıt sayısı okunamadı, kayıtlar cihazda bırakıldı");
    EXPECT_EQ(ReadAll(recordPath).size(), 4u * 33);
    EXPECT_EQ(Backup(1).size(), 4u * 33);
    EXPECT_EQ(terminal.AttendanceLog().size(), 4u) << "nobody knows whether every record came";
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClearAttendanceLog"), 0);
    EXPECT_EQ(log.progress, (std::vector<int>{100, 100, 100, 100}));  // a count of 0
}

TEST_F(TransferTest, ProgressStaysInRangeWhenTheCountIsZeroOrShort) {
    struct Case {
        int32_t reported;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {0, {100, 100, 100, 100}}, {2, {50, 100, 100, 100}}, {8, {12, 25, 38, 50}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reported);
        devices.Clear();
        log = {};
        AddDevice("A", "Ethernet");
        terminal.ClearAttendanceLog();
        Fill(4);
        CountingLink link(terminal);
        link.reportedCount = c.reported;
        Make(link).Run({1});
        EXPECT_EQ(log.progress, c.progress);  // EventLog checks 0 <= done <= total
    }
}

TEST(RecordProgress, KeepsDoneWithinTotal) {
    struct Case {
        int64_t done, counted, total;
        int percent;
    };
    const Case cases[] = {{0, 0, 0, 0},   {0, 5, 5, 0},   {3, 8, 8, 38},
                          {5, 2, 5, 100}, {4, 0, 4, 100}, {-1, 3, 3, 0}};
    for (const Case& c : cases) {
        const RecordProgress p(1, c.done, c.counted);
        EXPECT_GE(p.done(), 0);
        EXPECT_LE(p.done(), p.total());
        EXPECT_EQ(p.total(), c.total) << c.done << "/" << c.counted;
        EXPECT_EQ(p.percent(), c.percent) << c.done << "/" << c.counted;
    }
}

TEST_F(TransferTest, ConnectionFailureIsReportedWithTheReasonAndTheNextDeviceRuns) {
    AddDevice("A", "Ethernet");
    AddDevice("B", "Ethernet");
    Fill(2);
    ExplainingLink link(terminal);
    link.refuseConnect = true;
    link.failure = {LinkFailureKind::ConnectFailed, "127.0.0.1:4370"};
    auto transfer = Make(link);
    transfer.Run({1});
    EXPECT_EQ(ResultOf(transfer, 1), DeviceOutcome::Result::ConnectFailed);
    EXPECT_EQ(transfer.outcomes()[0].error, "Bağlantı kurulamadı: 127.0.0.1:4370");
    EXPECT_FALSE(std::filesystem::exists(recordPath));
    link.refuseConnect = false;
    link.failure = {};
    transfer.Run({1, 2});
    EXPECT_EQ(ResultOf(transfer, 2), DeviceOutcome::Result::Connected);
}

TEST_F(TransferTest, AConversionErrorEndsTheTransferAfterDisconnecting) {
    AddDevice("Boş numara", "Ethernet", "");
    AddDevice("Sonraki", "Ethernet");
    Fill(2);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    try {
        transfer.Run({1, 2});
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "'' is not a valid integer value");
    }
    // Connected before the conversion; the next device never visited.
    ASSERT_EQ(transfer.outcomes().size(), 1u);
    EXPECT_EQ(ResultOf(transfer, 1), DeviceOutcome::Result::Connected);
    EXPECT_EQ(std::get<DeviceFinished>(log.events.back()).outcome.error,
              "'' is not a valid integer value");
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
        auto transfer = Make(link);
        try {
            transfer.Run({1});
            FAIL() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(std::string(e.what()), "Disk dolu");
        }
        EXPECT_EQ(ReadAll(recordPath), "000,00001,1 2024/03/01 08:00:00\r\n");
        EXPECT_EQ(Backup(1), "eski\r\n");
        EXPECT_EQ(terminal.AttendanceLog().size(), 4u);
        EXPECT_FALSE(link.IsConnected());
        EXPECT_EQ(ResultOf(transfer, 1), DeviceOutcome::Result::WriteFailed);
        EXPECT_FALSE(transfer.outcomes()[0].logErased);
    }
}

TEST_F(TransferTest, ARefusedBackupFolderEndsTheTransferWithoutTouchingTheRecordFile) {
    AddDevice("A", "Ethernet");
    Fill(2);
    test::FailingFileSystem failing;
    failing.failPathContaining = "yedekler";
    fs = &failing;
    MemoryLink link(terminal);
    EXPECT_THROW(Make(link).Run({1}), AppError);
    EXPECT_FALSE(std::filesystem::exists(recordPath));
    EXPECT_EQ(terminal.AttendanceLog().size(), 2u);
    EXPECT_FALSE(link.IsConnected());
}

TEST_F(TransferTest, ARecordFileThatIsNoRegularFileIsRefusedBeforeAnyTerminal) {
    AddDevice("A", "Ethernet");
    Fill(2);
    const std::string fifo = home.File("boru");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {home.path(), fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        recordPath = path;
        MemoryLink link(terminal);
        try {
            Make(link).Run({1});
            FAIL() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Io);
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        EXPECT_TRUE(link.calls.empty());
        EXPECT_FALSE(std::filesystem::exists(home.File("yedekler")));
    }
    EXPECT_EQ(terminal.AttendanceLog().size(), 2u);
}

TEST_F(TransferTest, EveryVisitedDeviceGetsALineInTheTransferLog) {
    AddDevice("Giriş", "Ethernet");
    AddDevice("Çıkış", "Ethernet", "1", "Standart");
    AddDevice("Tanımsız", "ethernet");
    Fill(3);
    MemoryLink link(terminal);
    Make(link).Run({1, 2, 3});
    const std::string text = ReadAll(home.File("aktarim.log"));
    const std::vector<std::string> expected = {
        "2024-03-05 00:00:00\t1\tGiri\xFE\taktar\xFDld\xFD\t3 kay\xFDt\tsilindi\t",
        "2024-03-05 00:00:00\t2\t\xC7\xFDk\xFD\xFE\taktar\xFDld\xFD\t0 kay\xFDt\tsilindi\t",
        "2024-03-05 00:00:00\t3\tTan\xFDms\xFDz\tba\xF0lant\xFD tipi tan\xFDnmad\xFD\t0 "
        "kay\xFDt\tb\xFDrak\xFDld\xFD\t",
    };
    std::string joined;
    for (const auto& line : expected) joined += line + "\r\n";
    EXPECT_EQ(text, joined);
}

TEST_F(TransferTest, ALogThatCannotBeWrittenDoesNotFailTheTransfer) {
    AddDevice("A", "Ethernet");
    Fill(2);
    test::FailingFileSystem failing;
    failing.failPathContaining = "aktarim.log";
    fs = &failing;
    MemoryLink link(terminal);
    auto transfer = Make(link);
    transfer.Run({1});
    EXPECT_EQ(ResultOf(transfer, 1), DeviceOutcome::Result::Connected);
    EXPECT_EQ(ReadAll(recordPath).size(), 2u * 33);
    EXPECT_TRUE(terminal.AttendanceLog().empty());
    EXPECT_FALSE(std::filesystem::exists(home.File("aktarim.log")));
}

TEST_F(TransferTest, AStopStartsNoFurtherDevice) {
    AddDevice("A", "Ethernet");
    AddDevice("B", "Ethernet");
    Fill(2);
    std::atomic<bool> stop{false};
    MemoryLink link(terminal);
    TransferSettings settings;
    settings.programFolder = home.path();
    settings.recordFilePath = recordPath;
    settings.deleteAfterTransfer = [] { return false; };
    settings.today = [] { return std::tm{}; };
    settings.stop = &stop;
    // The stop comes while device 1 is being read: it finishes, 2 is not begun.
    AttendanceTransfer transfer(
        devices, link,
        [&stop](const TransferEvent& e) {
            if (std::holds_alternative<RecordProgress>(e)) stop = true;
        },
        settings);
    transfer.Run({1, 2});
    ASSERT_EQ(transfer.outcomes().size(), 1u);
    EXPECT_EQ(transfer.outcomes()[0].recordsWritten, 2);
    EXPECT_EQ(ReadAll(recordPath).size(), 2u * 33);
}

TEST_F(TransferTest, AnEraseTheTerminalRefusesIsReportedAndTheLinesStay) {
    AddDevice("A", "Ethernet");
    Fill(3);
    MemoryLink link(terminal);
    link.failClear = true;
    auto transfer = Make(link);
    transfer.Run({1});
    const DeviceOutcome& o = transfer.outcomes().at(0);
    EXPECT_EQ(o.result, DeviceOutcome::Result::Connected);
    EXPECT_EQ(o.recordsWritten, 3);
    EXPECT_FALSE(o.logErased);
    EXPECT_TRUE(o.eraseRefused);
    EXPECT_EQ(o.error, "Kayıtlar cihazdan silinemedi (Cihaz isteği reddetti)");
    EXPECT_EQ(ReadAll(recordPath).size(), 3u * 33);
    EXPECT_EQ(terminal.AttendanceLog().size(), 3u);

    // The next transfer writes only the punch made since, and erases all four.
    const std::string before = ReadAll(recordPath);
    terminal.AppendRecord(Punch(200, 0));
    link.failClear = false;
    transfer.Run({1});
    EXPECT_EQ(transfer.outcomes().at(0).recordsWritten, 1);
    EXPECT_TRUE(transfer.outcomes().at(0).logErased);
    const std::string after = ReadAll(recordPath);
    ASSERT_EQ(after.size(), 4u * 33);
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_TRUE(terminal.AttendanceLog().empty());
}

// --- each punch exactly once ------------------------------------------------

namespace {

// How often each line occurs in a file's text.
std::map<std::string, int> LineCounts(const std::string& text) {
    std::map<std::string, int> counts;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            counts[text.substr(at)]++;
            break;
        }
        counts[text.substr(at, end - at)]++;
        at = end + 2;
    }
    return counts;
}

bool IsLoaded(const TransferEvent& e) {
    const auto* load = std::get_if<LoadProgress>(&e);
    return load != nullptr && !load->loading;
}

}  // namespace

TEST_F(TransferTest, ARecordFileMovedAwayWhileTheLogIsReadGetsItsLinesAtThePath) {
    namespace fsys = std::filesystem;
    const std::string old = "000,00001,1 2024/03/01 08:00:00\r\n";
    const struct {
        const char* name;
        std::function<void(const std::string&)> act;
        std::string keptAtPath;  // what stays at the path before the new lines
    } cases[] = {
        {"deleted", [](const std::string& p) { fsys::remove(p); }, ""},
        {"renamed", [](const std::string& p) { fsys::rename(p, p + ".eski"); }, ""},
        {"emptied", [](const std::string& p) { fsys::resize_file(p, 0); }, ""},
        {"replaced",
         [](const std::string& p) {
             WriteAll(p + ".yeni", "elle\r\n");
             fsys::rename(p + ".yeni", p);
         },
         "elle\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        devices = DeviceTable();
        terminal.ClearAttendanceLog();
        fsys::remove_all(home.File("gunluk"));
        fsys::remove(recordPath + ".eski");
        AddDevice("A", "Ethernet");
        Fill(3);
        WriteAll(recordPath, old);
        meanwhile = [&](const TransferEvent& e) {
            if (IsLoaded(e)) c.act(recordPath);
        };
        MemoryLink link(terminal);
        auto transfer = Make(link);
        transfer.Run({1});
        meanwhile = nullptr;
        EXPECT_TRUE(transfer.outcomes().at(0).logErased);
        const std::string text = ReadAll(recordPath);
        EXPECT_EQ(text.find('\0'), std::string::npos) << "no zero bytes";
        ASSERT_EQ(text.size(), c.keptAtPath.size() + 3u * 33);
        EXPECT_EQ(text.substr(0, c.keptAtPath.size()), c.keptAtPath);
        EXPECT_EQ(text.substr(c.keptAtPath.size()), Backup(1).substr(Backup(1).size() - 3 * 33));
        if (std::string(c.name) == "renamed") {
            EXPECT_EQ(ReadAll(recordPath + ".eski"), old);
        }
    }
}

TEST_F(TransferTest, PunchesWhileTheLogIsReadAreWrittenOrStayOnTheTerminal) {
    AddDevice("A", "Ethernet");
    Fill(3);
    // One punch after the count, before the load; one after the load.
    meanwhile = [&](const TransferEvent& e) {
        if (const auto* load = std::get_if<LoadProgress>(&e))
            terminal.AppendRecord(Punch(load->loading ? 300 : 400, 0));
    };
    MemoryLink link(terminal);
    auto transfer = Make(link);
    transfer.Run({1});
    meanwhile = nullptr;
    const DeviceOutcome& o = transfer.outcomes().at(0);
    EXPECT_EQ(o.result, DeviceOutcome::Result::Connected);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.recordsWritten, 4);
    EXPECT_TRUE(o.logErased);
    ASSERT_EQ(terminal.AttendanceLog().size(), 1u) << "the punch nobody read stays";
    EXPECT_EQ(terminal.AttendanceLog()[0].user, 400);

    transfer.Run({1});
    const std::map<std::string, int> counts = LineCounts(ReadAll(recordPath));
    EXPECT_EQ(counts.size(), 5u);
    for (const auto& [line, times] : counts) EXPECT_EQ(times, 1) << line;
    EXPECT_EQ(LineCounts(Backup(1)), counts);
    EXPECT_TRUE(terminal.AttendanceLog().empty());
}

TEST_F(TransferTest, OnlyNewRecordsWritesEachRecordOnceAndNeverErases) {
    AddDevice("A", "Ethernet");
    newOnly = true;
    Fill(3);
    MemoryLink link(terminal);
    auto transfer = Make(link);
    transfer.Run({1});
    EXPECT_EQ(transfer.outcomes().at(0).recordsWritten, 3);
    EXPECT_FALSE(transfer.outcomes().at(0).logErased);
    terminal.AppendRecord(Punch(300, 1));
    transfer.Run({1});
    EXPECT_EQ(transfer.outcomes().at(0).recordsWritten, 1);
    EXPECT_EQ(terminal.AttendanceLog().size(), 4u);
    EXPECT_EQ(std::count(link.calls.begin(), link.calls.end(), "ClearAttendanceRecords"), 0);
    std::map<std::string, int> counts = LineCounts(ReadAll(recordPath));
    EXPECT_EQ(counts.size(), 4u);
    for (const auto& [line, times] : counts) EXPECT_EQ(times, 1) << line;

    // Another PC took the log: the journal no longer matches, everything new
    // is written.
    terminal.ClearAttendanceLog();
    terminal.AppendRecord(Punch(500, 0));
    terminal.AppendRecord(Punch(501, 0));
    transfer.Run({1});
    EXPECT_EQ(transfer.outcomes().at(0).recordsWritten, 2);
    counts = LineCounts(ReadAll(recordPath));
    EXPECT_EQ(counts.size(), 6u);
    for (const auto& [line, times] : counts) EXPECT_EQ(times, 1) << line;

    // Without the option a kept log is written whole, as it always was.
    newOnly = false;
    deleteAfter = false;
    auto whole = Make(link);
    whole.Run({1});
    EXPECT_EQ(whole.outcomes().at(0).recordsWritten, 2);
}
