#include "members/Module.h"

#include "members/PartyBehalfViewController.h"
#include "members/SMSViewController.h"
#include "members/SignListViewController.h"

void registerMembersModule(ModuleRegistry& registry) {
    registry.signList = [] { return ui::create<SignListViewController>(); };
    registry.sms = [] { return ui::create<SMSViewController>(); };
    registry.partyBehalf = [] { return ui::create<PartyBehalfViewController>(); };
}
