#include "terminal/WireLink.h"

#include <algorithm>

#include "core/Errors.h"
#include "terminal/Bulk.h"

namespace aktarim {

using wire::Code;
using wire::Frame;
using wire::Status;

namespace {

using Clock = FrameChannel::Clock;

// The names of docs/protocol.md, for the details of a failure.
const char* RequestName(Code code) {
    switch (code) {
        case Code::Hello:
            return "Hello";
        case Code::SetLinkValue:
            return "SetLinkValue";
        case Code::GetStatus:
            return "GetStatus";
        case Code::LoadAttendanceLog:
            return "LoadAttendanceLog";
        case Code::LoadUsers:
            return "LoadUsers";
        case Code::LoadTemplates:
            return "LoadTemplates";
        case Code::ClearAttendanceLog:
            return "ClearAttendanceLog";
        case Code::ClearAttendanceRecords:
            return "ClearAttendanceRecords";
        case Code::ClearAdministrators:
            return "ClearAdministrators";
        case Code::ClearAllData:
            return "ClearAllData";
        case Code::GetClock:
            return "GetClock";
        case Code::SetClock:
            return "SetClock";
        case Code::ReadUser:
            return "ReadUser";
        case Code::WriteUser:
            return "WriteUser";
        case Code::DeleteUser:
            return "DeleteUser";
        case Code::ReadTemplate:
            return "ReadTemplate";
        case Code::WriteTemplate:
            return "WriteTemplate";
        case Code::DeleteTemplate:
            return "DeleteTemplate";
    }
    return "?";
}

std::string HexCode(uint8_t code) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[code >> 4], kDigits[code & 0x0F]};
}

// from + count * step, or the end of time if that does not fit.
Clock::time_point Later(Clock::time_point from, Clock::duration step, uint64_t count = 1) {
    const Clock::duration room = Clock::time_point::max() - from;
    if (step.count() > 0 && count > static_cast<uint64_t>(room.count() / step.count()))
        return Clock::time_point::max();
    return from + step * static_cast<Clock::rep>(count);
}

}  // namespace

WireLink::WireLink(LinkOptions options) : options_(std::move(options)) {}

WireLink::~WireLink() = default;

bool WireLink::Fail(LinkFailureKind kind, std::string detail) {
    failure_ = {kind, std::move(detail)};
    return false;
}

bool WireLink::Drop(LinkFailureKind kind, std::string detail) {
    Disconnect();
    return Fail(kind, std::move(detail));
}

bool WireLink::RequireConnection() {
    return IsConnected() || Fail(LinkFailureKind::NotConnected, {});
}

bool WireLink::ConnectNetwork(const std::string& ipAddress, int32_t port) {
    Begin();
    Disconnect();
    if (port <= 0 || port > 65535)
        return Fail(LinkFailureKind::ConnectFailed, "geçersiz IP portu: " + std::to_string(port));
    const Clock::time_point deadline = Clock::now() + options_.connectTimeout;
    std::string error;
    std::unique_ptr<Transport> transport =
        ConnectTcp(ipAddress, static_cast<uint16_t>(port), deadline, error);
    if (!transport) return Fail(LinkFailureKind::ConnectFailed, error);
    serial_ = false;
    return Open(std::move(transport), ipAddress + ":" + std::to_string(port), 0, 0, deadline);
}

bool WireLink::ConnectSerial(int32_t port, int32_t machineNumber, int32_t baudRate) {
    Begin();
    Disconnect();
    serialMachine_ = machineNumber;
    if (port < 1 || port > static_cast<int32_t>(options_.serialDevices.size()))
        return Fail(LinkFailureKind::ConnectFailed,
                    "seri port 1 ile 4 arasında olmalı: " + std::to_string(port));
    const Clock::time_point deadline = Clock::now() + options_.connectTimeout;
    const std::string& device = options_.serialDevices[static_cast<size_t>(port - 1)];
    std::string error;
    std::unique_ptr<Transport> transport = OpenSerial(device, baudRate, error);
    if (!transport) return Fail(LinkFailureKind::ConnectFailed, error);
    serial_ = true;
    return Open(std::move(transport), device, baudRate, machineNumber, deadline);
}

