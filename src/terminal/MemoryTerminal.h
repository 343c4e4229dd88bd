#pragma once
// The behaviour of one terminal, without any notion of a connection: its
// users, templates, attendance log and clock. The simulator serves it over the
// wire; MemoryLink (below) puts a TerminalLink in front of it for unit tests.
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/TerminalLink.h"

namespace aktarim {

struct TerminalUser {
    int32_t number = 0;
    std::string name;  // UTF-8
    std::string password;
    int32_t privilege = 0;  // 0..3
    bool enabled = true;
    std::string card;
};

struct AttendanceEntry {
    int32_t user = 0;
    int32_t verify = 0;
    int32_t state = 0;
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct ClockValue {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct TerminalState {
    int32_t machineNumber = 1;
    int64_t clockOffsetSeconds = 0;  // terminal clock minus PC clock
    std::map<int32_t, TerminalUser> users;
    std::map<std::pair<int32_t, int32_t>, std::string> templates;  // (user, finger) -> text
    std::vector<AttendanceEntry> log;
};

inline constexpr int kFingersPerUser = 10;

class MemoryTerminal {
  public:
    explicit MemoryTerminal(TerminalState state = {});
    virtual ~MemoryTerminal() = default;

    const TerminalState& state() const { return state_; }
    int32_t machineNumber() const { return state_.machineNumber; }

    // Status items: 1 administrators, 2 users, 3 templates, 6 attendance
    // records; nullopt for an item the terminal does not know.
    std::optional<int32_t> StatusValue(int32_t item) const;

    const std::vector<AttendanceEntry>& AttendanceLog() const { return state_.log; }
    // A record as a load delivers it: this terminal's machine number added.
    AttendanceValues ValuesOf(const AttendanceEntry& entry) const;
    // True when the log begins with `count` records of that digest.
    bool LogBeginsWith(uint32_t count, uint64_t digest) const;
    std::vector<TerminalUser> Users() const;  // ascending user number
    std::optional<TerminalUser> ReadUser(int32_t number) const;
    std::optional<std::string> ReadTemplate(int32_t user, int32_t finger) const;
    // Every template, ordered by user then finger.
    std::vector<std::pair<std::pair<int32_t, int32_t>, std::string>> Templates() const;
    ClockValue Clock(std::time_t pcNow) const;

    // Mutators are virtual so that the simulator can persist each change.
    virtual void ClearAttendanceLog();
    // Erases the first `count` records and keeps the rest, when the log
    // begins with records of that digest; false, erasing nothing, otherwise.
    virtual bool ClearFirstRecords(uint32_t count, uint64_t digest);
    virtual void ClearAdministrators();
    virtual void ClearAllData();
    // Creates or replaces the user; an existing user keeps its card number.
    virtual bool WriteUser(int32_t number, const std::string& name, const std::string& password,
                           int32_t privilege, bool enabled);
    virtual bool DeleteUser(int32_t number);  // also removes the user's templates
    virtual bool WriteTemplate(int32_t user, int32_t finger, const std::string& text);
    virtual bool DeleteTemplate(int32_t user, int32_t finger);
    virtual void SetClock(const ClockValue& value, std::time_t pcNow);
    virtual void AppendRecord(const AttendanceEntry& entry);

  protected:
    TerminalState state_;
};

}  // namespace aktarim
