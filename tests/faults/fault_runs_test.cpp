// Every fault switch of the simulated scanner on every member that talks to the scanner, through the
// real loader: the outcome each member must give, and a port released on every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "faults/fault_run.h"

namespace harrowtally::fault_test {
namespace {

// The scanner of every run: port 5, three barcodes, parameter 7 changed from its default 3.
const std::string kScanner =
    "port = 5\n"
    "device_id = 00 1F A4 3C 90 0B 77 E1\n"
    "sw_version = SIM 2.14\n"
    "system_status = 0\n"
    "protocol = 1\n"
    "ascii_mode = 1\n"
    "rtc_mode = 1\n"
    "clock_offset = 0\n"
    "param 7 = 42\n"
    "barcode = EAN-13 2026-12-04 08:14:03 4006381333931\n"
    "barcode = UPC-A 2026-12-04 08:15:40 036000291452\n"
    "barcode = Code39 2026-12-04 09:02:17 LOT 2026/11Z\n";

const std::string kUntouched = "barcodes=3 p5=1 p7=42 p12=0";
const std::string kEmptied = "barcodes=0 p5=1 p7=42 p12=0";
const std::string kReconfigured = "barcodes=0 p5=3 p7=3 p12=2";  // the set below on the defaults
// An EmptyScanner that returned without erasing does not stop reset_params.
const std::string kSetButNotErased = "barcodes=3 p5=3 p7=3 p12=2";

const std::string kSerial = "001FA43C900B77E1";
const std::string kBarcodes = "4006381333931,036000291452,LOT 2026/11Z";
const std::string kVersion = "SIM 2.14\\x00\\x00";
const std::string kNoVersion = [] {
    std::string zeros;
    for (int i = 0; i < 10; ++i) zeros += "\\x00";
    return zeros;
}();
const std::string kOpened = "OPOK:05093015*0*0*3";
const std::string kErased = "CLOK:01:OPOK:05093015*0:0";

// Export record pieces: the header up to the count, and one item.
std::string header(const std::string& serial, const std::string& clock, const std::string& count) {
    return "V01" + serial + clock + count;
}
std::string item(const std::string& number, const std::string& barcode, const std::string& type,
                 const std::string& time) {
    return number + barcode + std::string(13 - barcode.size(), ' ') + type + time;
}
const std::string kLiveClock = "H############";
// Before any scanner was found: no serial, and no clock flag or clock text.
const std::string kNoSerial(16, ' '), kNoClock(13, ' ');
const std::string kItem1 = item("001", "4006381333931", "13", "20261204081403");
const std::string kItem2 = item("002", "036000291452", "12", "20261204081540");
const std::string kItem3 = item("003", "LOT 2026/11Z", "39", "20261204090217");
const std::string kRecord = header(kSerial, kLiveClock, "0003") + kItem1 + kItem2 + kItem3;
std::string empty_item(const std::string& number) {
    return number + std::string(13 + 2 + 14, ' ');
}

// The trace of a search from port 5 that found no scanner: ports 5 to 15, then 0 to 4, each with
// what it added after its "*"; ports not named answered `others`.
std::string no_scanner(const std::map<int, std::string>& results, const std::string& others = "-1") {
    std::string trace = "OPNC";
    for (int i = 0; i < 16; ++i) {
        const int port = (5 + i) % 16;
        const auto it = results.find(port);
        char segment[16];
        std::snprintf(segment, sizeof segment, ":%02d093015*", port);
        trace += segment + (it != results.end() ? it->second : others);
    }
    return trace;
}

const Member kMembers[] = {
    {"open_clicker", nullptr,
     [](Clicker& c) {
         c.open_clicker();
         return std::string();
     }},
    {"alldata", nullptr,
     [](Clicker& c) {
         std::u16string record = c.alldata().as_string();
         // The clock field runs with the scanner's clock.
         if (record.size() >= 32 && live_clock(std::u16string_view(record).substr(20, 12))) {
             std::fill(record.begin() + 20, record.begin() + 32, u'#');
         }
         return printable(record);
     }},
    {"EmptyScanner", nullptr,
     [](Clicker& c) {
         c.EmptyScanner();
         return std::string();
     }},
    {"EmptyScanner with a clock", [](Clicker& c) { c.pnewdatetime(u"051710061226"); },
     [](Clicker& c) {
         c.EmptyScanner();
         return std::string();
     }},
    {"EmptyScanner with a bad clock", [](Clicker& c) { c.pnewdatetime(u"05-1"); },
     [](Clicker& c) {
         c.EmptyScanner();
         return std::string();
     }},
    {"getdate", nullptr,
     [](Clicker& c) {
         c.getdate();
         return std::string();
     }},
    {"setdate", nullptr,
     [](Clicker& c) {
         c.setdate();
         return std::string();
     }},
    {"reset_params", [](Clicker& c) { c.newparams(Variant::string(u"0205031202")); },
     [](Clicker& c) {
         c.reset_params();
         return std::string();
     }},
    {"reset_params with a set too short for its count", [](Clicker& c) { c.newparams(Variant::string(u"0305031202")); },
     [](Clicker& c) {
         c.reset_params();
         return std::string();
     }},
    {"showparams", [](Clicker& c) { c.cur_clicker_params(Variant::string(u"020507")); },
     [](Clicker& c) { return printable(c.showparams().as_string()); }},
    {"SwVersion", nullptr, [](Clicker& c) { return printable(c.SwVersion().as_string()); }},
    {"close_clicker", nullptr,
     [](Clicker& c) {
         c.close_clicker();
         return std::string();
     }},
};

// setdate talks to port 0 whatever startport says, so its scanner sits there.
std::string scanner_for(const Member& member, const std::string& switch_lines) {
    return kScanner + (member.name == "setdate" ? "port = 0\n" : "") + switch_lines;
}

// What each member gives on a sound scanner, and the library calls it makes.
struct Healthy {
    Outcome outcome;
    std::vector<std::string> journal;
};

const std::vector<std::string> kOpenCalls = {
    "csp2Init(5)=0",
    "csp2ReadData()=3",
    "csp2GetSystemStatus()=0",
    "csp2GetDeviceId(buf,9)=0",
    "csp2GetPacket(buf,0,500)=19",
    "csp2TimeStamp2Str(8383086B,buf,30)=0",
    "csp2GetPacket(buf,1,500)=18",
    "csp2TimeStamp2Str(E883086B,buf,30)=0",
    "csp2GetPacket(buf,2,500)=18",
    "csp2TimeStamp2Str(9190086B,buf,30)=0",
    "csp2WakeUp()=0",
    "csp2GetTime(buf)=0",
    "csp2PowerDown()=0",
    "csp2Restore()=0",
};
const std::vector<std::string> kOpening = {"csp2Init(5)=0", "csp2ReadData()=3", "csp2GetSystemStatus()=0"};

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}
std::vector<std::string> connection(const std::string& port, const std::vector<std::string>& inside) {
    return concat({{"csp2Init(" + port + ")=0", "csp2WakeUp()=0", "csp2Interrogate()=0"},
                   inside,
                   {"csp2PowerDown()=0", "csp2Restore()=0"}});
}

const std::map<std::string, Healthy>& healthy() {
    const Outcome fresh{.clock = "none", .barcodes = "-", .device = kUntouched};
    static const std::map<std::string, Healthy> table = [&] {
        std::map<std::string, Healthy> t;
        Outcome opened = fresh;
        opened.log = kOpened;
        opened.open_ok = true;
        opened.num_barcodes = 3;
        opened.comport = 5;
        opened.serial = kSerial;
        opened.clock = "H:live";
        opened.barcodes = kBarcodes;
        t["open_clicker"] = {opened, kOpenCalls};
        opened.value = kRecord;
        t["alldata"] = {opened, kOpenCalls};

        Outcome erased = fresh;
        erased.log = kErased;
        erased.open_ok = erased.empty_ok = true;
        erased.num_barcodes = 3;
        erased.device = kEmptied;
        t["EmptyScanner"] = {erased, concat({kOpening, {"csp2ClearData()=0", "csp2Restore()=0"}})};
        t["EmptyScanner with a clock"] = {
            erased, concat({kOpening,
                            {"csp2WakeUp()=0", "csp2SetTime(05110A060C1A)=0", "csp2PowerDown()=0", "csp2ClearData()=0",
                             "csp2Restore()=0"}})};
        Outcome refused = erased;
        refused.error = 5;
        refused.log = "OPOK:05093015*0";
        refused.empty_ok = false;
        refused.device = kUntouched;
        t["EmptyScanner with a bad clock"] = {refused, concat({kOpening, {"csp2Restore()=0"}})};

        Outcome dated = fresh;
        dated.clock = "H:live";
        t["getdate"] = {
            dated, {"csp2Init(5)=0", "csp2WakeUp()=0", "csp2GetTime(buf)=0", "csp2PowerDown()=0", "csp2Restore()=0"}};
        t["setdate"] = {
            fresh,
            {"csp2Init(0)=0", "csp2WakeUp()=0", "csp2SetTime(051E0E060C1A)=0", "csp2PowerDown()=0", "csp2Restore()=0"}};

        Outcome reset = erased;
        reset.device = kReconfigured;
        t["reset_params"] = {reset, concat({t["EmptyScanner"].journal, connection("5", {"csp2SetDefaults()=0"}),
                                            connection("5", {"csp2SetParam(5,0300,2)=0"}),
                                            connection("5", {"csp2SetParam(12,0200,2)=0"})})};

        // A set that cannot be applied is refused before the scanner is touched.
        Outcome refused_set = fresh;
        refused_set.error = 5;
        t["reset_params with a set too short for its count"] = {refused_set, {}};

        Outcome report = fresh;
        report.value = "0205010742:0x1:0x0:" + kVersion + ":0x1:0x1";
        t["showparams"] = {
            report,
            concat({connection("5", {"csp2GetParam(5,buf,10)=0"}), connection("5", {"csp2GetParam(7,buf,10)=0"}),
                    connection("5", {"csp2GetProtocol()=1", "csp2GetSystemStatus()=0", "csp2GetSwVersion(buf,10)=0",
                                     "csp2GetASCIIMode()=1", "csp2GetRTCMode()=1"})})};
        Outcome version = fresh;
        version.value = kVersion;
        t["SwVersion"] = {version, {"csp2GetSwVersion(buf,10)=0"}};
        t["close_clicker"] = {fresh, {"csp2Restore()=0"}};
        return t;
    }();
    return table;
}

// How a fault changes a member's outcome from the sound one; fields not given stay as they were.
struct Expect {
    std::optional<int> error{};
    std::optional<std::string> log{};
    std::optional<bool> open_ok{}, empty_ok{};
    std::optional<int> num_barcodes{}, comport{};
    std::optional<std::string> serial{}, clock{}, value{}, barcodes{}, device{};

