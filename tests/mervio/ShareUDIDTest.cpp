// The ShareUDID protocol on a device folder shared with other apps, and the
// reporter's keychain store.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "foundation/Data.h"
#include "foundation/Format.h"
#include "mervio/reporter/MVOMSAHelper.h"
#include "mervio/reporter/MVOMSAKeyChain.h"
#include "support/AllocationCount.h"
#include "support/FullDisk.h"
#include "support/HostilePlists.h"
#include "support/ReporterTest.h"
#include "uikit/DeviceStore.h"

namespace {

class ShareUDIDTest : public testsupport::ReporterTest {
protected:
    static std::string slotName(int i) { return ns::format("%@%d", MVOMSAShareUDID::kSlotPrefix, i); }

    // Another app's entry in a slot.
    static void writeSlot(int i, const std::string& id, const std::string& appUID = "peer") {
        auto board = ui::Pasteboard::pasteboardWithName(slotName(i), true);
        board->setPersistent(true);
        MVOMSAShareUDID::_setDict(ns::Value::dictionary({{MVOMSAShareUDID::kDefaultsKey, ns::Value(id)},
                                                         {MVOMSAShareUDID::kAppUIDKey, ns::Value(appUID)}}),
                                  board);
    }

    static ns::Value slot(int i) {
        auto board = ui::Pasteboard::pasteboardWithName(slotName(i), false);
        return board ? MVOMSAShareUDID::_getDictFromPasteboard(board) : ns::Value();
    }

    static std::pair<std::string, ns::ErrorPtr> identifier() {
        ns::ErrorPtr error;
        std::string id = MVOMSAShareUDID::valueWithError(&error);
        return {id, error};
    }

    static std::string description(const ns::ErrorPtr& e) { return e ? e->userInfo["description"].str() : ""; }
};

const std::string kX = std::string(32, 'a') + "00000001";
const std::string kY = std::string(32, 'b') + "00000002";

TEST_F(ShareUDIDTest, AnEmptyDeviceGetsAFreshIdentifierInSlotZero) {
    MVOMSAShareUDID::setSourcesForTesting([] { return std::string("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"); },
                                          [] { return 0xBEEFu; });
    auto [id, error] = identifier();
    EXPECT_EQ(id, ns::md5Hex(std::string_view("E621E1F8-C36C-495A-93FC-0C247A3E6E5F")) + "0000beef");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "org.ShareUDID");
    EXPECT_EQ(error->code, 0);
    EXPECT_EQ(description(error), "ShareUDID succesfully retrieved");

    EXPECT_EQ(slot(0)[MVOMSAShareUDID::kDefaultsKey].str(), id);
    EXPECT_EQ(slot(0)[MVOMSAShareUDID::kSlotKey].str(), slotName(0));
    EXPECT_TRUE(ui::Pasteboard::pasteboardWithName(slotName(0), false)->isPersistent());
    ns::Value local = ns::UserDefaults::standardUserDefaults()->dictionaryForKey("ShareUDID");
    EXPECT_EQ(local["ShareUDID"].str(), id);
    EXPECT_TRUE(local["ShareUDID_createdTS"].isDate());

    // Later calls keep the first answer, whatever the defaults say now.
    ns::UserDefaults::standardUserDefaults()->removeObjectForKey("ShareUDID");
    auto [again, cached] = identifier();
    EXPECT_EQ(again, id);
    EXPECT_EQ(cached->code, 0);
    EXPECT_EQ(description(cached), "ShareUDID in cache from first call");
}

TEST_F(ShareUDIDTest, TheIdentifierMostSlotsHoldIsTakenAndTheNextFreeSlotClaimed) {
    writeSlot(0, kX);
    writeSlot(1, kX);
    writeSlot(2, kY);
    auto [id, error] = identifier();
    EXPECT_EQ(id, kX);
    EXPECT_EQ(error->code, 0);
    EXPECT_EQ(slot(3)[MVOMSAShareUDID::kDefaultsKey].str(), kX);
    EXPECT_EQ(slot(2)[MVOMSAShareUDID::kDefaultsKey].str(), kY);
}

TEST_F(ShareUDIDTest, ALocalIdentifierTheSlotsContradictStaysAndIsReported) {
    writeSlot(0, kX);
    writeSlot(1, kX);
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value::dictionary({{"ShareUDID", ns::Value(kY)}}),
                                                        "ShareUDID");
    auto [id, error] = identifier();
    EXPECT_EQ(id, kY);
    EXPECT_EQ(error->code, 2);
    EXPECT_NE(description(error).find("Found a discrepancy between stored ShareUDID (reliable)"), std::string::npos);
}

TEST_F(ShareUDIDTest, DamagedSlotsCountAsEmpty) {
    ui::Pasteboard::pasteboardWithName(slotName(0), true)->setData(bytes("not an archive"), "org.ShareUDID");
    auto board = ui::Pasteboard::pasteboardWithName(slotName(1), true);
    MVOMSAShareUDID::_setDict(ns::Value::dictionary({{"ShareUDID", ns::Value(42)}}), board);  // a number, not text
    auto [id, error] = identifier();
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{40}"))) << id;
    EXPECT_EQ(error->code, 0);
    EXPECT_EQ(slot(0)[MVOMSAShareUDID::kDefaultsKey].str(), id);  // the first empty slot, now ours
}