bool WireLink::Open(std::unique_ptr<Transport> transport, std::string endpoint, int32_t baudRate,
                    int32_t address, Clock::time_point deadline) {
    channel_ = std::make_unique<FrameChannel>(std::move(transport), std::move(endpoint), baudRate,
                                              options_.trace);
    terminalMachine_ = address;
    return Handshake(address, deadline);
}

void WireLink::Disconnect() {
    channel_.reset();
    DropLoads();
}

void WireLink::DropLoads() {
    log_.clear();
    nextRecord_ = 0;
    users_.clear();
    nextUser_ = 0;
    templates_.reset();
}

bool WireLink::Broken(Code code, const char* what) {
    return Drop(LinkFailureKind::Protocol, std::string(RequestName(code)) + ": " + what);
}

bool WireLink::Handshake(int32_t address, Clock::time_point deadline) {
    Deadlines wait;
    const Clock::duration timeout = std::max(deadline - Clock::now(), Clock::duration::zero());
    const std::optional<Frame> reply =
        Exchange(address, Code::Hello, wire::EncodePayload(wire::HelloRequest{}), timeout, wait);
    if (!reply) return false;
    const auto split = wire::SplitReplyPayload(reply->payload);
    if (!split) return Broken(Code::Hello, "yanıt çözülemedi");
    if (split->status != Status::Ok)
        return Drop(LinkFailureKind::Protocol, "cihaz protokol sürümü " +
                                                   std::to_string(wire::kProtocolVersion) +
                                                   " ile el sıkışmadı");
    const auto hello = wire::DecodePayload<wire::HelloReply>(split->body);
    if (!hello) return Broken(Code::Hello, "yanıt çözülemedi");
    if (hello->version != wire::kProtocolVersion)
        return Drop(LinkFailureKind::Protocol, "cihazın protokol sürümü " +
                                                   std::to_string(hello->version) + ", beklenen " +
                                                   std::to_string(wire::kProtocolVersion));
    terminalMachine_ = hello->machine;
    return true;
}

std::optional<Frame> WireLink::Exchange(int32_t m, Code code, std::span<const uint8_t> payload,
                                        Clock::duration timeout, Deadlines& wait) {
    if (!RequireConnection()) return std::nullopt;
    if (payload.size() > wire::kMaxPayload) {
        Fail(LinkFailureKind::Protocol, std::string(RequestName(code)) +
                                            ": istek bir çerçeveye sığmıyor (" +
                                            std::to_string(payload.size()) + " bayt)");
        return std::nullopt;
    }
    const uint16_t seq = ++seq_;
    // On a serial line the terminal has the request only once the line has
    // carried it; a reply frame of ours may then take up to a whole frame's
    // line time, but never more.
    const Clock::time_point start = Clock::now();
    wait.frame = Later(
        Later(start, channel_->LineTime(wire::kHeaderSize + payload.size() + wire::kTrailerSize)),
        timeout);
    wait.call = serial_ ? Later(Later(wait.frame, channel_->LineTime(wire::kMaxFrameSize)),
                                options_.idleTimeout)
                        : wait.frame;
    try {
        const IoStatus sent = channel_->Send(m, wire::RequestCode(code), seq, payload, wait.frame);
        if (sent != IoStatus::Ok) {
            Drop(sent == IoStatus::Timeout ? LinkFailureKind::Timeout
                                           : LinkFailureKind::ConnectionClosed,
                 std::string(RequestName(code)) + " isteği gönderilemedi");
            return std::nullopt;
        }
        // The broadcast handshake takes its answer from whichever terminal is there.
        const bool anyMachine = code == Code::Hello && m == 0;
        std::optional<Frame> reply =
            Receive(m, seq, anyMachine, wait, std::string(RequestName(code)) + " yanıtı");
        if (reply && reply->code != wire::ReplyCode(code)) {
            Drop(LinkFailureKind::Protocol, std::string(RequestName(code)) + " isteğine " +
                                                HexCode(reply->code) + " kodlu yanıt geldi");
            return std::nullopt;
        }
        return reply;
    } catch (...) {
        Disconnect();
        throw;
    }
}

