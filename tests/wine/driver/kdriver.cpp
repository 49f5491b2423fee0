// kdriver.exe: drives kestrova.exe from the Wine tests the way a person
// would, but by window title and control id instead of screen coordinates.
//
//   kdriver COMMAND [ARGS...] [--desktop NAME]
//   kdriver serve
//
// Prints its answer on stdout (UTF-8) and exits 0, or prints a reason on
// stderr and exits 1. Windows are found by their exact title among the
// top-level windows of the desktop (the default one, or --desktop NAME).
// Input always goes to the desktop that has the input, as a person's does.
//
// "serve" runs one command per line read from stdin, each on a thread of
// its own (so it starts on the default desktop), and answers each with
// "CODE OUT ERR\n" and then OUT bytes of answer and ERR bytes of reason: a
// test then starts Wine once, not once per command. A line is the desktop
// (empty: the default one), then the command and its arguments, separated
// by tabs, with "\\", "\t" and "\n" standing for a backslash, a tab and
// a line break.
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
#include <exception>
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

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], size);
    return out;
}

// How a command ended: its exit code, its answer and its reason.
struct Ending {
    int code;
    std::wstring answer;
    std::wstring reason;
};

// Every failure ends here: "kdriver: " and the reason, exit 1. A run that
// exits otherwise never reached its command (Wine's loader).
[[noreturn]] void Fail(const std::wstring& why)
{
    throw Ending{1, L"", L"kdriver: " + why};
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
std::wstring RegistryDump()
{
    const ScopedKey key = OpenSettingsKey(false);
    if (!key)
        throw Ending{2, L"no key", L""};
    std::wstring lines;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = ARRAYSIZE(name);
        BYTE data[4096];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        lines += (lines.empty() ? L"" : L"\n") + std::wstring(name) + L"\t" + std::to_wstring(type) + L"\t" +
                 Hex(data, size);
    }
    return lines;
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

// The program's value under the Run key, as stored, or "none".
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

std::vector<ScopedDesktop> g_followedDesktops;  // a thread's desktop must stay open

// Input goes where a person's keyboard and mouse send it: to the desktop
// that has the input now. Windows (and Wine 10) refuse events injected from
// a thread on any other desktop, so the thread moves there first. Returns
// the error when it cannot (the input desktop may be changing just then).
DWORD FollowInputDesktop()
{
    ScopedDesktop input(OpenInputDesktop(0, FALSE, GENERIC_ALL));
    if (!input || !SetThreadDesktop(input.Get()))
        return GetLastError();
    g_followedDesktops.push_back(std::move(input));
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
std::wstring TrayClick(const std::wstring& button)
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
    return L"ok";
}

// explorer-restart CLASS: what an Explorer restart does to a program's icon
// (uID 1 of the window of that class): gone, then "TaskbarCreated" to all.
std::wstring ExplorerRestart(const std::wstring& windowClass)
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
    return L"ok";
}

// hold-hot-key MODIFIERS CODE: another program holding a hot key, as long
// as its window titled "kdriver hot key" is open (close it to let go).
std::wstring HoldHotKey(UINT modifiers, UINT code)
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"kdriver hot key", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 160, 60,
                                        nullptr, nullptr, nullptr, nullptr);
    if (!window || !RegisterHotKey(window, 1, modifiers, code))
        Fail(L"RegisterHotKey failed: " + std::to_wstring(GetLastError()));
    for (MSG message; IsWindow(window); Sleep(50)) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    return L"ok";
}

// clipboard TEXT: the text on the clipboard as a copy leaves it, owned by a
// window of ours (with none, SetClipboardData fails); it stays after we end.
std::wstring Clipboard(const std::wstring& text)
{
    const HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory || !OpenClipboard(owner) || !EmptyClipboard())
        Fail(L"the clipboard cannot be had");
    wcscpy(static_cast<wchar_t*>(GlobalLock(memory)), text.c_str());
    GlobalUnlock(memory);
    const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return set ? L"ok" : L"refused";
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
          L"  reg-access readonly|writable|values | run-value | start-command LINE | flood COUNT | clipboard TEXT\n"
          L"  keys CODES | type TEXT | move-to X Y | move-by DX DY | drag X1 Y1 X2 Y2 | cursor\n"
          L"  timed-move-to X Y | timed-key CODE | held CODE\n"
          L"  device-removed TITLE hid|disk | drop-hooks TITLE MS CODES | run-value [NAME]\n"
          L"  tray-icons | tray-click left|right | explorer-restart CLASS | hold-hot-key MODIFIERS CODE");
}

