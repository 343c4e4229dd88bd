#include "core/DeviceConfig.h"

#include "core/IniFile.h"
#include "core/Text.h"

namespace aktarim {

const std::array<DeviceFieldInfo, kDeviceFieldCount> kDeviceFields = {{
    {"adi", 20},
    {"baglantitipi", 10},
    {"makineno", 5},
    {"portno", 5},
    {"baudrate", 6},
    {"ipadres", 16},
    {"ipport", 5},
    {"parola", 6},
    {"gcdurum", 20},
}};

void DeviceRecord::Set(DeviceField field, std::string_view value) {
    fields[field] = Utf8Left(value, kDeviceFields[field].maxLength);
}

std::string DeviceSectionName(int number) { return "cihaz" + std::to_string(number); }

Configuration LoadConfiguration(const IniFile& ini) {
    Configuration config;
    const std::string path = ini.ReadString(kSettingsSection, kRecordFileKey, kDefaultRecordFile);
    config.recordFilePath = TrimBlanks(path).empty() ? std::string(kDefaultRecordFile) : path;
    config.deleteAfterTransfer = ini.ReadString(kSettingsSection, kDeleteAfterKey, "1") == "1";
    config.newOnly = ini.ReadString(kSettingsSection, kNewOnlyKey, "0") == "1";
    for (int n = 1; n <= kMaxStoredDevices; ++n) {
        const std::string section = DeviceSectionName(n);
        if (!ini.SectionExists(section)) continue;
        DeviceRecord& record = config.devices.Append();
        for (int f = 0; f < kDeviceFieldCount; ++f) {
            const char* fallback = f == kFieldName ? "deneme" : "";
            record.Set(static_cast<DeviceField>(f),
                       ini.ReadString(section, kDeviceFields[f].key, fallback));
        }
    }
    return config;
}

void SaveDevices(IniFile& ini, int count, const CellReader& cell) {
    IniFile::Group group(ini, IniFile::Group::Abandon::Discard);
    for (int n = 1; n <= kMaxStoredDevices; ++n) {
        const std::string section = DeviceSectionName(n);
        if (ini.SectionExists(section)) ini.EraseSection(section);
    }
    for (int r = 1; r <= count; ++r) {
        const std::string section = DeviceSectionName(r);
        for (int f = 0; f < kDeviceFieldCount; ++f)
            ini.WriteString(section, kDeviceFields[f].key, cell(f, r - 1));
    }
    group.Commit();
}

void WriteRecordFileOption(IniFile& ini, Configuration& config, std::string_view path) {
    config.recordFilePath = std::string(path);
    ini.WriteString(kSettingsSection, kRecordFileKey, path);
}

void WriteDeleteOption(IniFile& ini, bool ticked) {
    ini.WriteString(kSettingsSection, kDeleteAfterKey, ticked ? "1" : "0");
}

}  // namespace aktarim
