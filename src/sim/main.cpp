// terminal-sim: one simulated attendance terminal on TCP and, optionally, a
// pseudo-terminal, its state kept in SQLite.
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <future>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "core/Errors.h"
#include "core/Version.h"
#include "sim/DemoData.h"
#include "sim/PersistentTerminal.h"
#include "sim/StateJson.h"
#include "terminal/TerminalServer.h"

namespace {

using aktarim::AppError;
using aktarim::ErrorKind;

struct Options {
    std::string listen = "127.0.0.1:4370";
    std::string serialLink;
    std::optional<int32_t> machine;
    std::string state;
    std::string portFile;
    int32_t seedUsers = 0;
    int32_t seedRecords = 0;
    int32_t seedTemplates = 0;
    uint64_t seed = 1;
    std::optional<int64_t> clockOffset;
    int punchEveryMs = 0;
    aktarim::ServerFaults faults;
};

std::pair<std::string, uint16_t> SplitHostPort(const std::string& text) {
    const auto colon = text.rfind(':');
    const auto bad = [&] {
        return AppError(ErrorKind::Usage, "--listen wants HOST:PORT, not '" + text + "'");
    };
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) throw bad();
    const std::string portText = text.substr(colon + 1);
    if (portText.find_first_not_of("0123456789") != std::string::npos || portText.size() > 5)
        throw bad();
    const int port = std::stoi(portText);
    if (port > 65535) throw bad();
    return {text.substr(0, colon), static_cast<uint16_t>(port)};
}

// Writes through a temporary name and renames, so a reader never sees half a file.
void WriteFileAtomically(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush()) throw AppError(ErrorKind::Io, "cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        throw AppError(ErrorKind::Io, "cannot write " + path + ": " + std::strerror(errno));
}

// Points `link` at `target`, replacing an older symbolic link but nothing else.
void ReplaceSymlink(const std::string& link, const std::string& target) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode))
        throw AppError(ErrorKind::Usage,
                       "--serial-link: " + link + " exists and is not a symbolic link");
    const std::string temporary = link + ".tmp";
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 ||
        std::rename(temporary.c_str(), link.c_str()) != 0)
        throw AppError(ErrorKind::Io,
                       "cannot make " + link + " point to " + target + ": " + std::strerror(errno));
}

void RemoveSymlinkTo(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer);
    if (n > 0 && std::string(buffer, static_cast<size_t>(n)) == target) unlink(link.c_str());
}

int Dump(const std::string& path) {
    nlohmann::ordered_json state = aktarim::sim::StateToJson(aktarim::sim::ReadStateFile(path));
    state["punchesAdded"] = aktarim::sim::ReadPunchesAdded(path);
    std::cout << state.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << '\n';
    return std::cout.flush() ? 0 : 1;
}

