// `collect`: one run of the job people run every evening or at each docking. It finds the scanner
// as `download` does, saves what it holds that no earlier run saved into a new file in the folder,
// reads the file back, and empties the scanner in the same connection through the download's
// keeper. The folder's ledger records each step before the next, and its log gets one line a run.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/clock.h"
#include "common/runtime_error.h"
#include "common/text.h"
#include "host/collect/already_saved.h"
#include "host/collect/collect_log.h"
#include "host/command_line/arg_reader.h"
#include "host/formats/download_format.h"
#include "host/formats/read_back_check.h"
#include "host/ledger/ledger.h"
#include "host/output/output_file.h"
#include "host/platform/folder_lock.h"
#include "host/platform/signals.h"
#include "host/platform/terminal.h"
#include "host/session/guarded_erase.h"
#include "host/session/session.h"
#include "host/text/terminal_text.h"
#include "host/words/words.h"

namespace harrowtally::host {
namespace {

constexpr int kExitNoScanner = 3;
constexpr int kExitNotEmptied = 4;

constexpr const char* kHelp =
    "usage: harrowtally collect --into FOLDER [--format xlsx|csv|json] [--port N] [--watch]\n"
    "Saves what the scanner holds into a new file in FOLDER and empties it, once the file reads back\n"
    "whole: the job to run each evening, or whenever a scanner is put in its cradle.\n"
    "  --into FOLDER    where the files go, made when missing; it also holds the ledger of what was\n"
    "                   saved from which scanner (ledger.db) and the log, one line a run (collect.log)\n"
    "  --format F       xlsx (the default), csv or json\n"
    "  --port N         where the search for the scanner starts (without it: ports 0 to 15)\n"
    "  --watch          keeps running, and collects every scanner put in its cradle within a few\n"
    "                   seconds; a scanner left there once emptied is not collected again, and the log\n"
    "                   says once that it is empty. Runs until {stoppers} stops it\n"
    "A file is named after the scanner's serial number and the date and time of the run\n"
    "(SERIAL-YYYY-MM-DD-hhmmss.xlsx), and ends in -incomplete when a barcode could not be read; the\n"
    "scanner is then not emptied. Barcodes that an earlier run saved from the same scanner, but did\n"
    "not erase, are not saved again; a scanner with nothing new gets no file.\n"
    "Exit status: 0 every barcode is saved and the scanner emptied, or it held nothing new; 1 nothing\n"
    "could be saved (the folder, the ledger or the log cannot be written, or an error); 2 a mistake\n"
    "in the command line; 3 no scanner was found; 4 barcodes were saved but the scanner was not\n"
    "emptied; {stopped}.\n";

struct CollectOptions {
    std::string into;
    DownloadFormat format = DownloadFormat::xlsx;
    std::optional<std::int32_t> port;
    bool watch = false;
    std::chrono::milliseconds interval{2000};
};

CollectOptions read_options(const std::vector<std::string>& args, std::ostream& out, bool& help) {
    CollectOptions o;
    ArgReader reader("collect", args);
    while (reader.next()) {
        if (reader.is_option("--into")) {
            o.into = reader.value();
        } else if (reader.is_option("--format")) {
            const std::string name = reader.value();
            const std::optional<DownloadFormat> format = parse_download_format(name);
            if (!format || *format == DownloadFormat::table || *format == DownloadFormat::record) {
                throw UsageError("collect: the format is xlsx, csv or json, not " + name);
            }
            o.format = *format;
        } else if (reader.is_option("--port")) {
            o.port = reader.port_value();
        } else if (reader.is_option("--watch")) {
            o.watch = true;
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) {
        std::string text = kHelp;
        for (const auto& [name, value] : {std::pair<std::string, std::string>{"{stopped}", interrupted_status()},
                                          {"{stoppers}", interruptions_named()}}) {
            text.replace(text.find(name), name.size(), value);
        }
        out << text;
        help = true;
        return o;
    }
    if (o.into.empty()) throw UsageError("collect: --into FOLDER is needed");
    return o;
}

std::string two(int n) {
    return std::string(n < 10 ? "0" : "") + std::to_string(n);
}

// "YYYY-MM-DDThh:mm:ss" for the log and the ledger; "YYYY-MM-DD-hhmmss" for a file name.
std::string iso_time(const LocalDateTime& t) {
    return std::to_string(t.year) + "-" + two(t.month) + "-" + two(t.day) + "T" + two(t.hour) + ":" + two(t.minute) +
           ":" + two(t.second);
}
std::string name_time(const LocalDateTime& t) {
    return std::to_string(t.year) + "-" + two(t.month) + "-" + two(t.day) + "-" + two(t.hour) + two(t.minute) +
           two(t.second);
}

const char* extension(DownloadFormat format) {
    return format == DownloadFormat::csv ? ".csv" : format == DownloadFormat::json ? ".json" : ".xlsx";
}

// The barcodes a file of a download that is not whole holds, read back: each one read must be there
// as it was read. The file of a whole download is compared by saved_download_difference.
std::optional<std::string> kept_difference(DownloadFormat format, std::string_view text,
                                           const std::vector<KeptBarcode>& kept) {
    std::size_t k = 0;
    std::optional<std::string> difference;
    const ReadBack back = read_saved_download(format, text, [&](const SavedBarcode& s) {
        if (!s.read) return true;
        if (k >= kept.size() || s.item != kept[k].item || s.barcode != kept[k].barcode || s.type != kept[k].type ||
            s.stamp_text != kept[k].stamp_text) {
            difference = "barcode " + std::to_string(s.item) + " does not read back as it was read";
            return false;
        }
        ++k;
        return true;
    });
    if (difference) return difference;
    if (!back.problem.empty()) return "the file cannot be read back: " + back.problem;
    if (k != kept.size())
        return "the file gives back " + plural(static_cast<int>(k), "barcode") + " of " + std::to_string(kept.size());
    return std::nullopt;
}

// A run's row in the ledger, made at the first step there is to record: a poll that finds no
// scanner, or one empty with nothing saved from it, writes nothing.
class RunRow {
public:
    RunRow(Ledger& ledger, std::string started) : ledger_(ledger), started_(std::move(started)) {}
    std::int64_t id() {
        if (id_ == 0) id_ = ledger_.begin_run(started_);
        return id_;
    }
    bool made() const { return id_ != 0; }

private:
    Ledger& ledger_;
    std::string started_;
    std::int64_t id_ = 0;
};

// Keeps what is new of a download in a new file of the folder, records it in the ledger, and allows
// the erase only of the scanner that holds exactly what is now saved.
class CollectKeeper : public DownloadKeeper {
public:
    CollectKeeper(OutputFile& file, DownloadFormat format, Ledger& ledger, RunRow& run, std::string stamp)
        : file_(file), format_(format), ledger_(ledger), run_(run), stamp_(std::move(stamp)) {}

    bool keep(const Clicker& clicker) override {
        stop_if_interrupted();
        held_ = clicker.num_barcodes();
        serial_read_ = clicker.serial_was_read();
        serial_ = serial_read_ ? to_utf8(clicker.serial().as_string()) : "";
        expected_ = ExpectedScanner::holding(held_, serial_read_ ? clicker.serial().as_string() : u"");
        const Download& download = downloaded(clicker);
        complete_ = download.complete(held_);
        // A scanner whose identity is not known is matched with nothing saved before.
        const AlreadySaved already =
            serial_read_ ? already_saved(download, held_, ledger_.saved_since_emptied(serial_)) : AlreadySaved{};
        already_ = already.items;
        Ledger::Saved saved{serial_, clicker.comport(), held_, already_, already.emptied_since, "", {}, {}};
        KeptBarcode kept;
        for (int k = already_ + 1; k <= held_; ++k) {
            if (!kept_barcode(download, k, kept)) continue;
            saved.barcodes.push_back(kept);
            saved.scan_times.push_back(written_scan_time(*download.filled_item(k)));
        }
        new_ = static_cast<int>(saved.barcodes.size());
        if (new_ > 0) {
            file_name_ = (serial_read_ ? serial_ : std::string("unknown")) + "-" + stamp_ +
                         (complete_ ? "" : "-incomplete") + extension(format_);
            std::string problem;
            if (!file_.retarget(file_name_, problem)) {
                not_saved_ = problem;
                return false;
            }
            // The ledger knows what the file is to hold before the file has its name: a run that
            // ends in between leaves the next run to look at the file (settle_interrupted).
            saved.file = file_name_;
            ledger_.record_saving(run_.id(), saved);
            const WriteOutcome written = file_.commit(render_download(clicker, format_, u"", already_ + 1));
            file_saved_ = written.ok;
            stop_if_interrupted();
            if (!written.ok) {
                not_saved_ = written.reason;
                return false;
            }
            difference_ = complete_ ? saved_download_difference(clicker, format_, written.read_back, already_ + 1)
                                    : kept_difference(format_, written.read_back, saved.barcodes);
            if (difference_) return false;
        } else if (held_ == 0 && !already.emptied_since) {
            // Empty, with nothing saved from it to forget: nothing to record.
            return false;
        } else {
            ledger_.record_saving(run_.id(), saved);
        }
        ledger_.record_saved(run_.id());
        recorded_ = true;
        // A scanner holding only what is saved is emptied too; an empty one needs no erase.
        return complete_ && held_ > 0;
    }

    bool still_kept() override {
        stop_if_interrupted();
        if (new_ == 0) return true;
        const std::string change = file_.change_since_read_back();
        if (change.empty()) return true;
        difference_ = "the file was changed or replaced after it was read back (" + change + ")";
        return false;
    }

    bool allow_erase(const ScannerBeforeErase& scanner) override {
        if (!expected_.allow_erase(scanner)) {
            scanner_changed_ = expected_.refusal();
            return false;
        }
        if (!erase_recorded_) ledger_.record_erase_attempt(run_.id());
        erase_recorded_ = true;
        return true;
    }

    int held() const { return held_; }
    int already() const { return already_; }
    int new_barcodes() const { return new_; }
    bool complete() const { return complete_; }
    bool recorded() const { return recorded_; }
    bool erase_recorded() const { return erase_recorded_; }
    const std::string& serial() const { return serial_; }
    const std::string& file_name() const { return file_name_; }
    bool file_saved() const { return file_saved_; }
    const std::string& not_saved() const { return not_saved_; }
    const std::optional<std::string>& difference() const { return difference_; }
    const std::string& scanner_changed() const { return scanner_changed_; }

private:
    OutputFile& file_;
    DownloadFormat format_;
    Ledger& ledger_;
    RunRow& run_;
    std::string stamp_;
    int held_ = 0, already_ = 0, new_ = 0;
    bool complete_ = false, serial_read_ = false, recorded_ = false, erase_recorded_ = false, file_saved_ = false;
    std::string serial_, file_name_, not_saved_, scanner_changed_;
    std::optional<std::string> difference_;
    ExpectedScanner expected_ = ExpectedScanner::holding(0);
};

// What one run did, for the log, the ledger and the exit status.
struct RunOutcome {
    int status = kExitOk;
    std::string words;
};

RunOutcome collect_once(Clicker& clicker, CollectKeeper& keeper, const CollectOptions& o, Ledger& ledger, RunRow& run,
                        std::ostream& out) {
    if (o.port) clicker.let_startport(Variant::long_(*o.port));
    EraseReport erase;
    try {
        erase = guarded_erase(clicker, true, [&] { clicker.download_keep_and_empty(keeper); });
    } catch (const RuntimeError& e) {
        if (!keeper.recorded()) throw;
        // After the file was saved (a count that overflows after a failed erase try): it is kept.
        return {kExitNotEmptied, "saved; not emptied: " + error_line(e.number())};
    }
    if (!clicker.open_ok()) return {kExitNoScanner, no_scanner_words(clicker, o.port.value_or(0))};
    const std::string file = keeper.file_name().empty() ? std::string() : " in " + keeper.file_name();
    if (!keeper.not_saved().empty()) return {kExitFailed, "not saved: " + keeper.not_saved() + "; not emptied"};
    if (keeper.difference() && !keeper.recorded()) {
        return {kExitFailed, "not saved: " + keeper.file_name() + " does not read back whole: " + *keeper.difference() +
                                 "; not emptied"};
    }
    if (keeper.erase_recorded()) ledger.record_erase_result(run.id(), keeper.serial(), erase.emptied);
    std::string saved = keeper.new_barcodes() == 0 ? std::string("nothing new")
                                                   : "saved " + plural(keeper.new_barcodes(), "barcode") + file;
    if (keeper.already() > 0) saved += " (" + std::to_string(keeper.already()) + " saved before)";
    if (keeper.held() == 0) return {kExitOk, "empty"};
    if (!keeper.complete()) {
        return {kExitNotEmptied, saved + "; not emptied: " +
                                     not_downloaded_words(keeper.already() + keeper.new_barcodes(), keeper.held())};
    }
    if (keeper.difference()) return {kExitNotEmptied, saved + "; not emptied: " + *keeper.difference()};
    if (!keeper.scanner_changed().empty()) {
        return {kExitNotEmptied, saved + "; not emptied: " + keeper.scanner_changed()};
    }
    if (!erase.emptied) {
        return {kExitNotEmptied, saved + "; not emptied: " + empty_outcome_words(clicker.empty_outcome())};
    }
    out << "Emptied the scanner on port " << clicker.comport() << ".\n";
    return {kExitOk, saved + "; emptied"};
}

// What a folder's runs share: the lock that keeps other collectors out, the log and the ledger.
struct CollectFolder {
    explicit CollectFolder(const std::string& into)
        : path(into.back() == '/' || into.back() == '\\' ? into : into + "/"), lock(path + "collect.lock"), log(into) {}
    std::string path;
    FolderLock lock;
    CollectLog log;
    std::optional<Ledger> ledger;
    int last_error = 0;  // the runtime error that ended the last run, or 0
};

// A file of the folder read back, to look at what a run left behind.
std::string folder_file_text(const std::string& path) {
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

// One run: the ledger's row, the search, the file, the erase, and the run's line. With `quiet`
// (a poll of --watch) a run that found no scanner, or found one that is empty as it was at the
// last poll, leaves no row and no line. Gives the run's status, and the scanner's state for the next
// poll in `last`.
int collect_run(Session& session, CollectFolder& folder, const CollectOptions& o, std::ostream& out, std::ostream& err,
                bool quiet, std::string& last) {
    Ledger& ledger = *folder.ledger;
    const LocalDateTime now = SystemClock().local_now();
    const std::string started = iso_time(now);
    RunRow run(ledger, started);
    folder.last_error = 0;
    // Made before the scanner is read, under a name the download replaces: a folder that takes no
    // new file is known first.
    OutputFile file(folder.path + "collecting" + extension(o.format), false);
    RunOutcome outcome{kExitFailed, "nothing can be saved: " + file.problem()};
    CollectKeeper keeper(file, o.format, ledger, run, name_time(now));
    std::optional<std::int32_t> port;
    if (file.problem().empty()) {
        try {
            outcome = collect_once(session.clicker, keeper, o, ledger, run, out);
        } catch (const DatabaseError& e) {
            outcome = {kExitFailed, std::string("the ledger cannot be written: ") + e.what()};
        } catch (const RuntimeError& e) {
            outcome = {kExitFailed, error_line(e.number())};
            folder.last_error = e.number();
        } catch (const Interrupted&) {
            // Signals are taken only before the erase begins; the run's line says so, then it ends.
            if (!run.made() && keeper.serial().empty()) throw;
            std::string problem;
            folder.log.append(started + " " + (keeper.serial().empty() ? std::string("-") : keeper.serial()) +
                                  ": stopped by a signal; nothing was erased" +
                                  (keeper.file_saved() ? ", " + keeper.file_name() + " is kept" : std::string()),
                              problem);
            if (run.made()) ledger.record_outcome(run.id(), "stopped by a signal", std::nullopt);
            throw;
        }
        if (session.clicker.open_ok()) port = session.clicker.comport();
    }
    const std::string state = keeper.serial() + " " + outcome.words;
    if (quiet && (outcome.status == kExitNoScanner || (outcome.words == "empty" && state == last))) {
        if (run.made()) ledger.forget_run(run.id());
        last = outcome.status == kExitNoScanner ? std::string() : state;
        return outcome.status;
    }
    last = state;
    std::string line = started + " " + (keeper.serial().empty() ? std::string("-") : keeper.serial());
    if (port) line += " port " + std::to_string(*port);
    line += ": " + outcome.words;
    (outcome.status == kExitOk ? out : err) << line << std::endl;
    std::string problem;
    bool written = folder.log.append(line, problem);
    try {
        ledger.record_outcome(run.id(), outcome.words, port, keeper.serial());
    } catch (const DatabaseError& e) {
        problem = std::string("the ledger cannot be written: ") + e.what();
        written = false;
    }
    if (!written) {
        err << "collect: " << problem << std::endl;
        return outcome.status == kExitOk ? kExitFailed : outcome.status;
    }
    return outcome.status;
}

// Waits `interval`, or less when a signal comes.
void wait_for_next_poll(std::chrono::milliseconds interval) {
    const auto until = std::chrono::steady_clock::now() + interval;
    while (std::chrono::steady_clock::now() < until) {
        stop_if_interrupted();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace

int run_collect(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err) {
    bool help = false;
    const CollectOptions o = read_options(args, out, help);
    if (help) return kExitOk;

    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(std::u8string(o.into.begin(), o.into.end())), made);
    if (made) {
        err << "collect: the folder " << terminal_path(o.into) << " cannot be made: " << made.message() << "\n";
        return kExitFailed;
    }
    CollectFolder folder(o.into);
    if (!folder.lock.held()) {
        err << "collect: "
            << (folder.lock.busy()
                    ? "another collect is running into " + terminal_path(o.into)
                    : "the folder " + terminal_path(o.into) + " cannot be locked: " + folder.lock.problem())
            << "\n";
        return kExitFailed;
    }
    try {
        folder.ledger.emplace(o.into);
        // A run that ended while its file took its name: the file, if it is there whole, is saved.
        folder.ledger->settle_interrupted([&](const Ledger::Saving& s) {
            const std::optional<DownloadFormat> format = format_of_file_name(s.file);
            const std::string text = folder_file_text(folder.path + s.file);
            return format && !text.empty() && !kept_difference(*format, text, s.barcodes);
        });
    } catch (const DatabaseError& e) {
        err << "collect: the ledger in " << terminal_path(o.into) << " cannot be used: " << e.what() << "\n";
        std::string problem;
        folder.log.append(iso_time(SystemClock().local_now()) + " not run: the ledger cannot be used: " + e.what(),
                          problem);
        return kExitFailed;
    }
    let_file_size_limit_fail_writes();

    return with_session(options, err, {}, [&](Session& session) {
        std::string last;
        if (!o.watch) return collect_run(session, folder, o, out, err, false, last);
        out << "Watching " << searched_ports(o.port.value_or(0)) << " for a scanner; " << interruptions_named()
            << " stop." << std::endl;
        for (;;) {
            const int status = collect_run(session, folder, o, out, err, true, last);
            // A scanner library that cannot be used does not become usable by waiting.
            const int e = folder.last_error;
            if (e == err::dll_load || e == err::file_not_found || e == err::dll_function_missing) return status;
            wait_for_next_poll(o.interval);
        }
    });
}

}  // namespace harrowtally::host
