// `download`: reads alldata and writes the barcodes. With --empty-after it downloads, saves and
// empties in one connection, and erases only once the saved file, read back, gives back every
// barcode exactly as the scanner gave it.
#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "common/clock.h"
#include "common/runtime_error.h"
#include "host/command_line/arg_reader.h"
#include "host/formats/download_format.h"
#include "host/formats/read_back_check.h"
#include "host/output/file_steps.h"
#include "host/output/name_pattern.h"
#include "host/output/output_file.h"
#include "host/platform/signals.h"
#include "host/platform/terminal.h"
#include "host/session/guarded_erase.h"
#include "host/session/session.h"
#include "host/text/terminal_text.h"
#include "host/words/words.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally download [--port N] [--format table|record|csv|json|xlsx] [--output FILE [--overwrite]]\n"
    "                            [--empty-after]\n"
    "Downloads every barcode the scanner holds and writes them to standard output or FILE.\n"
    "  --port N         where the search for the scanner starts: 16 ports from N, counting up and\n"
    "                   wrapping from 15 to 0 (without it: ports 0 to 15)\n"
    "  --format table   item, barcode, type and scan time in columns, under the scanner's serial\n"
    "                   number, port, clock and count (the default when writing to a terminal);\n"
    "                   control and invisible characters and characters the terminal cannot show\n"
    "                   are written as \\xNN (their byte from the scanner)\n"
    "  --format record  the export record exactly, with no line end (the default on a pipe)\n"
    "  --format csv     RFC 4180 with a header row:\n"
    "                   item,barcode,type,scan_time,stamp_text,serial,scanner_clock\n"
    "  --format json    one object: serial, port, scanner_clock, clock_text, clock_flag, count,\n"
    "                   complete and barcodes, a list of objects: item, barcode, type, scan_time,\n"
    "                   stamp_text (the scanner library's text of the time stamp, as it gave it)\n"
    "  --format xlsx    a workbook for spreadsheets, one sheet with the CSV's columns and a frozen\n"
    "                   header row: barcode, stamp_text and serial are text cells, so leading\n"
    "                   zeros, long digit strings and texts such as 1E5, TRUE, 1/2 or =1+1 stay as\n"
    "                   written, never a formula; item and type are numbers; scan_time and\n"
    "                   scanner_clock are date-time cells. A spreadsheet opening the CSV turns such\n"
    "                   barcodes into numbers, dates and formulas: open the workbook instead\n"
    "                   CSV, JSON and the workbook keep every text exactly, in UTF-8; a value not\n"
    "                   read is empty in CSV and the workbook and null in JSON\n"
    "  --output FILE    written in full beside FILE first, then renamed to FILE; an existing FILE\n"
    "                   is only replaced with --overwrite, which keeps {keeps};\n"
    "                   a symbolic link is never written through. The format follows FILE's\n"
    "                   extension: .csv, .json, .xlsx, or .rec for the record; --format must\n"
    "                   agree with it, and another extension needs --format. --output - is\n"
    "                   standard output (not a terminal for xlsx). In FILE, {date} becomes the download's date as\n"
    "                   YYYY-MM-DD and {time} its time as HHMMSS, from this computer's clock:\n"
    "                   --output scans-{date}-{time}.csv\n"
    "  --empty-after    download, save and empty in one connection: FILE is written, synced,\n"
    "                   renamed and read back with the reader of its format, and the scanner is\n"
    "                   emptied only when every barcode reads back exactly as the scanner gave it\n"
    "                   (the text, the type and the time stamp: CSV, JSON and the workbook keep the\n"
    "                   stamp's text, a record must hold the scan time the stamp states exactly);\n"
    "                   otherwise the scanner keeps its barcodes and the first difference is\n"
    "                   printed. The scanner's clock is read after the erase, so the file holds\n"
    "                   none. Needs a FILE, not --format table\n"
    "Progress (barcode k of n) goes to standard error when that is a terminal.\n"
    "{stoppers} stop the run without erasing\n"
    "and remove the unfinished file.\n"
    "Exit status: 0 done; 1 no scanner, an error, barcodes that could not be read, an output that\n"
    "could not be written, or a scanner that was not emptied; 2 a mistake in the command line;\n"
    "{stopped}.\n";

// The help with the platform's words: what a replaced file keeps, what stops a run, and the exit
// status it then has.
std::string download_help() {
    std::string text = kHelp;
    const std::pair<std::string_view, std::string_view> words[] = {{"{keeps}", file_steps::replaced_file_keeps()},
                                                                   {"{stoppers}", interruptions_named()},
                                                                   {"{stopped}", interrupted_status()}};
    for (const auto& [name, value] : words) text.replace(text.find(name), name.size(), value);
    return text;
}

