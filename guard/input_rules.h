// What the low-level hooks decide, over plain values, so the decisions run and
// are tested without Windows. The hook procedures only translate.
#pragma once

#include <cstdint>

// Virtual-key codes the keyboard filter looks at (the Windows values).
constexpr uint32_t KEY_CONTROL = 0x11;
constexpr uint32_t KEY_MENU = 0x12;  // Alt
constexpr uint32_t KEY_LEFT_WIN = 0x5B;
constexpr uint32_t KEY_RIGHT_WIN = 0x5C;
constexpr uint32_t KEY_LEFT_CONTROL = 0xA2;
constexpr uint32_t KEY_RIGHT_CONTROL = 0xA3;
constexpr uint32_t KEY_LEFT_MENU = 0xA4;
constexpr uint32_t KEY_RIGHT_MENU = 0xA5;
constexpr uint32_t KEY_VOLUME_MUTE = 0xAD;
constexpr uint32_t KEY_VOLUME_DOWN = 0xAE;
constexpr uint32_t KEY_VOLUME_UP = 0xAF;

// True when a key event, down or up, must not reach any window: a Windows
// key, a volume key (the siren would drop out until the volume is forced
// again), any key while Ctrl is down, any key flagged with Alt down, and the
// Alt keys themselves. The Ctrl keys' own events always pass: the hook sees Ctrl's
// key-up while Ctrl still counts as down, and swallowing it would leave Ctrl
// stuck down for good, so every later key (the password too) would be lost.
// Alt is caught by its key code as well because not every system sets the
// Alt flag; without Alt's key-down no Alt combination can form.
bool ShouldSwallowKey(bool ctrlDown, uint32_t keyCode, bool altFlag) noexcept;

// The mouse-motion detector's running sum of cursor travel since the last
// reset, in whole pixels.
struct MotionState {
    int32_t lastX = 0;
    int32_t lastY = 0;
    int64_t distance = 0;
};

// Starts the sum again from the given cursor position.
void ResetMotion(MotionState& state, int32_t x, int32_t y) noexcept;

// Adds the straight distance from the last position to (x, y), truncated to
// whole pixels, and makes (x, y) the last position. Returns true when the sum
// has passed the sensitivity (strictly greater); the sum then starts again
// from 0. 64-bit and floating arithmetic: no jump across the whole 32-bit
// coordinate range overflows.
bool StepMotion(MotionState& state, int32_t x, int32_t y, int32_t sensitivity) noexcept;
