#pragma once
// The device table and the options of cihazlar.ini.
#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace aktarim {

class IniFile;

enum DeviceField : int {
    kFieldName = 0,
    kFieldConnectionType,
    kFieldMachineNumber,
    kFieldPort,
    kFieldBaudRate,
    kFieldIpAddress,
    kFieldIpPort,
    kFieldPassword,
    kFieldInOutMode,
    kDeviceFieldCount
};

struct DeviceFieldInfo {
    const char* key;   // INI key
    size_t maxLength;  // in characters
};
extern const std::array<DeviceFieldInfo, kDeviceFieldCount> kDeviceFields;

inline constexpr int kMaxStoredDevices = 256;
inline constexpr const char* kSettingsSection = "ayarlar";
inline constexpr const char* kRecordFileKey = "dosya";
inline constexpr const char* kDeleteAfterKey = "silkontrol";
inline constexpr const char* kNewOnlyKey = "sadeceyeni";
inline constexpr const char* kDefaultRecordFile = "qb400.txt";
inline constexpr const char* kConfigFileName = "cihazlar.ini";

// One configured terminal; every field is text, cut to its maximum length.
struct DeviceRecord {
    std::array<std::string, kDeviceFieldCount> fields;

    const std::string& name() const { return fields[kFieldName]; }
    const std::string& connectionType() const { return fields[kFieldConnectionType]; }
    const std::string& machineNumber() const { return fields[kFieldMachineNumber]; }
    const std::string& port() const { return fields[kFieldPort]; }
    const std::string& baudRate() const { return fields[kFieldBaudRate]; }
    const std::string& ipAddress() const { return fields[kFieldIpAddress]; }
    const std::string& ipPort() const { return fields[kFieldIpPort]; }
    const std::string& password() const { return fields[kFieldPassword]; }
    const std::string& inOutMode() const { return fields[kFieldInOutMode]; }

    // Stores value cut to the field's width.
    void Set(DeviceField field, std::string_view value);
};

// Devices numbered from 1; device k is at(k).
class DeviceTable {
  public:
    int deviceCount() const { return static_cast<int>(records_.size()); }
    DeviceRecord& at(int number) { return records_.at(static_cast<size_t>(number - 1)); }
    const DeviceRecord& at(int number) const {
        return records_.at(static_cast<size_t>(number - 1));
    }
    DeviceRecord& Append() { return records_.emplace_back(); }
    void RemoveLast() { records_.pop_back(); }
    void Resize(int count) { records_.resize(static_cast<size_t>(count)); }
    void Clear() { records_.clear(); }

  private:
    std::vector<DeviceRecord> records_;
};

struct Configuration {
    std::string recordFilePath = kDefaultRecordFile;
    bool deleteAfterTransfer = true;  // the option silkontrol
    bool newOnly = false;             // the option sadeceyeni: write only new records, never erase
    DeviceTable devices;
};

// Reads the two options and the device sections cihaz1..cihaz256 (missing
// ones skipped, the rest renumbered densely). Never writes.
Configuration LoadConfiguration(const IniFile& ini);

// The text of a cell of the settings grid, by column and row.
using CellReader = std::function<std::string(int column, int row)>;

// Rewrites the device sections from rows 0..count-1 (columns 0..8, whole
// texts) as one replacement of the file; other sections are kept.
void SaveDevices(IniFile& ini, int count, const CellReader& cell);

void WriteRecordFileOption(IniFile& ini, Configuration& config, std::string_view path);
void WriteDeleteOption(IniFile& ini, bool ticked);

std::string DeviceSectionName(int number);

}  // namespace aktarim
