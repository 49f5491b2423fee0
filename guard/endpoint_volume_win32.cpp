#include "guard/endpoint_volume_win32.h"

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "guard/guard_dialog_win32.h"
#include "guard/input_hooks_win32.h"

namespace {

const CLSID CLSID_DeviceEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};

// Marks the endpoint writes this program makes, so their notices are ignored.
const GUID OWN_WRITE = {0x6B1C2E5A, 0x93D4, 0x4F0B, {0xA1, 0x7E, 0x2C, 0x58, 0x0D, 0x94, 0xE3, 0x61}};

// QueryInterface of a notice object that is one interface besides IUnknown.
template <class Interface>
HRESULT QueryOneInterface(Interface* self, REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(Interface))) {
        *object = self;
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

}  // namespace

HRESULT STDMETHODCALLTYPE CoreAudioEndpoint::Notice::QueryInterface(REFIID iid, void** object) noexcept
{
    return QueryOneInterface<IAudioEndpointVolumeCallback>(this, iid, object);
}

HRESULT STDMETHODCALLTYPE CoreAudioEndpoint::Notice::OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) noexcept
{
    AtCallbackEdge([&] {
        if (data && !IsEqualGUID(data->guidEventContext, OWN_WRITE))
            PostToGuard(WM_APP_ENDPOINT_CHANGED, 0);
    });
    return S_OK;
}

CoreAudioEndpoint::CoreAudioEndpoint() = default;

CoreAudioEndpoint::~CoreAudioEndpoint()
{
    Detach();
}

HRESULT STDMETHODCALLTYPE CoreAudioEndpoint::DeviceNotice::QueryInterface(REFIID iid, void** object) noexcept
{
    return QueryOneInterface<IMMNotificationClient>(this, iid, object);
}

HRESULT STDMETHODCALLTYPE CoreAudioEndpoint::DeviceNotice::OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                                                  LPCWSTR) noexcept
{
    AtCallbackEdge([&] {
        // Once per change: the system calls this for every role.
        if (flow == eRender && role == eConsole)
            PostToGuard(WM_APP_DEFAULT_DEVICE_CHANGED, 0);
    });
    return S_OK;
}

bool CoreAudioEndpoint::Attach()
{
    return Reach(nullptr, true);
}

bool CoreAudioEndpoint::AttachTo(const std::u16string& id)
{
    return Reach(reinterpret_cast<const wchar_t*>(id.c_str()), false);
}

bool CoreAudioEndpoint::Reach(const wchar_t* id, bool withNotices)
{
    Detach();
    com_.Start(COINIT_MULTITHREADED);  // RPC_E_CHANGED_MODE: the thread's own apartment serves
    ScopedComPtr<IMMDevice> device;
    HRESULT result = CoCreateInstance(CLSID_DeviceEnumerator, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                      reinterpret_cast<void**>(enumerator_.Receive()));
    if (FAILED(result))
        LogFailedCall("CoCreateInstance (the audio device enumerator)", DWORD(result));
    else if (FAILED(result = id ? enumerator_.Get()->GetDevice(id, device.Receive())
                                : enumerator_.Get()->GetDefaultAudioEndpoint(eRender, eConsole, device.Receive())))
        LogFailedCall(id ? "IMMDeviceEnumerator::GetDevice" : "IMMDeviceEnumerator::GetDefaultAudioEndpoint",
                      DWORD(result));
    if (SUCCEEDED(result)) {
        result = device.Get()->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                        reinterpret_cast<void**>(volume_.Receive()));
        if (FAILED(result)) {
            LogFailedCall("IMMDevice::Activate (the endpoint volume)", DWORD(result));
            volume_.Take();  // a failed call may leave anything there
        }
        LPWSTR deviceId = nullptr;
        if (SUCCEEDED(device.Get()->GetId(&deviceId)) && deviceId) {
            const ScopedCoTaskMem<wchar_t> owned(deviceId);
            id_.assign(reinterpret_cast<const char16_t*>(deviceId));  // wchar_t is UTF-16 on Windows
        }
    }
    device.Reset();
    if (!volume_) {
        Detach();
        return false;
    }
    if (withNotices) {
        result = volume_.Get()->RegisterControlChangeNotify(&notice_);
        if (!(noticeRegistered_ = SUCCEEDED(result)))
            LogFailedCall("IAudioEndpointVolume::RegisterControlChangeNotify", DWORD(result));
        result = enumerator_.Get()->RegisterEndpointNotificationCallback(&deviceNotice_);
        if (!(deviceNoticeRegistered_ = SUCCEEDED(result)))
            LogFailedCall("IMMDeviceEnumerator::RegisterEndpointNotificationCallback", DWORD(result));
    }
    return true;
}

void CoreAudioEndpoint::Detach()
{
    if (volume_ && noticeRegistered_)
        volume_.Get()->UnregisterControlChangeNotify(&notice_);
    noticeRegistered_ = false;
    if (enumerator_ && deviceNoticeRegistered_)
        enumerator_.Get()->UnregisterEndpointNotificationCallback(&deviceNotice_);
    deviceNoticeRegistered_ = false;
    volume_.Reset();
    enumerator_.Reset();
    id_.clear();
    com_.Reset();
}

bool CoreAudioEndpoint::GetVolume(float& level)
{
    return volume_ && SUCCEEDED(volume_.Get()->GetMasterVolumeLevelScalar(&level));
}

bool CoreAudioEndpoint::SetVolume(float level)
{
    if (!volume_)
        return false;
    const HRESULT result = volume_.Get()->SetMasterVolumeLevelScalar(level, &OWN_WRITE);
    if (FAILED(result))
        LogFailedCall("IAudioEndpointVolume::SetMasterVolumeLevelScalar", DWORD(result));
    return SUCCEEDED(result);
}

bool CoreAudioEndpoint::GetMute(bool& muted)
{
    BOOL value = FALSE;
    if (!volume_ || FAILED(volume_.Get()->GetMute(&value)))
        return false;
    muted = value != FALSE;
    return true;
}

bool CoreAudioEndpoint::SetMute(bool muted)
{
    if (!volume_)
        return false;
    const HRESULT result = volume_.Get()->SetMute(muted ? TRUE : FALSE, &OWN_WRITE);
    if (FAILED(result))
        LogFailedCall("IAudioEndpointVolume::SetMute", DWORD(result));
    return SUCCEEDED(result);
}
