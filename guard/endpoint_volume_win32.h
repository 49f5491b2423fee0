// The default render endpoint's volume and mute through Core Audio. Where the
// system offers no such endpoint or does not implement the interface (Wine
// answers E_NOTIMPL), every call fails quietly.
#pragma once

#include <windows.h>

#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <string>

#include "win32/scoped_win32.h"
#include "guard/volume_guard.h"

class CoreAudioEndpoint : public AudioEndpoint {
public:
    CoreAudioEndpoint();
    ~CoreAudioEndpoint() override;
    CoreAudioEndpoint(const CoreAudioEndpoint&) = delete;
    CoreAudioEndpoint& operator=(const CoreAudioEndpoint&) = delete;

    // On the calling thread (COM is started there when it is not yet).
    bool Attach() override;
    bool AttachTo(const std::u16string& id) override;
    void Detach() override;
    std::u16string Id() override { return id_; }
    bool GetVolume(float& level) override;
    bool SetVolume(float level) override;
    bool GetMute(bool& muted) override;
    bool SetMute(bool muted) override;

private:
    // Change notices come on a system thread: they only post to the guard
    // thread, and those caused by our own writes are ignored.
    class Notice : public IAudioEndpointVolumeCallback {
    public:
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 1; }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
        HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) noexcept override;
    };

    // Default-device changes come on a system thread too: they only post
    // WM_APP_DEFAULT_DEVICE_CHANGED to the guard thread.
    class DeviceNotice : public IMMNotificationClient {
    public:
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 1; }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
        HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) noexcept override;
        HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) noexcept override { return S_OK; }
        HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) noexcept override
        {
            return S_OK;
        }
    };

    // Starts COM and reaches the device: the default one when id is null.
    bool Reach(const wchar_t* id, bool withNotices);

    Notice notice_;
    DeviceNotice deviceNotice_;
    ScopedComApartment com_;  // before the pointers, which must go first
    ScopedComPtr<IMMDeviceEnumerator> enumerator_;
    ScopedComPtr<IAudioEndpointVolume> volume_;
    std::u16string id_;
    bool noticeRegistered_ = false;
    bool deviceNoticeRegistered_ = false;
};
