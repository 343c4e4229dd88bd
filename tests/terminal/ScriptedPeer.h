#pragma once
// A raw TCP peer on 127.0.0.1 that answers each frame it receives with
// whatever its script returns (nothing, garbage, a broken reply), so a test
// can play a terminal that misbehaves in ways the real server never would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "LoopbackListener.h"
#include "terminal/Frame.h"
#include "terminal/Messages.h"

namespace aktarim::test {

class ScriptedPeer {
  public:
    using Bytes = std::vector<uint8_t>;
    using Script = std::function<Bytes(const wire::Frame&)>;

    explicit ScriptedPeer(Script script) : script_(std::move(script)) {
        listener_ = ListenOnLoopback(port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedPeer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // The reply a well-behaved terminal of machine number m gives to a handshake.
    static Bytes HelloReply(const wire::Frame& request, int32_t m) {
        Bytes out;
        wire::AppendFrame(out, m, wire::ReplyCode(wire::Code::Hello), request.seq,
                          wire::OkReply(wire::HelloReply{wire::kProtocolVersion, m, 65536}));
        return out;
    }

    uint16_t port = 0;

  private:
    // Polls in short steps so that the destructor's stop is seen at once.
    bool Wait(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 20) > 0;
    }

    void Serve() {
        while (!stop_) {
            if (!Wait(listener_)) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            wire::FrameDecoder decoder;
            uint8_t buffer[4096];
            while (!stop_) {
                if (!Wait(client)) continue;
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                decoder.Feed({buffer, static_cast<size_t>(n)});
                while (auto frame = decoder.Next()) {
                    const Bytes reply = script_(*frame);
                    if (!reply.empty()) ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
                }
            }
            ::close(client);
        }
    }

    Script script_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace aktarim::test
