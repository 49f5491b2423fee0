#include "guard/input_rules.h"

#include <cmath>

bool ShouldSwallowKey(bool ctrlDown, uint32_t keyCode, bool altFlag) noexcept
{
    switch (keyCode) {
    case KEY_CONTROL:
    case KEY_LEFT_CONTROL:
    case KEY_RIGHT_CONTROL:
        return false;
    case KEY_LEFT_WIN:
    case KEY_RIGHT_WIN:
    case KEY_MENU:
    case KEY_LEFT_MENU:
    case KEY_RIGHT_MENU:
    case KEY_VOLUME_MUTE:
    case KEY_VOLUME_DOWN:
    case KEY_VOLUME_UP:
        return true;
    default:
        return ctrlDown || altFlag;
    }
}

void ResetMotion(MotionState& state, int32_t x, int32_t y) noexcept
{
    state = MotionState{x, y, 0};
}

bool StepMotion(MotionState& state, int32_t x, int32_t y, int32_t sensitivity) noexcept
{
    const double dx = double(int64_t(state.lastX) - x);
    const double dy = double(int64_t(state.lastY) - y);
    state.lastX = x;
    state.lastY = y;
    // Each step's fraction is dropped: a one-pixel diagonal step counts 1.
    state.distance += int64_t(std::sqrt(dx * dx + dy * dy));
    const bool passed = state.distance > sensitivity;
    if (passed)
        state.distance = 0;
    return passed;
}
