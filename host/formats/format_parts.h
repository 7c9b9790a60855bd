#pragma once
// The writer and the reader of each format, and what the readers share; only the formats' own
// files and download_format.cpp use these.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/formats/download_format.h"

namespace harrowtally::host::formats {

// A reader's complaint, ending the read; what() says why.
struct Malformed : std::runtime_error {
    explicit Malformed(const std::string& why) : std::runtime_error(why) {}
};

// `each` asked to stop.
struct Stopped : std::exception {
    const char* what() const noexcept override { return "the reading was stopped"; }
};

// Hands a barcode on, counting it; throws Stopped when `each` asks to stop.
class Handing {
public:
    Handing(const EachSavedBarcode& each, ReadBack& back) : each_(each), back_(back) {}
    void operator()(const SavedBarcode& b) {
        ++back_.barcodes;
        if (!each_(b)) throw Stopped{};
    }

private:
    const EachSavedBarcode& each_;
    ReadBack& back_;
};

// A whole number written in decimal, a sign allowed; nullopt otherwise.
std::optional<std::int32_t> decimal(std::string_view text);
// ASCII text narrowed to bytes; any other character as '?'.
std::string narrow(std::u16string_view ascii_text);
bool all_blank(std::u16string_view s);
bool all_digits(std::u16string_view s);
// A whole number written in decimal digits only; -1 otherwise.
std::int32_t item_number(std::u16string_view s);

// The writers and readers; each reader throws Malformed and lets Stopped through.
std::string table_text(const Clicker& clicker);
std::string record_text(std::u16string_view record);
void read_record(std::string_view text, SavedHeader& header, Handing& hand);
std::string csv_text(const Clicker& clicker, int first_item);
void read_csv(std::string_view text, SavedHeader& header, Handing& hand);
std::string json_text(const Clicker& clicker, int first_item);
void read_json(std::string_view text, SavedHeader& header, Handing& hand);
std::string xlsx_bytes(const Clicker& clicker, int first_item);
void read_xlsx(std::string_view bytes, SavedHeader& header, Handing& hand);

}  // namespace harrowtally::host::formats
