#include "mervio/reporter/MVOMSAKeyChain.h"

#include "foundation/KeyedArchive.h"
#include "uikit/Keychain.h"

ns::Value MVOMSAKeyChain::getKeychainQuery(const std::string& name) {
    return ns::Value::dictionary({{sec::kClass, ns::Value(sec::kClassGenericPassword)},
                                  {sec::kAttrService, ns::Value(name)},
                                  {sec::kAttrAccount, ns::Value(name)},
                                  {sec::kAttrAccessible, ns::Value(sec::kAttrAccessibleAfterFirstUnlock)}});
}

bool MVOMSAKeyChain::save(const std::string& name, const ns::Value& object) {
    ns::Value query = getKeychainQuery(name);
    std::optional<ns::Bytes> archive = ns::KeyedArchiver::archivedDataWithRootObject(object);
    if (!archive) {
        sec::itemDelete(query);
        return false;
    }
    // Replaced in one write, so that an item that cannot be written (a full
    // disk) keeps what it held.
    ns::Value update = ns::Value::dictionary(
        {{sec::kValueData, ns::Value(*archive)}, {sec::kAttrAccessible, query[sec::kAttrAccessible]}});
    sec::Status status = sec::itemUpdate(query, update);
    if (status == sec::Status::ItemNotFound) {
        query.set(sec::kValueData, ns::Value(*archive));
        status = sec::itemAdd(query);
    }
    return status == sec::Status::Success;
}

ns::Value MVOMSAKeyChain::load(const std::string& name) {
    ns::Value query = getKeychainQuery(name);
    query.set(sec::kReturnData, ns::Value(true));
    query.set(sec::kMatchLimit, ns::Value(sec::kMatchLimitOne));
    ns::Value data;
    if (sec::itemCopyMatching(query, &data) != sec::Status::Success || !data.isData()) return {};
    return ns::KeyedUnarchiver::unarchivedValue(data.data());
}

void MVOMSAKeyChain::delete_(const std::string& name) { sec::itemDelete(getKeychainQuery(name)); }
