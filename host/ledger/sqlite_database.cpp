#include "host/ledger/sqlite_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace harrowtally::host {
namespace {

[[noreturn]] void fail(sqlite3* database, int result, const std::string& what) {
    const char* message = database != nullptr ? sqlite3_errmsg(database) : sqlite3_errstr(result);
    const int code = database != nullptr ? sqlite3_extended_errcode(database) : result;
    throw DatabaseError(code, what + ": " + message);
}

}  // namespace

SqliteDatabase::SqliteDatabase(const std::string& path, std::chrono::milliseconds busy_timeout) {
    const int opened = sqlite3_open_v2(path.c_str(), &database_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    try {
        if (opened != SQLITE_OK) {
            fail(database_, opened, "cannot open the database " + path);
        }
        sqlite3_extended_result_codes(database_, 1);
        const auto timeout =
            std::min<std::chrono::milliseconds::rep>(busy_timeout.count(), std::numeric_limits<int>::max());
        sqlite3_busy_timeout(database_, static_cast<int>(timeout));
        sqlite3_db_config(database_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(database_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        execute("PRAGMA foreign_keys = ON");
    } catch (...) {
        sqlite3_close(database_);  // SQLite gives a handle even when the open failed
        throw;
    }
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close(database_);
}

void SqliteDatabase::execute(const char* sql) {
    const int result = sqlite3_exec(database_, sql, nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) {
        fail(database_, result, std::string("cannot run ") + sql);
    }
}

Statement::Statement(SqliteDatabase& database, std::string_view sql) : database_(database.handle()) {
    if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw DatabaseError(SQLITE_TOOBIG, "cannot prepare a statement of " + std::to_string(sql.size()) + " bytes");
    }
    const char* rest = nullptr;
    const int result = sqlite3_prepare_v2(database_, sql.data(), static_cast<int>(sql.size()), &statement_, &rest);
    if (result != SQLITE_OK) {
        fail(database_, result, "cannot prepare " + std::string(sql));
    }
    // One statement exactly: a second one would silently never run.
    const std::string_view after = sql.substr(static_cast<std::size_t>(rest - sql.data()));
    if (statement_ == nullptr || after.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        sqlite3_finalize(statement_);
        throw DatabaseError(SQLITE_MISUSE, "not one statement: " + std::string(sql));
    }
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

void Statement::check(int result, const char* what) const {
    if (result != SQLITE_OK) {
        fail(database_, result, std::string(what) + " in " + sqlite3_sql(statement_));
    }
}

void Statement::bind(int parameter, std::int64_t value) {
    check(sqlite3_bind_int64(statement_, parameter, value), "cannot bind a number");
}

void Statement::bind(int parameter, std::string_view text) {
    check(sqlite3_bind_text64(statement_, parameter, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
          "cannot bind a text");
}

void Statement::bind_null(int parameter) {
    check(sqlite3_bind_null(statement_, parameter), "cannot bind NULL");
}

bool Statement::step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) {
        return true;
    }
    if (result != SQLITE_DONE) {
        fail(database_, result, std::string("cannot run ") + sqlite3_sql(statement_));
    }
    return false;
}

void Statement::reset() {
    // The error of a failed step was thrown by step(); reset repeats it.
    sqlite3_reset(statement_);
}

bool Statement::column_is_null(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t Statement::column_int(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string Statement::column_text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    if (text == nullptr) {
        return {};
    }
    return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

Transaction::Transaction(SqliteDatabase& database) : database_(database) {
    database_.execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (open_) {
        sqlite3_exec(database_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::commit() {
    database_.execute("COMMIT");
    open_ = false;
}

}  // namespace harrowtally::host
