// The service client over WinINet: one asynchronous session, requests that
// are issued and forgotten, and one status callback on the library's thread
// that reads each reply and routes it by kind. The SMS login is covered by
// a ten-second connection watchdog on the thread that started it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

void CALLBACK ServiceStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                    DWORD infoLength) noexcept;
