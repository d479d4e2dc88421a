#include "foundation/Error.h"

namespace ns {

std::string Error::localizedDescription() const {
    Value d = userInfo[kLocalizedDescriptionKey];
    if (d.isString()) return d.str();
    return "The operation couldn\u2019t be completed. (" + domain + " error " + std::to_string(code) + ".)";
}

std::string Error::description() const {
    return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription() + "\"" +
           (userInfo.isDictionary() && userInfo.count() ? " UserInfo=" + userInfo.description() : "");
}

ErrorPtr makeError(std::string domain, long code, const std::string& description) {
    return makeError(std::move(domain), code, Value::dictionary({{kLocalizedDescriptionKey, Value(description)}}));
}

}  // namespace ns
