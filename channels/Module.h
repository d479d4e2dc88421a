// The information channels' screens as the home screen opens them.
#pragma once

#include "app/ModuleRegistry.h"

// Fills the factories of the modules built in this library: 时事直通
// (SSZTFrontViewController with SSZTRearViewController) and 移动党校
// (YDDXFrontViewController with YDDXRearViewController).
void registerChannelsModule(ModuleRegistry& registry);
