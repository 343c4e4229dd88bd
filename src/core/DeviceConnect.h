#pragma once
// How a device's connection texts become a connection. Three windows grew
// three slightly different rules; they sit here side by side so that their
// differences stay deliberate:
//   ConnectByExactType       the transfer and the connection tests: exact
//                            "Ethernet" or exact "Comm Port", else no attempt;
//   ConnectEthernetOrSerial  the settings window's commands: exact
//                            "Ethernet", any other type over the serial port;
//   ConnectWithLinkParameters the personnel window: the parameters filled from
//                            the settings row (port by name "Com1".."Com4",
//                            at most 20 characters of IP address).
#include <cstdint>
#include <optional>
#include <string>

#include "core/DeviceConfig.h"

namespace aktarim {

class TerminalLink;

inline constexpr const char* kEthernet = "Ethernet";
inline constexpr const char* kCommPort = "Comm Port";

// The connection values of a device, all still text.
struct ConnectionTexts {
    std::string type;
    std::string machineNumber;
    std::string port;
    std::string baudRate;
    std::string ipAddress;
    std::string ipPort;

    static ConnectionTexts FromRecord(const DeviceRecord& device);
};

// Port number from the fourth character of the port text ("Com3" gives 3);
// throws the conversion error when that is not a digit.
int32_t PortNumberFromFourthChar(const std::string& port);
// "Com1".."Com4" give 1..4; any other text gives nullopt.
std::optional<int32_t> PortNumberFromName(const std::string& port);

// The order in which a serial connection converts its texts decides which
// error a row with several bad cells shows.
enum class SerialOrder { BaudPortMachine, BaudMachinePort };

// Exact "Ethernet" tries the network, exact "Comm Port" the serial port;
// any other type makes no attempt (nullopt). Conversion errors throw before
// the terminal is contacted.
std::optional<bool> ConnectByExactType(TerminalLink& link, const ConnectionTexts& texts,
                                       SerialOrder order);
// The serial connection alone, converting in the given order.
bool ConnectSerialFromTexts(TerminalLink& link, const ConnectionTexts& texts, SerialOrder order);

// Exact "Ethernet" tries the network; any other type the serial port, the
// machine number converted before the port.
bool ConnectEthernetOrSerial(TerminalLink& link, const ConnectionTexts& texts);

// What the personnel window is handed to reach one device.
struct LinkParameters {
    int32_t linkType = 0;       // 1 Ethernet, 2 any other type text
    std::string linkIpAddress;  // at most 20 characters
    int32_t linkIpPort = 0;
    int32_t linkComPort = 0;  // 0 when the port is no "Com1".."Com4"
    int32_t linkBaudRate = 0;
    int32_t linkMachineNumber = 0;
};
// Every integer is converted whatever the connection type (conversion error
// on the first that is no number: IP port, baud rate, machine number).
LinkParameters LinkParametersFromTexts(const ConnectionTexts& texts);
// Connects by the parameters and, once connected, sets the link value of the
// connection's kind (1 network, 2000 serial).
bool ConnectWithLinkParameters(TerminalLink& link, const LinkParameters& parameters);

}  // namespace aktarim
