#include "personnel/PersonnelSession.h"

#include <algorithm>

#include "core/Errors.h"
#include "core/GridModel.h"
#include "core/TerminalLink.h"
#include "core/Text.h"
#include "personnel/PersonnelCommands.h"
#include "personnel/PersonnelStore.h"
#include "terminal/ConnectionRules.h"

namespace aktarim {
namespace {

constexpr size_t kKeyCharacters = 10;

// Passes every call on and notes the ones that did not go through. A false
// answer that the commands expect in normal work (no template on a finger,
// nothing left to delete, the end of the user list) counts only when the
// connection is gone with it.
class WatchedLink final : public TerminalLink {
  public:
    explicit WatchedLink(TerminalLink& inner) : inner_(inner) {}
    std::vector<std::string> failures;

    bool ConnectNetwork(const std::string& ipAddress, int32_t port) override {
        return inner_.ConnectNetwork(ipAddress, port);
    }
    bool ConnectSerial(int32_t port, int32_t machineNumber, int32_t baudRate) override {
        return inner_.ConnectSerial(port, machineNumber, baudRate);
    }
    void Disconnect() override { inner_.Disconnect(); }
    bool IsConnected() const override { return inner_.IsConnected(); }
    LinkFailure LastFailure() const override { return inner_.LastFailure(); }

    bool SetLinkValue(int32_t m, int32_t value) override {
        return Must("SetLinkValue", -1, inner_.SetLinkValue(m, value));
    }
    bool GetStatusValue(int32_t m, int32_t item, int32_t& value) override {
        return Must("GetStatusValue", -1, inner_.GetStatusValue(m, item, value));
    }
    bool LoadAttendanceLog(int32_t m) override {
        return Must("LoadAttendanceLog", -1, inner_.LoadAttendanceLog(m));
    }
    bool ClearAttendanceLog(int32_t m) override {
        return Must("ClearAttendanceLog", -1, inner_.ClearAttendanceLog(m));
    }
    bool ClearAttendanceRecords(int32_t m, uint32_t count, uint64_t digest) override {
        return Must("ClearAttendanceRecords", -1, inner_.ClearAttendanceRecords(m, count, digest));
    }
    bool ClearAdministrators(int32_t m) override {
        return Must("ClearAdministrators", -1, inner_.ClearAdministrators(m));
    }
    bool ClearAllData(int32_t m) override {
        return Must("ClearAllData", -1, inner_.ClearAllData(m));
    }
    bool LoadUserIds(int32_t m) override { return Must("LoadUserIds", -1, inner_.LoadUserIds(m)); }
    bool LoadAllTemplates(int32_t m) override {
        return Must("LoadAllTemplates", -1, inner_.LoadAllTemplates(m));
    }
    bool NextAttendanceRecord(int32_t m, AttendanceValues& values) override {
        return May("NextAttendanceRecord", -1, inner_.NextAttendanceRecord(m, values));
    }
    bool GetDeviceClock(int32_t m, int32_t& year, int32_t& month, int32_t& day, int32_t& hour,
                        int32_t& minute, int32_t& second) override {
        return Must("GetDeviceClock", -1,
                    inner_.GetDeviceClock(m, year, month, day, hour, minute, second));
    }
    bool SetDeviceClock(int32_t m, int32_t year, int32_t month, int32_t day, int32_t hour,
                        int32_t minute, int32_t second) override {
        return Must("SetDeviceClock", -1,
                    inner_.SetDeviceClock(m, year, month, day, hour, minute, second));
    }
    bool NextUserId(int32_t m, int32_t& userNumber, std::string& name, std::string& password,
                    int32_t& privilege, bool& enabled) override {
        return May("NextUserId", -1,
                   inner_.NextUserId(m, userNumber, name, password, privilege, enabled));
    }
    bool ReadUserInfo(int32_t m, int32_t userNumber, std::string& name, std::string& password,
                      int32_t& privilege, bool& enabled) override {
        return May("ReadUserInfo", userNumber,
                   inner_.ReadUserInfo(m, userNumber, name, password, privilege, enabled));
    }
    bool WriteUserInfo(int32_t m, int32_t userNumber, const std::string& name,
                       const std::string& password, int32_t privilege, bool enabled) override {
        return Must("WriteUserInfo", userNumber,
                    inner_.WriteUserInfo(m, userNumber, name, password, privilege, enabled));
    }
    bool DeleteUserRecord(int32_t m, int32_t userNumber, int32_t reserved1,
                          int32_t reserved2) override {
        return May("DeleteUserRecord", userNumber,
                   inner_.DeleteUserRecord(m, userNumber, reserved1, reserved2));
    }
    bool DeleteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger) override {
        return May("DeleteFingerTemplate", userNumber,
                   inner_.DeleteFingerTemplate(m, userNumber, finger));
    }
    bool ReadFingerTemplate(int32_t m, int32_t userNumber, int32_t finger, std::string& text,
                            int32_t& length) override {
        return May("ReadFingerTemplate", userNumber,
                   inner_.ReadFingerTemplate(m, userNumber, finger, text, length));
    }
    bool WriteFingerTemplate(int32_t m, int32_t userNumber, int32_t finger,
                             const std::string& text) override {
        return Must("WriteFingerTemplate", userNumber,
                    inner_.WriteFingerTemplate(m, userNumber, finger, text));
    }

