// Frames, payloads and bulk transfers, without any connection.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "WireFixtures.h"
#include "terminal/Bulk.h"
#include "terminal/Crc.h"
#include "terminal/Frame.h"
#include "terminal/Messages.h"
#include "terminal/RequestHandler.h"

namespace aktarim::wire {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Counting(size_t n) {
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

std::vector<Frame> DecodeAll(const Bytes& stream, size_t piece) {
    FrameDecoder decoder;
    std::vector<Frame> frames;
    for (size_t at = 0; at < stream.size(); at += piece) {
        decoder.Feed(std::span(stream).subspan(at, std::min(piece, stream.size() - at)));
        while (auto frame = decoder.Next()) frames.push_back(std::move(*frame));
    }
    return frames;
}

TEST(Crc, KnownCheckValues) {
    const std::string check = "123456789";
    const std::span bytes(reinterpret_cast<const uint8_t*>(check.data()), check.size());
    EXPECT_EQ(Crc16Ccitt(bytes), 0x29B1);
    EXPECT_EQ(Crc32(bytes), 0xCBF43926u);
    EXPECT_EQ(Crc32(bytes.subspan(4), Crc32(bytes.first(4))), 0xCBF43926u);
}

TEST(FrameCodec, RoundTripsWhateverTheFeedSize) {
    Bytes withMarkers = {kMarker0, kMarker1, kMarker0, kMarker0, kMarker1, 0};
    const std::array frames = {
        Frame{1, 0x01, 1, {}},
        Frame{-1, kChunkCode, 65535, Counting(255)},
        Frame{0, 0x81, 7, Bytes(kMaxPayload, 0xA5)},
        Frame{INT32_MIN, 0x7F, 0, withMarkers},
    };
    for (const Frame& frame : frames) {
        const Bytes encoded = EncodeFrame(frame);
        ASSERT_EQ(encoded.size(), kHeaderSize + frame.payload.size() + kTrailerSize);
        for (const size_t piece : {size_t{1}, size_t{7}, encoded.size()}) {
            const std::vector<Frame> decoded = DecodeAll(encoded, piece);
            ASSERT_EQ(decoded.size(), 1u) << "piece " << piece;
            EXPECT_EQ(decoded[0], frame);
        }
    }
    EXPECT_THROW(EncodeFrame(Frame{1, 1, 1, Bytes(kMaxPayload + 1)}), std::length_error);
}

// A damaged frame is skipped and the decoder finds the good one after it.
TEST(FrameCodec, ResynchronisesAfterDamage) {
    const Frame first{3, 0x83, 10, Counting(40)};
    const Frame second{3, 0x84, 11, Counting(9)};
    const Bytes a = EncodeFrame(first);
    const Bytes b = EncodeFrame(second);

    // A header announcing one byte more than the cap, with a correct header check.
    Bytes overCap(a.begin(), a.begin() + kHeaderSize);
    const uint32_t tooLong = kMaxPayload + 1;
    for (int i = 0; i < 4; ++i) overCap[9 + i] = static_cast<uint8_t>(tooLong >> (8 * i));
    const uint16_t headerCrc = Crc16Ccitt(std::span(overCap).first(13));
    overCap[13] = static_cast<uint8_t>(headerCrc);
    overCap[14] = static_cast<uint8_t>(headerCrc >> 8);

    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Frame> expected;
    };
    const auto flipped = [&](size_t at, uint8_t bits = 0x01) {
        Bytes copy = a;
        copy[at] ^= bits;
        return copy;
    };
    const std::array cases = {
        Case{"intact", Cat({a, b}), {first, second}},
        Case{"bad payload CRC", Cat({flipped(kHeaderSize + 5), b}), {second}},
        Case{"bad frame CRC field", Cat({flipped(a.size() - 1), b}), {second}},
        Case{"bad header check", Cat({flipped(7), b}), {second}},
        Case{"length over the cap", Cat({overCap, b}), {second}},
        // A length damaged on the line to 4 KiB more than follows: only the
        // header check keeps the decoder from waiting for bytes that never come.
        Case{"damaged length field", Cat({flipped(10, 0x10), b}), {second}},
        // A frame that lost its tail is given up once the bytes it announced
        // have come and fail the check; the frames in them are then found.
        Case{"truncated", Cat({Bytes(a.begin(), a.begin() + 30), b, b}), {second, second}},
        Case{"garbage before the marker",
             Cat({{0x00, kMarker0, 0x11, kMarker0, kMarker0, kMarker1, 0x42, 0xFF}, a, b}),
             {first, second}},
        Case{"garbage between frames", Cat({a, Counting(200), b}), {first, second}},
    };
    for (const Case& c : cases) {
        for (const size_t piece : {size_t{1}, size_t{5}, c.stream.size()}) {
            EXPECT_EQ(DecodeAll(c.stream, piece), c.expected) << c.name << ", piece " << piece;
        }
    }
}

TEST(FrameCodec, HoldsAnIncompleteFrameAndDropsPureGarbage) {
    const Bytes a = EncodeFrame(Frame{1, 1, 1, Counting(100)});
    FrameDecoder decoder;
    decoder.Feed(std::span(a).first(a.size() - 1));
    EXPECT_FALSE(decoder.Next());
    EXPECT_EQ(decoder.buffered(), a.size() - 1);
    decoder.Feed(std::span(a).last(1));
    EXPECT_TRUE(decoder.Next());
    EXPECT_EQ(decoder.buffered(), 0u);

    decoder.Feed(Bytes(1000, 0x00));
    EXPECT_FALSE(decoder.Next());
    EXPECT_EQ(decoder.buffered(), 0u);
    EXPECT_EQ(decoder.discarded(), 1000u);
    EXPECT_EQ(decoder.offset(), a.size() + 1000u);
}

// What a checked header announces is known before the payload is there, and
// only then.
TEST(FrameCodec, TellsThePendingHeaderOnceItChecksOut) {
    const Bytes a = EncodeFrame(Frame{-7, 0x90, 513, Counting(300)});
    FrameDecoder decoder;
    decoder.Feed(std::span(a).first(kHeaderSize - 1));
    EXPECT_FALSE(decoder.Next());
    EXPECT_FALSE(decoder.PendingHeader()) << "a header still arriving";
    decoder.Feed(std::span(a).subspan(kHeaderSize - 1, 1));
    EXPECT_FALSE(decoder.Next());
    const std::optional<FrameHeader> header = decoder.PendingHeader();
    ASSERT_TRUE(header);
    EXPECT_EQ(header->machine, -7);
    EXPECT_EQ(header->code, 0x90);
    EXPECT_EQ(header->seq, 513);
    EXPECT_EQ(header->frameSize(), a.size());
    EXPECT_EQ(decoder.offset(), 0u);

    decoder.Feed(std::span(a).subspan(kHeaderSize));
    EXPECT_TRUE(decoder.Next());
    EXPECT_FALSE(decoder.PendingHeader());
    EXPECT_EQ(decoder.offset(), a.size()) << "the next frame starts after this one";

    // A header that fails its check is never announced.
    Bytes damaged = a;
    damaged[10] ^= 0x10;
    decoder.Feed(std::span(damaged).first(kHeaderSize));
    EXPECT_FALSE(decoder.Next());
    EXPECT_FALSE(decoder.PendingHeader());
}

TEST(Payload, IntegersRoundTripAtTheirLimits) {
    for (const int32_t v : {0, 1, -1, 63, -64, 64, INT32_MAX, INT32_MIN}) {
        const auto decoded = DecodePayload<IntValue>(EncodePayload(IntValue{v}));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->value, v);
    }
    for (const uint32_t v : {0u, 127u, 128u, UINT32_MAX}) {
        PayloadWriter w;
        w.Count(v);
        PayloadReader r(w.bytes());
        EXPECT_EQ(r.Count(), v);
        EXPECT_TRUE(r.ok() && r.AtEnd());
    }
}

