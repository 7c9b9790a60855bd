#include "windows/text.h"

#include <windows.h>

#include "common/text.h"

namespace harrowtally::windows {

// wchar_t is a UTF-16 unit on Windows: the core's codec serves the API's strings as they are,
// with the same replacement of ill-formed text as everywhere else.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring wide_of(std::string_view utf8) {
    const std::u16string utf16 = from_utf8(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string utf8_of(std::wstring_view wide) {
    return to_utf8(std::u16string(wide.begin(), wide.end()));
}

std::string system_message(unsigned long error) {
    wchar_t* text = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
    if (text != nullptr) LocalFree(text);
    // The sentence's full stop too: the words are followed by more of ours.
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.' || message.back() == L' ')) {
        message.pop_back();
    }
    if (message.empty()) return "system error " + std::to_string(error);
    // The message's insert for the file ("%1 is not a valid Win32 application"), left unfilled.
    for (auto at = message.find(L"%1"); at != std::wstring::npos; at = message.find(L"%1", at)) {
        message.replace(at, 2, L"the file");
    }
    return utf8_of(message);
}

}  // namespace harrowtally::windows
