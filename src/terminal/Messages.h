#pragma once
// The message set of the wire protocol (docs/protocol.md) and the payload
// encoding: unsigned varints for counts, zig-zag varints for signed values,
// texts as a varint byte length followed by UTF-8.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/MemoryTerminal.h"

namespace aktarim::wire {

inline constexpr uint8_t kProtocolVersion = 1;

// Request codes; a reply carries the request's code with kReplyBit set.
enum class Code : uint8_t {
    Hello = 0x01,
    SetLinkValue = 0x02,
    GetStatus = 0x03,
    LoadAttendanceLog = 0x10,
    LoadUsers = 0x11,
    LoadTemplates = 0x12,
    ClearAttendanceLog = 0x20,
    ClearAdministrators = 0x21,
    ClearAllData = 0x22,
    ClearAttendanceRecords = 0x23,
    GetClock = 0x30,
    SetClock = 0x31,
    ReadUser = 0x40,
    WriteUser = 0x41,
    DeleteUser = 0x42,
    ReadTemplate = 0x50,
    WriteTemplate = 0x51,
    DeleteTemplate = 0x52,
};
inline constexpr uint8_t kReplyBit = 0x80;
// Frames that follow the reply to a load.
inline constexpr uint8_t kChunkCode = 0xF0;
inline constexpr uint8_t kEndCode = 0xF1;

inline constexpr uint8_t RequestCode(Code code) { return static_cast<uint8_t>(code); }
inline constexpr uint8_t ReplyCode(Code code) { return static_cast<uint8_t>(code) | kReplyBit; }
bool IsRequestCode(uint8_t code);

// First byte of every reply payload.
enum class Status : uint8_t {
    Ok = 0,
    Failed = 1,       // the terminal refused or has no such thing
    Unsupported = 2,  // unknown request code or protocol version
    Malformed = 3,    // the request payload did not decode
};

class PayloadWriter {
  public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U32(uint32_t v);
    void Count(uint32_t v);
    void Int(int32_t v);
    void Text(std::string_view text);
    void Raw(std::span<const uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
};

// Reads with a sticky failure flag: after the first short or malformed field
// every further read returns a zero value and ok() stays false.
class PayloadReader {
  public:
    explicit PayloadReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint8_t U8();
    uint32_t U32();
    uint32_t Count();
    int32_t Int();
    // Rejects a length past the payload's end and text that is not UTF-8.
    std::string Text();
    bool Bool();

    bool ok() const { return ok_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }
    size_t position() const { return pos_; }
    std::span<const uint8_t> Rest() const { return bytes_.subspan(pos_); }

