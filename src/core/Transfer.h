#pragma once
// The main job: every ticked device of the main grid is read out into the
// record file and the day's backup file of that device.
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/DeviceConfig.h"
#include "core/FileSystem.h"
#include "core/GridModel.h"

namespace aktarim {

class TerminalLink;

// Columns of the main window's device grid.
enum MainGridColumn : int {
    kMainColumnTick = 0,
    kMainColumnName,
    kMainColumnConnection,
    kMainColumnProgress,
    kMainColumnStatus,
};
// Pictures of the "Durum" column.
enum StatusPicture : int { kPictureNone = 0, kPictureConnected = 1, kPictureFailed = 2 };

std::vector<GridColumn> MainGridColumns();
// "IP: a /Port: p", "Mak.No: m /Port: Comx /B.rate: b", or nothing.
std::optional<std::string> ConnectionDescription(const DeviceRecord& device);
// Gives the grid one row per device, ticked, with name, description and
// picture 0 (progress untouched on existing rows).
void FillDeviceGrid(GridModel& grid, const DeviceTable& devices);

// The state written for a terminal state under the device's in/out mode.
int32_t StateToWrite(const std::string& inOutMode, int32_t terminalState);
// The 31-character line of one record (longer when the state has more digits).
std::string RecordLine(int32_t userNumber, int32_t state, int32_t year, int32_t month, int32_t day,
                       int32_t hour, int32_t minute);
// YYYYMMDD.NNN
std::string BackupFileName(const std::tm& today, int32_t deviceNumber);

// What the transfer asks of whoever shows it.
class TransferView {
public:
    virtual ~TransferView() = default;
    // "Repaint the grid at once".
    virtual void RepaintGrid() = 0;
};

struct TransferSettings {
    std::string programFolder;                  // holds yedekler/
    std::string recordFilePath;                 // relative paths: the current directory
    std::function<bool()> deleteAfterTransfer;  // read at the moment it matters
    std::function<std::tm()> today;             // the PC's local date
    FileSystem* fileSystem = &RealFileSystem();
};

struct DeviceOutcome {
    enum class Result { NotTicked, NotContacted, Connected, ConnectFailed, LoadFailed, WriteFailed };
    int number = 0;
    Result result = Result::NotTicked;
    int64_t recordsWritten = 0;
    bool logErased = false;
    std::string error;
};

class AttendanceTransfer {
public:
    AttendanceTransfer(GridModel& grid, const DeviceTable& devices, TerminalLink& link, TransferView& view,
                       TransferSettings settings);

    // "Bilgileri Aktar": visits every ticked row in grid order. An error that
    // ends the whole transfer (a conversion error, a refused record file)
    // closes the files and disconnects before it is rethrown.
    void Run();

    int32_t transferRow() const { return transferRow_; }
    const std::vector<DeviceOutcome>& outcomes() const { return outcomes_; }

private:
    void TransferDevice(int32_t machineNumber, const std::string& inOutMode, DeviceOutcome& outcome);

    GridModel& grid_;
    const DeviceTable& devices_;
    TerminalLink& link_;
    TransferView& view_;
    TransferSettings settings_;
    int32_t transferRow_ = 0;
    std::vector<DeviceOutcome> outcomes_;
};

}  // namespace aktarim
