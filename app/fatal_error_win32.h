// The program's last word: a "Fatal Error" box, then the process ends.
#pragma once

[[noreturn]] void FatalExit(const wchar_t* text, int exitCode);
