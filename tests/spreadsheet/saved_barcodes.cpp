// Prints the barcodes of a saved download, one line each: barcode, type, scan time and stamp text,
// tab-separated, every byte below 0x20, DEL and the backslash as \xNN. `xlsx FILE` reads a workbook
// with the host's reader; `csv FILE` reads columns 2 to 5 of a CSV as a spreadsheet exports it
// (RFC 4180 quoting, CR LF or LF line ends), so that the two can be compared line by line.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "host/formats/download_format.h"

namespace {

std::string shown(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

// The rows of a CSV; a quoted field may hold commas, quotes and line ends.
std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string& field = rows.back().back();
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (c == '\r') ++i;
            rows.emplace_back(1);
        } else {
            field += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: saved_barcodes xlsx|csv FILE\n";
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) {
        std::cerr << "cannot read " << argv[2] << "\n";
        return 1;
    }
    if (std::string(argv[1]) == "csv") {
        const auto rows = csv_rows(bytes.str());
        for (std::size_t r = 1; r < rows.size(); ++r) {
            if (rows[r].size() < 5) {
                std::cerr << "row " << r + 1 << " has " << rows[r].size() << " fields\n";
                return 1;
            }
            std::cout << shown(rows[r][1]) << '\t' << rows[r][2] << '\t' << rows[r][3] << '\t' << shown(rows[r][4])
                      << '\n';
        }
        return 0;
    }
    const auto saved = harrowtally::host::read_saved_download(harrowtally::host::DownloadFormat::xlsx, bytes.str());
    for (const auto& b : saved.barcodes) {
        std::cout << shown(harrowtally::to_utf8(b.barcode)) << '\t' << b.type << '\t' << b.scan_time.value_or("")
                  << '\t' << shown(harrowtally::to_utf8(b.stamp_text.value_or(u""))) << '\n';
    }
    if (!saved.read.problem.empty()) {
        std::cerr << argv[2] << ": " << saved.read.problem << "\n";
        return 1;
    }
    return 0;
}
