#include "uikit/Keychain.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "foundation/Data.h"
#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "uikit/DeviceStore.h"

namespace sec {

namespace {

// The folders whose stray temporaries this process has removed. Never
// destroyed: a thread may still use the keychain while the process exits.
struct Swept {
    std::mutex mutex;
    std::set<std::string> folders;
};

// The keychain's folder in the device store, the stray temporaries of
// items removed from it on its first use by this process.
std::string directory() {
    std::string dir = ui::deviceStoreSubdirectory("Keychain");
    static auto* swept = new Swept;
    std::lock_guard lock(swept->mutex);
    if (swept->folders.insert(dir).second) ns::removeStrayTemporaries(dir);
    return dir;
}

struct Key {
    std::string itemClass, service, account;
};

// The item's key from a query or attributes; nullopt for a class other than
// generic passwords or a service or account that is not text.
std::optional<Key> keyOf(const ns::Value& query) {
    if (!query.isDictionary() || query[kClass].str() != kClassGenericPassword) return std::nullopt;
    Key key{kClassGenericPassword, {}, {}};
    for (auto [name, field] : {std::pair{kAttrService, &key.service}, std::pair{kAttrAccount, &key.account}}) {
        ns::Value v = query[name];
        if (v.isNil()) continue;
        if (!v.isString()) return std::nullopt;
        *field = v.str();
    }
    return key;
}

// One file per item, named by a digest of the key's parts (each with its length,
// so no two keys share a name).
std::string pathFor(const Key& key) {
    std::string text;
    for (const std::string* part : {&key.itemClass, &key.service, &key.account})
        text += std::to_string(part->size()) + ":" + *part;
    return directory() + "/" + ns::sha1Hex(text) + ".item";
}

// The stored item (a dictionary of its attributes and data), or nil when it
// is missing or its file is not one of ours for this key (one beyond
// kMaxItemBytes is said in a log line).
ns::Value load(const Key& key) {
    std::string path = pathFor(key);
    ns::ErrorPtr readError;
    std::optional<ns::Bytes> bytes = ns::readFile(path, kMaxItemBytes, &readError);
    if (!bytes) {
        if (readError && readError->code == ns::FileReadTooLargeError)
            ns::NSLog("Keychain: cannot read %@", readError->localizedDescription());  // the file and the reason
        return {};
    }
    ns::ErrorPtr error;
    ns::Value item = ns::PropertyListSerialization::propertyListWithData(*bytes, nullptr, &error);
    if (!item.isDictionary() || item[kClass].str() != key.itemClass || item[kAttrService].str() != key.service ||
        item[kAttrAccount].str() != key.account || !item[kValueData].isData() || !item[kAttrAccessible].isString()) {
        if (!item.isNil() || error) ns::NSLog("Keychain: unreadable item file %@", path);
        return {};
    }
    return item;
}

// The item's file, or nullopt when it would be more than an item may hold.
std::optional<ns::Bytes> encodeItem(const ns::Value& item) {
    std::optional<ns::Bytes> bytes = ns::PropertyListSerialization::dataWithPropertyList(item, ns::PropertyListFormat::Binary);
    if (!bytes || bytes->size() > kMaxItemBytes) return std::nullopt;
    return bytes;
}

// Writes the item's file whole (0600, for the owner alone), or leaves the
// one there as it was. Needs the lock.
Status writeItem(const Key& key, const ns::Bytes& bytes) {
    ns::ErrorPtr error;
    if (ns::writeFileAtomically(pathFor(key), bytes, &error)) return Status::Success;
    ns::NSLog("Keychain: cannot write %@", error->localizedDescription());  // the file and the reason
    return Status::IOError;
}

// Data under kValueData and a text under kAttrAccessible, each when present.
bool validValues(const ns::Value& attributes) {
    ns::Value data = attributes[kValueData], accessible = attributes[kAttrAccessible];
    return (data.isNil() || data.isData()) && (accessible.isNil() || accessible.isString());
}

}  // namespace

Status itemAdd(const ns::Value& attributes) {
    std::optional<Key> key = keyOf(attributes);
    if (!key || !validValues(attributes)) return Status::BadParameter;
    ns::Value data = attributes[kValueData], accessible = attributes[kAttrAccessible];
    ns::Value item = ns::Value::dictionary({{kClass, ns::Value(key->itemClass)},
                                            {kAttrService, ns::Value(key->service)},
                                            {kAttrAccount, ns::Value(key->account)},
                                            {kAttrAccessible, accessible.isNil() ? ns::Value(kAttrAccessibleWhenUnlocked) : accessible},
                                            {kValueData, data.isNil() ? ns::Value(ns::Bytes()) : data}});
    std::optional<ns::Bytes> bytes = encodeItem(item);
    if (!bytes) return Status::BadParameter;

    ui::DeviceStoreLock lock(directory(), true);
    if (!load(*key).isNil()) return Status::DuplicateItem;
    return writeItem(*key, *bytes);
}

Status itemUpdate(const ns::Value& query, const ns::Value& attributesToUpdate) {
    std::optional<Key> key = keyOf(query);
    if (!key || !attributesToUpdate.isDictionary() || !validValues(attributesToUpdate)) return Status::BadParameter;
    for (const auto& entry : attributesToUpdate.entries())
        if (entry.first != kValueData && entry.first != kAttrAccessible) return Status::BadParameter;
    ui::DeviceStoreLock lock(directory(), true);
    ns::Value item = load(*key);
    if (item.isNil()) return Status::ItemNotFound;
    for (const char* name : {kValueData, kAttrAccessible})
        if (!attributesToUpdate[name].isNil()) item.set(name, attributesToUpdate[name]);
    std::optional<ns::Bytes> bytes = encodeItem(item);
    if (!bytes) return Status::BadParameter;
    return writeItem(*key, *bytes);
}

Status itemDelete(const ns::Value& query) {
    std::optional<Key> key = keyOf(query);
    if (!key) return Status::BadParameter;
    ui::DeviceStoreLock lock(directory(), true);
    const std::string path = pathFor(*key);
    std::error_code ec;
    if (std::filesystem::remove(path, ec)) return Status::Success;
    if (!ec) return Status::ItemNotFound;
    ns::NSLog("Keychain: cannot remove %@: %@", path, ec.message());
    return Status::IOError;
}

Status itemCopyMatching(const ns::Value& query, ns::Value* result) {
    if (result) *result = ns::Value();
    std::optional<Key> key = keyOf(query);
    if (!key) return Status::BadParameter;
    ns::Value item;
    {
        ui::DeviceStoreLock lock(directory(), false);
        item = load(*key);
    }
    if (item.isNil()) return Status::ItemNotFound;
    if (!result) return Status::Success;
    bool wantData = query[kReturnData].boolValue();
    if (query[kReturnAttributes].boolValue()) {
        if (!wantData) item.remove(kValueData);
        *result = item;
    } else if (wantData) {
        *result = item[kValueData];
    }
    return Status::Success;
}

void removeAllForTesting() {
    std::string dir = directory();
    ui::DeviceStoreLock lock(dir, true);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (entry.path().extension() == ".item") std::filesystem::remove(entry.path(), ec);
    }
}

}  // namespace sec
