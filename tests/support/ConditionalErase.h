#pragma once
// The conditional erase as a transfer meets it: the log is loaded, punches
// may come (or another PC may clear the log) before the erase, and the
// transfer erases exactly the records it loaded. One table for every link.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "terminal/MemoryTerminal.h"

namespace aktarim::test {

struct ConditionalEraseCase {
    const char* name;
    int logSize;            // records when the log is loaded (users 100, 101, ...)
    bool clearedElsewhere;  // another PC erases the whole log after the load
    int punchesAfterLoad;   // then punches come (users 900, 901, ...)
    int eraseExtra;         // erase the loaded count plus this (with the digest of what was read)
    bool erased;            // the terminal agrees
    std::vector<int32_t> usersLeft;
};

inline const std::vector<ConditionalEraseCase>& ConditionalEraseCases() {
    static const std::vector<ConditionalEraseCase> cases = {
        {"a quiet terminal: the whole log", 4, false, 0, 0, true, {}},
        {"punches after the load stay", 4, false, 2, 0, true, {900, 901}},
        {"a part of the log: the rest stays", 4, false, 1, -1, true, {103, 900}},
        {"nothing to erase", 0, false, 1, 0, true, {900}},
        {"more than the log holds: refused, nothing erased",
         3,
         false,
         0,
         1,
         false,
         {100, 101, 102}},
        {"the log cleared elsewhere, a new punch: refused, the punch stays",
         3,
         true,
         1,
         0,
         false,
         {900}},
        {"the log cleared elsewhere, as many new punches: refused, they stay",
         2,
         true,
         2,
         0,
         false,
         {900, 901}},
        {"the log cleared elsewhere, more new punches: refused, they stay",
         2,
         true,
         3,
         0,
         false,
         {900, 901, 902}},
        {"more than was read, punches after the load: refused",
         2,
         false,
         2,
         1,
         false,
         {100, 101, 900, 901}},
    };
    return cases;
}

inline AttendanceEntry EraseCasePunch(int32_t user) {
    return {user, 1, user % 6, 2026, 12, 11, 8, user % 60, 0};
}

inline TerminalState EraseCaseTerminal(int32_t machine, const ConditionalEraseCase& c) {
    TerminalState state;
    state.machineNumber = machine;
    for (int i = 0; i < c.logSize; ++i) state.log.push_back(EraseCasePunch(100 + i));
    return state;
}

// What happens on the terminal between the load and the erase.
inline void AfterLoad(MemoryTerminal& terminal, const ConditionalEraseCase& c) {
    if (c.clearedElsewhere) terminal.ClearAttendanceLog();
    for (int i = 0; i < c.punchesAfterLoad; ++i) terminal.AppendRecord(EraseCasePunch(900 + i));
}

// What the transfer asks: the count, and the digest of the records it read
// (of as many as it asks for, or of all it read when it asks for more).
inline std::pair<uint32_t, uint64_t> EraseRequestFor(const std::vector<AttendanceValues>& read,
                                                     const ConditionalEraseCase& c) {
    const auto count = static_cast<uint32_t>(static_cast<int>(read.size()) + c.eraseExtra);
    const size_t digested = std::min<size_t>(count, read.size());
    return {count, RecordsDigest(std::span(read).first(digested))};
}

inline std::vector<int32_t> UsersIn(const std::vector<AttendanceEntry>& log) {
    std::vector<int32_t> users;
    for (const AttendanceEntry& e : log) users.push_back(e.user);
    return users;
}

}  // namespace aktarim::test
