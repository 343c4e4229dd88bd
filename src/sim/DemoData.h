#pragma once
// Realistic demo content for an empty terminal: Turkish staff, fingerprint
// templates and a few weeks of punches. The same options and seed give the
// same data on every platform and library version.
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "terminal/MemoryTerminal.h"

namespace aktarim::sim {

// splitmix64: tiny, fast and fully defined, unlike the standard
// distributions whose output differs between library versions.
class SplitMix64 {
  public:
    explicit SplitMix64(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    // Uniform in [low, high], both included.
    int64_t Between(int64_t low, int64_t high);
    // True with the given chance in percent.
    bool Chance(int percent) { return Between(0, 99) < percent; }

  private:
    uint64_t state_;
};

struct DemoOptions {
    int32_t users = 0;
    int32_t records = 0;
    int32_t templatesPerUser = 0;  // at most ten: one per finger
    uint64_t seed = 1;
};

struct DemoData {
    std::vector<TerminalUser> users;  // ascending number
    std::vector<std::pair<std::pair<int32_t, int32_t>, std::string>> templates;
    std::vector<AttendanceEntry> records;  // in time order
};

// Records fall on the days before `now`'s local date; the time of day of
// `now` does not matter, so a run on the same day reproduces the same data.
DemoData MakeDemoData(const DemoOptions& options, std::time_t now);

// One punch as a terminal in use records it at `pcNow`: one of its users
// (1 to 20 when it has none), the time of its own clock, a state 0 to 5 and a
// verify mode, in the same proportions as the demo data.
AttendanceEntry MakePunch(SplitMix64& rng, const MemoryTerminal& terminal, std::time_t pcNow);

}  // namespace aktarim::sim