    void apply(Outcome& o) const {
        o.error = error.value_or(o.error);
        o.log = log.value_or(o.log);
        o.open_ok = open_ok.value_or(o.open_ok);
        o.empty_ok = empty_ok.value_or(o.empty_ok);
        o.num_barcodes = num_barcodes.value_or(o.num_barcodes);
        o.comport = comport.value_or(o.comport);
        o.serial = serial.value_or(o.serial);
        o.clock = clock.value_or(o.clock);
        o.value = value.value_or(o.value);
        o.barcodes = barcodes.value_or(o.barcodes);
        o.device = device.value_or(o.device);
    }
};

struct Row {
    std::string switch_lines;
    std::vector<std::string> members;
    Expect expect;
};

std::string failing(const std::string& function) {
    return "fault_calls = " + function + "\n";
}

const std::string kNoScanner = "port = none\n";
const std::string kUndocked = "docked = no\n";
const std::string kOtherPortsBusy = "busy_ports = 3 7\n";
const std::string kOwnPortBusy = "busy_ports = 0 5\n";  // 0 is setdate's port
const std::string kBadStatus = "system_status = -3\n";
const std::string kNegativeCount = "fault_count = -2\n";
const std::string kCountBeyondPackets = "fault_count = 5\n";
const std::string kCountAbove16Bits = "fault_count = 40000\n";
const std::string kCountBelow16Bits = "fault_count = -40000\n";
const std::string kPacketFails = "fault_packet_at = 2\n";
const std::string kPacketUnwritten = "fault_packet_unwritten_at = 2\n";
const std::string kNoSlash = "fault_stamp_text = no_slash\n";
const std::string kOneSlash = "fault_stamp_text = one_slash\n";
const std::string kEarlySlash = "fault_stamp_text = early_slash\n";
const std::string kBadDate = "fault_stamp_text = bad_date\n";
const std::string kTwoEraseFailures = "fault_erase_failures = 2\n";
const std::string kEraseFails = "fault_erase_failures = always\n";
const std::string kClockLost = "clock_lost = yes\n";

const std::vector<std::string> kLibraryFunctions = {
    "csp2Init",      "csp2Restore",     "csp2WakeUp",        "csp2Interrogate", "csp2PowerDown",
    "csp2ReadData",  "csp2GetPacket",   "csp2TimeStamp2Str", "csp2GetDeviceId", "csp2GetSystemStatus",
    "csp2ClearData", "csp2GetTime",     "csp2SetTime",       "csp2SetDefaults", "csp2GetParam",
    "csp2SetParam",  "csp2GetProtocol", "csp2GetASCIIMode",  "csp2GetRTCMode",  "csp2GetSwVersion",
};

std::vector<std::string> switch_settings() {
    std::vector<std::string> all = {
        kNoScanner,        kOtherPortsBusy,   kOwnPortBusy, kBadStatus,        kNegativeCount, kCountBeyondPackets,
        kCountAbove16Bits, kCountBelow16Bits, kPacketFails, kNoSlash,          kOneSlash,      kEarlySlash,
        kUndocked,         kPacketUnwritten,  kBadDate,     kTwoEraseFailures, kEraseFails,    kClockLost,
    };
    for (const auto& f : kLibraryFunctions) all.push_back(failing(f));
    return all;
}

const std::vector<std::string> kDownloading = {"open_clicker", "alldata"};
const std::vector<std::string> kEmptying = {"EmptyScanner", "EmptyScanner with a clock",
                                            "EmptyScanner with a bad clock", "reset_params"};
const std::vector<std::string> kErasing = {"EmptyScanner", "EmptyScanner with a clock", "reset_params"};

// A search that accepted no port.
Expect not_found(const std::string& trace, int count) {
    return {.log = trace,
            .open_ok = false,
            .num_barcodes = count,
            .comport = 999,
            .serial = "",
            .clock = "none",
            .barcodes = "-"};
}
// The record of a Clicker that never found the scanner: no serial and no clock yet.
std::string empty_record(const std::string& count) {
    return header(kNoSerial, kNoClock, count);
}
Expect port_not_opened(const std::string& init) {
    return {.error = 0,
            .log = "OPNP:05093015*" + init,
            .open_ok = false,
            .empty_ok = false,
            .num_barcodes = 0,
            .device = kUntouched};
}
Expect answered_badly(const std::string& count_shown, int count) {
    return {.error = 0,
            .log = "OPNG:05093015*0*" + count_shown,
            .open_ok = false,
            .empty_ok = false,
            .num_barcodes = count,
            .device = kUntouched};
}
// A runtime error after csp2Init opened the port.
Expect ended_by(int error, const std::string& log) {
    return {.error = error,
            .log = log,
            .open_ok = false,
            .empty_ok = false,
            .num_barcodes = 0,
            .value = "",
            .device = kUntouched};
}
std::string report(const std::string& entries, const std::string& protocol, const std::string& status,
                   const std::string& version, const std::string& ascii, const std::string& rtc) {
    return "02" + entries + ":" + protocol + ":" + status + ":" + version + ":" + ascii + ":" + rtc;
}
const std::string kReportWithoutScanner = report("05000700", "0x??", "0x????", kVersion, "0x????", "0x????");
const std::string kAllErasesFail = "OPOK:05093015*0:-8:0*3:-8:0*3:-8:0*3:-8:0*3:-8:0*3";
const std::string kAlreadyErased = "CLOK:03:OPOK:05093015*0:-8:0*3:-8:0*3:0";
const std::string kStoppedClock = "H:000000000000";

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        // No scanner on any port, or the scanner's port busy: nothing opens, nothing is changed.
        {kNoScanner, kDownloading, not_found(no_scanner({}), 0)},
        {kNoScanner, {"alldata"}, {.value = empty_record("0000")}},
        {kNoScanner, kEmptying, port_not_opened("-1")},
        {kNoScanner, {"getdate"}, {.clock = kStoppedClock}},
        {kNoScanner, {"showparams"}, {.value = kReportWithoutScanner}},
        // Out of its cradle, the scanner answers as if there were none.
        {kUndocked, kDownloading, not_found(no_scanner({}), 0)},
        {kUndocked, {"alldata"}, {.value = empty_record("0000")}},
        {kUndocked, kEmptying, port_not_opened("-1")},
        {kUndocked, {"getdate"}, {.clock = kStoppedClock}},
        {kUndocked, {"showparams"}, {.value = kReportWithoutScanner}},
        {kOwnPortBusy, kDownloading, not_found(no_scanner({{5, "-2"}, {0, "-2"}}), 0)},
        {kOwnPortBusy, {"alldata"}, {.value = empty_record("0000")}},
        {kOwnPortBusy, kEmptying, port_not_opened("-2")},
        {kOwnPortBusy, {"getdate"}, {.clock = kStoppedClock}},
        {kOwnPortBusy, {"showparams"}, {.value = kReportWithoutScanner}},
        {failing("csp2Init"), kDownloading, not_found(no_scanner({}, "-8"), 0)},
        {failing("csp2Init"), {"alldata"}, {.value = empty_record("0000")}},
        {failing("csp2Init"), kEmptying, port_not_opened("-8")},
        {failing("csp2Init"), {"getdate"}, {.clock = kStoppedClock}},
        {failing("csp2Init"), {"showparams"}, {.value = kReportWithoutScanner}},

