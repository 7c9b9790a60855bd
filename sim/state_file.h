#pragma once
// The simulated device's state file on disk: read whole, only when it is a regular file of a sane
// size (a FIFO or a device would hang or flood the reader); replaced through a new, uniquely named
// file created exclusively beside it, so no planted file or link is ever written through. A state
// path that is a symbolic link stays one: the file at the end of its links is the one replaced.
#include <filesystem>
#include <string>

namespace harrowtally::sim {

// Larger than any device a test or a person writes by hand (32767 barcodes of 100 characters).
inline constexpr std::uintmax_t max_state_file_bytes = 16u << 20;

// The file's text; false with the reason in `error` when it is not a regular file, is larger than
// the bound or cannot be read.
bool read_state_file(const std::filesystem::path& path, std::string& text, std::string& error);

// Writes `text` to a new file beside the file `path` stands for (the end of its links, which may
// not exist yet) and renames it over that file; false with the reason in `error`, and nothing left
// behind, on failure or when that file exists and is not a regular file.
bool replace_state_file(const std::filesystem::path& path, const std::string& text, std::string& error);

}  // namespace harrowtally::sim
