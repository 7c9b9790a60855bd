// Ctrl+C as a console delivers it: console_break REPORT FOLDER PROGRAM ARGS... starts PROGRAM in
// this console, waits until a part file (".*.part-*") shows in FOLDER, sends CTRL_C_EVENT to every
// process of the console with GenerateConsoleCtrlEvent, and writes "exit 0xXXXXXXXX" (PROGRAM's
// exit code) and "part files left: N" to the file REPORT, since the console's own text comes with
// the terminal's escape sequences. Needs a console: under Wine, run it inside `script`.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int part_files(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"\\.*.part-*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do ++count;
    while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fputs("usage: console_break REPORT FOLDER PROGRAM ARGS...\n", stderr);
        return 2;
    }
    std::FILE* report = _wfopen(argv[1], L"w");
    if (report == nullptr) return 1;
    const std::wstring folder = argv[2];
    std::wstring command;
    for (int i = 3; i < argc; ++i) command += (i > 3 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(report, "cannot start: error %lu\n", GetLastError());
        std::fclose(report);
        return 1;
    }
    bool seen = false;
    for (int i = 0; i < 3000 && !seen; ++i) {
        seen = part_files(folder) > 0;
        if (!seen && WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) break;
    }
    if (!seen) std::fputs("no part file was seen\n", report);
    // Ignored here only now: a child started while it is ignored would ignore it too.
    SetConsoleCtrlHandler(nullptr, TRUE);
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        std::fprintf(report, "GenerateConsoleCtrlEvent: error %lu\n", GetLastError());
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::fprintf(report, "exit 0x%08lX\npart files left: %d\n", code, part_files(folder));
    std::fclose(report);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
