#include "core/TerminalLink.h"

namespace aktarim {

std::string_view LinkFailureKindText(LinkFailureKind kind) {
    switch (kind) {
        case LinkFailureKind::None: return "";
        case LinkFailureKind::NotConnected: return "Bağlantı yok";
        case LinkFailureKind::ConnectFailed: return "Bağlantı kurulamadı";
        case LinkFailureKind::Timeout: return "Zaman aşımı";
        case LinkFailureKind::ConnectionClosed: return "Bağlantı koptu";
        case LinkFailureKind::Protocol: return "Protokol hatası";
        case LinkFailureKind::WrongMachine: return "Yanlış makine numarası";
        case LinkFailureKind::Refused: return "Cihaz isteği reddetti";
    }
    return "";
}

uint64_t RecordsDigest(std::span<const AttendanceValues> records) {
    uint64_t hash = 14695981039346656037ull;
    for (const AttendanceValues& r : records) {
        for (const int32_t value : {r.machineNumber, r.userNumber, r.enrolMachine, r.verifyMode,
                                    r.inOutState, r.year, r.month, r.day, r.hour, r.minute}) {
            const auto bits = static_cast<uint32_t>(value);
            for (int shift = 0; shift < 32; shift += 8) {
                hash ^= static_cast<uint8_t>(bits >> shift);
                hash *= 1099511628211ull;
            }
        }
    }
    return hash;
}

std::string LinkFailureText(const LinkFailure& failure) {
    std::string text(LinkFailureKindText(failure.kind));
    if (!failure.detail.empty()) text += (text.empty() ? "" : ": ") + failure.detail;
    return text;
}

}  // namespace aktarim