        // A scanner that answers badly is released and the search goes on; its count stays, and a
        // count without lists fails the record with 9.
        {kBadStatus, kDownloading, not_found(no_scanner({{5, "0*-3*3"}}), 3)},
        {kBadStatus, {"alldata"}, {.error = 9, .value = ""}},
        {kBadStatus, kEmptying, answered_badly("3", 3)},
        {kBadStatus, {"reset_params"}, {.device = kSetButNotErased}},
        {kBadStatus, {"showparams"}, {.value = report("05010742", "0x1", "0x????", kVersion, "0x1", "0x1")}},
        {failing("csp2GetSystemStatus"), kDownloading, not_found(no_scanner({{5, "0*-8*3"}}), 3)},
        {failing("csp2GetSystemStatus"), {"alldata"}, {.error = 9, .value = ""}},
        {failing("csp2GetSystemStatus"), kEmptying, answered_badly("3", 3)},
        {failing("csp2GetSystemStatus"), {"reset_params"}, {.device = kSetButNotErased}},
        {failing("csp2GetSystemStatus"),
         {"showparams"},
         {.value = report("05010742", "0x1", "0x????", kVersion, "0x1", "0x1")}},
        {kNegativeCount, kDownloading, not_found(no_scanner({{5, "0*0*-2"}}), -2)},
        {kNegativeCount, {"alldata"}, {.value = empty_record("-0002")}},
        {kNegativeCount, kEmptying, answered_badly("-2", -2)},
        {kNegativeCount, {"reset_params"}, {.device = kSetButNotErased}},
        {failing("csp2ReadData"), kDownloading, not_found(no_scanner({{5, "0*0*-8"}}), -8)},
        {failing("csp2ReadData"), {"alldata"}, {.value = empty_record("-0008")}},
        {failing("csp2ReadData"), kEmptying, answered_badly("-8", -8)},
        {failing("csp2ReadData"), {"reset_params"}, {.device = kSetButNotErased}},

