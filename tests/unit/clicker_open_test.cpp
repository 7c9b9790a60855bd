#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "clicker/clicker.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/text.h"
#include "support/download_columns.h"
#include "support/runtime_error_helpers.h"
#include "support/scripted_csp2.h"
#include "support/unusable_startports.h"

namespace harrowtally {
namespace {

using testing::barcodes_of;
using testing::Bytes;
using testing::CountingPause;
using testing::ScriptedCSP2;
using testing::stamp_texts_of;
using testing::times_of;
using testing::types_of;

// Each read of the time of day is one second later than the one before, from 09:30:15.
class TickingClock : public Clock {
public:
    int reads = 0;
    TimeOfDay time_of_day() override { return {9, 30, 15 + reads++}; }
    LocalDateTime local_now() override { return {}; }
};

// The attempt segment of the n-th read of the clock (0-based).
std::string segment(int port, int n, int init) {
    char buf[64];
    std::snprintf(buf, sizeof buf, ":%s%02d0930%02d*%d", port < 0 ? "-" : "", port < 0 ? -port : port, 15 + n, init);
    return buf;
}

std::string acceptance(int status, int count) {
    std::string text(1, '*');
    text += std::to_string(status);
    text += '*';
    text += std::to_string(count);
    return text;
}

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return date_serial(y, mo, d) + time_serial(h, mi, s);
}

class OpenClicker : public ::testing::Test {
protected:
    ScriptedCSP2 lib;
    TickingClock clock;
    CountingPause pause;
    Clicker clicker{ScannerServices{&lib, &clock, &pause, nullptr}};

    std::string log() const { return to_utf8(clicker.log().as_string()); }
    std::string serial() const { return to_utf8(clicker.serial().as_string()); }
    std::vector<int> init_ports() const {
        std::vector<int> ports;
        for (const auto& c : lib.calls) {
            if (c.rfind("csp2Init(", 0) == 0) ports.push_back(std::stoi(c.substr(9)));
        }
        return ports;
    }
    int open_error() {
        return testing::error_of([&] { clicker.open_clicker(); });
    }
    // A scanner answering on `port` and holding `packets`.
    void scanner_on(int port, std::vector<Bytes> packets) {
        lib.init_results[port] = 0;
        lib.read_data_default = static_cast<std::int32_t>(packets.size());
        lib.packets = std::move(packets);
    }
    // A first download that leaves every field set, then a fresh script and clock.
    void earlier_download() {
        clicker.let_startport(Variant::integer(7));
        scanner_on(7, {ScriptedCSP2::packet(3, "OLD")});
        lib.device_id = Bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
        lib.clock_value = std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6};
        clicker.open_clicker();
        ASSERT_TRUE(clicker.open_ok());
        lib = ScriptedCSP2();
        clock.reads = 0;
        pause.count = 0;
    }
    void expect_earlier_download_kept() {
        EXPECT_EQ(serial(), "1122334455667788");
        ASSERT_TRUE(barcodes_of(clicker));
        EXPECT_EQ(*barcodes_of(clicker), (std::vector<std::u16string>{u"", u"OLD"}));
        EXPECT_EQ(to_utf8(clicker.clock_text()), "010203040506");
    }
};

std::vector<int> range(int from, int to) {
    std::vector<int> v;
    for (int p = from; p <= to; ++p) v.push_back(p);
    return v;
}

