// The DLLs loaded at their first call (kestrova_dlls_at_first_call in
// CMakeLists.txt): when one, or the function called, is missing, the call
// fails instead of ending the process with the delay-load helper's
// exception, before a siren perhaps. MinGW's helper and Microsoft's both ask
// this hook first.
#define DELAYIMP_INSECURE_WRITABLE_HOOKS  // Microsoft's header then declares it as MinGW's does
#include <windows.h>

#include <delayimp.h>

#include <initializer_list>

namespace {

// What a missing function answers, with ERROR_PROC_NOT_FOUND as its error. On
// x64 one stub serves every signature (the caller clears the stack): 0, a
// failure as FALSE, a null handle or pointer; or, from the DLLs whose
// functions answer with a status where 0 is success, E_NOTIMPL, a failed
// NTSTATUS or HRESULT and no GDI+ Ok.
INT_PTR WINAPI MissingFunction() noexcept
{
    SetLastError(ERROR_PROC_NOT_FOUND);
    return 0;
}

INT_PTR WINAPI MissingStatusFunction() noexcept
{
    SetLastError(ERROR_PROC_NOT_FOUND);
    return E_NOTIMPL;
}

FARPROC WINAPI DelayLoadFailed(unsigned notice, PDelayLoadInfo info) noexcept
{
    // A missing DLL: the program's own module stands in, where no system
    // function is found, so each of its functions comes back here.
    if (notice == dliFailLoadLib)
        return reinterpret_cast<FARPROC>(GetModuleHandleW(nullptr));
    if (notice != dliFailGetProc)
        return nullptr;
    for (const char* dll : {"bcrypt.dll", "gdiplus.dll", "ole32.dll", "mfplat.dll", "mf.dll", "mfreadwrite.dll"})
        if (lstrcmpiA(info->szDll, dll) == 0)
            return MissingStatusFunction;
    return MissingFunction;
}

}  // namespace

extern "C" {
PfnDliHook __pfnDliFailureHook2 = DelayLoadFailed;
}
