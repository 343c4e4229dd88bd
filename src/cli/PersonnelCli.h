#pragma once
// aktarim-cli personnel: the personnel window's commands for one device,
// for scheduled synchronisation.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <vector>

#include "cli/Commands.h"

namespace aktarim {

struct PersonnelRequest {
    enum class Action { List, Pull, Push, Delete };
    Action action = Action::List;
    int device = 0;
    std::vector<int32_t> users;  // none: every user of the source side
    bool json = false;
    bool templates = false;
    bool onTerminal = false;  // delete: neither flag means both sides
    bool inStore = false;
};

// Adds `personnel list|pull|push|delete` to the program's command line; the
// request is filled when one of them is parsed.
CLI::App* AddPersonnelCommands(CLI::App& app, PersonnelRequest& request);
// Runs the parsed request: 0 when all went through, 1 when the terminal or a
// file failed, 2 for a usage or configuration error.
int PersonnelCommand(const CliContext& context, const PersonnelRequest& request);

}  // namespace aktarim
