// `download`: reads alldata and writes the barcodes; with --empty-after it empties the scanner,
// but only once every barcode it held is safely in the output file.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <ostream>

#include "common/runtime_error.h"
#include "host/arg_reader.h"
#include "host/clicker_session.h"
#include "host/download_formats.h"
#include "host/erase_guards.h"
#include "host/error_words.h"
#include "host/outcome_words.h"
#include "host/safe_output.h"
#include "host/terminal_text.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally download [--port N] [--format table|record|csv|json] [--output FILE [--overwrite]]\n"
    "                            [--empty-after]\n"
    "Downloads every barcode the scanner holds and writes them to standard output or FILE.\n"
    "  --port N         where the search for the scanner starts: 16 ports from N, counting up and\n"
    "                   wrapping from 15 to 0 (without it: ports 0 to 15)\n"
    "  --format table   item, barcode, type and scan time in columns, under the scanner's serial\n"
    "                   number, port, clock and count (the default when writing to a terminal);\n"
    "                   control characters and characters the terminal cannot show are written\n"
    "                   as \\xNN (their byte from the scanner)\n"
    "  --format record  the export record exactly, with no line end (the default on a pipe)\n"
    "  --format csv     RFC 4180 with a header row:\n"
    "                   item,barcode,type,scan_time,stamp_text,serial,scanner_clock\n"
    "  --format json    one object: serial, port, scanner_clock, count, complete, barcodes\n"
    "                   (stamp_text: the scanner library's text of each time stamp, as it gave it)\n"
    "                   (CSV and JSON keep every text exactly, in UTF-8)\n"
    "  --output FILE    written in full beside FILE first, then renamed to FILE; an existing FILE\n"
    "                   is only replaced with --overwrite, which keeps its mode, owner and group.\n"
    "                   The format follows FILE's extension: .csv, .json, or .rec for the record;\n"
    "                   --format overrides it, and another extension needs --format\n"
    "  --empty-after    empty the scanner afterwards, only when FILE was written in full and synced,\n"
    "                   holds every barcode the scanner reported, and, as a record, fits its field\n"
    "                   widths and loses no blank; and only the scanner downloaded (same serial\n"
    "                   number) still holding exactly the barcodes saved; otherwise the scanner keeps\n"
    "                   its barcodes and the reason is printed. Not with --format table, which does\n"
    "                   not keep the exact text\n"
    "Progress (barcode k of n) goes to standard error when that is a terminal.\n"
    "Exit status: 0 done; 1 no scanner, an error, barcodes that could not be read, an output that\n"
    "could not be written, or a scanner that was not emptied; 2 a mistake in the command line.\n";

struct DownloadOptions {
    std::optional<std::int32_t> port;
    std::optional<DownloadFormat> format;
    std::string output;
    bool overwrite = false;
    bool empty_after = false;
};

// "barcode k of n" on one terminal line, at most ten times a second.
class TerminalProgress : public DownloadObserver {
public:
    explicit TerminalProgress(std::ostream& err) : err_(err) {}
    ~TerminalProgress() override { clear(); }

    void on_barcode(int index, int count) override {
        const auto now = std::chrono::steady_clock::now();
        if (index != count && index != 1 && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        err_ << "\rbarcode " << index << " of " << count << std::flush;
        shown_ = true;
    }

    void clear() {
        if (shown_) err_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }

private:
    std::ostream& err_;
    std::chrono::steady_clock::time_point last_{};
    bool shown_ = false;
};

DownloadOptions read_options(const std::vector<std::string>& args, std::ostream& out, bool& help) {
    DownloadOptions o;
    ArgReader reader("download", args);
    while (reader.next()) {
        if (reader.is_option("--port")) {
            o.port = reader.port_value();
        } else if (reader.is_option("--format")) {
            const std::string name = reader.value();
            o.format = parse_download_format(name);
            if (!o.format) throw UsageError("download: unknown format " + name + " (table, record, csv or json)");
        } else if (reader.is_option("--output")) {
            o.output = reader.value();
            if (o.output.empty()) throw UsageError("download: --output needs a file name");
        } else if (reader.is_option("--overwrite")) {
            o.overwrite = true;
        } else if (reader.is_option("--empty-after")) {
            o.empty_after = true;
        } else {
            reader.unknown();
        }
    }
    if (reader.help_asked()) {
        out << kHelp;
        help = true;
        return o;
    }
    if (o.empty_after && o.output.empty()) {
        throw UsageError("download: --empty-after needs --output FILE: the scanner is emptied only into a file");
    }
    if (o.overwrite && o.output.empty()) throw UsageError("download: --overwrite goes with --output FILE");
    if (!o.output.empty() && !o.format) {
        o.format = format_of_file_name(o.output);
        if (!o.format) {
            throw UsageError("download: the format of " + o.output +
                             " cannot be told from its extension: name it .csv, .json or .rec, or give --format");
        }
    }
    // The table is for reading: it escapes what a terminal cannot show and has no stamp texts, so
    // it cannot be the only copy of what is erased.
    if (o.empty_after && o.format == DownloadFormat::table) {
        throw UsageError(
            "download: --empty-after does not go with --format table, which does not keep the exact text: use "
            "--format csv or json (or record)");
    }
    return o;
}

// Empties the scanner the download found, now that its barcodes are safe: only that scanner (its
// serial number) holding exactly the barcodes saved. Returns the exit status.
int empty_after(Clicker& clicker, const std::string& output, bool verbose, std::ostream& out, std::ostream& err) {
    const std::int16_t port = clicker.comport();
    ExpectedScanner guard(clicker.serial().as_string(), clicker.num_barcodes());
    clicker.set_erase_guard(&guard);
    clicker.let_startport(Variant::integer(port));
    clicker.EmptyScanner();
    clicker.set_erase_guard(nullptr);
    const std::string log = terminal_text(clicker.log().as_string());
    if (clicker.empty_outcome().result == EmptyOutcome::Result::refused) {
        err << "not emptied: " << guard.refusal() << "; nothing was erased, and the download is saved in " << output
            << "\n";
        return kExitFailed;
    }
    if (!clicker.empty_ok()) {
        err << "not emptied: " << empty_outcome_words(clicker.empty_outcome());
        if (verbose) err << " (port " << port << ", open_ok " << yes_no(clicker.open_ok()) << ", log " << log << ")";
        err << "; the barcodes are saved in " << output << "\n";
        return kExitFailed;
    }
    out << "Emptied the scanner on port " << port << ": " << empty_outcome_words(clicker.empty_outcome());
    if (verbose) out << " (empty_ok yes, log " << log << ")";
    out << ".\n";
    return kExitOk;
}

std::string download_advice(int number) {
    if (number == harrowtally::err::invalid_call) {
        return "the scanner library gave a barcode packet or a time stamp text the component cannot read; nothing "
               "was written and the scanner keeps its barcodes";
    }
    return {};
}

}  // namespace

