#pragma once
// The main job: the chosen devices are read out, one after the other, into
// the record file and the day's backup file of each device. The transfer
// tells whoever shows it what happens through typed events; it knows nothing
// of windows or grids.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/DeviceConfig.h"
#include "core/FileSystem.h"
#include "core/TerminalLink.h"

namespace aktarim {

// "IP: a /Port: p", "Mak.No: m /Port: Comx /B.rate: b", or nothing.
std::optional<std::string> ConnectionDescription(const DeviceRecord& device);

// The state written for a terminal state under the device's in/out mode.
int32_t StateToWrite(const std::string& inOutMode, int32_t terminalState);
// The 31-character line of one record (longer when the state has more digits).
std::string RecordLine(int32_t userNumber, int32_t state, int32_t year, int32_t month, int32_t day,
                       int32_t hour, int32_t minute);
// The device's address as its journal names it: "ip:port" or "COM<n>".
std::string JournalAddressOf(const DeviceRecord& device);
// YYYYMMDD.NNN
std::string BackupFileName(const std::tm& today, int32_t deviceNumber);

// What became of one visited device.
struct DeviceOutcome {
    enum class Result {
        NotContacted,   // a connection type that is neither "Ethernet" nor "Comm Port"
        Connected,      // connected and read out (error may still say what was odd)
        ConnectFailed,  // no connection
        LoadFailed,     // connected, but the log did not arrive whole: nothing written
        WriteFailed,    // connected, but the files refused the lines: nothing written
    };
    int number = 0;  // the device's number, 1-based
    Result result = Result::NotContacted;
    int64_t recordsWritten = 0;
    bool logErased = false;
    // The erase was asked for and the terminal refused it: the records are
    // in the files and on the terminal, and the journal keeps the next
    // transfer from writing them again.
    bool eraseRefused = false;
    LinkFailureKind failureKind = LinkFailureKind::None;  // when the link said why
    std::string error;  // the reason in the user's words; empty when all went well
};

// --- events, in the order they come for one device ---------------------------

struct DeviceStarted {
    int device = 0;
};
// The connection stands.
struct DeviceConnected {
    int device = 0;
};
// The terminal's log is being loaded (loading) or has arrived (!loading).
struct LoadProgress {
    int device = 0;
    bool loading = true;
};
// done of total records read. The only way to build one keeps
// 0 <= done <= total: a count the terminal did not give (0) or gave too low
// grows to the records that did arrive.
class RecordProgress {
  public:
    RecordProgress(int device, int64_t done, int64_t counted);
    int device() const { return device_; }
    int64_t done() const { return done_; }
    int64_t total() const { return total_; }
    // done × 100 / total, halves to the even neighbour; 0 when nothing was read.
    int percent() const;

  private:
    int device_;
    int64_t done_;
    int64_t total_;
};
struct DeviceFinished {
    DeviceOutcome outcome;
};

using TransferEvent =
    std::variant<DeviceStarted, DeviceConnected, LoadProgress, RecordProgress, DeviceFinished>;
// Called on the thread that runs the transfer.
using TransferListener = std::function<void(const TransferEvent&)>;

struct TransferSettings {
    std::string programFolder;                  // holds yedekler/ and aktarim.log
    std::string recordFilePath;                 // relative paths: the current directory
    std::function<bool()> deleteAfterTransfer;  // read at the moment it matters
    std::function<std::tm()> today;             // the PC's local date and time
    FileSystem* fileSystem = &RealFileSystem();
    // Set from another thread: no device is started after it is set; the one
    // being read finishes or rolls back first.
    const std::atomic<bool>* stop = nullptr;
    // Whether the transfer log gets a line per visited device.
    bool writeTransferLog = true;
    // "Only new records" ([ayarlar] sadeceyeni=1): the log is never erased,
    // and only the records after those the journal says are in the files
    // are written.
    bool newOnly = false;
};

class AttendanceTransfer {
  public:
    AttendanceTransfer(const DeviceTable& devices, TerminalLink& link, TransferListener listener,
                       TransferSettings settings);

    // "Bilgileri Aktar" on the given devices (1-based numbers, in the order
    // given). The caller holds the TransferLock. Each device's journal
    // (core/TransferJournal.h) keeps a record from being written twice
    // across transfers; the erase takes only the records read. A record file path that is no
    // regular file is refused before any terminal is contacted. An error that ends the whole
    // transfer (a conversion error, a refused record file) disconnects before it is rethrown; the
    // device it hit has its DeviceFinished when it had been connected.
    void Run(const std::vector<int>& deviceNumbers);

    int32_t transferRow() const { return transferRow_; }
    const std::vector<DeviceOutcome>& outcomes() const { return outcomes_; }

  private:
    void VisitDevice(const DeviceRecord& device, DeviceOutcome& outcome);
    void TransferDevice(int32_t machineNumber, const std::string& inOutMode,
                        const std::string& address, DeviceOutcome& outcome);
    void Finish(const DeviceOutcome& outcome);
    void Emit(const TransferEvent& event) {
        if (listener_) listener_(event);
    }

    const DeviceTable& devices_;
    TerminalLink& link_;
    TransferListener listener_;
    TransferSettings settings_;
    int32_t transferRow_ = 0;
    std::vector<DeviceOutcome> outcomes_;
};

}  // namespace aktarim
