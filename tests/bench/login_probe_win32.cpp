// Timing probe for tools/measure_login_time.py: waits for the main dialog,
// then for its balance label to read the given text, and prints the
// milliseconds between the two, then those from its own start to the
// dialog (about the program's start-up, as it is started right after).
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

double Now(LARGE_INTEGER frequency)
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5) {
        std::fwprintf(stderr, L"usage: login_probe TITLE CONTROL_ID TEXT TIMEOUT_MS\n");
        return 2;
    }
    const wchar_t* title = argv[1];
    int controlId = _wtoi(argv[2]);
    const wchar_t* expected = argv[3];
    double timeout = _wtof(argv[4]);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double start = Now(frequency);

    HWND dialog = nullptr;
    while (!(dialog = FindWindowW(nullptr, title)) || !IsWindowVisible(dialog)) {
        if (Now(frequency) - start > timeout) {
            std::fwprintf(stderr, L"no window\n");
            return 1;
        }
        Sleep(1);
    }
    double shown = Now(frequency);
    HWND label = GetDlgItem(dialog, controlId);
    for (;;) {
        wchar_t text[128] = {};
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(label, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &copied);
        if (std::wcscmp(text, expected) == 0)
            break;
        if (Now(frequency) - shown > timeout) {
            std::fwprintf(stderr, L"text never came\n");
            return 1;
        }
        Sleep(1);
    }
    std::wprintf(L"%.1f %.1f\n", Now(frequency) - shown, shown - start);
    return 0;
}
