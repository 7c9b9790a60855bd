// The Windows layer under Wine, without the component: the core's conversions side by side with the
// platform's (VariantChangeTypeEx), VARIANT round trips through the core, the scanner library loader,
// the message pump of the settling pause and the data-folder listing.
// Usage: platform_test <folder of a good csp2a.DLL> <partial csp2a.DLL> <other-bitness csp2a.DLL>
#include <oaidl.h>
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "com/com_variant.h"
#include "common/conversions.h"
#include "common/runtime_error.h"
#include "scanner/loaded_csp2.h"
#include "windows/directory_listing.h"
#include "windows/library_opener.h"
#include "windows/message_pump.h"

#include "counting_dispatch.h"
#include "message_window.h"

using namespace harrowtally;
using namespace harrowtally::windows;
using namespace harrowtally::com;

namespace {

int passed = 0, failed = 0;

void check(bool ok, const std::string& name, const std::string& detail = {}) {
    if (ok) {
        ++passed;
        std::printf("PASS platform: %s\n", name.c_str());
    } else {
        ++failed;
        std::printf("FAIL platform: %s %s\n", name.c_str(), detail.c_str());
    }
}

std::string narrow(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::string narrow(const wchar_t* s) {
    std::string out;
    for (; s && *s; ++s) out += *s < 128 ? static_cast<char>(*s) : '?';
    return out;
}

// The outcome of a conversion as text: the value, or "error N".
std::string platform_error(HRESULT hr) {
    switch (hr) {
        case DISP_E_OVERFLOW:
            return "error 6";
        case DISP_E_TYPEMISMATCH:
            return "error 13";
        default: {
            char buf[32];
            std::snprintf(buf, sizeof buf, "hr %08lx", static_cast<unsigned long>(hr));
            return buf;
        }
    }
}

std::string core_outcome(const std::function<std::string()>& f) {
    try {
        return f();
    } catch (const RuntimeError& e) {
        return "error " + std::to_string(e.number());
    }
}

// A minimal automation object: a default member that answers 42, or none.
class TestObject : public CountingDispatch {
public:
    explicit TestObject(bool has_default) : has_default_(has_default) {}
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id != DISPID_VALUE || !has_default_) return DISP_E_MEMBERNOTFOUND;
        if (result) {
            V_VT(result) = VT_I4;
            V_I4(result) = 42;
        }
        return S_OK;
    }

private:
    bool has_default_;
};

TestObject with_default(true);
TestObject without_default(false);

// One value a host can pass: a type and a number, or a text for BSTR. The number is turned into the
// type by the platform, so every sample is a value the platform itself produces.
struct Sample {
    VARTYPE vt;
    double number;
    const wchar_t* text = nullptr;
};

