// Holds a file open as a program that does not share its deletion would (an editor, a spreadsheet):
// hold_open FILE SECONDS prints "holding" once the file is open, then keeps it for SECONDS.
// hold_open FILE write opens the file once to write it, sharing everything, as a program that
// rewrites a file in place would: prints "opened", or "error N" with the open's error number.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: hold_open FILE SECONDS|write\n", stderr);
        return 2;
    }
    if (std::wcscmp(argv[2], L"write") == 0) {
        const HANDLE writer =
            CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (writer == INVALID_HANDLE_VALUE) {
            std::printf("error %lu\n", GetLastError());
            return 1;
        }
        std::puts("opened");
        CloseHandle(writer);
        return 0;
    }
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open: error %lu\n", GetLastError());
        return 1;
    }
    std::puts("holding");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
    CloseHandle(file);
    return 0;
}
