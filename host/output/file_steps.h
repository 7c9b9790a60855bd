#pragma once
// The platform's steps of writing an output file safely, each one call: the rest of OutputFile is
// the same everywhere. posix_file_steps.cpp has them for POSIX, windows_file_steps.cpp for Windows.
// A step that fails leaves the reason for last_error().
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace harrowtally::host::file_steps {

// What identifies the contents of a file: the file (device and inode), its size, and the times of
// its last change (any write moves the change time, which no program can set back).
struct FileVersion {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0, modified_s = 0, modified_ns = 0, changed_s = 0, changed_ns = 0;
    bool operator==(const FileVersion&) const = default;
};

// An open part file; kNoFile when none is open.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// The folder a path names its file in ("." for none), and the file's own name.
std::string folder_of(const std::string& path);
std::string name_of(const std::string& path);
// Whether a path can name no file: empty, or ending in a folder separator.
bool names_no_file(const std::string& path);
// The longest file name the folder takes, in the units of name_length.
std::size_t name_max(const std::string& folder);
// The length of a file name as the file system counts it, and the unit ("bytes" on POSIX, UTF-16
// "characters" on Windows).
std::size_t name_length(const std::string& name);
const char* name_unit();

// Why `path` cannot be written without replacing something, or empty when it can: an existing
// file (unless `replace`), or anything there that is not an ordinary file (a link included).
std::string existing_output_problem(const std::string& path, bool replace);

// How a new file takes the target's name without replacing a file that has it.
enum class NewName {
    no_replace_rename,  // a rename that fails on an existing name (renameat2 RENAME_NOREPLACE; MoveFileExW)
    hard_link,          // a hard link, which fails on an existing name too, then the part name removed
    reserved_name,      // the name taken first by an exclusive create, then replaced by a plain rename
};

// A new, empty part file in `folder` named after `name`, never one that exists; its path in
// `part_path`. It is made under a name of its own and given its part name the first way of NewName
// that works there, so that a file system without a safe way is known before anything is read:
// that way in `new_name`. kNoFile when none can be made, or no way works.
FileHandle create_part(const std::string& folder, const std::string& name, std::string& part_path, NewName& new_name);
// Writes all of `content`, stopping soon when a signal came.
bool write_all(FileHandle file, std::string_view content);
// Flushes what was written to the disk.
bool flush(FileHandle file);
// Gives the part file the mode, owner and group of the file at `path` it replaces, as far as
// this process may.
void take_attributes_of(const std::string& path, FileHandle file);
// What of a replaced file the new one keeps, for the help: "its mode, owner and group".
const char* replaced_file_keeps();
bool close(FileHandle file);
// Gives the part file the target's name `new_name`'s way: fails when something has that name, unless
// `replace`.
bool move_into_place(const std::string& part, const std::string& path, bool replace, NewName new_name);
// Flushes the folder, so that the new name survives a crash.
bool sync_folder(const std::string& folder);
// Opens the file `path` names (a link is not followed) to read it back, and holds it against
// writers where the platform lets a program: on Windows the handle shares reading only, so no
// other program can write, rename or delete the file while it is open; on Linux a read lease is
// taken where the file system grants one (not NFS or FUSE; the file's owner or CAP_LEASE), and
// broken by another program that opens the file for writing. Released by close(). kNoFile when
// the file cannot be opened.
FileHandle open_held(const std::string& path);
// Whether `file` still holds writers off: a hold that was taken and not broken since.
bool holds_writers_off(FileHandle file);

// What reading a file back whole gives against what was written.
enum class ReadBack { same, different, changed_while_read, unreadable };
// Reads the file open in `file` from its start, in pieces, comparing each with `content`; its
// version while it was read in `version` (for same and different). unreadable leaves the reason
// for last_error().
ReadBack compare_whole(FileHandle file, std::string_view content, FileVersion& version);
// The version of the ordinary file `path` names (a link is not followed); nullopt for anything else.
std::optional<FileVersion> version_of(const std::string& path);
void remove(const std::string& path);

// Why the last step failed, in words.
std::string last_error();

}  // namespace harrowtally::host::file_steps
