#pragma once
// The settings window's clock commands on one device, without a window:
// what a script or a scheduled job needs of "Tarih Oku" and "Tarih Kaydet".
#include <functional>
#include <string>

#include "core/DeviceConfig.h"
#include "core/IniFile.h"
#include "core/TerminalLink.h"

namespace aktarim {

struct DeviceClockResult {
    bool connected = false;  // the connection stood
    bool answered = false;   // the terminal answered the clock request
    std::string status;      // the status cell's text, as the window shows it
    std::string clockText;   // the terminal's clock as the window shows it
};

// Reads the terminal clock of device `number` (1-based), or sets it to the
// PC's time first. Runs the window's own commands on a grid built from the
// device table; neither is written back, so cihazlar.ini is not touched.
// Messages the window would show go to showMessage. Errors of the commands
// (a cell that is not a number) propagate after the link is closed.
DeviceClockResult RunDeviceClock(Configuration& config, IniFile& configFile, TerminalLink& link,
                                 int number, bool setToPcTime,
                                 const std::function<void(const std::string&)>& showMessage);

}  // namespace aktarim
