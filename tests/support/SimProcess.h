#pragma once
// A terminal-sim process on a free loopback port, for the end-to-end tests.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Process.h"
#include "TempDir.h"

namespace aktarim::test {

struct SimProcess {
    std::string state;  // its SQLite file; empty for a state in memory
    std::unique_ptr<Process> process;
    std::string port;
};

// Starts terminal-sim as `name` in dir and waits until it is ready; with
// withState its state is the SQLite file dir/<name>.db.
inline SimProcess StartSimProcess(const TempDir& dir, const std::string& name,
                                  const std::vector<std::string>& extra, bool withState) {
    using namespace std::chrono_literals;
    SimProcess sim;
    std::vector<std::string> args = {std::string(AKTARIM_BINARY_DIR) + "/src/sim/terminal-sim",
                                     "--listen", "127.0.0.1:0", "--port-file",
                                     dir.File(name + ".port")};
    if (withState) {
        sim.state = dir.File(name + ".db");
        args.insert(args.end(), {"--state", sim.state});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    sim.process = std::make_unique<Process>(args);
    EXPECT_TRUE(sim.process->WaitForLine("ready", 20s)) << name << " did not start";
    sim.port = ReadAll(dir.File(name + ".port"));
    while (!sim.port.empty() && (sim.port.back() == '\n' || sim.port.back() == '\r'))
        sim.port.pop_back();
    return sim;
}

}  // namespace aktarim::test
