#include "cli/PersonnelCli.h"

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>

#include "core/DeviceConfig.h"
#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "core/TerminalLink.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelSession.h"
#include "personnel/PersonnelStore.h"
#include "terminal/ConnectionRules.h"

namespace aktarim {
namespace {

// At most this many terminal failures are listed; a dropped link fails
// every call after it.
constexpr size_t kFailuresShown = 10;

void Complain(const std::string& text) { std::cerr << "aktarim-cli: " << text << "\n"; }

std::string Users(const std::vector<int32_t>& users) {
    std::string text;
    for (const int32_t u : users) text += (text.empty() ? "" : " ") + std::to_string(u);
    return text;
}

void PrintList(const PersonnelSession& session, int device, const std::string& name, bool json) {
    const auto terminal = session.TerminalRows();
    const auto store = session.StoreRows();
    if (json) {
        nlohmann::json out;
        out["device"] = device;
        out["name"] = name;
        out["terminal"] = nlohmann::json::array();
        for (const PersonRow& r : terminal)
            out["terminal"].push_back(
                {{"perNo", r.perNo}, {"isim", r.isim}, {"yetki", r.yetki}, {"sifre", r.sifre}});
        out["store"] = nlohmann::json::array();
        for (const PersonRow& r : store)
            out["store"].push_back({{"perNo", r.perNo},
                                    {"isim", r.isim},
                                    {"yetki", r.yetki},
                                    {"kartno", r.kartno},
                                    {"sifre", r.sifre},
                                    {"parmakizi", r.fingerprintMark}});
        std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return;
    }
    std::cout << "Cihazdaki Kayıtlar (" << terminal.size() << ")\n";
    for (const PersonRow& r : terminal)
        std::cout << r.perNo << "\t" << r.isim << "\t" << r.yetki << "\t" << r.sifre << "\n";
    std::cout << "Bilgisayardaki Kayıtlar (" << store.size() << ")\n";
    for (const PersonRow& r : store)
        std::cout << r.perNo << "\t" << r.isim << "\t" << r.yetki << "\t" << r.kartno << "\t"
                  << r.sifre << "\t" << (r.fingerprintMark ? "parmak izi var" : "parmak izi yok")
                  << "\n";
}

// Ticks the users on the sides the action works on; false after a usage
// error (a user with no row there) has been reported.
bool TickRequested(PersonnelSession& session, const PersonnelRequest& request) {
    using Action = PersonnelRequest::Action;
    std::vector<int32_t> missing;
    switch (request.action) {
        case Action::Pull:
            missing = session.TickTerminal(request.users);
            if (!missing.empty()) Complain("cihazda olmayan kullanıcı: " + Users(missing));
            break;
        case Action::Push:
            missing = session.TickStore(request.users);
            if (!missing.empty()) Complain("bilgisayarda olmayan kullanıcı: " + Users(missing));
            break;
        case Action::Delete: {
            const bool both = !request.onTerminal && !request.inStore;
            std::vector<int32_t> notOnTerminal, notInStore;
            if (both || request.onTerminal) notOnTerminal = session.TickTerminal(request.users);
            if (both || request.inStore) notInStore = session.TickStore(request.users);
            // A user needs a row on one of the chosen sides.
            for (const int32_t u : request.users) {
                const bool absentHere =
                    !(both || request.onTerminal) ||
                    std::find(notOnTerminal.begin(), notOnTerminal.end(), u) != notOnTerminal.end();
                const bool absentThere =
                    !(both || request.inStore) ||
                    std::find(notInStore.begin(), notInStore.end(), u) != notInStore.end();
                if (absentHere && absentThere) missing.push_back(u);
            }
            if (!missing.empty()) Complain("bulunamayan kullanıcı: " + Users(missing));
            break;
        }
        case Action::List:
            break;
    }
    return missing.empty();
}

void Run(PersonnelSession& session, const PersonnelRequest& request) {
    using Action = PersonnelRequest::Action;
    PersonnelCommands& commands = session.commands();
    switch (request.action) {
        case Action::Pull:
            commands.CopyPersonnelToStore();
            if (request.templates) {
                session.TickTerminal(request.users);  // "Al" unticked them
                commands.CopyTemplatesToStore();
            }
            break;
        case Action::Push:
            commands.CopyPersonnelToTerminal();
            if (request.templates) {
                session.TickStore(request.users);
                commands.CopyTemplatesToTerminal();
            }
            break;
        case Action::Delete:
            commands.DeleteTicked();
            break;
        case Action::List:
            break;
    }
}

std::string Summary(const PersonnelRequest& request) {
    using Action = PersonnelRequest::Action;
    const std::string who = request.users.empty() ? "tümü" : Users(request.users);
    switch (request.action) {
        case Action::Pull:
            return std::string("Al (cihaz -> bilgisayar") +
                   (request.templates ? ", parmak izleri" : "") + "): " + who;
        case Action::Push:
            return std::string("Gönder (bilgisayar -> cihaz") +
                   (request.templates ? ", parmak izleri" : "") + "): " + who;
        case Action::Delete: {
            const bool both = !request.onTerminal && !request.inStore;
            std::string where = both || request.onTerminal ? "cihaz" : "";
            if (both || request.inStore) where += where.empty() ? "bilgisayar" : ", bilgisayar";
            return "Sil (" + where + "): " + who;
        }
        case Action::List:
            break;
    }
    return {};
}

}  // namespace

CLI::App* AddPersonnelCommands(CLI::App& app, PersonnelRequest& request) {
    using Action = PersonnelRequest::Action;
    auto* personnel = app.add_subcommand("personnel", "Personel ve parmak izi işlemleri");
    personnel->require_subcommand(1);

    auto* list =
        personnel->add_subcommand("list", "Cihazdaki ve bilgisayardaki personeli listeler");
    list->add_option("N", request.device, "Cihaz numarası")->required();
    list->add_flag("--json", request.json, "JSON olarak yazar");
    list->callback([&request] { request.action = Action::List; });

    auto* pull =
        personnel->add_subcommand("pull", "Personel bilgilerini cihazdan bilgisayara alır");
    pull->add_option("N", request.device, "Cihaz numarası")->required();
    pull->add_option("USER", request.users, "Kullanıcı numaraları (boşsa hepsi)");
    pull->add_flag("--templates", request.templates, "Parmak izlerini de alır");
    pull->callback([&request] { request.action = Action::Pull; });

    auto* push =
        personnel->add_subcommand("push", "Personel bilgilerini bilgisayardan cihaza gönderir");
    push->add_option("N", request.device, "Cihaz numarası")->required();
    push->add_option("USER", request.users, "Kullanıcı numaraları (boşsa hepsi)");
    push->add_flag("--templates", request.templates, "Parmak izlerini de gönderir");
    push->callback([&request] { request.action = Action::Push; });

    auto* del =
        personnel->add_subcommand("delete", "Personeli cihazdan ve/veya bilgisayardan siler");
    del->add_option("N", request.device, "Cihaz numarası")->required();
    del->add_option("USER", request.users, "Kullanıcı numaraları")->required();
    del->add_flag("--terminal", request.onTerminal, "Cihazdan siler");
    del->add_flag("--store", request.inStore, "Bilgisayardan siler");
    del->callback([&request] { request.action = Action::Delete; });
    return personnel;
}

int PersonnelCommand(const CliContext& context, const PersonnelRequest& request) {
    using Action = PersonnelRequest::Action;
    IniFile ini(JoinPath(context.home, kConfigFileName));
    const Configuration config = LoadConfiguration(ini);
    const int count = config.devices.deviceCount();
    if (request.device < 1 || request.device > count) {
        Complain("no device " + std::to_string(request.device) + " (" + std::to_string(count) +
                 " configured)");
        return kExitUsage;
    }
    const DeviceRecord& device = config.devices.at(request.device);
    auto link = context.makeLink(ini);
    PersonnelSession session(context.home, *link);
    const auto report = [&](const std::string& text) {
        Complain(std::to_string(request.device) + "\t" + device.name() + "\t" + text);
    };
    try {
        bool opened = false;
        try {
            opened = session.Open(device);
        } catch (const AppError& e) {
            if (e.kind() != ErrorKind::Conversion) throw;
            report(e.what());  // a number field of the device
            return kExitUsage;
        }
        if (!opened) {
            report(session.messages().empty() ? std::string(kConnectFailedText)
                                              : session.messages().back());
            return kExitFailed;
        }
        // Deleting on the terminal alone needs no store; everything else does.
        const bool needsStore =
            !(request.action == Action::Delete && request.onTerminal && !request.inStore);
        if (session.storeError() && needsStore) {
            if (request.action == Action::List)
                PrintList(session, request.device, device.name(), request.json);
            report(*session.storeError());
            return kExitFailed;
        }
        if (request.action == Action::List) {
            PrintList(session, request.device, device.name(), request.json);
        } else {
            if (!TickRequested(session, request)) return kExitUsage;
            Run(session, request);
            std::cout << Summary(request) << "\n";
        }
        session.Close();
    } catch (const AppError& e) {
        report(e.what());
        return kExitFailed;
    }
    const auto& failures = session.terminalFailures();
    for (size_t i = 0; i < failures.size() && i < kFailuresShown; ++i) report(failures[i]);
    if (failures.size() > kFailuresShown)
        report("… " + std::to_string(failures.size() - kFailuresShown) + " hata daha");
    return failures.empty() ? kExitOk : kExitFailed;
}

}  // namespace aktarim
