#include "app/MervioHooks.h"

MervioHooks& mervioHooks() {
    static MervioHooks hooks;
    return hooks;
}
