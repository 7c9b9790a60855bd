#pragma once
// The call journal: when HARROWTALLY_SIM_JOURNAL names a file, every call of the library appends
// one line `name(arguments)=result` to it and flushes it, so a test or a user sees exactly what the
// component asked of the scanner, also when the process dies right after.
#include <cstdint>
#include <string>

namespace harrowtally::sim {

inline constexpr const char* kJournalVariable = "HARROWTALLY_SIM_JOURNAL";

// Whether calls are journaled now. The variable is read at every call, so a process can point the
// journal elsewhere, or stop it, between calls.
bool journal_active() noexcept;

// Appends `name(arguments)=result` and a newline. Never throws; a journal that cannot be written is
// skipped.
void journal_call(const char* name, const std::string& arguments, std::int32_t result) noexcept;

// Argument texts: a buffer the library fills is `buf`; a buffer it reads shows its bytes in
// hexadecimal, two upper-case digits per byte; a null pointer is `null`.
std::string output_buffer(const void* buffer);
std::string input_bytes(const unsigned char* bytes, std::int32_t length);

}  // namespace harrowtally::sim
