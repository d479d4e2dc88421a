#include "cases/Module.h"

#include "cases/DJWGFrontViewController.h"
#include "cases/DJWGRearViewController.h"
#include "cases/DqFrontViewController.h"
#include "cases/DqRearViewController.h"

void registerCasesModule(ModuleRegistry& registry) {
    registry.dq.front = [] { return ui::create<DqFrontViewController>(); };
    registry.dq.rear = [] {
        auto rear = ui::create<DqRearViewController>();
        rear->channel_code = "dqzt";
        return rear;
    };
    registry.djwg.front = [] {
        auto front = ui::create<DJWGFrontViewController>();
        front->setChannel_code("djwg");
        return front;
    };
    registry.djwg.rear = [] { return ui::create<DJWGRearViewController>(); };
}
