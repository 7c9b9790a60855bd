// The readers of saved downloads: any file text is read to its end or to a reason, never a crash,
// and what the readers hand on agrees with what they count. The first byte picks the format.
#include <string_view>

#include "fuzz_input.h"
#include "host/formats/download_format.h"

using namespace harrowtally;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    constexpr host::DownloadFormat formats[] = {host::DownloadFormat::record, host::DownloadFormat::csv,
                                                host::DownloadFormat::json, host::DownloadFormat::xlsx};
    const host::DownloadFormat format = formats[data[0] % 4];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const host::SavedDownload saved = host::read_saved_download(format, text);
    fuzz::check(saved.read.barcodes == saved.barcodes.size());
    fuzz::check(!saved.read.stopped);
    // Stopping at the first barcode stops there.
    const host::ReadBack first =
        host::read_saved_download(format, text, [](const host::SavedBarcode&) { return false; });
    fuzz::check(first.barcodes == (saved.barcodes.empty() ? 0u : 1u));
    return 0;
}
