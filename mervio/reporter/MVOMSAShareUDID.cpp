#include "mervio/reporter/MVOMSAShareUDID.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "foundation/Data.h"
#include "foundation/Format.h"
#include "foundation/KeyedArchive.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "mervio/RecordReader.h"

namespace {

struct Shared {
    std::mutex mutex;  // held while the identifier is worked out
    std::optional<std::string> cached;
};

Shared& shared() {
    static Shared s;
    return s;
}

struct Sources {
    std::mutex mutex;
    std::function<std::string()> uuid;
    std::function<std::uint32_t()> random;
};

Sources& sources() {
    static Sources s;
    return s;
}

std::string newUUIDText() {
    std::function<std::string()> source;
    {
        std::lock_guard lock(sources().mutex);
        source = sources().uuid;
    }
    return source ? source() : ns::uuidString();
}

std::uint32_t newRandom() {
    std::function<std::uint32_t()> source;
    {
        std::lock_guard lock(sources().mutex);
        source = sources().random;
    }
    return source ? source() : static_cast<std::uint32_t>(std::random_device{}());
}

void report(ns::ErrorPtr* error, long code, const std::string& text) {
    if (error)
        *error = ns::makeError(MVOMSAShareUDID::kErrorDomain, code, ns::Value::dictionary({{"description", ns::Value(text)}}));
}

// A date under the key, or nil (another kind counts as missing).
ns::Value dateFor(const ns::Value& dict, const char* key) {
    ns::Value v = dict[key];
    return v.isDate() ? v : ns::Value();
}

// Works the identifier out; the caller holds the lock.
std::string compute(ns::ErrorPtr* error) {
    using S = MVOMSAShareUDID;
    auto defaults = ns::UserDefaults::standardUserDefaults();
    ns::Value storedUID = defaults->objectForKey(S::kAppUIDKey);
    std::string appUID = storedUID.isString() ? storedUID.str() : std::string();
    if (appUID.empty()) appUID = newUUIDText();

    ns::Value local = defaults->dictionaryForKey(S::kDefaultsKey);  // a copy of the stored one
    bool hasLocal = local.isDictionary();
    std::optional<std::string> localId = mvrecord::text(local, S::kDefaultsKey);
    std::optional<std::string> ownSlot = mvrecord::text(local, S::kSlotKey);
    ns::Value optOutDate = dateFor(local, S::kOptOutKey);
    bool optedOut = !optOutDate.isNil();

    std::optional<std::string> availableSlot;
    std::vector<std::pair<std::string, int>> counts;  // in the order first seen
    for (int i = 0; i < S::kSlotCount; ++i) {
        std::string name = ns::format("%@%d", S::kSlotPrefix, i);
        ui::PasteboardPtr board = ui::Pasteboard::pasteboardWithName(name, false);
        if (!board) {
            if (!availableSlot) availableSlot = name;
            continue;
        }
        ns::Value dict = S::_getDictFromPasteboard(board);
        if (auto id = mvrecord::text(dict, S::kDefaultsKey)) {
            auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == *id; });
            if (it == counts.end())
                counts.emplace_back(*id, 1);
            else
                ++it->second;
        } else if (!availableSlot) {
            availableSlot = name;
        }
        if (mvrecord::text(dict, S::kAppUIDKey) == appUID) {
            ownSlot = name;
            if (optedOut) {
                optOutDate = dateFor(dict, S::kOptOutKey);
                optedOut = !optOutDate.isNil();
            }
        }
    }
    std::optional<std::string> mostFrequent;
    int best = 0;
    for (const auto& [id, n] : counts) {
        if (n > best) {
            best = n;
            mostFrequent = id;
        }
    }

    std::string identifier;
    bool discrepancy = false;
    bool save = false;
    if (localId) {
        identifier = *localId;
        discrepancy = mostFrequent && *mostFrequent != *localId;
    } else {
        identifier = mostFrequent ? *mostFrequent : S::_generateFreshShareUDID();
        if (!hasLocal) {
            local = ns::Value::dictionary({{S::kDefaultsKey, ns::Value(identifier)},
                                           {S::kAppUIDKey, ns::Value(appUID)},
                                           {S::kCreatedKey, ns::Value(ns::now())}});
            hasLocal = true;
            save = true;
        }
    }

    if (availableSlot && (!ownSlot || *availableSlot == *ownSlot)) {
        // The local copy names the slot only once the slot holds it.
        ui::PasteboardPtr board = ui::Pasteboard::pasteboardWithName(*availableSlot, true);
        if (board && board->setPersistent(true) && hasLocal) {
            ns::Value claimed = local;
            claimed.set(S::kSlotKey, ns::Value(*availableSlot));
            if (S::_setDict(claimed, board)) {
                local = claimed;
                save = true;
            }
        }
    }
    if (save) {
        defaults->setObject(local, S::kDefaultsKey);
        defaults->synchronize();
    }

    if (optedOut) {
        report(error, 1,
               ns::format("Application with unique id %@ is opted-out from ShareUDID as of %@", appUID, optOutDate));
        identifier = ns::format("%040x", 0);
    } else if (discrepancy) {
        report(error, 2,
               "Found a discrepancy between stored ShareUDID (reliable) and redundant copies; one of the apps on the "
               "device is most likely corrupting the ShareUDID protocol");
    } else {
        report(error, 0, "ShareUDID succesfully retrieved");
    }
    return identifier;
}

}  // namespace

