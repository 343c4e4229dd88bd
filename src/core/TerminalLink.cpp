#include "core/TerminalLink.h"

namespace aktarim {

std::string_view LinkFailureKindText(LinkFailureKind kind) {
    switch (kind) {
        case LinkFailureKind::None:
            return "";
        case LinkFailureKind::NotConnected:
            return "Bağlantı yok";
        case LinkFailureKind::ConnectFailed:
            return "Bağlantı kurulamadı";
        case LinkFailureKind::Timeout:
            return "Zaman aşımı";
        case LinkFailureKind::ConnectionClosed:
            return "Bağlantı koptu";
        case LinkFailureKind::Protocol:
            return "Protokol hatası";
        case LinkFailureKind::WrongMachine:
            return "Yanlış makine numarası";
        case LinkFailureKind::Refused:
            return "Cihaz isteği reddetti";
    }
    return "";
}

namespace {

uint64_t Pair(int32_t low, int32_t high) {
    return static_cast<uint64_t>(static_cast<uint32_t>(low)) |
           (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32);
}

}  // namespace

uint64_t RecordsDigest(std::span<const AttendanceValues> records) {
    // The five products of a record are independent of each other, so only
    // two multiplications per record wait for the one before: a log of
    // 100,000 records takes well under a millisecond.
    constexpr uint64_t k0 = 0x9E3779B97F4A7C15ull, k1 = 0xC2B2AE3D27D4EB4Full,
                       k2 = 0x165667B19E3779F9ull, k3 = 0xD6E8FEB86659FD93ull,
                       k4 = 0xFF51AFD7ED558CCDull;
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const AttendanceValues& r : records) {
        uint64_t value = Pair(r.machineNumber, r.userNumber) * k0 +
                         Pair(r.enrolMachine, r.verifyMode) * k1 + Pair(r.inOutState, r.year) * k2 +
                         Pair(r.month, r.day) * k3 + Pair(r.hour, r.minute) * k4;
        value ^= value >> 29;
        hash = (hash ^ value) * k4;
        hash ^= hash >> 32;
    }
    return hash;
}

std::string LinkFailureText(const LinkFailure& failure) {
    std::string text(LinkFailureKindText(failure.kind));
    if (!failure.detail.empty()) text += (text.empty() ? "" : ": ") + failure.detail;
    return text;
}

}  // namespace aktarim
