#pragma once
// A terminal served over loopback TCP (and a pseudo-terminal when asked) on a
// thread of its own, plus small sample data and short timeouts for tests.
#include <chrono>
#include <string>
#include <thread>

#include "terminal/LinkOptions.h"
#include "terminal/MemoryTerminal.h"
#include "terminal/TerminalServer.h"

namespace aktarim::test {

inline constexpr int32_t kMachine = 5;

inline TerminalState SmallTerminal() {
    TerminalState state;
    state.machineNumber = kMachine;
    state.users[1] = {1, "Ayşe Yılmaz", "", 0, true, ""};
    state.users[2] = {2, "Çağrı Öğüt", "4321", 1, true, "0004455667"};
    state.users[3] = {3, "Şule İnce", "7", 2, false, ""};
    state.users[70000] = {70000, "Ümit Güneş", "99", 3, true, ""};
    state.templates[{1, 0}] = std::string(600, 'A');
    state.templates[{1, 5}] = std::string(700, 'B');
    state.templates[{70000, 9}] = std::string(800, 'C');
    state.log = {
        {1, 1, 0, 2024, 3, 4, 8, 1, 15},
        {70000, 2, 1, 2024, 3, 4, 17, 59, 0},
        {3, 0, 5, 2024, 12, 31, 23, 59, 59},
    };
    return state;
}

// A log of n records whose values can be checked from their index.
inline TerminalState LogOf(int n) {
    TerminalState state;
    state.machineNumber = kMachine;
    state.log.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        state.log.push_back(
            {i, i % 3, i % 6, 2000 + i % 30, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0});
    return state;
}

// Faults with one knob set (designated initialisers would leave the rest
// to a warning).
template <class Set>
ServerFaults Faults(Set set) {
    ServerFaults faults;
    set(faults);
    return faults;
}

inline LinkOptions FastOptions() {
    LinkOptions options;
    options.connectTimeout = std::chrono::milliseconds(500);
    options.requestTimeout = std::chrono::milliseconds(300);
    options.idleTimeout = std::chrono::milliseconds(300);
    return options;
}

class ServedTerminal {
  public:
    explicit ServedTerminal(TerminalState state = SmallTerminal(), ServerFaults faults = {},
                            bool serial = false)
        : terminal(std::move(state)), server(terminal, faults) {
        port = server.ListenTcp("127.0.0.1", 0);
        if (serial) ptyPath = server.OpenPseudoTerminal();
        thread_ = std::thread([this] { server.Run(); });
    }
    ~ServedTerminal() {
        server.Stop();
        thread_.join();
    }
    ServedTerminal(const ServedTerminal&) = delete;
    ServedTerminal& operator=(const ServedTerminal&) = delete;

    // Options whose serial port 1 is this server's pseudo-terminal.
    LinkOptions SerialOptions() const {
        LinkOptions options = FastOptions();
        options.serialDevices[0] = ptyPath;
        return options;
    }

    MemoryTerminal terminal;
    TerminalServer server;
    uint16_t port = 0;
    std::string ptyPath;

  private:
    std::thread thread_;
};

template <class F>
std::chrono::milliseconds Elapsed(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

}  // namespace aktarim::test