// A command's words: [0] the command, then its arguments.
class Args {
public:
    explicit Args(const std::vector<std::wstring>& words) : words_(words) {}
    const std::wstring& operator[](size_t i) const
    {
        if (i >= words_.size())
            Fail(L"missing argument for " + words_[0]);
        return words_[i];
    }
    long Num(size_t i) const { return Number((*this)[i]); }
    // An optional argument, as a number.
    long NumOr(size_t i, long fallback) const { return i < words_.size() ? Number(words_[i]) : fallback; }
    std::wstring TextOr(size_t i, const wchar_t* fallback) const { return i < words_.size() ? words_[i] : fallback; }

private:
    const std::vector<std::wstring>& words_;
};

std::wstring Rect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " + std::to_wstring(rect.right) + L" " +
           std::to_wstring(rect.bottom);
}

DWORD_PTR SendWaiting(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs = 5000)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &result);
    return result;
}

std::wstring Sent(HWND target, const Args& a, size_t at)
{
    const DWORD_PTR result =
        SendWaiting(target, UINT(a.Num(at)), WPARAM(a.Num(at + 1)), LPARAM(a.Num(at + 2)), 10000);
    return std::to_wstring(static_cast<long long>(result));
}

std::wstring Gone(const std::wstring& title, DWORD timeout)
{
    const DWORD start = GetTickCount();
    while (FindTitled(title)) {
        if (GetTickCount() - start > timeout)
            Fail(L"\"" + title + L"\" is still there");
        Sleep(50);
    }
    return L"ok";
}

std::wstring List()
{
    std::wstring lines;
    for (HWND window : TopLevelWindows()) {
        wchar_t line[64];
        swprintf(line, 64, L"%p\t%d\t", static_cast<void*>(window), HasVisibleStyle(window) ? 1 : 0);
        lines += (lines.empty() ? L"" : L"\n") + std::wstring(line) + ClassOf(window) + L"\t" + TitleOf(window);
    }
    return lines;
}

std::wstring Progress(HWND bar)
{
    wchar_t line[64];
    swprintf(line, 64, L"%u %u %06x", unsigned(SendWaiting(bar, PBM_GETPOS, 0, 0)),
             unsigned(SendWaiting(bar, PBM_GETRANGE, FALSE, 0)), unsigned(SendWaiting(bar, PBM_GETBARCOLOR, 0, 0)));
    return line;
}

// held CODE: presses the key, reads after a moment whether the system counts
// it as down (a swallowed key never is), releases it.
std::wstring Held(WORD key)
{
    Send(KeyInput(key, false));
    Sleep(300);
    OnInputDesktop();
    const bool down = (GetAsyncKeyState(key) & 0x8000) != 0;
    Send(KeyInput(key, true));
    Sleep(20);
    return down ? L"1" : L"0";
}

// The Unix time in microseconds just before the first input event, for
// latency figures. A move is sent twice at once: the motion detector counts
// a move at the event after it, unless the position it holds is not the one
// the hook reads (under Wine a process with no recent input reads the X
// pointer, which injected moves never carry), and then the first event
// crosses already.
std::wstring TimedMoveTo(LONG x, LONG y)
{
    OnInputDesktop();
    const unsigned long long sent = UnixMicroseconds();
    const INPUT move = AbsoluteMove(x, y);
    Send(move);
    Send(move);
    return std::to_wstring(sent);
}

std::wstring TimedKey(WORD key)
{
    OnInputDesktop();
    const unsigned long long sent = UnixMicroseconds();
    SendKey(key, false);
    SendKey(key, true);
    return std::to_wstring(sent);
}

std::wstring Cursor()
{
    OnInputDesktop();
    POINT point = {};
    GetCursorPos(&point);
    return std::to_wstring(point.x) + L" " + std::to_wstring(point.y);
}

// Each command and what it does; what it returns is printed as its answer.
struct Command {
    const wchar_t* name;
    std::wstring (*run)(const Args&);
};

