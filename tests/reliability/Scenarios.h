#pragma once
// The commands whose file writes the reliability tests break, each set up on
// a disk (a real folder or the in-memory one that can lose power), run once,
// and judged by what the disk holds afterwards.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CrashingFileSystem.h"
#include "TempDir.h"
#include "core/DeviceConfig.h"
#include "core/Errors.h"
#include "core/IniFile.h"
#include "core/Transfer.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelStore.h"
#include "settings/SettingsCommands.h"
#include "terminal/ConnectionRules.h"
#include "terminal/MemoryLink.h"

namespace aktarim::test {

// Files put before a run and read after it.
struct Disk {
    std::string root;
    std::function<void(const std::string& path, const std::string& content)> put;
    std::function<std::optional<std::string>(const std::string& path)> read;
    // Names of the files in a folder.
    std::function<std::vector<std::string>(const std::string& folder)> list;
};

inline Disk RealDisk(const TempDir& dir) {
    Disk disk;
    disk.root = dir.path();
    disk.put = [](const std::string& path, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteAll(path, content);
    };
    disk.read = [](const std::string& path) -> std::optional<std::string> {
        if (!std::filesystem::is_regular_file(path)) return std::nullopt;
        return ReadAll(path);
    };
    disk.list = [](const std::string& folder) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    return disk;
}

// The disk as a power cut at the crash point leaves it.
inline Disk DurableDisk(CrashingFileSystem& fs) {
    Disk disk;
    disk.root = "/ev";
    disk.put = [&fs](const std::string& path, const std::string& content) {
        fs.Put(path, content);
    };
    disk.read = [&fs](const std::string& path) { return fs.Durable(path); };
    disk.list = [&fs](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& [path, content] : fs.Durable())
            if (DirectoryOf(path) == folder) names.push_back(path.substr(folder.size() + 1));
        return names;
    };
    return disk;
}

// How the command under test ended.
struct Ending {
    enum class Kind { Completed, Failed, Crashed } kind = Kind::Completed;
    std::optional<AppError> error;
};

class Scenario {
  public:
    virtual ~Scenario() = default;
    // Files on the disk before the program starts.
    virtual void Seed(const Disk& disk) = 0;
    // What the user does before the command; its file calls are not counted.
    virtual void Open(FileSystem& fs, const std::string& root) = 0;
    // The command under test.
    virtual void Act() = 0;
    // The files the command may change, relative to the root.
    virtual std::vector<std::string> Files() const = 0;
    // Checks of the view and of whatever is not a file, after a failure.
    virtual void CheckFailureReported(const AppError& error) = 0;
};

// A TerminalLink that hands each connection to the terminal behind the
// connected TCP port, so one transfer can visit several terminals.
class RoutingLink : public TerminalLink {
  public:
    std::map<int32_t, MemoryLink*> byPort;

