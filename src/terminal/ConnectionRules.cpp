#include "terminal/ConnectionRules.h"

#include "core/DeviceConnect.h"
#include "core/DeviceConfig.h"
#include "core/GridModel.h"
#include "core/Text.h"
#include "core/TerminalLink.h"

namespace aktarim {
namespace {

ConnectionTexts RowTexts(const GridModel& grid, int row) {
    return {grid.Text(kFieldConnectionType, row), grid.Text(kFieldMachineNumber, row), grid.Text(kFieldPort, row),
            grid.Text(kFieldBaudRate, row),       grid.Text(kFieldIpAddress, row),     grid.Text(kFieldIpPort, row)};
}

}  // namespace

void ConnectSelectedDevice(TerminalLink& link, GridModel& grid, ConnectionState& state,
                           const std::function<void()>& repaintGrid) {
    const int row = state.selectedRow - 1;
    state.settingsConnected = false;
    const ConnectionTexts texts = RowTexts(grid, row);
    bool connected = false;
    if (texts.type == kEthernet) {
        const int32_t port = StrToInt(texts.ipPort);
        connected = link.ConnectNetwork(texts.ipAddress, port);
    } else {
        connected = ConnectSerialFromTexts(link, texts, SerialOrder::BaudMachinePort);
    }
    if (connected) {
        state.settingsConnected = true;
        state.currentMachineNumber = StrToInt(grid.Text(kFieldMachineNumber, row));
    } else {
        grid.SetText(kSettingsColumnStatus, row, kConnectFailedText);
    }
    if (repaintGrid) repaintGrid();
}

void FillLinkParameters(const GridModel& grid, int row, LinkParameters& p) {
    p.linkType = grid.Text(kFieldConnectionType, row) == kEthernet ? 1 : 2;
    p.linkIpAddress = Utf8Left(grid.Text(kFieldIpAddress, row), 20);
    p.linkIpPort = StrToInt(grid.Text(kFieldIpPort, row));
    p.linkBaudRate = StrToInt(grid.Text(kFieldBaudRate, row));
    p.linkMachineNumber = StrToInt(grid.Text(kFieldMachineNumber, row));
    if (auto port = PortNumberFromName(grid.Text(kFieldPort, row))) p.linkComPort = *port;
}

bool ConnectFromLinkParameters(TerminalLink& link, ConnectionState& state,
                               const std::function<void(const std::string&)>& showMessage) {
    const LinkParameters& p = state.link;
    state.personnelConnected = false;
    state.currentMachineNumber = p.linkMachineNumber;
    const bool network = p.linkType == 1;
    const bool connected = network ? link.ConnectNetwork(p.linkIpAddress, p.linkIpPort)
                                   : link.ConnectSerial(p.linkComPort, p.linkMachineNumber, p.linkBaudRate);
    if (!connected) {
        if (showMessage) showMessage(kConnectFailedText);
        return false;
    }
    link.SetLinkValue(p.linkMachineNumber, network ? 1 : 2000);
    state.personnelConnected = true;
    return true;
}

}  // namespace aktarim
