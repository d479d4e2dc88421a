#include "cases/Module.h"

#include "cases/DJWGRearViewController.h"

void registerCasesModule(ModuleRegistry& registry) {
    registry.djwg.rear = [] { return ui::create<DJWGRearViewController>(); };
}