    bool ConnectNetwork(const std::string& ip, int32_t port) override {
        const auto it = byPort.find(port);
        current_ = it == byPort.end() ? nullptr : it->second;
        return current_ != nullptr && current_->ConnectNetwork(ip, port);
    }
    bool ConnectSerial(int32_t, int32_t, int32_t) override { return false; }
    void Disconnect() override {
        if (current_ != nullptr) current_->Disconnect();
        current_ = nullptr;
    }
    bool IsConnected() const override { return current_ != nullptr && current_->IsConnected(); }
    bool SetLinkValue(int32_t m, int32_t v) override {
        return current_ && current_->SetLinkValue(m, v);
    }
    bool GetStatusValue(int32_t m, int32_t item, int32_t& v) override {
        return current_ && current_->GetStatusValue(m, item, v);
    }
    bool LoadAttendanceLog(int32_t m) override {
        return current_ && current_->LoadAttendanceLog(m);
    }
    bool ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) override {
        return current_ && current_->ClearAttendanceRecords(m, count, digest);
    }
    bool ClearAttendanceLog(int32_t m) override {
        return current_ && current_->ClearAttendanceLog(m);
    }
    bool ClearAdministrators(int32_t m) override {
        return current_ && current_->ClearAdministrators(m);
    }
    bool ClearAllData(int32_t m) override { return current_ && current_->ClearAllData(m); }
    bool LoadUserIds(int32_t m) override { return current_ && current_->LoadUserIds(m); }
    bool LoadAllTemplates(int32_t m) override { return current_ && current_->LoadAllTemplates(m); }
    bool NextAttendanceRecord(int32_t m, AttendanceValues& v) override {
        return current_ && current_->NextAttendanceRecord(m, v);
    }
    bool GetDeviceClock(int32_t m, int32_t& y, int32_t& mo, int32_t& d, int32_t& h, int32_t& mi,
                        int32_t& s) override {
        return current_ && current_->GetDeviceClock(m, y, mo, d, h, mi, s);
    }
    bool SetDeviceClock(int32_t m, int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi,
                        int32_t s) override {
        return current_ && current_->SetDeviceClock(m, y, mo, d, h, mi, s);
    }
    bool NextUserId(int32_t m, int32_t& n, std::string& name, std::string& pw, int32_t& p,
                    bool& e) override {
        return current_ && current_->NextUserId(m, n, name, pw, p, e);
    }
    bool ReadUserInfo(int32_t m, int32_t n, std::string& name, std::string& pw, int32_t& p,
                      bool& e) override {
        return current_ && current_->ReadUserInfo(m, n, name, pw, p, e);
    }
    bool WriteUserInfo(int32_t m, int32_t n, const std::string& name, const std::string& pw,
                       int32_t p, bool e) override {
        return current_ && current_->WriteUserInfo(m, n, name, pw, p, e);
    }
    bool DeleteUserRecord(int32_t m, int32_t n, int32_t r1, int32_t r2) override {
        return current_ && current_->DeleteUserRecord(m, n, r1, r2);
    }
    bool DeleteFingerTemplate(int32_t m, int32_t n, int32_t f) override {
        return current_ && current_->DeleteFingerTemplate(m, n, f);
    }
    bool ReadFingerTemplate(int32_t m, int32_t n, int32_t f, std::string& t, int32_t& l) override {
        return current_ && current_->ReadFingerTemplate(m, n, f, t, l);
    }
    bool WriteFingerTemplate(int32_t m, int32_t n, int32_t f, const std::string& t) override {
        return current_ && current_->WriteFingerTemplate(m, n, f, t);
    }

  private:
    MemoryLink* current_ = nullptr;
};

// --- saving the device list ("Kaydet" of the settings window) ---------------

class NullSettingsView : public SettingsView {
  public:
    void RepaintGrid() override {}
    void RepaintWindow() override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void AskResetConfirmation() override {}
    void SetClockText(const std::string&) override {}
    void SetPcClockLabel(const std::string&) override {}
    void SetRecordFileText(const std::string&) override {}
    void SelectRow(int) override {}
    void ScrollToRow(int) override {}
    std::optional<std::string> ChooseFile() override { return std::nullopt; }
    void ShowPersonnelWindow() override {}
    void CloseWindow() override {}
    std::vector<std::string> messages;
};

