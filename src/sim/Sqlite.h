#pragma once
// A thin RAII layer over the SQLite C API: a connection, prepared statements
// and a transaction that rolls back unless committed. Every failure throws
// AppError(Io, message) naming what SQLite said.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace aktarim::sim {

class Database {
  public:
    enum class Mode { ReadWriteCreate, ReadOnly };
    // ":memory:" opens a private in-memory database.
    explicit Database(const std::string& path, Mode mode = Mode::ReadWriteCreate);

    void Execute(const char* sql);
    sqlite3* handle() const { return db_.get(); }
    const std::string& path() const { return path_; }

  private:
    struct Close {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    std::string path_;
    std::unique_ptr<sqlite3, Close> db_;
};

class Statement {
  public:
    Statement(Database& db, const char* sql);

    Statement& Bind(int index, int64_t value);
    Statement& Bind(int index, std::string_view text);
    // One step: true while a row is ready, false when done.
    bool Step();
    // Runs a statement that returns no rows, then makes it ready to run again.
    void Run();
    void Reset();

    int64_t Int(int column) const;
    std::string Text(int column) const;

  private:
    struct Finalize {
        void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
    };
    Database& db_;
    std::unique_ptr<sqlite3_stmt, Finalize> stmt_;
};

class Transaction {
  public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

  private:
    Database& db_;
    bool done_ = false;
};

}  // namespace aktarim::sim
