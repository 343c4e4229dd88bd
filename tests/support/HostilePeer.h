#pragma once
// A terminal on 127.0.0.1 that may answer a request with a stream that goes
// on and on: its script gets a sender and may keep sending until the link
// hangs up, the peer is destroyed, or a safety bound of a few seconds passes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "LoopbackListener.h"
#include "terminal/Frame.h"
#include "terminal/Messages.h"

namespace aktarim::test {

class HostilePeer {
  public:
    using Bytes = std::vector<uint8_t>;

    class Sender {
      public:
        Sender(int fd, const std::atomic<bool>& stop, std::chrono::steady_clock::time_point end)
            : fd_(fd), stop_(stop), end_(end) {}
        // False once the link has gone, the peer stops or the bound passed.
        bool Send(const Bytes& bytes) {
            if (!alive()) return false;
            size_t sent = 0;
            while (sent < bytes.size()) {
                pollfd p{fd_, POLLOUT, 0};
                if (::poll(&p, 1, 20) <= 0) {
                    if (!alive()) return false;
                    continue;
                }
                const ssize_t n =
                    ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) return false;
                sent += static_cast<size_t>(n);
            }
            return true;
        }
        bool alive() const {
            if (stop_ || std::chrono::steady_clock::now() >= end_) return false;
            // A closed link shows as readable with nothing to read.
            pollfd p{fd_, POLLIN, 0};
            char c;
            return !(::poll(&p, 1, 0) > 0 && ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0);
        }

      private:
        int fd_;
        const std::atomic<bool>& stop_;
        std::chrono::steady_clock::time_point end_;
    };
    using Script = std::function<void(const wire::Frame&, Sender&)>;

    explicit HostilePeer(Script script, std::chrono::milliseconds bound = std::chrono::seconds(5))
        : script_(std::move(script)), bound_(bound) {
        listener_ = ListenOnLoopback(port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~HostilePeer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    HostilePeer(const HostilePeer&) = delete;
    HostilePeer& operator=(const HostilePeer&) = delete;

    // One frame, encoded.
    static Bytes FrameBytes(int32_t machine, uint8_t code, uint16_t seq, const Bytes& payload) {
        Bytes out;
        wire::AppendFrame(out, machine, code, seq, payload);
        return out;
    }

    uint16_t port = 0;

  private:
    static bool Readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 20) > 0;
    }

    void Serve() {
        while (!stop_) {
            if (!Readable(listener_)) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            wire::FrameDecoder decoder;
            uint8_t buffer[4096];
            Sender sender(client, stop_, std::chrono::steady_clock::now() + bound_);
            while (!stop_) {
                if (!Readable(client)) continue;
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                decoder.Feed({buffer, static_cast<size_t>(n)});
                while (auto frame = decoder.Next()) script_(*frame, sender);
            }
            ::close(client);
        }
    }

    Script script_;
    std::chrono::milliseconds bound_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace aktarim::test
