#pragma once
// Tuning of the wire link: its timeouts and the device behind each serial
// port number. Read from cihazlar.ini:
//
//   [seriport]    com1 .. com4 = device path (default /dev/ttyS0-3, on Windows COM1-4)
//   [zamanasimi]  baglanti = connect, istek = per request, bekleme = between
//                 the frames of a bulk transfer (all in ms)
#include <array>
#include <chrono>
#include <memory>
#include <string>

namespace aktarim {

class IniFile;
class WireTrace;

struct LinkOptions {
    // Connecting, handshake included.
    std::chrono::milliseconds connectTimeout{3000};
    // From sending a request until its reply is whole.
    std::chrono::milliseconds requestTimeout{5000};
    // From one whole frame of a bulk transfer to the next (a long transfer
    // goes on as long as frames keep coming). A serial line adds the time it
    // needs to carry a frame.
    std::chrono::milliseconds idleTimeout{3000};
    // Device of serial port 1..4.
    std::array<std::string, 4> serialDevices = DefaultSerialDevices();
    // Where the frames are traced (--trace FILE); none by default. Never read
    // from cihazlar.ini: the program that opened the trace sets it.
    std::shared_ptr<WireTrace> trace;

    static std::array<std::string, 4> DefaultSerialDevices();
};

// Keys that are missing or empty keep the default. A timeout that is not an
// integer raises the usual conversion error; one outside 1..600000 ms is
// brought into that range.
LinkOptions LoadLinkOptions(const IniFile& ini);

}  // namespace aktarim
