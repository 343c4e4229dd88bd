#include "terminal/MemoryLink.h"

namespace aktarim {

MemoryLink::MemoryLink(MemoryTerminal& terminal) : terminal_(terminal) {}

bool MemoryLink::Begin(const char* operation, int32_t m) {
    calls.emplace_back(operation);
    failure_ = {};
    if (!connected_) return Fail(LinkFailureKind::NotConnected);
    // A terminal answers only its own machine number; the wire link finds
    // out from the handshake who is at the other end.
    if (m != terminal_.machineNumber())
        return Fail(LinkFailureKind::WrongMachine,
                    "bağlı cihazın numarası " + std::to_string(terminal_.machineNumber()) +
                        ", istek " + std::to_string(m) + " numarasına gitti");
    return true;
}

bool MemoryLink::Fail(LinkFailureKind kind, std::string detail) {
    failure_ = {kind, std::move(detail)};
    return false;
}

bool MemoryLink::Answer(bool done) { return done || Fail(LinkFailureKind::Refused); }

bool MemoryLink::Connect(const char* operation) {
    calls.emplace_back(operation);
    failure_ = {};
    DropLoads();
    connected_ = !refuseConnect;
    return connected_ || Fail(LinkFailureKind::ConnectFailed);
}

void MemoryLink::DropLoads() {
    log_.clear();
    nextRecord_ = 0;
    users_.clear();
    nextUser_ = 0;
    templates_.reset();
}

bool MemoryLink::ConnectNetwork(const std::string& /*ipAddress*/, int32_t /*port*/) {
    return Connect("ConnectNetwork");
}

bool MemoryLink::ConnectSerial(int32_t /*port*/, int32_t /*machineNumber*/, int32_t /*baudRate*/) {
    return Connect("ConnectSerial");
}

void MemoryLink::Disconnect() {
    calls.emplace_back("Disconnect");
    connected_ = false;
    DropLoads();
}

bool MemoryLink::SetLinkValue(int32_t m, int32_t /*value*/) { return Begin("SetLinkValue", m); }

bool MemoryLink::GetStatusValue(int32_t m, int32_t item, int32_t& value) {
    if (!Begin("GetStatusValue", m)) return false;
    const std::optional<int32_t> status = terminal_.StatusValue(item);
    if (!status) return Fail(LinkFailureKind::Refused);
    value = *status;
    return true;
}

bool MemoryLink::LoadAttendanceLog(int32_t m) {
    if (!Begin("LoadAttendanceLog", m)) return false;
    log_.clear();
    nextRecord_ = 0;
    const auto& log = terminal_.AttendanceLog();
    if (dropAfterRecords && static_cast<int64_t>(log.size()) > *dropAfterRecords) {
        // The connection broke half-way: nothing of a partial log is kept.
        connected_ = false;
        DropLoads();
        return Fail(LinkFailureKind::ConnectionClosed);
    }
    log_ = log;
    return true;
}

bool MemoryLink::ClearAttendanceLog(int32_t m) {
    if (!Begin("ClearAttendanceLog", m)) return false;
    if (failClear) return Fail(LinkFailureKind::Refused);
    terminal_.ClearAttendanceLog();
    return true;
}

bool MemoryLink::ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) {
    if (!Begin("ClearAttendanceRecords", m)) return false;
    if (failClear || !terminal_.ClearFirstRecords(count, digest))
        return Fail(LinkFailureKind::Refused);
    return true;
}

bool MemoryLink::ClearAdministrators(int32_t m) {
    if (!Begin("ClearAdministrators", m)) return false;
    if (failClear) return Fail(LinkFailureKind::Refused);
    terminal_.ClearAdministrators();
    return true;
}

bool MemoryLink::ClearAllData(int32_t m) {
    if (!Begin("ClearAllData", m)) return false;
    if (failClear) return Fail(LinkFailureKind::Refused);
    terminal_.ClearAllData();
    templates_.reset();
    return true;
}

