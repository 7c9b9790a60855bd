// `collect`: one run of the job people run every evening or at each docking. It finds the scanner
// as `download` does, saves what it holds that no earlier run saved into a new file in the folder,
// reads the file back, and empties the scanner in the same connection through the download's
// keeper. The folder's ledger records each step before the next, and its log gets one line a run.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <system_error>
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
    "usage: harrowtally collect --into FOLDER [--format xlsx|csv|json] [--port N]\n"
    "Saves what the scanner holds into a new file in FOLDER and empties it, once the file reads back\n"
    "whole: the job to run each evening, or whenever a scanner is put in its cradle.\n"
    "  --into FOLDER    where the files go, made when missing; it also holds the ledger of what was\n"
    "                   saved from which scanner (ledger.db) and the log, one line a run (collect.log)\n"
    "  --format F       xlsx (the default), csv or json\n"
    "  --port N         where the search for the scanner starts (without it: ports 0 to 15)\n"
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
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) {
        std::string text = kHelp;
        const std::string stopped = "{stopped}";
        text.replace(text.find(stopped), stopped.size(), interrupted_status());
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

// Keeps what is new of a download in a new file of the folder, records it in the ledger, and allows
// the erase only of the scanner that holds exactly what is now saved.
class CollectKeeper : public DownloadKeeper {
public:
    CollectKeeper(OutputFile& file, DownloadFormat format, Ledger& ledger, std::int64_t run, std::string stamp)
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
            ledger_.record_saving(run_, saved);
            const WriteOutcome written = file_.commit(render_download(clicker, format_, u"", already_ + 1));
            stop_if_interrupted();
            if (!written.ok) {
                not_saved_ = written.reason;
                return false;
            }
            difference_ = complete_ ? saved_download_difference(clicker, format_, written.read_back, already_ + 1)
                                    : kept_difference(format_, written.read_back, saved.barcodes);
            if (difference_) return false;
        } else {
            ledger_.record_saving(run_, saved);
        }
        ledger_.record_saved(run_);
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
        if (!erase_recorded_) ledger_.record_erase_attempt(run_);
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
    const std::string& not_saved() const { return not_saved_; }
    const std::optional<std::string>& difference() const { return difference_; }
    const std::string& scanner_changed() const { return scanner_changed_; }

private:
    OutputFile& file_;
    DownloadFormat format_;
    Ledger& ledger_;
    std::int64_t run_;
    std::string stamp_;
    int held_ = 0, already_ = 0, new_ = 0;
    bool complete_ = false, serial_read_ = false, recorded_ = false, erase_recorded_ = false;
    std::string serial_, file_name_, not_saved_, scanner_changed_;
    std::optional<std::string> difference_;
    ExpectedScanner expected_ = ExpectedScanner::holding(0);
};

// What one run did, for the log, the ledger and the exit status.
struct RunOutcome {
    int status = kExitOk;
    std::string words;
};

RunOutcome collect_once(Clicker& clicker, CollectKeeper& keeper, const CollectOptions& o, Ledger& ledger,
                        std::int64_t run, std::ostream& out) {
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
    if (keeper.erase_recorded()) ledger.record_erase_result(run, keeper.serial(), erase.emptied);
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
    const std::string folder = o.into.back() == '/' || o.into.back() == '\\' ? o.into : o.into + "/";
    FolderLock lock(folder + "collect.lock");
    if (!lock.held()) {
        err << "collect: "
            << (lock.busy() ? "another collect is running into " + terminal_path(o.into)
                            : "the folder " + terminal_path(o.into) + " cannot be locked: " + lock.problem())
            << "\n";
        return kExitFailed;
    }
    CollectLog log(o.into);
    const LocalDateTime now = SystemClock().local_now();
    const std::string started = iso_time(now);
    std::optional<Ledger> ledger;
    std::int64_t run = 0;
    try {
        ledger.emplace(o.into);
        // A run that ended while its file took its name: the file, if it is there whole, is saved.
        ledger->settle_interrupted([&](const Ledger::Saving& s) {
            const std::optional<DownloadFormat> format = format_of_file_name(s.file);
            std::ifstream in(std::filesystem::path(std::u8string((folder + s.file).begin(), (folder + s.file).end())),
                             std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            return format && in && !kept_difference(*format, text.str(), s.barcodes);
        });
        run = ledger->begin_run(started);
    } catch (const DatabaseError& e) {
        err << "collect: the ledger in " << terminal_path(o.into) << " cannot be used: " << e.what() << "\n";
        std::string problem;
        log.append(started + " not run: the ledger cannot be used: " + e.what(), problem);
        return kExitFailed;
    }
    // Created before the scanner is read, under a name the download replaces: a folder that takes
    // no new file is known first.
    OutputFile file(folder + "collecting" + extension(o.format), false);
    if (!file.problem().empty()) {
        err << "collect: nothing can be saved: " << file.problem() << "\n";
        return kExitFailed;
    }
    let_file_size_limit_fail_writes();

    RunOutcome outcome{kExitFailed, "stopped"};
    std::string serial;
    std::optional<std::int32_t> port;
    const int status = with_session(options, err, {}, [&](Session& session) {
        CollectKeeper keeper(file, o.format, *ledger, run, name_time(now));
        try {
            outcome = collect_once(session.clicker, keeper, o, *ledger, run, out);
        } catch (const DatabaseError& e) {
            outcome = {kExitFailed, std::string("the ledger cannot be written: ") + e.what()};
        }
        serial = keeper.serial();
        if (session.clicker.open_ok()) port = session.clicker.comport();
        return outcome.status;
    });
    if (status != outcome.status) outcome = {status, outcome.words == "stopped" ? "an error" : outcome.words};

    std::string line = started + " " + (serial.empty() ? std::string("-") : serial);
    if (port) line += " port " + std::to_string(*port);
    line += ": " + outcome.words;
    (outcome.status == kExitOk ? out : err) << line << "\n";
    std::string problem;
    bool written = log.append(line, problem);
    try {
        ledger->record_outcome(run, outcome.words, port);
    } catch (const DatabaseError& e) {
        problem = std::string("the ledger cannot be written: ") + e.what();
        written = false;
    }
    if (!written) {
        err << "collect: " << problem << "\n";
        return outcome.status == kExitOk ? kExitFailed : outcome.status;
    }
    return outcome.status;
}

}  // namespace harrowtally::host
