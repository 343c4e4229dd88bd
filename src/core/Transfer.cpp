#include "core/Transfer.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/DeviceConnect.h"
#include "core/Errors.h"
#include "core/NumberField.h"
#include "core/Text.h"
#include "core/TerminalLink.h"

namespace aktarim {
namespace {

constexpr const char* kBackupFolder = "yedekler";
constexpr const char* kAlwaysIn = "Her Zaman Giriş";
constexpr const char* kAlwaysOut = "Her Zaman Çıkış";

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "000,ddddd,S YYYY/MM/DD HH:MM:00" with a state of any width.
bool IsWholeRecordLine(std::string_view line) {
    if (line.size() < 31 || line.substr(0, 4) != "000," || !IsDigits(line.substr(4, 5)) ||
        line[9] != ',')
        return false;
    const std::string_view rest = line.substr(10);
    const size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return false;
    const std::string_view state = rest.substr(0, blank);
    if (!IsDigits(state.front() == '-' ? state.substr(1) : state)) return false;
    const std::string_view when = rest.substr(blank);  // " YYYY/MM/DD HH:MM:00"
    return when.size() == 20 && IsDigits(when.substr(1, 4)) && when[5] == '/' &&
           IsDigits(when.substr(6, 2)) && when[8] == '/' && IsDigits(when.substr(9, 2)) &&
           when[11] == ' ' && IsDigits(when.substr(12, 2)) && when[14] == ':' &&
           IsDigits(when.substr(15, 2)) && when.substr(17) == ":00";
}

bool HoldsLine(std::string_view lines, std::string_view line) {
    for (size_t at = lines.find(line); at != std::string_view::npos;
         at = lines.find(line, at + 1)) {
        const bool starts = at == 0 || lines[at - 1] == '\n';
        if (starts && lines.substr(at + line.size(), 2) == "\r\n") return true;
    }
    return false;
}

// Whether the bytes after a file's last line end are what an interrupted
// transfer left: zeros of a power cut, part of a record line (a line that
// lost only its LF included), or a whole record line that the lines about to
// be written hold again. Their records are still on a terminal, since a log
// is erased only once its lines are on the disk. Anything else, a whole
// record line the terminal no longer has among it, may be someone's own text
// and is kept.
bool IsInterruptedTail(std::string_view tail, std::string_view lines) {
    const size_t last = tail.find_last_not_of('\0');
    if (last == std::string_view::npos) return true;
    std::string_view fragment = tail.substr(0, last + 1);
    const bool lostLf = fragment.back() == '\r';
    if (lostLf) fragment.remove_suffix(1);
    constexpr std::string_view kHead = "000,";
    if (fragment.size() < kHead.size()) return kHead.substr(0, fragment.size()) == fragment;
    if (fragment.substr(0, kHead.size()) != kHead) return false;
    if (fragment.find_first_not_of("0123456789,/: -") != std::string_view::npos) return false;
    return lostLf || !IsWholeRecordLine(fragment) || HoldsLine(lines, fragment);
}

// Both files of one device. Lines reach them all or nothing: a failure cuts
// both back to the length they had before this device began.
class DeviceFiles {
  public:
    DeviceFiles(FileSystem& fs, const std::string& backupPath, const std::string& recordPath)
        : fs_(fs),
          folders_{DirectoryOf(backupPath), DirectoryOf(recordPath)},
          backupPath_(backupPath),
          recordPath_(recordPath),
          backup_(fs.OpenAppend(backupPath)),
          record_(fs.OpenAppend(recordPath)) {
        backupStart_ = backup_->Size();
        recordStart_ = record_->Size();
    }
    ~DeviceFiles() { RollBack(); }

    // Writes, then forces both files to the disk; throws on any failure
    // after cutting both files back.
    void Commit(std::string_view lines) {
        try {
            StartOnANewLine(*record_, recordPath_, recordStart_, lines);
            StartOnANewLine(*backup_, backupPath_, backupStart_, lines);
            if (!lines.empty()) {
                record_->Write(lines);
                backup_->Write(lines);
            }
            record_->Sync();
            backup_->Sync();
            // A file this transfer created survives a power cut only once
            // its folder's entry for it is on the disk too.
            for (const std::string& folder : folders_) fs_.SyncDirectory(folder);
        } catch (const AppError&) {
            RollBack();
            throw;
        }
        done_ = true;
        // The lines are on the disk; a failing close cannot take them back,
        // and cutting the files back now would lose them.
        for (WritableFile* file : {record_.get(), backup_.get()}) {
            try {
                file->Close();
            } catch (const AppError&) {
            }
        }
    }

