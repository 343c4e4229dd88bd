#pragma once
// Serves one MemoryTerminal over the wire protocol (docs/protocol.md), on TCP
// and optionally on a pseudo-terminal, one client at a time.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "terminal/MemoryTerminal.h"

namespace aktarim {

struct ServerFaults {
    bool refuse = false;                      // refuse every connection
    int replyDelayMs = 0;                     // delay every reply
    std::optional<int64_t> dropAfterRecords;  // drop while sending the log, after N records
    bool wrongMachine = false;                // answer as another machine number
    bool failClear = false;                   // clear commands answer failure
    int baud = 0;                             // throttle the serial line (0: no limit)
};

class TerminalServer {
  public:
    TerminalServer(MemoryTerminal& terminal, ServerFaults faults = {});
    ~TerminalServer();
    TerminalServer(const TerminalServer&) = delete;
    TerminalServer& operator=(const TerminalServer&) = delete;

    // Both are called before Run(); each throws AppError(Terminal) when it
    // cannot open its endpoint.
    // Listens on host:port; port 0 picks a free one. Returns the bound port.
    uint16_t ListenTcp(const std::string& host, uint16_t port);
    // Opens a new pseudo-terminal and serves it; returns the path of its
    // slave side (what a client opens).
    std::string OpenPseudoTerminal();

    // Runs `task` on the server's loop every `interval` while it runs:
    // between requests, and also while a reply is going out (a reply is
    // built whole when its request arrives, so a bulk load stays the one
    // snapshot it announced). Called before Run().
    void Every(std::chrono::milliseconds interval, std::function<void()> task);
    // Runs `task` once on the server's loop; callable from any thread.
    void Post(std::function<void()> task);

    // Serves until Stop() (callable from any thread) or, with
    // stopOnSignals, until SIGINT or SIGTERM.
    void Run(bool stopOnSignals = false);
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace aktarim