const Command COMMANDS[] = {
    {L"list", [](const Args&) { return List(); }},
    {L"wait",
     [](const Args& a) -> std::wstring {
         if (!WaitForWindow(a[1], DWORD(a.NumOr(2, 20000))))
             Fail(L"timed out waiting for \"" + a[1] + L"\"");
         return L"ok";
     }},
    {L"gone", [](const Args& a) { return Gone(a[1], DWORD(a.NumOr(2, 20000))); }},
    {L"text", [](const Args& a) { return WindowText(Control(a[1], a[2])); }},
    {L"set-text",
     [](const Args& a) -> std::wstring {
         SendWaiting(Control(a[1], a[2]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str()));
         return L"ok";
     }},
    {L"checked", [](const Args& a) { return std::to_wstring(SendWaiting(Control(a[1], a[2]), BM_GETCHECK, 0, 0)); }},
    {L"click",
     [](const Args& a) -> std::wstring {
         PostMessageW(Control(a[1], a[2]), BM_CLICK, 0, 0);
         return L"ok";
     }},
    {L"command",
     [](const Args& a) -> std::wstring {
         const HWND window = Window(a[1]);
         const int id = int(a.Num(2));
         PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
         return L"ok";
     }},
    {L"close",
     [](const Args& a) -> std::wstring {
         PostMessageW(Window(a[1]), WM_SYSCOMMAND, SC_CLOSE, 0);
         return L"ok";
     }},
    {L"send", [](const Args& a) { return Sent(Window(a[1]), a, 2); }},
    {L"send-to", [](const Args& a) { return Sent(Control(a[1], a[2]), a, 3); }},
    // To the window of that class, shown or not.
    {L"send-class", [](const Args& a) { return Sent(FindWindowW(a[1].c_str(), nullptr), a, 2); }},
    {L"device-removed", [](const Args& a) { return std::to_wstring(SendDeviceRemoved(Window(a[1]), a[2])); }},
    {L"drop-hooks",
     [](const Args& a) -> std::wstring {
         DropHooksThenPress(Window(a[1]), DWORD(a.Num(2)), a[3]);
         return L"ok";
     }},
    // A message box's text is its static control 0xFFFF.
    {L"box-text", [](const Args& a) { return WindowText(Control(a[1], L"0xFFFF")); }},
    {L"rect", [](const Args& a) { return Rect(Control(a[1], a[2])); }},
    {L"window-rect", [](const Args& a) { return Rect(Window(a[1])); }},
    {L"progress", [](const Args& a) { return Progress(Control(a[1], a[2])); }},
    // 1 when the window is the foreground window and not minimised.
    {L"front",
     [](const Args& a) -> std::wstring {
         const HWND window = Window(a[1]);
         return GetForegroundWindow() == window && !IsIconic(window) ? L"1" : L"0";
     }},
    {L"pid",
     [](const Args& a) {
         DWORD pid = 0;
         GetWindowThreadProcessId(Window(a[1]), &pid);
         return std::to_wstring(pid);
     }},
    {L"desktop-exists",
     [](const Args& a) -> std::wstring {
         const ScopedDesktop desktop(OpenDesktopW(a[1].c_str(), 0, FALSE, DESKTOP_READOBJECTS));
         return desktop ? L"1" : L"0";
     }},
    {L"input-desktop", [](const Args&) { return InputDesktopName(); }},
    {L"switch-to", [](const Args& a) { return SwitchAndWaitForReturn(a[1]); }},
    {L"reg-dump", [](const Args&) { return RegistryDump(); }},
    {L"reg-set",
     [](const Args& a) -> std::wstring {
         RegistrySet(a[1], a[2], a.TextOr(3, L""));
         return L"ok";
     }},
    {L"reg-set-text",
     [](const Args& a) -> std::wstring {
         RegistrySetText(a[1], a[2]);
         return L"ok";
     }},
    {L"reg-delete",
     [](const Args&) -> std::wstring {
         RegDeleteTreeW(HKEY_CURRENT_USER, SETTINGS_KEY);
         return L"ok";
     }},
    {L"run-value", [](const Args& a) { return RunValue(a.TextOr(1, L"Kestrova (armed)")); }},
    {L"tray-icons", [](const Args&) { return std::to_wstring(TrayIcons().size()); }},
    {L"tray-click", [](const Args& a) { return TrayClick(a[1]); }},
    {L"explorer-restart", [](const Args& a) { return ExplorerRestart(a[1]); }},
    {L"hold-hot-key", [](const Args& a) { return HoldHotKey(UINT(a.Num(1)), UINT(a.Num(2))); }},
    {L"start-command", [](const Args& a) { return std::to_wstring(StartCommand(a[1])); }},
    {L"reg-access",
     [](const Args& a) -> std::wstring {
         RegistrySetAccess(a[1]);
         return L"ok";
     }},
    {L"clipboard", [](const Args& a) { return Clipboard(a[1]); }},
    {L"flood",
     [](const Args& a) -> std::wstring {
         Flood(unsigned(a.Num(1)));
         return L"ok";
     }},
    {L"keys",
     [](const Args& a) -> std::wstring {
         SendKeys(a[1]);
         return L"ok";
     }},
    {L"type",
     [](const Args& a) -> std::wstring {
         TypeText(a[1]);
         return L"ok";
     }},
    {L"move-to",
     [](const Args& a) -> std::wstring {
         MoveTo(a.Num(1), a.Num(2));
         return L"ok";
     }},
    {L"move-by",
     [](const Args& a) -> std::wstring {
         MouseEvent(MOUSEEVENTF_MOVE, a.Num(1), a.Num(2));
         MouseEvent(MOUSEEVENTF_MOVE, 0, 0);  // the hook counts a move at the next event
         return L"ok";
     }},
    {L"drag",
     [](const Args& a) -> std::wstring {
         MoveTo(a.Num(1), a.Num(2));
         MouseEvent(MOUSEEVENTF_LEFTDOWN);
         MoveTo(a.Num(3), a.Num(4));
         MoveTo(a.Num(3), a.Num(4));
         MouseEvent(MOUSEEVENTF_LEFTUP);
         return L"ok";
     }},
    {L"held", [](const Args& a) { return Held(WORD(a.Num(1))); }},
    {L"timed-move-to", [](const Args& a) { return TimedMoveTo(a.Num(1), a.Num(2)); }},
    {L"timed-key", [](const Args& a) { return TimedKey(WORD(a.Num(1))); }},
    {L"cursor", [](const Args&) { return Cursor(); }},
};