  private:
    bool Fail() {
        ok_ = false;
        return false;
    }
    template <class T>
    T Failed() {
        ok_ = false;
        return T{};
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Message bodies. A field list that two messages share uses one struct.
struct HelloRequest {
    uint8_t version = kProtocolVersion;
};
struct HelloReply {
    uint8_t version = kProtocolVersion;
    int32_t machine = 0;
    uint32_t maxPayload = 0;
};
struct IntValue {  // SetLinkValue value, GetStatus item and reply, ReadUser number
    int32_t value = 0;
};
struct EraseRequest {     // ClearAttendanceRecords
    uint32_t count = 0;   // how many leading records
    uint64_t digest = 0;  // RecordsDigest of them, as the PC read them
};
struct UserRecord {  // WriteUser, the ReadUser reply and an item of LoadUsers
    int32_t number = 0;
    std::string name;
    std::string password;
    int32_t privilege = 0;
    bool enabled = true;

    bool operator==(const UserRecord&) const = default;
};
struct DeleteUserRequest {
    int32_t number = 0;
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;
};
struct TemplateKey {  // ReadTemplate, DeleteTemplate
    int32_t user = 0;
    int32_t finger = 0;
};
struct TemplateRecord {  // WriteTemplate and an item of LoadTemplates
    int32_t user = 0;
    int32_t finger = 0;
    std::string text;

    bool operator==(const TemplateRecord&) const = default;
};
struct TemplateText {  // the ReadTemplate reply
    std::string text;
};
struct AttendanceItem {  // an item of LoadAttendanceLog
    int32_t user = 0;
    int32_t verify = 0;
    int32_t state = 0;
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;

    bool operator==(const AttendanceItem&) const = default;
};
struct BulkBegin {  // the reply to a load
    uint32_t itemCount = 0;
    uint32_t chunkCount = 0;
};
struct ChunkHeader {  // precedes the items of a chunk
    uint32_t index = 0;
    uint32_t itemCount = 0;
};
struct BulkEnd {
    uint32_t itemCount = 0;
    uint32_t itemsCrc = 0;  // CRC-32 over the item bytes of every chunk, in order
};

void Encode(PayloadWriter& w, const HelloRequest& v);
void Encode(PayloadWriter& w, const HelloReply& v);
void Encode(PayloadWriter& w, const IntValue& v);
void Encode(PayloadWriter& w, const EraseRequest& v);
void Encode(PayloadWriter& w, const UserRecord& v);
void Encode(PayloadWriter& w, const DeleteUserRequest& v);
void Encode(PayloadWriter& w, const TemplateKey& v);
void Encode(PayloadWriter& w, const TemplateRecord& v);
void Encode(PayloadWriter& w, const TemplateText& v);
void Encode(PayloadWriter& w, const AttendanceItem& v);
void Encode(PayloadWriter& w, const ClockValue& v);
void Encode(PayloadWriter& w, const BulkBegin& v);
void Encode(PayloadWriter& w, const ChunkHeader& v);
void Encode(PayloadWriter& w, const BulkEnd& v);

// Each reads its fields and returns r.ok(); trailing bytes are the caller's
// business (DecodePayload rejects them).
bool Decode(PayloadReader& r, HelloRequest& v);
bool Decode(PayloadReader& r, HelloReply& v);
bool Decode(PayloadReader& r, IntValue& v);
bool Decode(PayloadReader& r, EraseRequest& v);
bool Decode(PayloadReader& r, UserRecord& v);
bool Decode(PayloadReader& r, DeleteUserRequest& v);
bool Decode(PayloadReader& r, TemplateKey& v);
bool Decode(PayloadReader& r, TemplateRecord& v);
bool Decode(PayloadReader& r, TemplateText& v);
bool Decode(PayloadReader& r, AttendanceItem& v);
bool Decode(PayloadReader& r, ClockValue& v);
bool Decode(PayloadReader& r, BulkBegin& v);
bool Decode(PayloadReader& r, ChunkHeader& v);
bool Decode(PayloadReader& r, BulkEnd& v);

template <class T>
std::vector<uint8_t> EncodePayload(const T& value) {
    PayloadWriter w;
    Encode(w, value);
    return w.Take();
}

// The whole payload must be exactly one T.
template <class T>
std::optional<T> DecodePayload(std::span<const uint8_t> bytes) {
    PayloadReader r(bytes);
    T value{};
    if (!Decode(r, value) || !r.AtEnd()) return std::nullopt;
    return value;
}

// A reply payload: the status byte, then the body (only when Ok).
std::vector<uint8_t> ReplyPayload(Status status, std::span<const uint8_t> body = {});
template <class T>
std::vector<uint8_t> OkReply(const T& body) {
    PayloadWriter w;
    w.U8(static_cast<uint8_t>(Status::Ok));
    Encode(w, body);
    return w.Take();
}

struct SplitReply {
    Status status = Status::Ok;
    std::span<const uint8_t> body;
};
// nullopt for an empty payload, an unknown status or a failure status with a body.
std::optional<SplitReply> SplitReplyPayload(std::span<const uint8_t> payload);

AttendanceItem ToItem(const AttendanceEntry& entry);
UserRecord ToRecord(const TerminalUser& user);

}  // namespace aktarim::wire
