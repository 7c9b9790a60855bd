#pragma once
// Text between UTF-8, which the core and the command line speak, and UTF-16, which the Windows
// API speaks (the replacing policy of common/text.h); and the system's words for an error.
#include <string>
#include <string_view>

namespace harrowtally::windows {

std::wstring wide_of(std::string_view utf8);
std::string utf8_of(std::wstring_view wide);

// The system's words for an error code (GetLastError), in UTF-8, without the final line break.
std::string system_message(unsigned long error);

}  // namespace harrowtally::windows
