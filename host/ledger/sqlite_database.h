#pragma once
// An SQLite database file for the download ledger, with its statements and transactions, each the
// one owner of its SQLite handle. Every failure is a DatabaseError carrying SQLite's own message.
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace harrowtally::host {

class DatabaseError : public std::runtime_error {
public:
    DatabaseError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    // SQLite's extended result code (SQLITE_BUSY, SQLITE_CONSTRAINT_UNIQUE, ...).
    int code() const noexcept { return code_; }

private:
    int code_;
};

// A connection to a database file, created when missing. Another connection's lock is waited for
// up to busy_timeout before a statement fails with SQLITE_BUSY. Foreign keys are enforced and a
// double-quoted word is always a name, whichever options the SQLite library was built with.
class SqliteDatabase {
public:
    SqliteDatabase(const std::string& path, std::chrono::milliseconds busy_timeout);
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;
    ~SqliteDatabase();

    // Runs statements that take no parameters and whose rows, if any, nobody reads.
    void execute(const char* sql);

    sqlite3* handle() const noexcept { return database_; }

private:
    sqlite3* database_ = nullptr;
};

// One prepared statement. Parameters count from 1, columns from 0.
class Statement {
public:
    Statement(SqliteDatabase& database, std::string_view sql);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    void bind(int parameter, std::int64_t value);
    void bind(int parameter, std::string_view text);
    void bind_null(int parameter);
    // True while a row is there to read, false once the statement has run to its end.
    bool step();
    // Ready to run again; the bound values stay.
    void reset();

    bool column_is_null(int column) const;
    std::int64_t column_int(int column) const;
    std::string column_text(int column) const;  // empty for NULL

private:
    void check(int result, const char* what) const;

    sqlite3* database_;
    sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE: the write lock is taken at once, so a busy database is waited for here rather
// than failing halfway. Rolled back when left without commit(), by an exception too.
class Transaction {
public:
    explicit Transaction(SqliteDatabase& database);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();

    void commit();

private:
    SqliteDatabase& database_;
    bool open_ = true;
};

}  // namespace harrowtally::host
