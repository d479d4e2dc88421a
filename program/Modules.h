// The modules built into this program, registered as the program's entry
// does before the application starts: each module library that exists fills
// its factories, and the home screen's shared web screen is the titled web
// page (OCJUIWebViewController).
#pragma once

#include "app/shell/MervioHooks.h"
#include "app/shell/ModuleRegistry.h"

void registerBuiltInModules(ModuleRegistry& modules, MervioHooks& mervio);
