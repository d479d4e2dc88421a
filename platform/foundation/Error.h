// An error object: domain, code and user info, as the platform's NSError.
// Errors travel as ErrorPtr; nullptr means "no error".
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"

namespace ns {

inline constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";

struct Error {
    std::string domain;
    long code = 0;
    Value userInfo;  // a dictionary, or nil

    Error(std::string d, long c, Value info = {}) : domain(std::move(d)), code(c), userInfo(std::move(info)) {}

    // The user info's localized description, else Foundation's generic text
    // "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    std::string description() const;
};

using ErrorPtr = std::shared_ptr<Error>;

inline ErrorPtr makeError(std::string domain, long code, Value userInfo = {}) {
    return std::make_shared<Error>(std::move(domain), code, std::move(userInfo));
}

// An error whose user info holds only a localized description.
ErrorPtr makeError(std::string domain, long code, const std::string& description);

}  // namespace ns
