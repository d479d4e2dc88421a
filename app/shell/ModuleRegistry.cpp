#include "app/shell/ModuleRegistry.h"

ModuleRegistry& moduleRegistry() {
    static ModuleRegistry registry;
    return registry;
}
