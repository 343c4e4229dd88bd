#include "terminal/Messages.h"

#include "core/Text.h"

namespace aktarim::wire {
namespace {

uint32_t ZigZag(int32_t v) {
    return (static_cast<uint32_t>(v) << 1) ^
           static_cast<uint32_t>(-(static_cast<uint32_t>(v) >> 31));
}

int32_t UnZigZag(uint32_t v) { return static_cast<int32_t>((v >> 1) ^ (0u - (v & 1u))); }

}  // namespace

bool IsRequestCode(uint8_t code) {
    switch (static_cast<Code>(code)) {
        case Code::Hello:
        case Code::SetLinkValue:
        case Code::GetStatus:
        case Code::LoadAttendanceLog:
        case Code::LoadUsers:
        case Code::LoadTemplates:
        case Code::ClearAttendanceLog:
        case Code::ClearAdministrators:
        case Code::ClearAllData:
        case Code::GetClock:
        case Code::SetClock:
        case Code::ReadUser:
        case Code::WriteUser:
        case Code::DeleteUser:
        case Code::ReadTemplate:
        case Code::WriteTemplate:
        case Code::DeleteTemplate:
            return true;
    }
    return false;
}

void PayloadWriter::U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PayloadWriter::Count(uint32_t v) {
    while (v >= 0x80) {
        bytes_.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    bytes_.push_back(static_cast<uint8_t>(v));
}

void PayloadWriter::Int(int32_t v) { Count(ZigZag(v)); }

void PayloadWriter::Text(std::string_view text) {
    Count(static_cast<uint32_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
}

uint8_t PayloadReader::U8() {
    if (!ok_ || pos_ >= bytes_.size()) return Failed<uint8_t>();
    return bytes_[pos_++];
}

uint32_t PayloadReader::U32() {
    if (!ok_ || bytes_.size() - pos_ < 4) return Failed<uint32_t>();
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(bytes_[pos_++]) << (8 * i);
    return v;
}

uint32_t PayloadReader::Count() {
    if (!ok_) return 0;
    uint32_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (pos_ >= bytes_.size()) return Failed<uint32_t>();
        const uint8_t b = bytes_[pos_++];
        // Only the shortest form is accepted, so that every value has exactly
        // one encoding: no redundant zero byte at the end, and a fifth byte
        // holds just the top four bits.
        if ((shift > 0 && b == 0) || (shift == 28 && (b & 0xF0) != 0)) return Failed<uint32_t>();
        v |= static_cast<uint32_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return v;
    }
    return Failed<uint32_t>();
}

int32_t PayloadReader::Int() { return UnZigZag(Count()); }

std::string PayloadReader::Text() {
    const uint32_t length = Count();
    if (!ok_ || length > bytes_.size() - pos_) return Failed<std::string>();
    std::string text(reinterpret_cast<const char*>(bytes_.data() + pos_), length);
    pos_ += length;
    if (!IsValidUtf8(text)) return Failed<std::string>();
    return text;
}

bool PayloadReader::Bool() {
    const uint8_t v = U8();
    if (v > 1) return Fail();
    return v == 1;
}

void Encode(PayloadWriter& w, const HelloRequest& v) { w.U8(v.version); }
void Encode(PayloadWriter& w, const HelloReply& v) {
    w.U8(v.version);
    w.Int(v.machine);
    w.Count(v.maxPayload);
}
void Encode(PayloadWriter& w, const IntValue& v) { w.Int(v.value); }
void Encode(PayloadWriter& w, const UserRecord& v) {
    w.Int(v.number);
    w.Text(v.name);
    w.Text(v.password);
    w.Int(v.privilege);
    w.U8(v.enabled ? 1 : 0);
}
void Encode(PayloadWriter& w, const DeleteUserRequest& v) {
    w.Int(v.number);
    w.Int(v.reserved1);
    w.Int(v.reserved2);
}
void Encode(PayloadWriter& w, const TemplateKey& v) {
    w.Int(v.user);
    w.Int(v.finger);
}
void Encode(PayloadWriter& w, const TemplateRecord& v) {
    w.Int(v.user);
    w.Int(v.finger);
    w.Text(v.text);
}
void Encode(PayloadWriter& w, const TemplateText& v) { w.Text(v.text); }
void Encode(PayloadWriter& w, const AttendanceItem& v) {
    w.Int(v.user);
    w.Int(v.verify);
    w.Int(v.state);
    w.Int(v.year);
    w.Int(v.month);
    w.Int(v.day);
    w.Int(v.hour);
    w.Int(v.minute);
}
void Encode(PayloadWriter& w, const ClockValue& v) {
    w.Int(v.year);
    w.Int(v.month);
    w.Int(v.day);
    w.Int(v.hour);
    w.Int(v.minute);
    w.Int(v.second);
}
void Encode(PayloadWriter& w, const BulkBegin& v) {
    w.Count(v.itemCount);
    w.Count(v.chunkCount);
}
void Encode(PayloadWriter& w, const ChunkHeader& v) {
    w.Count(v.index);
    w.Count(v.itemCount);
}
void Encode(PayloadWriter& w, const BulkEnd& v) {
    w.Count(v.itemCount);
    w.U32(v.itemsCrc);
}

bool Decode(PayloadReader& r, HelloRequest& v) {
    v.version = r.U8();
    return r.ok();
}
bool Decode(PayloadReader& r, HelloReply& v) {
    v.version = r.U8();
    v.machine = r.Int();
    v.maxPayload = r.Count();
    return r.ok();
}
bool Decode(PayloadReader& r, IntValue& v) {
    v.value = r.Int();
    return r.ok();
}
bool Decode(PayloadReader& r, UserRecord& v) {
    v.number = r.Int();
    v.name = r.Text();
    v.password = r.Text();
    v.privilege = r.Int();
    v.enabled = r.Bool();
    return r.ok();
}
bool Decode(PayloadReader& r, DeleteUserRequest& v) {
    v.number = r.Int();
    v.reserved1 = r.Int();
    v.reserved2 = r.Int();
    return r.ok();
}
bool Decode(PayloadReader& r, TemplateKey& v) {
    v.user = r.Int();
    v.finger = r.Int();
    return r.ok();
}
bool Decode(PayloadReader& r, TemplateRecord& v) {
    v.user = r.Int();
    v.finger = r.Int();
    v.text = r.Text();
    return r.ok();
}
bool Decode(PayloadReader& r, TemplateText& v) {
    v.text = r.Text();
    return r.ok();
}
bool Decode(PayloadReader& r, AttendanceItem& v) {
    v.user = r.Int();
    v.verify = r.Int();
    v.state = r.Int();
    v.year = r.Int();
    v.month = r.Int();
    v.day = r.Int();
    v.hour = r.Int();
    v.minute = r.Int();
    return r.ok();
}
bool Decode(PayloadReader& r, ClockValue& v) {
    v.year = r.Int();
    v.month = r.Int();
    v.day = r.Int();
    v.hour = r.Int();
    v.minute = r.Int();
    v.second = r.Int();
    return r.ok();
}
bool Decode(PayloadReader& r, BulkBegin& v) {
    v.itemCount = r.Count();
    v.chunkCount = r.Count();
    return r.ok();
}
bool Decode(PayloadReader& r, ChunkHeader& v) {
    v.index = r.Count();
    v.itemCount = r.Count();
    return r.ok();
}
bool Decode(PayloadReader& r, BulkEnd& v) {
    v.itemCount = r.Count();
    v.itemsCrc = r.U32();
    return r.ok();
}

std::vector<uint8_t> ReplyPayload(Status status, std::span<const uint8_t> body) {
    std::vector<uint8_t> out;
    out.reserve(1 + body.size());
    out.push_back(static_cast<uint8_t>(status));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::optional<SplitReply> SplitReplyPayload(std::span<const uint8_t> payload) {
    if (payload.empty() || payload[0] > static_cast<uint8_t>(Status::Malformed))
        return std::nullopt;
    SplitReply reply{static_cast<Status>(payload[0]), payload.subspan(1)};
    if (reply.status != Status::Ok && !reply.body.empty()) return std::nullopt;
    return reply;
}

AttendanceItem ToItem(const AttendanceEntry& e) {
    return {e.user, e.verify, e.state, e.year, e.month, e.day, e.hour, e.minute};
}

UserRecord ToRecord(const TerminalUser& user) {
    return {user.number, user.name, user.password, user.privilege, user.enabled};
}

}  // namespace aktarim::wire