// clang-format off
const Sample samples[] = {
    {VT_EMPTY, 0}, {VT_I2, -32768}, {VT_I4, 70000}, {VT_I4, -32769}, {VT_I1, -5}, {VT_UI1, 200},
    {VT_UI2, 65535}, {VT_UI4, 4000000000.0}, {VT_INT, -7}, {VT_UINT, 9}, {VT_I8, -9000000000.0},
    {VT_UI8, 9000000000.0}, {VT_R4, 1.1}, {VT_R4, 3.4e38}, {VT_R4, 2.5}, {VT_R8, 2.5}, {VT_R8, 3.5},
    {VT_R8, -2.5}, {VT_R8, 0.1}, {VT_R8, 1.0 / 3.0}, {VT_R8, 1e20}, {VT_R8, 1e15}, {VT_R8, 123456789012345.0},
    {VT_R8, 1e-5}, {VT_R8, -0.000123}, {VT_R8, 32767.5}, {VT_R8, 32767.49}, {VT_R8, -32768.5},
    {VT_R8, 2147483647.5}, {VT_CY, 1.2345}, {VT_CY, -0.5}, {VT_CY, 2.5}, {VT_DECIMAL, 1.1}, {VT_DECIMAL, 3.5},
    {VT_DECIMAL, 0, L"-12345678901234567890.5"}, {VT_DATE, 0}, {VT_DATE, 45000.5}, {VT_DATE, 45000},
    {VT_DATE, 0.75}, {VT_DATE, -1.25}, {VT_BOOL, -1}, {VT_BOOL, 0}, {VT_BSTR, 0, L"12"}, {VT_BSTR, 0, L" 12 "},
    {VT_BSTR, 0, L"1.5"}, {VT_BSTR, 0, L"2.5"}, {VT_BSTR, 0, L"&H10"}, {VT_BSTR, 0, L"&O17"},
    {VT_BSTR, 0, L"1e3"}, {VT_BSTR, 0, L"12abc"}, {VT_BSTR, 0, L""}, {VT_BSTR, 0, L"1,234"},
    {VT_BSTR, 0, L"-3"}, {VT_BSTR, 0, L"+4"}, {VT_BSTR, 0, L"32768"}, {VT_BSTR, 0, L".5"}, {VT_BSTR, 0, L"5."},
    {VT_BSTR, 0, L"1.5.2"}, {VT_BSTR, 0, L"1,5"}, {VT_BSTR, 0, L"abc"}, {VT_BSTR, 0, L"- 3"}, {VT_BSTR, 0, L"$3"},
    {VT_BSTR, 0, L"(3)"}, {VT_BSTR, 0, L"\u20ac3"}, {VT_BSTR, 0, L"3$"}, {VT_BSTR, 0, L"-$3"}, {VT_BSTR, 0, L"$-3"},
    {VT_BSTR, 0, L"($3)"}, {VT_BSTR, 0, L"(-3)"}, {VT_BSTR, 0, L" ( 3 ) "}, {VT_BSTR, 0, L"(3"}, {VT_BSTR, 0, L"3)"},
    {VT_BSTR, 0, L"$"}, {VT_BSTR, 0, L"()"}, {VT_BSTR, 0, L"$ 3"}, {VT_BSTR, 0, L"3 \u20ac"}, {VT_R8, -0.0}, {VT_R4, -0.0},
    {VT_BSTR, 0, L"3-"}, {VT_BSTR, 0, L"3 -"}, {VT_BSTR, 0, L"$3-"}, {VT_BSTR, 0, L"3-$"}, {VT_BSTR, 0, L"(3)-"},
    {VT_BSTR, 0, L"3+"}, {VT_BSTR, 0, L"+-3"}, {VT_BSTR, 0, L"-3-"}, {VT_BSTR, 0, L"3,5-"}, {VT_BSTR, 0, L"1d1"},
    {VT_BSTR, 0, L"3d0"},
    {VT_DISPATCH, 1},
    {VT_DISPATCH, 0}, {VT_ERROR, 0}, {VT_ARRAY | VT_I4, 0},
};
// clang-format on

VARIANT make(const Sample& s) {
    VARIANT v;
    VariantInit(&v);
    if (s.text != nullptr) {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(s.text);
        if (s.vt != VT_BSTR) VariantChangeTypeEx(&v, &v, 0x409, 0, s.vt);
    } else if (s.vt == VT_DISPATCH) {
        TestObject& object = s.number != 0 ? with_default : without_default;
        object.AddRef();
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = &object;
    } else if (s.vt == VT_ERROR) {
        V_VT(&v) = VT_ERROR;
        V_ERROR(&v) = DISP_E_PARAMNOTFOUND;  // a missing optional argument
    } else if (s.vt == (VT_ARRAY | VT_I4)) {
        V_VT(&v) = s.vt;
        V_ARRAY(&v) = SafeArrayCreateVector(VT_I4, 0, 2);
    } else if (s.vt != VT_EMPTY) {
        V_VT(&v) = VT_R8;
        V_R8(&v) = s.number;
        VariantChangeTypeEx(&v, &v, 0x409, 0, s.vt);
    }
    return v;
}

std::string name_of(const Sample& s) {
    char buf[80];
    if (s.text) {
        std::snprintf(buf, sizeof buf, "vt %u '%s'", s.vt, narrow(s.text).c_str());
    } else {
        std::snprintf(buf, sizeof buf, "vt %u %.17g", s.vt, s.number);
    }
    return buf;
}

std::string platform_text(VARIANT& v, LCID lcid) {
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeTypeEx(&out, &v, lcid, VARIANT_ALPHABOOL, VT_BSTR);
    if (FAILED(hr)) return platform_error(hr);
    std::string text = narrow(V_BSTR(&out));
    VariantClear(&out);
    return text;
}

std::string platform_integer(VARIANT& v, LCID lcid, VARTYPE vt) {
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeTypeEx(&out, &v, lcid, 0, vt);
    if (FAILED(hr)) return platform_error(hr);
    return std::to_string(vt == VT_I2 ? V_I2(&out) : V_I4(&out));
}

