#include "members/Module.h"

#include "members/SignListViewController.h"

void registerMembersModule(ModuleRegistry& registry) {
    registry.signList = [] { return ui::create<SignListViewController>(); };
}
