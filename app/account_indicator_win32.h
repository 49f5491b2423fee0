// What the network tells the main dialog: the SMS account indicator
// (progress bar 1027, balance label 1028), the login's answer and the date of
// the answered update check. Safe to call from any thread; does nothing
// while no main dialog is open.
#pragma once

#include <windows.h>

#include <cstdint>

#include "online/service_protocol.h"

void ResetAccountIndicator();  // range 0..2, step 1, empty, red
void StepAccountIndicator();
void SetAccountIndicatorColour(uint8_t red, uint8_t green);
void ShowSmsBalance(int32_t balance);
void ShowLoginAnswer(bool valid, int32_t balance);
void ShowUpdateCheckDate(const UtcDate& today);

// Posted to the main dialog by ShowSmsBalance, wParam the balance; the
// dialog shows it with ShowPostedBalance.
constexpr UINT MAIN_MESSAGE_SHOW_BALANCE = WM_APP + 0x20;
void ShowPostedBalance(HWND dialog, WPARAM balance);
// wParam: TRUE when logged in; lParam: the balance then.
constexpr UINT MAIN_MESSAGE_LOGIN_ANSWERED = WM_APP + 0x21;
// wParam: the date as "LastChecked" stores it (day, month, year from the low byte).
constexpr UINT MAIN_MESSAGE_UPDATE_CHECKED = WM_APP + 0x22;
UtcDate PostedDate(WPARAM date);