class SaveDevicesScenario : public Scenario {
  public:
    void Seed(const Disk& disk) override {
        disk.put(
            disk.root + "/cihazlar.ini",
            "; elle yaz\xFDlm\xFD\xFE not\r\n[ayarlar]\r\ndosya=qb400.txt\r\nsilkontrol=1\r\n"
            "[cihaz1]\r\nadi=Giri\xFE\r\nbaglantitipi=Ethernet\r\nmakineno=1\r\nportno=Com1\r\n"
            "baudrate=115200\r\nipadres=10.0.0.5\r\nipport=4370\r\nparola=\r\ngcdurum=Standart\r\n"
            "[cihaz2]\r\nadi=Depo\r\nbaglantitipi=Comm Port\r\nmakineno=2\r\nportno=Com2\r\n"
            "baudrate=9600\r\nipadres=\r\nipport=\r\nparola=\r\ngcdurum=Standart\r\n"
            "[seriport]\r\ncom2=/dev/ttyUSB0\r\n");
    }
    void Open(FileSystem& fs, const std::string& root) override {
        path_ = root + "/cihazlar.ini";
        ini_ = std::make_unique<IniFile>(path_, fs);
        config_ = LoadConfiguration(*ini_);
        commands_ = std::make_unique<SettingsCommands>(grid_, config_, *ini_, state_, dialogAnswer_,
                                                       link_, view_, [] { return std::time_t{0}; });
        commands_->ShowDeviceList();
        commands_->SelectFirstDevice();
        // The user renames the first device and adds a third.
        grid_.SetText(kFieldName, 0, "Ana Giriş");
        commands_->AddDevice();
        for (int f = 0; f < kDeviceFieldCount; ++f) grid_.SetText(f, 2, grid_.Text(f, 0));
        grid_.SetText(kFieldName, 2, "Yemekhane");
        grid_.SetText(kFieldIpPort, 2, "4371");
        oldName_ = ini_->ReadString("cihaz1", "adi", "");
    }
    void Act() override { commands_->SaveDeviceList(); }
    std::vector<std::string> Files() const override { return {"cihazlar.ini"}; }
    void CheckFailureReported(const AppError& error) override {
        EXPECT_EQ(error.kind(), ErrorKind::Io);
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path_);
        // What the program holds in memory follows the disk.
        EXPECT_EQ(ini_->ReadString("cihaz1", "adi", ""), oldName_);
        EXPECT_FALSE(ini_->SectionExists("cihaz3"));
    }

  private:
    std::string path_;
    std::unique_ptr<IniFile> ini_;
    Configuration config_;
    GridModel grid_{SettingsGridColumns()};
    ConnectionState state_;
    int dialogAnswer_ = 0;
    MemoryTerminal terminal_;
    MemoryLink link_{terminal_};
    NullSettingsView view_;
    std::unique_ptr<SettingsCommands> commands_;
    std::string oldName_;
};

// --- the transfer of three terminals, erase on -----------------------------

// The three terminals outlive the program: they are the other half of what
// a crash test inspects.
struct Terminals {
    static constexpr int kCount = 3;
    std::array<MemoryTerminal, kCount> terminals = {Make(1, 3, 100), Make(2, 5, 200),
                                                    Make(3, 4, 300)};
    std::array<std::vector<AttendanceEntry>, kCount> initialLogs;

    Terminals() {
        for (int k = 0; k < kCount; ++k) initialLogs[k] = terminals[k].AttendanceLog();
    }
    static MemoryTerminal Make(int32_t machine, int records, int32_t firstUser) {
        TerminalState s;
        s.machineNumber = machine;
        for (int i = 0; i < records; ++i)
            s.log.push_back(
                {firstUser + i, 1, i % 6, 2024, 3, 4 + machine, 8 + i % 10, 7 * i % 60, 0});
        return MemoryTerminal(s);
    }
};

inline const std::array<const char*, Terminals::kCount> kTransferModes = {
    "Standart", "Her Zaman Giriş", "Her Zaman Çıkış"};

// The lines device k (0-based) must write, in code page 1254.
inline std::string ExpectedBlock(const Terminals& t, int k) {
    std::string lines;
    for (const AttendanceEntry& e : t.initialLogs[static_cast<size_t>(k)])
        lines += RecordLine(e.user, StateToWrite(kTransferModes[static_cast<size_t>(k)], e.state),
                            e.year, e.month, e.day, e.hour, e.minute) +
                 "\r\n";
    return lines;
}

inline std::tm TransferDay() {
    std::tm t{};
    t.tm_year = 124, t.tm_mon = 2, t.tm_mday = 5;
    return t;
}

inline const std::string kOldRecordLine = "000,00001,1 2024/03/01 08:00:00\r\n";
inline const std::string kOldBackupLine = "000,00099,0 2024/03/05 07:59:00\r\n";

// Where the transfer's files are.
struct TransferLayout {
    // yedekler/ and device 1's backup of the day are already there;
    // otherwise the transfer creates the folder.
    bool backupFolderExists = true;
    std::string recordFile = "qb400.txt";  // in the program folder or below
};

class TransferScenario : public Scenario {
  public:
    TransferScenario(std::shared_ptr<Terminals> terminals, TransferLayout layout)
        : terminals_(std::move(terminals)), layout_(std::move(layout)) {}

