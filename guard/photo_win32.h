// The thief's photo: with photos on, each alarm reads the first camera on a
// thread of its own (one photo at once, then one every 10 s, at most 6),
// so the camera never holds up the siren or the alarm's text message. The
// camera is opened for each photo and released before the next (its light
// goes off between them). Media Foundation reads the frame and WIC makes it
// a JPEG, both COM in the thread's own apartment; their DLLs load at their
// first call, as an N edition of Windows has no Media Foundation.
// KESTROVA_CAMERA_FILE, when set, names a video file read instead of the
// camera (the tests' stand-in camera).
#pragma once

#include <memory>
#include <string>

#include "online/push_notice.h"
#include "win32/scoped_win32.h"

// The event that ends the photos, set at the unlock.
using AlarmPhotosStop = std::shared_ptr<ScopedHandle>;

// Starts the photos of one alarm, each kept and sent to target (with
// causeText); a camera that gives none sends "No photo: <reason>" once and
// ends them. Null when the thread could not start (logged).
AlarmPhotosStop StartAlarmPhotos(const PushTarget& target, const std::string& causeText) noexcept;
// No photo is taken after this; one being taken still goes.
void StopAlarmPhotos(AlarmPhotosStop& stop) noexcept;
