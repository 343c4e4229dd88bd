#include "terminal/RequestHandler.h"

#include <algorithm>

#include "terminal/Bulk.h"
#include "terminal/Messages.h"

namespace aktarim::wire {
namespace {

std::vector<uint8_t> Done(bool ok) { return ReplyPayload(ok ? Status::Ok : Status::Failed); }

}  // namespace

RequestHandler::RequestHandler(MemoryTerminal& terminal, const ServerFaults& faults,
                               std::function<std::time_t()> now)
    : terminal_(terminal), faults_(faults), now_(std::move(now)) {}

std::optional<ServerReply> RequestHandler::Handle(const Frame& request, bool serialLine) {
    if ((request.code & kReplyBit) != 0) return std::nullopt;
    const bool broadcastHello =
        request.code == RequestCode(Code::Hello) && request.machine == 0 && !serialLine;
    if (request.machine != terminal_.machineNumber() && !broadcastHello) return std::nullopt;

    // The wrong-machine fault answers as if it were the next terminal on the bus.
    const int32_t from = static_cast<int32_t>(static_cast<uint32_t>(terminal_.machineNumber()) +
                                              (faults_.wrongMachine ? 1u : 0u));
    ServerReply reply;
    Answer(request, from, reply);
    return reply;
}

void RequestHandler::Answer(const Frame& request, int32_t from, ServerReply& reply) {
    const std::span<const uint8_t> in = request.payload;
    const auto send = [&](const std::vector<uint8_t>& payload) {
        // A user or template too large for one frame is refused, not cut.
        if (payload.size() > kMaxPayload) {
            AppendFrame(reply.bytes, from, static_cast<uint8_t>(request.code | kReplyBit),
                        request.seq, Done(false));
            return;
        }
        AppendFrame(reply.bytes, from, static_cast<uint8_t>(request.code | kReplyBit), request.seq,
                    payload);
    };
    const auto malformed = [&] { send(ReplyPayload(Status::Malformed)); };
    // Bulk replies are whole frame sequences; an item too large for a chunk
    // turns the load into a plain failure.
    const auto sendBulk = [&](std::optional<std::vector<uint8_t>> frames) {
        if (frames)
            reply.bytes = std::move(*frames);
        else
            send(ReplyPayload(Status::Failed));
    };

    switch (static_cast<Code>(request.code)) {
        case Code::Hello: {
            const auto hello = DecodePayload<HelloRequest>(in);
            if (!hello) return malformed();
            if (hello->version != kProtocolVersion) return send(ReplyPayload(Status::Unsupported));
            return send(
                OkReply(HelloReply{kProtocolVersion, from, static_cast<uint32_t>(kMaxPayload)}));
        }
        case Code::SetLinkValue: {
            // What the value tunes on a real terminal is not ours to know; it
            // is accepted and otherwise has no effect here.
            if (!DecodePayload<IntValue>(in)) return malformed();
            return send(Done(true));
        }
        case Code::GetStatus: {
            const auto item = DecodePayload<IntValue>(in);
            if (!item) return malformed();
            const std::optional<int32_t> value = terminal_.StatusValue(item->value);
            if (!value) return send(Done(false));
            return send(OkReply(IntValue{*value}));
        }
        case Code::LoadAttendanceLog: {
            if (!in.empty()) return malformed();
            const auto& log = terminal_.AttendanceLog();
            std::vector<AttendanceItem> items;
            items.reserve(log.size());
            for (const AttendanceEntry& entry : log) items.push_back(ToItem(entry));
            std::optional<uint64_t> stopAfter;
            if (faults_.dropAfterRecords)
                stopAfter = static_cast<uint64_t>(std::max<int64_t>(*faults_.dropAfterRecords, 0));
            sendBulk(BuildBulkReply<AttendanceItem>(from, Code::LoadAttendanceLog, request.seq,
                                                    items, stopAfter));
            reply.dropAfter = stopAfter.has_value();
            return;
        }
        case Code::LoadUsers: {
            if (!in.empty()) return malformed();
            std::vector<UserRecord> items;
            for (const TerminalUser& user : terminal_.Users()) items.push_back(ToRecord(user));
            return sendBulk(BuildBulkReply<UserRecord>(from, Code::LoadUsers, request.seq, items));
        }
        case Code::LoadTemplates: {
            if (!in.empty()) return malformed();
            std::vector<TemplateRecord> items;
            for (auto& [key, text] : terminal_.Templates())
                items.push_back({key.first, key.second, std::move(text)});
            return sendBulk(
                BuildBulkReply<TemplateRecord>(from, Code::LoadTemplates, request.seq, items));
        }
        case Code::ClearAttendanceLog:
        case Code::ClearAdministrators:
        case Code::ClearAllData: {
            if (!in.empty()) return malformed();
            if (faults_.failClear) return send(Done(false));
            if (request.code == RequestCode(Code::ClearAttendanceLog))
                terminal_.ClearAttendanceLog();
            else if (request.code == RequestCode(Code::ClearAdministrators))
                terminal_.ClearAdministrators();
            else
                terminal_.ClearAllData();
            return send(Done(true));
        }
        case Code::ClearAttendanceRecords: {
            const auto erase = DecodePayload<EraseRequest>(in);
            if (!erase) return malformed();
            if (faults_.failClear) return send(Done(false));
            return send(Done(terminal_.ClearFirstRecords(erase->count, erase->digest)));
        }
        case Code::GetClock: {
            if (!in.empty()) return malformed();
            return send(OkReply(terminal_.Clock(now_())));
        }
        case Code::SetClock: {
            const auto clock = DecodePayload<ClockValue>(in);
            if (!clock) return malformed();
            terminal_.SetClock(*clock, now_());
            return send(Done(true));
        }
        case Code::ReadUser: {
            const auto number = DecodePayload<IntValue>(in);
            if (!number) return malformed();
            const std::optional<TerminalUser> user = terminal_.ReadUser(number->value);
            if (!user) return send(Done(false));
            return send(OkReply(ToRecord(*user)));
        }
        case Code::WriteUser: {
            const auto user = DecodePayload<UserRecord>(in);
            if (!user) return malformed();
            return send(Done(terminal_.WriteUser(user->number, user->name, user->password,
                                                 user->privilege, user->enabled)));
        }
        case Code::DeleteUser: {
            const auto del = DecodePayload<DeleteUserRequest>(in);
            if (!del) return malformed();
            return send(Done(terminal_.DeleteUser(del->number)));
        }
        case Code::ReadTemplate: {
            const auto key = DecodePayload<TemplateKey>(in);
            if (!key) return malformed();
            const std::optional<std::string> text = terminal_.ReadTemplate(key->user, key->finger);
            if (!text) return send(Done(false));
            return send(OkReply(TemplateText{*text}));
        }
        case Code::WriteTemplate: {
            const auto record = DecodePayload<TemplateRecord>(in);
            if (!record) return malformed();
            return send(Done(terminal_.WriteTemplate(record->user, record->finger, record->text)));
        }
        case Code::DeleteTemplate: {
            const auto key = DecodePayload<TemplateKey>(in);
            if (!key) return malformed();
            return send(Done(terminal_.DeleteTemplate(key->user, key->finger)));
        }
    }
    send(ReplyPayload(Status::Unsupported));
}

}  // namespace aktarim::wire
