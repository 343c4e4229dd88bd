#pragma once
// The personnel window without a window: the same two grids, store and
// commands (PersonnelCommands), driven by aktarim-cli for scheduled
// synchronisation. The view paints nothing and keeps the messages; the link
// is watched so that a terminal that failed a command is told apart from one
// that went through, which the window leaves to its user's eyes.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DeviceConfig.h"
#include "core/FileSystem.h"

namespace aktarim {

class TerminalLink;
class PersonnelCommands;

// One row of either grid, as shown.
struct PersonRow {
    std::string perNo;
    std::string isim;
    std::string yetki;
    std::string kartno;
    std::string sifre;
    int fingerprintMark = 0;  // PC side only
};

class PersonnelSession {
  public:
    PersonnelSession(std::string programFolder, TerminalLink& link,
                     FileSystem& fs = RealFileSystem());
    ~PersonnelSession();
    PersonnelSession(const PersonnelSession&) = delete;
    PersonnelSession& operator=(const PersonnelSession&) = delete;

    // "Personel İşlemleri" on this device: connects as the window does when
    // shown and loads both sides as it does when activated. False when the
    // terminal could not be reached. A number field of the device that is
    // not an integer throws the conversion error before anything is tried;
    // a failing terminal link throws. A PC side that could not be loaded
    // (a bad list line, a refused folder) leaves storeError() set and the
    // terminal side loaded.
    bool Open(const DeviceRecord& device);
    const std::optional<std::string>& storeError() const { return storeError_; }

    std::vector<PersonRow> TerminalRows() const;
    std::vector<PersonRow> StoreRows() const;

    // Ticks the rows of these users (every row when none is given) in the
    // terminal grid or the PC grid; returns the users that have no row.
    std::vector<int32_t> TickTerminal(const std::vector<int32_t>& users);
    std::vector<int32_t> TickStore(const std::vector<int32_t>& users);

    // The window's commands on what is ticked.
    PersonnelCommands& commands();

    // What went wrong on the terminal's side so far: calls the terminal
    // failed or refused ("WriteUserInfo 12: Bağlantı koptu"), empty when
    // everything went through.
    const std::vector<std::string>& terminalFailures() const;
    // Messages the window would have shown.
    const std::vector<std::string>& messages() const;

    // "Çıkış": releases the store and disconnects (also on destruction).
    void Close();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::optional<std::string> storeError_;
};

}  // namespace aktarim