TEST(Payload, RejectsMalformedFields) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::array cases = {
        Case{"varint longer than 32 bits", {0xFF, 0xFF, 0xFF, 0xFF, 0x1F}},
        Case{"varint cut short", {0x80}},
        Case{"varint with a redundant zero byte", {0x82, 0x00, 0x00, 0x00, 0x00, 0x01}},
        Case{"text longer than the payload", {0x02, 0x10, 'a', 'b'}},
        Case{"overlong UTF-8", {0x02, 0x04, 0xC0, 0x80, 0x00, 0x00, 0x01}},
        Case{"UTF-16 surrogate", {0x02, 0x06, 0xED, 0xA0, 0x80, 0x00, 0x00, 0x01}},
        Case{"lone continuation byte", {0x02, 0x02, 0x80, 0x00, 0x00, 0x01}},
        Case{"enabled flag not 0 or 1", {0x02, 0x00, 0x00, 0x00, 0x02}},
        Case{"trailing byte", {0x02, 0x00, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const Case& c : cases) EXPECT_FALSE(DecodePayload<UserRecord>(c.bytes)) << c.name;

    const UserRecord user{-7, "Ğıöşçü İĞ", "şifre", 3, false};
    const auto decoded = DecodePayload<UserRecord>(EncodePayload(user));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->number, -7);
    EXPECT_EQ(decoded->name, user.name);
    EXPECT_EQ(decoded->password, user.password);
    EXPECT_EQ(decoded->privilege, 3);
    EXPECT_FALSE(decoded->enabled);
}

