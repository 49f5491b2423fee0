#include "guard/endpoint_volume_win32.h"

#include "app/callback_edge_win32.h"
#include "guard/alarm.h"
#include "guard/alarm_win32.h"

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

template <class T>
void ReleaseAndNull(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
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
            PostEndpointChanged();
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
        if (flow == eRender && role == eConsole) {
            if (HWND relay = AlarmRelayWindow())
                PostMessageW(relay, ALARM_MESSAGE_DEFAULT_DEVICE_CHANGED, 0, 0);
        }
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
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    comStarted_ = SUCCEEDED(com);  // RPC_E_CHANGED_MODE: the thread's own apartment serves
    IMMDevice* device = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_DeviceEnumerator, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                   reinterpret_cast<void**>(&enumerator_))) &&
        SUCCEEDED(id ? enumerator_->GetDevice(id, &device)
                     : enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &device))) {
        if (FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                    reinterpret_cast<void**>(&volume_))))
            volume_ = nullptr;
        LPWSTR deviceId = nullptr;
        if (SUCCEEDED(device->GetId(&deviceId)) && deviceId) {
            for (const wchar_t* c = deviceId; *c; ++c)
                id_.push_back(char16_t(*c));
            CoTaskMemFree(deviceId);
        }
    }
    ReleaseAndNull(device);
    if (!volume_) {
        Detach();
        return false;
    }
    if (withNotices) {
        noticeRegistered_ = SUCCEEDED(volume_->RegisterControlChangeNotify(&notice_));
        deviceNoticeRegistered_ = SUCCEEDED(enumerator_->RegisterEndpointNotificationCallback(&deviceNotice_));
    }
    return true;
}

void CoreAudioEndpoint::Detach()
{
    if (volume_ && noticeRegistered_)
        volume_->UnregisterControlChangeNotify(&notice_);
    noticeRegistered_ = false;
    if (enumerator_ && deviceNoticeRegistered_)
        enumerator_->UnregisterEndpointNotificationCallback(&deviceNotice_);
    deviceNoticeRegistered_ = false;
    ReleaseAndNull(volume_);
    ReleaseAndNull(enumerator_);
    id_.clear();
    if (comStarted_)
        CoUninitialize();
    comStarted_ = false;
}

bool CoreAudioEndpoint::GetVolume(float& level)
{
    return volume_ && SUCCEEDED(volume_->GetMasterVolumeLevelScalar(&level));
}

bool CoreAudioEndpoint::SetVolume(float level)
{
    return volume_ && SUCCEEDED(volume_->SetMasterVolumeLevelScalar(level, &OWN_WRITE));
}

bool CoreAudioEndpoint::GetMute(bool& muted)
{
    BOOL value = FALSE;
    if (!volume_ || FAILED(volume_->GetMute(&value)))
        return false;
    muted = value != FALSE;
    return true;
}

bool CoreAudioEndpoint::SetMute(bool muted)
{
    return volume_ && SUCCEEDED(volume_->SetMute(muted ? TRUE : FALSE, &OWN_WRITE));
}
