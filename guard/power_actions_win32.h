// The power schemes through powrprof, loaded at run time: Wine lacks some of
// these functions, and where any is missing every call fails and arming goes
// on without them.
#pragma once

#include <memory>

#include "guard/give_back.h"

std::unique_ptr<PowerStore> CreatePowrprofPowerStore();
