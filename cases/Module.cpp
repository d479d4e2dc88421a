#include "cases/Module.h"

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
    registry.djwg.rear = [] { return ui::create<DJWGRearViewController>(); };
}
