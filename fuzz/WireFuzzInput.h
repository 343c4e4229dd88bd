#pragma once
// Turns fuzzer input into a byte stream for a frame decoder. The first byte
// chooses the mode: bit 1 clear, the rest is the raw stream (the decoder's
// resynchronisation); bit 1 set, the rest is a list of records
//   code u8 | address u8 | length u16 (little-endian) | payload
// that become frames with correct checks, so that the payload parsers behind
// the CRCs get exercised too. Address 0 is the terminal's own number, 1 the
// broadcast 0, anything else that number.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "terminal/Frame.h"

namespace aktarim::fuzz {

inline constexpr uint8_t kSerialFlag = 0x01;
inline constexpr uint8_t kStructuredFlag = 0x02;

struct WireInput {
    uint8_t flags = 0;
    std::vector<uint8_t> stream;
};

inline WireInput ReadWireInput(const uint8_t* data, size_t size, int32_t ownMachine) {
    WireInput input;
    if (size == 0) return input;
    input.flags = data[0];
    std::span<const uint8_t> rest(data + 1, size - 1);
    if ((input.flags & kStructuredFlag) == 0) {
        input.stream.assign(rest.begin(), rest.end());
        return input;
    }
    uint16_t seq = 1;
    while (rest.size() >= 4) {
        const uint8_t code = rest[0];
        const uint8_t address = rest[1];
        const size_t length =
            std::min<size_t>(static_cast<size_t>(rest[2] | (rest[3] << 8)), rest.size() - 4);
        const int32_t machine = address == 0 ? ownMachine : address == 1 ? 0 : address;
        wire::AppendFrame(input.stream, machine, code, seq++, rest.subspan(4, length));
        rest = rest.subspan(4 + length);
    }
    return input;
}

}  // namespace aktarim::fuzz
