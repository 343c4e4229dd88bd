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

std::string LinkFailureText(const LinkFailure& failure) {
    std::string text(LinkFailureKindText(failure.kind));
    if (!failure.detail.empty()) text += (text.empty() ? "" : ": ") + failure.detail;
    return text;
}

}  // namespace aktarim
