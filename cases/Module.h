// The case-handling screens as the home screen opens them.
#pragma once

#include "app/shell/ModuleRegistry.h"

// Fills the factories of the modules built in this library: 党群直通
// (DqFrontViewController with DqRearViewController, channel_code "dqzt") and
// 党建网格 (DJWGFrontViewController with DJWGRearViewController).
void registerCasesModule(ModuleRegistry& registry);
