#include "core/Transfer.h"

#include "core/DeviceConnect.h"
#include "core/Errors.h"
#include "core/NumberField.h"
#include "core/RecordFile.h"
#include "core/Text.h"
#include "core/TransferJournal.h"
#include "core/TransferLog.h"

namespace aktarim {
namespace {

constexpr const char* kBackupFolder = "yedekler";
constexpr const char* kAlwaysIn = "Her Zaman Giriş";
constexpr const char* kAlwaysOut = "Her Zaman Çıkış";

// The link's own words for its last failure, or the fallback when it gave none.
std::string LinkReason(const TerminalLink& link, const std::string& fallback,
                       LinkFailureKind& kind) {
    const LinkFailure failure = link.LastFailure();
    kind = failure.kind;
    if (!failure) return fallback;
    return fallback.empty() ? LinkFailureText(failure)
                            : fallback + " (" + LinkFailureText(failure) + ")";
}

}  // namespace

std::optional<std::string> ConnectionDescription(const DeviceRecord& device) {
    if (device.connectionType() == kEthernet)
        return "IP: " + device.ipAddress() + " /Port: " + device.ipPort();
    if (device.connectionType() == kCommPort)
        return "Mak.No: " + device.machineNumber() + " /Port: " + device.port() +
               " /B.rate: " + device.baudRate();
    return std::nullopt;
}

int32_t StateToWrite(const std::string& inOutMode, int32_t terminalState) {
    if (inOutMode == kAlwaysIn) return 1;
    if (inOutMode == kAlwaysOut) return 0;
    switch (terminalState) {
        case 0:
        case 2:
        case 4:
            return 1;
        case 1:
        case 3:
        case 5:
            return 0;
        default:
            return terminalState;
    }
}

std::string RecordLine(int32_t userNumber, int32_t state, int32_t year, int32_t month, int32_t day,
                       int32_t hour, int32_t minute) {
    std::string line = "000,";
    line += ZeroPadded(userNumber, 5);
    line += ',';
    line += std::to_string(state);
    line += ' ';
    line += ZeroPadded(year, 4);
    line += '/';
    line += ZeroPadded(month, 2);
    line += '/';
    line += ZeroPadded(day, 2);
    line += ' ';
    line += ZeroPadded(hour, 2);
    line += ':';
    line += ZeroPadded(minute, 2);
    line += ":00";
    return line;
}

std::string BackupFileName(const std::tm& today, int32_t deviceNumber) {
    return ZeroPadded(today.tm_year + 1900, 4) + ZeroPadded(today.tm_mon + 1, 2) +
           ZeroPadded(today.tm_mday, 2) + "." + ZeroPadded(deviceNumber, 3);
}

RecordProgress::RecordProgress(int device, int64_t done, int64_t counted)
    : device_(device), done_(done < 0 ? 0 : done), total_(counted < done_ ? done_ : counted) {}

int RecordProgress::percent() const { return ProgressPercent(done_, total_); }

AttendanceTransfer::AttendanceTransfer(const DeviceTable& devices, TerminalLink& link,
                                       TransferListener listener, TransferSettings settings)
    : devices_(devices),
      link_(link),
      listener_(std::move(listener)),
      settings_(std::move(settings)) {}

void AttendanceTransfer::Run(const std::vector<int>& deviceNumbers) {
    outcomes_.clear();
    for (int number : deviceNumbers)
        if (number < 1 || number > devices_.deviceCount())
            throw AppError(ErrorKind::Range, "Cihaz " + std::to_string(number) + " yok");
    if (!deviceNumbers.empty())
        CheckRecordFilePath(*settings_.fileSystem, settings_.recordFilePath);
    for (int number : deviceNumbers) {
        if (settings_.stop != nullptr && settings_.stop->load()) break;
        transferRow_ = number;
        DeviceOutcome& outcome = outcomes_.emplace_back();
        outcome.number = number;
        Emit(DeviceStarted{number});
        try {
            VisitDevice(devices_.at(number), outcome);
        } catch (const std::exception& error) {
            if (outcome.error.empty()) outcome.error = error.what();
            link_.Disconnect();
            Finish(outcome);
            throw;
        }
        Finish(outcome);
    }
}

void AttendanceTransfer::Finish(const DeviceOutcome& outcome) {
    Emit(DeviceFinished{outcome});
    if (!settings_.writeTransferLog) return;
    const std::string& name = devices_.at(outcome.number).name();
    AppendToTransferLog(*settings_.fileSystem, JoinPath(settings_.programFolder, kTransferLogName),
                        TransferLogLine(settings_.today(), name, outcome));
}

void AttendanceTransfer::VisitDevice(const DeviceRecord& device, DeviceOutcome& outcome) {
    const auto connected = ConnectByExactType(link_, ConnectionTexts::FromRecord(device),
                                              SerialOrder::BaudPortMachine);
    if (!connected.has_value()) {
        outcome.result = DeviceOutcome::Result::NotContacted;
        return;
    }
    if (!*connected) {
        outcome.result = DeviceOutcome::Result::ConnectFailed;
        outcome.error = LinkReason(link_, "", outcome.failureKind);
        return;
    }
    outcome.result = DeviceOutcome::Result::Connected;
    Emit(DeviceConnected{outcome.number});
    const int32_t machine = StrToInt(device.machineNumber());
    try {
        TransferDevice(machine, device.inOutMode(), JournalAddressOf(device), outcome);
    } catch (const AppError& error) {
        if (error.kind() == ErrorKind::Io) outcome.result = DeviceOutcome::Result::WriteFailed;
        throw;
    }
    link_.Disconnect();
}

std::string JournalAddressOf(const DeviceRecord& device) {
    if (device.connectionType() == kEthernet) return device.ipAddress() + ":" + device.ipPort();
    return "COM" + device.port();
}

namespace {

std::string LinesOf(std::span<const AttendanceValues> records, const std::string& inOutMode) {
    std::string lines;
    for (const AttendanceValues& v : records) {
        lines += RecordLine(v.userNumber, StateToWrite(inOutMode, v.inOutState), v.year, v.month,
                            v.day, v.hour, v.minute);
        lines += "\r\n";
    }
    return Utf8ToCp1254(lines);
}

// What an interrupted transfer left of its pending lines in the file at
// path, from the journaled length on.
PendingLines PendingIn(FileSystem& fs, const std::string& path, const std::string& journaledPath,
                       uint64_t journaledStart, std::string_view expected) {
    if (path != journaledPath) return PendingLines::Absent;
    const std::optional<std::string> text = fs.ReadFile(path);
    if (!text) return PendingLines::Absent;
    const std::string_view fromStart =
        journaledStart < text->size() ? std::string_view(*text).substr(journaledStart) : "";
    return FindPendingLines(fromStart, expected);
}

}  // namespace

void AttendanceTransfer::TransferDevice(int32_t machineNumber, const std::string& inOutMode,
                                        const std::string& address, DeviceOutcome& outcome) {
    const int number = outcome.number;
    FileSystem& fs = *settings_.fileSystem;
    const std::string& home = settings_.programFolder;
    const std::string folder = JoinPath(home, kBackupFolder);
    if (!fs.Exists(folder)) {
        fs.CreateDirectories(folder);
        // Else a power cut may take the new folder, backups and all.
        fs.SyncDirectory(DirectoryOf(folder));
    }
    const std::string backupPath = JoinPath(folder, BackupFileName(settings_.today(), number));

    DeviceRecordFiles files(fs, backupPath, settings_.recordFilePath);

    // The count comes before the load: punches made while the log is read
    // only make the log longer than it, never a failure.
    int32_t count = 0;
    const bool counted = link_.GetStatusValue(machineNumber, kStatusRecordCount, count);
    LinkFailureKind countFailure = LinkFailureKind::None;
    const std::string countReason =
        counted ? std::string() : LinkReason(link_, "Kayıt sayısı okunamadı", countFailure);
    if (!counted) count = 0;

    Emit(LoadProgress{number, true});
    const bool loaded = link_.LoadAttendanceLog(machineNumber);
    LinkFailureKind loadFailure = LinkFailureKind::None;
    const std::string loadReason =
        loaded ? std::string() : LinkReason(link_, "Kayıtlar okunamadı", loadFailure);
    Emit(LoadProgress{number, false});

    std::vector<AttendanceValues> log;
    AttendanceValues v;
    while (link_.NextAttendanceRecord(machineNumber, v)) {
        log.push_back(v);
        Emit(RecordProgress(number, static_cast<int64_t>(log.size()), count));
    }
    const int64_t n = static_cast<int64_t>(log.size());

    // A log that did not load, or that lacks records the terminal counted,
    // is not written at all and stays on the terminal.
    if (!loaded || (counted && n < count)) {
        outcome.result = DeviceOutcome::Result::LoadFailed;
        if (!loaded) {
            outcome.error = loadReason;
            outcome.failureKind = loadFailure;
        } else {
            outcome.error = "Kayıtların tamamı alınamadı (" + std::to_string(n) + "/" +
                            std::to_string(count) + ")";
        }
        files.RollBack();
        return;
    }

    // Which leading records are in the files already: those a transfer
    // wrote and could not erase (refused, killed, or kept by choice).
    const std::optional<JournalEntry> entry = LoadJournal(fs, home, machineNumber, address);
    JournalMatch match = MatchJournal(entry, machineNumber, address, log);
    if (match.dropEntry) RemoveJournal(fs, home, machineNumber, address);
    // A kept log without the "only new records" option is written whole,
    // every time, as it always was.
    const bool erasing = settings_.deleteAfterTransfer && settings_.deleteAfterTransfer();
    const bool wholeLog = !settings_.newOnly && !erasing;
    if (wholeLog) match = JournalMatch{};

    const auto all = std::span<const AttendanceValues>(log);
    uint64_t from = match.alreadyWritten;
    uint64_t recordFrom = from;
    uint64_t backupFrom = from;
    std::optional<uint64_t> recordBlock, backupBlock;  // where [from, n) begins when not at the end
    if (match.unconfirmed > 0) {
        const std::string expected = LinesOf(all.subspan(from, match.unconfirmed), inOutMode);
        const uint64_t after = from + match.unconfirmed;
        for (const bool record : {true, false}) {
            const std::string& path = record ? files.recordPath() : files.backupPath();
            const std::string& journaledPath = record ? entry->recordPath : entry->backupPath;
            const uint64_t start = record ? entry->recordStart : entry->backupStart;
            switch (PendingIn(fs, path, journaledPath, start, expected)) {
                case PendingLines::Present:
                    (record ? recordFrom : backupFrom) = after;
                    (record ? recordBlock : backupBlock) = start;
                    break;
                case PendingLines::Torn:
                    files.CutBack(record, start);
                    break;
                case PendingLines::Absent:
                    break;
            }
        }
        // In both files: as good as confirmed.
        if (recordFrom == after && backupFrom == after) {
            from = after;
            recordBlock.reset();
            backupBlock.reset();
        }
    }

    const std::string recordLines = LinesOf(all.subspan(recordFrom), inOutMode);
    const std::string backupLines = LinesOf(all.subspan(backupFrom), inOutMode);
    // The record file may have been deleted, renamed or replaced while the
    // log was read: the lines go to the file at the path.
    files.ReopenMoved();
    files.StartLines(recordLines, backupLines);
    SaveJournal(fs, home,
                MakePendingEntry(machineNumber, address, log, static_cast<uint64_t>(n), from,
                                 files.recordPath(), recordBlock.value_or(files.recordStart()),
                                 files.backupPath(), backupBlock.value_or(files.backupStart())));
    files.Commit(recordLines, backupLines);
    outcome.recordsWritten = n - static_cast<int64_t>(from);
    SaveJournal(fs, home, MakeJournalEntry(machineNumber, address, log, static_cast<uint64_t>(n)));

    // Without the terminal's count nobody can tell whether every record came:
    // what arrived is written, and the log stays on the terminal.
    if (!counted) {
        outcome.error = countReason + ", kayıtlar cihazda bırakıldı";
        outcome.failureKind = countFailure;
        return;
    }
    if (settings_.newOnly) return;
    if (settings_.deleteAfterTransfer && settings_.deleteAfterTransfer()) {
        // Only the records read: the punches made since stay on the terminal.
        outcome.logErased = link_.ClearAttendanceRecords(machineNumber, static_cast<uint32_t>(n),
                                                         RecordsDigest(log));
        if (outcome.logErased) {
            // An entry that stays describes records the log no longer
            // begins with: the next transfer drops it. So the erased log is
            // no failure of the disk's.
            try {
                RemoveJournal(fs, home, machineNumber, address);
            } catch (const AppError&) {
            }
        } else {
            outcome.eraseRefused = true;
            outcome.error = LinkReason(link_, "Kayıtlar cihazdan silinemedi", outcome.failureKind);
        }
    }
}

}  // namespace aktarim
