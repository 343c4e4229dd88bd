#pragma once
// The main window's device grid: its columns, its rows filled from the
// device table, and how the transfer's events show in it.
#include <optional>
#include <vector>

#include "core/DeviceConfig.h"
#include "core/GridModel.h"
#include "core/Transfer.h"

namespace aktarim {

enum MainGridColumn : int {
    kMainColumnTick = 0,
    kMainColumnName,
    kMainColumnConnection,
    kMainColumnProgress,
    kMainColumnStatus,
};
// Pictures of the "Durum" column.
enum StatusPicture : int {
    kPictureNone = 0,
    kPictureConnected = 1,
    kPictureFailed = 2,    // no connection
    kPictureNotTaken = 3,  // connected, but the log was not taken
};

std::vector<GridColumn> MainGridColumns();
// Gives the grid one row per device, ticked, with name, description and
// picture 0 (progress untouched on existing rows).
void FillDeviceGrid(GridModel& grid, const DeviceTable& devices);

// "Bilgileri Aktar"'s first step: every picture and progress bar back to 0,
// every reason gone. Returns the ticked devices' numbers, in row order.
std::vector<int> StartTransferInGrid(GridModel& grid);

// The picture a finished device shows.
StatusPicture PictureFor(const DeviceOutcome& outcome);

// Shows one event in the device's row (row = device number - 1).
void ShowTransferEvent(GridModel& grid, const TransferEvent& event);

}  // namespace aktarim