int run_download(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err) {
    bool help = false;
    const DownloadOptions o = read_options(args, out, help);
    if (help) return kExitOk;
    const bool to_terminal = o.output.empty() && ::isatty(STDOUT_FILENO) == 1;
    const DownloadFormat format = o.format.value_or(to_terminal ? DownloadFormat::table : DownloadFormat::record);

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
    // A file size limit then fails the write with an error instead of ending the process.
    ::signal(SIGXFSZ, SIG_IGN);

    return with_clicker(options, err, download_advice, [&](Clicker& clicker) {
        TerminalProgress progress(err);
        if (::isatty(STDERR_FILENO) == 1) clicker.set_download_observer(&progress);
        if (o.port) clicker.let_startport(Variant::long_(*o.port));
        const auto no_scanner = [&] {
            err << no_scanner_words(clicker, o.port.value_or(0));
            if (options.verbose) err << " (log " << terminal_text(clicker.log().as_string()) << ")";
            err << "; nothing was written\n";
            return kExitFailed;
        };
        Variant record;
        try {
            record = clicker.alldata();
        } catch (const RuntimeError& e) {
            // A port that opened but answered badly leaves its count without lists: the record
            // cannot be built, and the search found no scanner.
            if (e.number() == harrowtally::err::subscript && !clicker.open_ok()) return no_scanner();
            throw;
        }
        clicker.set_download_observer(nullptr);
        progress.clear();
        if (!clicker.open_ok()) return no_scanner();
        const int count = clicker.num_barcodes();
        const int filled = filled_count(clicker);
        const bool complete = download_complete(clicker);
        std::string text = render_download(clicker, format, record.as_string());
        record = Variant();

        int status = kExitOk;
        bool saved = true;
        if (o.output.empty()) {
            out << text << std::flush;
            if (!out) {
                err << "cannot write the download to standard output\n";
                status = kExitFailed;
            }
        } else {
            const WriteOutcome written = file->commit(text);
            if (written.ok) {
                out << "Saved " << plural(filled, "barcode") << " from scanner "
                    << terminal_text(clicker.serial().as_string()) << " (port " << clicker.comport() << ") in "
                    << o.output << ".\n";
            } else {
                err << "not saved: " << written.reason << "\n";
                saved = false;
                status = kExitFailed;
            }
        }
        if (!complete) {
            err << "only " << filled << " of " << plural(count, "barcode")
                << " could be read: the download stopped at barcode " << filled + 1 << "\n";
            status = kExitFailed;
        }
        if (!o.empty_after) return status;

        std::string refusal;
        if (!saved) {
            refusal = "the download was not saved";
        } else if (!complete) {
            refusal =
                "barcodes " + std::to_string(filled + 1) + " to " + std::to_string(count) + " were not downloaded";
        } else if (filled != clicker.num_barcodes()) {
            refusal = "the file holds " + std::to_string(filled) + " barcodes, the scanner reported " +
                      std::to_string(clicker.num_barcodes());
        } else if (format == DownloadFormat::record) {
            if (const auto loss = record_loss(clicker)) {
                refusal = "the record does not keep everything: " + *loss +
                          " (save as CSV or JSON to keep every barcode and its time stamp exactly)";
            }
        }
        if (!refusal.empty()) {
            err << "not emptied: " << refusal << "; the scanner keeps its " << plural(count, "barcode") << "\n";
            return kExitFailed;
        }
        return empty_after(clicker, o.output, options.verbose, out, err);
    });
}

}  // namespace harrowtally::host
