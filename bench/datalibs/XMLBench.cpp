// Parsing a generated 10 MB document through the XML model against libxml2's
// own xmlReadMemory with the same options, in one run. Both sides free the
// document they made. Compare ModelParse with RawParse.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdlib>
#include <string>

#include "datalibs/NSXMLDocument.h"

namespace {

constexpr std::size_t kTargetSize = 10u << 20;

// Records with attributes, namespaces, entities, CDATA and Chinese text.
const ns::Bytes& document() {
    static const ns::Bytes bytes = [] {
        std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<catalog xmlns=\"urn:kl:catalog\" xmlns:p=\"urn:kl:price\">";
        for (unsigned i = 0; s.size() < kTargetSize; ++i) {
            std::string n = std::to_string(i);
            s += "<item id=\"" + n + "\" kind=\"k" + std::to_string(i % 7) + "\"><name>Item " + n +
                 " 条目</name><p:price currency=\"CNY\">" + std::to_string(i % 1000) +
                 ".50</p:price><desc>Text &amp; more text for item " + n +
                 "<![CDATA[ <raw> ]]></desc><!-- c --></item>";
        }
        s += "</catalog>";
        return ns::Bytes(s.begin(), s.end());
    }();
    return bytes;
}

void RawParse(benchmark::State& state) {
    const ns::Bytes& data = document();
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()),
                                      nullptr, nullptr, XML_PARSE_NOCDATA | XML_PARSE_NOBLANKS);
        if (!doc) std::abort();
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(RawParse)->Unit(benchmark::kMillisecond);

void ModelParse(benchmark::State& state) {
    const ns::Bytes& data = document();
    for (auto _ : state) {
        auto doc = NSXMLDocument::initWithData(data, 0);
        if (!doc || !doc->rootElement()) std::abort();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(ModelParse)->Unit(benchmark::kMillisecond);

}  // namespace
