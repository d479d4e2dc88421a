#include "app/framework/Records.h"

#include "service/JSON.h"

namespace records {

ns::Value parse(std::string_view text, bool fragment) {
    ns::Value v = fragment ? JSONFragmentValue(text) : JSONValue(text);
    return object(v);
}

std::string text(const ns::Value& value) {
    if (value.isString()) return value.str();
    if (value.isInteger() || value.isDouble()) return value.text();
    return {};
}

std::string text(const ns::Value& record, std::string_view key) { return text(record[key]); }

ns::SharedText sharedText(const ns::Value& record, std::string_view key) {
    const ns::Value value = record[key];
    if (value.isString()) return value.sharedText();
    return ns::SharedText(text(value));
}

ns::Value array(const ns::Value& value) { return value.isArray() ? value : ns::Value::array(); }

ns::Value array(const ns::Value& record, std::string_view key) { return array(record[key]); }

ns::Value object(const ns::Value& value) { return value.isDictionary() ? value : ns::Value::dictionary(); }

ns::Value object(const ns::Value& record, std::string_view key) { return object(record[key]); }

ns::Value list(const ns::Value& reply) {
    ns::Value rows = ns::Value::array();
    for (const auto& element : reply["records"].items()) {
        if (element.isDictionary()) rows.push(element);
    }
    return rows;
}

ns::Value item(const ns::Value& reply) { return object(reply, "records"); }

std::string state(const ns::Value& reply) { return text(reply, "state"); }

std::string message(const ns::Value& reply) { return text(reply, "message"); }

bool succeeded(const ns::Value& reply) { return state(reply) == "successful"; }

}  // namespace records
