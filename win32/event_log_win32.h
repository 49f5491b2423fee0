// The owner's log on Windows: %LOCALAPPDATA%\Kestrova\kestrova.log, the older
// lines in kestrova.old.log beside it. LogEvent (win32/event_log.h) writes
// them; this adds the failed-call line.
#pragma once

// One line naming the call and its error code, e.g.
// LogFailedCall("SwitchDesktop", GetLastError()). Never throws; waits on the
// disk as LogEvent does.
void LogFailedCall(const char* call, unsigned long error) noexcept;
