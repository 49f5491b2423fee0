// The service client over WinINet: one asynchronous session, requests that
// are issued and forgotten, and one status callback on the library's thread
// that reads each reply and routes it by kind. The SMS login is covered by
// a ten-second connection watchdog on the thread that started it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

void IssueRequest(int kind, const std::string& url);
void CALLBACK ServiceStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                    DWORD infoLength) noexcept;

// A thread timer of the calling thread, which must pump messages; a later
// start replaces the stored id.
void StartConnectionWatchdog();
// Safe from any thread: the cancel is posted to the thread that owns the timer.
void CancelConnectionWatchdog();
void CALLBACK ConnectionWatchdogProc(HWND window, UINT message, UINT_PTR id, DWORD time) noexcept;
