#pragma once
// Paths and text between the host, which speaks UTF-8, and the Windows API.
#include <string>

#include "windows/text.h"

namespace harrowtally::host {

using windows::system_message;
using windows::utf8_of;
using windows::wide_of;

// A path for the file API, in UTF-16: made absolute, and given the \\?\ prefix when it is too long
// for the plain form. Empty when the system cannot make it absolute.
std::wstring file_api_path(const std::string& utf8_path);

}  // namespace harrowtally::host
