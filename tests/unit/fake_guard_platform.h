// The guard filter's platform in memory, for the filter's tests and fuzz
// target: set answers, and counts of each question so a test can check the
// platform was asked only by the row that needs it.
#pragma once

#include <cstdint>

#include "guard/guard_filter.h"

class FakeGuardPlatform : public GuardPlatform {
public:
    uint8_t acLine = 1;
    InputDesktop inputDesktop = InputDesktop::Guard;
    DeviceNotice notice;
    bool muted = false;
    bool belowFull = false;
    PowerSettingNotice powerSetting;

    int acAsked = 0;
    int desktopAsked = 0;
    int noticeAsked = 0;
    int mutedAsked = 0;
    int belowFullAsked = 0;
    int powerSettingAsked = 0;

    uint8_t AcLineStatus() override
    {
        ++acAsked;
        return acLine;
    }
    InputDesktop WhichInputDesktop() override
    {
        ++desktopAsked;
        return inputDesktop;
    }
    DeviceNotice Notice() override
    {
        ++noticeAsked;
        return notice;
    }
    bool IsMuted() override
    {
        ++mutedAsked;
        return muted;
    }
    bool IsBelowFull() override
    {
        ++belowFullAsked;
        return belowFull;
    }
    PowerSettingNotice PowerSetting() override
    {
        ++powerSettingAsked;
        return powerSetting;
    }
    int Asked() const
    {
        return acAsked + desktopAsked + noticeAsked + mutedAsked + belowFullAsked + powerSettingAsked;
    }
};
