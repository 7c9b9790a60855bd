#include "host/ledger/ledger.h"

#include <chrono>
#include <filesystem>

#include "common/text.h"

namespace harrowtally::host {
namespace {

// Another collector, or a `ledger` listing, holds the database briefly; it is waited for.
constexpr std::chrono::milliseconds kBusyWait{10000};

std::string database_path(const std::string& folder) {
    const std::u8string path =
        (std::filesystem::path(std::u8string(folder.begin(), folder.end())) / "ledger.db").u8string();
    return std::string(path.begin(), path.end());
}

// Each statement is made durable before the call returns: a step recorded is a step that happened.
constexpr const char* kSchema[] = {
    "PRAGMA journal_mode = DELETE",
    "PRAGMA synchronous = FULL",
    "CREATE TABLE IF NOT EXISTS runs ("
    " id INTEGER PRIMARY KEY,"
    " started TEXT NOT NULL,"
    " serial TEXT NOT NULL DEFAULT '',"
    " port INTEGER,"
    " held INTEGER NOT NULL DEFAULT 0,"
    " already INTEGER NOT NULL DEFAULT 0,"
    " saved INTEGER NOT NULL DEFAULT 0,"
    " file TEXT NOT NULL DEFAULT '',"
    " file_state TEXT NOT NULL DEFAULT 'none',"
    " emptied_since INTEGER NOT NULL DEFAULT 0,"
    " erase TEXT NOT NULL DEFAULT 'none',"
    " outcome TEXT NOT NULL DEFAULT 'running')",
    "CREATE TABLE IF NOT EXISTS barcodes ("
    " run INTEGER NOT NULL REFERENCES runs(id),"
    " item INTEGER NOT NULL,"
    " barcode TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " stamp_text TEXT NOT NULL,"
    " scan_time TEXT,"
    " PRIMARY KEY (run, item))",
    // The runs whose barcodes each scanner still holds: those saved since it was last known to be
    // emptied. Each run saved the items after those of the runs before it.
    "CREATE TABLE IF NOT EXISTS unerased ("
    " serial TEXT NOT NULL,"
    " run INTEGER NOT NULL REFERENCES runs(id),"
    " PRIMARY KEY (serial, run))",
};

void bind_text(Statement& s, int parameter, const std::u16string& text) {
    s.bind(parameter, to_utf8(text));
}

KeptBarcode kept_from(const Statement& s, int first_column) {
    return {static_cast<int>(s.column_int(first_column)), from_utf8(s.column_text(first_column + 1)),
            static_cast<std::int32_t>(s.column_int(first_column + 2)), from_utf8(s.column_text(first_column + 3))};
}

}  // namespace

Ledger::Ledger(const std::string& folder) : database_(database_path(folder), kBusyWait) {
    for (const char* statement : kSchema) database_.execute(statement);
}

std::int64_t Ledger::begin_run(const std::string& started) {
    Statement insert(database_, "INSERT INTO runs (started) VALUES (?)");
    insert.bind(1, started);
    insert.step();
    Statement id(database_, "SELECT last_insert_rowid()");
    id.step();
    return id.column_int(0);
}

std::vector<KeptBarcode> Ledger::saved_since_emptied(const std::string& serial) {
    Statement select(database_,
                     "SELECT b.item, b.barcode, b.type, b.stamp_text FROM barcodes b JOIN unerased u ON u.run = b.run "
                     "WHERE u.serial = ? ORDER BY b.item");
    select.bind(1, serial);
    std::vector<KeptBarcode> kept;
    while (select.step()) kept.push_back(kept_from(select, 0));
    return kept;
}

void Ledger::record_saving(std::int64_t run, const Saved& saved) {
    Transaction transaction(database_);
    Statement update(database_,
                     "UPDATE runs SET serial = ?, port = ?, held = ?, already = ?, saved = ?, file = ?, "
                     "file_state = 'saving', emptied_since = ? WHERE id = ?");
    update.bind(1, saved.serial);
    update.bind(2, saved.port);
    update.bind(3, saved.held);
    update.bind(4, saved.already);
    update.bind(5, static_cast<std::int64_t>(saved.barcodes.size()));
    update.bind(6, saved.file);
    update.bind(7, saved.emptied_since ? 1 : 0);
    update.bind(8, run);
    update.step();
    Statement barcode(
        database_, "INSERT INTO barcodes (run, item, barcode, type, stamp_text, scan_time) VALUES (?, ?, ?, ?, ?, ?)");
    for (std::size_t k = 0; k < saved.barcodes.size(); ++k) {
        const KeptBarcode& b = saved.barcodes[k];
        barcode.bind(1, run);
        barcode.bind(2, b.item);
        bind_text(barcode, 3, b.barcode);
        barcode.bind(4, b.type);
        bind_text(barcode, 5, b.stamp_text);
        if (k < saved.scan_times.size() && saved.scan_times[k]) {
            barcode.bind(6, *saved.scan_times[k]);
        } else {
            barcode.bind_null(6);
        }
        barcode.step();
        barcode.reset();
    }
    transaction.commit();
}

void Ledger::record_saved(std::int64_t run) {
    Transaction transaction(database_);
    Statement select(database_, "SELECT serial, emptied_since FROM runs WHERE id = ?");
    select.bind(1, run);
    if (!select.step()) return;
    const std::string serial = select.column_text(0);
    if (select.column_int(1) != 0) {
        // The scanner did not begin with what was saved before: it was emptied since.
        Statement forget(database_, "DELETE FROM unerased WHERE serial = ?");
        forget.bind(1, serial);
        forget.step();
    }
    Statement keep(database_, "INSERT OR IGNORE INTO unerased (serial, run) VALUES (?, ?)");
    keep.bind(1, serial);
    keep.bind(2, run);
    keep.step();
    Statement update(database_, "UPDATE runs SET file_state = 'saved' WHERE id = ?");
    update.bind(1, run);
    update.step();
    transaction.commit();
}

void Ledger::settle_interrupted(const std::function<bool(const Saving&)>& holds) {
    std::vector<Saving> interrupted;
    {
        Statement select(database_, "SELECT id, file FROM runs WHERE file_state = 'saving' ORDER BY id");
        while (select.step()) interrupted.push_back({select.column_int(0), select.column_text(1), {}});
    }
    for (Saving& s : interrupted) {
        Statement barcodes(database_,
                           "SELECT item, barcode, type, stamp_text FROM barcodes WHERE run = ? ORDER BY item");
        barcodes.bind(1, s.run);
        while (barcodes.step()) s.barcodes.push_back(kept_from(barcodes, 0));
        if (!s.file.empty() && holds(s)) {
            record_saved(s.run);
            continue;
        }
        Transaction transaction(database_);
        Statement forget(database_, "DELETE FROM barcodes WHERE run = ?");
        forget.bind(1, s.run);
        forget.step();
        Statement update(database_, "UPDATE runs SET file_state = 'not saved', saved = 0 WHERE id = ?");
        update.bind(1, s.run);
        update.step();
        transaction.commit();
    }
}

void Ledger::record_erase_attempt(std::int64_t run) {
    Statement update(database_, "UPDATE runs SET erase = 'attempted' WHERE id = ?");
    update.bind(1, run);
    update.step();
}

void Ledger::record_erase_result(std::int64_t run, const std::string& serial, bool emptied) {
    Transaction transaction(database_);
    Statement update(database_, "UPDATE runs SET erase = ? WHERE id = ?");
    update.bind(1, emptied ? "emptied" : "not emptied");
    update.bind(2, run);
    update.step();
    if (emptied) {
        Statement forget(database_, "DELETE FROM unerased WHERE serial = ?");
        forget.bind(1, serial);
        forget.step();
    }
    transaction.commit();
}

void Ledger::record_outcome(std::int64_t run, const std::string& outcome, std::optional<std::int32_t> port,
                            const std::string& serial) {
    Statement update(database_,
                     "UPDATE runs SET outcome = ?, port = coalesce(?, port), serial = coalesce(nullif(?, ''), serial) "
                     "WHERE id = ?");
    update.bind(1, outcome);
    if (port) {
        update.bind(2, *port);
    } else {
        update.bind_null(2);
    }
    update.bind(3, serial);
    update.bind(4, run);
    update.step();
}

void Ledger::forget_run(std::int64_t run) {
    Transaction transaction(database_);
    Statement held(database_, "DELETE FROM unerased WHERE run = ?");
    held.bind(1, run);
    held.step();
    Statement barcodes(database_, "DELETE FROM barcodes WHERE run = ?");
    barcodes.bind(1, run);
    barcodes.step();
    Statement row(database_, "DELETE FROM runs WHERE id = ?");
    row.bind(1, run);
    row.step();
    transaction.commit();
}

std::vector<LedgerRun> Ledger::recent_runs(int limit) {
    Statement select(
        database_,
        "SELECT id, started, serial, port, held, saved, already, file, erase, outcome, file_state FROM runs "
        "ORDER BY id DESC LIMIT ?");
    select.bind(1, limit);
    std::vector<LedgerRun> runs;
    while (select.step()) {
        LedgerRun r;
        r.id = select.column_int(0);
        r.started = select.column_text(1);
        r.serial = select.column_text(2);
        if (!select.column_is_null(3)) r.port = static_cast<std::int32_t>(select.column_int(3));
        r.held = static_cast<std::int32_t>(select.column_int(4));
        r.saved = static_cast<std::int32_t>(select.column_int(5));
        r.already = static_cast<std::int32_t>(select.column_int(6));
        r.file = select.column_text(7);
        r.erase = select.column_text(8);
        r.outcome = select.column_text(9);
        r.file_state = select.column_text(10);
        runs.push_back(std::move(r));
    }
    return runs;
}

std::vector<LedgerBarcode> Ledger::barcodes_since(const std::string& since) {
    Statement select(database_,
                     "SELECT r.started, r.serial, r.file, b.item, b.barcode, b.type, b.stamp_text, b.scan_time "
                     "FROM barcodes b JOIN runs r ON r.id = b.run WHERE r.started >= ? AND r.file_state = 'saved' "
                     "ORDER BY r.id, b.item");
    select.bind(1, since);
    std::vector<LedgerBarcode> barcodes;
    while (select.step()) {
        LedgerBarcode b;
        b.started = select.column_text(0);
        b.serial = select.column_text(1);
        b.file = select.column_text(2);
        b.barcode = kept_from(select, 3);
        if (!select.column_is_null(7)) b.scan_time = select.column_text(7);
        barcodes.push_back(std::move(b));
    }
    return barcodes;
}

}  // namespace harrowtally::host