    // Cuts both files back and closes them; does nothing once committed.
    void RollBack() noexcept {
        if (done_) return;
        done_ = true;
        for (auto [file, start] :
             {std::pair{record_.get(), recordStart_}, std::pair{backup_.get(), backupStart_}}) {
            try {
                if (file->Size() != start) {
                    file->Truncate(start);
                    file->Sync();
                }
            } catch (const AppError&) {
            }
            try {
                file->Close();
            } catch (const AppError&) {
            }
        }
    }

  private:
    // Makes the lines to come start on a line of their own: removes what an
    // interrupted transfer left after the last line end, or ends a last line
    // that someone else left open. start follows, so that a failure later
    // cuts the file back to where this device began.
    void StartOnANewLine(WritableFile& file, const std::string& path, uint64_t& start,
                         std::string_view lines) {
        const uint64_t size = start;
        if (size == 0) return;
        constexpr uint64_t kWindow = 64 * 1024;
        std::optional<std::string> tail = fs_.ReadTail(path, kWindow);
        if (!tail || tail->size() != std::min(size, kWindow)) return;  // unreadable: leave it be
        size_t lastEnd = tail->rfind('\n');
        if (lastEnd == std::string::npos && size > kWindow) {
            tail = fs_.ReadFile(path);
            if (!tail || tail->size() != size) return;
            lastEnd = tail->rfind('\n');
        }
        const size_t open = lastEnd == std::string::npos ? 0 : lastEnd + 1;
        if (open == tail->size()) return;
        if (IsInterruptedTail(std::string_view(*tail).substr(open), lines)) {
            const uint64_t end = size - (tail->size() - open);
            file.Truncate(end);
            file.Sync();
            start = end;
            return;
        }
        file.Write("\r\n");
        start = size + 2;
    }

