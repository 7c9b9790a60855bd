#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "common/clock.h"
#include "common/clock_text.h"
#include "common/code_page.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/trace_text.h"

namespace harrowtally {
namespace {

TEST(DateValue, CalendarAndSerialNumbersAgree) {
    EXPECT_EQ(date_serial(1899, 12, 30), 0);
    EXPECT_EQ(date_serial(1900, 1, 1), 2);
    EXPECT_EQ(date_serial(2001, 1, 1), 36892);
    EXPECT_EQ(date_serial(2026, 12, 6), 46362);
    const DateTimeParts p = split_date(date_serial(2026, 12, 6) + time_serial(14, 30, 5));
    EXPECT_EQ((std::array{p.year, p.month, p.day, p.hour, p.minute, p.second}), (std::array{2026, 12, 6, 14, 30, 5}));
    // A fraction just below a whole day rounds into the next day, not to 24:00:00.
    const DateTimeParts q = split_date(date_serial(2026, 12, 6) + 0.9999999);
    EXPECT_EQ((std::array{q.day, q.hour, q.minute, q.second}), (std::array{7, 0, 0, 0}));
    // Before the epoch the whole part counts back while the fraction still counts forward.
    const DateTimeParts r = split_date(-1.25);
    EXPECT_EQ((std::array{r.year, r.month, r.day, r.hour}), (std::array{1899, 12, 29, 6}));
}

TEST(DateValue, ValidityFollowsTheCalendar) {
    struct Case {
        int y, m, d;
        bool valid;
    };
    for (const Case& c : {Case{2024, 2, 29, true}, Case{2026, 2, 29, false}, Case{2000, 2, 29, true},
                          Case{1900, 2, 29, false}, Case{2026, 4, 31, false}, Case{2026, 13, 1, false},
                          Case{2026, 0, 1, false}, Case{2026, 1, 0, false}, Case{2026, 12, 31, true}}) {
        EXPECT_EQ(is_valid_date(c.y, c.m, c.d), c.valid) << c.y << "-" << c.m << "-" << c.d;
    }
    EXPECT_EQ(expand_two_digit_year(29), 2029);
    EXPECT_EQ(expand_two_digit_year(30), 2030);
    EXPECT_EQ(expand_two_digit_year(31), 2031);
    EXPECT_EQ(expand_two_digit_year(99), 2099);
    EXPECT_EQ(expand_two_digit_year(0), 2000);
}

TEST(CodePage, HighBytesRoundTripThroughWindows1252) {
    EXPECT_EQ(byte_to_char(0x80), u'\u20AC');
    EXPECT_EQ(byte_to_char(0xE9), u'\u00E9');
    EXPECT_EQ(byte_to_char(0x81), u'\u0081');
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(char_to_byte(byte_to_char(static_cast<std::uint8_t>(b))), b);
    }
    EXPECT_EQ(char_to_byte(u'\u4E00'), '?');
    const std::uint8_t bytes[] = {'A', 0, 0x80};
    EXPECT_EQ(bytes_to_text(bytes, 3), std::u16string(u"A\0\u20AC", 3));
}

TEST(TraceText, NumbersAndTimes) {
    EXPECT_EQ(two_digit_text(3), u"03");
    EXPECT_EQ(two_digit_text(16), u"16");
    EXPECT_EQ(two_digit_text(999), u"999");
    EXPECT_EQ(two_digit_text(-3), u"-03");
    EXPECT_EQ(decimal_text(-1), u"-1");
    EXPECT_EQ(hhmmss_text({9, 30, 15}), u"093015");
    EXPECT_EQ(hex_text(0), u"0");
    EXPECT_EQ(hex_text(26), u"1A");
    EXPECT_EQ(hex_text(0xFFFFFFFFu), u"FFFFFFFF");
}

TEST(ClockText, SnapshotOfABuffer) {
    struct Case {
        ClockBuffer buffer;
        std::u16string text;
        char16_t flag;
    };
    const Case cases[] = {
        {{9, 5, 14, 23, 3, 7}, u"090514230307", u'H'},           {{255, 5, 14, 23, 3, 7}, u"000514230307", u'L'},
        {{255, 255, 255, 255, 255, 255}, u"002525252525", u'L'}, {{1, 2, 3, 4, 5, 255}, u"010203040525", u'H'},
        {{123, 0, 0, 0, 0, 0}, u"120000000000", u'H'},
    };
    for (const Case& c : cases) {
        const ClockSnapshot s = clock_snapshot(c.buffer);
        EXPECT_EQ(s.text, c.text);
        EXPECT_EQ(s.flag, c.flag);
    }
}

TEST(ClockText, TextToBuffer) {
    EXPECT_EQ(clock_buffer_from_text(u"090514230307"), (ClockBuffer{9, 5, 14, 23, 3, 7}));
    EXPECT_EQ(clock_buffer_from_text(u"0905"), (ClockBuffer{9, 5, 0, 0, 0, 0}));
    EXPECT_EQ(clock_buffer_from_text(u"05"), (ClockBuffer{5, 0, 0, 0, 0, 0}));
    EXPECT_EQ(clock_buffer_from_text(u" 5ab"), (ClockBuffer{5, 0, 0, 0, 0, 0}));
    EXPECT_EQ(clock_buffer_from_text(u"0905142303079999"), (ClockBuffer{9, 5, 14, 23, 3, 7}));
    EXPECT_EQ(clock_buffer_from_text(u""), (ClockBuffer{}));
    try {
        clock_buffer_from_text(u"00-5");
        FAIL() << "a negative pair converts";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 5);
    }
    EXPECT_EQ(clock_buffer_from(LocalDateTime{2007, 3, 23, 14, 5, 9}), (ClockBuffer{9, 5, 14, 23, 3, 7}));
    EXPECT_EQ(clock_buffer_from(LocalDateTime{2000, 1, 1, 0, 0, 0}), (ClockBuffer{0, 0, 0, 1, 1, 0}));
}

