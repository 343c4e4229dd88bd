#pragma once
// What the program uses of a terminal. Every window holds its own link; each
// call blocks until the terminal answers or its timeout passes. A false result
// is no error: a link that is not connected, a dropped connection or a
// timeout all answer false (and leave the link disconnected), and the link
// remembers why (LastFailure). A failure of the link machinery itself throws
// AppError(Terminal, message).
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace aktarim {

// The ten values of one attendance record, in the order NextAttendanceRecord
// delivers them.
struct AttendanceValues {
    int32_t machineNumber = 0;  // 1st: the terminal that recorded it
    int32_t userNumber = 0;     // 2nd
    int32_t enrolMachine = 0;   // 3rd: the terminal the user was enrolled on
    int32_t verifyMode = 0;     // 4th: 0 password, 1 fingerprint, 2 card
    int32_t inOutState = 0;     // 5th
    int32_t year = 0;           // 6th
    int32_t month = 0;          // 7th
    int32_t day = 0;            // 8th
    int32_t hour = 0;           // 9th
    int32_t minute = 0;         // 10th
};

// A 64-bit digest over the ten values of each record, in order (defined in
// docs/protocol.md): the same on every platform, so that the PC and the
// terminal can tell whether a log begins with the records the PC read.
uint64_t RecordsDigest(std::span<const AttendanceValues> records);

// Why the last call of a link answered false.
enum class LinkFailureKind {
    None,              // the last call went through
    NotConnected,      // the call needed a connection and none was open
    ConnectFailed,     // the terminal could not be reached
    Timeout,           // no whole answer came in time
    ConnectionClosed,  // the peer closed or dropped the connection
    Protocol,          // the peer's answer broke the protocol
    WrongMachine,      // a terminal with another machine number answered
    Refused,           // the terminal answered that it will not do it
};

struct LinkFailure {
    LinkFailureKind kind = LinkFailureKind::None;
    std::string detail;  // what exactly happened, for support; may be empty

    explicit operator bool() const { return kind != LinkFailureKind::None; }
};

// The user's words for a failure: "Zaman aşımı", or "Zaman aşımı: <detail>".
std::string LinkFailureText(const LinkFailure& failure);
std::string_view LinkFailureKindText(LinkFailureKind kind);

// Status items of GetStatusValue.
inline constexpr int32_t kStatusUserCount = 2;
inline constexpr int32_t kStatusRecordCount = 6;

class TerminalLink {
  public:
    virtual ~TerminalLink() = default;

    virtual bool ConnectNetwork(const std::string& ipAddress, int32_t port) = 0;
    // port 1-4 names COM1-COM4 (or the device mapped to it).
    virtual bool ConnectSerial(int32_t port, int32_t machineNumber, int32_t baudRate) = 0;
    // Does nothing when no connection is open.
    virtual void Disconnect() = 0;
    virtual bool IsConnected() const = 0;
    // Why the last call answered false; kind None after a call that went
    // through.
    virtual LinkFailure LastFailure() const { return {}; }

    virtual bool SetLinkValue(int32_t m, int32_t value) = 0;
    virtual bool GetStatusValue(int32_t m, int32_t item, int32_t& value) = 0;

    // Bulk loads: true only when everything arrived whole; the Next* calls
    // then walk what was fetched.
    virtual bool LoadAttendanceLog(int32_t m) = 0;
    virtual bool ClearAttendanceLog(int32_t m) = 0;
    // Erases the first `count` records of the log, in the order a load
    // delivers them, and keeps every record after them: the punches made
    // since the log was read. `digest` is RecordsDigest of the records the
    // caller read; when the log no longer begins with them (another PC
    // cleared or took them, or it holds fewer), the terminal refuses and
    // erases nothing, so a punch nobody read is never erased.
    virtual bool ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) = 0;
    virtual bool ClearAdministrators(int32_t m) = 0;
    virtual bool ClearAllData(int32_t m) = 0;
    virtual bool LoadUserIds(int32_t m) = 0;
    virtual bool LoadAllTemplates(int32_t m) = 0;

    virtual bool NextAttendanceRecord(int32_t m, AttendanceValues& values) = 0;

    virtual bool GetDeviceClock(int32_t m, int32_t& year, int32_t& month, int32_t& day,
                                int32_t& hour, int32_t& minute, int32_t& second) = 0;
    virtual bool SetDeviceClock(int32_t m, int32_t year, int32_t month, int32_t day, int32_t hour,
                                int32_t minute, int32_t second) = 0;

    virtual bool NextUserId(int32_t m, int32_t& userNumber, std::string& name,
                            std::string& password, int32_t& privilege, bool& enabled) = 0;
    virtual bool ReadUserInfo(int32_t m, int32_t userNumber, std::string& name,
                              std::string& password, int32_t& privilege, bool& enabled) = 0;
    virtual bool WriteUserInfo(int32_t m, int32_t userNumber, const std::string& name,
                               const std::string& password, int32_t privilege, bool enabled) = 0;
    virtual bool DeleteUserRecord(int32_t m, int32_t userNumber, int32_t reserved1,
                                  int32_t reserved2) = 0;

    virtual bool DeleteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger) = 0;
    virtual bool ReadFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                                    std::string& text, int32_t& length) = 0;
    virtual bool WriteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                                     const std::string& text) = 0;
};

}  // namespace aktarim
