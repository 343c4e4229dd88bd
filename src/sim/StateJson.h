#pragma once
// The simulator's state as one JSON object, for `terminal-sim dump` and tests.
#include <nlohmann/json.hpp>

#include "terminal/MemoryTerminal.h"

namespace aktarim::sim {

nlohmann::ordered_json StateToJson(const TerminalState& state);

}  // namespace aktarim::sim
