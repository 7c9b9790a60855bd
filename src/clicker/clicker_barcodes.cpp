// The per-barcode accessors: the element of each list at get_barcode.
#include "clicker/barcode_access.h"
#include "clicker/clicker.h"

namespace harrowtally {

Variant Clicker::sbarcode() const {
    return barcode_at(download_, get_barcode_);
}

Variant Clicker::stime() const {
    return time_at(download_, get_barcode_);
}

Variant Clicker::stype() const {
    return type_at(download_, get_barcode_);
}

}  // namespace harrowtally
