#pragma once
// The signals a run takes. SIGINT, SIGTERM and SIGHUP: the part file of an output being written is
// removed at once, and the run stops at its next safe point (a barcode fetched, the settling pause,
// before an erase) without erasing, the scanner's port released, and the process ends by that
// signal. SIGPIPE: a reader of standard output that goes away (`harrowtally info | head -1`) must
// not end the process in the middle of its work with the scanner: the write fails with EPIPE
// instead, and the job ends with its own exit status. On Windows, Ctrl+C, Ctrl+Break and the
// console window closing take the place of the three signals (SIGINT, SIGBREAK, SIGTERM here).
#include <chrono>
#include <exception>

#include "common/clock.h"

namespace harrowtally::host {

// Thrown at a safe point once a signal came.
class Interrupted : public std::exception {
public:
    explicit Interrupted(int signal) : signal_(signal) {}
    int signal() const { return signal_; }
    const char* what() const noexcept override { return "interrupted by a signal"; }

private:
    int signal_;
};

// Catches the three signals from now on.
void catch_interruptions();
// Ignores SIGPIPE from now on.
void ignore_broken_pipe();
// The signal that came, or 0.
int interruption();
// Throws Interrupted when a signal came.
void stop_if_interrupted();
// For the help: what stops a run ("SIGINT, SIGTERM or SIGHUP"), and the exit status it then has.
const char* interruptions_named();
const char* interrupted_status();
// Ends the process by `signal`, as if it had not been caught (a POSIX shell sees 128 + signal;
// Windows, STATUS_CONTROL_C_EXIT).
[[noreturn]] void end_by_signal(int signal);

// While it lives, a signal removes the file at `path` (a part file not yet renamed). The path is
// copied; one at a time.
class RemovedOnInterruption {
public:
    explicit RemovedOnInterruption(const char* path);
    RemovedOnInterruption(const RemovedOnInterruption&) = delete;
    RemovedOnInterruption& operator=(const RemovedOnInterruption&) = delete;
    ~RemovedOnInterruption();
};

// Waits as the host's settling pause does (sleeping: the command line has no message queue), and
// stops the wait at once when a signal comes.
class InterruptiblePump : public MessagePump {
public:
    void wait(std::chrono::nanoseconds timeout) override;
};

}  // namespace harrowtally::host