bool MemoryLink::LoadUserIds(int32_t m) {
    if (!Begin("LoadUserIds", m)) return false;
    users_ = terminal_.Users();
    nextUser_ = 0;
    return true;
}

bool MemoryLink::LoadAllTemplates(int32_t m) {
    if (!Begin("LoadAllTemplates", m)) return false;
    templates_ = terminal_.state().templates;
    return true;
}

bool MemoryLink::NextAttendanceRecord(int32_t m, AttendanceValues& values) {
    if (!Begin("NextAttendanceRecord", m) || nextRecord_ >= log_.size()) return false;
    values = terminal_.ValuesOf(log_[nextRecord_++]);
    return true;
}

bool MemoryLink::GetDeviceClock(int32_t m, int32_t& year, int32_t& month, int32_t& day,
                                int32_t& hour, int32_t& minute, int32_t& second) {
    if (!Begin("GetDeviceClock", m)) return false;
    const ClockValue clock = terminal_.Clock(now());
    year = clock.year;
    month = clock.month;
    day = clock.day;
    hour = clock.hour;
    minute = clock.minute;
    second = clock.second;
    return true;
}

bool MemoryLink::SetDeviceClock(int32_t m, int32_t year, int32_t month, int32_t day, int32_t hour,
                                int32_t minute, int32_t second) {
    if (!Begin("SetDeviceClock", m)) return false;
    terminal_.SetClock({year, month, day, hour, minute, second}, now());
    return true;
}

bool MemoryLink::NextUserId(int32_t m, int32_t& userNumber, std::string& name,
                            std::string& password, int32_t& privilege, bool& enabled) {
    if (!Begin("NextUserId", m) || nextUser_ >= users_.size()) return false;
    const TerminalUser& user = users_[nextUser_++];
    userNumber = user.number;
    name = user.name;
    password = user.password;
    privilege = user.privilege;
    enabled = user.enabled;
    return true;
}

bool MemoryLink::ReadUserInfo(int32_t m, int32_t userNumber, std::string& name,
                              std::string& password, int32_t& privilege, bool& enabled) {
    if (!Begin("ReadUserInfo", m)) return false;
    const std::optional<TerminalUser> user = terminal_.ReadUser(userNumber);
    if (!user) return Fail(LinkFailureKind::Refused);
    name = user->name;
    password = user->password;
    privilege = user->privilege;
    enabled = user->enabled;
    return true;
}

bool MemoryLink::WriteUserInfo(int32_t m, int32_t userNumber, const std::string& name,
                               const std::string& password, int32_t privilege, bool enabled) {
    if (!Begin("WriteUserInfo", m)) return false;
    return Answer(terminal_.WriteUser(userNumber, name, password, privilege, enabled));
}

bool MemoryLink::DeleteUserRecord(int32_t m, int32_t userNumber, int32_t /*reserved1*/,
                                  int32_t /*reserved2*/) {
    if (!Begin("DeleteUserRecord", m)) return false;
    templates_.reset();
    return Answer(terminal_.DeleteUser(userNumber));
}

bool MemoryLink::DeleteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger) {
    if (!Begin("DeleteFingerTemplate", m)) return false;
    templates_.reset();
    return Answer(terminal_.DeleteTemplate(userNumber, finger));
}

bool MemoryLink::ReadFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                                    std::string& text, int32_t& length) {
    if (!Begin("ReadFingerTemplate", m)) return false;
    // After LoadAllTemplates the reads come from what was loaded, as over the wire.
    std::optional<std::string> found;
    if (templates_) {
        const auto it = templates_->find({userNumber, finger});
        if (it != templates_->end()) found = it->second;
    } else {
        found = terminal_.ReadTemplate(userNumber, finger);
    }
    if (!found) return Fail(LinkFailureKind::Refused);
    text = *found;
    length = static_cast<int32_t>(found->size());
    return true;
}

bool MemoryLink::WriteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                                     const std::string& text) {
    if (!Begin("WriteFingerTemplate", m)) return false;
    templates_.reset();
    return Answer(terminal_.WriteTemplate(userNumber, finger, text));
}

}  // namespace aktarim
