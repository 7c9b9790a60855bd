#include "journal.h"

#include <cstdio>
#include <cstdlib>

namespace harrowtally::sim {
namespace {

// The journal file stays open between calls and is reopened when the variable names another file.
class JournalFile {
public:
    JournalFile() = default;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;
    ~JournalFile() { close(); }

    std::FILE* for_path(const char* path) {
        if (file_ != nullptr && path_ == path) return file_;
        close();
        file_ = std::fopen(path, "a");
        if (file_ != nullptr) path_ = path;
        return file_;
    }

private:
    void close() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
        path_.clear();
    }

    std::FILE* file_ = nullptr;
    std::string path_;
};

JournalFile& journal_file() {
    static JournalFile file;
    return file;
}

const char* journal_path() noexcept {
    const char* path = std::getenv(kJournalVariable);
    return path != nullptr && *path != '\0' ? path : nullptr;
}

}  // namespace

bool journal_active() noexcept {
    return journal_path() != nullptr;
}

void journal_call(const char* name, const std::string& arguments, std::int32_t result) noexcept {
    const char* path = journal_path();
    if (path == nullptr) return;
    try {
        std::FILE* file = journal_file().for_path(path);
        if (file == nullptr) return;
        std::fprintf(file, "%s(%s)=%ld\n", name, arguments.c_str(), static_cast<long>(result));
        std::fflush(file);
    } catch (...) {  // a journal is no reason to fail the call it records
    }
}

std::string output_buffer(const void* buffer) {
    return buffer != nullptr ? "buf" : "null";
}

std::string input_bytes(const unsigned char* bytes, std::int32_t length) {
    if (bytes == nullptr) return "null";
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::int32_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace harrowtally::sim
