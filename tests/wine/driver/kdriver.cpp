// kdriver.exe: drives kestrova.exe from the Wine tests the way a person
// would, but by window title and control id instead of screen coordinates.
//
//   kdriver COMMAND [ARGS...] [--desktop NAME]
//
// Prints its answer on stdout (UTF-8) and exits 0, or prints a reason on
// stderr and exits 1. Windows are found by their exact title among the
// top-level windows of the desktop (the default one, or --desktop NAME).
// Input always goes to the desktop that has the input, as a person's does.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <dbt.h>

#include <sddl.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "win32/scoped_win32.h"
#include "tests/wine/injected_input.h"

namespace {

std::wstring g_desktopName;  // empty: the thread's own desktop

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

void Print(const std::wstring& text)
{
    std::string bytes = Utf8(text) + "\n";
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    fflush(stdout);
}

// Every failure ends here: "kdriver: " and the reason on stderr, exit 1. A
// run that exits otherwise never reached its command (Wine's loader).
[[noreturn]] void Fail(const std::wstring& why)
{
    std::string bytes = "kdriver: " + Utf8(why) + "\n";
    fwrite(bytes.data(), 1, bytes.size(), stderr);
    fflush(stderr);
    exit(1);
}

long Number(const std::wstring& text)
{
    return wcstol(text.c_str(), nullptr, 0);
}

std::wstring WindowText(HWND window)
{
    wchar_t buffer[8192] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        5000, &copied);
    return buffer;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    WNDENUMPROC collect = [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    };
    if (g_desktopName.empty()) {
        EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    } else if (const ScopedDesktop desktop{OpenDesktopW(g_desktopName.c_str(), 0, FALSE, GENERIC_ALL)}) {
        // A desktop not created yet simply has no windows: waits go on.
        EnumDesktopWindows(desktop.Get(), collect, reinterpret_cast<LPARAM>(&windows));
    }
    return windows;
}

// A top-level window's title without sending it a message: a window still
// starting up (or hung) cannot hold the search up.
std::wstring TitleOf(HWND window)
{
    wchar_t title[512] = {};
    GetWindowTextW(window, title, ARRAYSIZE(title));
    return title;
}

// The style bit, not IsWindowVisible: Wine reports every window of another
// desktop as invisible.
bool HasVisibleStyle(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

// "@ID" stands for the visible top-level window that has a child control
// with that id (for windows without a title, such as the guard dialog).
HWND FindTitled(const std::wstring& title)
{
    const bool byControl = title.size() > 1 && title[0] == L'@';
    const int controlId = byControl ? int(wcstol(title.c_str() + 1, nullptr, 0)) : 0;
    for (HWND window : TopLevelWindows()) {
        if (!HasVisibleStyle(window))
            continue;
        if (byControl ? GetDlgItem(window, controlId) != nullptr : TitleOf(window) == title)
            return window;
    }
    return nullptr;
}

HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindTitled(title))
            return window;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(50);
    }
}

HWND Window(const std::wstring& title)
{
    HWND window = WaitForWindow(title, 5000);
    if (!window)
        Fail(L"no window titled \"" + title + L"\"");
    return window;
}

HWND Control(const std::wstring& title, const std::wstring& id)
{
    HWND control = GetDlgItem(Window(title), int(Number(id)));
    if (!control)
        Fail(L"no control " + id + L" in \"" + title + L"\"");
    return control;
}

// --- registry ---------------------------------------------------------------

const wchar_t SETTINGS_KEY[] = L"Software\\Nobrik\\Kestrova";

std::wstring Hex(const BYTE* bytes, DWORD size)
{
    std::wstring out;
    wchar_t pair[3];
    for (DWORD i = 0; i < size; ++i) {
        swprintf(pair, 3, L"%02x", bytes[i]);
        out += pair;
    }
    return out;
}

std::vector<BYTE> Unhex(const std::wstring& hex)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(BYTE(wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

ScopedKey OpenSettingsKey(bool create)
{
    ScopedKey key;
    LSTATUS status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                              nullptr, key.Receive(), nullptr)
                            : RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, key.Receive());
    if (status != ERROR_SUCCESS)
        key.Take();  // nothing was opened
    return key;
}

