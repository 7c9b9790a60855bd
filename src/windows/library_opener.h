#pragma once
// The scanner library's opener on Windows: each candidate loaded by its full path, never from the
// current folder.
#include <memory>
#include <string>

#include "scanner/library_opener.h"

namespace harrowtally::windows {

// The scanner library file: the named path, else csp2a.DLL in the component's own folder, the
// system folders and the absolute folders on PATH, in that order.
std::unique_ptr<LibraryOpener> library_opener(const std::wstring& path = {});

}  // namespace harrowtally::windows