std::optional<Frame> WireLink::Receive(int32_t m, uint16_t seq, bool anyMachine, Deadlines& wait,
                                       const std::string& what) {
    const wire::FrameDecoder& decoder = channel_->decoder();
    const uint64_t discardedBefore = decoder.discarded();
    std::optional<int32_t> otherMachine;
    std::optional<uint64_t> lineTimeGivenAt;
    const auto ours = [&](uint8_t code, uint16_t frameSeq, int32_t machine) {
        return (code & wire::kReplyBit) != 0 && frameSeq == seq && (anyMachine || machine == m);
    };
    for (;;) {
        // A slow line gets the time it needs for a frame of ours whose
        // header has arrived, once per frame; garbage never gets any.
        if (serial_ && lineTimeGivenAt != decoder.offset()) {
            const std::optional<wire::FrameHeader> header = decoder.PendingHeader();
            if (header && ours(header->code, header->seq, header->machine)) {
                lineTimeGivenAt = decoder.offset();
                const Clock::duration rest =
                    channel_->LineTime(header->frameSize() - decoder.buffered());
                wait.frame =
                    std::max(wait.frame, Later(Later(Clock::now(), rest), options_.idleTimeout));
            }
        }
        std::optional<Frame> frame;
        const IoStatus status = channel_->Next(frame, std::min(wait.frame, wait.call));
        if (status == IoStatus::Closed) {
            Drop(LinkFailureKind::ConnectionClosed, what + " beklenirken bağlantı kapandı");
            return std::nullopt;
        }
        if (status == IoStatus::Timeout) {
            if (otherMachine) {
                Drop(LinkFailureKind::WrongMachine, std::to_string(*otherMachine) +
                                                        " numaralı cihaz yanıt verdi, " +
                                                        std::to_string(m) + " bekleniyordu");
            } else if (!serial_ && !anyMachine && terminalMachine_ != m) {
                // Over TCP the handshake told who is at the other end.
                Drop(LinkFailureKind::WrongMachine,
                     "bağlı cihazın numarası " + std::to_string(terminalMachine_) + ", istek " +
                         std::to_string(m) + " numarasına gitti");
            } else {
                std::string detail = what + " gelmedi";
                if (const uint64_t garbage = decoder.discarded() - discardedBefore; garbage > 0)
                    detail += "; " + std::to_string(garbage) + " bayt anlamsız veri atıldı";
                Drop(LinkFailureKind::Timeout, detail);
            }
            return std::nullopt;
        }
        if (!frame) continue;
        // Requests (our own echo, another master on the bus) and stale
        // answers are not ours; an answer to our request from another
        // machine is remembered for the failure's reason.
        if ((frame->code & wire::kReplyBit) == 0 || frame->seq != seq) continue;
        if (!ours(frame->code, frame->seq, frame->machine)) {
            otherMachine = frame->machine;
            continue;
        }
        // Only a whole frame of the reply earns the next frame its time.
        wait.frame = Later(Clock::now(), options_.idleTimeout);
        return frame;
    }
}