// name<TAB>type<TAB>hex of the bytes, one value a line; "no key" exits 2.
void RegistryDump()
{
    const ScopedKey key = OpenSettingsKey(false);
    if (!key) {
        Print(L"no key");
        exit(2);
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = ARRAYSIZE(name);
        BYTE data[4096];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        Print(std::wstring(name) + L"\t" + std::to_wstring(type) + L"\t" + Hex(data, size));
    }
}

void RegistrySet(const std::wstring& name, const std::wstring& type, const std::wstring& hex)
{
    const ScopedKey key = OpenSettingsKey(true);
    if (!key)
        Fail(L"cannot create the settings key");
    std::vector<BYTE> bytes = Unhex(hex);
    RegSetValueExW(key.Get(), name.c_str(), 0, DWORD(Number(type)), bytes.data(), DWORD(bytes.size()));
}

void RegistrySetText(const std::wstring& name, const std::wstring& text)
{
    const ScopedKey key = OpenSettingsKey(true);
    if (!key)
        Fail(L"cannot create the settings key");
    RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD((text.size() + 1) * sizeof(wchar_t)));
}

// A value under the Run key (the guard's by default), as stored, or "none".
std::wstring RunValue(const std::wstring& name)
{
    wchar_t data[4096] = {};
    DWORD size = sizeof data - sizeof data[0];
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", name.c_str(),
                     RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return L"none";
    return data;
}

// Starts a command line as a sign-in starts a Run value; prints the process id.
DWORD StartCommand(const std::wstring& line)
{
    std::wstring writable = line;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        Fail(L"CreateProcessW failed");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

// A key whose list grants only reading to everyone: opening it for writing
// is refused. "values": reading and setting values only (no subkeys, no
// enumeration). The owner may still change the list, so "writable" undoes it.
void RegistrySetAccess(const std::wstring& mode)
{
    LSTATUS status;
    {
        ScopedKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, READ_CONTROL | WRITE_DAC, key.Receive()) != ERROR_SUCCESS)
            Fail(L"cannot open the settings key to change its access");
        ScopedLocal<void> descriptor;
        const wchar_t* sddl = mode == L"writable" ? L"D:P(A;;KA;;;WD)"
                              : mode == L"values" ? L"D:P(A;;0x20003;;;WD)"  // query, set, read control
                                                  : L"D:P(A;;KR;;;WD)";
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.Receive(), nullptr))
            Fail(L"bad security descriptor");
        status = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.Get());
    }
    if (status != ERROR_SUCCESS)
        Fail(L"cannot change the settings key's access: " + std::to_wstring(status));
}

// --- desktops -----------------------------------------------------------------

// The name of the desktop that has the input; empty when none may be opened.
std::wstring InputDesktopName()
{
    const ScopedDesktop desktop(OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS));
    wchar_t name[256] = {};
    if (!desktop || !GetUserObjectInformationW(desktop.Get(), UOI_NAME, name, sizeof name - sizeof name[0], nullptr))
        return {};
    return name;
}

// The Unix time in microseconds, from Windows' precise system time (which
// Wine takes from the host clock), for latency figures.
unsigned long long UnixMicroseconds()
{
    FILETIME now = {};
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000ULL) / 10;
}