// Monotonic time that only the pump below advances, so the pause is checked without waiting.
std::chrono::steady_clock::time_point fake_now_value{};
std::chrono::steady_clock::time_point fake_now() {
    return fake_now_value;
}

class AdvancingPump : public MessagePump {
public:
    std::vector<std::chrono::nanoseconds> waits;
    std::chrono::nanoseconds step{std::chrono::milliseconds(500)};
    void wait(std::chrono::nanoseconds timeout) override {
        waits.push_back(timeout);
        fake_now_value += std::min(timeout, step);  // messages may end a wait early
    }
};

TEST(SettlingPause, WaitsThroughThePumpUntilTheDeadlineWithoutSpinning) {
    AdvancingPump pump;
    SettlingPause pause(pump, &fake_now);
    const auto start = fake_now_value;
    pause.scanner_pause();
    EXPECT_EQ(fake_now_value - start, SettlingPause::duration);
    // Every wait asks for exactly the time that is left, so the pump sleeps instead of spinning.
    ASSERT_EQ(pump.waits.size(), 3u);
    EXPECT_EQ(pump.waits[0], SettlingPause::duration);
    EXPECT_EQ(pump.waits[2], SettlingPause::duration - 2 * pump.step);
}

// Counted from an earlier moment, the pause waits only for what is left of it, and not at all
// once it has passed.
TEST(SettlingPause, CountedFromAnEarlierMomentWaitsForTheRest) {
    for (const auto done : {std::chrono::milliseconds(300), std::chrono::milliseconds(2000)}) {
        AdvancingPump pump;
        SettlingPause pause(pump, &fake_now);
        const auto started = pause.pause_clock();
        fake_now_value += done;  // the caller's own work
        pause.scanner_pause_since(started);
        EXPECT_EQ(fake_now_value - started, std::max<std::chrono::nanoseconds>(done, SettlingPause::duration));
        EXPECT_EQ(pump.waits.empty(), done >= SettlingPause::duration);
    }
}

}  // namespace
}  // namespace harrowtally
