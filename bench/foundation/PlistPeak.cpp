// The time and peak memory of reading one hostile property list or keyed
// archive (tests/support/HostilePlists.h), or one large dictionary in each
// form (tests/support/LargeLists.h), at a given size, by default its largest
// under the readers' 32 MiB bound; and of a board of such a dictionary taken
// and written back through the Mervio SDK's transport, and of a board's file
// left in the device store, read through the pasteboard. A measuring tool, not
// a benchmark: each family is one read of one list.
//
//   build/release/bench/plist_peak shared-ascii [megabytes]
//   build/release/bench/plist_peak all
//
// Prints the list's size, what the read gave (the kind and count of the
// value, or the error's code), the seconds it took (elapsed, and the CPU
// time it used), and how much this
// process's peak resident size grew while it read (the list itself made
// before the peak is reset).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PeakTool.h"
#include "foundation/KeyedArchive.h"
#include "foundation/PropertyList.h"
#include "support/HostilePlists.h"
#include "support/LargeLists.h"
#ifdef KL_HAVE_MERVIO
#include "BenchHome.h"
#include "foundation/Data.h"
#include "mervio/apps/AppCommunicate.h"
#include "mervio/apps/MervioApiUtil.h"
#include "uikit/Device.h"
#include "uikit/DeviceStore.h"
#include "uikit/Pasteboard.h"
#endif

