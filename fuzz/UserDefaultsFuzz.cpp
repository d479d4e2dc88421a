// The user-defaults file at start-up: whatever the stored file holds, the
// store opens (empty when the file is damaged), start-up's reads and writes
// work, and what synchronize writes opens again with the same contents.
#include <filesystem>
#include <fstream>

#include "FuzzSupport.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/UserDefaults.h"

namespace {

// What start-up and the screens read from the store.
void readAsTheProgramDoes(ns::UserDefaults& defaults) {
    Utils::isLogin();
    Utils::getMember();
    defaults.boolForKey(Utils::kLoginStateKey);
    records::text(defaults.objectForKey("MobileOrg_id"));
    records::text(defaults.objectForKey("QuorvelOrg_id"));
    for (const auto& key : defaults.dictionaryRepresentation().keys()) {
        defaults.stringForKey(key);
        defaults.arrayForKey(key);
        defaults.dictionaryForKey(key);
        defaults.dataForKey(key);
        defaults.dateForKey(key);
        defaults.integerForKey(key);
        defaults.doubleForKey(key);
        defaults.floatForKey(key);
        defaults.boolForKey(key);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    static const std::string path = [] {
        std::string p = ns::UserDefaults::standardUserDefaults()->path();
        ns::UserDefaults::resetStandardUserDefaults();
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        return p;
    }();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        FUZZ_CHECK(file.good());
    }

    // Start-up: the per-run keys are reset and the store written.
    auto defaults = ns::UserDefaults::standardUserDefaults();
    readAsTheProgramDoes(*defaults);
    defaults->setObject(ns::Value(""), "MobileOrg_id");
    defaults->setObject(ns::Value(""), "QuorvelOrg_id");
    defaults->setBool(false, Utils::kLoginStateKey);
    FUZZ_CHECK(defaults->synchronize());
    ns::Value stored = defaults->dictionaryRepresentation();
    FUZZ_CHECK(stored[Utils::kLoginStateKey].isBool() && !defaults->boolForKey(Utils::kLoginStateKey));
    defaults.reset();

    // The next run reads back what this one wrote.
    ns::UserDefaults::resetStandardUserDefaults();
    auto next = ns::UserDefaults::standardUserDefaults();
    FUZZ_CHECK(fuzz::sameValue(next->dictionaryRepresentation(), stored, {.dateSeconds = 1e-5}));
    readAsTheProgramDoes(*next);
    next.reset();
    ns::UserDefaults::resetStandardUserDefaults();
    return 0;
}
