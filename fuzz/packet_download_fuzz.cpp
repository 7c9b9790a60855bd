// A download as the scanner library may deliver it: any packet bytes, any time-stamp text written
// over the stale contents of the last one. alldata either fails with error 5 and leaves the port
// released, or returns a record whose length follows from the fields it holds.
#include <algorithm>
#include <string>

#include "clicker/clicker.h"
#include "fuzz_input.h"
#include "support/scripted_csp2.h"

using namespace harrowtally;
using harrowtally::testing::Bytes;

namespace {

std::size_t digits(long long v) {
    return std::to_string(v < 0 ? -v : v).size() + (v < 0 ? 1 : 0);
}

// Length of the record from the state the download left.
std::size_t expected_length(const Clicker& c) {
    std::size_t n = 3 + 16 + 1 + 12 + std::max<std::size_t>(4, digits(c.num_barcodes()));
    const Download& download = *c.download();
    for (int k = 1; k <= c.num_barcodes(); ++k) {
        n += std::max<std::size_t>(3, digits(k));
        n += std::max<std::size_t>(13, download[static_cast<std::size_t>(k)].barcode.size());
        const auto& t = download[static_cast<std::size_t>(k)].type;
        n += t ? std::max<std::size_t>(2, digits(*t)) : 2;
        n += 14;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Layout of the input: a count 1 to 3, then per barcode a packet length byte, the packet, a text
    // length byte and the stamp text.
    if (size < 1) return 0;
    testing::ScriptedCSP2 library;
    testing::FakeClock clock;
    testing::CountingPause pause;
    library.init_results[0] = 0;
    const int count = 1 + data[0] % 3;
    library.read_data_default = count;
    library.device_id = Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9};
    library.clock_value = std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6};
    std::vector<std::string> texts;
    std::size_t pos = 1;
    for (int k = 0; k < count && pos < size; ++k) {
        const std::size_t wanted_packet = data[pos++];
        const std::size_t plen = std::min(wanted_packet, size - pos);
        library.packets.emplace_back(data + pos, data + pos + plen);
        pos += plen;
        std::size_t tlen = 0;
        if (pos < size) {
            const std::size_t wanted_text = data[pos++] % 31;
            tlen = std::min(wanted_text, size - pos);
        }
        texts.emplace_back(reinterpret_cast<const char*>(data + pos), tlen);
        pos += tlen;
    }
    std::size_t served = 0;
    library.stamp_text = [&](const std::uint8_t*) { return served < texts.size() ? texts[served++] : std::string(); };

    ScannerServices services;
    services.library = &library;
    services.clock = &clock;
    services.pause = &pause;
    Clicker clicker(services);
    try {
        const Variant record = clicker.alldata();
        fuzz::check(record.type() == VarType::String);
        fuzz::check(clicker.open_ok() && clicker.num_barcodes() == count);
        fuzz::check(record.as_string().size() == expected_length(clicker));
        fuzz::check(record.as_string().compare(0, 3, u"V01") == 0);
    } catch (const RuntimeError& e) {
        // A packet too short for its fields, or a stamp text without its two slashes.
        fuzz::expect_error(e, 5);
    }
    // Whatever happened, no port is left open.
    fuzz::check(!library.port_open);
    return 0;
}
