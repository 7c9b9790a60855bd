#include "host/collect/collect_log.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace harrowtally::host {
namespace {

namespace fs = std::filesystem;

fs::path native(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string joined(const std::string& folder, const char* name) {
    const std::u8string path = (native(folder) / name).u8string();
    return std::string(path.begin(), path.end());
}

}  // namespace

CollectLog::CollectLog(const std::string& folder)
    : path_(joined(folder, "collect.log")), older_(joined(folder, "collect.1.log")) {}

bool CollectLog::append(const std::string& line, std::string& problem) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(native(path_), error);
    if (!error && size + line.size() + 2 > kLogLimit) {
        fs::rename(native(path_), native(older_), error);
        if (error) {
            problem = "the log " + path_ + " could not be moved aside: " + error.message();
            return false;
        }
    }
    std::ofstream out(native(path_), std::ios::binary | std::ios::app);
    out << line << '\n';
    out.close();
    if (!out) {
        problem = "the log " + path_ + " could not be written";
        return false;
    }
    return true;
}

}  // namespace harrowtally::host
