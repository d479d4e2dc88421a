// The ShareUDID: a 40-character device identifier that every app of the
// device following the ShareUDID protocol shares through 100 named,
// persistent pasteboard slots ("org.ShareUDID.slot.0" to ".99"), with a local
// copy in the user defaults ("ShareUDID").
//
//   ns::ErrorPtr result;
//   std::string id = MVOMSAShareUDID::valueWithError(&result);   // result: domain "org.ShareUDID", code 0/1/2
//
// The identifier is worked out once per process: the local copy when there
// is one, else the one most slots hold (the lowest slot's on a tie), else a
// fresh one; this app then claims a free slot unless it already has one.
// An app that opted out gets forty "0". Slots are written by other apps:
// a slot that is not a keyed-archived dictionary counts as empty, and a
// value of another kind than the protocol's counts as missing. Thread-safe:
// concurrent first calls work it out once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "foundation/Error.h"
#include "foundation/Value.h"
#include "uikit/Pasteboard.h"

class MVOMSAShareUDID {
public:
    static constexpr const char* kPasteboardType = "org.ShareUDID";
    static constexpr const char* kSlotPrefix = "org.ShareUDID.slot.";
    static constexpr int kSlotCount = 100;
    static constexpr const char* kDefaultsKey = "ShareUDID";
    static constexpr const char* kAppUIDKey = "ShareUDID_appUID";
    static constexpr const char* kCreatedKey = "ShareUDID_createdTS";
    static constexpr const char* kSlotKey = "ShareUDID_slot";
    static constexpr const char* kOptOutKey = "ShareUDID_optOutTS";
    static constexpr const char* kErrorDomain = "org.ShareUDID";

    static std::string value();
    // The identifier; `error` (when given) receives the outcome in the
    // "org.ShareUDID" domain with its text under "description".
    static std::string valueWithError(ns::ErrorPtr* error);
    // Opts this app out of the protocol (YES) or back in (NO); the next call
    // works the identifier out again.
    static void setOptOut(bool optOut);

    // The slot's dictionary (a fresh mutable one), empty when the slot holds
    // none.
    static ns::Value _getDictFromPasteboard(const ui::PasteboardPtr& board);
    // Puts the dictionary's keyed archive on the slot: true when it was kept.
    static bool _setDict(const ns::Value& dict, const ui::PasteboardPtr& board);
    // MD5 of a new UUID's text as 32 lowercase hex digits, then a 32-bit
    // random number as 8.
    static std::string _generateFreshShareUDID();

    // Tests: forget the kept identifier; stand sources in for the new UUID
    // text and the random number (nullptr: the real ones again).
    static void resetCacheForTesting();
    static void setSourcesForTesting(std::function<std::string()> uuid, std::function<std::uint32_t()> random);
};
