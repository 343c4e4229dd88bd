#pragma once
// The byte pipes under the wire protocol: a TCP connection or a serial port.
// Every call takes a deadline and gives up when it passes; nothing here knows
// about frames. Serial-only settings are made when the port is opened, so
// the protocol code above is written once for both.
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace aktarim {

enum class IoStatus { Ok, Timeout, Closed };

class Transport {
  public:
    using Clock = std::chrono::steady_clock;
    virtual ~Transport() = default;

    // Reads what is there (at least one byte) into buffer, waiting until the
    // deadline at most.
    virtual IoStatus Read(std::span<uint8_t> buffer, Clock::time_point deadline,
                          size_t& received) = 0;
    virtual IoStatus Write(std::span<const uint8_t> bytes, Clock::time_point deadline) = 0;
};

// nullptr when the address is not a numeric IPv4/IPv6 address or the
// connection cannot be made before the deadline; error then says why.
std::unique_ptr<Transport> ConnectTcp(const std::string& address, uint16_t port,
                                      Transport::Clock::time_point deadline, std::string& error);
// Opens the device raw, 8N1, at the given rate and drops whatever was waiting
// in its buffers; nullptr when it cannot be opened or the rate is not one
// the port supports, and error says why.
std::unique_ptr<Transport> OpenSerial(const std::string& device, int32_t baudRate,
                                      std::string& error);

}  // namespace aktarim
