#pragma once
// A MemoryTerminal whose state lives in an SQLite file: loaded at start, and
// every change written in one transaction before it shows in memory, so that
// the terminal survives a restart exactly as a client last saw it.
#include <cstdint>
#include <ctime>
#include <string>

#include "sim/DemoData.h"
#include "sim/Sqlite.h"
#include "terminal/MemoryTerminal.h"

namespace aktarim::sim {

class PersistentTerminal : public MemoryTerminal {
  public:
    // Opens the state at path, creating it when it does not exist; ":memory:"
    // keeps it in memory for this process only.
    explicit PersistentTerminal(const std::string& path);

    // True when this open created the state (a fresh terminal, machine 1).
    bool IsNew() const { return isNew_; }
    bool IsEmpty() const;

    void SetMachineNumber(int32_t number);
    void SetClockOffset(int64_t seconds);
    // Adds users, templates and records in one transaction.
    void Import(const DemoData& data);

    void ClearAttendanceLog() override;
    bool ClearFirstRecords(uint32_t count, uint64_t digest) override;
    void ClearAdministrators() override;
    void ClearAllData() override;
    bool WriteUser(int32_t number, const std::string& name, const std::string& password,
                   int32_t privilege, bool enabled) override;
    bool DeleteUser(int32_t number) override;
    bool WriteTemplate(int32_t user, int32_t finger, const std::string& text) override;
    bool DeleteTemplate(int32_t user, int32_t finger) override;
    void SetClock(const ClockValue& value, std::time_t pcNow) override;
    void AppendRecord(const AttendanceEntry& entry) override;

    // A punch made while the simulator runs: stored with the count of
    // punches since the start, in one transaction, so that `dump` can tell
    // how many came.
    void AppendPunch(const AttendanceEntry& entry);
    // A new run counts from zero.
    void ResetPunchesAdded();
    int64_t punchesAdded() const { return punchesAdded_; }

  private:
    void WriteMeta(const char* key, int64_t value);

    Database db_;
    bool isNew_ = false;
    int64_t punchesAdded_ = 0;
};

// The state held in an existing file, opened read-only; throws
// AppError(Io) when the file is missing or holds no simulator state.
TerminalState ReadStateFile(const std::string& path);
// The punches the simulator added since its last start (0 when none).
int64_t ReadPunchesAdded(const std::string& path);

}  // namespace aktarim::sim
