// The information channels' screens as the home screen opens them.
#pragma once

#include "app/shell/ModuleRegistry.h"

// Fills the factories of the modules built in this library: 时事直通
// (SSZTFrontViewController with SSZTRearViewController), 移动党校
// (YDDXFrontViewController with YDDXRearViewController), 便民服务
// (BMFWFrontViewController) and 先锋Velmarsh (MaiWeiViewController).
void registerChannelsModule(ModuleRegistry& registry);
