// The ledger's SQLite layer on a database file in a folder of its own: what a transaction keeps
// and what it rolls back, values as stored, and SQLite's failures as DatabaseError with its words.
#include "host/ledger/sqlite_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace harrowtally::host {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class SqliteDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder of its own, here and under Wine (formats_test.exe), which has no mkdtemp.
        std::random_device random;
        do {
            folder_ = fs::temp_directory_path() / ("harrowtally-ledger-" + std::to_string(random()));
        } while (!fs::create_directory(folder_));
        path_ = (folder_ / "ledger.db").string();
        SqliteDatabase database(path_, milliseconds(0));
        database.execute(
            "CREATE TABLE download (id INTEGER PRIMARY KEY, serial TEXT NOT NULL UNIQUE, count INTEGER);"
            "CREATE TABLE barcode (download INTEGER NOT NULL REFERENCES download(id), code TEXT)");
    }
    void TearDown() override { fs::remove_all(folder_); }

    static void insert(SqliteDatabase& database, std::int64_t id, const std::string& serial) {
        Statement statement(database, "INSERT INTO download (id, serial, count) VALUES (?, ?, NULL)");
        statement.bind(1, id);
        statement.bind(2, serial);
        EXPECT_FALSE(statement.step());
    }

    static std::vector<std::string> serials(SqliteDatabase& database) {
        Statement statement(database, "SELECT serial FROM download ORDER BY id");
        std::vector<std::string> found;
        while (statement.step()) {
            found.push_back(statement.column_text(0));
        }
        return found;
    }

    fs::path folder_;
    std::string path_;
};

TEST_F(SqliteDatabaseTest, KeepsCommittedTransactionsOnlyAndValuesAsStored) {
    const std::string text_with_nul = std::string("A\0Ü€😀", 11);
    {
        SqliteDatabase database(path_, milliseconds(1000));
        {
            Transaction kept(database);
            insert(database, std::numeric_limits<std::int64_t>::min(), text_with_nul);
            insert(database, std::numeric_limits<std::int64_t>::max(), "kept");
            kept.commit();
        }
        {
            Transaction dropped(database);
            insert(database, 7, "left without commit");
        }
        struct Stop {};
        try {
            Transaction thrown(database);
            insert(database, 8, "before a throw");
            throw Stop{};
        } catch (const Stop&) {
        }
        // Rolled back on this connection already, not only by its closing.
        EXPECT_EQ(serials(database), (std::vector<std::string>{text_with_nul, "kept"}));
    }
    SqliteDatabase reopened(path_, milliseconds(1000));
    EXPECT_EQ(serials(reopened), (std::vector<std::string>{text_with_nul, "kept"}));
    Statement row(reopened, "SELECT id, count FROM download WHERE serial = ?");
    row.bind(1, "kept");
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.column_int(0), std::numeric_limits<std::int64_t>::max());
    EXPECT_TRUE(row.column_is_null(1));
    EXPECT_FALSE(row.step());
    row.reset();
    ASSERT_TRUE(row.step());  // the binding stays for the next run
    EXPECT_FALSE(row.column_is_null(0));
}

// Foreign keys and the refusal of double-quoted strings hold whatever the library's defaults.
TEST_F(SqliteDatabaseTest, FailuresCarrySqlitesCodeAndMessage) {
    struct Failure {
        const char* sql;
        int code;
        const char* message;
    };
    const Failure failures[] = {
        {"INSERT INTO download (serial) VALUES ('S1')", SQLITE_CONSTRAINT_UNIQUE, "UNIQUE constraint failed"},
        {"INSERT INTO barcode (download, code) VALUES (99, 'X')", SQLITE_CONSTRAINT_FOREIGNKEY,
         "FOREIGN KEY constraint failed"},
        {"SELECT * FROM download WHERE serial = \"S1\"", SQLITE_ERROR, "no such column: S1"},
        {"SELEC 1", SQLITE_ERROR, "syntax error"},
        {"SELECT 1; SELECT 2", SQLITE_MISUSE, "not one statement"},
    };
    SqliteDatabase database(path_, milliseconds(0));
    insert(database, 1, "S1");
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.sql);
        try {
            Statement statement(database, failure.sql);
            statement.step();
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.code(), failure.code);
            EXPECT_NE(std::string(error.what()).find(failure.message), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(serials(database), std::vector<std::string>{"S1"});
}

TEST_F(SqliteDatabaseTest, WaitsForAnotherWriterUpToTheBusyTimeout) {
    SqliteDatabase holder(path_, milliseconds(0));
    Transaction held(holder);
    SqliteDatabase waiter(path_, milliseconds(300));
    const auto started = std::chrono::steady_clock::now();
    try {
        Transaction blocked(waiter);
        ADD_FAILURE() << "the second writer got the lock";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.code(), SQLITE_BUSY) << error.what();
    }
    EXPECT_GE(std::chrono::steady_clock::now() - started, milliseconds(300));
}

TEST_F(SqliteDatabaseTest, AFileThatCannotBeOpenedIsAnError) {
    try {
        SqliteDatabase missing((folder_ / "no such folder" / "ledger.db").string(), milliseconds(0));
        ADD_FAILURE() << "opened";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.code(), SQLITE_CANTOPEN);
        EXPECT_NE(std::string(error.what()).find("no such folder"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace harrowtally::host
