// Input events as SendInput takes them, for the programs that inject input
// in the Wine tests (kdriver.exe and the hook tests).
#pragma once

#include <windows.h>

inline INPUT KeyInput(WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// flags MOUSEEVENTF_MOVE: dx and dy are relative pixels; with
// MOUSEEVENTF_ABSOLUTE they are 0..65535 across the screen.
inline INPUT MouseInput(DWORD flags, LONG dx = 0, LONG dy = 0)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    return input;
}

inline UINT Inject(INPUT input)
{
    return SendInput(1, &input, sizeof input);
}
