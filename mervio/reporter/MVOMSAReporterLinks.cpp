#include "mervio/reporter/MVOMSAReporterLinks.h"

#include <mutex>

namespace MVOMSAReporterLinks {

namespace {

struct Links {
    std::mutex mutex;
    std::shared_ptr<MVOMSAUserStorage> storage;
    std::shared_ptr<MVOMSAConfigSource> source;
};

Links& links() {
    static Links l;
    return l;
}

}  // namespace

void setUserStorage(std::shared_ptr<MVOMSAUserStorage> storage) {
    std::lock_guard lock(links().mutex);
    links().storage = std::move(storage);
}

std::shared_ptr<MVOMSAUserStorage> userStorage() {
    std::lock_guard lock(links().mutex);
    return links().storage;
}

void setConfigSource(std::shared_ptr<MVOMSAConfigSource> source) {
    std::lock_guard lock(links().mutex);
    links().source = std::move(source);
}

std::shared_ptr<MVOMSAConfigSource> configSource() {
    std::lock_guard lock(links().mutex);
    return links().source;
}

void encodeConfig(ns::Value& dict) {
    if (auto source = configSource()) {
        source->encode(dict);
        return;
    }
    dict.set("cfg", ns::Value::dictionary({{"1", ns::Value::dictionary()}, {"2", ns::Value::dictionary()}}));
}

}  // namespace MVOMSAReporterLinks
