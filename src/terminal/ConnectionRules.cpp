#include "terminal/ConnectionRules.h"

#include "core/DeviceConfig.h"
#include "core/DeviceConnect.h"
#include "core/GridModel.h"
#include "core/TerminalLink.h"
#include "core/Text.h"

namespace aktarim {
namespace {

ConnectionTexts RowTexts(const GridModel& grid, int row) {
    return {grid.Text(kFieldConnectionType, row), grid.Text(kFieldMachineNumber, row),
            grid.Text(kFieldPort, row),           grid.Text(kFieldBaudRate, row),
            grid.Text(kFieldIpAddress, row),      grid.Text(kFieldIpPort, row)};
}

}  // namespace

void ConnectSelectedDevice(TerminalLink& link, GridModel& grid, ConnectionState& state,
                           const std::function<void()>& repaintGrid) {
    const int row = state.selectedRow - 1;
    state.settingsConnected = false;
    const ConnectionTexts texts = RowTexts(grid, row);
    if (ConnectEthernetOrSerial(link, texts)) {
        state.settingsConnected = true;
        state.currentMachineNumber = StrToInt(grid.Text(kFieldMachineNumber, row));
    } else {
        grid.SetText(kSettingsColumnStatus, row, kConnectFailedText);
    }
    if (repaintGrid) repaintGrid();
}

void FillLinkParameters(const GridModel& grid, int row, LinkParameters& p) {
    p = LinkParametersFromTexts(RowTexts(grid, row));
}

bool ConnectFromLinkParameters(TerminalLink& link, ConnectionState& state,
                               const std::function<void(const std::string&)>& showMessage) {
    const LinkParameters& p = state.link;
    state.personnelConnected = false;
    state.currentMachineNumber = p.linkMachineNumber;
    if (!ConnectWithLinkParameters(link, p)) {
        if (showMessage) showMessage(kConnectFailedText);
        return false;
    }
    state.personnelConnected = true;
    return true;
}

}  // namespace aktarim