namespace {

// An array of `count` records as a service's reply holds them (seven keys
// each, most of their text Chinese).
ns::Value records(std::size_t count) {
    std::vector<ns::Value> items;
    for (std::size_t i = 0; i < count; ++i) {
        items.push_back(ns::Value::dictionary({
            {"id", ns::Value(static_cast<long long>(i))},
            {"title", ns::Value("第" + std::to_string(i) + "次党员大会在市委礼堂召开")},
            {"add_time", ns::Value("2015-03-01 10:00:" + std::to_string(i % 60))},
            {"img_url", ns::Value("/upload/" + std::to_string(i) + ".jpg")},
            {"zhaiyao", ns::Value("会议传达了上级精神" + std::to_string(i))},
            {"support_count", ns::Value(static_cast<long long>(i % 1000))},
            {"user_name", ns::Value("张三")},
        }));
    }
    return ns::Value::array(std::move(items));
}

// Such records written by our writer in the form asked for, about `bytes`.
ns::Bytes records(std::size_t bytes, ns::PropertyListFormat format) {
    std::size_t count = bytes / 100;
    for (;;) {
        auto list = ns::PropertyListSerialization::dataWithPropertyList(records(count), format);
        if (list && list->size() <= bytes) return *list;
        count = count * 19 / 20;
    }
}

// One dictionary of about `bytes` in binary: short keys to small integers.
ns::Bytes bigDictionary(std::size_t bytes) {
    std::vector<std::pair<std::string, ns::Value>> entries;
    for (std::size_t i = 0; i < bytes / 24; ++i) entries.emplace_back("key" + std::to_string(i), ns::Value(static_cast<long long>(i % 100)));
    return *ns::PropertyListSerialization::dataWithPropertyList(ns::Value::dictionaryWithUniqueEntries(std::move(entries)),
                                                               ns::PropertyListFormat::Binary);
}

// What one read gave, in words.
std::string outcomeOf(const ns::Value& v, const ns::ErrorPtr& error) {
    if (v.isArray()) return "array of " + std::to_string(v.count());
    if (v.isDictionary()) return "dictionary of " + std::to_string(v.count());
    if (v.isNil()) return error ? "refused, error " + std::to_string(error->code) : "refused";
    if (v.isString()) return "string of " + std::to_string(v.str().size());
    return "a value";
}

// As many copies of `item` as fit in `bytes` with `head` and `tail`.
ns::Bytes tinyElements(const std::string& head, const std::string& item, const std::string& tail, std::size_t bytes) {
    std::string text = head;
    text.reserve(bytes);
    for (std::size_t n = (bytes - head.size() - tail.size()) / item.size(); n > 0; --n) text += item;
    text += tail;
    return ns::Bytes(text.begin(), text.end());
}

// How a family's list is read.
enum class Reader {
    List,     // PropertyListSerialization::propertyListWithData
    Archive,  // KeyedUnarchiver::unarchivedValue
    Records,  // KeyedUnarchiver::unarchivedObjectOfClass<hostile::WideRecord>
};

struct Family {
    const char* name;
    Reader reader;
    std::function<ns::Bytes(std::size_t)> make;  // the list of about this many bytes
    // Instead of a plain read: what is measured, its outcome in words; and
    // what is done before, unmeasured.
    std::function<std::string(const ns::Bytes&)> run = nullptr;
    std::function<void(const ns::Bytes&)> prepare = nullptr;
};

#ifdef KL_HAVE_MERVIO
// A board of the text form's large dictionary before iOS 7 ("mervio_data"):
// the app ids of other apps, and this app's record among them.
constexpr const char* kBoardAppId = "mv5c3e8a1f20b74d96";

ns::Bytes boardList(std::size_t bytes) {
    const std::string record = std::string(kBoardAppId) + " = {command = 1020; result = 1; title = hello;};\n";
    ns::Bytes list = largelists::textKeys(bytes - record.size());
    list.insert(list.begin() + 2, record.begin(), record.end());  // after "{\n"
    return list;
}

// The benchmark's home and device folders, made once.
void useBenchHome() { static BenchHome home; }

void putOnBoard(const ns::Bytes& list) {
    useBenchHome();
    ui::Device::currentDevice().setSystemVersion("6.1");
    MervioApiUtil::resetCachesForTesting();
    AppCommunicate::getDataPasteboard()->setData(list, "content");
}

std::string takeFromBoard(const ns::Bytes&) {
    auto record = AppCommunicate::appCommunicateDataForAppID(kBoardAppId);
    return record ? "record, command " + std::to_string(record->command()) : "no record";
}

std::string writeToBoard(const ns::Bytes&) {
    auto record = std::make_shared<AppCommunicateData>();
    record->initCommonField(MVCommandTextMessage);
    record->MakeTextMessage("hello again");
    if (!AppCommunicate::setAppCommunicateData(record, kBoardAppId)) return "refused";
    auto content = AppCommunicate::getDataPasteboard()->dataForPasteboardType("content");
    return "written, " + std::to_string(content ? content->size() : 0) + " bytes";
}

// A board's file as another program could leave it, of about `bytes`: as
// many items as it holds, each with an empty type and no bytes (9 bytes an
// item, the most items a board's file can hold), or one item of all its
// bytes.
ns::Bytes boardFile(std::size_t bytes, bool oneItem) {
    const std::size_t header = 5 + 1 + 3 * 8 + 4, items = oneItem ? 1 : (bytes - header) / 9;
    ns::Bytes file = {'K', 'L', 'P', 'B', 1, 1};
    file.resize(header + (oneItem ? 9 + 7 : 9 * items), 0);
    for (int i = 0; i < 4; ++i) file[header - 4 + i] = static_cast<std::uint8_t>(items >> (8 * i));
    if (oneItem) {
        const std::size_t length = bytes - file.size();
        file[header] = 7;
        std::copy_n("content", 7, file.begin() + header + 4);
        for (int i = 0; i < 4; ++i) file[header + 12 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        file.resize(bytes, 'x');
    }
    return file;
}

void leaveBoard(const ns::Bytes& file) {
    useBenchHome();
    ns::writeFileAtomically(ui::deviceStoreSubdirectory("Pasteboards") + "/left.pasteboard", file);
}

std::string readBoard(const ns::Bytes&) {
    auto board = ui::Pasteboard::pasteboardWithName("left", false);
    if (!board) return "no board";
    auto content = board->dataForPasteboardType("content");
    return content ? "content of " + std::to_string(content->size()) : "no content";
}
#endif

// The widest archive the archiver writes within `bytes` (at most the full
// tree of four levels, 22.7 MB).
ns::Bytes wideArchive(std::size_t bytes) {
    std::optional<ns::Bytes> archive;
    for (std::size_t below = 65640;; below -= 1600) {
        auto tree = hostile::WideRecord::tree(4, below);
        archive = ns::KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<ns::Coding>(tree));
        if ((archive && archive->size() <= bytes) || below < 1600) break;
    }
    return archive.value_or(ns::Bytes());
}

const std::vector<Family>& families() {
    using hostile::Body;
    constexpr auto L = Reader::List;
    constexpr auto A = Reader::Archive;
    // Objects laid over a run of `run` bytes, as many as the rest holds (14 bytes each).
    auto overlapping = [](Body kind, std::size_t run) {
        return [=](std::size_t b) { return hostile::overlappingBodies(kind, (b - run - 64) / 14, run); };
    };
    // 2,000 arrays over one run of references, as long as the rest holds.
    auto arrays = [](bool inArchive) {
        return [=](std::size_t b) {
            return hostile::overlappingContainers(2000, (b - (256u << 10) - 2000 * 6 - 4096) / 2, inArchive);
        };
    };
    static const std::vector<Family> all = {
        {"shared-ascii", L, [](std::size_t b) { return hostile::sharedBody(Body::ASCII, b / 9, b / 9); }},
        {"shared-utf16", L, [](std::size_t b) { return hostile::sharedBody(Body::UTF16, b / 10, b / 10); }},
        {"shared-data", L, [](std::size_t b) { return hostile::sharedBody(Body::Data, b / 9, b / 9); }},
        {"shared-array", L, [](std::size_t b) { return hostile::sharedBody(Body::Array, b / 12, b / 12); }},
        {"uid-refs", L, [](std::size_t b) { return hostile::referencesToOne(b - 64, true); }},
        {"string-refs", L, [](std::size_t b) { return hostile::referencesToOne(b - 64, false); }},
        {"archive-refs", A, [](std::size_t b) { return hostile::archiveWithReferences(b - 512); }},
        {"class-lookup", A,
         [](std::size_t b) {
             const std::size_t places = 131068;
             return hostile::classLookup(places, (b - 512 - 21 * places) / 16);
         }},
        {"doctype", L, [](std::size_t b) { return hostile::doctypes((b - 64) / 12); }},
        // Objects and containers whose bytes overlap.
        {"overlap-data", L, overlapping(Body::Data, 1000000)},
        {"overlap-ascii", L, overlapping(Body::ASCII, 0x7F7F7F)},
        {"overlap-utf16", L, overlapping(Body::UTF16, 0x7F7F7F)},
        {"overlap-arrays", L, arrays(false)},
        {"archive-overlap", A, arrays(true)},
        {"uid-run", L, [](std::size_t b) { return hostile::uidRun((b - 64) / 7, false); }},
        {"uid-distinct", L, [](std::size_t b) { return hostile::uidRun((b - 64) / 8, true); }},
        {"random-101", L, [](std::size_t b) { return hostile::randomLayout(101, b); }},
        {"random-102", L, [](std::size_t b) { return hostile::randomLayout(102, b); }},
        {"random-103", L, [](std::size_t b) { return hostile::randomLayout(103, b); }},
        // Lists as writers write them, to compare with.
        {"records-bin", L, [](std::size_t b) { return records(b, ns::PropertyListFormat::Binary); }},
        {"records-xml", L, [](std::size_t b) { return records(b, ns::PropertyListFormat::XML); }},
        {"dict-bin", L, [](std::size_t b) { return bigDictionary(b); }},
        {"archive-wide", Reader::Records, wideArchive},
        // One dictionary of as many keys as each form holds.
        {"keys-bin", L, [](std::size_t b) { return largelists::binaryKeys(b); }},
        {"keys-xml", L, [](std::size_t b) { return largelists::xmlKeys(b); }},
        {"keys-text", L, [](std::size_t b) { return largelists::textKeys(b); }},
        // The smallest elements of the text forms, which build the most for their size.
        {"tiny-text", L, [](std::size_t b) { return tinyElements("(", "a,", ")", b); }},
        {"tiny-entries", L, [](std::size_t b) { return tinyElements("{", "a=a;", "}", b); }},
        {"tiny-xml", L,
         [](std::size_t b) { return tinyElements("<plist><array>", "<string/>", "</array></plist>", b); }},
#ifdef KL_HAVE_MERVIO
        // A board of that text-form dictionary, taken, and written back with this app's record.
        {"board-take", L, boardList, takeFromBoard, putOnBoard},
        {"board-write", L, boardList, writeToBoard, putOnBoard},
        // A board's file left in the device store, read through the pasteboard (its bound is 64 MiB).
        {"board-items", L, [](std::size_t b) { return boardFile(b, false); }, readBoard, leaveBoard},
        {"board-one", L, [](std::size_t b) { return boardFile(b, true); }, readBoard, leaveBoard},
#endif
    };
    return all;
}

void measure(const Family& family, std::size_t bytes) {
    const ns::Bytes list = family.make(bytes);
    if (family.prepare) family.prepare(list);
    std::string outcome;
    ns::ErrorPtr error;
    ns::Value v;  // freed once measured
    std::shared_ptr<hostile::WideRecord> records;
    const peaktool::Cost cost = peaktool::measured([&] {
        if (family.run) {
            outcome = family.run(list);
            return;
        }
        switch (family.reader) {
            case Reader::List: v = ns::PropertyListSerialization::propertyListWithData(list, nullptr, &error); break;
            case Reader::Archive: v = ns::KeyedUnarchiver::unarchivedValue(list); break;
            case Reader::Records:
                records = ns::KeyedUnarchiver::unarchivedObjectOfClass<hostile::WideRecord>(list);
                break;
        }
    });
    if (family.run) {
    } else if (family.reader == Reader::Records) {
        outcome = records ? std::to_string(records->records()) + " records" : "refused";
    } else {
        outcome = outcomeOf(v, error);
    }
    std::printf("%-13s %6.2f MB  %-24s %s\n", family.name, list.size() / 1e6, outcome.c_str(),
                peaktool::describe(cost).c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    return peaktool::run(argc, argv, "plist_peak", "family", "families", families(), measure);
}
