#pragma once
// A message-only window of a class of its own, for the tests that post themselves messages.
#include <windows.h>

namespace wine_test {

inline HWND message_window(const wchar_t* class_name, WNDPROC procedure) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = class_name;
    RegisterClassW(&window_class);
    return CreateWindowW(class_name, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
}

}  // namespace wine_test