        // A count outside 16 bits ends the member with 6 and the port released.
        {kCountAbove16Bits, kDownloading, ended_by(6, ":05093015*0")},
        {kCountAbove16Bits, kDownloading, not_found(":05093015*0", 0)},
        {kCountAbove16Bits, kEmptying, ended_by(6, ":05093015*0")},
        {kCountBelow16Bits, kDownloading, ended_by(6, ":05093015*0")},
        {kCountBelow16Bits, kDownloading, not_found(":05093015*0", 0)},
        {kCountBelow16Bits, kEmptying, ended_by(6, ":05093015*0")},

        // Packets missing: the elements stay empty, the count stays.
        {kCountBeyondPackets,
         kDownloading,
         {.log = "OPOK:05093015*0*0*5", .num_barcodes = 5, .barcodes = kBarcodes + ",,"}},
        {kCountBeyondPackets,
         {"alldata"},
         {.value =
              header(kSerial, kLiveClock, "0005") + kItem1 + kItem2 + kItem3 + empty_item("004") + empty_item("005")}},
        {kCountBeyondPackets, kEmptying, {.num_barcodes = 5}},
        {kPacketFails, kDownloading, {.barcodes = "4006381333931,,"}},
        // A packet reported but not written is no copy of the one before: unread, like a failed one.
        {kPacketUnwritten, kDownloading, {.barcodes = "4006381333931,,"}},
        {kPacketUnwritten,
         {"alldata"},
         {.value = header(kSerial, kLiveClock, "0003") + kItem1 + empty_item("002") + empty_item("003")}},
        {kPacketFails,
         {"alldata"},
         {.value = header(kSerial, kLiveClock, "0003") + kItem1 + empty_item("002") + empty_item("003")}},
        {failing("csp2GetPacket"), kDownloading, {.barcodes = ",,"}},
        {failing("csp2GetPacket"),
         {"alldata"},
         {.value = header(kSerial, kLiveClock, "0003") + empty_item("001") + empty_item("002") + empty_item("003")}},