TEST(Payload, SplitsRepliesByStatus) {
    EXPECT_FALSE(SplitReplyPayload({}));
    EXPECT_FALSE(SplitReplyPayload(Bytes{9}));
    EXPECT_FALSE(SplitReplyPayload(Bytes{1, 0}));  // a failure carries no body
    const auto failed = SplitReplyPayload(Bytes{1});
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, Status::Failed);
    const Bytes okPayload = {0, 4, 5};
    const auto ok = SplitReplyPayload(okPayload);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Bytes(ok->body.begin(), ok->body.end()), (Bytes{4, 5}));
}

std::vector<AttendanceItem> Items(int n) {
    std::vector<AttendanceItem> items;
    for (const AttendanceEntry& e : test::LogOf(n).log) items.push_back(ToItem(e));
    return items;
}

// The reply to a load split into its begin frame and the frames after it.
struct BulkStream {
    Frame begin;
    std::vector<Frame> rest;
};

BulkStream Bulk(const std::vector<AttendanceItem>& items, std::optional<uint64_t> stopAfter = {},
                size_t chunkTarget = 200) {
    const auto bytes = BuildBulkReply<AttendanceItem>(test::kMachine, Code::LoadAttendanceLog, 9,
                                                      items, stopAfter, chunkTarget);
    EXPECT_TRUE(bytes);
    std::vector<Frame> frames = DecodeAll(*bytes, bytes->size());
    BulkStream stream{frames.front(), {frames.begin() + 1, frames.end()}};
    return stream;
}

BulkProgress Receive(const BulkStream& stream, std::vector<AttendanceItem>* out = nullptr) {
    const auto split = SplitReplyPayload(stream.begin.payload);
    EXPECT_TRUE(split && split->status == Status::Ok);
    const auto begin = DecodePayload<BulkBegin>(split->body);
    EXPECT_TRUE(begin);
    BulkReceiver<AttendanceItem> receiver(*begin);
    for (const Frame& frame : stream.rest) receiver.Take(frame);
    std::vector<AttendanceItem> items = receiver.TakeItems();
    if (receiver.progress() != BulkProgress::Complete) {
        EXPECT_TRUE(items.empty());
    }
    if (out) *out = std::move(items);
    return receiver.progress();
}

TEST(BulkTransfer, ArrivesWholeInManyChunks) {
    for (const int n : {0, 1, 5000}) {
        const std::vector<AttendanceItem> items = Items(n);
        const BulkStream stream = Bulk(items);
        EXPECT_EQ(stream.begin.code, ReplyCode(Code::LoadAttendanceLog));
        if (n == 5000) {
            EXPECT_GT(stream.rest.size(), 100u);
        }
        std::vector<AttendanceItem> received;
        EXPECT_EQ(Receive(stream, &received), BulkProgress::Complete) << n;
        EXPECT_TRUE(received == items) << n;
    }
}

