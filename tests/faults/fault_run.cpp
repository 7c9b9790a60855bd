#include "faults/fault_run.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "common/runtime_error.h"
#include "scanner/library_opener.h"
#include "scanner/loaded_csp2.h"

namespace harrowtally::fault_test {
namespace {

namespace fs = std::filesystem;

class FixedClock : public Clock {
public:
    TimeOfDay time_of_day() override { return {9, 30, 15}; }
    LocalDateTime local_now() override { return {2026, 12, 6, 14, 30, 5}; }
};

class NoPause : public Pause {
public:
    void scanner_pause() override {}
};

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "harrowtally-fault-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

class ScopedVariable {
public:
    ScopedVariable(const char* name, const fs::path& value) : name_(name) { ::setenv(name, value.c_str(), 1); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;
    ~ScopedVariable() { ::unsetenv(name_); }

private:
    const char* name_;
};

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The barcodes left in the scanner and the parameters the runs change, from the state file the
// simulator wrote back. A parameter without a line is at its default, N mod 4 unless a default
// line says otherwise.
std::string device_summary(const std::string& state) {
    int barcodes = 0;
    std::map<int, int> params, defaults;
    for (const std::string& line : lines_of(state)) {
        int number = 0, value = 0;
        if (line.starts_with("barcode =")) ++barcodes;
        if (std::sscanf(line.c_str(), "barcodes_generated = %d", &value) == 1) barcodes += value;
        if (std::sscanf(line.c_str(), "param %d = %d", &number, &value) == 2) params[number] = value;
        if (std::sscanf(line.c_str(), "default %d = %d", &number, &value) == 2) defaults[number] = value;
    }
    std::string summary = "barcodes=" + std::to_string(barcodes);
    for (int p : {5, 7, 12}) {
        const int fallback = defaults.contains(p) ? defaults[p] : p % 4;
        summary += " p" + std::to_string(p) + "=" + std::to_string(params.contains(p) ? params[p] : fallback);
    }
    return summary;
}

}  // namespace

bool live_clock(std::u16string_view text) {
    if (text.size() != 12) return false;
    int field[6];
    for (int k = 0; k < 6; ++k) {
        const char16_t a = text[2 * k], b = text[2 * k + 1];
        if (a < u'0' || a > u'9' || b < u'0' || b > u'9') return false;
        field[k] = (a - u'0') * 10 + (b - u'0');
    }
    return field[0] < 60 && field[1] < 60 && field[2] < 24 && field[3] >= 1 && field[3] <= 31 && field[4] >= 1 &&
           field[4] <= 12;
}

namespace {

std::string clock_of(const Clicker& clicker) {
    if (clicker.clock_flag() == u'\0') return "none";
    const std::u16string& text = clicker.clock_text();
    return printable(std::u16string(1, clicker.clock_flag())) + ":" + (live_clock(text) ? "live" : printable(text));
}

std::string barcodes_of(const Clicker& clicker) {
    if (!clicker.download()) return "-";
    const Download& download = *clicker.download();
    std::u16string joined;
    for (std::size_t k = 1; k <= static_cast<std::size_t>(download.count()); ++k) {
        if (k > 1) joined += u',';
        joined += download[k].barcode;
    }
    return printable(joined);
}

}  // namespace

std::string printable(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[12];
            std::snprintf(escape, sizeof escape, c < 0x100 ? "\\x%02X" : "\\x{%04X}", static_cast<unsigned>(c));
            out += escape;
        }
    }
    return out;
}

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << "{error " << o.error << ", log \"" << o.log << "\", open_ok " << o.open_ok << ", empty_ok " << o.empty_ok
        << ", num_barcodes " << o.num_barcodes << ", comport " << o.comport << ", serial \"" << o.serial
        << "\", clock \"" << o.clock << "\", value \"" << o.value << "\", barcodes \"" << o.barcodes << "\", device \""
        << o.device << "\"}";
}

MemberRun run_member(const Member& member, const std::string& state) {
    TempFolder folder;
    // A copy of its own, so that this run's library starts as freshly loaded, whatever earlier runs
    // left open in theirs.
    const fs::path library = folder.path / "libcsp2a.so";
    fs::copy_file(HARROWTALLY_SIM_LIBRARY, library);
    const fs::path state_file = folder.path / "device.txt", journal = folder.path / "journal.txt";
    std::ofstream(state_file, std::ios::binary) << state;
    const ScopedVariable state_variable("HARROWTALLY_SIM_STATE", state_file);
    const ScopedVariable journal_variable("HARROWTALLY_SIM_JOURNAL", journal);

    MemberRun run;
    Outcome& o = run.outcome;
    {
        FixedClock clock;
        NoPause pause;
        LoadedCSP2 csp2(platform_library_opener(library.string()));
        ScannerServices services;
        services.library = &csp2;
        services.clock = &clock;
        services.pause = &pause;
        Clicker clicker(services);
        clicker.let_startport(Variant::integer(5));
        if (member.prepare != nullptr) member.prepare(clicker);
        try {
            o.value = member.call(clicker);
        } catch (const RuntimeError& e) {
            o.error = e.number();
        }
        o.log = printable(clicker.log().as_string());
        o.open_ok = clicker.open_ok();
        o.empty_ok = clicker.empty_ok();
        o.num_barcodes = clicker.num_barcodes();
        o.comport = clicker.comport();
        o.serial = printable(clicker.serial().as_string());
        o.clock = clock_of(clicker);
        o.barcodes = barcodes_of(clicker);
    }
    run.journal = lines_of(read_text(journal));
    o.device = device_summary(read_text(state_file));
    return run;
}

Balance check_balance(const std::vector<std::string>& journal) {
    Balance balance;
    std::size_t opened_at = 0;  // line number of the csp2Init that opened the port, 0 when none
    int restores = 0;
    const auto settle = [&](const char* before) {
        if (opened_at != 0 && restores != 1) {
            balance.problems.push_back("csp2Init on line " + std::to_string(opened_at) +
                                       " returned 0 and was followed by " + std::to_string(restores) +
                                       " csp2Restore calls " + before);
        }
        opened_at = 0;
        restores = 0;
    };
    for (std::size_t i = 0; i < journal.size(); ++i) {
        const std::string& line = journal[i];
        const auto paren = line.find('('), equals = line.rfind('=');
        if (paren == std::string::npos || equals == std::string::npos) {
            balance.problems.push_back("unreadable journal line: " + line);
            continue;
        }
        const std::string name = line.substr(0, paren);
        const long result = std::stol(line.substr(equals + 1));
        if (name == "csp2Init") {
            settle("before the next csp2Init");
            if (result == 0) opened_at = i + 1;
        } else if (name == "csp2Restore" && opened_at != 0) {
            ++restores;
            if (result != 0) balance.failed_restores.push_back(line);
        }
    }
    settle("before the member returned");
    return balance;
}

}  // namespace harrowtally::fault_test
