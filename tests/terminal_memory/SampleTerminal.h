#pragma once
// A small terminal with users of every privilege, a few templates and a log.
#include <string>

#include "terminal/MemoryTerminal.h"

namespace aktarim::test {

inline constexpr int32_t kSampleMachine = 7;

inline TerminalState SampleState() {
    TerminalState state;
    state.machineNumber = kSampleMachine;
    state.users[1] = {1, "Ayşe Yılmaz", "", 0, true, ""};
    state.users[2] = {2, "Mehmet Öztürk", "4321", 1, true, "0004455667"};
    state.users[3] = {3, "Gülşen Çelik", "", 2, true, ""};
    state.users[100001] = {100001, "İbrahim Şahin", "99", 3, false, "0001234567"};
    state.templates[{1, 0}] = std::string(600, 'A');
    state.templates[{1, 5}] = std::string(700, 'B');
    state.templates[{2, 9}] = std::string(800, 'C');
    state.templates[{100001, 0}] = std::string(900, 'D');
    state.log = {
        {1, 1, 0, 2024, 3, 4, 8, 1, 15},
        {100001, 2, 1, 2024, 3, 4, 17, 59, 0},
        {3, 0, 5, 2024, 12, 31, 23, 59, 59},
    };
    return state;
}

}  // namespace aktarim::test