std::optional<std::span<const uint8_t>> WireLink::OkBody(const Frame& reply, Code code) {
    const auto split = wire::SplitReplyPayload(reply.payload);
    if (!split) {
        Broken(code, "yanıt çözülemedi");
        return std::nullopt;
    }
    switch (split->status) {
        case Status::Ok:
            return split->body;
        case Status::Failed:
            Fail(LinkFailureKind::Refused, RequestName(code));
            return std::nullopt;
        case Status::Unsupported:
            Fail(LinkFailureKind::Refused, std::string(RequestName(code)) + " desteklenmiyor");
            return std::nullopt;
        case Status::Malformed:
            Fail(LinkFailureKind::Refused, std::string(RequestName(code)) + " isteği çözülemedi");
            return std::nullopt;
    }
    Broken(code, "yanıt çözülemedi");
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> WireLink::Call(int32_t m, Code code,
                                                   std::span<const uint8_t> payload) {
    Deadlines wait;
    const std::optional<Frame> reply = Exchange(m, code, payload, options_.requestTimeout, wait);
    if (!reply) return std::nullopt;
    const auto body = OkBody(*reply, code);
    if (!body) return std::nullopt;
    return std::vector<uint8_t>(body->begin(), body->end());
}

bool WireLink::CallOk(int32_t m, Code code, std::span<const uint8_t> payload) {
    const std::optional<std::vector<uint8_t>> body = Call(m, code, payload);
    if (!body) return false;
    return body->empty() || Broken(code, "yanıtta beklenmeyen veri");
}

template <class Item>
std::optional<std::vector<Item>> WireLink::Load(int32_t m, Code code) {
    Deadlines wait;
    const std::optional<Frame> reply = Exchange(m, code, {}, options_.requestTimeout, wait);
    if (!reply) return std::nullopt;
    const auto body = OkBody(*reply, code);
    if (!body) return std::nullopt;
    const auto begin = wire::DecodePayload<wire::BulkBegin>(*body);
    if (!begin) {
        Broken(code, "yanıt çözülemedi");
        return std::nullopt;
    }
    wire::BulkReceiver<Item> receiver(*begin);
    if (receiver.progress() == wire::BulkProgress::Broken) {
        Drop(LinkFailureKind::Protocol,
             std::string(RequestName(code)) + ": " + std::to_string(begin->itemCount) + " kayıt, " +
                 std::to_string(begin->chunkCount) + " parça duyuruldu; kabul edilemez");
        return std::nullopt;
    }
    // The whole load is bounded by what the terminal announced: every chunk
    // and the end frame, each within the silence allowed after the one
    // before (and on a serial line the time the line needs for a full frame).
    wait.call = Later(Clock::now(),
                      options_.idleTimeout + (serial_ ? channel_->LineTime(wire::kMaxFrameSize)
                                                      : Clock::duration::zero()),
                      uint64_t{begin->chunkCount} + 1);
    const uint16_t seq = seq_;
    const std::string what = std::string(RequestName(code)) + " parçası";
    try {
        while (receiver.progress() == wire::BulkProgress::More) {
            const std::optional<Frame> frame = Receive(m, seq, false, wait, what);
            if (!frame) return std::nullopt;
            if (receiver.Take(*frame) == wire::BulkProgress::Broken) {
                Broken(code, "parçalar eksik, fazla, sırasız ya da sağlama tutmuyor");
                return std::nullopt;
            }
        }
    } catch (...) {
        Disconnect();
        throw;
    }
    return receiver.TakeItems();
}

bool WireLink::SetLinkValue(int32_t m, int32_t value) {
    Begin();
    return CallOk(m, Code::SetLinkValue, wire::EncodePayload(wire::IntValue{value}));
}

bool WireLink::GetStatusValue(int32_t m, int32_t item, int32_t& value) {
    Begin();
    const auto body = Call(m, Code::GetStatus, wire::EncodePayload(wire::IntValue{item}));
    if (!body) return false;
    const auto reply = wire::DecodePayload<wire::IntValue>(*body);
    if (!reply) return Broken(Code::GetStatus, "yanıt çözülemedi");
    value = reply->value;
    return true;
}

bool WireLink::LoadAttendanceLog(int32_t m) {
    Begin();
    log_.clear();
    nextRecord_ = 0;
    auto items = Load<wire::AttendanceItem>(m, Code::LoadAttendanceLog);
    if (!items) return false;
    log_ = std::move(*items);
    logMachine_ = m;
    return true;
}

bool WireLink::ClearAttendanceLog(int32_t m) {
    Begin();
    return CallOk(m, Code::ClearAttendanceLog);
}

bool WireLink::ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) {
    Begin();
    return CallOk(m, Code::ClearAttendanceRecords,
                  wire::EncodePayload(wire::EraseRequest{count, digest}));
}

bool WireLink::ClearAdministrators(int32_t m) {
    Begin();
    return CallOk(m, Code::ClearAdministrators);
}

bool WireLink::ClearAllData(int32_t m) {
    Begin();
    templates_.reset();
    return CallOk(m, Code::ClearAllData);
}

bool WireLink::LoadUserIds(int32_t m) {
    Begin();
    users_.clear();
    nextUser_ = 0;
    auto items = Load<wire::UserRecord>(m, Code::LoadUsers);
    if (!items) return false;
    users_ = std::move(*items);
    return true;
}

bool WireLink::LoadAllTemplates(int32_t m) {
    Begin();
    templates_.reset();
    auto items = Load<wire::TemplateRecord>(m, Code::LoadTemplates);
    if (!items) return false;
    auto& loaded = templates_.emplace();
    for (wire::TemplateRecord& item : *items)
        loaded[{item.user, item.finger}] = std::move(item.text);
    return true;
}