    void Seed(const Disk& disk) override {
        disk.put(disk.root + "/" + layout_.recordFile, kOldRecordLine);
        if (layout_.backupFolderExists)
            disk.put(disk.root + "/yedekler/20240305.001", kOldBackupLine);
    }
    void Open(FileSystem& fs, const std::string& root) override {
        for (int k = 0; k < Terminals::kCount; ++k) {
            links_[k] = std::make_unique<MemoryLink>(terminals_->terminals[static_cast<size_t>(k)]);
            router_.byPort[4371 + k] = links_[k].get();
            DeviceRecord& d = devices_.Append();
            d.Set(kFieldName, "Cihaz " + std::to_string(k + 1));
            d.Set(kFieldConnectionType, "Ethernet");
            d.Set(kFieldMachineNumber, std::to_string(k + 1));
            d.Set(kFieldIpAddress, "127.0.0.1");
            d.Set(kFieldIpPort, std::to_string(4371 + k));
            d.Set(kFieldInOutMode, kTransferModes[static_cast<size_t>(k)]);
        }
        TransferSettings settings;
        settings.programFolder = root;
        settings.recordFilePath = root + "/" + layout_.recordFile;
        settings.deleteAfterTransfer = [] { return true; };
        settings.today = TransferDay;
        settings.fileSystem = &fs;
        transfer_ = std::make_unique<AttendanceTransfer>(devices_, router_, nullptr, settings);
    }
    void Act() override { transfer_->Run({1, 2, 3}); }
    std::vector<std::string> Files() const override {
        return {layout_.recordFile, "yedekler/20240305.001", "yedekler/20240305.002",
                "yedekler/20240305.003"};
    }
    void CheckFailureReported(const AppError& error) override {
        EXPECT_EQ(error.kind(), ErrorKind::Io) << error.what();
        // The device being written shows the failure; none is left connected.
        const auto& outcomes = transfer_->outcomes();
        ASSERT_FALSE(outcomes.empty());
        EXPECT_EQ(outcomes.back().result, DeviceOutcome::Result::WriteFailed);
        EXPECT_EQ(outcomes.back().error, error.what());
        EXPECT_FALSE(outcomes.back().logErased);
        EXPECT_FALSE(router_.IsConnected());
    }

  private:
    std::shared_ptr<Terminals> terminals_;
    TransferLayout layout_;
    std::array<std::unique_ptr<MemoryLink>, Terminals::kCount> links_;
    RoutingLink router_;
    DeviceTable devices_;
    std::unique_ptr<AttendanceTransfer> transfer_;
};

// Every line of a record file or backup: 31 characters and CR LF (wider
// only for states of two or more digits, which these terminals do not have).
inline void ExpectWholeLines(const std::string& content, const std::string& what) {
    EXPECT_EQ(content.size() % 33, 0u) << what;
    for (size_t pos = 0; pos + 33 <= content.size(); pos += 33)
        EXPECT_EQ(content.substr(pos + 31, 2), "\r\n") << what << " line at " << pos;
}

// Which blocks the record file holds after its old content: each device's
// lines whole or not at all, in device order, none twice. With torn, the
// file may end in the first part of one more device's lines, cut anywhere
// (what a write that was cut short and never taken back leaves).
inline std::array<bool, Terminals::kCount> BlocksInRecordFile(const std::string& content,
                                                              const Terminals& t, bool torn) {
    std::array<bool, Terminals::kCount> present{};
    EXPECT_EQ(content.substr(0, kOldRecordLine.size()), kOldRecordLine);
    std::string_view rest(content);
    rest.remove_prefix(std::min(rest.size(), kOldRecordLine.size()));
    for (int k = 0; k < Terminals::kCount; ++k) {
        const std::string block = ExpectedBlock(t, k);
        if (rest.substr(0, block.size()) == block) {
            present[static_cast<size_t>(k)] = true;
            rest.remove_prefix(block.size());
        } else if (torn && !rest.empty() && block.compare(0, rest.size(), rest) == 0) {
            EXPECT_FALSE(t.terminals[static_cast<size_t>(k)].AttendanceLog().empty())
                << "a log erased whose lines were cut short";
            rest = {};
        }
    }
    EXPECT_TRUE(rest.empty()) << "lines that belong to no whole device: " << rest;
    return present;
}

