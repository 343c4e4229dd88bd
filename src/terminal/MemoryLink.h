#pragma once
// A TerminalLink straight onto a MemoryTerminal, with the connection rules of
// the real link, for unit tests of every layer above the terminal. The public
// knobs let a test make the terminal misbehave and see what was asked of it.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/TerminalLink.h"
#include "terminal/MemoryTerminal.h"

namespace aktarim {

class MemoryLink : public TerminalLink {
  public:
    explicit MemoryLink(MemoryTerminal& terminal);

    // Test knobs.
    bool refuseConnect = false;
    // LoadAttendanceLog of a log longer than this fails and drops the link.
    std::optional<int64_t> dropAfterRecords;
    bool failClear = false;
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
    // Every operation called, by name, in order (IsConnected is not counted).
    std::vector<std::string> calls;

    bool ConnectNetwork(const std::string& ipAddress, int32_t port) override;
    bool ConnectSerial(int32_t port, int32_t machineNumber, int32_t baudRate) override;
    // Keeps LastFailure, as the wire link does.
    void Disconnect() override;
    bool IsConnected() const override { return connected_; }
    LinkFailure LastFailure() const override { return failure_; }

    bool SetLinkValue(int32_t m, int32_t value) override;
    bool GetStatusValue(int32_t m, int32_t item, int32_t& value) override;

    bool LoadAttendanceLog(int32_t m) override;
    bool ClearAttendanceLog(int32_t m) override;
    bool ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) override;
    bool ClearAdministrators(int32_t m) override;
    bool ClearAllData(int32_t m) override;
    bool LoadUserIds(int32_t m) override;
    bool LoadAllTemplates(int32_t m) override;

    bool NextAttendanceRecord(int32_t m, AttendanceValues& values) override;

    bool GetDeviceClock(int32_t m, int32_t& year, int32_t& month, int32_t& day, int32_t& hour,
                        int32_t& minute, int32_t& second) override;
    bool SetDeviceClock(int32_t m, int32_t year, int32_t month, int32_t day, int32_t hour,
                        int32_t minute, int32_t second) override;

    bool NextUserId(int32_t m, int32_t& userNumber, std::string& name, std::string& password,
                    int32_t& privilege, bool& enabled) override;
    bool ReadUserInfo(int32_t m, int32_t userNumber, std::string& name, std::string& password,
                      int32_t& privilege, bool& enabled) override;
    bool WriteUserInfo(int32_t m, int32_t userNumber, const std::string& name,
                       const std::string& password, int32_t privilege, bool enabled) override;
    bool DeleteUserRecord(int32_t m, int32_t userNumber, int32_t reserved1,
                          int32_t reserved2) override;

    bool DeleteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger) override;
    bool ReadFingerTemplate(int32_t m, int32_t userNumber, int32_t finger, std::string& text,
                            int32_t& length) override;
    bool WriteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                             const std::string& text) override;

  private:
    // Records the call and forgets the last failure; true when connected and
    // m is this terminal's number (the failure says which was not).
    bool Begin(const char* operation, int32_t m);
    bool Connect(const char* operation);
    // Records why the call failed and answers false.
    bool Fail(LinkFailureKind kind, std::string detail = {});
    // The terminal said no: a refusal, as a wire terminal's failure status.
    bool Answer(bool done);
    void DropLoads();

    MemoryTerminal& terminal_;
    bool connected_ = false;
    LinkFailure failure_;
    std::vector<AttendanceEntry> log_;
    size_t nextRecord_ = 0;
    std::vector<TerminalUser> users_;
    size_t nextUser_ = 0;
    std::optional<std::map<std::pair<int32_t, int32_t>, std::string>> templates_;
};

}  // namespace aktarim
