#include "terminal/LinkOptions.h"

#include <algorithm>
#include <string_view>

#include "core/IniFile.h"
#include "core/Text.h"

namespace aktarim {
namespace {

constexpr int32_t kLongestTimeoutMs = 600000;

void ReadTimeout(const IniFile& ini, std::string_view key, std::chrono::milliseconds& value) {
    const std::string text = ini.ReadString("zamanasimi", key, "");
    if (text.empty()) return;
    value = std::chrono::milliseconds(std::clamp(StrToInt(text), 1, kLongestTimeoutMs));
}

}  // namespace

std::array<std::string, 4> LinkOptions::DefaultSerialDevices() {
#ifdef _WIN32
    return {"COM1", "COM2", "COM3", "COM4"};
#else
    return {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
#endif
}

LinkOptions LoadLinkOptions(const IniFile& ini) {
    LinkOptions options;
    for (size_t i = 0; i < options.serialDevices.size(); ++i) {
        const std::string device = ini.ReadString("seriport", "com" + std::to_string(i + 1), "");
        if (!device.empty()) options.serialDevices[i] = device;
    }
    ReadTimeout(ini, "baglanti", options.connectTimeout);
    ReadTimeout(ini, "istek", options.requestTimeout);
    ReadTimeout(ini, "bekleme", options.idleTimeout);
    return options;
}

}  // namespace aktarim
