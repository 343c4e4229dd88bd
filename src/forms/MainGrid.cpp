#include "forms/MainGrid.h"

#include <type_traits>

namespace aktarim {

std::vector<GridColumn> MainGridColumns() {
    return {
        MakeColumn("Bağlan", ColumnKind::Check, 51, true, Alignment::Centre),
        MakeColumn("Cihaz Adı", ColumnKind::Text, 122, false),
        MakeColumn("Bağlantı Şekli", ColumnKind::Text, 238, false),
        MakeColumn("Transfer Durumu", ColumnKind::Progress, 105, false),
        MakeColumn("Durum", ColumnKind::Picture, 72, false, Alignment::Centre),
    };
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

std::vector<int> StartTransferInGrid(GridModel& grid) {
    std::vector<int> ticked;
    for (int row = 0; row < grid.RowCount(); ++row) {
        grid.SetValue(kMainColumnStatus, row, kPictureNone);
        grid.SetToolTip(kMainColumnStatus, row, {});
        grid.SetValue(kMainColumnProgress, row, 0);
        if (grid.Checked(kMainColumnTick, row)) ticked.push_back(row + 1);
    }
    return ticked;
}

StatusPicture PictureFor(const DeviceOutcome& outcome) {
    switch (outcome.result) {
        case DeviceOutcome::Result::NotContacted:
            return kPictureNone;
        case DeviceOutcome::Result::Connected:
            return kPictureConnected;
        case DeviceOutcome::Result::ConnectFailed:
            return kPictureFailed;
        case DeviceOutcome::Result::LoadFailed:
        case DeviceOutcome::Result::WriteFailed:
            return kPictureNotTaken;
    }
    return kPictureNone;
}

void ShowTransferEvent(GridModel& grid, const TransferEvent& event) {
    std::visit(
        [&grid](const auto& e) {
            using Event = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<Event, DeviceConnected>) {
                grid.SetValue(kMainColumnStatus, e.device - 1, kPictureConnected);
            } else if constexpr (std::is_same_v<Event, RecordProgress>) {
                grid.SetValue(kMainColumnProgress, e.device() - 1, e.percent());
            } else if constexpr (std::is_same_v<Event, DeviceFinished>) {
                const DeviceOutcome& outcome = e.outcome;
                const int row = outcome.number - 1;
                // A device that failed after its lines were counted shows no
                // progress: nothing of it was written.
                if (outcome.result == DeviceOutcome::Result::LoadFailed ||
                    outcome.result == DeviceOutcome::Result::WriteFailed)
                    grid.SetValue(kMainColumnProgress, row, 0);
                grid.SetValue(kMainColumnStatus, row, PictureFor(outcome));
                grid.SetToolTip(kMainColumnStatus, row, outcome.error);
            }
        },
        event);
}

}  // namespace aktarim
