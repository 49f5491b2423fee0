// Mixer device 0 through winmm.
#pragma once

#include <memory>

#include "guard/mixer.h"

std::unique_ptr<MixerDevice> CreateWinmmMixerDevice();
