#include "host/output/output_file.h"

#include <algorithm>
#include <utility>

#include "host/text/terminal_text.h"

namespace harrowtally::host {

using namespace file_steps;

std::string part_file_name(const std::string& name, const std::string& suffix, std::size_t name_max) {
    const std::size_t room = name_max > suffix.size() + 1 ? name_max - suffix.size() - 1 : 0;
    std::size_t keep = std::min(name.size(), room);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    std::string part(1, '.');
    part.append(name, 0, keep);
    part.append(suffix);
    return part;
}

OutputFile::OutputFile(std::string path, bool replace) : path_(std::move(path)), replace_(replace) {
    if (names_no_file(path_)) {
        // Built in place: GCC 12 at -O3 takes "\"" + std::string for an overlapping copy.
        problem_ = terminal_path(path_);
        problem_.insert(0, 1, '"');
        problem_ += "\" is not a file name";
        return;
    }
    problem_ = existing_output_problem(path_, replace_);
    if (!problem_.empty()) return;
    const std::string folder = folder_of(path_);
    // Only the part file's name may be shortened: the file itself must take this name at the end.
    if (const std::size_t longest = name_max(folder); name_length(name_of(path_)) > longest) {
        problem_ = "the name " + terminal_path(name_of(path_)) + " has " + std::to_string(name_length(name_of(path_))) +
                   " " + name_unit() + ", and a file name in " + terminal_path(folder) + " may have " +
                   std::to_string(longest);
        return;
    }
    file_ = create_part(folder, name_of(path_), part_);
    if (file_ == kNoFile) {
        const std::string error = last_error();
        problem_ = "cannot create a file in " + terminal_path(folder) + ": " + error;
        part_.clear();
        return;
    }
    removed_on_interruption_.emplace(part_.c_str());
}

OutputFile::~OutputFile() {
    if (file_ != kNoFile) close(file_);
    if (!part_.empty()) remove(part_);
}

bool OutputFile::unchanged_since_read_back() const {
    return read_back_version_ && version_of(path_) == read_back_version_;
}

WriteOutcome OutputFile::commit(std::string_view content) {
    if (!problem_.empty()) return {false, problem_, {}};
    if (file_ == kNoFile) return {false, "the file was already written", {}};
    // Something may have taken the name while the scanner was read.
    if (std::string problem = existing_output_problem(path_, replace_); !problem.empty()) {
        return {false, problem, {}};
    }

    // The reason is taken first: building the words could change it.
    const auto failed = [](const std::string& what) {
        const std::string error = last_error();
        return what + ": " + error;
    };
    std::string failure;
    if (!write_all(file_, content)) {
        failure = failed("cannot write");
    } else if (!flush(file_)) {
        failure = failed("cannot sync");
    }
    if (failure.empty() && replace_) take_attributes_of(path_, file_);
    const bool closed = close(file_);
    file_ = kNoFile;
    if (!closed && failure.empty()) failure = failed("cannot close");
    if (failure.empty() && !move_into_place(part_, path_, replace_)) failure = failed("cannot rename");
    if (!failure.empty()) {
        // The destructor removes the part file.
        const std::size_t colon = failure.find(':');
        return {false, failure.substr(0, colon) + " " + terminal_path(part_) + failure.substr(colon), {}};
    }
    removed_on_interruption_.reset();
    part_.clear();

    WriteOutcome outcome{true, {}, {}};
    if (!sync_folder(folder_of(path_))) {
        return {false, failed(terminal_path(path_) + " is written, but its folder cannot be synced"), {}};
    }
    FileVersion version;
    if (!read_whole(path_, content.size(), outcome.read_back, version)) {
        return {false, failed(terminal_path(path_) + " is written, but it cannot be read back whole"), {}};
    }
    read_back_version_ = version;
    if (outcome.read_back != content) {
        return {false, terminal_path(path_) + " is written, but reading it back does not give what was written", {}};
    }
    return outcome;
}

}  // namespace harrowtally::host
