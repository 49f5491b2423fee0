// Functions that not every system offers (or Wine only in part), found at run
// time so that their absence cannot stop the program from starting.
#pragma once

#include <windows.h>

template <class Function>
Function SystemFunction(HMODULE module, const char* name) noexcept
{
    // Through the generic function type: a direct cast draws a warning.
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}