TEST_F(ShareUDIDTest, OptingOutGivesZerosUntilOptingBackIn) {
    std::string id = MVOMSAShareUDID::value();
    MVOMSAShareUDID::setOptOut(true);
    auto [zeros, error] = identifier();
    EXPECT_EQ(zeros, std::string(40, '0'));
    EXPECT_EQ(error->code, 1);
    EXPECT_EQ(description(error).rfind("Application with unique id ", 0), 0u) << description(error);
    EXPECT_NE(description(error).find(" is opted-out from ShareUDID as of "), std::string::npos);

    MVOMSAShareUDID::setOptOut(false);
    auto [back, fine] = identifier();
    EXPECT_EQ(back, id);
    EXPECT_EQ(fine->code, 0);
}

// Three starts of the app on one device: one identifier, one slot, and the
// push token another app of the company left in the keychain item survives.
TEST_F(ShareUDIDTest, ThreeLaunchesKeepTheIdentifierTheSlotAndThePushToken) {
    std::string domain = MVOMSAPasteboard::getCompanyDomain();
    ASSERT_EQ(domain, "gov.velmarsh");
    MVOMSAKeyChain::save(domain, ns::Value::dictionary({{"pstoken", ns::Value("push-7f3a")}}));

    std::string first;
    for (int launch = 0; launch < 3; ++launch) {
        SCOPED_TRACE(launch);
        std::string deviceid = MVOMSAHelper::getInstance()->getEnv().deviceid;
        if (launch == 0) first = deviceid;
        EXPECT_EQ(deviceid, first);
        EXPECT_EQ(MVOMSAShareUDID::value(), first);
        ns::Value item = MVOMSAKeyChain::load(domain);
        EXPECT_EQ(item["msashareudid"].str(), first);
        EXPECT_EQ(item["pstoken"].str(), "push-7f3a");
        EXPECT_EQ(MVOMSAHelper::getInstance()->getPSDeviceToken(), "push-7f3a");
        EXPECT_EQ(slot(0)["ShareUDID"].str(), first);
        EXPECT_FALSE(ui::Pasteboard::pasteboardWithName(slotName(1), false));
        relaunch();
    }
    EXPECT_EQ(first.size(), 40u);
}

