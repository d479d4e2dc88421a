// The keychain: generic-password items of the device, kept in the device
// store (DeviceStore.h) so that every program of the stand-in device sees
// them, as the apps of one keychain group do.
//
//   ns::Value query = ns::Value::dictionary({{sec::kClass, sec::kClassGenericPassword},
//                                            {sec::kAttrService, "name"}, {sec::kAttrAccount, "name"}});
//   sec::itemDelete(query);
//   query.set(sec::kValueData, bytes);
//   sec::itemAdd(query);                             // DuplicateItem when it exists
//   sec::itemUpdate(query, ns::Value::dictionary({{sec::kValueData, other}}));   // ItemNotFound when it does not
//   query.set(sec::kReturnData, true);
//   ns::Value data;
//   if (sec::itemCopyMatching(query, &data) == sec::Status::Success) ...
//
// An item is found by its class, service and account (a missing service or
// account is the empty text); it holds its data and the accessibility it was
// added with ("when unlocked" unless the attributes name another). Each item
// is one file of the device store's "Keychain" folder, readable by its owner
// only (0600) and replaced atomically under a device-wide lock, so another
// process sees the old item or the new one, never a torn one. A write that
// fails (a full disk) leaves the item as it was, answers IOError and logs
// one line naming the file and the reason. Thread-safe.
#pragma once

#include "foundation/Value.h"

namespace sec {

// Attribute keys and values of items and queries.
inline constexpr const char* kClass = "class";
inline constexpr const char* kClassGenericPassword = "genericPassword";
inline constexpr const char* kAttrService = "service";
inline constexpr const char* kAttrAccount = "account";
inline constexpr const char* kAttrAccessible = "accessible";
inline constexpr const char* kAttrAccessibleWhenUnlocked = "whenUnlocked";
inline constexpr const char* kAttrAccessibleAfterFirstUnlock = "afterFirstUnlock";
inline constexpr const char* kValueData = "valueData";
// Query keys: what itemCopyMatching returns, and how many matches (a class,
// service and account name at most one item, so only one is ever returned).
inline constexpr const char* kReturnData = "returnData";
inline constexpr const char* kReturnAttributes = "returnAttributes";
inline constexpr const char* kMatchLimit = "matchLimit";
inline constexpr const char* kMatchLimitOne = "matchLimitOne";

enum class Status { Success, ItemNotFound, DuplicateItem, BadParameter, IOError };

// Adds the item the attributes describe (data under kValueData, any bytes).
Status itemAdd(const ns::Value& attributes);
// Replaces the data (kValueData) and the accessibility (kAttrAccessible) of
// the item the query names with those the attributes hold; no other
// attribute may change. ItemNotFound when there is none.
Status itemUpdate(const ns::Value& query, const ns::Value& attributesToUpdate);
// Deletes the item the query names.
Status itemDelete(const ns::Value& query);
// Finds the item the query names. With kReturnData YES `result` is its data;
// with kReturnAttributes YES a dictionary of its attributes (class, service,
// account, accessible, and its data when kReturnData is YES too); with
// neither, nil.
Status itemCopyMatching(const ns::Value& query, ns::Value* result);

// Tests: every item of the device is removed.
void removeAllForTesting();

}  // namespace sec
