#include "service/ServiceArgument.h"

#include "service/JSON.h"

namespace {

void appendValue(std::string& out, const std::string& text, bool bare) {
    if (bare && isJSONNumber(text)) {
        out += text;
        return;
    }
    out += '"';
    JSONEscapeAppend(out, text);
    out += '"';
}

void appendParameters(std::string& out, const std::vector<ServiceParam>& params) {
    out += "\"parameters\":{";
    bool first = true;
    for (const auto& p : params) {
        if (!first) out += ',';
        first = false;
        out += '"';
        JSONEscapeAppend(out, p.key);
        out += "\":";
        appendValue(out, p.text, p.bare);
    }
    out += '}';
}

}  // namespace

std::string formatParameters(const std::vector<ServiceParam>& params) {
    std::string out = "{";
    appendParameters(out, params);
    out += '}';
    return out;
}

std::string formatPagedParameters(const std::string& pageIndex, const std::string& pageSize,
                                  const std::vector<ServiceParam>& params, bool withOrders) {
    std::string out = "{\"page_index\":";
    appendValue(out, pageIndex, true);
    out += ",\"page_size\":";
    appendValue(out, pageSize, true);
    out += ',';
    appendParameters(out, params);
    if (withOrders) out += ",\"orders\":{\"add_time\":\"desc\"}";
    out += '}';
    return out;
}
