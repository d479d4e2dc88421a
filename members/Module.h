// The member services as the home screen opens them.
#pragma once

#include "app/shell/ModuleRegistry.h"

// Fills the factories of the screens built in this library: the sign-in
// calendar (签到, SignListViewController), the SMS platform (短信平台,
// SMSViewController) and the representatives' directory
// (PartyBehalfViewController, which no tile opens).
void registerMembersModule(ModuleRegistry& registry);