// However the stream is damaged, the receiver never completes and keeps nothing.
TEST(BulkTransfer, RefusesAnythingButTheWholeTransfer) {
    const std::vector<AttendanceItem> items = Items(300);
    const BulkStream good = Bulk(items);
    ASSERT_GT(good.rest.size(), 4u);
    struct Case {
        const char* name;
        std::function<void(BulkStream&)> damage;
    };
    const auto reencodeEnd = [](BulkStream& s, uint32_t count, uint32_t crc) {
        s.rest.back().payload = EncodePayload(BulkEnd{count, crc});
    };
    const std::array cases = {
        Case{"a chunk missing", [](BulkStream& s) { s.rest.erase(s.rest.begin() + 2); }},
        Case{"chunks swapped", [](BulkStream& s) { std::swap(s.rest[1], s.rest[2]); }},
        Case{"a chunk twice", [](BulkStream& s) { s.rest.insert(s.rest.begin() + 1, s.rest[1]); }},
        Case{"end frame missing", [](BulkStream& s) { s.rest.pop_back(); }},
        Case{"end count wrong",
             [&](BulkStream& s) {
                 const auto end = DecodePayload<BulkEnd>(s.rest.back().payload);
                 reencodeEnd(s, end->itemCount + 1, end->itemsCrc);
             }},
        Case{"end checksum wrong",
             [&](BulkStream& s) {
                 const auto end = DecodePayload<BulkEnd>(s.rest.back().payload);
                 reencodeEnd(s, end->itemCount, end->itemsCrc ^ 1);
             }},
        Case{"chunk claims one item more",
             [](BulkStream& s) {
                 PayloadReader r(s.rest[0].payload);
                 ChunkHeader header;
                 Decode(r, header);
                 PayloadWriter w;
                 Encode(w, ChunkHeader{header.index, header.itemCount + 1});
                 w.Raw(r.Rest());
                 s.rest[0].payload = w.Take();
             }},
        Case{"begin counts one item less",
             [](BulkStream& s) {
                 const auto begin =
                     DecodePayload<BulkBegin>(SplitReplyPayload(s.begin.payload)->body);
                 s.begin.payload = OkReply(BulkBegin{begin->itemCount - 1, begin->chunkCount});
             }},
        Case{"unexpected frame code",
             [](BulkStream& s) { s.rest[1].code = ReplyCode(Code::GetStatus); }},
        Case{"cut after 150 items", [&](BulkStream& s) { s = Bulk(items, 150); }},
        Case{"cut after every item", [&](BulkStream& s) { s = Bulk(items, items.size()); }},
    };
    for (const Case& c : cases) {
        BulkStream stream = good;
        c.damage(stream);
        EXPECT_NE(Receive(stream), BulkProgress::Complete) << c.name;
    }
}

// Found by the client fuzzer: an end frame repeated after the transfer ended.
TEST(BulkTransfer, FramesAfterTheEndChangeNothing) {
    const std::vector<AttendanceItem> items = Items(40);
    const BulkStream stream = Bulk(items);
    const auto begin = DecodePayload<BulkBegin>(SplitReplyPayload(stream.begin.payload)->body);
    BulkReceiver<AttendanceItem> receiver(*begin);
    for (const Frame& frame : stream.rest) receiver.Take(frame);
    ASSERT_EQ(receiver.progress(), BulkProgress::Complete);
    EXPECT_EQ(receiver.Take(stream.rest.back()), BulkProgress::Complete);
    EXPECT_EQ(receiver.Take(stream.rest.front()), BulkProgress::Complete);
    EXPECT_EQ(receiver.TakeItems(), items);
    EXPECT_TRUE(receiver.TakeItems().empty());  // taken once
}

TEST(BulkTransfer, AnItemTooLargeForAChunkFailsTheBuild) {
    const std::vector<TemplateRecord> items = {{1, 0, std::string(kMaxChunkItemBytes, 'x')}};
    EXPECT_FALSE(BuildBulkReply<TemplateRecord>(1, Code::LoadTemplates, 1, items));
}

