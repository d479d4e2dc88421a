#include "app/ModuleRegistry.h"

ModuleRegistry& moduleRegistry() {
    static ModuleRegistry registry;
    return registry;
}
