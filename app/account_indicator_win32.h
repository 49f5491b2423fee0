// The SMS account indicator on the main dialog: progress bar 1027 and the
// balance label 1028. Safe to call from any thread; does nothing while no
// main dialog is open.
#pragma once

#include <windows.h>

#include <cstdint>

void ResetAccountIndicator();  // range 0..2, step 1, empty, red
void StepAccountIndicator();
void SetAccountIndicatorColour(uint8_t red, uint8_t green);
void ShowSmsBalance(int32_t balance);

// Posted to the main dialog by ShowSmsBalance, wParam the balance; the
// dialog shows it with ShowPostedBalance.
constexpr UINT MAIN_MESSAGE_SHOW_BALANCE = WM_APP + 0x20;
void ShowPostedBalance(HWND dialog, WPARAM balance);