// The promise of a transfer, on whatever the disk holds: whole lines, each
// device's lines all or none in each file, and no log erased whose records
// are not in both files. With torn, a file may also end in a part of one
// device's lines, which the next transfer cuts off.
inline void CheckTransferFiles(const Disk& disk, const Terminals& t, const TransferLayout& layout,
                               bool torn = false) {
    const std::optional<std::string> record = disk.read(disk.root + "/" + layout.recordFile);
    ASSERT_TRUE(record.has_value());
    if (!torn) ExpectWholeLines(*record, layout.recordFile);
    const auto inRecord = BlocksInRecordFile(*record, t, torn);
    for (int k = 0; k < Terminals::kCount; ++k) {
        SCOPED_TRACE("device " + std::to_string(k + 1));
        const std::string name = "/yedekler/20240305.00" + std::to_string(k + 1);
        const std::string before = k == 0 && layout.backupFolderExists ? kOldBackupLine : "";
        const std::string backup = disk.read(disk.root + name).value_or("");
        const std::string block = ExpectedBlock(t, k);
        const bool inBackup = backup == before + block;
        const bool partial =
            torn && backup.size() > before.size() && backup.size() < before.size() + block.size() &&
            backup.compare(0, before.size(), before) == 0 &&
            block.compare(0, backup.size() - before.size(), backup, before.size()) == 0;
        if (!torn) ExpectWholeLines(backup, name);
        EXPECT_TRUE(backup == before || inBackup || partial) << backup;
        const auto& log = t.terminals[static_cast<size_t>(k)].AttendanceLog();
        const bool erased = log.empty();
        EXPECT_TRUE(erased || log.size() == t.initialLogs[static_cast<size_t>(k)].size());
        if (erased) {
            EXPECT_TRUE(inRecord[static_cast<size_t>(k)])
                << "log erased, lines not in the record file";
            EXPECT_TRUE(inBackup) << "log erased, lines not in the backup";
        }
    }
}

// After a transfer that ran to its end (perhaps the second after a failed
// one): every record of every terminal is in both files, every log is gone.
inline void CheckEverythingDelivered(const Disk& disk, const Terminals& t,
                                     const TransferLayout& layout, int maxCopies) {
    const std::string record = disk.read(disk.root + "/" + layout.recordFile).value_or("");
    ExpectWholeLines(record, layout.recordFile);
    for (int k = 0; k < Terminals::kCount; ++k) {
        SCOPED_TRACE("device " + std::to_string(k + 1));
        const std::string block = ExpectedBlock(t, k);
        int copies = 0;
        for (size_t at = record.find(block); at != std::string::npos;
             at = record.find(block, at + 1))
            ++copies;
        EXPECT_GE(copies, 1);
        EXPECT_LE(copies, maxCopies);
        const std::string name = "/yedekler/20240305.00" + std::to_string(k + 1);
        const std::string backup = disk.read(disk.root + name).value_or("");
        ExpectWholeLines(backup, name);
        EXPECT_NE(backup.find(block), std::string::npos);
        EXPECT_TRUE(t.terminals[static_cast<size_t>(k)].AttendanceLog().empty());
    }
}

// --- personnel: "Al" of templates and "Sil" ---------------------------------

class NullPersonnelView : public PersonnelView {
  public:
    void ShowProgress(const std::string&) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}
    void RepaintTerminalGrid() override {}
    void RepaintStoreGrid() override {}
    void RepaintProgress() override {}
    void ScrollTerminalTo(int) override {}
    void ScrollStoreTo(int) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void CloseWindow() override {}
    std::vector<std::string> messages;
};

inline std::string Template(char c, size_t n = 48) { return std::string(n, c); }

class PersonnelScenario : public Scenario {
  public:
    enum class Command { TemplatesToStore, Delete };
    explicit PersonnelScenario(Command command) : command_(command) {
        terminal_.WriteUser(12, "Ayşe", "", 0, true);
        terminal_.WriteTemplate(12, 0, Template('a'));
        terminal_.WriteTemplate(12, 3, Template('b'));
        terminal_.WriteUser(34, "Gülşen", "7", 2, true);
        terminal_.WriteTemplate(34, 1, Template('c'));
        terminal_.WriteTemplate(34, 2, Template('d'));
        terminal_.WriteTemplate(34, 5, Template('e'));
        terminal_.WriteUser(56, "İbrahim", "", 3, true);
        terminal_.WriteUser(78, "Mehmet", "", 0, true);
        terminal_.WriteTemplate(78, 0, Template('f'));
    }

