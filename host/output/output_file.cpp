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
    file_ = create_part(folder, name_of(path_), part_, new_name_);
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
    if (held_ != kNoFile) close(held_);
    if (!part_.empty()) remove(part_);
}

std::string OutputFile::change_since_read_back() const {
    if (held_ == kNoFile || !read_back_version_) return "it was not read back";
    if (writers_held_off_ && !holds_writers_off(held_)) return "another program opened it for writing";
    FileVersion version;
    switch (compare_whole(held_, written_, version)) {
        case ReadBack::same:
            break;
        case ReadBack::different:
            return "it no longer holds the bytes written";
        case ReadBack::changed_while_read:
            return "it changed while it was read again";
        case ReadBack::unreadable: {
            const std::string error = last_error();
            return "it cannot be read again: " + error;
        }
    }
    // After the bytes: a name taken by another file while they were read is seen too.
    const std::optional<FileVersion> now = version_of(path_);
    if (!now) return "its name no longer names an ordinary file";
    if (now->device != read_back_version_->device || now->inode != read_back_version_->inode) {
        return "another file has its name";
    }
    if (*now != *read_back_version_) return "its size or times changed";
    return {};
}

bool OutputFile::retarget(const std::string& name, std::string& problem) {
    const std::string folder = folder_of(path_);
    if (const std::size_t longest = name_max(folder); name_length(name) > longest) {
        problem =
            "the name " + terminal_path(name) + " is longer than a file name in " + terminal_path(folder) + " may be";
        return false;
    }
    path_.replace(path_.size() - name_of(path_).size(), std::string::npos, name);
    return true;
}

WriteOutcome OutputFile::commit(std::string content) {
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
    if (failure.empty() && !move_into_place(part_, path_, replace_, new_name_)) failure = failed("cannot rename");
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
    written_ = std::move(content);
    held_ = open_held(path_);
    if (held_ == kNoFile) return {false, failed(terminal_path(path_) + " is written, but it cannot be read back"), {}};
    writers_held_off_ = holds_writers_off(held_);
    FileVersion version;
    switch (compare_whole(held_, written_, version)) {
        case ReadBack::same:
            break;
        case ReadBack::different:
            return {
                false, terminal_path(path_) + " is written, but reading it back does not give what was written", {}};
        case ReadBack::changed_while_read:
            return {false, terminal_path(path_) + " is written, but it changed while it was read back", {}};
        case ReadBack::unreadable:
            return {false, failed(terminal_path(path_) + " is written, but it cannot be read back whole"), {}};
    }
    read_back_version_ = version;
    outcome.read_back = written_;
    return outcome;
}

}  // namespace harrowtally::host