int Serve(const Options& options) {
    // Signals are taken by sigwait below, never by a handler: blocked here,
    // before any thread starts, so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);  // the server thread ended by itself
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    const auto [host, port] = SplitHostPort(options.listen);
    aktarim::sim::PersistentTerminal terminal(options.state.empty() ? ":memory:" : options.state);
    if (options.machine) terminal.SetMachineNumber(*options.machine);
    if (terminal.IsEmpty()) {
        if (options.clockOffset) terminal.SetClockOffset(*options.clockOffset);
        if (options.seedUsers > 0 || options.seedRecords > 0) {
            aktarim::sim::DemoOptions demo;
            demo.users = options.seedUsers;
            demo.records = options.seedRecords;
            demo.templatesPerUser = options.seedTemplates;
            demo.seed = options.seed;
            terminal.Import(aktarim::sim::MakeDemoData(demo, std::time(nullptr)));
        }
    } else if (options.seedUsers > 0 || options.seedRecords > 0 || options.clockOffset) {
        std::cerr << "terminal-sim: the state is not empty; --seed-* and --clock-offset "
                     "are not applied\n";
    }

    terminal.ResetPunchesAdded();
    aktarim::TerminalServer server(terminal, options.faults);
    // A terminal in use: people punch while it is being read. The punches
    // run on the server's loop, between requests and while a reply goes out.
    aktarim::sim::SplitMix64 punchRandom(options.seed ^ 0x70756e6368ull);
    if (options.punchEveryMs > 0)
        server.Every(std::chrono::milliseconds(options.punchEveryMs), [&] {
            terminal.AppendPunch(
                aktarim::sim::MakePunch(punchRandom, terminal, std::time(nullptr)));
        });
    const uint16_t bound = server.ListenTcp(host, port);
    std::string pty;
    if (!options.serialLink.empty()) {
        pty = server.OpenPseudoTerminal();
        ReplaceSymlink(options.serialLink, pty);
    }
    if (!options.portFile.empty())
        WriteFileAtomically(options.portFile, std::to_string(bound) + "\n");

    std::cerr << "terminal-sim: machine " << terminal.machineNumber() << " on " << host << ":"
              << bound;
    if (!pty.empty()) std::cerr << ", serial " << pty << " (" << options.serialLink << ")";
    std::cerr << ", " << terminal.AttendanceLog().size() << " records, "
              << terminal.state().users.size() << " users\n";

    const pthread_t mainThread = pthread_self();
    std::exception_ptr failure;
    auto finished = std::async(std::launch::async, [&] {
        try {
            server.Run(false);
        } catch (...) {
            failure = std::current_exception();
        }
        pthread_kill(mainThread, SIGUSR1);
    });

    std::cout << "ready" << std::endl;

    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    server.Stop();  // also when the signal came before Run began
    finished.wait();
    if (!pty.empty()) RemoveSymlinkTo(options.serialLink, pty);
    if (failure) std::rethrow_exception(failure);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Serves one simulated fingerprint attendance terminal.", "terminal-sim"};
    app.set_version_flag("--version", std::string("terminal-sim ") + aktarim::kVersion);
    Options options;
    app.add_option("--listen", options.listen, "TCP address HOST:PORT (port 0: any free port)")
        ->capture_default_str();
    app.add_option("--serial-link", options.serialLink,
                   "also serve a new pseudo-terminal; make PATH a symbolic link to it");
    app.add_option("--machine", options.machine, "machine number, kept in the state (new: 1)")
        ->check(CLI::Range(1, 65535));
    app.add_option("--state", options.state, "SQLite file of the state (default: in memory)");
    app.add_option("--port-file", options.portFile, "write the bound TCP port into FILE");
    app.add_option("--seed-users", options.seedUsers, "users to put into an empty state")
        ->check(CLI::Range(0, 100000));
    app.add_option("--seed-records", options.seedRecords, "records to put into an empty state")
        ->check(CLI::Range(0, 10000000));
    app.add_option("--seed-templates", options.seedTemplates, "templates per seeded user (0 to 10)")
        ->check(CLI::Range(0, 10));
    app.add_option("--seed", options.seed, "seed of the demo data")->capture_default_str();
    app.add_flag("--refuse", options.faults.refuse, "refuse every connection");
    app.add_option("--reply-delay-ms", options.faults.replyDelayMs, "delay every reply")
        ->check(CLI::Range(0, 600000));
    app.add_option("--drop-after-records", options.faults.dropAfterRecords,
                   "drop the connection after sending N records of the log")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--wrong-machine", options.faults.wrongMachine,
                 "answer as another machine number");
    app.add_flag("--fail-clear", options.faults.failClear, "clear commands answer failure");
    app.add_option("--baud", options.faults.baud, "throttle the serial line to this baud rate")
        ->check(CLI::Range(0, 4000000));
    app.add_option("--punch-every-ms", options.punchEveryMs,
                   "add one punch of a user every N ms while running (0: none)")
        ->check(CLI::Range(0, 86400000));
    app.add_option("--clock-offset", options.clockOffset,
                   "seconds between the terminal's clock and the PC's, for an empty state");

    std::string dumpState;
    CLI::App* dump = app.add_subcommand("dump", "print the state as one JSON object");
    dump->add_option("--state", dumpState, "SQLite file of the state")->required();

    CLI11_PARSE(app, argc, argv);
    try {
        return *dump ? Dump(dumpState) : Serve(options);
    } catch (const std::exception& e) {
        std::cerr << "terminal-sim: " << e.what() << '\n';
        return 1;
    }
}