    void Seed(const Disk& disk) override {
        const std::string folder = disk.root + "/personel";
        disk.put(folder + "/personel.ini", "00012\r\n00078\r\n00090\r\n00091\r\n");
        disk.put(folder + "/parmakizi.ini",
                 "[00012]\r\nisim=Ay\xFE"
                 "e\r\nyetki=Normal\r\nkartno=\r\nsifre=\r\n"
                 "[00078]\r\nisim=Mehmet\r\nyetki=Normal\r\nkartno=55\r\nsifre=\r\nparmakizi0=" +
                     Template('z') +
                     "\r\n[00090]\r\nisim=Eski\r\nyetki=Yetkili\r\nkartno=\r\nsifre=\r\n"
                     "[00091]\r\nisim=Ge\xE7"
                     "ici\r\nyetki=Normal\r\nkartno=\r\nsifre=1\r\n");
    }
    void Open(FileSystem& fs, const std::string& root) override {
        state_.link.linkType = 1;
        state_.link.linkIpAddress = "127.0.0.1";
        state_.link.linkIpPort = 4370;
        state_.link.linkMachineNumber = 1;
        store_ = std::make_unique<PersonnelStore>(root, fs);
        commands_ =
            std::make_unique<PersonnelCommands>(grid_, griddisk_, *store_, link_, state_, view_);
        commands_->ConnectTerminal();
        commands_->LoadBothLists();
        if (command_ == Command::TemplatesToStore) {
            commands_->TickAllTerminalRows();  // every terminal row
        } else {
            // Two PC rows (one also on the terminal) and one terminal row.
            for (int r = 0; r < griddisk_.RowCount(); ++r) {
                const std::string key = griddisk_.Text(kPersonnelColumnPerNo, r);
                if (key == "00078" || key == "00090")
                    griddisk_.SetChecked(kPersonnelColumnSec, r, true);
            }
            for (int r = 0; r < grid_.RowCount(); ++r)
                if (grid_.Text(kPersonnelColumnPerNo, r) == "00056")
                    grid_.SetChecked(kPersonnelColumnSec, r, true);
        }
        pcRowsBefore_ = Keys(griddisk_);
        ticksBefore_ = Ticks(griddisk_);
    }
    void Act() override {
        if (command_ == Command::TemplatesToStore)
            commands_->CopyTemplatesToStore();
        else
            commands_->DeleteTicked();
    }
    std::vector<std::string> Files() const override {
        return {"personel/personel.ini", "personel/parmakizi.ini"};
    }
    void CheckFailureReported(const AppError& error) override {
        EXPECT_EQ(error.kind(), ErrorKind::Io) << error.what();
        // The PC grid is back as it was, ticks included, for another try.
        EXPECT_EQ(Keys(griddisk_), pcRowsBefore_);
        EXPECT_EQ(Ticks(griddisk_), ticksBefore_);
    }

    MemoryTerminal& terminal() { return terminal_; }

  private:
    static std::vector<std::string> Keys(const GridModel& g) {
        std::vector<std::string> keys;
        for (int r = 0; r < g.RowCount(); ++r) keys.push_back(g.Text(kPersonnelColumnPerNo, r));
        return keys;
    }
    static std::vector<bool> Ticks(const GridModel& g) {
        std::vector<bool> ticks;
        for (int r = 0; r < g.RowCount(); ++r) ticks.push_back(g.Checked(kPersonnelColumnSec, r));
        return ticks;
    }

    Command command_;
    MemoryTerminal terminal_;
    MemoryLink link_{terminal_};
    ConnectionState state_;
    GridModel grid_{TerminalGridColumns()};
    GridModel griddisk_{StoreGridColumns()};
    NullPersonnelView view_;
    std::unique_ptr<PersonnelStore> store_;
    std::unique_ptr<PersonnelCommands> commands_;
    std::vector<std::string> pcRowsBefore_;
    std::vector<bool> ticksBefore_;
};

}  // namespace aktarim::test