  private:
    // A call that must answer true.
    bool Must(const char* operation, int32_t user, bool ok) {
        if (!ok) Note(operation, user);
        return ok;
    }
    // A call whose false answer is normal while the connection holds.
    bool May(const char* operation, int32_t user, bool ok) {
        if (!ok && !inner_.IsConnected()) Note(operation, user);
        return ok;
    }
    void Note(const char* operation, int32_t user) {
        const LinkFailure failure = inner_.LastFailure();
        std::string text = operation;
        if (user >= 0) text += " " + std::to_string(user);
        text += ": ";
        if (failure)
            text += LinkFailureText(failure);
        else
            text += inner_.IsConnected() ? "cihaz yapmadı" : "bağlantı yok";
        failures.push_back(std::move(text));
    }

    TerminalLink& inner_;
};

// Paints nothing; keeps what the window would have said.
class QuietView final : public PersonnelView {
  public:
    PersonnelCommands* commands = nullptr;
    std::vector<std::string> messages;

    void ShowProgress(const std::string&) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}
    void RepaintTerminalGrid() override {}
    void RepaintStoreGrid() override {}
    void RepaintProgress() override {}
    void ScrollTerminalTo(int) override {}
    void ScrollStoreTo(int) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    // Closing the window releases the store and the connection, as any close.
    void CloseWindow() override {
        if (commands != nullptr) commands->Release();
    }
};

// The settings grid's first nine columns, for the one device.
GridModel DeviceRow(const DeviceRecord& device) {
    std::vector<GridColumn> columns;
    for (int f = 0; f < kDeviceFieldCount; ++f)
        columns.push_back(MakeColumn(kDeviceFields[f].key, ColumnKind::Text, 10, false));
    GridModel grid(std::move(columns));
    grid.AppendRows(1);
    for (int f = 0; f < kDeviceFieldCount; ++f) grid.SetText(f, 0, device.fields[f]);
    return grid;
}

std::vector<PersonRow> Rows(const GridModel& grid, bool withMark) {
    std::vector<PersonRow> rows;
    for (int r = 0; r < grid.RowCount(); ++r) {
        PersonRow row;
        row.perNo = grid.Text(kPersonnelColumnPerNo, r);
        row.isim = grid.Text(kPersonnelColumnIsim, r);
        row.yetki = grid.Text(kPersonnelColumnYetki, r);
        row.kartno = grid.Text(kPersonnelColumnKartNo, r);
        row.sifre = grid.Text(kPersonnelColumnSifre, r);
        if (withMark) row.fingerprintMark = grid.Value(kPersonnelColumnParmakIzi, r);
        rows.push_back(std::move(row));
    }
    return rows;
}

// The user number of a row, as the commands take it; nullopt for a Per.No
// that is no integer.
std::optional<int32_t> RowUser(const GridModel& grid, int row) {
    try {
        return StrToInt(Utf8Left(grid.Text(kPersonnelColumnPerNo, row), kKeyCharacters));
    } catch (const AppError&) {
        return std::nullopt;
    }
}

std::vector<int32_t> Tick(GridModel& grid, const std::vector<int32_t>& users) {
    std::vector<int32_t> missing;
    if (users.empty()) {
        for (int r = 0; r < grid.RowCount(); ++r) grid.SetChecked(kPersonnelColumnSec, r, true);
        return missing;
    }
    for (const int32_t user : users) {
        bool found = false;
        for (int r = 0; r < grid.RowCount(); ++r) {
            if (RowUser(grid, r) != user) continue;
            grid.SetChecked(kPersonnelColumnSec, r, true);
            found = true;
        }
        if (!found) missing.push_back(user);
    }
    return missing;
}

}  // namespace

struct PersonnelSession::Parts {
    Parts(std::string folder, TerminalLink& link, FileSystem& fs)
        : watched(link), store(std::move(folder), fs) {
        view.commands = &commands;
    }
    WatchedLink watched;
    ConnectionState state;
    GridModel grid{TerminalGridColumns()};
    GridModel griddisk{StoreGridColumns()};
    PersonnelStore store;
    QuietView view;
    PersonnelCommands commands{grid, griddisk, store, watched, state, view};
};

PersonnelSession::PersonnelSession(std::string programFolder, TerminalLink& link, FileSystem& fs)
    : parts_(std::make_unique<Parts>(std::move(programFolder), link, fs)) {}

PersonnelSession::~PersonnelSession() {
    try {
        Close();
    } catch (const AppError&) {
    }
}

bool PersonnelSession::Open(const DeviceRecord& device) {
    FillLinkParameters(DeviceRow(device), 0, parts_->state.link);
    parts_->commands.ConnectTerminal();
    if (!parts_->state.personnelConnected) return false;
    try {
        parts_->commands.LoadBothLists();
    } catch (const AppError& e) {
        if (e.kind() == ErrorKind::Terminal) throw;
        // The terminal side was loaded before the store was opened.
        storeError_ = e.what();
    }
    return true;
}

std::vector<PersonRow> PersonnelSession::TerminalRows() const { return Rows(parts_->grid, false); }
std::vector<PersonRow> PersonnelSession::StoreRows() const { return Rows(parts_->griddisk, true); }

std::vector<int32_t> PersonnelSession::TickTerminal(const std::vector<int32_t>& users) {
    return Tick(parts_->grid, users);
}

std::vector<int32_t> PersonnelSession::TickStore(const std::vector<int32_t>& users) {
    return Tick(parts_->griddisk, users);
}

PersonnelCommands& PersonnelSession::commands() { return parts_->commands; }

const std::vector<std::string>& PersonnelSession::terminalFailures() const {
    return parts_->watched.failures;
}

const std::vector<std::string>& PersonnelSession::messages() const { return parts_->view.messages; }

void PersonnelSession::Close() { parts_->commands.Release(); }

}  // namespace aktarim