// Which requests a terminal answers, by address and line.
TEST(RequestHandler, AnswersOnlyItsOwnMachineNumber) {
    MemoryTerminal terminal(test::SmallTerminal());
    const ServerFaults faults;
    RequestHandler handler(terminal, faults);
    const Bytes hello = EncodePayload(HelloRequest{});
    const Bytes item = EncodePayload(IntValue{2});
    struct Case {
        int32_t machine;
        Code code;
        bool serial;
        bool answered;
    };
    const std::array cases = {
        Case{test::kMachine, Code::GetStatus, false, true},
        Case{test::kMachine, Code::GetStatus, true, true},
        Case{test::kMachine + 1, Code::GetStatus, false, false},
        Case{test::kMachine + 1, Code::GetStatus, true, false},
        Case{0, Code::Hello, false, true},
        Case{0, Code::Hello, true, false},  // a broadcast on a bus would collide
        Case{0, Code::GetStatus, false, false},
        Case{test::kMachine, Code::Hello, true, true},
        Case{test::kMachine - 1, Code::Hello, true, false},
    };
    for (const Case& c : cases) {
        const Frame request{c.machine, RequestCode(c.code), 3,
                            c.code == Code::Hello ? hello : item};
        const auto reply = handler.Handle(request, c.serial);
        EXPECT_EQ(reply.has_value(), c.answered) << c.machine << " serial " << c.serial;
        if (!reply) continue;
        const std::vector<Frame> frames = DecodeAll(reply->bytes, reply->bytes.size());
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].machine, test::kMachine);
        EXPECT_EQ(frames[0].seq, 3);
        EXPECT_EQ(frames[0].code, ReplyCode(c.code));
    }
    // Replies and frames that are not requests are never answered.
    EXPECT_FALSE(handler.Handle(Frame{test::kMachine, ReplyCode(Code::GetStatus), 1, item}, false));
}

TEST(RequestHandler, ReportsBadRequestsByStatus) {
    MemoryTerminal terminal(test::SmallTerminal());
    const ServerFaults faults;
    RequestHandler handler(terminal, faults);
    struct Case {
        uint8_t code;
        Bytes payload;
        Status expected;
    };
    const std::array cases = {
        Case{RequestCode(Code::Hello), EncodePayload(HelloRequest{2}), Status::Unsupported},
        Case{0x7E, {}, Status::Unsupported},
        Case{RequestCode(Code::GetStatus), {}, Status::Malformed},
        Case{RequestCode(Code::LoadAttendanceLog), {1}, Status::Malformed},
        Case{RequestCode(Code::WriteUser),
             {0x02, 0x02, 0xC3, 0x28, 0x00, 0x00, 0x01},
             Status::Malformed},  // a name that is not UTF-8
        Case{RequestCode(Code::GetStatus), EncodePayload(IntValue{42}), Status::Failed},
        Case{RequestCode(Code::ReadUser), EncodePayload(IntValue{999}), Status::Failed},
        Case{RequestCode(Code::ClearAttendanceRecords), EncodePayload(IntValue{1}),
             Status::Malformed},  // no digest
        Case{RequestCode(Code::ClearAttendanceRecords), EncodePayload(EraseRequest{4, 0}),
             Status::Failed},  // more than the log holds
        Case{RequestCode(Code::ClearAttendanceRecords), EncodePayload(EraseRequest{1, 0}),
             Status::Failed},  // records the log does not begin with
    };
    for (const Case& c : cases) {
        const auto reply = handler.Handle(Frame{test::kMachine, c.code, 1, c.payload}, false);
        ASSERT_TRUE(reply);
        const std::vector<Frame> frames = DecodeAll(reply->bytes, reply->bytes.size());
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].payload, Bytes{static_cast<uint8_t>(c.expected)}) << int{c.code};
    }
    EXPECT_EQ(terminal.state().users.size(), test::SmallTerminal().users.size());
    EXPECT_EQ(terminal.AttendanceLog().size(), test::SmallTerminal().log.size());
}

}  // namespace
}  // namespace aktarim::wire
