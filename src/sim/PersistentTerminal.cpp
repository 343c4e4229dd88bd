#include "sim/PersistentTerminal.h"

#include "core/Errors.h"

namespace aktarim::sim {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta (
    key   TEXT PRIMARY KEY,
    value INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS users (
    number    INTEGER PRIMARY KEY,
    name      TEXT NOT NULL,
    password  TEXT NOT NULL,
    privilege INTEGER NOT NULL,
    enabled   INTEGER NOT NULL,
    card      TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS templates (
    user   INTEGER NOT NULL,
    finger INTEGER NOT NULL,
    text   TEXT NOT NULL,
    PRIMARY KEY (user, finger)
);
-- seq keeps the order in which the terminal recorded the punches.
CREATE TABLE IF NOT EXISTS records (
    seq    INTEGER PRIMARY KEY,
    user   INTEGER NOT NULL,
    verify INTEGER NOT NULL,
    state  INTEGER NOT NULL,
    year   INTEGER NOT NULL,
    month  INTEGER NOT NULL,
    day    INTEGER NOT NULL,
    hour   INTEGER NOT NULL,
    minute INTEGER NOT NULL,
    second INTEGER NOT NULL
);
)sql";

constexpr const char* kMachineKey = "machine";
constexpr const char* kClockOffsetKey = "clockOffsetSeconds";
constexpr const char* kPunchesAddedKey = "punchesAdded";

bool HasTable(Database& db, const char* name) {
    Statement s(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    s.Bind(1, name);
    return s.Step();
}

TerminalState ReadState(Database& db) {
    TerminalState state;
    {
        Statement s(db, "SELECT key, value FROM meta");
        while (s.Step()) {
            const std::string key = s.Text(0);
            if (key == kMachineKey) state.machineNumber = static_cast<int32_t>(s.Int(1));
            if (key == kClockOffsetKey) state.clockOffsetSeconds = s.Int(1);
        }
    }
    {
        Statement s(db,
                    "SELECT number, name, password, privilege, enabled, card FROM users "
                    "ORDER BY number");
        while (s.Step()) {
            const auto number = static_cast<int32_t>(s.Int(0));
            state.users[number] = {number,        s.Text(1),
                                   s.Text(2),     static_cast<int32_t>(s.Int(3)),
                                   s.Int(4) != 0, s.Text(5)};
        }
    }
    {
        Statement s(db, "SELECT user, finger, text FROM templates");
        while (s.Step())
            state.templates[{static_cast<int32_t>(s.Int(0)), static_cast<int32_t>(s.Int(1))}] =
                s.Text(2);
    }
    {
        Statement s(db,
                    "SELECT user, verify, state, year, month, day, hour, minute, second "
                    "FROM records ORDER BY seq");
        while (s.Step()) {
            AttendanceEntry e;
            e.user = static_cast<int32_t>(s.Int(0));
            e.verify = static_cast<int32_t>(s.Int(1));
            e.state = static_cast<int32_t>(s.Int(2));
            e.year = static_cast<int32_t>(s.Int(3));
            e.month = static_cast<int32_t>(s.Int(4));
            e.day = static_cast<int32_t>(s.Int(5));
            e.hour = static_cast<int32_t>(s.Int(6));
            e.minute = static_cast<int32_t>(s.Int(7));
            e.second = static_cast<int32_t>(s.Int(8));
            state.log.push_back(e);
        }
    }
    return state;
}

void InsertRecord(Statement& s, const AttendanceEntry& e) {
    s.Bind(1, e.user).Bind(2, e.verify).Bind(3, e.state).Bind(4, e.year).Bind(5, e.month);
    s.Bind(6, e.day).Bind(7, e.hour).Bind(8, e.minute).Bind(9, e.second).Run();
}

constexpr const char* kInsertRecord =
    "INSERT INTO records (user, verify, state, year, month, day, hour, minute, second) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";

}  // namespace

PersistentTerminal::PersistentTerminal(const std::string& path) : db_(path) {
    // Clients write one user or template per request; a sync of the disk for
    // each would make sending a thousand users take seconds. With a
    // write-ahead log a crash of the process still loses nothing.
    db_.Execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;");
    Transaction tx(db_);
    db_.Execute(kSchema);
    Statement machine(db_, "SELECT value FROM meta WHERE key = ?");
    machine.Bind(1, kMachineKey);
    isNew_ = !machine.Step();
    if (isNew_) {
        WriteMeta(kMachineKey, 1);
        WriteMeta(kClockOffsetKey, 0);
    }
    state_ = ReadState(db_);
    Statement punches(db_, "SELECT value FROM meta WHERE key = ?");
    punches.Bind(1, kPunchesAddedKey);
    if (punches.Step()) punchesAdded_ = punches.Int(0);
    tx.Commit();
}

bool PersistentTerminal::IsEmpty() const {
    return state_.users.empty() && state_.templates.empty() && state_.log.empty();
}

void PersistentTerminal::WriteMeta(const char* key, int64_t value) {
    Statement s(db_,
                "INSERT INTO meta (key, value) VALUES (?, ?) "
                "ON CONFLICT (key) DO UPDATE SET value = excluded.value");
    s.Bind(1, key).Bind(2, value).Run();
}

void PersistentTerminal::SetMachineNumber(int32_t number) {
    Transaction tx(db_);
    WriteMeta(kMachineKey, number);
    tx.Commit();
    state_.machineNumber = number;
}

void PersistentTerminal::SetClockOffset(int64_t seconds) {
    Transaction tx(db_);
    WriteMeta(kClockOffsetKey, seconds);
    tx.Commit();
    state_.clockOffsetSeconds = seconds;
}

void PersistentTerminal::Import(const DemoData& data) {
    Transaction tx(db_);
    Statement user(db_,
                   "INSERT INTO users (number, name, password, privilege, enabled, card) "
                   "VALUES (?, ?, ?, ?, ?, ?) "
                   "ON CONFLICT (number) DO UPDATE SET name = excluded.name, "
                   "password = excluded.password, privilege = excluded.privilege, "
                   "enabled = excluded.enabled, card = excluded.card");
    for (const TerminalUser& u : data.users) {
        user.Bind(1, u.number).Bind(2, u.name).Bind(3, u.password).Bind(4, u.privilege);
        user.Bind(5, u.enabled ? 1 : 0).Bind(6, u.card).Run();
    }
    Statement tmpl(db_, "INSERT OR REPLACE INTO templates (user, finger, text) VALUES (?, ?, ?)");
    for (const auto& [key, text] : data.templates)
        tmpl.Bind(1, key.first).Bind(2, key.second).Bind(3, text).Run();
    Statement record(db_, kInsertRecord);
    for (const AttendanceEntry& e : data.records) InsertRecord(record, e);
    tx.Commit();

    for (const TerminalUser& u : data.users) state_.users[u.number] = u;
    for (const auto& [key, text] : data.templates) state_.templates[key] = text;
    state_.log.insert(state_.log.end(), data.records.begin(), data.records.end());
}

void PersistentTerminal::ClearAttendanceLog() {
    Transaction tx(db_);
    db_.Execute("DELETE FROM records");
    tx.Commit();
    MemoryTerminal::ClearAttendanceLog();
}

bool PersistentTerminal::ClearFirstRecords(uint32_t count, uint64_t digest) {
    if (!LogBeginsWith(count, digest)) return false;
    Transaction tx(db_);
    Statement s(db_,
                "DELETE FROM records WHERE seq IN (SELECT seq FROM records ORDER BY seq LIMIT ?)");
    s.Bind(1, static_cast<int64_t>(count)).Run();
    tx.Commit();
    return MemoryTerminal::ClearFirstRecords(count, digest);
}

void PersistentTerminal::ClearAdministrators() {
    Transaction tx(db_);
    db_.Execute("UPDATE users SET privilege = 0 WHERE privilege <> 0");
    tx.Commit();
    MemoryTerminal::ClearAdministrators();
}

void PersistentTerminal::ClearAllData() {
    Transaction tx(db_);
    db_.Execute("DELETE FROM records; DELETE FROM templates; DELETE FROM users;");
    tx.Commit();
    MemoryTerminal::ClearAllData();
}

bool PersistentTerminal::WriteUser(int32_t number, const std::string& name,
                                   const std::string& password, int32_t privilege, bool enabled) {
    Transaction tx(db_);
    // An existing user keeps its card.
    Statement s(db_,
                "INSERT INTO users (number, name, password, privilege, enabled, card) "
                "VALUES (?, ?, ?, ?, ?, '') "
                "ON CONFLICT (number) DO UPDATE SET name = excluded.name, "
                "password = excluded.password, privilege = excluded.privilege, "
                "enabled = excluded.enabled");
    s.Bind(1, number).Bind(2, name).Bind(3, password).Bind(4, privilege).Bind(5, enabled ? 1 : 0);
    s.Run();
    tx.Commit();
    return MemoryTerminal::WriteUser(number, name, password, privilege, enabled);
}

bool PersistentTerminal::DeleteUser(int32_t number) {
    Transaction tx(db_);
    Statement templates(db_, "DELETE FROM templates WHERE user = ?");
    templates.Bind(1, number).Run();
    Statement user(db_, "DELETE FROM users WHERE number = ?");
    user.Bind(1, number).Run();
    tx.Commit();
    return MemoryTerminal::DeleteUser(number);
}

bool PersistentTerminal::WriteTemplate(int32_t user, int32_t finger, const std::string& text) {
    // The same refusals as the terminal itself, checked before anything is stored.
    if (finger < 0 || finger >= kFingersPerUser || state_.users.count(user) == 0) return false;
    Transaction tx(db_);
    Statement s(db_, "INSERT OR REPLACE INTO templates (user, finger, text) VALUES (?, ?, ?)");
    s.Bind(1, user).Bind(2, finger).Bind(3, text).Run();
    tx.Commit();
    return MemoryTerminal::WriteTemplate(user, finger, text);
}

bool PersistentTerminal::DeleteTemplate(int32_t user, int32_t finger) {
    Transaction tx(db_);
    Statement s(db_, "DELETE FROM templates WHERE user = ? AND finger = ?");
    s.Bind(1, user).Bind(2, finger).Run();
    tx.Commit();
    return MemoryTerminal::DeleteTemplate(user, finger);
}

void PersistentTerminal::SetClock(const ClockValue& value, std::time_t pcNow) {
    const int64_t before = state_.clockOffsetSeconds;
    MemoryTerminal::SetClock(value, pcNow);
    const int64_t after = state_.clockOffsetSeconds;
    state_.clockOffsetSeconds = before;
    if (after != before) SetClockOffset(after);
}

void PersistentTerminal::AppendRecord(const AttendanceEntry& entry) {
    Transaction tx(db_);
    Statement s(db_, kInsertRecord);
    InsertRecord(s, entry);
    tx.Commit();
    MemoryTerminal::AppendRecord(entry);
}

void PersistentTerminal::AppendPunch(const AttendanceEntry& entry) {
    Transaction tx(db_);
    Statement s(db_, kInsertRecord);
    InsertRecord(s, entry);
    WriteMeta(kPunchesAddedKey, punchesAdded_ + 1);
    tx.Commit();
    ++punchesAdded_;
    MemoryTerminal::AppendRecord(entry);
}

void PersistentTerminal::ResetPunchesAdded() {
    Transaction tx(db_);
    WriteMeta(kPunchesAddedKey, 0);
    tx.Commit();
    punchesAdded_ = 0;
}

int64_t ReadPunchesAdded(const std::string& path) {
    Database db(path, Database::Mode::ReadOnly);
    if (!HasTable(db, "meta"))
        throw AppError(ErrorKind::Io, path + ": not a terminal simulator state");
    Statement s(db, "SELECT value FROM meta WHERE key = ?");
    s.Bind(1, kPunchesAddedKey);
    return s.Step() ? s.Int(0) : 0;
}

TerminalState ReadStateFile(const std::string& path) {
    Database db(path, Database::Mode::ReadOnly);
    for (const char* table : {"meta", "users", "templates", "records"})
        if (!HasTable(db, table))
            throw AppError(ErrorKind::Io, path + ": not a terminal simulator state");
    return ReadState(db);
}

}  // namespace aktarim::sim
