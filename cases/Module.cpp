#include "cases/Module.h"

#include "cases/DJWGFrontViewController.h"
#include "cases/DJWGRearViewController.h"

void registerCasesModule(ModuleRegistry& registry) {
    registry.djwg.front = [] {
        auto front = ui::create<DJWGFrontViewController>();
        front->setChannel_code("djwg");
        return front;
    };
    registry.djwg.rear = [] { return ui::create<DJWGRearViewController>(); };
}
