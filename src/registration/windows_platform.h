#pragma once
// The core's platform interfaces on Windows: the scanner library loader, the message pump of the
// settling pause and the data-folder listing.
#include <windows.h>

#include <chrono>
#include <string>

#include "common/clock.h"
#include "common/services.h"
#include "scanner/library_opener.h"

namespace harrowtally::windows {

// Dispatches the thread's window messages while the settling pause waits. A WM_QUIT met here is
// posted again for the host's own loop, and no further message is dispatched while it is pending.
class WindowsMessagePump : public MessagePump {
public:
    void wait(std::chrono::nanoseconds timeout) override;
};

// Whether a WM_QUIT waits for the host's own loop; no message is dispatched while one does.
bool quit_pending();
// Dispatches the next message of the thread's queue. False when none was waiting, or when it was a
// WM_QUIT, which is posted again for the host's own loop.
bool dispatch_next_message();

// Counts the entries of a folder that are neither folders nor hidden nor system files.
class WindowsDirectoryListing : public DirectoryListing {
public:
    std::int64_t count_ordinary_files(std::u16string_view folder) override;
};

// The folder of the module that contains this code, with a trailing backslash.
std::wstring own_module_folder();

// The scanner library file: the named path, else csp2a.DLL beside the module and then by the
// standard search.
std::unique_ptr<LibraryOpener> library_opener(const std::wstring& path = {});

}  // namespace harrowtally::windows
