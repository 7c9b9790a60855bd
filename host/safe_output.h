#pragma once
// Writing a download to a file so that the file never looks complete unless it is: the text goes
// to a new file beside the target, is flushed and synced, and only then takes the target's name.
#include <string>
#include <string_view>

namespace harrowtally::host {

struct WriteOutcome {
    bool ok = false;
    std::string reason;  // why not, in words, when !ok
};

// Why `path` cannot be written without replacing something, or empty when it can: an existing
// file (unless `replace`), or anything there that is not an ordinary file.
std::string existing_output_problem(const std::string& path, bool replace);

// Writes `content` to a temporary file in the folder of `path`, syncs it, renames it to `path`
// (without replacing an existing file unless `replace`), syncs the folder and reads the file back.
// On failure the temporary file is removed and `path` is as it was, except when only the folder
// sync or the reading back failed: the file is then in place and the reason says so.
WriteOutcome write_file_safely(const std::string& path, std::string_view content, bool replace);

}  // namespace harrowtally::host
