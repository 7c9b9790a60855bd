// alldata: a fresh download turned into the export record.
#include "clicker/clicker.h"
#include "clicker/export_record.h"

namespace harrowtally {

Variant Clicker::alldata() {
    open_clicker();
    ExportInputs in;
    in.serial = serial_text_;
    in.clock_flag = clock_flag_;
    in.clock_text = clock_text_;
    in.count = barcode_count_;
    in.barcodes = barcode_list_ ? &*barcode_list_ : nullptr;
    in.types = type_list_ ? &*type_list_ : nullptr;
    in.times = time_list_ ? &*time_list_ : nullptr;
    return Variant::string(build_export_record(in));
}

}  // namespace harrowtally