        // A time-stamp text without its two slashes ends the download with 5 at the first barcode;
        // one without a calendar date gives 1 January 2001.
        {kNoSlash, kDownloading, {.error = 5, .clock = "none", .value = "", .barcodes = "4006381333931,,"}},
        {kOneSlash, kDownloading, {.error = 5, .clock = "none", .value = "", .barcodes = "4006381333931,,"}},
        {kEarlySlash, kDownloading, {.error = 5, .clock = "none", .value = "", .barcodes = "4006381333931,,"}},
        {failing("csp2TimeStamp2Str"),
         kDownloading,
         {.error = 5, .clock = "none", .value = "", .barcodes = "4006381333931,,"}},
        {kBadDate,
         {"alldata"},
         {.value = header(kSerial, kLiveClock, "0003") + item("001", "4006381333931", "13", "20010101000000") +
                   item("002", "036000291452", "12", "20010101000000") +
                   item("003", "LOT 2026/11Z", "39", "20010101000000")}},

        // What the download reads besides the packets.
        {failing("csp2GetDeviceId"), kDownloading, {.serial = "0000000000000000"}},
        {failing("csp2GetDeviceId"),
         {"alldata"},
         {.value = header("0000000000000000", kLiveClock, "0003") + kItem1 + kItem2 + kItem3}},
        {failing("csp2GetTime"), {"open_clicker", "alldata", "getdate"}, {.clock = kStoppedClock}},
        {failing("csp2GetTime"),
         {"alldata"},
         {.value = header(kSerial, "H000000000000", "0003") + kItem1 + kItem2 + kItem3}},
        {kClockLost, {"open_clicker", "alldata", "getdate"}, {.clock = "L:002525252525"}},
        {kClockLost, {"alldata"}, {.value = header(kSerial, "L002525252525", "0003") + kItem1 + kItem2 + kItem3}},

