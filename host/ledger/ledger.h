#pragma once
// The download ledger of a collection folder (ledger.db, an SQLite database): what was saved from
// which scanner into which file, and whether the erase followed. Each step of a run is recorded,
// and made durable, before the next begins: the run begun, the file saved and read back with its
// barcodes, the erase attempted, its result. A run killed between any two steps thus leaves what
// the next run needs: the barcodes saved from each scanner since it was last known to be emptied
// (`saved_since_emptied`), which are still the first ones it holds unless it was emptied since.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/collect/already_saved.h"
#include "host/ledger/sqlite_database.h"

namespace harrowtally::host {

// One run as `ledger` lists it.
struct LedgerRun {
    std::int64_t id = 0;
    std::string started;  // local time, "YYYY-MM-DDThh:mm:ss"
    std::string serial;   // empty: no scanner found, or not read
    std::optional<std::int32_t> port;
    std::int32_t held = 0, saved = 0, already = 0;
    std::string file;        // empty: no file was written
    std::string erase;       // "none", "attempted", "emptied", "not emptied"
    std::string file_state;  // "none", "saving", "saved", "not saved"
    std::string outcome;     // the words of the log line; "running" until the run has ended
};

// A barcode saved by a run, for an export of the ledger.
struct LedgerBarcode {
    std::string started;  // the run's
    std::string serial;
    std::string file;
    KeptBarcode barcode;
    std::optional<std::string> scan_time;  // "YYYY-MM-DD hh:mm:ss"
};

class Ledger {
public:
    // Opens FOLDER's ledger, creating it when missing; throws DatabaseError when it cannot.
    explicit Ledger(const std::string& folder);

    // A run begins: its row is there before the scanner is touched.
    std::int64_t begin_run(const std::string& started);

    // The barcodes saved from scanner `serial` since it was last known to be emptied: items 1 to n.
    std::vector<KeptBarcode> saved_since_emptied(const std::string& serial);

    // The file is saved and read back (`file` empty: the scanner held nothing new). `barcodes` are
    // the ones the file holds that were read whole, items `already` + 1 on: what the scanner holds
    // beyond what was saved from it before, or, when it was `emptied_since`, instead of that.
    struct Saved {
        std::string serial;
        std::int32_t port = 0;
        std::int32_t held = 0;
        std::int32_t already = 0;
        bool emptied_since = false;
        std::string file;
        std::vector<KeptBarcode> barcodes;
        std::vector<std::optional<std::string>> scan_times;  // one per barcode
    };
    // Before the file takes its name: what it is about to hold. Until record_saved, the run's
    // barcodes count as saved only if the file is found holding them (settle_interrupted).
    void record_saving(std::int64_t run, const Saved& saved);
    // The file took its name and read back whole: its barcodes are saved.
    void record_saved(std::int64_t run);
    // The files of runs that ended between record_saving and record_saved: a file that is there and
    // gives back its barcodes (`holds` says) counts as saved; any other is forgotten.
    struct Saving {
        std::int64_t run = 0;
        std::string file;
        std::vector<KeptBarcode> barcodes;
    };
    void settle_interrupted(const std::function<bool(const Saving&)>& holds);

    // Before the first erase try.
    void record_erase_attempt(std::int64_t run);
    // After the erase: an emptied scanner holds none of what was saved from it.
    void record_erase_result(std::int64_t run, const std::string& serial, bool emptied);
    // The run's last words, as the log has them.
    void record_outcome(std::int64_t run, const std::string& outcome, std::optional<std::int32_t> port,
                        const std::string& serial = {});

    // A run that did nothing worth keeping (a poll that found no scanner) leaves no row.
    void forget_run(std::int64_t run);

    // The latest `limit` runs, newest first.
    std::vector<LedgerRun> recent_runs(int limit);
    // Every barcode saved by runs that began at or after `since` ("YYYY-MM-DD"), oldest first.
    std::vector<LedgerBarcode> barcodes_since(const std::string& since);

private:
    SqliteDatabase database_;
};

}  // namespace harrowtally::host
