#include "app/shell/MervioHooks.h"

MervioHooks& mervioHooks() {
    static MervioHooks hooks;
    return hooks;
}
