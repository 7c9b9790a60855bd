#include "common/clock.h"

#include <ctime>
#include <thread>

#include "common/date_value.h"

namespace harrowtally {
namespace {
std::tm local_tm() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    return tm;
}
}  // namespace

double date_value_of(const LocalDateTime& t) {
    return date_serial(t.year, t.month, t.day) + time_serial(t.hour, t.minute, t.second);
}

TimeOfDay SystemClock::time_of_day() {
    const std::tm tm = local_tm();
    return {tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalDateTime SystemClock::local_now() {
    const std::tm tm = local_tm();
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void SleepingPump::wait(std::chrono::nanoseconds timeout) {
    std::this_thread::sleep_for(timeout);
}

void SettlingPause::scanner_pause() {
    scanner_pause_since(now_());
}

void SettlingPause::scanner_pause_since(std::chrono::steady_clock::time_point started) {
    const auto deadline = started + duration;
    for (auto now = now_(); now < deadline; now = now_()) {
        pump_.wait(deadline - now);
    }
}

}  // namespace harrowtally
