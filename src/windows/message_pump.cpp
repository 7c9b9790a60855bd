#include "windows/message_pump.h"

namespace harrowtally::windows {

void WindowsMessagePump::wait(std::chrono::nanoseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    using std::chrono::ceil;
    using std::chrono::milliseconds;
    const auto ms = ceil<milliseconds>(timeout).count();
    const DWORD wait_ms = ms <= 0 ? 0 : ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    // A quit that is pending belongs to the host's loop: leave the queue alone and just wait.
    if (quit_pending()) {
        Sleep(wait_ms);
        return;
    }
    const DWORD woke = MsgWaitForMultipleObjectsEx(0, nullptr, wait_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke != WAIT_OBJECT_0) return;
    while (dispatch_next_message()) {
        // A host that posts a message from each message must not keep the pause from ending.
        if (std::chrono::steady_clock::now() >= deadline) return;
    }
}

bool quit_pending() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

bool dispatch_next_background_message() {
    // Message-only windows are no user interface: the COM apartment's window, through which calls
    // from other apartments arrive, is one of them.
    const DWORD thread = GetCurrentThreadId();
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) {
        if (GetWindowThreadProcessId(window, nullptr) != thread) continue;
        MSG msg;
        if (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            // A WM_QUIT comes out whatever the filter: it goes back for the host's own loop.
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            DispatchMessageW(&msg);
            return true;
        }
    }
    return false;
}

bool dispatch_next_message() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

}  // namespace harrowtally::windows
