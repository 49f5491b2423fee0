#include "guard/volume_guard_win32.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include "win32/callback_edge_win32.h"
#include "win32/event_log_win32.h"
#include "win32/scoped_win32.h"
#include "guard/guard_dialog_win32.h"
#include "guard/input_hooks_win32.h"

namespace {

const CLSID CLSID_DeviceEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};

// Marks the endpoint writes this program makes, so their notices are ignored.
const GUID OWN_WRITE = {0x6B1C2E5A, 0x93D4, 0x4F0B, {0xA1, 0x7E, 0x2C, 0x58, 0x0D, 0x94, 0xE3, 0x61}};

// The endpoint, and the receiver of its volume notices and the default-device
// notices. Both come on a system thread and only post to the guard thread; a
// volume notice caused by our own write is ignored. Never handed on: no
// counting.
class CoreAudioEndpoint : public AudioEndpoint, public IAudioEndpointVolumeCallback, public IMMNotificationClient {
public:
    ~CoreAudioEndpoint() override { Detach(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IAudioEndpointVolumeCallback)))
            *object = static_cast<IAudioEndpointVolumeCallback*>(this);
        else if (IsEqualIID(iid, __uuidof(IMMNotificationClient)))
            *object = static_cast<IMMNotificationClient*>(this);
        else
            *object = nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 1; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }

    HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) noexcept override
    {
        AtCallbackEdge([&] {
            if (data && !IsEqualGUID(data->guidEventContext, OWN_WRITE))
                PostToGuard(WM_APP_ENDPOINT_CHANGED, 0);
        });
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) noexcept override
    {
        AtCallbackEdge([&] {
            // Once per change: the system calls this for every role.
            if (flow == eRender && role == eConsole)
                PostToGuard(WM_APP_DEFAULT_DEVICE_CHANGED, 0);
        });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) noexcept override { return S_OK; }

    bool Attach() override { return Reach(nullptr, true); }
    bool AttachTo(const std::u16string& id) override
    {
        return Reach(reinterpret_cast<const wchar_t*>(id.c_str()), false);  // wchar_t is UTF-16 on Windows
    }

    void Detach() override
    {
        if (noticeRegistered_)
            volume_.Get()->UnregisterControlChangeNotify(this);
        if (deviceNoticeRegistered_)
            enumerator_.Get()->UnregisterEndpointNotificationCallback(this);
        noticeRegistered_ = deviceNoticeRegistered_ = false;
        volume_.Reset();
        enumerator_.Reset();
        id_.clear();
        com_.Reset();
    }

    std::u16string Id() override { return id_; }

    bool GetVolume(float& level) override
    {
        return volume_ && SUCCEEDED(volume_.Get()->GetMasterVolumeLevelScalar(&level));
    }
    bool SetVolume(float level) override
    {
        return volume_ && LogIfFailed(volume_.Get()->SetMasterVolumeLevelScalar(level, &OWN_WRITE),
                                      "IAudioEndpointVolume::SetMasterVolumeLevelScalar");
    }
    bool GetMute(bool& muted) override
    {
        BOOL value = FALSE;
        const bool read = volume_ && SUCCEEDED(volume_.Get()->GetMute(&value));
        muted = read ? value != FALSE : muted;
        return read;
    }
    bool SetMute(bool muted) override
    {
        return volume_ && LogIfFailed(volume_.Get()->SetMute(muted ? TRUE : FALSE, &OWN_WRITE),
                                      "IAudioEndpointVolume::SetMute");
    }

private:
    // Starts COM and reaches the device: the default one when id is null.
    bool Reach(const wchar_t* id, bool withNotices)
    {
        Detach();
        com_ = StartComApartment(COINIT_MULTITHREADED);  // RPC_E_CHANGED_MODE: the thread's own apartment serves
        ScopedComPtr<IMMDevice> device;
        const bool reached =
            LogIfFailed(CoCreateInstance(CLSID_DeviceEnumerator, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                         reinterpret_cast<void**>(enumerator_.Receive())),
                        "CoCreateInstance (the audio device enumerator)") &&
            (id ? LogIfFailed(enumerator_.Get()->GetDevice(id, device.Receive()), "IMMDeviceEnumerator::GetDevice")
                : LogIfFailed(enumerator_.Get()->GetDefaultAudioEndpoint(eRender, eConsole, device.Receive()),
                              "IMMDeviceEnumerator::GetDefaultAudioEndpoint")) &&
            LogIfFailed(device.Get()->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                               reinterpret_cast<void**>(volume_.Receive())),
                        "IMMDevice::Activate (the endpoint volume)");
        if (!reached) {
            volume_.Take();  // a failed call may leave anything there
            Detach();
            return false;
        }
        ScopedCoTaskMem<wchar_t> deviceId;
        if (SUCCEEDED(device.Get()->GetId(deviceId.Receive())) && deviceId)
            id_.assign(reinterpret_cast<const char16_t*>(deviceId.Get()));
        if (withNotices) {
            noticeRegistered_ = LogIfFailed(volume_.Get()->RegisterControlChangeNotify(this),
                                            "IAudioEndpointVolume::RegisterControlChangeNotify");
            deviceNoticeRegistered_ = LogIfFailed(enumerator_.Get()->RegisterEndpointNotificationCallback(this),
                                                  "IMMDeviceEnumerator::RegisterEndpointNotificationCallback");
        }
        return true;
    }

    ScopedComApartment com_;  // before the pointers, which must go first
    ScopedComPtr<IMMDeviceEnumerator> enumerator_;
    ScopedComPtr<IAudioEndpointVolume> volume_;
    std::u16string id_;
    bool noticeRegistered_ = false;
    bool deviceNoticeRegistered_ = false;
};

}  // namespace

std::unique_ptr<AudioEndpoint> CreateCoreAudioEndpoint()
{
    return std::make_unique<CoreAudioEndpoint>();
}