    FileSystem& fs_;
    std::array<std::string, 2> folders_;
    std::string backupPath_;
    std::string recordPath_;
    std::unique_ptr<WritableFile> backup_;
    std::unique_ptr<WritableFile> record_;
    uint64_t backupStart_ = 0;
    uint64_t recordStart_ = 0;
    bool done_ = false;
};

}  // namespace

std::vector<GridColumn> MainGridColumns() {
    return {
        MakeColumn("Bağlan", ColumnKind::Check, 51, true, Alignment::Centre),
        MakeColumn("Cihaz Adı", ColumnKind::Text, 122, false),
        MakeColumn("Bağlantı Şekli", ColumnKind::Text, 238, false),
        MakeColumn("Transfer Durumu", ColumnKind::Progress, 105, false),
        MakeColumn("Durum", ColumnKind::Picture, 72, false, Alignment::Centre),
    };
}

std::optional<std::string> ConnectionDescription(const DeviceRecord& device) {
    if (device.connectionType() == kEthernet)
        return "IP: " + device.ipAddress() + " /Port: " + device.ipPort();
    if (device.connectionType() == kCommPort)
        return "Mak.No: " + device.machineNumber() + " /Port: " + device.port() +
               " /B.rate: " + device.baudRate();
    return std::nullopt;
}

void FillDeviceGrid(GridModel& grid, const DeviceTable& devices) {
    if (grid.RowCount() < devices.deviceCount())
        grid.AppendRows(devices.deviceCount() - grid.RowCount());
    for (int k = 1; k <= devices.deviceCount(); ++k) {
        const int row = k - 1;
        const DeviceRecord& device = devices.at(k);
        grid.SetChecked(kMainColumnTick, row, true);
        grid.SetText(kMainColumnName, row, device.name());
        if (auto description = ConnectionDescription(device))
            grid.SetText(kMainColumnConnection, row, *description);
        grid.SetValue(kMainColumnStatus, row, kPictureNone);
    }
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

AttendanceTransfer::AttendanceTransfer(GridModel& grid, const DeviceTable& devices,
                                       TerminalLink& link, TransferView& view,
                                       TransferSettings settings)
    : grid_(grid), devices_(devices), link_(link), view_(view), settings_(std::move(settings)) {}

void AttendanceTransfer::Run() {
    outcomes_.clear();
    for (int row = 0; row < grid_.RowCount(); ++row) {
        grid_.SetValue(kMainColumnStatus, row, kPictureNone);
        grid_.SetValue(kMainColumnProgress, row, 0);
    }
    try {
        for (transferRow_ = 1; transferRow_ <= devices_.deviceCount(); ++transferRow_) {
            const int row = transferRow_ - 1;
            const DeviceRecord& device = devices_.at(transferRow_);
            DeviceOutcome& outcome = outcomes_.emplace_back();
            outcome.number = transferRow_;
            if (!grid_.Checked(kMainColumnTick, row)) {
                grid_.SetValue(kMainColumnStatus, row, kPictureNone);
                view_.RepaintGrid();
                continue;
            }
            const auto connected = ConnectByExactType(link_, ConnectionTexts::FromRecord(device),
                                                      SerialOrder::BaudPortMachine);
            if (!connected.has_value()) {
                outcome.result = DeviceOutcome::Result::NotContacted;
            } else if (*connected) {
                outcome.result = DeviceOutcome::Result::Connected;
                grid_.SetValue(kMainColumnStatus, row, kPictureConnected);
                const int32_t machine = StrToInt(device.machineNumber());
                try {
                    TransferDevice(machine, device.inOutMode(), outcome);
                } catch (const AppError& error) {
                    if (error.kind() == ErrorKind::Io) {
                        outcome.result = DeviceOutcome::Result::WriteFailed;
                        grid_.SetValue(kMainColumnStatus, row, kPictureFailed);
                    }
                    throw;
                }
                link_.Disconnect();
            } else {
                outcome.result = DeviceOutcome::Result::ConnectFailed;
                grid_.SetValue(kMainColumnStatus, row, kPictureFailed);
            }
            view_.RepaintGrid();
        }
    } catch (const std::exception& error) {
        if (!outcomes_.empty() && outcomes_.back().error.empty())
            outcomes_.back().error = error.what();
        link_.Disconnect();
        view_.RepaintGrid();
        throw;
    }
}

void AttendanceTransfer::TransferDevice(int32_t machineNumber, const std::string& inOutMode,
                                        DeviceOutcome& outcome) {
    const int row = transferRow_ - 1;
    FileSystem& fs = *settings_.fileSystem;
    const std::string folder = JoinPath(settings_.programFolder, kBackupFolder);
    if (!fs.Exists(folder)) {
        fs.CreateDirectories(folder);
        // Else a power cut may take the new folder, backups and all.
        fs.SyncDirectory(DirectoryOf(folder));
    }
    const std::string backupPath =
        JoinPath(folder, BackupFileName(settings_.today(), transferRow_));

    DeviceFiles files(fs, backupPath, settings_.recordFilePath);

    const bool loaded = link_.LoadAttendanceLog(machineNumber);
    int32_t count = 0;
    const bool counted = link_.GetStatusValue(machineNumber, kStatusRecordCount, count);

    std::string lines;
    int64_t n = 0;
    AttendanceValues v;
    while (link_.NextAttendanceRecord(machineNumber, v)) {
        ++n;
        lines += RecordLine(v.userNumber, StateToWrite(inOutMode, v.inOutState), v.year, v.month,
                            v.day, v.hour, v.minute);
        lines += "\r\n";
        grid_.SetValue(kMainColumnProgress, row, ProgressPercent(n, count));
        view_.RepaintGrid();
    }

    // A log that did not load, or that lacks records the terminal counted,
    // is not written at all and stays on the terminal.
    if (!loaded || !counted || n < count) {
        outcome.result = DeviceOutcome::Result::LoadFailed;
        outcome.error = !loaded ? "Kayıtlar okunamadı" : "Kayıtların tamamı alınamadı";
        grid_.SetValue(kMainColumnStatus, row, kPictureFailed);
        grid_.SetValue(kMainColumnProgress, row, 0);
        files.RollBack();
        return;
    }

    files.Commit(Utf8ToCp1254(lines));
    outcome.recordsWritten = n;

    if (settings_.deleteAfterTransfer && settings_.deleteAfterTransfer())
        outcome.logErased = link_.ClearAttendanceLog(machineNumber);
}

}  // namespace aktarim
