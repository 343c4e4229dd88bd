#pragma once
// How the windows connect to the terminal of one configured device: the
// shared connection state, the settings grid's current row, and the link
// parameters that hand one device to the personnel window.
#include <cstdint>
#include <functional>
#include <string>

#include "core/DeviceConnect.h"

namespace aktarim {

class GridModel;
class TerminalLink;

// Columns of the settings window's device grid: the nine device fields in
// their order, then the status column.
inline constexpr int kSettingsColumnStatus = 9;

struct ConnectionState {
    int selectedRow = 1;  // 1-based current row of the settings grid
    bool settingsConnected = false;
    int32_t currentMachineNumber = 0;
    bool personnelConnected = false;
    LinkParameters link;
};

inline constexpr const char* kConnectFailedText = "Bağlantı Kurulamadı";
inline constexpr const char* kConnectedText = "Bağlantı Kuruldu";

// Connects the settings link to the terminal of the current row: "Ethernet"
// over the network, any other type over the serial port. Leaves the outcome
// in settingsConnected (and currentMachineNumber on success), writes the
// failure text into the row's status cell and repaints. The connection stays
// open for the caller's command.
void ConnectSelectedDevice(TerminalLink& link, GridModel& grid, ConnectionState& state,
                           const std::function<void()>& repaintGrid);

// Fills the link parameters from a row of the settings grid; every integer
// is converted whatever the connection type.
void FillLinkParameters(const GridModel& grid, int row, LinkParameters& parameters);

// The personnel window's connection. On failure shows "Bağlantı Kurulamadı"
// through showMessage and returns false.
bool ConnectFromLinkParameters(TerminalLink& link, ConnectionState& state,
                               const std::function<void(const std::string&)>& showMessage);

}  // namespace aktarim