// Switches the input to desktop NAME (made if needed), as Task Manager does
// to the desktop it runs on, then waits up to five seconds for another
// desktop to take it: "US MS NAME", the Unix time of the switch in
// microseconds, how many milliseconds until another desktop had the input,
// and which one.
std::wstring SwitchAndWaitForReturn(const std::wstring& name)
{
    const ScopedDesktop desktop(CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    if (!desktop)
        Fail(L"cannot make desktop " + name + L": error " + std::to_wstring(GetLastError()));
    const unsigned long long switched = UnixMicroseconds();
    const ULONGLONG start = GetTickCount64();
    if (!SwitchDesktop(desktop.Get()))
        Fail(L"SwitchDesktop to " + name + L" failed: error " + std::to_wstring(GetLastError()));
    std::wstring now = InputDesktopName();
    while (_wcsicmp(now.c_str(), name.c_str()) == 0 && GetTickCount64() - start < 5000) {
        Sleep(5);
        now = InputDesktopName();
    }
    return std::to_wstring(switched) + L" " + std::to_wstring(GetTickCount64() - start) + L" " + now;
}

// --- notices ------------------------------------------------------------------

// A DBT_DEVICEREMOVECOMPLETE for an interface of a HID (a mouse, a keyboard)
// or of a disk (a USB stick), as the system sends it to a window that asked
// for such notices. Wine copies the notice into the receiving process.
DWORD_PTR SendDeviceRemoved(HWND window, const std::wstring& kind)
{
    static const GUID HID = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    static const GUID DISK = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
    if (kind != L"hid" && kind != L"disk")
        Fail(L"device-removed: hid or disk, not " + kind);
    DEV_BROADCAST_DEVICEINTERFACE_W notice = {};
    notice.dbcc_size = sizeof notice;
    notice.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    notice.dbcc_classguid = kind == L"hid" ? HID : DISK;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&notice),
                             SMTO_ABORTIFHUNG, 10000, &result))
        Fail(L"WM_DEVICECHANGE not answered: error " + std::to_wstring(GetLastError()));
    return result;
}

// --- input ------------------------------------------------------------------

// Input goes where a person's keyboard and mouse send it: to the desktop
// that has the input now. Windows (and Wine 10) refuse events injected from
// a thread on any other desktop, so the thread moves there first. Returns
// the error when it cannot (the input desktop may be changing just then).
DWORD FollowInputDesktop()
{
    static std::vector<ScopedDesktop> used;  // a thread's desktop must stay open
    ScopedDesktop input(OpenInputDesktop(0, FALSE, GENERIC_ALL));
    if (!input || !SetThreadDesktop(input.Get()))
        return GetLastError();
    used.push_back(std::move(input));
    return ERROR_SUCCESS;
}

// An absolute move carries screen pixels until it is sent; then they become
// 0..65535 across the screen of the desktop it is sent on.
INPUT ScaledToScreen(INPUT input)
{
    if (input.type != INPUT_MOUSE || !(input.mi.dwFlags & MOUSEEVENTF_ABSOLUTE))
        return input;
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (input.mi.dx * 65535 + width / 2) / (width - 1);
    input.mi.dy = (input.mi.dy * 65535 + height / 2) / (height - 1);
    return input;
}

// Events into the input stream, on the desktop that has the input. The
// input desktop can change between the move there and the send (an alarm
// switches desktops while a scenario types), and Wine then refuses the
// events: the desktop is opened again and what is left sent again for up
// to 2 s. One still refused ends the run with the reason, so a scenario
// never reads a lost event as an ignored one.
void SendAll(const INPUT* inputs, UINT count, const wchar_t* what)
{
    const ULONGLONG until = GetTickCount64() + 2000;
    UINT sent = 0;
    for (;;) {
        DWORD error = FollowInputDesktop();
        if (error == ERROR_SUCCESS) {
            std::vector<INPUT> left;
            for (UINT i = sent; i < count; ++i)
                left.push_back(ScaledToScreen(inputs[i]));
            sent += SendInput(UINT(left.size()), left.data(), sizeof(INPUT));
            if (sent == count)
                return;
            error = GetLastError();
        }
        if (GetTickCount64() > until)
            Fail(std::wstring(L"input refused (") + what + L"): error " + std::to_wstring(error));
        Sleep(50);
    }
}

// For a command that reads the input state: the thread on the input desktop.
void OnInputDesktop()
{
    const ULONGLONG until = GetTickCount64() + 2000;
    for (DWORD error = FollowInputDesktop(); error != ERROR_SUCCESS; error = FollowInputDesktop()) {
        if (GetTickCount64() > until)
            Fail(L"cannot move to the input desktop: error " + std::to_wstring(error));
        Sleep(50);
    }
}

