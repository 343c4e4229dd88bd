// Writes a few valid requests and replies as seeds for the wire fuzzers:
//   wire_fuzz_seeds <dir>  ->  <dir>/wire_server_fuzz/*, <dir>/wire_client_fuzz/*
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "WireFuzzInput.h"
#include "terminal/Bulk.h"
#include "terminal/Frame.h"
#include "terminal/Messages.h"

using namespace aktarim;
using namespace aktarim::wire;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int32_t kMachine = 3;

void Write(const std::filesystem::path& dir, const std::string& name, uint8_t flags,
           const Bytes& stream) {
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(flags));
    out.write(reinterpret_cast<const char*>(stream.data()),
              static_cast<std::streamsize>(stream.size()));
}

Bytes Raw(int32_t machine, uint8_t code, uint16_t seq, const Bytes& payload) {
    Bytes out;
    AppendFrame(out, machine, code, seq, payload);
    return out;
}

// One record of the structured input form (see WireFuzzInput.h).
void Record(Bytes& out, uint8_t code, uint8_t address, const Bytes& payload) {
    out.push_back(code);
    out.push_back(address);
    out.push_back(static_cast<uint8_t>(payload.size()));
    out.push_back(static_cast<uint8_t>(payload.size() >> 8));
    out.insert(out.end(), payload.begin(), payload.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: wire_fuzz_seeds <corpus dir>\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const auto server = root / "wire_server_fuzz";
    const auto client = root / "wire_client_fuzz";

    // Requests, as a terminal receives them.
    Write(server, "hello-broadcast", 0,
          Raw(0, RequestCode(Code::Hello), 1, EncodePayload(HelloRequest{})));
    Write(server, "hello-serial", fuzz::kSerialFlag,
          Raw(kMachine, RequestCode(Code::Hello), 1, EncodePayload(HelloRequest{})));
    Bytes session;
    const std::vector<std::pair<Code, Bytes>> requests = {
        {Code::GetStatus, EncodePayload(IntValue{6})},
        {Code::LoadAttendanceLog, {}},
        {Code::LoadUsers, {}},
        {Code::LoadTemplates, {}},
        {Code::GetClock, {}},
        {Code::SetClock, EncodePayload(ClockValue{2024, 5, 6, 7, 8, 9})},
        {Code::ReadUser, EncodePayload(IntValue{2})},
        {Code::WriteUser, EncodePayload(UserRecord{9, "Gül Işık", "12", 1, true})},
        {Code::ReadTemplate, EncodePayload(TemplateKey{1, 0})},
        {Code::WriteTemplate, EncodePayload(TemplateRecord{1, 4, std::string(20, 'Z')})},
        {Code::DeleteTemplate, EncodePayload(TemplateKey{1, 4})},
        {Code::DeleteUser, EncodePayload(DeleteUserRequest{9, 0, 0})},
        {Code::ClearAdministrators, {}},
        {Code::ClearAttendanceRecords, EncodePayload(EraseRequest{1, 0x0123456789abcdefull})},
        {Code::ClearAttendanceLog, {}},
        {Code::ClearAllData, {}},
    };
    uint16_t seq = 2;
    Bytes records;
    for (const auto& [code, payload] : requests) {
        const Bytes frame = Raw(kMachine, RequestCode(code), seq++, payload);
        session.insert(session.end(), frame.begin(), frame.end());
        Record(records, RequestCode(code), 0, payload);
    }
    Write(server, "session", 0, session);
    Write(server, "session-structured", fuzz::kStructuredFlag, records);
    Write(server, "load-with-drop", 0x08,
          Raw(kMachine, RequestCode(Code::LoadAttendanceLog), 5, {}));

    // Replies, as the link receives them.
    Bytes replies = Raw(kMachine, ReplyCode(Code::Hello), 1,
                        OkReply(HelloReply{kProtocolVersion, kMachine, kMaxPayload}));
    const Bytes status = Raw(kMachine, ReplyCode(Code::GetStatus), 2, OkReply(IntValue{2}));
    replies.insert(replies.end(), status.begin(), status.end());
    const std::vector<AttendanceItem> log = {{1, 1, 0, 2024, 1, 2, 3, 4},
                                             {2, 0, 1, 2024, 6, 7, 8, 9}};
    const auto logFrames =
        BuildBulkReply<AttendanceItem>(kMachine, Code::LoadAttendanceLog, 3, log);
    replies.insert(replies.end(), logFrames->begin(), logFrames->end());
    Write(client, "hello-status-log", 0, replies);

    const std::vector<UserRecord> users = {{1, "Ayşe", "1", 0, true}, {2, "Şükrü", "", 3, false}};
    Write(client, "users", 0, *BuildBulkReply<UserRecord>(kMachine, Code::LoadUsers, 4, users));
    const std::vector<TemplateRecord> templates = {{1, 0, std::string(40, 'A')},
                                                   {2, 9, std::string(30, 'B')}};
    Write(client, "templates", 0,
          *BuildBulkReply<TemplateRecord>(kMachine, Code::LoadTemplates, 5, templates, {}, 40));

    Bytes answers;
    Record(answers, ReplyCode(Code::GetClock), 0, OkReply(ClockValue{2024, 2, 29, 23, 59, 58}));
    Record(answers, ReplyCode(Code::ReadUser), 0, OkReply(UserRecord{7, "Çağla", "", 2, true}));
    Record(answers, ReplyCode(Code::ReadTemplate), 0, OkReply(TemplateText{std::string(16, 'T')}));
    Record(answers, ReplyCode(Code::LoadUsers), 0, OkReply(BulkBegin{1, 1}));
    PayloadWriter chunk;
    Encode(chunk, ChunkHeader{0, 1});
    Encode(chunk, users[0]);
    Record(answers, kChunkCode, 0, chunk.bytes());
    Record(answers, ReplyCode(Code::ClearAllData), 0, ReplyPayload(Status::Failed));
    Write(client, "answers-structured", fuzz::kStructuredFlag, answers);
    return 0;
}
