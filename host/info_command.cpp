// `info`: hello, num_files and SwVersion.
#include <ostream>

#include "host/arg_reader.h"
#include "host/clicker_session.h"
#include "host/terminal_text.h"

namespace harrowtally::host {
namespace {

constexpr const char* kHelp =
    "usage: harrowtally info\n"
    "Shows whether the component is installed (hello), how many files the data folder c:\\larkvale\n"
    "holds (num_files; /c/larkvale here) and the scanner's software version as the scanner library\n"
    "reports it (SwVersion; no port is opened).\n"
    "Exit status: 0 done; 1 no version reported or an error; 2 a mistake in the command line.\n";

}  // namespace

int run_info(const GlobalOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ArgReader reader("info", args);
    while (reader.next()) reader.unknown();
    if (reader.help_asked()) return show_help(out, kHelp);
    return with_clicker(options, err, [&](Clicker& clicker) {
        out << "hello: " << terminal_text(clicker.hello()) << "\n";
        out << "data files in c:\\larkvale: " << clicker.num_files() << "\n";
        std::u16string version = clicker.SwVersion().as_string();
        while (!version.empty() && (version.back() == u'\0' || version.back() == u' ')) version.pop_back();
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
