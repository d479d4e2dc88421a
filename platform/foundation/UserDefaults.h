// The user-defaults store: typed values kept in a property list at
// <home>/Library/Preferences/<bundle identifier>.plist (binary; XML files are
// read too).
//
// Changes live in memory until synchronize() writes the whole store
// atomically (temporary file, flush, rename), so an interrupted write
// leaves the previous file whole. The store also writes itself when it goes
// away (program exit, resetStandardUserDefaults). A missing file gives an
// empty store and a log line; so does a damaged one, or one beyond
// kMaxFileBytes, which is first set aside as "<file>.damaged". A store that
// would pass kMaxFileBytes is not written. Every method is thread-safe.
//
// Values handed in and out are copies: changing a dictionary read from the
// store changes the store only when it is set again.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace ns {

// The identifier used for the file when the bundle names none.
inline constexpr const char* kDefaultBundleIdentifier = "gov.velmarsh.kestrowline";

class UserDefaults {
public:
    static std::shared_ptr<UserDefaults> standardUserDefaults();
    // Writes the standard store and forgets it: the next
    // standardUserDefaults() reads the file again, as after a restart.
    // Holders of the old store keep a detached copy that no longer writes.
    static void resetStandardUserDefaults();

    // The most the store's file may hold. The store keeps settings, the
    // member's record and small lists, kilobytes in all; its file is read
    // whole at launch, and the home may be shared by two runs of the
    // program, so another may have written it. 32 MiB is what every reader
    // of others' data takes.
    static constexpr std::size_t kMaxFileBytes = std::size_t{32} << 20;

    // A store kept in the file at `path` (read now).
    explicit UserDefaults(std::string path);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::string& path() const { return path_; }

    // ---- Reading (a missing key reads as nil, false, 0) ----
    Value objectForKey(std::string_view key) const;
    // A string, or a number as its text; nil for anything else.
    Value stringForKey(std::string_view key) const;
    Value arrayForKey(std::string_view key) const;       // nil unless an array
    Value dictionaryForKey(std::string_view key) const;  // nil unless a dictionary
    Value dataForKey(std::string_view key) const;        // nil unless data
    Value dateForKey(std::string_view key) const;        // nil unless a date
    // Numbers, and strings by their leading number ("YES"/"true" for bool).
    bool boolForKey(std::string_view key) const;
    long long integerForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    float floatForKey(std::string_view key) const;

    // ---- Writing ----
    // Any property-list value; nil removes the key. A value a property list
    // cannot hold (the null object anywhere inside) is refused with a log
    // line and changes nothing.
    void setObject(const Value& value, std::string key);
    void setBool(bool value, std::string key);
    void setInteger(long long value, std::string key);
    void setDouble(double value, std::string key);
    void setFloat(float value, std::string key);
    void removeObjectForKey(std::string_view key);

    // Fallback values for keys the store does not hold; never written.
    void registerDefaults(const Value& dictionary);
    // Registered values overlaid with the stored ones.
    Value dictionaryRepresentation() const;

    // Writes the store when it has changed. False when the file cannot be
    // written or would pass kMaxFileBytes, with why in `why` ("<file>:
    // <reason>"); the changes stay
    // pending. A failure is logged once: the same failure again is not,
    // until a write has gone through.
    bool synchronize(std::string* why = nullptr);

private:
    Value lookup(std::string_view key) const;  // caller holds mutex_
    bool writeLocked(std::string* why = nullptr);

    std::string path_;
    mutable std::mutex mutex_;
    Value values_;
    Value registered_;
    bool dirty_ = false;
    bool detached_ = false;
    std::string loggedFailure_;  // the write failure logged last, until a write goes through
};

}  // namespace ns
