// The case-handling screens as the home screen opens them.
#pragma once

#include "app/ModuleRegistry.h"

// Fills the factories of the modules built in this library: 党群直通
// (DqFrontViewController with DqRearViewController, channel_code "dqzt").
void registerCasesModule(ModuleRegistry& registry);
