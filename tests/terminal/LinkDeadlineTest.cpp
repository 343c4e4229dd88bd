// Every call of the wire link ends within its timeouts whatever the peer
// sends: only a whole, valid frame of the awaited reply moves a deadline.
// Peers here keep the line busy with bytes that never make such a frame.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

#include "HostilePeer.h"
#include "WireFixtures.h"
#include "terminal/Crc.h"
#include "terminal/WireLink.h"

namespace aktarim::test {
namespace {

using namespace std::chrono_literals;
using Bytes = HostilePeer::Bytes;
using Sender = HostilePeer::Sender;
constexpr int32_t m = kMachine;
constexpr auto kTimeout = 300ms;

LinkOptions Timeouts() {
    LinkOptions options;
    options.connectTimeout = options.requestTimeout = options.idleTimeout = kTimeout;
    return options;
}

// Random bytes with a frame marker every so often, so the decoder keeps
// finding headers to check.
Bytes RandomBlock(uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(64 * 1024);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    for (size_t i = 0; i + 1 < bytes.size(); i += 97) {
        bytes[i] = wire::kMarker0;
        bytes[i + 1] = wire::kMarker1;
    }
    return bytes;
}

// The header of a reply to `request` that checks out and announces length.
Bytes ReplyHeader(const wire::Frame& request, int32_t machine, uint32_t length) {
    Bytes whole;
    wire::AppendFrame(whole, machine, static_cast<uint8_t>(request.code | wire::kReplyBit),
                      request.seq, {});
    whole.resize(wire::kHeaderSize);
    for (int i = 0; i < 4; ++i) whole[9 + i] = static_cast<uint8_t>(length >> (8 * i));
    const uint16_t crc = wire::Crc16Ccitt({whole.data(), 13});
    whole[13] = static_cast<uint8_t>(crc);
    whole[14] = static_cast<uint8_t>(crc >> 8);
    return whole;
}

Bytes Frame(const wire::Frame& request, int32_t machine, uint8_t code, const Bytes& payload,
            uint16_t seqOffset = 0) {
    Bytes out;
    wire::AppendFrame(out, machine, code, static_cast<uint16_t>(request.seq + seqOffset), payload);
    return out;
}

using Behaviour = std::function<void(const wire::Frame&, Sender&)>;

struct Peer {
    const char* name;
    Behaviour misbehave;
};

const std::vector<Peer>& Peers() {
    static const std::vector<Peer> peers = {
        {"random bytes as fast as the socket takes them",
         [](const wire::Frame&, Sender& s) {
             const Bytes block = RandomBlock(11);
             while (s.Send(block)) {
             }
         }},
        {"a frame marker trickled byte by byte",
         [](const wire::Frame&, Sender& s) {
             for (int i = 0; s.Send({i % 2 == 0 ? wire::kMarker0 : wire::kMarker1}); ++i)
                 std::this_thread::sleep_for(2ms);
         }},
        {"the first half of a reply header, again and again",
         [](const wire::Frame& f, Sender& s) {
             Bytes half = ReplyHeader(f, m, 16);
             half.resize(8);
             while (s.Send(half)) std::this_thread::sleep_for(1ms);
         }},
        {"a checked header of the reply, then its payload trickled",
         [](const wire::Frame& f, Sender& s) {
             if (!s.Send(ReplyHeader(f, m, wire::kMaxPayload))) return;
             while (s.Send({0x00})) std::this_thread::sleep_for(2ms);
         }},
        {"valid replies to another request, as fast as they go",
         [](const wire::Frame& f, Sender& s) {
             const Bytes stale = Frame(f, m, static_cast<uint8_t>(f.code | wire::kReplyBit),
                                       wire::OkReply(wire::IntValue{1}), 1);
             Bytes many;
             for (int i = 0; i < 256; ++i) many.insert(many.end(), stale.begin(), stale.end());
             while (s.Send(many)) {
             }
         }},
    };
    return peers;
}

enum class Phase { Connect, Call, Load };

const char* PhaseName(Phase phase) {
    switch (phase) {
        case Phase::Connect:
            return "connect";
        case Phase::Call:
            return "call";
        case Phase::Load:
            return "load";
    }
    return "?";
}

// The well-behaved part before the misbehaviour: a handshake, and for a load
// its first reply and one chunk.
void Serve(Phase phase, const Peer& peer, const wire::Frame& f, Sender& s) {
    const bool hello = f.code == wire::RequestCode(wire::Code::Hello);
    if (phase == Phase::Connect || !hello) {
        if (phase == Phase::Load) {
            s.Send(Frame(f, m, wire::ReplyCode(wire::Code::LoadAttendanceLog),
                         wire::OkReply(wire::BulkBegin{2, 2})));
            wire::PayloadWriter w;
            w.Count(0);
            w.Count(1);
            wire::Encode(w, wire::AttendanceItem{1, 1, 0, 2024, 3, 4, 8, 0});
            s.Send(Frame(f, m, wire::kChunkCode, w.bytes()));
        }
        return peer.misbehave(f, s);
    }
    s.Send(Frame(f, m, wire::ReplyCode(wire::Code::Hello),
                 wire::OkReply(wire::HelloReply{wire::kProtocolVersion, m, 65536})));
}

TEST(LinkDeadlines, EveryCallEndsWithinTwiceItsTimeoutsWhateverThePeerSends) {
    for (const Phase phase : {Phase::Connect, Phase::Call, Phase::Load}) {
        for (const Peer& peer : Peers()) {
            SCOPED_TRACE(std::string(PhaseName(phase)) + ": " + peer.name);
            HostilePeer hostile([&](const wire::Frame& f, Sender& s) { Serve(phase, peer, f, s); },
                                4s);
            WireLink link(Timeouts());
            bool answered = true;
            int32_t value = -1;
            const auto elapsed = Elapsed([&] {
                answered = link.ConnectNetwork("127.0.0.1", hostile.port);
                if (phase == Phase::Call) answered = link.GetStatusValue(m, 6, value);
                if (phase == Phase::Load) answered = link.LoadAttendanceLog(m);
            });
            ASSERT_FALSE(answered);
            EXPECT_FALSE(link.IsConnected());
            EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Timeout)
                << LinkFailureText(link.LastFailure());
            // The connect that went through came first and is not timed apart:
            // the call's own bound is its timeout, the load's its request
            // timeout plus the silence after the chunk.
            const auto bound = phase == Phase::Load ? 2 * (kTimeout + kTimeout) : 2 * kTimeout;
            EXPECT_GE(elapsed, kTimeout - 10ms);
            EXPECT_LT(elapsed, bound + (phase == Phase::Connect ? 0ms : 100ms))
                << elapsed.count() << " ms";
            AttendanceValues record;
            EXPECT_FALSE(link.NextAttendanceRecord(m, record)) << "a partial log was kept";
        }
    }
}

// The same on a serial line: garbage as fast as a pseudo-terminal takes it
// gets no line time, so the handshake ends with the connect timeout.
TEST(LinkDeadlines, ASerialLineFullOfGarbageEndsTheConnectInTime) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    char name[128] = {};
    ASSERT_EQ(::ptsname_r(master, name, sizeof name), 0);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const Bytes block = RandomBlock(23);
        const auto end = std::chrono::steady_clock::now() + 4s;
        size_t at = 0;
        while (!stop && std::chrono::steady_clock::now() < end) {
            pollfd p{master, POLLOUT, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            const ssize_t n = ::write(master, block.data() + at, block.size() - at);
            if (n > 0) at = (at + static_cast<size_t>(n)) % block.size();
            // Drain what the link writes, so the line never blocks it.
            uint8_t sink[512];
            while (::read(master, sink, sizeof sink) > 0) {
            }
        }
    });
    LinkOptions options = Timeouts();
    options.serialDevices[0] = name;
    WireLink link(options);
    const auto elapsed = Elapsed([&] { EXPECT_FALSE(link.ConnectSerial(1, m, 9600)); });
    stop = true;
    writer.join();
    ::close(master);
    EXPECT_EQ(link.LastFailure().kind, LinkFailureKind::Timeout)
        << LinkFailureText(link.LastFailure());
    EXPECT_GE(elapsed, kTimeout - 10ms);
    EXPECT_LT(elapsed, 2 * kTimeout);
}

}  // namespace
}  // namespace aktarim::test
