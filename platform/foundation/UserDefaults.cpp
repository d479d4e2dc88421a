#include "foundation/UserDefaults.h"

#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/Strings.h"

namespace ns {

namespace {

std::mutex& standardMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<UserDefaults>& standardSlot() {
    static std::shared_ptr<UserDefaults> defaults;
    return defaults;
}

std::string standardPath() {
    std::string id = Bundle::mainBundle()->bundleIdentifier();
    if (id.empty() || id.find('/') != std::string::npos) id = kDefaultBundleIdentifier;
    return preferencesDirectory() + "/" + id + ".plist";
}

}  // namespace

std::shared_ptr<UserDefaults> UserDefaults::standardUserDefaults() {
    std::lock_guard lock(standardMutex());
    auto& slot = standardSlot();
    if (!slot) slot = std::make_shared<UserDefaults>(standardPath());
    return slot;
}

void UserDefaults::resetStandardUserDefaults() {
    std::shared_ptr<UserDefaults> old;
    {
        std::lock_guard lock(standardMutex());
        old = std::move(standardSlot());
    }
    if (!old) return;
    std::lock_guard lock(old->mutex_);
    old->writeLocked();
    old->detached_ = true;
}

UserDefaults::UserDefaults(std::string path)
    : path_(std::move(path)), values_(Value::dictionary()), registered_(Value::dictionary()) {
    removeStrayTemporaries(stringByDeletingLastPathComponent(path_), lastPathComponent(path_));
    ErrorPtr error;
    auto bytes = readFile(path_, kMaxFileBytes, &error);
    if (!bytes && !(error && error->code == FileReadTooLargeError)) {
        NSLog("UserDefaults: no stored defaults at %@; starting empty", path_);
        return;
    }
    std::string trouble;  // the file and what is wrong with it
    if (!bytes) {
        trouble = error->localizedDescription();  // beyond the bound: "<file>: <reason>"
    } else {
        Value stored = PropertyListSerialization::propertyListWithData(*bytes, nullptr, &error);
        // A value the store could not write back (a date beyond the years the
        // writer holds) would make every later synchronize fail.
        if (stored.isDictionary() && PropertyListSerialization::isValidPropertyList(stored)) {
            values_ = stored;
            return;
        }
        std::string why = error                 ? error->localizedDescription()
                          : stored.isDictionary() ? std::string("a value that cannot be written back")
                                                  : std::string("not a dictionary");
        trouble = path_ + " is damaged (" + why + ")";
    }
    // Set aside rather than overwritten by the next write: it may still be
    // worth looking at.
    std::string aside = path_ + ".damaged";
    FileManager::defaultManager().removeItemAtPath(aside);
    bool moved = FileManager::defaultManager().moveItemAtPath(path_, aside);
    NSLog("UserDefaults: %@; %@, starting empty", trouble, moved ? "set aside as " + aside : std::string("cannot set it aside"));
}

UserDefaults::~UserDefaults() {
    std::lock_guard lock(mutex_);
    if (dirty_ && !detached_) writeLocked();
}

// ---- Reading ----

Value UserDefaults::lookup(std::string_view key) const {
    Value v = values_[key];
    return v.isNil() ? registered_[key] : v;
}

Value UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return lookup(key).deepCopy();
}

Value UserDefaults::stringForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    Value v = lookup(key);
    if (v.isString()) return v;
    if (v.isNumber()) return Value(v.text());
    return {};
}

Value UserDefaults::arrayForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    Value v = lookup(key);
    return v.isArray() ? v.deepCopy() : Value{};
}

Value UserDefaults::dictionaryForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    Value v = lookup(key);
    return v.isDictionary() ? v.deepCopy() : Value{};
}

Value UserDefaults::dataForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    Value v = lookup(key);
    return v.isData() ? v : Value{};
}

Value UserDefaults::dateForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    Value v = lookup(key);
    return v.isDate() ? v : Value{};
}

bool UserDefaults::boolForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return lookup(key).boolValue();
}

long long UserDefaults::integerForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return lookup(key).integerValue();
}

double UserDefaults::doubleForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return lookup(key).doubleValue();
}

float UserDefaults::floatForKey(std::string_view key) const { return static_cast<float>(doubleForKey(key)); }

// ---- Writing ----

void UserDefaults::setObject(const Value& value, std::string key) {
    if (value.isNil()) {
        removeObjectForKey(key);
        return;
    }
    if (!PropertyListSerialization::isValidPropertyList(value)) {
        NSLog("UserDefaults: refusing a value for \"%@\" that is not a property list: %@", key, value);
        return;
    }
    Value copy = value.deepCopy();
    std::lock_guard lock(mutex_);
    values_.set(std::move(key), std::move(copy));
    dirty_ = true;
}

void UserDefaults::setBool(bool value, std::string key) { setObject(Value(value), std::move(key)); }
void UserDefaults::setInteger(long long value, std::string key) { setObject(Value(value), std::move(key)); }
void UserDefaults::setDouble(double value, std::string key) { setObject(Value(value), std::move(key)); }
void UserDefaults::setFloat(float value, std::string key) { setObject(Value(static_cast<double>(value)), std::move(key)); }

void UserDefaults::removeObjectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    if (!values_.has(key)) return;
    values_.remove(key);
    dirty_ = true;
}

void UserDefaults::registerDefaults(const Value& dictionary) {
    std::lock_guard lock(mutex_);
    for (const auto& [k, v] : dictionary.entries()) registered_.set(k, v.deepCopy());
}

Value UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    Value out = registered_.deepCopy();
    for (const auto& [k, v] : values_.entries()) out.set(k, v.deepCopy());
    return out;
}

bool UserDefaults::synchronize(std::string* why) {
    std::lock_guard lock(mutex_);
    if (!dirty_) return true;
    if (detached_) {
        if (why) *why = path_ + ": the store was let go";
        return false;
    }
    return writeLocked(why);
}

bool UserDefaults::writeLocked(std::string* why) {
    if (!dirty_) return true;
    ErrorPtr error;
    std::string failure;
    auto bytes = PropertyListSerialization::dataWithPropertyList(values_, PropertyListFormat::Binary, &error);
    if (!bytes) {
        failure = path_ + ": " + (error ? error->localizedDescription() : std::string("unknown error"));
    } else if (bytes->size() > kMaxFileBytes) {
        failure = fileTooLargeError(path_, kMaxFileBytes, true)->localizedDescription();  // no reader would take it
    } else {
        std::string folder = stringByDeletingLastPathComponent(path_);
        if (!folder.empty()) FileManager::defaultManager().createDirectoryAtPath(folder, true);
        // The writer's error names the file and the reason.
        if (!writeFileAtomically(path_, *bytes, &error)) failure = error->localizedDescription();
    }
    if (failure.empty()) {
        dirty_ = false;
        loggedFailure_.clear();
        return true;
    }
    // Every synchronize of a program on a full disk fails alike: said once.
    if (failure != loggedFailure_) NSLog("UserDefaults: cannot write %@", failure);
    loggedFailure_ = failure;
    if (why) *why = failure;
    return false;
}

}  // namespace ns
