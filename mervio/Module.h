// The Mervio SDK as the application shell reaches it: the SDK's slots of
// MervioHooks (app/shell/MervioHooks.h) filled with MVApi.
#pragma once

#include "app/shell/MervioHooks.h"
#include "app/shell/ModuleRegistry.h"

// Registration and the URLs handed back to the application go to MVApi,
// with the application delegate as a Mervio delegate that answers neither
// requests nor responses; the public-account page asks MVApi whether Mervio
// is installed and opens it through MVApi. The SDK opens no screen of the
// registry.
void registerMervioModule(ModuleRegistry& registry, MervioHooks& hooks);
