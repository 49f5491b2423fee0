// What the settings dialog decides, apart from the controls that show it:
// the drag measurement of the sensitivity and what OK stores.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings.h"

// The edits' read buffers, terminator included.
constexpr size_t SENSITIVITY_TEXT_BYTES = 10;  // at most 9 characters

struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// One per opening of the dialog: the start point and the last cursor sample
// survive from one drag to the next.
struct DragState {
    bool dragging = false;
    ScreenPoint start;
    ScreenPoint sample;
};

// The click position of a mouse message: low word x, high word y, each
// unsigned, so a click left of or above the client area reads as large.
ScreenPoint ClientPointFromMessage(uint32_t lParam);

// Straight-line distance in pixels, truncated. Each coordinate is first
// clamped to +-65536, past anything a client point or a cursor reaches.
int64_t DragDistance(const ScreenPoint& start, const ScreenPoint& sample);

// Button down: records the start point whether or not a drag begins; true
// when it begins, strictly inside the frame (the caller captures the mouse).
bool BeginDrag(DragState& state, const ScreenPoint& start, const ScreenRect& frame);

// Mouse move with the cursor sampled just now: while dragging with the left
// button down, records the sample and returns the distance to show.
std::optional<int64_t> DragMove(DragState& state, bool leftButtonDown, const ScreenPoint& cursorNow);

// Button up: true when it ended a drag (the caller releases the mouse).
bool EndDrag(DragState& state);

// A number as the sensitivity edit shows it: decimal, cut to what its
// 10-byte buffer holds, so what is shown is what OK stores.
std::string SensitivityFieldText(int64_t value);

// The dialog's fields, as shown at initialisation and as read on OK.
struct SettingsDialogEntries {
    std::string sensitivityText;
    bool dailyUpdateCheck = false;
    std::u16string password;
    std::string serverUser;
    std::string serverPass;
    bool useSmsService = false;
    std::string notifyUrl;  // plain ASCII, once NotifyUrlRefusal has let it through
    PushKind notifyKind = PushKind::Ntfy;
    uint16_t hotKey = 0;  // the hot-key control's word (HotKeyControlValue)
    bool startWithWindows = false;
    bool takePhotos = false;
};

SettingsDialogEntries EntriesFromSettings(const Settings& settings);

// The push address as typed: why it is refused (for the owner's box), or null
// when it may be stored: a valid address, or none at all.
const char* NotifyUrlRefusal(const std::u16string& typed);
// The typed address as stored, taken as owners paste it: white space around
// it dropped, https:// before one without a scheme; a character past ASCII
// becomes a byte PushAddressRefusal refuses.
std::string NotifyUrlText(const std::u16string& typed);

// OK: stores the fields in the dialog's order, cutting each to its buffer.
// True when the SMS service is on and the account check must start.
[[nodiscard]] bool StoreSettingsDialogEntries(Settings& settings, const SettingsDialogEntries& entries);
