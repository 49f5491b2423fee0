// The default render endpoint's volume and mute through Core Audio. Where the
// system offers no such endpoint or does not implement the interface (Wine
// answers E_NOTIMPL), every call fails quietly.
#pragma once

#include <memory>

#include "guard/volume_guard.h"

// Attach and AttachTo start COM on the calling thread when it is not yet.
std::unique_ptr<AudioEndpoint> CreateCoreAudioEndpoint();