struct DownloadOptions {
    std::optional<std::int32_t> port;
    std::optional<DownloadFormat> format;
    std::string output;  // empty: standard output
    bool overwrite = false;
    bool empty_after = false;
};

// Shows "barcode k of n" on one terminal line, at most ten times a second, and stops the download
// at the next barcode once a signal came.
class DownloadProgress : public DownloadObserver {
public:
    explicit DownloadProgress(std::ostream& err)
        : err_(err),
          shown_on_terminal_(is_terminal(kStandardError)),
          escapes_(terminal_escapes_allowed(kStandardError)) {}
    ~DownloadProgress() override { clear(); }

    void on_barcode(int index, int count) override {
        stop_if_interrupted();
        if (!shown_on_terminal_) return;
        const auto now = std::chrono::steady_clock::now();
        if (index != count && index != 1 && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        std::string line = "barcode " + std::to_string(index) + " of " + std::to_string(count);
        width_ = std::max(width_, line.size());
        err_ << "\r" << line << std::flush;
    }

    // Takes the line away again: a terminal that knows no escape sequences gets blanks over it.
    void clear() {
        if (width_ == 0) return;
        if (escapes_) {
            err_ << "\r\x1b[K" << std::flush;
        } else {
            err_ << "\r" << std::string(width_, ' ') << "\r" << std::flush;
        }
        width_ = 0;
    }

private:
    std::ostream& err_;
    bool shown_on_terminal_;
    bool escapes_;
    std::chrono::steady_clock::time_point last_{};
    std::size_t width_ = 0;
};

DownloadOptions read_options(const std::vector<std::string>& args, std::ostream& out, bool& help) {
    DownloadOptions o;
    bool to_standard_output = false;
    ArgReader reader("download", args);
    while (reader.next()) {
        if (reader.is_option("--port")) {
            o.port = reader.port_value();
        } else if (reader.is_option("--format")) {
            const std::string name = reader.value();
            o.format = parse_download_format(name);
            if (!o.format) {
                throw UsageError("download: unknown format " + name + " (table, record, csv, json or xlsx)");
            }
        } else if (reader.is_option("--output")) {
            // The download's date and time go into the name now, before anything is read.
            o.output = expanded_output_name(reader.value(), SystemClock().local_now());
            if (o.output.empty()) throw UsageError("download: --output needs a file name");
            if (o.output == "-") {
                o.output.clear();
                to_standard_output = true;
            }
        } else if (reader.is_option("--overwrite")) {
            o.overwrite = true;
        } else if (reader.is_option("--empty-after")) {
            o.empty_after = true;
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) {
        out << download_help();
        help = true;
        return o;
    }
    if (o.empty_after && o.output.empty()) {
        throw UsageError(std::string("download: --empty-after needs --output FILE") +
                         (to_standard_output ? ", not standard output" : "") +
                         ": the scanner is emptied only once the file reads back whole");
    }
    if (o.overwrite && o.output.empty()) throw UsageError("download: --overwrite goes with --output FILE");
    if (!o.output.empty()) {
        const std::optional<DownloadFormat> named = format_of_file_name(file_steps::name_of(o.output));
        // A file whose name says one format and holds another is opened by the wrong program.
        if (o.format && named && *named != *o.format) {
            throw UsageError("download: " + terminal_path(o.output) + " is named as " + format_name(*named) +
                             ", but --format asks for " + format_name(*o.format) +
                             ": give the file the format's extension, or leave --format out");
        }
        if (!o.format) o.format = named;
        if (!o.format) {
            throw UsageError(
                "download: the format of " + terminal_path(o.output) +
                " cannot be told from its extension: name it .csv, .json, .xlsx or .rec, or give --format");
        }
    }
    // The table is for reading: it escapes what a terminal cannot show and has no stamp texts, and
    // has no reader, so it cannot be the only copy of what is erased.
    if (o.empty_after && o.format == DownloadFormat::table) {
        throw UsageError(
            "download: --empty-after does not go with --format table, which does not keep the exact text: use "
            "--format csv or json (or record)");
    }
    return o;
}

std::string download_advice(int number) {
    if (number == harrowtally::err::invalid_call) {
        return "the scanner library gave a barcode packet or a time stamp text the component cannot read; nothing "
               "was written and the scanner keeps its barcodes";
    }
    return {};
}

int no_scanner(const Clicker& clicker, const DownloadOptions& o, std::ostream& err) {
    err << no_scanner_words(clicker, o.port.value_or(0)) << "; nothing was written\n";
    return kExitFailed;
}

// Keeps the download in the output file, there and then, while the scanner's port stays open: the
// scanner is erased only when the file, read back with its format's reader, gives back every
// barcode exactly.
class FileKeeper : public DownloadKeeper {
public:
    FileKeeper(OutputFile& file, DownloadFormat format, DownloadProgress& progress)
        : file_(file), format_(format), progress_(progress) {}

    bool keep(const Clicker& clicker) override {
        progress_.clear();
        stop_if_interrupted();
        count_ = clicker.num_barcodes();
        // Only this scanner, holding exactly what is saved, is erased.
        expected_ = ExpectedScanner::holding(count_, clicker.serial_was_read() ? clicker.serial().as_string() : u"");
        filled_ = downloaded(clicker).filled_count(count_);
        complete_ = downloaded(clicker).complete(count_);
        const std::u16string record = format_ == DownloadFormat::record ? clicker.export_record() : u"";
        const WriteOutcome written = file_.commit(render_download(clicker, format_, record));
        // A file in place is said to be, even when a signal stops the run right after; a signal
        // during the write fails it, and that is the signal's doing.
        saved_ = written.ok;
        stop_if_interrupted();
        if (!written.ok) {
            not_saved_ = written.reason;
            return false;
        }
        difference_ = saved_download_difference(clicker, format_, written.read_back);
        return !difference_;
    }

    // After the settling pause, the last moment at which nothing is erased.
    bool still_kept() override {
        stop_if_interrupted();
        const std::string change = file_.change_since_read_back();
        if (change.empty()) return true;
        difference_ = "the file was changed or replaced after it was read back (" + change + ")";
        return false;
    }

    // Before each erase try, with the scanner's count (and before the first, its device ID) read again.
    bool allow_erase(const ScannerBeforeErase& scanner) override {
        if (expected_.allow_erase(scanner)) return true;
        scanner_changed_ = expected_.refusal();
        return false;
    }

    bool saved() const { return saved_; }
    int count() const { return count_; }
    int filled() const { return filled_; }
    bool complete() const { return complete_; }
    const std::string& not_saved() const { return not_saved_; }
    const std::optional<std::string>& difference() const { return difference_; }
    // Why the scanner was not erased although the file was kept: it changed since the download.
    const std::string& scanner_changed() const { return scanner_changed_; }

private:
    OutputFile& file_;
    DownloadFormat format_;
    DownloadProgress& progress_;
    bool saved_ = false;
    bool complete_ = false;
    int count_ = 0;
    int filled_ = 0;
    std::string not_saved_;
    std::optional<std::string> difference_;
    ExpectedScanner expected_ = ExpectedScanner::holding(0);
    std::string scanner_changed_;
};

// download --output FILE --empty-after: download, save, read back and empty in one connection.
int download_save_and_empty(Clicker& clicker, const DownloadOptions& o, OutputFile& file, std::ostream& out,
                            std::ostream& err) {
    const DownloadFormat format = *o.format;
    DownloadProgress progress(err);
    if (o.port) clicker.let_startport(Variant::long_(*o.port));
    FileKeeper keeper(file, format, progress);
    const std::string output = terminal_path(o.output);
    const auto say_saved = [&] {
        out << "Saved " << plural(keeper.filled(), "barcode") << " from " << scanner_words(clicker) << " in " << output
            << ".\n";
        if (!keeper.complete()) err << not_downloaded_words(keeper.filled(), keeper.count()) << "\n";
    };
    EraseReport erase;
    try {
        // The keeper, not a count seen before, decides whether the barcodes may be erased.
        erase = guarded_erase(
            clicker, true, [&] { clicker.download_keep_and_empty(keeper); }, &progress);
    } catch (const Interrupted&) {
        // Signals are taken only before the erase begins.
        progress.clear();
        err << "stopped by a signal: nothing was erased";
        if (keeper.saved()) err << ", and the download is saved in " << terminal_path(o.output);
        err << "\n";
        throw;
    } catch (const RuntimeError& e) {
        // A member's error after the file was saved (a count that overflows after a failed erase
        // try): the file is kept, and the scanner was not emptied.
        if (!keeper.saved()) throw;
        progress.clear();
        say_saved();
        err << error_line(e.number()) << "\n";
        if (const std::string words = overflow_words(clicker); !words.empty()) err << words << "\n";
        err << "not emptied: the barcodes are saved in " << output << "\n";
        return kExitFailed;
    }
    progress.clear();
    if (!clicker.open_ok()) return no_scanner(clicker, o, err);

    const int count = keeper.count();
    if (!keeper.saved()) {
        err << "not saved: " << keeper.not_saved() << "\n";
        err << "not emptied: the download was not saved; the scanner keeps its " << plural(count, "barcode") << "\n";
        return kExitFailed;
    }
    say_saved();
    if (keeper.difference()) {
        err << "not emptied: " << *keeper.difference() << "; ";
        if (count > 0) {
            err << "the scanner keeps its " << plural(count, "barcode");
        } else {
            err << "nothing was erased";
        }
        if (keeper.complete() && format == DownloadFormat::record) {
            err << " (save as CSV or JSON, which keep every barcode and its time stamp's text exactly)";
        }
        err << "\n";
        return kExitFailed;
    }
    if (!keeper.scanner_changed().empty()) {
        err << "not emptied: " << keeper.scanner_changed() << "; "
            << (clicker.empty_outcome().tries > 0 ? "no further erase was tried" : "nothing was erased")
            << ", and the download is saved in " << output << "\n";
        return kExitFailed;
    }
    const std::string words = empty_outcome_words(clicker.empty_outcome());
    if (!erase.emptied) {
        err << "not emptied: " << words << "; the barcodes are saved in " << output << "\n";
        return kExitFailed;
    }
    out << "Emptied the scanner on port " << clicker.comport() << ": " << words << ".\n";
    if (const auto clock = scanner_clock(clicker)) {
        out << "Scanner clock: " << *clock << ".\n";
    } else if (clicker.clock_flag() == u'L') {
        out << "The scanner has lost its clock; set it with `harrowtally empty --set-clock now`.\n";
    }
    return kExitOk;
}

// A download that leaves the scanner as it is: alldata, written to standard output or a file.
int download_only(Clicker& clicker, const DownloadOptions& o, DownloadFormat format, std::optional<OutputFile>& file,
                  std::ostream& out, std::ostream& err) {
    DownloadProgress progress(err);
    if (o.port) clicker.let_startport(Variant::long_(*o.port));
    Variant record;
    try {
        const ClickerHooks hooks(clicker, clicker.erase_guard(), &progress);
        record = clicker.alldata();
    } catch (const RuntimeError& e) {
        // A port that opened but answered badly leaves its count without lists: the record
        // cannot be built, and the search found no scanner.
        if (e.number() == harrowtally::err::subscript && !clicker.open_ok()) return no_scanner(clicker, o, err);
        throw;
    }
    progress.clear();
    if (!clicker.open_ok()) return no_scanner(clicker, o, err);
    const int count = clicker.num_barcodes();
    const int filled = downloaded(clicker).filled_count(count);
    std::string text = render_download(clicker, format, record.as_string());
    record = Variant();

    int status = kExitOk;
    if (!file) {
        // Data on a terminal cannot drive it; a failure to write is the process's to report, at its end.
        out << (is_terminal(kStandardOutput) && format != DownloadFormat::table ? terminal_data(text) : text);
    } else {
        const WriteOutcome written = file->commit(std::move(text));
        if (written.ok) {
            out << "Saved " << plural(filled, "barcode") << " from " << scanner_words(clicker) << " in "
                << terminal_path(o.output) << ".\n";
        } else {
            err << "not saved: " << written.reason << "\n";
            status = kExitFailed;
        }
    }
    if (!downloaded(clicker).complete(count)) {
        err << not_downloaded_words(filled, count) << "\n";
        status = kExitFailed;
    }
    return status;
}

}  // namespace

int run_download(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err) {
    bool help = false;
    const DownloadOptions o = read_options(args, out, help);
    if (help) return kExitOk;
    const bool to_terminal = o.output.empty() && is_terminal(kStandardOutput);
    const DownloadFormat format = o.format.value_or(to_terminal ? DownloadFormat::table : DownloadFormat::record);
    // A workbook's bytes mean nothing on a screen, and could drive the terminal.
    if (to_terminal && format == DownloadFormat::xlsx) {
        throw UsageError("download: a workbook is not for a terminal: give --output FILE.xlsx, or send it to a pipe");
    }

    // Created before the scanner is read: an output that cannot be written is refused first, and
    // the file may hold the only copy of an earlier download.
    std::optional<OutputFile> file;
    if (!o.output.empty()) {
        file.emplace(o.output, o.overwrite);
        if (!file->problem().empty()) {
            err << "not downloaded: " << file->problem() << "\n";
            return kExitFailed;
        }
    }
    let_file_size_limit_fail_writes();

    return with_clicker(options, err, download_advice, [&](Clicker& clicker) {
        if (o.empty_after) return download_save_and_empty(clicker, o, *file, out, err);
        return download_only(clicker, o, format, file, out, err);
    });
}

}  // namespace harrowtally::host
