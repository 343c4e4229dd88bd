#pragma once
// How a device's connection texts become a connection: the rules shared by
// the transfer, the connection tests and the settings commands.
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
std::optional<bool> ConnectByExactType(TerminalLink& link, const ConnectionTexts& texts, SerialOrder order);
// The serial connection alone, converting in the given order.
bool ConnectSerialFromTexts(TerminalLink& link, const ConnectionTexts& texts, SerialOrder order);

}  // namespace aktarim
