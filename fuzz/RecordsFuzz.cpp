// The records:: readers over any JSON value: whatever kind sits at whatever
// key, each reader answers the kind it promises and never fails.
#include <iterator>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/framework/Records.h"
#include "service/JSON.h"

namespace {

// Keys the screens read, and whatever keys the value has.
const char* const kKeys[] = {"records", "state", "message", "id", "title", "content", "add_time", "totalcount"};

void readRecord(const ns::Value& record) {
    std::vector<std::string> keys(std::begin(kKeys), std::end(kKeys));
    for (const auto& key : record.keys()) keys.push_back(key);
    for (const auto& key : keys) {
        ns::Value field = record[key];
        std::string text = records::text(record, key);
        if (field.isString()) FUZZ_CHECK(text == field.str());
        if (!field.isString() && !field.isInteger() && !field.isDouble()) FUZZ_CHECK(text.empty());
        FUZZ_CHECK(records::array(record, key).isArray());
        FUZZ_CHECK(records::object(record, key).isDictionary());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    std::string_view text = fuzz::text(data, size);
    for (bool fragment : {false, true}) {
        ns::Value reply = records::parse(text, fragment);
        FUZZ_CHECK(reply.isDictionary());
        ns::Value rows = records::list(reply);
        FUZZ_CHECK(rows.isArray() && rows.count() <= reply["records"].count());
        for (const auto& row : rows.items()) {
            FUZZ_CHECK(row.isDictionary());
            readRecord(row);
        }
        FUZZ_CHECK(records::item(reply).isDictionary());
        readRecord(reply);
        readRecord(records::item(reply));
        FUZZ_CHECK(records::succeeded(reply) == (records::state(reply) == "successful"));
        records::message(reply);
    }
    // Any value at all, not only a reply's top level.
    ns::Value any = JSONFragmentValue(text);
    records::text(any);
    FUZZ_CHECK(records::array(any).isArray() && records::object(any).isDictionary());
    for (const auto& element : any.items()) readRecord(element);
    return 0;
}
