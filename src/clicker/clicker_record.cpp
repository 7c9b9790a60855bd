// alldata: a fresh download turned into the export record.
#include "clicker/clicker.h"
#include "clicker/export_record.h"

namespace harrowtally {

Variant Clicker::alldata() {
    open_clicker();
    return Variant::string(export_record());
}

std::u16string Clicker::export_record() const {
    const RecordHeader header{serial_text_, clock_flag_, clock_text_, barcode_count_};
    return build_export_record(header, download_);
}

}  // namespace harrowtally
