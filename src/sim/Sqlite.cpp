#include "sim/Sqlite.h"

#include "core/Errors.h"

namespace aktarim::sim {

namespace {

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw AppError(ErrorKind::Io, what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

Database::Database(const std::string& path, Mode mode) : path_(path) {
    const int flags =
        mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) Fail(raw, "cannot open " + path);
    sqlite3_extended_result_codes(raw, 1);
    // A dump may read while the simulator writes; wait briefly instead of failing.
    sqlite3_busy_timeout(raw, 2000);
}

void Database::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db_.get());
        sqlite3_free(message);
        throw AppError(ErrorKind::Io, path_ + ": " + text);
    }
}

Statement::Statement(Database& db, const char* sql) : db_(db) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &raw, nullptr) != SQLITE_OK)
        Fail(db.handle(), db.path());
    stmt_.reset(raw);
}

Statement& Statement::Bind(int index, int64_t value) {
    if (sqlite3_bind_int64(stmt_.get(), index, value) != SQLITE_OK) Fail(db_.handle(), db_.path());
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_.get(), index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        Fail(db_.handle(), db_.path());
    return *this;
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const std::string message = sqlite3_errmsg(db_.handle());
    sqlite3_reset(stmt_.get());
    throw AppError(ErrorKind::Io, db_.path() + ": " + message);
}

void Statement::Run() {
    while (Step()) {
    }
    Reset();
}

void Statement::Reset() {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_.get(), column); }

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_.get(), column);
    const int size = sqlite3_column_bytes(stmt_.get(), column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size))
                : std::string();
}

Transaction::Transaction(Database& db) : db_(db) { db_.Execute("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!done_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    db_.Execute("COMMIT");
    done_ = true;
}

}  // namespace aktarim::sim
