#pragma once
// The settling pause's message pump on Windows, and the dispatch of one message that the scanner
// lock's wait shares with it.
#include <windows.h>

#include <chrono>

#include "common/clock.h"

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
// Dispatches the next message for one of the thread's message-only windows (the COM apartment's
// among them), leaving every other message, a WM_QUIT included, where it is. False when none waits.
bool dispatch_next_background_message();

}  // namespace harrowtally::windows
