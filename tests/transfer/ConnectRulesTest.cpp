// The three rules by which a device's texts become a connection, one table.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/DeviceConnect.h"
#include "core/Errors.h"
#include "terminal/MemoryLink.h"

using namespace aktarim;

namespace {

// Writes down every connection attempt with its values; none succeeds.
class AttemptLink : public MemoryLink {
  public:
    using MemoryLink::MemoryLink;
    std::vector<std::string> attempts;
    bool ConnectNetwork(const std::string& ip, int32_t port) override {
        attempts.push_back("net " + ip + ":" + std::to_string(port));
        return false;
    }
    bool ConnectSerial(int32_t port, int32_t machine, int32_t baud) override {
        attempts.push_back("serial com" + std::to_string(port) + " m" + std::to_string(machine) +
                           " " + std::to_string(baud));
        return false;
    }
};

enum class Rule { ExactType, EthernetOrSerial, LinkParameters };

void Connect(Rule rule, TerminalLink& link, const ConnectionTexts& texts) {
    switch (rule) {
        case Rule::ExactType:
            ConnectByExactType(link, texts, SerialOrder::BaudPortMachine);
            return;
        case Rule::EthernetOrSerial:
            ConnectEthernetOrSerial(link, texts);
            return;
        case Rule::LinkParameters:
            ConnectWithLinkParameters(link, LinkParametersFromTexts(texts));
            return;
    }
}

TEST(ConnectRules, TypeTextToTheConnectionTriedWithItsValues) {
    struct Case {
        Rule rule;
        std::string type;
        std::string port;
        std::string attempt;  // empty: no attempt
    };
    const std::string net = "net 10.0.0.5:4370";
    const Case cases[] = {
        {Rule::ExactType, "Ethernet", "Com3", net},
        {Rule::ExactType, "Comm Port", "Com3", "serial com3 m7 9600"},
        {Rule::ExactType, "Comm Port", "COM9", "serial com9 m7 9600"},  // the fourth character
        {Rule::ExactType, "ethernet", "Com3", ""},
        {Rule::ExactType, "USB", "Com3", ""},
        {Rule::ExactType, "", "Com3", ""},
        {Rule::EthernetOrSerial, "Ethernet", "Com3", net},
        {Rule::EthernetOrSerial, "Comm Port", "Com3", "serial com3 m7 9600"},
        {Rule::EthernetOrSerial, "ethernet", "Com3", "serial com3 m7 9600"},
        {Rule::EthernetOrSerial, "USB", "COM9", "serial com9 m7 9600"},
        {Rule::LinkParameters, "Ethernet", "Com3", net},
        {Rule::LinkParameters, "Comm Port", "Com3", "serial com3 m7 9600"},
        {Rule::LinkParameters, "USB", "Com3", "serial com3 m7 9600"},
        {Rule::LinkParameters, "Comm Port", "COM9", "serial com0 m7 9600"},  // by name only
    };
    MemoryTerminal terminal;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.rule)) + " \"" + c.type + "\" " + c.port);
        AttemptLink link(terminal);
        Connect(c.rule, link, {c.type, "7", c.port, "9600", "10.0.0.5", "4370"});
        const std::vector<std::string> expected =
            c.attempt.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.attempt};
        EXPECT_EQ(link.attempts, expected);
    }
}

TEST(ConnectRules, ATextThatIsNoNumberStopsBeforeTheTerminal) {
    struct Case {
        Rule rule;
        ConnectionTexts texts;
        std::string message;
    };
    const Case cases[] = {
        {Rule::ExactType,
         {"Ethernet", "7", "Com3", "9600", "10.0.0.5", "43x0"},
         "'43x0' is not a valid integer value"},
        // The transfer converts the port before the machine number ...
        {Rule::ExactType,
         {"Comm Port", "m7", "Comx", "9600", "", ""},
         "'x' is not a valid integer value"},
        // ... the settings commands the machine number first.
        {Rule::EthernetOrSerial,
         {"Comm Port", "m7", "Comx", "9600", "", ""},
         "'m7' is not a valid integer value"},
        // The personnel parameters convert every number, whatever the type.
        {Rule::LinkParameters,
         {"Comm Port", "7", "Com3", "9600", "", ""},
         "'' is not a valid integer value"},
    };
    MemoryTerminal terminal;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        AttemptLink link(terminal);
        try {
            Connect(c.rule, link, c.texts);
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Conversion);
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_TRUE(link.attempts.empty());
    }
}

}  // namespace
