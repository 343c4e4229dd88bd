#include "terminal/WireLink.h"

#include <algorithm>

#include "core/Errors.h"
#include "terminal/Bulk.h"

namespace aktarim {

using wire::Code;
using wire::Frame;
using wire::Status;

namespace {

constexpr size_t kReadBufferSize = 64 * 1024;

}  // namespace

WireLink::WireLink(LinkOptions options)
    : options_(std::move(options)), readBuffer_(kReadBufferSize) {}

WireLink::~WireLink() = default;

bool WireLink::ConnectNetwork(const std::string& ipAddress, int32_t port) {
    Disconnect();
    if (port <= 0 || port > 65535) return false;
    const Clock::time_point deadline = Clock::now() + options_.connectTimeout;
    transport_ = ConnectTcp(ipAddress, static_cast<uint16_t>(port), deadline);
    if (!transport_) return false;
    return Handshake(0, deadline);
}

bool WireLink::ConnectSerial(int32_t port, int32_t machineNumber, int32_t baudRate) {
    Disconnect();
    serialMachine_ = machineNumber;
    if (port < 1 || port > static_cast<int32_t>(options_.serialDevices.size())) return false;
    const Clock::time_point deadline = Clock::now() + options_.connectTimeout;
    transport_ = OpenSerial(options_.serialDevices[static_cast<size_t>(port - 1)], baudRate);
    if (!transport_) return false;
    return Handshake(machineNumber, deadline);
}

void WireLink::Disconnect() {
    transport_.reset();
    decoder_.Reset();
    DropLoads();
}

void WireLink::DropLoads() {
    log_.clear();
    nextRecord_ = 0;
    users_.clear();
    nextUser_ = 0;
    templates_.reset();
}

bool WireLink::Broken() {
    Disconnect();
    return false;
}

bool WireLink::Handshake(int32_t address, Clock::time_point deadline) {
    const std::optional<Frame> reply =
        Exchange(address, Code::Hello, wire::EncodePayload(wire::HelloRequest{}), deadline);
    if (!reply) return false;
    const auto split = wire::SplitReplyPayload(reply->payload);
    if (!split || split->status != Status::Ok) return Broken();
    const auto hello = wire::DecodePayload<wire::HelloReply>(split->body);
    if (!hello || hello->version != wire::kProtocolVersion) return Broken();
    return true;
}

std::optional<Frame> WireLink::Exchange(int32_t m, Code code, std::span<const uint8_t> payload,
                                        Clock::time_point deadline) {
    if (!transport_ || payload.size() > wire::kMaxPayload) return std::nullopt;
    const uint16_t seq = ++seq_;
    std::vector<uint8_t> request;
    wire::AppendFrame(request, m, wire::RequestCode(code), seq, payload);
    try {
        if (transport_->Write(request, deadline) != IoStatus::Ok) {
            Disconnect();
            return std::nullopt;
        }
        // The broadcast handshake takes its answer from whichever terminal is there.
        const bool anyMachine = code == Code::Hello && m == 0;
        std::optional<Frame> reply = Receive(m, seq, anyMachine, deadline);
        if (reply && reply->code != wire::ReplyCode(code)) {
            Broken();
            return std::nullopt;
        }
        return reply;
    } catch (...) {
        Disconnect();
        throw;
    }
}

std::optional<Frame> WireLink::Receive(int32_t m, uint16_t seq, bool anyMachine,
                                       Clock::time_point& deadline) {
    size_t pending = decoder_.buffered();
    for (;;) {
        while (std::optional<Frame> frame = decoder_.Next()) {
            // Requests (our own echo, another master on the bus), answers
            // from other machines and stale answers are not ours.
            if ((frame->code & wire::kReplyBit) == 0 || frame->seq != seq) continue;
            if (!anyMachine && frame->machine != m) continue;
            deadline = std::max(deadline, Clock::now() + options_.idleTimeout);
            return frame;
        }
        // Only bytes that build up a frame keep the call alive: garbage and
        // traffic that is not ours, however steady, must not hold it forever.
        if (decoder_.buffered() > pending)
            deadline = std::max(deadline, Clock::now() + options_.idleTimeout);
        if (!transport_) return std::nullopt;
        pending = decoder_.buffered();
        size_t received = 0;
        if (transport_->Read(readBuffer_, deadline, received) != IoStatus::Ok) {
            Disconnect();
            return std::nullopt;
        }
        decoder_.Feed({readBuffer_.data(), received});
    }
}

std::optional<std::vector<uint8_t>> WireLink::Call(int32_t m, Code code,
                                                   std::span<const uint8_t> payload) {
    const std::optional<Frame> reply =
        Exchange(m, code, payload, Clock::now() + options_.requestTimeout);
    if (!reply) return std::nullopt;
    const auto split = wire::SplitReplyPayload(reply->payload);
    if (!split) {
        Broken();
        return std::nullopt;
    }
    if (split->status != Status::Ok) return std::nullopt;
    return std::vector<uint8_t>(split->body.begin(), split->body.end());
}

bool WireLink::CallOk(int32_t m, Code code, std::span<const uint8_t> payload) {
    const std::optional<std::vector<uint8_t>> body = Call(m, code, payload);
    if (!body) return false;
    return body->empty() || Broken();
}

template <class Item>
std::optional<std::vector<Item>> WireLink::Load(int32_t m, Code code) {
    Clock::time_point deadline = Clock::now() + options_.requestTimeout;
    const std::optional<Frame> reply = Exchange(m, code, {}, deadline);
    if (!reply) return std::nullopt;
    const auto split = wire::SplitReplyPayload(reply->payload);
    if (!split) {
        Broken();
        return std::nullopt;
    }
    if (split->status != Status::Ok) return std::nullopt;
    const auto begin = wire::DecodePayload<wire::BulkBegin>(split->body);
    if (!begin) {
        Broken();
        return std::nullopt;
    }
    wire::BulkReceiver<Item> receiver(*begin);
    if (receiver.progress() == wire::BulkProgress::Broken) {
        Broken();
        return std::nullopt;
    }
    const uint16_t seq = seq_;
    try {
        while (receiver.progress() == wire::BulkProgress::More) {
            const std::optional<Frame> frame = Receive(m, seq, false, deadline);
            if (!frame) return std::nullopt;
            if (receiver.Take(*frame) == wire::BulkProgress::Broken) {
                Broken();
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
    return CallOk(m, Code::SetLinkValue, wire::EncodePayload(wire::IntValue{value}));
}

bool WireLink::GetStatusValue(int32_t m, int32_t item, int32_t& value) {
    const auto body = Call(m, Code::GetStatus, wire::EncodePayload(wire::IntValue{item}));
    if (!body) return false;
    const auto reply = wire::DecodePayload<wire::IntValue>(*body);
    if (!reply) return Broken();
    value = reply->value;
    return true;
}

bool WireLink::LoadAttendanceLog(int32_t m) {
    log_.clear();
    nextRecord_ = 0;
    auto items = Load<wire::AttendanceItem>(m, Code::LoadAttendanceLog);
    if (!items) return false;
    log_ = std::move(*items);
    logMachine_ = m;
    return true;
}

bool WireLink::ClearAttendanceLog(int32_t m) { return CallOk(m, Code::ClearAttendanceLog); }

bool WireLink::ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) {
    return CallOk(m, Code::ClearAttendanceRecords,
                  wire::EncodePayload(wire::EraseRequest{count, digest}));
}

bool WireLink::ClearAdministrators(int32_t m) { return CallOk(m, Code::ClearAdministrators); }

bool WireLink::ClearAllData(int32_t m) {
    templates_.reset();
    return CallOk(m, Code::ClearAllData);
}

bool WireLink::LoadUserIds(int32_t m) {
    users_.clear();
    nextUser_ = 0;
    auto items = Load<wire::UserRecord>(m, Code::LoadUsers);
    if (!items) return false;
    users_ = std::move(*items);
    return true;
}

bool WireLink::LoadAllTemplates(int32_t m) {
    templates_.reset();
    auto items = Load<wire::TemplateRecord>(m, Code::LoadTemplates);
    if (!items) return false;
    auto& loaded = templates_.emplace();
    for (wire::TemplateRecord& item : *items)
        loaded[{item.user, item.finger}] = std::move(item.text);
    return true;
}

bool WireLink::NextAttendanceRecord(int32_t /*m*/, AttendanceValues& values) {
    if (!IsConnected() || nextRecord_ >= log_.size()) return false;
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
    const auto body = Call(m, Code::GetClock);
    if (!body) return false;
    const auto clock = wire::DecodePayload<ClockValue>(*body);
    if (!clock) return Broken();
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
    return CallOk(m, Code::SetClock,
                  wire::EncodePayload(ClockValue{year, month, day, hour, minute, second}));
}

bool WireLink::NextUserId(int32_t /*m*/, int32_t& userNumber, std::string& name,
                          std::string& password, int32_t& privilege, bool& enabled) {
    if (!IsConnected() || nextUser_ >= users_.size()) return false;
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
    const auto body = Call(m, Code::ReadUser, wire::EncodePayload(wire::IntValue{userNumber}));
    if (!body) return false;
    const auto user = wire::DecodePayload<wire::UserRecord>(*body);
    if (!user) return Broken();
    name = user->name;
    password = user->password;
    privilege = user->privilege;
    enabled = user->enabled;
    return true;
}

bool WireLink::WriteUserInfo(int32_t m, int32_t userNumber, const std::string& name,
                             const std::string& password, int32_t privilege, bool enabled) {
    return CallOk(
        m, Code::WriteUser,
        wire::EncodePayload(wire::UserRecord{userNumber, name, password, privilege, enabled}));
}

bool WireLink::DeleteUserRecord(int32_t m, int32_t userNumber, int32_t reserved1,
                                int32_t reserved2) {
    templates_.reset();
    return CallOk(m, Code::DeleteUser,
                  wire::EncodePayload(wire::DeleteUserRequest{userNumber, reserved1, reserved2}));
}

bool WireLink::DeleteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger) {
    templates_.reset();
    return CallOk(m, Code::DeleteTemplate,
                  wire::EncodePayload(wire::TemplateKey{userNumber, finger}));
}

bool WireLink::ReadFingerTemplate(int32_t m, int32_t userNumber, int32_t finger, std::string& text,
                                  int32_t& length) {
    if (!IsConnected()) return false;
    if (templates_) {
        const auto it = templates_->find({userNumber, finger});
        if (it == templates_->end()) return false;
        text = it->second;
    } else {
        const auto body =
            Call(m, Code::ReadTemplate, wire::EncodePayload(wire::TemplateKey{userNumber, finger}));
        if (!body) return false;
        auto reply = wire::DecodePayload<wire::TemplateText>(*body);
        if (!reply) return Broken();
        text = std::move(reply->text);
    }
    length = static_cast<int32_t>(text.size());
    return true;
}

bool WireLink::WriteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                                   const std::string& text) {
    templates_.reset();
    return CallOk(m, Code::WriteTemplate,
                  wire::EncodePayload(wire::TemplateRecord{userNumber, finger, text}));
}

}  // namespace aktarim