bool WireLink::NextAttendanceRecord(int32_t /*m*/, AttendanceValues& values) {
    Begin();
    // The end of what was loaded is no failure.
    if (!RequireConnection() || nextRecord_ >= log_.size()) return false;
    const wire::AttendanceItem& item = log_[nextRecord_++];
    values.machineNumber = logMachine_;
    values.userNumber = item.user;
    values.enrolMachine = logMachine_;
    values.verifyMode = item.verify;
    values.inOutState = item.state;
    values.year = item.year;
    values.month = item.month;
    values.day = item.day;
    values.hour = item.hour;
    values.minute = item.minute;
    return true;
}

bool WireLink::GetDeviceClock(int32_t m, int32_t& year, int32_t& month, int32_t& day, int32_t& hour,
                              int32_t& minute, int32_t& second) {
    Begin();
    const auto body = Call(m, Code::GetClock);
    if (!body) return false;
    const auto clock = wire::DecodePayload<ClockValue>(*body);
    if (!clock) return Broken(Code::GetClock, "yanıt çözülemedi");
    year = clock->year;
    month = clock->month;
    day = clock->day;
    hour = clock->hour;
    minute = clock->minute;
    second = clock->second;
    return true;
}

bool WireLink::SetDeviceClock(int32_t m, int32_t year, int32_t month, int32_t day, int32_t hour,
                              int32_t minute, int32_t second) {
    Begin();
    return CallOk(m, Code::SetClock,
                  wire::EncodePayload(ClockValue{year, month, day, hour, minute, second}));
}

bool WireLink::NextUserId(int32_t /*m*/, int32_t& userNumber, std::string& name,
                          std::string& password, int32_t& privilege, bool& enabled) {
    Begin();
    if (!RequireConnection() || nextUser_ >= users_.size()) return false;
    const wire::UserRecord& user = users_[nextUser_++];
    userNumber = user.number;
    name = user.name;
    password = user.password;
    privilege = user.privilege;
    enabled = user.enabled;
    return true;
}

bool WireLink::ReadUserInfo(int32_t m, int32_t userNumber, std::string& name, std::string& password,
                            int32_t& privilege, bool& enabled) {
    Begin();
    const auto body = Call(m, Code::ReadUser, wire::EncodePayload(wire::IntValue{userNumber}));
    if (!body) return false;
    const auto user = wire::DecodePayload<wire::UserRecord>(*body);
    if (!user) return Broken(Code::ReadUser, "yanıt çözülemedi");
    name = user->name;
    password = user->password;
    privilege = user->privilege;
    enabled = user->enabled;
    return true;
}

bool WireLink::WriteUserInfo(int32_t m, int32_t userNumber, const std::string& name,
                             const std::string& password, int32_t privilege, bool enabled) {
    Begin();
    return CallOk(
        m, Code::WriteUser,
        wire::EncodePayload(wire::UserRecord{userNumber, name, password, privilege, enabled}));
}

bool WireLink::DeleteUserRecord(int32_t m, int32_t userNumber, int32_t reserved1,
                                int32_t reserved2) {
    Begin();
    templates_.reset();
    return CallOk(m, Code::DeleteUser,
                  wire::EncodePayload(wire::DeleteUserRequest{userNumber, reserved1, reserved2}));
}

bool WireLink::DeleteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger) {
    Begin();
    templates_.reset();
    return CallOk(m, Code::DeleteTemplate,
                  wire::EncodePayload(wire::TemplateKey{userNumber, finger}));
}

bool WireLink::ReadFingerTemplate(int32_t m, int32_t userNumber, int32_t finger, std::string& text,
                                  int32_t& length) {
    Begin();
    if (!RequireConnection()) return false;
    if (templates_) {
        const auto it = templates_->find({userNumber, finger});
        // What the terminal would have answered had it been asked.
        if (it == templates_->end()) return Fail(LinkFailureKind::Refused, "ReadTemplate");
        text = it->second;
    } else {
        const auto body =
            Call(m, Code::ReadTemplate, wire::EncodePayload(wire::TemplateKey{userNumber, finger}));
        if (!body) return false;
        auto reply = wire::DecodePayload<wire::TemplateText>(*body);
        if (!reply) return Broken(Code::ReadTemplate, "yanıt çözülemedi");
        text = std::move(reply->text);
    }
    length = static_cast<int32_t>(text.size());
    return true;
}

bool WireLink::WriteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                                   const std::string& text) {
    Begin();
    templates_.reset();
    return CallOk(m, Code::WriteTemplate,
                  wire::EncodePayload(wire::TemplateRecord{userNumber, finger, text}));
}

}  // namespace aktarim
