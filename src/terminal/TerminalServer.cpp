#include "terminal/TerminalServer.h"

#include <asio.hpp>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "core/Errors.h"
#include "terminal/Frame.h"
#include "terminal/RequestHandler.h"

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace aktarim {
namespace {

using Clock = std::chrono::steady_clock;

// Requests waiting while a reply goes out; past this the session stops
// reading, so a client that never reads cannot grow the queue.
constexpr size_t kMaxPendingRequests = 16;

// What every session shares: the terminal's logic and the event loop.
struct ServerCore {
    ServerCore(MemoryTerminal& terminal, ServerFaults f) : faults(f), handler(terminal, faults) {}

    ServerFaults faults;
    wire::RequestHandler handler;  // refers to faults
    asio::io_context io{1};        // outlives everything that lives on it
};

class SessionBase {
  public:
    virtual ~SessionBase() = default;
    virtual void Close() = 0;
};

// One conversation on one stream. On TCP the session ends with the
// connection; on the serial line it lives as long as the server, since a
// line has no notion of a client going away.
template <class Stream>
class Session : public SessionBase, public std::enable_shared_from_this<Session<Stream>> {
  public:
    Session(ServerCore& server, Stream stream, bool serial)
        : server_(server),
          stream_(std::move(stream)),
          timer_(server.io),
          retryTimer_(server.io),
          serial_(serial) {}

    void Start() { ReadMore(); }

    void Close() override {
        closed_ = true;
        asio::error_code ignored;
        timer_.cancel();
        retryTimer_.cancel();
        stream_.close(ignored);
    }

  private:
    void ReadMore() {
        if (closed_ || reading_ || pending_.size() >= kMaxPendingRequests) return;
        reading_ = true;
        stream_.async_read_some(asio::buffer(readBuffer_),
                                [self = this->shared_from_this()](
                                    const asio::error_code& ec, size_t n) { self->OnRead(ec, n); });
    }

    void OnRead(const asio::error_code& ec, size_t n) {
        reading_ = false;
        if (closed_) return;
        if (ec) {
            if (!serial_) return Close();
            // A line has nobody to hang up: wait a little and listen again.
            retryTimer_.expires_after(std::chrono::milliseconds(20));
            retryTimer_.async_wait([self = this->shared_from_this()](const asio::error_code& e) {
                if (!e) self->ReadMore();
            });
            return;
        }
        decoder_.Feed({readBuffer_.data(), n});
        while (std::optional<wire::Frame> frame = decoder_.Next())
            pending_.push_back(std::move(*frame));
        Pump();
    }

    void Pump() {
        while (!busy_ && !closed_ && !pending_.empty()) {
            const wire::Frame request = std::move(pending_.front());
            pending_.pop_front();
            // A refusing terminal on a line simply never answers.
            if (serial_ && server_.faults.refuse) continue;
            std::optional<wire::ServerReply> reply = server_.handler.Handle(request, serial_);
            if (!reply) continue;
            busy_ = true;
            out_ = std::move(reply->bytes);
            dropAfter_ = reply->dropAfter;
            if (server_.faults.replyDelayMs > 0) {
                timer_.expires_after(std::chrono::milliseconds(server_.faults.replyDelayMs));
                timer_.async_wait([self = this->shared_from_this()](const asio::error_code& e) {
                    if (!e) self->Send();
                });
            } else {
                Send();
            }
        }
        ReadMore();
    }

    void Send() {
        if (closed_) return;
        if (serial_ && server_.faults.baud > 0) {
            bytesPerSecond_ = std::max(1, server_.faults.baud / 10);
            sent_ = 0;
            throttleStart_ = Clock::now();
            return WriteSlice();
        }
        asio::async_write(stream_, asio::buffer(out_),
                          [self = this->shared_from_this()](const asio::error_code& ec, size_t) {
                              self->Sent(ec);
                          });
    }

    // Throttled output: slices of about 10 ms of line time, each due at the
    // moment the line would have carried the bytes before it.
    void WriteSlice() {
        if (closed_) return;
        if (sent_ >= out_.size()) return Sent({});
        const size_t slice = std::max<size_t>(1, static_cast<size_t>(bytesPerSecond_) / 100);
        const size_t n = std::min(slice, out_.size() - sent_);
        asio::async_write(stream_, asio::buffer(out_.data() + sent_, n),
                          [self = this->shared_from_this(), n](const asio::error_code& ec, size_t) {
                              if (ec) return self->Sent(ec);
                              self->sent_ += n;
                              const auto due =
                                  self->throttleStart_ +
                                  std::chrono::nanoseconds(static_cast<int64_t>(
                                      self->sent_ * 1'000'000'000ull / self->bytesPerSecond_));
                              self->timer_.expires_at(due);
                              self->timer_.async_wait([self](const asio::error_code& e) {
                                  if (!e) self->WriteSlice();
                              });
                          });
    }

    void Sent(const asio::error_code& ec) {
        busy_ = false;
        out_.clear();
        if (closed_) return;
        // A cut line on serial is simply the rest never being sent.
        if ((ec || dropAfter_) && !serial_) return Close();
        Pump();
    }

    ServerCore& server_;
    Stream stream_;
    asio::steady_timer timer_;
    asio::steady_timer retryTimer_;
    const bool serial_;
    bool closed_ = false;
    bool reading_ = false;
    bool busy_ = false;
    bool dropAfter_ = false;
    std::array<uint8_t, 16 * 1024> readBuffer_{};
    wire::FrameDecoder decoder_;
    std::deque<wire::Frame> pending_;
    std::vector<uint8_t> out_;
    size_t sent_ = 0;
    int bytesPerSecond_ = 0;
    Clock::time_point throttleStart_;
};

}  // namespace

struct TerminalServer::Impl : ServerCore {
    using ServerCore::ServerCore;
    ~Impl() {
        for (auto& r : repeating) r->timer.cancel();
        if (acceptor) acceptor->close();
        if (tcpSession) tcpSession->Close();
        if (serialSession) serialSession->Close();
#ifndef _WIN32
        if (slaveFd >= 0) ::close(slaveFd);
#endif
    }

    void Accept();

    struct Repeating {
        Repeating(asio::io_context& io, std::chrono::milliseconds every, std::function<void()> t)
            : timer(io), interval(every), task(std::move(t)) {}
        asio::steady_timer timer;
        std::chrono::milliseconds interval;
        std::function<void()> task;
    };
    void Schedule(Repeating& repeating);

    std::vector<std::unique_ptr<Repeating>> repeating;
    std::optional<asio::ip::tcp::acceptor> acceptor;
    std::shared_ptr<SessionBase> tcpSession;
    std::shared_ptr<SessionBase> serialSession;
    int slaveFd = -1;  // see OpenPseudoTerminal
    std::mutex stopMutex;
    bool stopRequested = false;
};

void TerminalServer::Impl::Accept() {
    acceptor->async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor->is_open()) return;
        if (!ec) {
            if (faults.refuse) {
                asio::error_code ignored;
                socket.close(ignored);
            } else {
                // One client at a time, and the newest wins: a window that
                // left its connection open must not lock out the next one.
                if (tcpSession) tcpSession->Close();
                asio::error_code ignored;
                socket.set_option(asio::ip::tcp::no_delay(true), ignored);
                auto session = std::make_shared<Session<asio::ip::tcp::socket>>(
                    *this, std::move(socket), false);
                tcpSession = session;
                session->Start();
            }
        }
        Accept();
    });
}

