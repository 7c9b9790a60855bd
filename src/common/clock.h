#pragma once
// The PC's clock and the settling pause, as interfaces so that tests run without waiting.
#include <chrono>

namespace harrowtally {

struct TimeOfDay {
    int hour = 0, minute = 0, second = 0;
};

struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The date value of a local date and time.
double date_value_of(const LocalDateTime& t);

class Clock {
public:
    virtual ~Clock() = default;
    // Time of day in whole seconds, for trace segments.
    virtual TimeOfDay time_of_day() = 0;
    // Local date and time, no time-zone conversion.
    virtual LocalDateTime local_now() = 0;
};

// The operating system's local clock.
class SystemClock : public Clock {
public:
    TimeOfDay time_of_day() override;
    LocalDateTime local_now() override;
};

// Waits for the host's messages and processes them; returns when the timeout has passed or after
// messages were handled, whichever comes first.
class MessagePump {
public:
    virtual ~MessagePump() = default;
    virtual void wait(std::chrono::nanoseconds timeout) = 0;
};

// A thread without a message queue: waiting is sleeping.
class SleepingPump : public MessagePump {
public:
    void wait(std::chrono::nanoseconds timeout) override;
};

// The settling pause the scanner needs between steps.
class Pause {
public:
    virtual ~Pause() = default;
    virtual void scanner_pause() = 0;
    // The moment a pause counts from, for scanner_pause_since.
    virtual std::chrono::steady_clock::time_point pause_clock() const { return std::chrono::steady_clock::now(); }
    // The pause counted from `started` (a pause_clock() reading): what the caller did since then,
    // without a word to the scanner, is part of it. A pause that cannot count from an earlier
    // moment is a whole pause.
    virtual void scanner_pause_since(std::chrono::steady_clock::time_point started) {
        (void)started;
        scanner_pause();
    }
};

// 1.296 s (1.5e-5 of a day) on a monotonic clock, so that midnight or a clock change cannot
// stretch or shorten it, yielding to the message pump while it waits.
class SettlingPause : public Pause {
public:
    using MonotonicNow = std::chrono::steady_clock::time_point (*)();
    static constexpr std::chrono::microseconds duration{1296000};
    explicit SettlingPause(MessagePump& pump, MonotonicNow now = &std::chrono::steady_clock::now)
        : pump_(pump), now_(now) {}
    void scanner_pause() override;
    std::chrono::steady_clock::time_point pause_clock() const override { return now_(); }
    void scanner_pause_since(std::chrono::steady_clock::time_point started) override;

private:
    MessagePump& pump_;
    MonotonicNow now_;
};

}  // namespace harrowtally
