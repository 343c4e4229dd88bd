#include "core/DeviceConnect.h"

#include "core/TerminalLink.h"
#include "core/Text.h"

namespace aktarim {

ConnectionTexts ConnectionTexts::FromRecord(const DeviceRecord& device) {
    return {device.connectionType(), device.machineNumber(), device.port(),
            device.baudRate(),       device.ipAddress(),     device.ipPort()};
}

int32_t PortNumberFromFourthChar(const std::string& port) { return StrToInt(Utf8CharAt(port, 4)); }

std::optional<int32_t> PortNumberFromName(const std::string& port) {
    static const char* const kNames[] = {"Com1", "Com2", "Com3", "Com4"};
    for (int32_t i = 0; i < 4; ++i)
        if (port == kNames[i]) return i + 1;
    return std::nullopt;
}

bool ConnectSerialFromTexts(TerminalLink& link, const ConnectionTexts& texts, SerialOrder order) {
    const int32_t baud = StrToInt(texts.baudRate);
    int32_t machine = 0;
    int32_t port = 0;
    if (order == SerialOrder::BaudPortMachine) {
        port = PortNumberFromFourthChar(texts.port);
        machine = StrToInt(texts.machineNumber);
    } else {
        machine = StrToInt(texts.machineNumber);
        port = PortNumberFromFourthChar(texts.port);
    }
    return link.ConnectSerial(port, machine, baud);
}

std::optional<bool> ConnectByExactType(TerminalLink& link, const ConnectionTexts& texts,
                                       SerialOrder order) {
    if (texts.type == kEthernet) {
        const int32_t port = StrToInt(texts.ipPort);
        return link.ConnectNetwork(texts.ipAddress, port);
    }
    if (texts.type == kCommPort) return ConnectSerialFromTexts(link, texts, order);
    return std::nullopt;
}

bool ConnectEthernetOrSerial(TerminalLink& link, const ConnectionTexts& texts) {
    if (texts.type == kEthernet)
        return link.ConnectNetwork(texts.ipAddress, StrToInt(texts.ipPort));
    return ConnectSerialFromTexts(link, texts, SerialOrder::BaudMachinePort);
}

LinkParameters LinkParametersFromTexts(const ConnectionTexts& texts) {
    LinkParameters p;
    p.linkType = texts.type == kEthernet ? 1 : 2;
    p.linkIpAddress = Utf8Left(texts.ipAddress, 20);
    p.linkIpPort = StrToInt(texts.ipPort);
    p.linkBaudRate = StrToInt(texts.baudRate);
    p.linkMachineNumber = StrToInt(texts.machineNumber);
    if (auto port = PortNumberFromName(texts.port)) p.linkComPort = *port;
    return p;
}

bool ConnectWithLinkParameters(TerminalLink& link, const LinkParameters& p) {
    const bool network = p.linkType == 1;
    const bool connected =
        network ? link.ConnectNetwork(p.linkIpAddress, p.linkIpPort)
                : link.ConnectSerial(p.linkComPort, p.linkMachineNumber, p.linkBaudRate);
    if (connected) link.SetLinkValue(p.linkMachineNumber, network ? 1 : 2000);
    return connected;
}

}  // namespace aktarim
