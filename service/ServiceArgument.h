// The JSON argument of a service operation, as the operation methods build it:
// the operation's values in an object under "parameters"; for paged lists
// "page_index" and "page_size" as numbers before it and, mostly, "orders".
//
// A quoted value is written as a JSON string, escaped. A bare value is written
// as it is when it is a JSON number, else as a JSON string too, so the
// argument is always valid JSON whatever a user typed.
#pragma once

#include <string>
#include <vector>

struct ServiceParam {
    std::string key;
    std::string text;
    bool bare = false;
};

inline ServiceParam quoted(std::string key, std::string text) { return {std::move(key), std::move(text), false}; }
inline ServiceParam bare(std::string key, std::string text) { return {std::move(key), std::move(text), true}; }
inline ServiceParam bare(std::string key, int number) { return {std::move(key), std::to_string(number), true}; }

// {"parameters":{...}}
std::string formatParameters(const std::vector<ServiceParam>& params);
// {"page_index":1,"page_size":10,"parameters":{...}[,"orders":{"add_time":"desc"}]}
std::string formatPagedParameters(const std::string& pageIndex, const std::string& pageSize,
                                  const std::vector<ServiceParam>& params, bool withOrders);