void TerminalServer::Impl::Schedule(Repeating& r) {
    // From the end of the last run: a loop that was held up does not make
    // up for it with a burst.
    r.timer.expires_after(r.interval);
    r.timer.async_wait([this, &r](const asio::error_code& ec) {
        if (ec) return;
        r.task();
        Schedule(r);
    });
}

TerminalServer::TerminalServer(MemoryTerminal& terminal, ServerFaults faults)
    : impl_(std::make_unique<Impl>(terminal, faults)) {}

TerminalServer::~TerminalServer() = default;

uint16_t TerminalServer::ListenTcp(const std::string& host, uint16_t port) {
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(host, ec);
    if (ec) throw AppError(ErrorKind::Terminal, "not an IP address: " + host);
    const asio::ip::tcp::endpoint endpoint(address, port);
    asio::ip::tcp::acceptor acceptor(impl_->io);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor.bind(endpoint, ec);
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
        throw AppError(ErrorKind::Terminal, "cannot listen on " + host + ":" +
                                                std::to_string(port) + ": " + ec.message());
    const uint16_t bound = acceptor.local_endpoint().port();
    impl_->acceptor.emplace(std::move(acceptor));
    impl_->Accept();
    return bound;
}

std::string TerminalServer::OpenPseudoTerminal() {
#ifdef _WIN32
    throw AppError(ErrorKind::Terminal, "pseudo-terminals are not available on this system");
#else
    const auto fail = [](const char* what) {
        throw AppError(ErrorKind::Terminal, std::string("cannot open a pseudo-terminal: ") + what +
                                                ": " + std::strerror(errno));
    };
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) fail("posix_openpt");
    asio::posix::stream_descriptor descriptor(impl_->io, master);  // owns master from here
    if (::grantpt(master) != 0) fail("grantpt");
    if (::unlockpt(master) != 0) fail("unlockpt");
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) fail("ptsname");
    // Holding the slave side open keeps the master readable between clients
    // (otherwise it reads EIO once the last client closes), and making it
    // raw at once stops the line discipline from echoing our replies back.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) fail("open");
    termios raw{};
    if (::tcgetattr(slave, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
    }
    if (impl_->slaveFd >= 0) ::close(impl_->slaveFd);
    impl_->slaveFd = slave;
    if (impl_->serialSession) impl_->serialSession->Close();
    auto session = std::make_shared<Session<asio::posix::stream_descriptor>>(
        *impl_, std::move(descriptor), true);
    impl_->serialSession = session;
    session->Start();
    return name;
#endif
}

void TerminalServer::Every(std::chrono::milliseconds interval, std::function<void()> task) {
    auto r = std::make_unique<Impl::Repeating>(
        impl_->io, std::max(interval, std::chrono::milliseconds(1)), std::move(task));
    impl_->Schedule(*r);
    impl_->repeating.push_back(std::move(r));
}

void TerminalServer::Post(std::function<void()> task) { asio::post(impl_->io, std::move(task)); }

void TerminalServer::Run(bool stopOnSignals) {
    {
        std::lock_guard lock(impl_->stopMutex);
        if (impl_->stopRequested) return;
        impl_->io.restart();
    }
    std::optional<asio::signal_set> signals;
    if (stopOnSignals) {
        signals.emplace(impl_->io, SIGINT, SIGTERM);
        signals->async_wait([this](const asio::error_code& ec, int) {
            if (!ec) Stop();
        });
    }
    const auto work = asio::make_work_guard(impl_->io);
    impl_->io.run();
}

void TerminalServer::Stop() {
    std::lock_guard lock(impl_->stopMutex);
    impl_->stopRequested = true;
    impl_->io.stop();
}

}  // namespace aktarim
