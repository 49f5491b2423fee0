// startup_probe.exe TITLE PROGRAM: starts PROGRAM and prints the milliseconds
// until a visible top-level window titled TITLE exists, then closes it.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        fwprintf(stderr, L"usage: startup_probe TITLE PROGRAM\n");
        return 2;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER frequency, started, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    for (;;) {
        HWND window = FindWindowW(nullptr, argv[1]);
        if (window && IsWindowVisible(window)) {
            QueryPerformanceCounter(&now);
            wprintf(L"%.1f\n", double(now.QuadPart - started.QuadPart) * 1000.0 / double(frequency.QuadPart));
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            WaitForSingleObject(process.hProcess, 10000);
            return 0;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            return 1;
    }
}