TEST_F(ShareUDIDTest, KeychainItemsHoldOneArchivedObjectPerName) {
    EXPECT_TRUE(MVOMSAKeyChain::load("MSA.EventIndex.Key").isNil());
    MVOMSAKeyChain::save("MSA.EventIndex.Key", ns::Value(57));
    MVOMSAKeyChain::save("MSA.EventIndex.Key", ns::Value(58));
    EXPECT_EQ(MVOMSAKeyChain::load("MSA.EventIndex.Key"), ns::Value(58));

    ns::Value query = MVOMSAKeyChain::getKeychainQuery("MSA.EventIndex.Key");
    query.set(sec::kReturnAttributes, ns::Value(true));
    ns::Value attributes;
    ASSERT_EQ(sec::itemCopyMatching(query, &attributes), sec::Status::Success);
    EXPECT_EQ(attributes[sec::kAttrAccessible].str(), sec::kAttrAccessibleAfterFirstUnlock);
    EXPECT_EQ(attributes[sec::kAttrService].str(), "MSA.EventIndex.Key");
    EXPECT_EQ(attributes[sec::kAttrAccount].str(), "MSA.EventIndex.Key");

    int items = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ui::deviceStoreSubdirectory("Keychain"))) {
        if (entry.path().extension() != ".item") continue;
        ++items;
        struct stat st {};
        ASSERT_EQ(::stat(entry.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(items, 1);

    // Bytes another app left that are not an archive read as nothing.
    ns::Value other = MVOMSAKeyChain::getKeychainQuery("other");
    other.set(sec::kValueData, ns::Value(bytes("garbage")));
    ASSERT_EQ(sec::itemAdd(other), sec::Status::Success);
    EXPECT_EQ(sec::itemAdd(other), sec::Status::DuplicateItem);
    EXPECT_TRUE(MVOMSAKeyChain::load("other").isNil());
    MVOMSAKeyChain::delete_("other");
    EXPECT_EQ(sec::itemCopyMatching(MVOMSAKeyChain::getKeychainQuery("other"), nullptr), sec::Status::ItemNotFound);
}

// Slots, keychain items and the company pasteboard holding lists whose
// objects lie over one another: each reader gives its answer (an empty slot,
// no item, the bytes' text) within memory that follows the list's size
// (what a read may cost, and four times the list for the copies of it that
// the reader makes).
TEST_F(ShareUDIDTest, ListsWhoseObjectsOverlapAreReadWithinWhatTheirSizeAllows) {
    for (const auto& [name, in] : hostile::overlappingFamilies()) {
        SCOPED_TRACE(name);
        const std::size_t cap = hostile::readCap(in.size()) + 4 * in.size();
        ui::Pasteboard::removeAllForTesting();
        MVOMSAShareUDID::resetCacheForTesting();
        ui::Pasteboard::pasteboardWithName(slotName(0), true)->setData(in, "org.ShareUDID");
        std::pair<std::string, ns::ErrorPtr> got;
        auto used = testsupport::allocationPeak([&] { got = identifier(); }, cap);
        EXPECT_FALSE(used.capped) << used.peak << " bytes at once";
        EXPECT_TRUE(std::regex_match(got.first, std::regex("[0-9a-f]{40}"))) << got.first;

        ns::Value item = MVOMSAKeyChain::getKeychainQuery("other");
        item.set(sec::kValueData, ns::Value(in));
        ASSERT_EQ(sec::itemAdd(item), sec::Status::Success);
        ns::Value loaded;
        used = testsupport::allocationPeak([&] { loaded = MVOMSAKeyChain::load("other"); }, cap);
        EXPECT_FALSE(used.capped) << used.peak << " bytes at once";
        EXPECT_TRUE(loaded.isNil());
        MVOMSAKeyChain::delete_("other");

        ui::Pasteboard::pasteboardWithName(MVOMSAPasteboard::getCompanyDomain(), true)->setData(in, "psDeviceToken");
        used = testsupport::allocationPeak([&] { (void)MVOMSAPasteboard::get("psDeviceToken"); }, cap);
        EXPECT_FALSE(used.capped) << used.peak << " bytes at once";
    }
}

// A slot this app cannot claim (a full disk) is not named in the local copy:
// the identifier still answers, and the next launch with room claims it.
TEST_F(ShareUDIDTest, ASlotThatCannotBeClaimedIsNotNamedInTheLocalCopy) {
    std::string id;
    {
        testsupport::FullDisk disk;
        id = identifier().first;
    }
    EXPECT_EQ(id.size(), 40u);
    EXPECT_FALSE(ui::Pasteboard::pasteboardWithName(slotName(0), false));
    ns::Value local = ns::UserDefaults::standardUserDefaults()->dictionaryForKey(MVOMSAShareUDID::kDefaultsKey);
    EXPECT_EQ(local[MVOMSAShareUDID::kDefaultsKey].str(), id);
    EXPECT_FALSE(local.has(MVOMSAShareUDID::kSlotKey));

    relaunch();
    EXPECT_EQ(identifier().first, id);
    EXPECT_EQ(slot(0)[MVOMSAShareUDID::kDefaultsKey].str(), id);
    local = ns::UserDefaults::standardUserDefaults()->dictionaryForKey(MVOMSAShareUDID::kDefaultsKey);
    EXPECT_EQ(local[MVOMSAShareUDID::kSlotKey].str(), slotName(0));
}

// An item that cannot be written (a full disk) keeps what it held: each
// write answers failure and says why in one line naming the item's file
// once, and leaves no temporary file; an item that was not there is not made.
TEST_F(ShareUDIDTest, AKeychainItemThatCannotBeWrittenKeepsWhatItHeld) {
    const std::string domain = MVOMSAPasteboard::getCompanyDomain();
    ASSERT_TRUE(MVOMSAKeyChain::save(domain, ns::Value::dictionary({{"pstoken", ns::Value("push-7f3a")}})));
    ns::Value other = MVOMSAKeyChain::getKeychainQuery("other");
    other.set(sec::kValueData, ns::Value(bytes("other")));
    const ns::Value newData = ns::Value::dictionary({{sec::kValueData, ns::Value(bytes("new"))}});
    const std::pair<const char*, std::function<bool()>> writes[] = {
        {"saved over", [&] { return MVOMSAKeyChain::save(domain, ns::Value::dictionary({{"msashareudid", ns::Value("x")}})); }},
        {"saved anew", [] { return MVOMSAKeyChain::save("MSA.EventIndex.Key", ns::Value(158)); }},
        {"added", [&] { return sec::itemAdd(other) != sec::Status::IOError; }},
        {"updated", [&] { return sec::itemUpdate(MVOMSAKeyChain::getKeychainQuery(domain), newData) != sec::Status::IOError; }},
    };
    const std::string folder = ui::deviceStoreSubdirectory("Keychain");
    const std::regex line(".*Keychain: cannot write " + folder + "/[0-9a-f]{40}\\.item: " + std::strerror(EFBIG));
    for (const auto& [what, write] : writes) {
        SCOPED_TRACE(what);
        ns::LogCapture log;
        {
            testsupport::FullDisk disk;
            EXPECT_FALSE(write());
        }
        const auto said = testsupport::linesWith(log, "Keychain: ");
        ASSERT_EQ(said.size(), 1u);
        EXPECT_TRUE(std::regex_match(said[0], line)) << said[0];
    }
    EXPECT_EQ(MVOMSAKeyChain::load(domain)["pstoken"].str(), "push-7f3a");
    EXPECT_TRUE(MVOMSAKeyChain::load("MSA.EventIndex.Key").isNil());
    EXPECT_EQ(sec::itemCopyMatching(other, nullptr), sec::Status::ItemNotFound);
    EXPECT_TRUE(testsupport::temporariesIn(folder).empty());
}

}  // namespace
