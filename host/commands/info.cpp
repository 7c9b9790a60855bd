// `info`: hello, num_files and SwVersion, and which scanner library file is in use.
#include <ostream>

#include "common/runtime_error.h"
#include "host/command_line/arg_reader.h"
#include "host/session/session.h"
#include "host/text/terminal_text.h"
#include "host/words/words.h"
#include "params/parameter_report.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally info\n"
    "Shows the component's greeting (hello), how many files the data folder holds (num_files: the\n"
    "component's c:\\larkvale, read here as /c/larkvale), the scanner library file in use, and the\n"
    "scanner's software version as the scanner library reports it (SwVersion; no port is opened).\n"
    "When the library is missing or cannot be loaded, info says so and names the files it tried.\n"
    "Exit status: 0 done; 1 no library, no version reported or an error; 2 a mistake in the command\n"
    "line.\n";

}  // namespace

int run_info(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ArgReader reader("info", args);
    while (reader.next()) reader.unknown();
    if (reader.help_asked()) return show_help(out, kHelp);
    return with_session(options, err, ErrorAdvice(), [&](Session& session) {
        Clicker& clicker = session.clicker;
        out << "hello: " << terminal_text(clicker.hello()) << "\n";
        out << "data files in " << terminal_path(session.host.folder(Clicker::data_folder)) << ": "
            << clicker.num_files() << "\n";
        std::u16string version;
        try {
            version = trimmed_version(clicker.SwVersion().as_string());
        } catch (const RuntimeError& e) {
            const auto lines = library_failure_lines(e.number(), session.host.library());
            if (lines.empty()) throw;
            out << "scanner library: " << (e.number() == harrowtally::err::file_not_found ? "missing" : "not usable")
                << "\n";
            err << error_line(e.number()) << "\n";
            for (const auto& line : lines) err << line << "\n";
            return kExitFailed;
        }
        const auto& tried = session.host.library().load_attempts();
        out << "scanner library: " << (tried.empty() ? std::string("loaded") : terminal_path(tried.back().file))
            << "\n";
        if (version.empty()) {
            out << "scanner software version: not reported\n";
            err << "the scanner library reported no software version\n";
            return kExitFailed;
        }
        out << "scanner software version: " << terminal_text(version) << "\n";
        return kExitOk;
    });
}

}  // namespace harrowtally::host