void Send(INPUT input)
{
    SendAll(&input, 1, L"the event");
}

void SendKey(WORD key, bool up)
{
    Send(KeyInput(key, up));
    Sleep(20);
}

// keys SPEC: comma-separated chords, each a '+'-joined list of virtual-key
// codes (0x12+0x73 is Alt+F4), pressed in order and released in reverse.
void SendKeys(const std::wstring& spec)
{
    size_t start = 0;
    while (start <= spec.size()) {
        size_t end = spec.find(L',', start);
        std::wstring chord = spec.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        std::vector<WORD> keys;
        size_t from = 0;
        while (from < chord.size()) {
            size_t plus = chord.find(L'+', from);
            keys.push_back(WORD(Number(chord.substr(from, plus == std::wstring::npos ? std::wstring::npos : plus - from))));
            if (plus == std::wstring::npos)
                break;
            from = plus + 1;
        }
        for (WORD key : keys)
            SendKey(key, false);
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            SendKey(*key, true);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
}

void TypeText(const std::wstring& text)
{
    for (wchar_t c : text) {
        INPUT input[2] = {};
        for (INPUT& one : input) {
            one.type = INPUT_KEYBOARD;
            one.ki.wScan = c;
            one.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendAll(input, 2, L"a character");
        Sleep(20);
    }
}

void MouseEvent(DWORD flags, LONG dx = 0, LONG dy = 0)
{
    Send(MouseInput(flags, dx, dy));
    Sleep(10);
}

INPUT AbsoluteMove(LONG x, LONG y)
{
    return MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);  // pixels: see ScaledToScreen
}

void MoveTo(LONG x, LONG y)
{
    Send(AbsoluteMove(x, y));
    Sleep(10);
}

// COUNT events as fast as SendInput takes them, in batches: moves of no
// distance and presses of the left Windows key (which the guard swallows),
// alternately.
void Flood(unsigned count)
{
    std::vector<INPUT> batch;
    for (unsigned i = 0; i < count; ++i) {
        batch.push_back(i % 2 == 0 ? MouseInput(MOUSEEVENTF_MOVE) : KeyInput(VK_LWIN, (i / 2) % 2 == 1));
        if (batch.size() == 100 || i + 1 == count) {
            SendAll(batch.data(), UINT(batch.size()), L"a batch of the flood");
            batch.clear();
        }
    }
}

// drop-hooks TITLE MS CODES: the program's test seam. Every thread of the
// window's process is asked to drop its input hooks (only the hook thread
// knows the message, and answers once it has); MS after that answer the
// chords are pressed as by keys.
void DropHooksThenPress(HWND window, DWORD wait, const std::wstring& chords)
{
    const UINT seam = RegisterWindowMessageW(L"Kestrova test seam: drop the input hooks");
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    MSG answer;
    PeekMessageW(&answer, nullptr, 0, 0, PM_NOREMOVE);  // a queue for the answer
    const ScopedHandle threads(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(threads.Get(), &thread); more; more = Thread32Next(threads.Get(), &thread))
        if (thread.th32OwnerProcessID == process)
            PostThreadMessageW(thread.th32ThreadID, seam, GetCurrentThreadId(), 0);
    const ULONGLONG until = GetTickCount64() + 5000;
    while (!PeekMessageW(&answer, nullptr, seam, seam, PM_REMOVE)) {
        if (seam == 0 || GetTickCount64() > until)
            Fail(L"no hook thread answered the test seam");
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
    }
    Sleep(wait);
    SendKeys(chords);
}

// --- the notification area (Wine's stand-in tray) ---------------------------

// Wine shows each icon as a window of this class; Shell_NotifyIconGetRect is
// not implemented there.
std::vector<HWND> TrayIcons()
{
    std::vector<HWND> icons;
    for (HWND top : TopLevelWindows()) {
        EnumChildWindows(top, [](HWND child, LPARAM list) -> BOOL {
            if (ClassOf(child) == L"__wine_tray_icon" && HasVisibleStyle(child))
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&icons));
    }
    return icons;
}

// tray-click left|right: a click of the real mouse on the last icon.
void TrayClick(const std::wstring& button)
{
    const std::vector<HWND> icons = TrayIcons();
    if (icons.empty())
        Fail(L"no icon in the notification area");
    RECT rect = {};
    GetWindowRect(icons.back(), &rect);
    MoveTo((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    const bool left = button == L"left";
    MouseEvent(left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN);
    MouseEvent(left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP);
}

// explorer-restart CLASS: what an Explorer restart does to a program's icon
// (uID 1 of the window of that class): gone, then "TaskbarCreated" to all.
void ExplorerRestart(const std::wstring& windowClass)
{
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = FindWindowW(windowClass.c_str(), nullptr);
    data.uID = 1;
    if (!data.hWnd || !Shell_NotifyIconW(NIM_DELETE, &data))
        Fail(L"no icon of a window of class " + windowClass);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &result);
}

// hold-hot-key MODIFIERS CODE: another program holding a hot key, as long
// as its window titled "kdriver hot key" is open (close it to let go).
void HoldHotKey(UINT modifiers, UINT code)
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"kdriver hot key", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 160, 60,
                                        nullptr, nullptr, nullptr, nullptr);
    if (!window || !RegisterHotKey(window, 1, modifiers, code))
        Fail(L"RegisterHotKey failed: " + std::to_wstring(GetLastError()));
    Print(L"ok");
    for (MSG message; IsWindow(window); Sleep(50)) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

[[noreturn]] void Usage()
{
    Fail(L"usage: kdriver COMMAND [ARGS] [--desktop NAME]\n"
          L"  list | wait TITLE [MS] | gone TITLE [MS] | text TITLE ID | set-text TITLE ID TEXT\n"
          L"  checked TITLE ID | click TITLE ID | command TITLE ID | close TITLE\n"
          L"  send TITLE MSG WPARAM LPARAM | send-to TITLE ID MSG WPARAM LPARAM | send-class CLASS MSG WPARAM LPARAM\n"
          L"  box-text TITLE\n"
          L"  rect TITLE ID | window-rect TITLE | progress TITLE ID | pid TITLE | desktop-exists NAME\n"
          L"  input-desktop | switch-to NAME\n"
          L"  reg-dump | reg-set NAME TYPE HEX | reg-set-text NAME TEXT | reg-delete\n"
          L"  reg-access readonly|writable|values | run-value | start-command LINE | flood COUNT\n"
          L"  keys CODES | type TEXT | move-to X Y | move-by DX DY | drag X1 Y1 X2 Y2 | cursor\n"
          L"  timed-move-to X Y | timed-key CODE | held CODE\n"
          L"  device-removed TITLE hid|disk | drop-hooks TITLE MS CODES | run-value [NAME]\n"
          L"  tray-icons | tray-click left|right | explorer-restart CLASS | hold-hot-key MODIFIERS CODE");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Texts go out byte for byte: no CR added before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    // Rectangles and positions in screen pixels, as a screenshot has them,
    // not scaled down for a program that knows nothing of display scaling.
    SetProcessDPIAware();
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--desktop" && i + 1 < argc)
            g_desktopName = argv[++i];
        else
            args.push_back(argv[i]);
    }
    if (args.empty())
        Usage();
    const std::wstring& command = args[0];
    auto arg = [&](size_t i) -> const std::wstring& {
        if (i >= args.size())
            Fail(L"missing argument for " + command);
        return args[i];
    };
    DWORD_PTR result = 0;

    if (command == L"list") {
        for (HWND window : TopLevelWindows()) {
            wchar_t line[64];
            swprintf(line, 64, L"%p\t%d\t", static_cast<void*>(window), HasVisibleStyle(window) ? 1 : 0);
            Print(line + ClassOf(window) + L"\t" + TitleOf(window));
        }
    } else if (command == L"wait") {
        DWORD timeout = args.size() > 2 ? DWORD(Number(args[2])) : 20000;
        if (!WaitForWindow(arg(1), timeout))
            Fail(L"timed out waiting for \"" + arg(1) + L"\"");
        Print(L"ok");
    } else if (command == L"gone") {
        DWORD timeout = args.size() > 2 ? DWORD(Number(args[2])) : 20000;
        DWORD start = GetTickCount();
        while (FindTitled(arg(1))) {
            if (GetTickCount() - start > timeout)
                Fail(L"\"" + arg(1) + L"\" is still there");
            Sleep(50);
        }
        Print(L"ok");
    } else if (command == L"text") {
        Print(WindowText(Control(arg(1), arg(2))));
    } else if (command == L"set-text") {
        SendMessageTimeoutW(Control(arg(1), arg(2)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(3).c_str()),
                            SMTO_ABORTIFHUNG, 5000, &result);
        Print(L"ok");
    } else if (command == L"checked") {
        SendMessageTimeoutW(Control(arg(1), arg(2)), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        Print(std::to_wstring(result));
    } else if (command == L"click") {
        PostMessageW(Control(arg(1), arg(2)), BM_CLICK, 0, 0);
        Print(L"ok");
    } else if (command == L"command") {
        HWND window = Window(arg(1));
        int id = int(Number(arg(2)));
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
        Print(L"ok");
    } else if (command == L"close") {
        PostMessageW(Window(arg(1)), WM_SYSCOMMAND, SC_CLOSE, 0);
        Print(L"ok");
    } else if (command == L"send" || command == L"send-to" || command == L"send-class") {
        size_t at = command == L"send-to" ? 3 : 2;
        // send-class: to the window of that class, shown or not.
        HWND target = command == L"send"         ? Window(arg(1))
                      : command == L"send-class" ? FindWindowW(arg(1).c_str(), nullptr)
                                                 : Control(arg(1), arg(2));
        SendMessageTimeoutW(target, UINT(Number(arg(at))), WPARAM(Number(arg(at + 1))), LPARAM(Number(arg(at + 2))),
                            SMTO_ABORTIFHUNG, 10000, &result);
        Print(std::to_wstring(static_cast<long long>(result)));
    } else if (command == L"device-removed") {
        Print(std::to_wstring(SendDeviceRemoved(Window(arg(1)), arg(2))));
    } else if (command == L"drop-hooks") {
        DropHooksThenPress(Window(arg(1)), DWORD(Number(arg(2))), arg(3));
        Print(L"ok");
    } else if (command == L"box-text") {
        // A message box's text is its static control 0xFFFF.
        Print(WindowText(Control(arg(1), L"0xFFFF")));
    } else if (command == L"rect") {
        RECT rect = {};
        GetWindowRect(Control(arg(1), arg(2)), &rect);
        Print(std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " + std::to_wstring(rect.right) +
              L" " + std::to_wstring(rect.bottom));
    } else if (command == L"window-rect") {
        RECT rect = {};
        GetWindowRect(Window(arg(1)), &rect);
        Print(std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " + std::to_wstring(rect.right) +
              L" " + std::to_wstring(rect.bottom));
    } else if (command == L"progress") {
        HWND bar = Control(arg(1), arg(2));
        DWORD_PTR position = 0, high = 0, colour = 0;
        SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
        SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &high);
        SendMessageTimeoutW(bar, PBM_GETBARCOLOR, 0, 0, SMTO_ABORTIFHUNG, 5000, &colour);
        wchar_t line[64];
        swprintf(line, 64, L"%u %u %06x", unsigned(position), unsigned(high), unsigned(colour));
        Print(line);
    } else if (command == L"front") {
        // 1 when the window is the foreground window and not minimised.
        const HWND window = Window(arg(1));
        Print(GetForegroundWindow() == window && !IsIconic(window) ? L"1" : L"0");
    } else if (command == L"pid") {
        DWORD pid = 0;
        GetWindowThreadProcessId(Window(arg(1)), &pid);
        Print(std::to_wstring(pid));
    } else if (command == L"desktop-exists") {
        const ScopedDesktop desktop(OpenDesktopW(arg(1).c_str(), 0, FALSE, DESKTOP_READOBJECTS));
        Print(desktop ? L"1" : L"0");
    } else if (command == L"input-desktop") {
        Print(InputDesktopName());
    } else if (command == L"switch-to") {
        Print(SwitchAndWaitForReturn(arg(1)));
    } else if (command == L"reg-dump") {
        RegistryDump();
    } else if (command == L"reg-set") {
        RegistrySet(arg(1), arg(2), args.size() > 3 ? args[3] : L"");
        Print(L"ok");
    } else if (command == L"reg-set-text") {
        RegistrySetText(arg(1), arg(2));
        Print(L"ok");
    } else if (command == L"reg-delete") {
        RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
        Print(L"ok");
    } else if (command == L"run-value") {
        Print(RunValue(args.size() > 1 ? args[1] : L"Kestrova (armed)"));
    } else if (command == L"tray-icons") {
        Print(std::to_wstring(TrayIcons().size()));
    } else if (command == L"tray-click") {
        TrayClick(arg(1));
        Print(L"ok");
    } else if (command == L"explorer-restart") {
        ExplorerRestart(arg(1));
        Print(L"ok");
    } else if (command == L"hold-hot-key") {
        HoldHotKey(UINT(Number(arg(1))), UINT(Number(arg(2))));
    } else if (command == L"start-command") {
        Print(std::to_wstring(StartCommand(arg(1))));
    } else if (command == L"reg-access") {
        RegistrySetAccess(arg(1));
        Print(L"ok");
    } else if (command == L"flood") {
        Flood(unsigned(Number(arg(1))));
        Print(L"ok");
    } else if (command == L"keys") {
        SendKeys(arg(1));
        Print(L"ok");
    } else if (command == L"type") {
        TypeText(arg(1));
        Print(L"ok");
    } else if (command == L"move-to") {
        MoveTo(Number(arg(1)), Number(arg(2)));
        Print(L"ok");
    } else if (command == L"move-by") {
        MouseEvent(MOUSEEVENTF_MOVE, Number(arg(1)), Number(arg(2)));
        MouseEvent(MOUSEEVENTF_MOVE, 0, 0);  // the hook counts a move at the next event
        Print(L"ok");
    } else if (command == L"drag") {
        MoveTo(Number(arg(1)), Number(arg(2)));
        MouseEvent(MOUSEEVENTF_LEFTDOWN);
        MoveTo(Number(arg(3)), Number(arg(4)));
        MoveTo(Number(arg(3)), Number(arg(4)));
        MouseEvent(MOUSEEVENTF_LEFTUP);
        Print(L"ok");
    } else if (command == L"held") {
        // held CODE: presses the key, reads after a moment whether the
        // system counts it as down (a swallowed key never is), releases it.
        const WORD key = WORD(Number(arg(1)));
        Send(KeyInput(key, false));
        Sleep(300);
        OnInputDesktop();
        const bool down = (GetAsyncKeyState(key) & 0x8000) != 0;
        Send(KeyInput(key, true));
        Sleep(20);
        Print(down ? L"1" : L"0");
    } else if (command == L"timed-move-to" || command == L"timed-key") {
        // Prints the Unix time in microseconds just before the first input
        // event, for latency figures. A move is sent twice at once: the
        // motion detector counts a move at the event after it, unless the
        // position it holds is not the one the hook reads (under Wine a
        // process with no recent input reads the X pointer, which injected
        // moves never carry), and then the first event crosses already.
        OnInputDesktop();
        const unsigned long long sent = UnixMicroseconds();
        if (command == L"timed-move-to") {
            const INPUT move = AbsoluteMove(Number(arg(1)), Number(arg(2)));
            Send(move);
            Send(move);
        } else {
            SendKey(WORD(Number(arg(1))), false);
            SendKey(WORD(Number(arg(1))), true);
        }
        Print(std::to_wstring(sent));
    } else if (command == L"cursor") {
        OnInputDesktop();
        POINT point = {};
        GetCursorPos(&point);
        Print(std::to_wstring(point.x) + L" " + std::to_wstring(point.y));
    } else {
        Usage();
    }
    return 0;
}
