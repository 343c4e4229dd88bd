#pragma once
// The TerminalLink that talks to a terminal over the wire protocol
// (docs/protocol.md), on TCP or on a serial port.
//
// Every operation sends one request addressed to the machine number it is
// given and waits for the reply from that machine. A timeout, a dropped
// connection or a reply that breaks the protocol answers false and leaves
// the link disconnected; a terminal that refuses (a failure status) answers
// false and the link stays up. LastFailure says which of these it was. Out
// values are written only on success. NextAttendanceRecord and NextUserId
// walk what the last load of this connection fetched, without asking the
// terminal again; at the end of the list they answer false with no failure.
//
// Every call ends within its timeouts whatever the peer sends: only a whole,
// valid frame of the awaited reply moves a deadline (docs/protocol.md,
// "Timeouts").
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/TerminalLink.h"
#include "terminal/FrameChannel.h"
#include "terminal/LinkOptions.h"
#include "terminal/Messages.h"

namespace aktarim {

class WireLink : public TerminalLink {
  public:
    explicit WireLink(LinkOptions options = {});
    ~WireLink() override;

    const LinkOptions& options() const { return options_; }

    // Over TCP the handshake goes to the broadcast address 0, which any
    // terminal answers; each later request carries the machine number its
    // caller passes.
    bool ConnectNetwork(const std::string& ipAddress, int32_t port) override;
    // Opens the device of port 1..4 and does the handshake addressed to m.
    bool ConnectSerial(int32_t port, int32_t machineNumber, int32_t baudRate) override;
    // Keeps LastFailure, so that a caller may hang up first and ask why after.
    void Disconnect() override;
    bool IsConnected() const override { return channel_ != nullptr; }
    LinkFailure LastFailure() const override { return failure_; }

    bool SetLinkValue(int32_t m, int32_t value) override;
    bool GetStatusValue(int32_t m, int32_t item, int32_t& value) override;

    bool LoadAttendanceLog(int32_t m) override;
    bool ClearAttendanceLog(int32_t m) override;
    bool ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) override;
    bool ClearAdministrators(int32_t m) override;
    bool ClearAllData(int32_t m) override;
    bool LoadUserIds(int32_t m) override;
    // Later ReadFingerTemplate calls are answered from what was loaded,
    // until a call of this link changes the terminal's users or templates.
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

    // The machine number given to the last ConnectSerial.
    int32_t serialMachineNumber() const { return serialMachine_; }

  private:
    using Clock = FrameChannel::Clock;

    // The deadlines of one call: the awaited frame must be whole by `frame`
    // (moved on only by a whole frame of the reply, and on a serial line by
    // the line time that a checked header of ours announces), and nothing
    // holds the call past `call`.
    struct Deadlines {
        Clock::time_point frame;
        Clock::time_point call;
    };

    // Starts a call: forgets the last failure.
    void Begin() { failure_ = {}; }
    // Records why the call failed and answers false; Drop also hangs up.
    bool Fail(LinkFailureKind kind, std::string detail);
    bool Drop(LinkFailureKind kind, std::string detail);
    bool RequireConnection();

    bool Open(std::unique_ptr<Transport> transport, std::string endpoint, int32_t baudRate,
              int32_t address, Clock::time_point deadline);
    bool Handshake(int32_t address, Clock::time_point deadline);
    // Sends one request and waits for its reply frame. nullopt after a
    // timeout, drop or protocol break (the link is then disconnected) or when
    // the request cannot be sent; failure_ says which.
    std::optional<wire::Frame> Exchange(int32_t m, wire::Code code,
                                        std::span<const uint8_t> payload, Clock::duration timeout,
                                        Deadlines& wait);
    // The body of an Ok reply; nullopt for a failure status too.
    std::optional<std::vector<uint8_t>> Call(int32_t m, wire::Code code,
                                             std::span<const uint8_t> payload = {});
    bool CallOk(int32_t m, wire::Code code, std::span<const uint8_t> payload = {});
    // A reply's status and body; nullopt (failure recorded) unless Ok.
    std::optional<std::span<const uint8_t>> OkBody(const wire::Frame& reply, wire::Code code);
    template <class Item>
    std::optional<std::vector<Item>> Load(int32_t m, wire::Code code);
    // The next frame for request (m, seq) within wait; `what` names it in a
    // failure's detail.
    std::optional<wire::Frame> Receive(int32_t m, uint16_t seq, bool anyMachine, Deadlines& wait,
                                       const std::string& what);
    // A reply whose body broke the protocol: drop the link.
    bool Broken(wire::Code code, const char* what);
    void DropLoads();

    LinkOptions options_;
    std::unique_ptr<FrameChannel> channel_;
    bool serial_ = false;
    uint16_t seq_ = 0;
    int32_t serialMachine_ = 0;
    // The machine number the terminal gave in the handshake.
    int32_t terminalMachine_ = 0;
    LinkFailure failure_;

    std::vector<wire::AttendanceItem> log_;
    int32_t logMachine_ = 0;
    size_t nextRecord_ = 0;
    std::vector<wire::UserRecord> users_;
    size_t nextUser_ = 0;
    std::optional<std::map<std::pair<int32_t, int32_t>, std::string>> templates_;
};

}  // namespace aktarim