        // Erasing: retried up to five times; the barcodes stay when every try fails.
        {kTwoEraseFailures, kErasing, {.log = kAlreadyErased}},
        {kEraseFails, kErasing, {.log = kAllErasesFail, .empty_ok = false, .device = kUntouched}},
        {kEraseFails, {"reset_params"}, {.device = kSetButNotErased}},
        {failing("csp2ClearData"), kErasing, {.log = kAllErasesFail, .empty_ok = false, .device = kUntouched}},
        {failing("csp2ClearData"), {"reset_params"}, {.device = kSetButNotErased}},

        // Parameters and the scanner information.
        {failing("csp2SetDefaults"), {"reset_params"}, {.device = "barcodes=0 p5=3 p7=42 p12=2"}},
        {failing("csp2SetParam"), {"reset_params"}, {.device = "barcodes=0 p5=1 p7=3 p12=0"}},
        {failing("csp2GetParam"), {"showparams"}, {.value = report("05000700", "0x1", "0x0", kVersion, "0x1", "0x1")}},
        {failing("csp2GetProtocol"),
         {"showparams"},
         {.value = report("05010742", "0x??", "0x0", kVersion, "0x1", "0x1")}},
        {failing("csp2GetASCIIMode"),
         {"showparams"},
         {.value = report("05010742", "0x1", "0x0", kVersion, "0x????", "0x1")}},
        {failing("csp2GetRTCMode"),
         {"showparams"},
         {.value = report("05010742", "0x1", "0x0", kVersion, "0x1", "0x????")}},
        {failing("csp2GetSwVersion"), {"SwVersion"}, {.value = kNoVersion}},
        {failing("csp2GetSwVersion"),
         {"showparams"},
         {.value = report("05010742", "0x1", "0x0", kNoVersion, "0x1", "0x1")}},
    };
    return table;
}

