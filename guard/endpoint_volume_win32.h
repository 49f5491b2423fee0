// The default render endpoint's volume and mute through Core Audio. Where the
// system offers no such endpoint or does not implement the interface (Wine
// answers E_NOTIMPL), every call fails quietly.
#pragma once

#include <windows.h>

#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include "guard/volume_guard.h"

class CoreAudioEndpoint : public AudioEndpoint {
public:
    CoreAudioEndpoint();
    ~CoreAudioEndpoint() override;
    CoreAudioEndpoint(const CoreAudioEndpoint&) = delete;
    CoreAudioEndpoint& operator=(const CoreAudioEndpoint&) = delete;

    // On the calling thread (COM is started there when it is not yet).
    bool Attach() override;
    void Detach() override;
    bool GetVolume(float& level) override;
    bool SetVolume(float level) override;
    bool GetMute(bool& muted) override;
    bool SetMute(bool muted) override;
    std::u16string Id() override { return id_; }

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

    Notice notice_;
    IAudioEndpointVolume* volume_ = nullptr;
    bool noticeRegistered_ = false;
    bool comStarted_ = false;
    std::u16string id_;
};
