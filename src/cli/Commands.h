#pragma once
// The commands of aktarim-cli, each returning the process's exit status.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace aktarim {

class IniFile;
class TerminalLink;

struct CliContext {
    std::string home;  // the program folder
    std::function<std::unique_ptr<TerminalLink>(const IniFile&)> makeLink;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// Another transfer holds the program folder or the record file.
inline constexpr int kExitBusy = 3;

int DevicesCommand(const CliContext& context, bool json);
int TestCommand(const CliContext& context, const std::vector<int>& numbers);
struct TransferRequest {
    std::vector<int> numbers;      // empty: the ticked devices
    std::optional<bool> eraseLog;  // empty: the option silkontrol
    int waitSeconds = 0;           // for another transfer to end
    bool newOnly = false;          // or the option sadeceyeni
};
int TransferCommand(const CliContext& context, const TransferRequest& request);

// `clock get N` / `clock set N`: the settings window's "Tarihi Oku" and
// "Tarihi Kaydet" on device N; prints the terminal's clock text.
enum class ClockAction { Get, Set };
int ClockCommand(const CliContext& context, ClockAction action, int number);

}  // namespace aktarim
