// guard_probe.exe: the siren, the alarm and the mixer's fatal path of the
// real program code, step by step for the guard scenarios, which listen at
// the sound server meanwhile.
//
//   guard_probe siren DIR   starts the siren, writes DIR\playing, waits for
//                           DIR\stop, stops it, writes DIR\stopped, waits for
//                           DIR\quit
//   guard_probe alarm DIR   the same with StartAlarm and StopAlarm, after
//                           setting the master volume to 0x4000; each status
//                           file holds "master=N" as read then, "playing"
//                           also "start_us=N", the time StartAlarm took
//   guard_probe alarm DIR failing
//                           the same, but the volume step runs out of memory
//                           before its first write
//   guard_probe alarm DIR sms URL
//                           the same with the SMS alarm on and the push
//                           address URL, the SMS notice out of memory at its
//                           first allocation
//   guard_probe reforce DIR runs the real guard dialog (password "abc", the
//                           shutdown trigger) and turns the master volume down
//                           to 0x4000 before sending it MM_MIXM_CONTROL_CHANGE,
//                           silent, then sounding (WM_QUERYENDSESSION); then
//                           unlocks; DIR\done holds "master=N" after each
//                           message and after the unlock
//   guard_probe mixer       opens the mixer (fatal when there is none)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "win32/ui_resources_win32.h"
#include "guard/guard_config.h"
#include "guard/guard_dialog_win32.h"
#include "guard/guard_thread_win32.h"
#include "guard/siren_win32.h"
#include "guard/volume_guard_win32.h"
#include "resource_ids.h"
#include "win32/scoped_win32.h"

// The next allocation on the thread that sets this fails, once: out of
// memory where the test chooses. The library's delete frees with free().
thread_local bool failNextAllocation = false;

void* operator new(size_t size)
{
    void* block = std::exchange(failNextAllocation, false) ? nullptr : std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WaitFor(const std::wstring& path)
{
    for (int i = 0; i < 6000 && !Exists(path); ++i)
        Sleep(10);
}

void Write(const std::wstring& path, const std::string& text)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

std::string MasterText(VolumeGuard& volume)
{
    return "master=" + std::to_string(volume.Read(MIXER_MASTER_VOLUME));
}

DWORD WINAPI RunGuard(LPVOID config) noexcept
{
    RunGuardDialog(*static_cast<const GuardConfig*>(config), Picture());  // no picture: GDI+ is not started here
    return 0;
}

HWND ArmedGuardDialog(DWORD thread)
{
    for (int i = 0; i < 6000; ++i) {
        HWND w = nullptr;
        while ((w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr) {
            if (GetWindowThreadProcessId(w, nullptr) == thread && GetDlgItem(w, IDC_GUARD_PASSWORD) && GuardArmed())
                return w;
        }
        Sleep(10);
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    const std::wstring dir = argc > 2 ? std::wstring(argv[2]) + L"\\" : L"";
    if (mode == L"siren") {
        StartSiren();
        Write(dir + L"playing", "");
        WaitFor(dir + L"stop");
        StopSiren();
        Write(dir + L"stopped", "");
        WaitFor(dir + L"quit");
        return 0;
    }
    if (mode == L"alarm") {
        GuardConfig config;  // no SMS service, no push address
        const bool sms = argc > 4 && std::wstring(argv[3]) == L"sms";
        if (sms) {
            config.flags = FLAG_SMS_SERVICE;
            config.push.url = std::string(argv[4], argv[4] + wcslen(argv[4]));  // ASCII
        }
        SirenState sounding;
        sounding.volume = OpenVolumeGuard(nullptr);  // as at arming: the endpoint is reached here
        if (!sounding.volume)
            SoundFatal(nullptr);
        VolumeGuard& volume = *sounding.volume;
        volume.Write(MIXER_MASTER_VOLUME, 0x4000);
        if (argc > 3 && std::wstring(argv[3]) == L"failing")
            volume.SetSavedListener([](const VolumeRecord&) { throw std::bad_alloc(); });
        const std::string before = MasterText(volume);
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        failNextAllocation = sms;
        StartAlarm(config, sounding, AlarmCause::Unknown);
        QueryPerformanceCounter(&end);
        const long long micros = (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
        Write(dir + L"playing", before + "\n" + MasterText(volume) + "\nstart_us=" + std::to_string(micros));
        WaitFor(dir + L"stop");
        StopAlarm(sounding);
        Write(dir + L"stopped", MasterText(volume));
        WaitFor(dir + L"quit");
        return 0;
    }
    if (mode == L"reforce") {
        GuardConfig config;
        config.password = u"abc";
        config.flags = FLAG_TRIGGER_SHUTDOWN;
        DWORD thread = 0;
        const ScopedHandle guard(CreateThread(nullptr, 0, RunGuard, &config, 0, &thread));
        const HWND dialog = guard ? ArmedGuardDialog(thread) : nullptr;
        if (!dialog)
            return 1;
        VolumeGuard mixer(CreateWinmmMixerDevice(), nullptr);  // a handle of the probe's own
        if (!mixer.OpenWithWindow(0))
            return 1;
        std::string found;
        for (UINT trigger : {UINT(WM_NULL), UINT(WM_QUERYENDSESSION)}) {
            SendMessageW(dialog, trigger, 0, 0);
            mixer.Write(MIXER_MASTER_VOLUME, 0x4000);
            SendMessageW(dialog, MM_MIXM_CONTROL_CHANGE, 0, 0);
            found += MasterText(mixer) + "\n";
        }
        SetDlgItemTextW(dialog, IDC_GUARD_PASSWORD, L"abc");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        WaitForSingleObject(guard.Get(), 30000);
        Write(dir + L"done", found + MasterText(mixer));
        return 0;
    }
    if (mode == L"mixer") {
        if (!OpenVolumeGuard(nullptr))
            SoundFatal(nullptr);
        return 0;
    }
    return 2;
}
