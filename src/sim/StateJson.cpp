#include "sim/StateJson.h"

namespace aktarim::sim {

nlohmann::ordered_json StateToJson(const TerminalState& state) {
    nlohmann::ordered_json users = nlohmann::ordered_json::array();
    for (const auto& [number, u] : state.users)
        users.push_back({{"number", u.number},
                         {"name", u.name},
                         {"password", u.password},
                         {"privilege", u.privilege},
                         {"enabled", u.enabled},
                         {"card", u.card}});
    nlohmann::ordered_json templates = nlohmann::ordered_json::array();
    for (const auto& [key, text] : state.templates)
        templates.push_back({{"user", key.first}, {"finger", key.second}, {"text", text}});
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    for (const AttendanceEntry& e : state.log)
        records.push_back({{"user", e.user},
                           {"verify", e.verify},
                           {"state", e.state},
                           {"year", e.year},
                           {"month", e.month},
                           {"day", e.day},
                           {"hour", e.hour},
                           {"minute", e.minute},
                           {"second", e.second}});
    return {{"machine", state.machineNumber},
            {"clockOffsetSeconds", state.clockOffsetSeconds},
            {"users", std::move(users)},
            {"templates", std::move(templates)},
            {"records", std::move(records)}};
}

}  // namespace aktarim::sim
