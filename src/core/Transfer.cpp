#include "core/Transfer.h"

#include <array>

#include "core/DeviceConnect.h"
#include "core/Errors.h"
#include "core/NumberField.h"
#include "core/Text.h"
#include "terminal/TerminalLink.h"

namespace aktarim {
namespace {

constexpr const char* kBackupFolder = "yedekler";
constexpr const char* kAlwaysIn = "Her Zaman Giriş";
constexpr const char* kAlwaysOut = "Her Zaman Çıkış";

// Both files of one device. Lines reach them all or nothing: a failure cuts
// both back to the length they had before this device began.
class DeviceFiles {
public:
    DeviceFiles(FileSystem& fs, const std::string& backupPath, const std::string& recordPath)
        : fs_(fs),
          folders_{DirectoryOf(backupPath), DirectoryOf(recordPath)},
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
        for (auto [file, start] : {std::pair{record_.get(), recordStart_}, std::pair{backup_.get(), backupStart_}}) {
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
    FileSystem& fs_;
    std::array<std::string, 2> folders_;
    std::unique_ptr<WritableFile> backup_;
    std::unique_ptr<WritableFile> record_;
    uint64_t backupStart_ = 0;
    uint64_t recordStart_ = 0;
    bool done_ = false;
};

}  // namespace

std::vector<GridColumn> MainGridColumns() {
    auto column = [](const char* header, ColumnKind kind, int width, bool editable = false,
                     Alignment alignment = Alignment::Left) {
        GridColumn c;
        c.header = header;
        c.kind = kind;
        c.width = width;
        c.editable = editable;
        c.alignment = alignment;
        return c;
    };
    return {
        column("Bağlan", ColumnKind::Check, 51, true, Alignment::Centre),
        column("Cihaz Adı", ColumnKind::Text, 122),
        column("Bağlantı Şekli", ColumnKind::Text, 238),
        column("Transfer Durumu", ColumnKind::Progress, 105),
        column("Durum", ColumnKind::Picture, 72, false, Alignment::Centre),
    };
}

std::optional<std::string> ConnectionDescription(const DeviceRecord& device) {
    if (device.connectionType() == kEthernet) return "IP: " + device.ipAddress() + " /Port: " + device.ipPort();
    if (device.connectionType() == kCommPort)
        return "Mak.No: " + device.machineNumber() + " /Port: " + device.port() + " /B.rate: " + device.baudRate();
    return std::nullopt;
}

void FillDeviceGrid(GridModel& grid, const DeviceTable& devices) {
    if (grid.RowCount() < devices.deviceCount()) grid.AppendRows(devices.deviceCount() - grid.RowCount());
    for (int k = 1; k <= devices.deviceCount(); ++k) {
        const int row = k - 1;
        const DeviceRecord& device = devices.at(k);
        grid.SetChecked(kMainColumnTick, row, true);
        grid.SetText(kMainColumnName, row, device.name());
        if (auto description = ConnectionDescription(device)) grid.SetText(kMainColumnConnection, row, *description);
        grid.SetValue(kMainColumnStatus, row, kPictureNone);
    }
}

int32_t StateToWrite(const std::string& inOutMode, int32_t terminalState) {
    if (inOutMode == kAlwaysIn) return 1;
    if (inOutMode == kAlwaysOut) return 0;
    switch (terminalState) {
        case 0:
        case 2:
        case 4: return 1;
        case 1:
        case 3:
        case 5: return 0;
        default: return terminalState;
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
    return ZeroPadded(today.tm_year + 1900, 4) + ZeroPadded(today.tm_mon + 1, 2) + ZeroPadded(today.tm_mday, 2) +
           "." + ZeroPadded(deviceNumber, 3);
}

AttendanceTransfer::AttendanceTransfer(GridModel& grid, const DeviceTable& devices, TerminalLink& link,
                                       TransferView& view, TransferSettings settings)
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
            const auto connected =
                ConnectByExactType(link_, ConnectionTexts::FromRecord(device), SerialOrder::BaudPortMachine);
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
        if (!outcomes_.empty() && outcomes_.back().error.empty()) outcomes_.back().error = error.what();
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
        fs.SyncDirectory(DirectoryOf(folder));  // else a power cut may take the folder, backups and all
    }
    const std::string backupPath = JoinPath(folder, BackupFileName(settings_.today(), transferRow_));

    DeviceFiles files(fs, backupPath, settings_.recordFilePath);

    const bool loaded = link_.LoadAttendanceLog(machineNumber);
    int32_t count = 0;
    const bool counted = link_.GetStatusValue(machineNumber, kStatusRecordCount, count);

    std::string lines;
    int64_t n = 0;
    AttendanceValues v;
    while (link_.NextAttendanceRecord(machineNumber, v)) {
        ++n;
        lines += RecordLine(v.userNumber, StateToWrite(inOutMode, v.inOutState), v.year, v.month, v.day, v.hour,
                            v.minute);
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
