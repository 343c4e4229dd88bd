// Any bytes as cihazlar.ini: parsing, the configuration load and a rewrite
// must neither crash nor change lines they did not touch.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/DeviceConfig.h"
#include "core/IniFile.h"
#include "core/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("aktarim-ini-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return (dir / "cihazlar.ini").string();
    }();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    aktarim::IniFile ini(path);
    const aktarim::Configuration config = aktarim::LoadConfiguration(ini);
    if (config.devices.deviceCount() > aktarim::kMaxStoredDevices) std::abort();
    for (int k = 1; k <= config.devices.deviceCount(); ++k)
        for (int f = 0; f < aktarim::kDeviceFieldCount; ++f)
            if (aktarim::Utf8Length(config.devices.at(k).fields[f]) >
                aktarim::kDeviceFields[f].maxLength)
                std::abort();

    ini.WriteString("ayarlar", "dosya", "a\r\n[x]\r\ny=z");
    aktarim::IniFile reread(path);
    if (reread.ReadString("ayarlar", "dosya", "") != "a  [x]  y=z") std::abort();
    // Written twice, the file must be stable.
    if (reread.Serialize() != ini.Serialize()) std::abort();
    return 0;
}