Outcome expected(const std::string& switch_lines, const Member& member) {
    Outcome o = healthy().at(member.name).outcome;
    for (const Row& row : rows()) {
        if (row.switch_lines != switch_lines) continue;
        if (std::find(row.members.begin(), row.members.end(), member.name) != row.members.end()) row.expect.apply(o);
    }
    return o;
}

bool opens_a_port(const Member& member) {
    const auto& calls = healthy().at(member.name).journal;
    return std::any_of(calls.begin(), calls.end(),
                       [](const std::string& c) { return c.starts_with("csp2Init(") && c.ends_with(")=0"); });
}

TEST(FaultRuns, SoundScannerGivesEveryMembersOutcomeAndCalls) {
    for (const Member& member : kMembers) {
        SCOPED_TRACE(member.name);
        const MemberRun run = run_member(member, scanner_for(member, ""));
        EXPECT_EQ(run.outcome, healthy().at(member.name).outcome);
        EXPECT_EQ(run.journal, healthy().at(member.name).journal);
    }
}

class FaultSwitch : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultSwitch, EveryMemberGivesItsOutcomeAndReleasesThePort) {
    const std::string& switch_lines = GetParam();
    const bool restore_fails = switch_lines == failing("csp2Restore");
    for (const Member& member : kMembers) {
        SCOPED_TRACE(member.name);
        const MemberRun run = run_member(member, scanner_for(member, switch_lines));
        EXPECT_EQ(run.outcome, expected(switch_lines, member));

        std::ostringstream journal;
        for (const auto& line : run.journal) journal << "\n  " << line;
        const Balance balance = check_balance(run.journal);
        EXPECT_EQ(balance.problems, std::vector<std::string>{}) << journal.str();
        // Only a csp2Restore that the switch itself makes fail may leave the port open.
        EXPECT_EQ(!balance.failed_restores.empty(), restore_fails && opens_a_port(member)) << journal.str();
    }
}

std::string test_name(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        if (c == '-') name += "minus";
        if (c == ' ' && !name.empty() && name.back() != '_') name += '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Switches, FaultSwitch, ::testing::ValuesIn(switch_settings()), test_name);

// Each switch of the simulator's documentation is among the settings above, every library function
// fails once, and every row names a setting and members that exist.
TEST(FaultRuns, SettingsCoverEverySwitchTheSimulatorDocuments) {
    std::ifstream doc(HARROWTALLY_SIM_DOC);
    std::set<std::string> documented;
    bool in_switches = false;
    for (std::string line; std::getline(doc, line);) {
        if (line.starts_with("## ")) in_switches = line == "## Fault switches";
        if (in_switches && line.starts_with("| `")) documented.insert(line.substr(3, line.find_first_of(" `", 3) - 3));
    }
    ASSERT_FALSE(documented.empty());
    std::set<std::string> used;
    for (const auto& s : switch_settings()) used.insert(s.substr(0, s.find(' ')));
    for (const auto& key : documented) EXPECT_TRUE(used.contains(key)) << key;

    const std::vector<std::string> settings = switch_settings();
    for (const Row& row : rows()) {
        EXPECT_NE(std::find(settings.begin(), settings.end(), row.switch_lines), settings.end()) << row.switch_lines;
        for (const auto& name : row.members) EXPECT_TRUE(healthy().contains(name)) << name;
    }
    std::cout << documented.size() << " switches in " << settings.size() << " settings, " << std::size(kMembers)
              << " members: " << settings.size() * std::size(kMembers) << " combinations\n";
}

}  // namespace
}  // namespace harrowtally::fault_test