void conversions_side_by_side() {
    struct Locale {
        LCID lcid;
        NumberFormat format;
        const char* name;
    };
    const Locale locales[] = {{0x409, {u'.', u',', u'$'}, "en-US"}, {0x407, {u',', u'.', u'\u20ac'}, "de-DE"}};
    for (const Locale& locale : locales) {
        int mismatches = 0;
        for (const Sample& s : samples) {
            VARIANT v = make(s);
            Variant core;
            bool converted = true;
            try {
                core = from_variant(v);
            } catch (const RuntimeError&) {
                converted = false;
            }
            const bool is_date = V_VT(&v) == VT_DATE;
            struct Target {
                const char* what;
                std::string platform, ours;
            };
            std::vector<Target> targets;
            // Dates are written in the core's fixed month/day/year form; only en-US matches it.
            if (!is_date || locale.lcid == 0x409) {
                targets.push_back(
                    {"text", platform_text(v, locale.lcid),
                     converted ? core_outcome([&] { return narrow(to_text(core, locale.format)); }) : "error 13"});
            }
            targets.push_back({"i2", platform_integer(v, locale.lcid, VT_I2),
                               converted ? core_outcome([&] { return std::to_string(to_integer(core, locale.format)); })
                                         : "error 13"});
            targets.push_back(
                {"i4", platform_integer(v, locale.lcid, VT_I4),
                 converted ? core_outcome([&] { return std::to_string(to_long(core, locale.format)); }) : "error 13"});
            for (const Target& t : targets) {
                // Wine writes a single in exponent form with "." whatever the locale; Windows and
                // the core use the locale's decimal point.
                const bool wine_single_exponent = locale.lcid != 0x409 && V_VT(&v) == VT_R4 &&
                                                  t.platform.find('E') != std::string::npos &&
                                                  t.platform.find('.') != std::string::npos;
                if (wine_single_exponent) {
                    std::printf("  note %s %s -> %s: Wine writes [%s], core [%s]\n", locale.name, name_of(s).c_str(),
                                t.what, t.platform.c_str(), t.ours.c_str());
                    continue;
                }
                if (t.platform != t.ours) {
                    ++mismatches;
                    std::printf("  mismatch %s %s -> %s: platform [%s] core [%s]\n", locale.name, name_of(s).c_str(),
                                t.what, t.platform.c_str(), t.ours.c_str());
                }
            }
            VariantClear(&v);
        }
        check(mismatches == 0, std::string("conversions match VariantChangeTypeEx, ") + locale.name,
              std::to_string(mismatches) + " mismatches");
    }
}

// Same value and type, judged by the platform's own text of both (arrays: a copy of the same size).
bool same_variant(VARIANT& a, VARIANT& b) {
    VARTYPE expected = V_VT(&a);
    if (expected == VT_INT) expected = VT_I4;  // INT and UINT travel as the 32-bit types
    if (expected == VT_UINT) expected = VT_UI4;
    if (V_VT(&b) != expected) return false;
    if ((V_VT(&a) & VT_ARRAY) != 0) {
        LONG ua = 0, ub = 0;
        SafeArrayGetUBound(V_ARRAY(&a), 1, &ua);
        SafeArrayGetUBound(V_ARRAY(&b), 1, &ub);
        return ua == ub && V_ARRAY(&a) != V_ARRAY(&b);
    }
    if (V_VT(&a) == VT_ERROR) return V_ERROR(&a) == V_ERROR(&b);
    if (V_VT(&a) == VT_DISPATCH) return V_DISPATCH(&a) == V_DISPATCH(&b);
    return platform_text(a, 0x409) == platform_text(b, 0x409);
}

