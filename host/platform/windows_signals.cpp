// Interruptions on Windows: Ctrl+C, Ctrl+Break and the console window closing come to a handler
// on a thread of their own. It removes the part file at once and wakes the settling pause; the
// run stops at its next safe point and the process ends as one Ctrl+C ends (STATUS_CONTROL_C_EXIT).
#include <windows.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <string>

#include "host/platform/signals.h"
#include "host/platform/windows_paths.h"

namespace harrowtally::host {
namespace {

std::atomic<int> caught{0};
// Set with the first interruption: the settling pause waits on it.
HANDLE interrupted_event = nullptr;
std::mutex part_mutex;
std::wstring part_path;

int signal_of(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return SIGINT;
        case CTRL_BREAK_EVENT:
            return SIGBREAK;
        default:
            return SIGTERM;
    }
}

BOOL WINAPI on_console_event(DWORD event) {
    int expected = 0;
    caught.compare_exchange_strong(expected, signal_of(event));
    {
        const std::lock_guard lock(part_mutex);
        // The part file is open with FILE_SHARE_DELETE: it goes when its handle is closed.
        if (!part_path.empty()) DeleteFileW(part_path.c_str());
        part_path.clear();
    }
    if (interrupted_event != nullptr) SetEvent(interrupted_event);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // The window closes, or the session ends: the system ends the process once this returns, so
    // the run is given until then (the system's own limit) to release the scanner's port and end.
    Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void catch_interruptions() {
    if (interrupted_event == nullptr) interrupted_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

// A write to a pipe whose reader went away fails with an error on Windows: nothing to ignore.
void ignore_broken_pipe() {}

int interruption() {
    return caught.load();
}

void stop_if_interrupted() {
    if (const int signal = caught.load()) throw Interrupted(signal);
}

const char* interruptions_named() {
    return "Ctrl+C, Ctrl+Break or closing the console window";
}

const char* interrupted_status() {
    return "0xC000013A (STATUS_CONTROL_C_EXIT) when one of them stopped it";
}

void end_by_signal(int /*signal*/) {
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

RemovedOnInterruption::RemovedOnInterruption(const char* path) {
    const std::lock_guard lock(part_mutex);
    part_path = file_api_path(path);
}

RemovedOnInterruption::~RemovedOnInterruption() {
    const std::lock_guard lock(part_mutex);
    part_path.clear();
}

void InterruptiblePump::wait(std::chrono::nanoseconds timeout) {
    stop_if_interrupted();
    if (timeout <= std::chrono::nanoseconds::zero()) return;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    const DWORD wait = ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    if (interrupted_event != nullptr) {
        WaitForSingleObject(interrupted_event, wait);
    } else {
        Sleep(wait);
    }
    stop_if_interrupted();
}

}  // namespace harrowtally::host
