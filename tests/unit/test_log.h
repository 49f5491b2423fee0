// The owner's log as the unit tests link it: LogEvent keeps each text in
// memory, so that a test can check what a step logs.
#pragma once

#include <string>
#include <vector>

#include "win32/event_log.h"

// The texts logged since the last call, in order.
std::vector<std::string> TakeLoggedTexts();
