// The owner's log on Windows: %LOCALAPPDATA%\Kestrova\kestrova.log, the older
// lines in kestrova.old.log beside it. Lines go in through LogEvent
// (win32/event_log.h); this adds the file and the failed-call line.
#pragma once

// One line naming the call and its error code, e.g.
// LogFailedCall("SwitchDesktop", GetLastError()). Never throws, never blocks.
void LogFailedCall(const char* call, unsigned long error) noexcept;

// Points the log at the per-user file and starts its writer; the program's
// first step. Without a folder to write to, lines stay queued and are lost
// at the end: the program goes on.
void StartWin32EventLog() noexcept;