Ending Run(const std::vector<std::wstring>& words)
{
    try {
        if (words.empty())
            Usage();
        for (const Command& command : COMMANDS) {
            if (words[0] == command.name)
                return {0, command.run(Args(words)), L""};
        }
        Usage();
    } catch (const Ending& ending) {
        return ending;
    } catch (const std::exception& error) {
        return {1, L"", L"kdriver: " + Wide(error.what())};
    }
}

// One line of "serve": the desktop, then the command's words.
struct Request {
    std::wstring desktop;
    std::vector<std::wstring> words;
    Ending ending;
};

Request Parse(const std::wstring& line)
{
    std::vector<std::wstring> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == L'\t') {
            fields.emplace_back();
        } else if (line[i] == L'\\' && i + 1 < line.size()) {
            const wchar_t next = line[++i];
            fields.back() += next == L't' ? L'\t' : next == L'n' ? L'\n' : next;
        } else {
            fields.back() += line[i];
        }
    }
    return {fields[0], std::vector<std::wstring>(fields.begin() + 1, fields.end()), {}};
}

DWORD WINAPI RunRequest(void* parameter)
{
    Request& request = *static_cast<Request*>(parameter);
    g_desktopName = request.desktop;
    request.ending = Run(request.words);
    return 0;
}

int Serve()
{
    _setmode(_fileno(stdin), _O_BINARY);
    std::string line;
    for (int c = getc(stdin); c != EOF; c = getc(stdin)) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        Request request = Parse(Wide(line));
        line.clear();
        const ScopedHandle thread(CreateThread(nullptr, 0, RunRequest, &request, 0, nullptr));
        if (thread)
            WaitForSingleObject(thread.Get(), INFINITE);
        else
            request.ending = {1, L"", L"kdriver: CreateThread failed: error " + std::to_wstring(GetLastError())};
        g_followedDesktops.clear();
        const std::string answer = Utf8(request.ending.answer), reason = Utf8(request.ending.reason);
        printf("%d %u %u\n", request.ending.code, unsigned(answer.size()), unsigned(reason.size()));
        fwrite(answer.data(), 1, answer.size(), stdout);
        fwrite(reason.data(), 1, reason.size(), stdout);
        fflush(stdout);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Texts go out byte for byte: no CR added before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    // Rectangles and positions in screen pixels, as a screenshot has them,
    // not scaled down for a program that knows nothing of display scaling.
    SetProcessDPIAware();
    std::vector<std::wstring> words;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--desktop" && i + 1 < argc)
            g_desktopName = argv[++i];
        else
            words.push_back(argv[i]);
    }
    if (words.size() == 1 && words[0] == L"serve")
        return Serve();
    const Ending ending = Run(words);
    const std::string answer = Utf8(ending.answer), reason = Utf8(ending.reason);
    if (!answer.empty() || ending.code == 0)
        fwrite((answer + "\n").data(), 1, answer.size() + 1, stdout);
    if (!reason.empty())
        fwrite((reason + "\n").data(), 1, reason.size() + 1, stderr);
    return ending.code;
}