void variant_round_trips() {
    int broken = 0;
    for (const Sample& s : samples) {
        VARIANT v = make(s);
        VARIANT back;
        VariantInit(&back);
        try {
            to_variant(from_variant(v), &back);
            if (!same_variant(v, back)) {
                ++broken;
                std::printf("  round trip changed %s (vt %u -> %u)\n", name_of(s).c_str(), V_VT(&v), V_VT(&back));
            }
        } catch (const RuntimeError& e) {
            ++broken;
            std::printf("  round trip of %s failed with %d\n", name_of(s).c_str(), e.number());
        }
        VariantClear(&back);
        VariantClear(&v);
    }
    check(broken == 0, "every automation type survives VARIANT -> core -> VARIANT");

    // By-reference values are read through, the VT_VARIANT indirection included.
    SHORT i2 = 7;
    VARIANT inner;
    V_VT(&inner) = VT_BSTR;
    V_BSTR(&inner) = SysAllocString(L"4");
    VARIANT ref_i2, ref_variant;
    V_VT(&ref_i2) = VT_BYREF | VT_I2;
    V_I2REF(&ref_i2) = &i2;
    V_VT(&ref_variant) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref_variant) = &inner;
    const Variant a = from_variant(ref_i2), b = from_variant(ref_variant);
    check(a.type() == VarType::Integer && a.as_signed() == 7 && b.type() == VarType::String && b.as_string() == u"4" &&
              V_VT(&inner) == VT_BSTR,
          "by-reference VARIANTs are read through and left unchanged");
    VariantClear(&inner);

    // An object reference is held (AddRef) as long as the core value lives.
    TestObject object(true);
    {
        VARIANT v;
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = &object;
        Variant held = from_variant(v);
        const long while_held = object.references;
        // A copy of the core value shares the reference rather than taking another.
        const Variant copy = held;  // NOLINT(performance-unnecessary-copy-initialization)
        const Variant value = held.as_object()->default_value();
        check(while_held > 1 && object.references == while_held && copy.as_object() == held.as_object() &&
                  value.type() == VarType::Long && value.as_signed() == 42,
              "object reference held while the core value lives, default value through DISPID_VALUE");
    }
    check(object.references == 1, "object reference released with the core value");

    // The array is a private copy: changing the host's array afterwards does not reach the core.
    SAFEARRAY* host_array = SafeArrayCreateVector(VT_I4, 0, 3);
    LONG index = 1, element = 5;
    SafeArrayPutElement(host_array, &index, &element);
    VARIANT array_variant;
    V_VT(&array_variant) = VT_ARRAY | VT_I4;
    V_ARRAY(&array_variant) = host_array;
    Variant core_array = from_variant(array_variant);
    element = 99;
    SafeArrayPutElement(host_array, &index, &element);
    VARIANT back;
    to_variant(core_array, &back);
    LONG read = 0;
    SafeArrayGetElement(V_ARRAY(&back), &index, &read);
    check(V_VT(&back) == (VT_ARRAY | VT_I4) && read == 5, "arrays are copied at the edge", std::to_string(read));
    VariantClear(&back);
    VariantClear(&array_variant);
}

