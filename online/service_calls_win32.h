// What the rest of the program asks of the online service. Each call
// returns at once; replies are handled later on the network thread, which
// posts what the owner must see to the main dialog.
#pragma once

#include <windows.h>

#include "online/service_protocol.h"

// On the main thread, which owns the login's watchdog; the session itself
// opens with the first request. Every call names the main dialog just opened:
// the account indicator (a progress bar) and the messages below go to it.
void OpenServiceSession(HWND mainDialog, HWND accountIndicator);
// The main dialog is going: replies that come meanwhile touch no window.
void ForgetMainDialog(HWND mainDialog);

void StartAccountCheck(const ServiceAccount& account);  // the SMS login, shown on the account indicator
void CheckForUpdate(Settings& settings);  // once a UTC day, when the daily check is on; main thread
void SendAlarmNotice(const ServiceAccount& account);  // asks the service to text the owner's phone
// At arming, with the SMS alarm on: what the notice needs at its first call
// (the DLLs, the session) is had now, so the alarm waits for none of it.
void PrepareAlarmNotice();

// Posted to the main dialog. wParam: the SMS balance, -1 while unknown.
constexpr UINT MAIN_MESSAGE_SHOW_BALANCE = WM_APP + 0x20;
// wParam: TRUE when logged in; lParam: the balance then.
constexpr UINT MAIN_MESSAGE_LOGIN_ANSWERED = WM_APP + 0x21;
// The update check was answered; wParam: its date, read with PostedDate.
constexpr UINT MAIN_MESSAGE_UPDATE_CHECKED = WM_APP + 0x22;
UtcDate PostedDate(WPARAM date);
