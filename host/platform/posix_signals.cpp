#include "host/platform/signals.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace harrowtally::host {
namespace {

volatile sig_atomic_t caught = 0;
// The part file a signal removes; only unlink(), which may be called in a signal handler, uses it there.
char part_path[4096];
volatile sig_atomic_t part_armed = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void on_signal(int signal) {
    const int saved_errno = errno;
    if (caught == 0) caught = signal;
    if (part_armed != 0) {
        part_armed = 0;
        ::unlink(part_path);
    }
    errno = saved_errno;
}

}  // namespace

void catch_interruptions() {
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) sigaddset(&action.sa_mask, s);
    // Restarted system calls: the scanner library's own waits go on; the pause notices at once,
    // as a sleep always returns early on a signal.
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

void ignore_broken_pipe() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

int interruption() {
    return caught;
}

void stop_if_interrupted() {
    if (caught != 0) throw Interrupted(caught);
}

const char* interruptions_named() {
    return "SIGINT, SIGTERM or SIGHUP";
}

const char* interrupted_status() {
    return "128 + N when signal N stopped it";
}

void end_by_signal(int signal) {
    ::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);  // only if the signal did not end the process
}

RemovedOnInterruption::RemovedOnInterruption(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= sizeof part_path) return;  // no such path could have been created
    part_armed = 0;
    std::memcpy(part_path, path, length + 1);
    part_armed = 1;
}

RemovedOnInterruption::~RemovedOnInterruption() {
    part_armed = 0;
}

void InterruptiblePump::wait(std::chrono::nanoseconds timeout) {
    stop_if_interrupted();
    if (timeout <= std::chrono::nanoseconds::zero()) return;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec span{static_cast<time_t>(seconds.count()), static_cast<long>((timeout - seconds).count())};
    ::nanosleep(&span, nullptr);  // the settling pause waits again for what is left
    stop_if_interrupted();
}

}  // namespace harrowtally::host
