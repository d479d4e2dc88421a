#include "channels/Module.h"

#include "channels/BMFWFrontViewController.h"
#include "channels/MaiWeiViewController.h"
#include "channels/PartySchool.h"
#include "channels/SSZTFrontViewController.h"
#include "channels/SSZTRearViewController.h"

void registerChannelsModule(ModuleRegistry& registry) {
    registry.sszt.front = [] { return ui::create<SSZTFrontViewController>(); };
    registry.sszt.rear = [] { return ui::create<SSZTRearViewController>(); };
    registry.yddx.front = [] { return ui::create<YDDXFrontViewController>(); };
    registry.yddx.rear = [] { return ui::create<YDDXRearViewController>(); };
    registry.bmfw = [] { return ui::create<BMFWFrontViewController>(); };
    registry.maiWei = [] { return ui::create<MaiWeiViewController>(); };
}
