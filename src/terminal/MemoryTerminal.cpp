#include "terminal/MemoryTerminal.h"

#include "core/Platform.h"

namespace aktarim {

MemoryTerminal::MemoryTerminal(TerminalState state) : state_(std::move(state)) {}

std::optional<int32_t> MemoryTerminal::StatusValue(int32_t item) const {
    switch (item) {
        case 1: {
            int32_t admins = 0;
            for (const auto& [number, user] : state_.users)
                if (user.privilege > 0) ++admins;
            return admins;
        }
        case kStatusUserCount:
            return static_cast<int32_t>(state_.users.size());
        case 3:
            return static_cast<int32_t>(state_.templates.size());
        case kStatusRecordCount:
            return static_cast<int32_t>(state_.log.size());
        default:
            return std::nullopt;
    }
}

std::vector<TerminalUser> MemoryTerminal::Users() const {
    std::vector<TerminalUser> users;
    users.reserve(state_.users.size());
    for (const auto& [number, user] : state_.users) users.push_back(user);
    return users;
}

std::optional<TerminalUser> MemoryTerminal::ReadUser(int32_t number) const {
    const auto it = state_.users.find(number);
    if (it == state_.users.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> MemoryTerminal::ReadTemplate(int32_t user, int32_t finger) const {
    const auto it = state_.templates.find({user, finger});
    if (it == state_.templates.end()) return std::nullopt;
    return it->second;
}

std::vector<std::pair<std::pair<int32_t, int32_t>, std::string>> MemoryTerminal::Templates() const {
    return {state_.templates.begin(), state_.templates.end()};
}

ClockValue MemoryTerminal::Clock(std::time_t pcNow) const {
    const std::time_t t = pcNow + static_cast<std::time_t>(state_.clockOffsetSeconds);
    const std::tm local = LocalTime(t);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

void MemoryTerminal::ClearAttendanceLog() { state_.log.clear(); }

AttendanceValues MemoryTerminal::ValuesOf(const AttendanceEntry& entry) const {
    AttendanceValues values;
    values.machineNumber = state_.machineNumber;
    values.userNumber = entry.user;
    values.enrolMachine = state_.machineNumber;
    values.verifyMode = entry.verify;
    values.inOutState = entry.state;
    values.year = entry.year;
    values.month = entry.month;
    values.day = entry.day;
    values.hour = entry.hour;
    values.minute = entry.minute;
    return values;
}

bool MemoryTerminal::LogBeginsWith(uint32_t count, uint64_t digest) const {
    if (count > state_.log.size()) return false;
    std::vector<AttendanceValues> values;
    values.reserve(count);
    for (uint32_t i = 0; i < count; ++i) values.push_back(ValuesOf(state_.log[i]));
    return RecordsDigest(values) == digest;
}

bool MemoryTerminal::ClearFirstRecords(uint32_t count, uint64_t digest) {
    if (!LogBeginsWith(count, digest)) return false;
    state_.log.erase(state_.log.begin(), state_.log.begin() + static_cast<ptrdiff_t>(count));
    return true;
}

void MemoryTerminal::ClearAdministrators() {
    for (auto& [number, user] : state_.users) user.privilege = 0;
}

void MemoryTerminal::ClearAllData() {
    state_.users.clear();
    state_.templates.clear();
    state_.log.clear();
}

bool MemoryTerminal::WriteUser(int32_t number, const std::string& name, const std::string& password,
                               int32_t privilege, bool enabled) {
    TerminalUser& user = state_.users[number];
    user.number = number;
    user.name = name;
    user.password = password;
    user.privilege = privilege;
    user.enabled = enabled;
    return true;
}

bool MemoryTerminal::DeleteUser(int32_t number) {
    const bool existed = state_.users.erase(number) > 0;
    for (int32_t f = 0; f < kFingersPerUser; ++f) state_.templates.erase({number, f});
    return existed;
}

bool MemoryTerminal::WriteTemplate(int32_t user, int32_t finger, const std::string& text) {
    if (finger < 0 || finger >= kFingersPerUser || state_.users.count(user) == 0) return false;
    state_.templates[{user, finger}] = text;
    return true;
}

bool MemoryTerminal::DeleteTemplate(int32_t user, int32_t finger) {
    return state_.templates.erase({user, finger}) > 0;
}

void MemoryTerminal::SetClock(const ClockValue& value, std::time_t pcNow) {
    std::tm wanted{};
    wanted.tm_year = value.year - 1900;
    wanted.tm_mon = value.month - 1;
    wanted.tm_mday = value.day;
    wanted.tm_hour = value.hour;
    wanted.tm_min = value.minute;
    wanted.tm_sec = value.second;
    wanted.tm_isdst = -1;
    const std::time_t t = std::mktime(&wanted);
    if (t != static_cast<std::time_t>(-1))
        state_.clockOffsetSeconds = static_cast<int64_t>(t - pcNow);
}

void MemoryTerminal::AppendRecord(const AttendanceEntry& entry) { state_.log.push_back(entry); }

}  // namespace aktarim