std::string MVOMSAShareUDID::value() { return valueWithError(nullptr); }

std::string MVOMSAShareUDID::valueWithError(ns::ErrorPtr* error) {
    std::lock_guard lock(shared().mutex);
    if (shared().cached) {
        report(error, 0, "ShareUDID in cache from first call");
        return *shared().cached;
    }
    shared().cached = compute(error);
    return *shared().cached;
}

void MVOMSAShareUDID::setOptOut(bool optOut) {
    value();
    std::lock_guard lock(shared().mutex);
    auto defaults = ns::UserDefaults::standardUserDefaults();
    ns::Value local = defaults->dictionaryForKey(kDefaultsKey);
    if (!local.isDictionary()) local = ns::Value::dictionary();
    if (optOut)
        local.set(kOptOutKey, ns::Value(ns::now()));
    else
        local.remove(kOptOutKey);
    defaults->setObject(local, kDefaultsKey);
    defaults->synchronize();
    shared().cached.reset();
}

ns::Value MVOMSAShareUDID::_getDictFromPasteboard(const ui::PasteboardPtr& board) {
    if (board) {
        if (std::optional<ns::Bytes> data = board->dataForPasteboardType(kPasteboardType)) {
            ns::Value dict = ns::KeyedUnarchiver::unarchivedValue(*data);
            if (dict.isDictionary()) return dict;
        }
    }
    return ns::Value::dictionary();
}

bool MVOMSAShareUDID::_setDict(const ns::Value& dict, const ui::PasteboardPtr& board) {
    if (!board) return false;
    std::optional<ns::Bytes> data = ns::KeyedArchiver::archivedDataWithRootObject(dict);
    return data && board->setData(*data, kPasteboardType);
}

std::string MVOMSAShareUDID::_generateFreshShareUDID() {
    std::string id;
    for (std::uint8_t b : ns::md5(newUUIDText())) id += ns::format("%02x", b);
    return id + ns::format("%08lx", newRandom());
}

void MVOMSAShareUDID::resetCacheForTesting() {
    std::lock_guard lock(shared().mutex);
    shared().cached.reset();
}

void MVOMSAShareUDID::setSourcesForTesting(std::function<std::string()> uuid, std::function<std::uint32_t()> random) {
    std::lock_guard lock(sources().mutex);
    sources().uuid = std::move(uuid);
    sources().random = std::move(random);
}