void loader(const std::wstring& good_folder, const std::wstring& partial, const std::wstring& other_bitness) {
    auto first_error = [](const std::wstring& path, const std::function<void(LoadedCSP2&)>& call) {
        LoadedCSP2 library(library_opener(path));
        try {
            call(library);
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    // The library keeps one port open per process: every opening is closed again.
    auto init = [](LoadedCSP2& l) {
        if (l.csp2Init(3) != 0) throw RuntimeError(-1);
        l.csp2Restore();
    };
    auto version = [](LoadedCSP2& l) {
        std::uint8_t buffer[10] = {};
        l.csp2GetSwVersion(buffer, 10);
    };
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring garbage = std::wstring(temp) + L"not_a_library.dll";
    HANDLE file = CreateFileW(garbage.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "this is no library", 18, &written, nullptr);
    CloseHandle(file);

    struct Case {
        const char* name;
        std::wstring path;
        std::function<void(LoadedCSP2&)> call;
        int expected;
    };
    const Case cases[] = {
        {"good library answers", good_folder + L"\\csp2a.DLL", init, 0},
        {"absent file is 53", good_folder + L"\\absent\\csp2a.DLL", init, 53},
        {"text file is 48", garbage, init, 48},
        {"library of the other bitness is 48", other_bitness, init, 48},
        {"missing function is 453", partial, version, 453},
        {"present function of a partial library works", partial, init, 0},
    };
    for (const Case& c : cases) {
        const int got = first_error(c.path, c.call);
        check(got == c.expected, "loader: " + std::string(c.name), "got " + std::to_string(got));
    }
    {
        LoadedCSP2 library(library_opener(partial));
        int first = 0, second = 0;
        try {
            version(library);
        } catch (const RuntimeError& e) {
            first = e.number();
        }
        try {
            version(library);
        } catch (const RuntimeError& e) {
            second = e.number();
        }
        const bool opened = library.csp2Init(3) == 0;
        library.csp2Restore();
        check(first == 453 && second == 453 && opened,
              "loader: a missing function fails every call, the rest of the library still works");
    }
    DeleteFileW(garbage.c_str());

    // The default opener looks beside its own module first: this program sits beside a good library.
    {
        LoadedCSP2 library(library_opener());
        int result = -100;
        try {
            result = library.csp2Init(3);
            library.csp2Restore();
        } catch (const RuntimeError& e) {
            result = -e.number();
        }
        check(result == 0, "loader: csp2a.DLL found beside the module", std::to_string(result));
    }
}

int dispatched = 0;
bool quit_on_app_message = false;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP || message == WM_TIMER) {
        ++dispatched;
        if (message == WM_APP && quit_on_app_message) PostQuitMessage(9);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

double thread_cpu_seconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct PauseRun {
    double wall = 0, cpu = 0;
};

PauseRun timed_pause() {
    WindowsMessagePump pump;
    SettlingPause pause(pump);
    const double cpu0 = thread_cpu_seconds();
    const auto t0 = std::chrono::steady_clock::now();
    pause.scanner_pause();
    const auto t1 = std::chrono::steady_clock::now();
    return {std::chrono::duration<double>(t1 - t0).count(), thread_cpu_seconds() - cpu0};
}

void drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void message_pump() {
    HWND window = wine_test::message_window(L"HarrowtallyPumpTest", window_procedure);

    // Messages waiting and messages arriving during the pause are dispatched; the wait does not spin.
    dispatched = 0;
    PostMessageW(window, WM_APP, 0, 0);
    SetTimer(window, 1, 100, nullptr);
    PauseRun run = timed_pause();
    KillTimer(window, 1);
    drain();
    check(run.wall >= 1.29 && run.wall < 1.6, "pause lasts 1.296 s", std::to_string(run.wall));
    check(dispatched >= 8, "pause dispatches posted and timer messages while it waits",
          std::to_string(dispatched) + " dispatched");
    check(run.cpu < 0.1 * run.wall, "pause does not spin", std::to_string(run.cpu) + " s CPU");

    // A WM_QUIT met during the pause is posted again for the host's loop; nothing more is dispatched.
    dispatched = 0;
    quit_on_app_message = true;
    PostMessageW(window, WM_APP, 0, 0);
    SetTimer(window, 1, 50, nullptr);
    run = timed_pause();
    KillTimer(window, 1);
    quit_on_app_message = false;
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    check(got == 0 && msg.wParam == 9, "WM_QUIT reaches the host's loop after the pause");
    check(dispatched == 1, "no message dispatched after WM_QUIT", std::to_string(dispatched) + " dispatched");
    check(run.wall >= 1.29 && run.cpu < 0.1 * run.wall, "pause with a pending WM_QUIT still waits without spinning",
          std::to_string(run.wall) + " s, " + std::to_string(run.cpu) + " s CPU");
    drain();
    DestroyWindow(window);
}

void directory_listing() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"harrowtally_listing";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    struct File {
        const wchar_t* name;
        DWORD attributes;
    };
    const File files[] = {{L"a.txt", FILE_ATTRIBUTE_NORMAL},
                          {L"b", FILE_ATTRIBUTE_READONLY},
                          {L"c.dat", FILE_ATTRIBUTE_ARCHIVE},
                          {L"hidden.txt", FILE_ATTRIBUTE_HIDDEN},
                          {L"system.txt", FILE_ATTRIBUTE_SYSTEM}};
    for (const File& f : files) {
        const std::wstring path = folder + L"\\" + f.name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, f.attributes, nullptr);
        CloseHandle(h);
        SetFileAttributesW(path.c_str(), f.attributes);
    }
    WindowsDirectoryListing listing;
    const std::u16string name(folder.begin(), folder.end());
    const auto count = listing.count_ordinary_files(name);
    check(count == 3, "listing counts ordinary files only", std::to_string(count));
    check(listing.count_ordinary_files(name + u"\\nowhere") == 0, "listing of a missing folder is 0");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: platform_test GOOD_FOLDER PARTIAL_DLL OTHER_BITNESS_DLL\n");
        return 2;
    }
    OleInitialize(nullptr);
    conversions_side_by_side();
    variant_round_trips();
    loader(argv[1], argv[2], argv[3]);
    message_pump();
    directory_listing();
    OleUninitialize();
    std::printf("platform: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
