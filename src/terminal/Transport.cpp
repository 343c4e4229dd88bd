#include "terminal/Transport.h"

#include <asio.hpp>
#include <optional>
#include <system_error>

#include "core/Errors.h"

#ifndef _WIN32
#include <termios.h>
#endif

namespace aktarim {
namespace {

// Asio reports a failure of its own machinery (no descriptors left, a broken
// reactor) by throwing; that is a failure of the link, not a false result.
template <class F>
auto Guarded(F&& f) {
    try {
        return f();
    } catch (const std::system_error& e) {
        throw AppError(ErrorKind::Terminal, e.what());
    }
}

// Runs the one pending operation of io until it completes or the deadline
// passes; in the latter case cancels it and waits for the cancellation, so
// no handler outlives the call. Returns false on timeout.
template <class Stream>
bool RunUntil(asio::io_context& io, Stream& stream, Transport::Clock::time_point deadline,
              const std::optional<asio::error_code>& result) {
    io.restart();
    io.run_until(deadline);
    if (!result) {
        asio::error_code ignored;
        stream.cancel(ignored);
        io.restart();
        io.run();
    }
    // An operation that completed while being cancelled still counts.
    return result && *result != asio::error::operation_aborted;
}

template <class Stream>
class AsioTransport : public Transport {
  public:
    AsioTransport(std::unique_ptr<asio::io_context> io, Stream stream)
        : io_(std::move(io)), stream_(std::move(stream)) {}

    IoStatus Read(std::span<uint8_t> buffer, Clock::time_point deadline,
                  size_t& received) override {
        return Guarded([&] { return DoRead(buffer, deadline, received); });
    }

    IoStatus Write(std::span<const uint8_t> bytes, Clock::time_point deadline) override {
        return Guarded([&] { return DoWrite(bytes, deadline); });
    }

  private:
    IoStatus DoRead(std::span<uint8_t> buffer, Clock::time_point deadline, size_t& received) {
        std::optional<asio::error_code> result;
        size_t count = 0;
        stream_.async_read_some(asio::buffer(buffer.data(), buffer.size()),
                                [&](const asio::error_code& ec, size_t n) {
                                    result = ec;
                                    count = n;
                                });
        if (!RunUntil(*io_, stream_, deadline, result)) return IoStatus::Timeout;
        if (*result) return IoStatus::Closed;
        received = count;
        return IoStatus::Ok;
    }

    IoStatus DoWrite(std::span<const uint8_t> bytes, Clock::time_point deadline) {
        std::optional<asio::error_code> result;
        asio::async_write(stream_, asio::buffer(bytes.data(), bytes.size()),
                          [&](const asio::error_code& ec, size_t) { result = ec; });
        if (!RunUntil(*io_, stream_, deadline, result)) return IoStatus::Timeout;
        return *result ? IoStatus::Closed : IoStatus::Ok;
    }

    std::unique_ptr<asio::io_context> io_;  // outlives stream_
    Stream stream_;
};

}  // namespace

std::unique_ptr<Transport> ConnectTcp(const std::string& address, uint16_t port,
                                      Transport::Clock::time_point deadline, std::string& error) {
    return Guarded([&]() -> std::unique_ptr<Transport> {
        asio::error_code ec;
        const asio::ip::address ip = asio::ip::make_address(address, ec);
        if (ec) {
            error = "\"" + address + "\" bir IP adresi değil";
            return nullptr;
        }
        auto io = std::make_unique<asio::io_context>(1);
        asio::ip::tcp::socket socket(*io);
        std::optional<asio::error_code> result;
        socket.async_connect({ip, port}, [&](const asio::error_code& e) { result = e; });
        const std::string endpoint = address + ":" + std::to_string(port);
        if (!RunUntil(*io, socket, deadline, result)) {
            error = endpoint + " zamanında yanıt vermedi";
            return nullptr;
        }
        if (*result) {
            error = *result == asio::error::connection_refused
                        ? endpoint + " bağlantıyı geri çevirdi"
                        : endpoint + ": " + result->message();
            return nullptr;
        }
        socket.set_option(asio::ip::tcp::no_delay(true), ec);
        return std::make_unique<AsioTransport<asio::ip::tcp::socket>>(std::move(io),
                                                                      std::move(socket));
    });
}

std::unique_ptr<Transport> OpenSerial(const std::string& device, int32_t baudRate,
                                      std::string& error) {
    return Guarded([&]() -> std::unique_ptr<Transport> {
        if (baudRate <= 0) {
            error = "geçersiz hız: " + std::to_string(baudRate);
            return nullptr;
        }
        auto io = std::make_unique<asio::io_context>(1);
        asio::serial_port port(*io);
        asio::error_code ec;
        port.open(device, ec);
        if (ec) {
            error = device + " açılamadı: " + ec.message();
            return nullptr;
        }
        using Base = asio::serial_port_base;
        port.set_option(Base::baud_rate(static_cast<unsigned>(baudRate)), ec);
        if (!ec) port.set_option(Base::character_size(8), ec);
        if (!ec) port.set_option(Base::parity(Base::parity::none), ec);
        if (!ec) port.set_option(Base::stop_bits(Base::stop_bits::one), ec);
        if (!ec) port.set_option(Base::flow_control(Base::flow_control::none), ec);
        if (ec) {
            error =
                device + " " + std::to_string(baudRate) + " hızına ayarlanamadı: " + ec.message();
            return nullptr;
        }
#ifndef _WIN32
        // Bytes left over from an earlier conversation must not pass for replies.
        ::tcflush(port.native_handle(), TCIOFLUSH);
#endif
        return std::make_unique<AsioTransport<asio::serial_port>>(std::move(io), std::move(port));
    });
}

}  // namespace aktarim
