// The floor for the trigger-to-siren figure: a low-level mouse hook that
// starts the same looping WAVE resource with PlaySoundW at the first mouse
// move (the kind of event that starts the guard's siren), and a low-level
// keyboard hook that stops it at F14; nothing else. A visible window titled
// "Minimal siren" tells the measuring script it is ready; closing it ends
// the program.
#include <windows.h>

#include <mmsystem.h>

namespace {

HHOOK keyboardHook = nullptr;
HHOOK mouseHook = nullptr;
bool sounding = false;

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION && wParam == WM_MOUSEMOVE && !sounding) {
        sounding = true;
        PlaySoundW(MAKEINTRESOURCEW(132), GetModuleHandleW(nullptr), SND_RESOURCE | SND_LOOP | SND_ASYNC);
    }
    return CallNextHookEx(mouseHook, code, wParam, lParam);
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION && wParam == WM_KEYDOWN) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (key->vkCode == VK_F14) {
            sounding = false;
            PlaySoundW(nullptr, nullptr, 0);
        }
    }
    return CallNextHookEx(keyboardHook, code, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MinimalSiren";
    RegisterClassW(&windowClass);
    keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, instance, 0);
    mouseHook = SetWindowsHookExW(WH_MOUSE_LL, MouseProc, instance, 0);
    CreateWindowExW(0, windowClass.lpszClassName, L"Minimal siren", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 240,
                    120, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    UnhookWindowsHookEx(mouseHook);
    UnhookWindowsHookEx(keyboardHook);
    return 0;
}