std::vector<int> joined(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(OpenClicker, SearchesSixteenPortsAndTracesEveryAttempt) {
    struct Case {
        const char* name;
        Variant start;
        std::vector<int> ports;
    };
    const std::vector<Case> cases = {
        {"empty", Variant(), range(0, 15)},
        {"5", Variant::integer(5), joined(range(5, 15), range(0, 4))},
        {"15", Variant::integer(15), joined({15}, range(0, 14))},
        {"16", Variant::integer(16), range(16, 31)},
        {"-3", Variant::integer(-3), range(-3, 12)},
        {"text 4", Variant::string(u"4"), joined(range(4, 15), range(0, 3))},
        {"text 15", Variant::string(u" 15 "), joined({15}, range(0, 14))},
        {"long 32767", Variant::long_(32767), range(32767, 32782)},
        // Counted as a number, rounded half to even for each call.
        {"2.5", Variant::double_(2.5), {2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14, 16, 16, 18}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lib = ScriptedCSP2();
        clock.reads = 0;
        clicker.let_startport(c.start);
        clicker.open_clicker();
        EXPECT_EQ(init_ports(), c.ports);
        EXPECT_EQ(lib.calls.size(), 16u);  // nothing but the initialisations
        std::string expected = "OPNC";
        for (std::size_t i = 0; i < c.ports.size(); ++i) expected += segment(c.ports[i], static_cast<int>(i), -1);
        EXPECT_EQ(log(), expected);
        EXPECT_EQ(clicker.comport(), 999);
        EXPECT_FALSE(clicker.open_ok());
        EXPECT_EQ(pause.count, 0);
    }
}

TEST_F(OpenClicker, UnusableStartportFailsBeforeAnyAttempt) {
    for (const auto& [start, error] : testing::unusable_startports()) {
        SCOPED_TRACE(error);
        earlier_download();
        clicker.let_startport(start);
        EXPECT_EQ(open_error(), error);
        EXPECT_TRUE(lib.calls.empty());
        EXPECT_EQ(log(), "");
        EXPECT_EQ(clicker.comport(), 999);
        EXPECT_FALSE(clicker.open_ok());
        EXPECT_EQ(clicker.num_barcodes(), 1);
        expect_earlier_download_kept();
    }
}

TEST_F(OpenClicker, FoundAtFirstAttemptMakesTheFullCallSequence) {
    clicker.let_startport(Variant::integer(3));
    scanner_on(3, {ScriptedCSP2::packet(1, "A1"), ScriptedCSP2::packet(2, "B2")});
    std::size_t calls_before_pause = 0;
    pause.during = [&] { calls_before_pause = lib.calls.size(); };

    clicker.open_clicker();

    const std::vector<std::string> expected = {
        "csp2Init(3)",          "csp2ReadData()",        "csp2GetSystemStatus()", "csp2GetDeviceId(9)",
        "csp2GetPacket(0,500)", "csp2TimeStamp2Str(30)", "csp2GetPacket(1,500)",  "csp2TimeStamp2Str(30)",
        "csp2WakeUp()",         "csp2GetTime()",         "csp2PowerDown()",       "csp2Restore()",
    };
    EXPECT_EQ(lib.calls, expected);
    EXPECT_EQ(pause.count, 1);
    EXPECT_EQ(calls_before_pause, 8u);
    EXPECT_FALSE(lib.port_open);
    EXPECT_EQ(log(), "OPOK:03093015*0*0*2");
    EXPECT_EQ(clicker.comport(), 3);
    EXPECT_TRUE(clicker.open_ok());
    EXPECT_EQ(clicker.num_barcodes(), 2);
}

TEST_F(OpenClicker, SearchOutcomes) {
    struct Case {
        const char* name;
        Variant start;
        std::vector<int> open_ports;  // csp2Init gives 0 here
        std::vector<std::int32_t> counts, statuses;
        int port_no;
        std::string log;
    };
    const std::vector<Case> cases = {
        {"wraps to the scanner",
         Variant::integer(14),
         {1},
         {4},
         {0},
         1,
         "OPOK" + segment(14, 0, -1) + segment(15, 1, -1) + segment(0, 2, -1) + segment(1, 3, 0) + acceptance(0, 4)},
        {"rejected ports are passed over",
         Variant(),
         {0, 1, 2},
         {5, -1, 7},
         {-2, 0, 0},
         2,
         "OPOK" + segment(0, 0, 0) + acceptance(-2, 5) + segment(1, 1, 0) + acceptance(0, -1) + segment(2, 2, 0) +
             acceptance(0, 7)},
        {"port 999 is a port like any other",
         Variant::integer(999),
         {999},
         {0},
         {0},
         999,
         "OPOK" + segment(999, 0, 0) + acceptance(0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lib = ScriptedCSP2();
        clock.reads = 0;
        pause.count = 0;
        for (int p : c.open_ports) lib.init_results[p] = 0;
        lib.read_data_results.assign(c.counts.begin(), c.counts.end());
        lib.status_results.assign(c.statuses.begin(), c.statuses.end());
        clicker.let_startport(c.start);
        clicker.open_clicker();
        EXPECT_EQ(log(), c.log);
        EXPECT_TRUE(clicker.open_ok());
        EXPECT_EQ(clicker.comport(), c.port_no);
        EXPECT_EQ(clicker.num_barcodes(), c.counts.back());
        // Every opened port is released once: rejected ones at once, the found one after the clock.
        EXPECT_EQ(lib.restores, static_cast<int>(c.open_ports.size()));
        EXPECT_FALSE(lib.port_open);
        EXPECT_EQ(pause.count, 1);
    }
}

TEST_F(OpenClicker, NoScannerLeavesTheEarlierDownloadAndTheLastOpenedCount) {
    earlier_download();
    lib.init_results = {{2, 0}, {9, 0}};
    lib.read_data_results = {4, 6};
    lib.status_default = -1;
    clicker.let_startport(Variant());
    clicker.open_clicker();

    EXPECT_EQ(log().substr(0, 4), "OPNC");
    EXPECT_NE(log().find(segment(2, 2, 0) + acceptance(-1, 4) + segment(3, 3, -1)), std::string::npos);
    EXPECT_EQ(init_ports(), range(0, 15));
    EXPECT_EQ(clicker.num_barcodes(), 6);
    EXPECT_EQ(clicker.comport(), 999);
    EXPECT_FALSE(clicker.open_ok());
    EXPECT_EQ(lib.restores, 2);
    EXPECT_EQ(pause.count, 0);
    expect_earlier_download_kept();
}

TEST_F(OpenClicker, DownloadsTypesBarcodesAndScanTimes) {
    // Byte values above 127 read through the code page; byte 0 of 5 is an empty barcode; byte 0 of
    // 255 is the longest packet.
    const std::string longest(250, 'Z');
    scanner_on(0, {
                      ScriptedCSP2::packet(1, "4006381333931", {0, 0, 0, 1}),
                      ScriptedCSP2::packet(255, "", {0, 0, 0, 2}),
                      ScriptedCSP2::packet(0x20, "\xE9\x80~", {0, 0, 0, 3}),
                      ScriptedCSP2::packet(7, longest, {0, 0, 0, 4}),
                  });
    std::vector<int> stamps_seen;
    lib.stamp_text = [&](const std::uint8_t* stamp) -> std::string {
        stamps_seen.push_back(stamp[0] << 24 | stamp[1] << 16 | stamp[2] << 8 | stamp[3]);
        switch (stamp[3]) {
            case 1:
                return "08:15:00   03/14/26";
            case 2:
                return "11:59:59 PM12/31/99";
            case 3:
                return "xx         02/30/26";
            default:
                return "00:00:01   01/01/30";
        }
    };
    clicker.open_clicker();

    EXPECT_EQ(stamps_seen, (std::vector<int>{1, 2, 3, 4}));
    ASSERT_TRUE(barcodes_of(clicker) && types_of(clicker) && times_of(clicker));
    EXPECT_EQ(*barcodes_of(clicker),
              (std::vector<std::u16string>{u"", u"4006381333931", u"", u"\u00E9\u20AC~", from_utf8(longest)}));
    EXPECT_EQ(*types_of(clicker), (std::vector<std::optional<std::int16_t>>{std::nullopt, 1, 255, 32, 7}));
    EXPECT_EQ(*times_of(clicker), (std::vector<double>{0, at(2026, 3, 14, 8, 15), at(2099, 12, 31, 23, 59, 59),
                                                       at(2001, 1, 1), at(2030, 1, 1, 0, 0, 1)}));
}

TEST_F(OpenClicker, StampTextBufferCarriesOverBetweenPackets) {
    scanner_on(0, {ScriptedCSP2::packet(1, "a", {0, 0, 0, 1}), ScriptedCSP2::packet(1, "b", {0, 0, 0, 2}),
                   ScriptedCSP2::packet(1, "c", {0, 0, 0, 3}), ScriptedCSP2::packet(1, "d", {0, 0, 0, 4})});
    lib.stamp_text = [](const std::uint8_t* stamp) -> std::string {
        switch (stamp[3]) {
            case 1:
                return "14:30:63   12/06/26";  // seconds masked to 00 in the buffer
            case 2:
                return "9";  // 94:30:00, no time of day
            case 3:
                return "15:63";  // 15:63:00 left from before, the new 63 masked
            default:
                return "13:00";
        }
    };
    clicker.open_clicker();
    ASSERT_TRUE(times_of(clicker));
    EXPECT_EQ(*times_of(clicker), (std::vector<double>{0, at(2026, 12, 6, 14, 30), at(2026, 12, 6),
                                                       at(2026, 12, 6, 15, 0, 0), at(2026, 12, 6, 13, 0, 0)}));
}

// The text behind each scan time is kept as the library left it in the buffer, before masking, cut
// at its first NUL; an unreadable one too, whose scan time is the fallback.
TEST_F(OpenClicker, StampTextsAreKeptAsTheLibraryGaveThem) {
    scanner_on(0, {ScriptedCSP2::packet(1, "a", {0, 0, 0, 1}), ScriptedCSP2::packet(1, "b", {0, 0, 0, 2}),
                   ScriptedCSP2::packet(1, "c", {0, 0, 0, 3}), ScriptedCSP2::packet(1, "d", {0, 0, 0, 4})});
    lib.stamp_text = [](const std::uint8_t* stamp) -> std::string {
        switch (stamp[3]) {
            case 1:
                return "14:30:63   12/06/26";
            case 2:
                return std::string("9\0", 2);  // a terminated text over the stale one
            case 3:
                return "xx         02/30/26";
            default:
                return "13:00";
        }
    };
    clicker.open_clicker();
    EXPECT_EQ(*stamp_texts_of(clicker), (std::vector<std::u16string>{u"", u"14:30:63   12/06/26", u"9",
                                                                     u"xx         02/30/26", u"13:00      02/30/26"}));
    EXPECT_EQ(times_of(clicker)->at(3), at(2001, 1, 1));
    EXPECT_EQ(*testing::download_column(clicker, &DownloadedBarcode::stamp_read),
              (std::vector<bool>{false, true, true, false, false}))
        << "items 3 and 4 hold no calendar date";
}

class RecordingObserver : public DownloadObserver {
public:
    std::vector<std::pair<int, int>> seen;
    void on_barcode(int index, int count) override { seen.emplace_back(index, count); }
};

TEST_F(OpenClicker, FailingPacketEndsTheDownloadAndKeepsTheCount) {
    RecordingObserver observer;
    clicker.set_download_observer(&observer);
    scanner_on(0, {ScriptedCSP2::packet(1, "a"), ScriptedCSP2::packet(2, "b"), ScriptedCSP2::packet(3, "c"),
                   ScriptedCSP2::packet(4, "d")});
    lib.fail_packet_from = 2;
    lib.clock_value = std::array<std::uint8_t, 6>{5, 4, 3, 2, 1, 26};
    clicker.open_clicker();

    EXPECT_EQ(clicker.num_barcodes(), 4);
    EXPECT_EQ(*barcodes_of(clicker), (std::vector<std::u16string>{u"", u"a", u"b", u"", u""}));
    EXPECT_EQ(*types_of(clicker), (std::vector<std::optional<std::int16_t>>{std::nullopt, 1, 2, {}, {}}));
    EXPECT_EQ(times_of(clicker)->at(3), 0.0);
    EXPECT_EQ(times_of(clicker)->at(4), 0.0);
    EXPECT_EQ(observer.seen, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}}));
    EXPECT_EQ(to_utf8(clicker.clock_text()), "050403020126");
    EXPECT_FALSE(lib.port_open);
    // Packet 3 was asked for once; packet 4 never.
    EXPECT_EQ(std::count(lib.calls.begin(), lib.calls.end(), "csp2GetPacket(2,500)"), 1);
    EXPECT_EQ(std::count(lib.calls.begin(), lib.calls.end(), "csp2GetPacket(3,500)"), 0);
}

// What the library wrote counts, not what it said: a packet reported as read but not written (the
// buffer still holds the packet before), or one whose returned length is not its own, ends the
// download there like a failed one. A result of 0 gives no length and is taken with the packet.
struct PacketResultCase {
    const char* name;
    std::map<std::int32_t, std::int32_t> results;
    std::optional<Bytes> second;  // what the library writes for packet 2; "bb" when not given
    std::vector<std::u16string> barcodes;
};

class PacketResult : public OpenClicker, public ::testing::WithParamInterface<PacketResultCase> {};

TEST_P(PacketResult, OnlyAWrittenPacketOfItsOwnLengthIsABarcode) {
    const PacketResultCase& c = GetParam();
    scanner_on(0, {ScriptedCSP2::packet(1, "a"), c.second.value_or(ScriptedCSP2::packet(2, "bb")),
                   ScriptedCSP2::packet(3, "c")});
    lib.packet_results = c.results;
    clicker.open_clicker();
    EXPECT_EQ(*barcodes_of(clicker), c.barcodes);
    EXPECT_EQ(types_of(clicker)->at(2).has_value(), c.barcodes[2] == u"bb");
}

INSTANTIATE_TEST_SUITE_P(
    OpenClicker, PacketResult,
    ::testing::Values(PacketResultCase{"SuccessWithoutWriting", {{1, 10}}, Bytes{}, {u"", u"a", u"", u""}},
                      PacketResultCase{"ZeroWithoutWriting", {{1, 0}}, Bytes{}, {u"", u"a", u"", u""}},
                      PacketResultCase{"LengthByteZero", {{1, 2}}, Bytes{0, 9}, {u"", u"a", u"", u""}},
                      PacketResultCase{"LengthWithoutTheLengthByte", {{1, 7}}, std::nullopt, {u"", u"a", u"", u""}},
                      PacketResultCase{"LengthBeyondThePacket", {{1, 9}}, std::nullopt, {u"", u"a", u"", u""}},
                      PacketResultCase{
                          "ZeroWithThePacket", {{0, 0}, {1, 0}, {2, 0}}, std::nullopt, {u"", u"a", u"bb", u"c"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenClicker, EmptyScannerKeepsTheListsAndRefreshesTheClock) {
    earlier_download();
    scanner_on(7, {});
    lib.device_id = Bytes{0xAA};
    lib.clock_value = std::array<std::uint8_t, 6>{9, 9, 9, 9, 9, 9};
    clicker.open_clicker();
    EXPECT_TRUE(clicker.open_ok());
    EXPECT_EQ(clicker.num_barcodes(), 0);
    EXPECT_EQ(*barcodes_of(clicker), (std::vector<std::u16string>{u"", u"OLD"}));
    EXPECT_EQ(serial(), "AA00000000000000");
    EXPECT_EQ(to_utf8(clicker.clock_text()), "090909090909");
    EXPECT_EQ(pause.count, 1);
}

TEST_F(OpenClicker, SerialNumberAndClockSnapshot) {
    struct Case {
        std::optional<Bytes> id;
        std::optional<std::array<std::uint8_t, 6>> clock;
        std::string serial, clock_text;
        char16_t flag;
    };
    const Case cases[] = {
        {Bytes{0x01, 0xAB, 0x00, 0x10, 0xFF, 0x07, 0xC0, 0xDE, 0x99},
         std::array<std::uint8_t, 6>{255, 59, 23, 31, 12, 26}, "01AB0010FF07C0DE", "005923311226", u'L'},
        // Buffers the library leaves untouched.
        {std::nullopt, std::nullopt, "0000000000000000", "000000000000", u'H'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serial);
        lib = ScriptedCSP2();
        scanner_on(0, {});
        lib.device_id = c.id;
        lib.clock_value = c.clock;
        clicker.open_clicker();
        EXPECT_EQ(serial(), c.serial);
        EXPECT_EQ(to_utf8(clicker.clock_text()), c.clock_text);
        EXPECT_EQ(clicker.clock_flag(), c.flag);
    }
}

TEST_F(OpenClicker, ErrorsAfterThePortOpenedReleaseItAndKeepTheNumber) {
    struct Case {
        const char* name;
        Variant start;
        std::int32_t count;
        Bytes packet;
        std::string stamp_text;
        int error;
        std::string log;
        bool open_flag;
        int port_no;
    };
    const Bytes short_packet = {4, 9, 1, 2, 3};
    const std::string ok_stamp = "14:30:05   12/06/26";
    const std::string found = "OPOK" + segment(1, 0, 0);
    const std::vector<Case> cases = {
        {"count above 16 bits", Variant::integer(1), 40000, {}, ok_stamp, err::overflow, segment(1, 0, 0), false, 999},
        {"count below 16 bits", Variant::integer(1), -32769, {}, ok_stamp, err::overflow, segment(1, 0, 0), false, 999},
        {"port above 16 bits",
         Variant::long_(40000),
         0,
         {},
         ok_stamp,
         err::overflow,
         "OPOK" + segment(40000, 0, 0) + acceptance(0, 0),
         false,
         999},
        {"packet shorter than its fields", Variant::integer(1), 1, short_packet, ok_stamp, err::invalid_call,
         found + acceptance(0, 1), true, 1},
        {"packet of one byte", Variant::integer(1), 1, Bytes{1, 9}, ok_stamp, err::invalid_call,
         found + acceptance(0, 1), true, 1},
        {"stamp text without a date", Variant::integer(1), 1, ScriptedCSP2::packet(9, "XY"), "14:30:05",
         err::invalid_call, found + acceptance(0, 1), true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        earlier_download();
        lib.init_results[to_long(c.start)] = 0;
        lib.read_data_default = c.count;
        if (!c.packet.empty()) lib.packets = {c.packet};
        lib.stamp_text = [&](const std::uint8_t*) { return c.stamp_text; };
        clicker.let_startport(c.start);

        EXPECT_EQ(open_error(), c.error);
        EXPECT_FALSE(lib.port_open);
        EXPECT_EQ(lib.calls.back(), "csp2Restore()");
        EXPECT_EQ(lib.restores, 1);
        EXPECT_EQ(log(), c.log);
        EXPECT_EQ(clicker.open_ok(), c.open_flag);
        EXPECT_EQ(clicker.comport(), c.port_no);
        EXPECT_EQ(pause.count, 0);
        EXPECT_EQ(to_utf8(clicker.clock_text()), "010203040506");
        if (c.error == err::overflow && c.count != 0) {
            EXPECT_EQ(clicker.num_barcodes(), 1);  // the earlier count
        }
        if (c.error == err::invalid_call) {
            // The fields of barcode 1 written before the error stay; its time is still empty.
            EXPECT_EQ(types_of(clicker)->at(1), std::optional<std::int16_t>(9));
            EXPECT_EQ(barcodes_of(clicker)->at(1), c.packet.size() > 6 ? u"XY" : u"");
            EXPECT_EQ(times_of(clicker)->at(1), 0.0);
        }
    }
}

TEST_F(OpenClicker, ErrorWhileNoPortIsOpenReleasesNothing) {
    // The first port opens and is rejected; the next port number does not fit 32 bits.
    clicker.let_startport(Variant::long_(2147483647));
    lib.init_results[2147483647] = 0;
    lib.status_default = -1;
    EXPECT_EQ(open_error(), err::overflow);
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"csp2Init(2147483647)", "csp2ReadData()", "csp2GetSystemStatus()",
                                                   "csp2Restore()"}));
    EXPECT_EQ(log(), segment(2147483647, 0, 0) + acceptance(-1, 0));
}

TEST_F(OpenClicker, CloseClickerOnlyReleasesThePort) {
    earlier_download();
    const std::string before = log();
    clicker.close_clicker();
    clicker.close_clicker();
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"csp2Restore()", "csp2Restore()"}));
    EXPECT_EQ(log(), before);
    EXPECT_EQ(clicker.comport(), 7);
    EXPECT_TRUE(clicker.open_ok());
    expect_earlier_download_kept();
}

}  // namespace
}  // namespace harrowtally
