// Property lists and keyed archives made by hand to cost their reader more
// than their size: the families a reader of others' boards and slots must
// read or refuse in time and memory that follow the list's own bytes, and
// random layouts of every kind of object over one run of bytes. The tests
// read them at sizes that show the cost; bench/foundation/PlistPeak.cpp
// reads them at their largest under the 32 MiB bound. Also the widest
// archive the archiver writes within its limits, to read back.
//
//   ns::Bytes list = hostile::sharedBody(hostile::Body::ASCII, 30000, 30000);
//   ns::Value v = ns::PropertyListSerialization::propertyListWithData(list);
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/KeyedArchive.h"
#include "foundation/ReadBudget.h"
#include "foundation/Value.h"

namespace hostile {

// A binary list laid out by hand: bodies are bytes written once, objects are
// numbers in the offset table that may name any body, also one another's.
class RawBinaryList {
public:
    RawBinaryList(unsigned offsetWidth, unsigned refWidth) : offsetWidth_(offsetWidth), refWidth_(refWidth) {
        const std::string_view magic = "bplist00";
        out_.assign(magic.begin(), magic.end());
    }

    // A new object's number; its body is given by place().
    std::size_t object() {
        offsets_.push_back(0);
        return offsets_.size() - 1;
    }
    // The numbers of `count` new objects.
    std::vector<std::size_t> objects(std::size_t count) {
        std::vector<std::size_t> numbers(count);
        for (auto& n : numbers) n = object();
        return numbers;
    }
    void place(std::size_t object, std::size_t offset) { offsets_[object] = offset; }
    // Writes a body; its offset.
    std::size_t body(const ns::Bytes& bytes) {
        const std::size_t at = out_.size();
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return at;
    }
    // The bytes written so far.
    std::size_t size() const { return out_.size(); }
    // A new object with a body of its own.
    std::size_t add(const ns::Bytes& bytes) {
        const std::size_t o = object();
        place(o, body(bytes));
        return o;
    }

    // A marker with its count: in the low nibble, or as a 4-byte integer after it.
    static ns::Bytes head(std::uint8_t marker, std::size_t count) {
        if (count < 15) return {static_cast<std::uint8_t>(marker | count)};
        ns::Bytes out = {static_cast<std::uint8_t>(marker | 0xF), 0x12};
        put(out, count, 4);
        return out;
    }
    static ns::Bytes ascii(const std::string& text) {
        ns::Bytes out = head(0x50, text.size());
        out.insert(out.end(), text.begin(), text.end());
        return out;
    }
    // A head of six bytes whatever the count: the marker, then the count as
    // a 4-byte integer.
    static ns::Bytes longHead(std::uint8_t marker, std::size_t count) {
        ns::Bytes out = {static_cast<std::uint8_t>(marker | 0xF), 0x12};
        put(out, count, 4);
        return out;
    }
    static ns::Bytes uid(std::uint32_t n) {
        ns::Bytes out = {0x83};
        put(out, n, 4);
        return out;
    }
    static void put(ns::Bytes& out, std::uint64_t n, unsigned width) {
        for (unsigned i = width; i-- > 0;) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    }
    // An array or dictionary (keys, then values) of the objects named.
    ns::Bytes container(std::uint8_t marker, const std::vector<std::size_t>& refs) const {
        ns::Bytes out = head(marker, marker == 0xD0 ? refs.size() / 2 : refs.size());
        out.reserve(out.size() + refs.size() * refWidth_);
        for (std::size_t r : refs) put(out, r, refWidth_);
        return out;
    }

    ns::Bytes finish(std::size_t top = 0) {
        ns::Bytes out = std::move(out_);
        const std::size_t table = out.size();
        for (std::size_t off : offsets_) put(out, off, offsetWidth_);
        out.insert(out.end(), 6, 0);
        out.push_back(static_cast<std::uint8_t>(offsetWidth_));
        out.push_back(static_cast<std::uint8_t>(refWidth_));
        put(out, offsets_.size(), 8);
        put(out, top, 8);
        put(out, table, 8);
        return out;
    }

private:
    unsigned offsetWidth_, refWidth_;
    ns::Bytes out_;
    std::vector<std::size_t> offsets_;
};

// ---- Objects that share their bytes ----

enum class Body { ASCII, UTF16, Data, Array };

// An array of `places` objects whose offsets all name one body: a string or
// data of `size` characters or bytes, or an array of `size` references to
// one short string. Expanded, `places` x `size`; about 9 bytes a place and
// one to four a unit of the body.
inline ns::Bytes sharedBody(Body kind, std::size_t places, std::size_t size) {
    RawBinaryList list(4, 4);
    const std::size_t top = list.object();
    const std::vector<std::size_t> refs = list.objects(places);
    ns::Bytes body;
    switch (kind) {
        case Body::ASCII: body = RawBinaryList::ascii(std::string(size, 's')); break;
        case Body::UTF16:
            body = RawBinaryList::head(0x60, size);
            for (std::size_t i = 0; i < size; ++i) body.insert(body.end(), {0x6C, 0x34});  // 氷
            break;
        case Body::Data:
            body = RawBinaryList::head(0x40, size);
            body.insert(body.end(), size, 0xD5);
            break;
        case Body::Array: {
            const std::size_t word = list.add(RawBinaryList::ascii("word"));
            body = list.container(0xA0, std::vector<std::size_t>(size, word));
            break;
        }
    }
    const std::size_t at = list.body(body);
    for (std::size_t r : refs) list.place(r, at);
    list.place(top, list.body(list.container(0xA0, refs)));
    return list.finish(top);
}

// ---- One object referred to from many places ----

// An array of `places` one-byte references to one UID (or one string).
inline ns::Bytes referencesToOne(std::size_t places, bool uid) {
    RawBinaryList list(4, 1);
    const std::size_t top = list.object();
    const std::size_t one = list.add(uid ? RawBinaryList::uid(7) : RawBinaryList::ascii("x"));
    list.place(top, list.body(list.container(0xA0, std::vector<std::size_t>(places, one))));
    return list.finish(top);
}

// The outer shape of a keyed archive by hand, its "$objects" entries the
// objects named; "$top"'s root is $objects[1]. Returns the list once
// `fill` has added what the entries name. Its own objects take the numbers
// `number` gives (by default the next ones).
template <class Fill, class Number>
ns::Bytes archive(RawBinaryList& list, Fill fill, Number number) {
    auto add = [&](const ns::Bytes& body) {
        const std::size_t o = number();
        list.place(o, list.body(body));
        return o;
    };
    const std::size_t top = number();
    const std::size_t keys[] = {add(RawBinaryList::ascii("$archiver")), add(RawBinaryList::ascii("$version")),
                                add(RawBinaryList::ascii("$top")), add(RawBinaryList::ascii("$objects"))};
    ns::Bytes version = {0x12};
    RawBinaryList::put(version, 100000, 4);
    const std::size_t archiver = add(RawBinaryList::ascii("NSKeyedArchiver")), number100000 = add(version);
    const std::size_t root = add(RawBinaryList::ascii("root")), rootUID = add(RawBinaryList::uid(1));
    const std::size_t topDict = add(list.container(0xD0, {root, rootUID}));
    const std::size_t objects = number();
    std::vector<std::size_t> entries = fill();
    list.place(objects, list.body(list.container(0xA0, entries)));
    list.place(top, list.body(list.container(0xD0, {keys[0], keys[1], keys[2], keys[3], archiver, number100000,
                                                    topDict, objects})));
    return list.finish(top);
}
template <class Fill>
ns::Bytes archive(RawBinaryList& list, Fill fill) {
    return archive(list, fill, [&] { return list.object(); });
}

// A keyed archive whose root is a string, with an entry no object refers
// to: an array of `places` one-byte references to one UID.
inline ns::Bytes archiveWithReferences(std::size_t places) {
    RawBinaryList list(4, 1);
    return archive(list, [&] {
        const std::size_t null = list.add(RawBinaryList::ascii("$null"));
        const std::size_t value = list.add(RawBinaryList::ascii("value"));
        const std::size_t uid = list.add(RawBinaryList::uid(1));
        const std::size_t junk = list.add(list.container(0xA0, std::vector<std::size_t>(places, uid)));
        return std::vector<std::size_t>{null, value, junk};
    });
}

// ---- The keyed archive's class lookup ----

// A keyed archive whose root is an array of `places` strings: `places`
// entries of "$objects" {"$class": UID 3, "NS.string": "x"}, whose class
// record holds `keys` keys before its "$classname". With `oneBody` the
// entries share one body, else each has its own.
inline ns::Bytes classLookup(std::size_t places, std::size_t keys, bool oneBody = true) {
    RawBinaryList list(4, 4);
    return archive(list, [&] {
        const std::size_t null = list.add(RawBinaryList::ascii("$null"));
        const std::size_t classKey = list.add(RawBinaryList::ascii("$class"));
        const std::size_t nameKey = list.add(RawBinaryList::ascii("$classname"));
        // The root: an NSArray of UIDs 4, 5, ... naming the shared entries.
        std::vector<std::size_t> items;
        items.reserve(places);
        for (std::size_t i = 0; i < places; ++i) items.push_back(list.add(RawBinaryList::uid(4 + i)));
        const std::size_t itemArray = list.add(list.container(0xA0, items));
        const std::size_t objectsKey = list.add(RawBinaryList::ascii("NS.objects"));
        const std::size_t rootDict =
            list.add(list.container(0xD0, {classKey, objectsKey, list.add(RawBinaryList::uid(2)), itemArray}));
        const std::size_t arrayRecord =
            list.add(list.container(0xD0, {nameKey, list.add(RawBinaryList::ascii("NSArray"))}));
        // The class record: `keys` distinct three-letter keys, then its name.
        std::vector<std::size_t> refs;
        refs.reserve(2 * keys + 2);
        for (std::size_t i = 0; i < keys; ++i) {
            std::string key = {static_cast<char>(i % 127 + 1), static_cast<char>(i / 127 % 127 + 1),
                               static_cast<char>(i / 127 / 127 + 1)};
            refs.push_back(list.add(RawBinaryList::ascii(key)));
        }
        refs.push_back(nameKey);
        const std::size_t filler = list.add({0x10, 0});
        refs.insert(refs.end(), keys, filler);
        refs.push_back(list.add(RawBinaryList::ascii("NSString")));
        const std::size_t stringRecord = list.add(list.container(0xD0, refs));
        const ns::Bytes body = list.container(0xD0, {classKey, list.add(RawBinaryList::ascii("NS.string")),
                                                     list.add(RawBinaryList::uid(3)), list.add(RawBinaryList::ascii("x"))});
        const std::size_t shared = list.body(body);
        std::vector<std::size_t> entries = {null, rootDict, arrayRecord, stringRecord};
        for (std::size_t i = 0; i < places; ++i) {
            entries.push_back(list.object());
            list.place(entries.back(), oneBody ? shared : list.body(body));
        }
        return entries;
    });
}

// ---- Objects whose bytes overlap ----

// An array of `objects` strings, UTF-16 strings or data whose bodies
// overlap: their heads lie one after another in front of one run of `run`
// bytes, and each claims `run` bytes from its head on (the heads after its
// own, then the run). Expanded, `objects` x `run` bytes; about 14 bytes an
// object. The ASCII strings read only when every byte of `run` (their
// count) is below 0x80.
inline ns::Bytes overlappingBodies(Body kind, std::size_t objects, std::size_t run) {
    RawBinaryList list(4, 4);
    const std::size_t top = list.object();
    const std::vector<std::size_t> items = list.objects(objects);
    list.place(top, list.body(list.container(0xA0, items)));
    const std::uint8_t marker = kind == Body::ASCII ? 0x50 : kind == Body::UTF16 ? 0x60 : 0x40;
    const std::size_t unit = kind == Body::UTF16 ? 2 : 1;
    for (std::size_t i = objects; i-- > 0;)
        list.place(items[i], list.body(RawBinaryList::longHead(marker, run / unit)));
    list.body(ns::Bytes(run, kind == Body::UTF16 ? 0x6C : 's'));  // 's', or U+6C6C
    return list.finish(top);
}

// `arrays` arrays over one run of `references` two-byte references to one
// UID: their heads lie one after another in front of the run, and each
// claims the heads after its own and the whole run. Expanded, about
// `arrays` x `references` values; 6 bytes an array, 2 a reference, and 256
// KiB of offsets: every two bytes name an object (the UID, but for the
// containers and strings, which no two bytes of the run or the heads name),
// so the heads read as references too. With `inArchive`, the arrays are
// entries of a keyed archive's "$objects" whose root is a string.
inline ns::Bytes overlappingContainers(std::size_t arrays, std::size_t references, bool inArchive) {
    constexpr std::size_t kNamed = 65536;
    RawBinaryList list(4, 2);
    list.objects(kNamed);
    const std::size_t uidAt = list.body(RawBinaryList::uid(1));
    for (std::size_t i = 0; i < kNamed; ++i) list.place(i, uidAt);
    // What the heads and the run name stays the UID; the others are free.
    std::vector<bool> named(kNamed);
    named[0x0101] = named[0xAF12] = true;
    for (std::size_t i = 0; i < arrays; ++i) {
        const std::size_t count = 3 * i + references;
        named[(count >> 16) & 0xFFFF] = named[count & 0xFFFF] = true;
    }
    std::size_t free = kNamed - 1;
    auto number = [&] {
        while (named[free]) --free;
        return free--;
    };
    std::vector<std::size_t> items;
    for (std::size_t i = 0; i < arrays; ++i) items.push_back(number());
    const std::size_t heads = list.size();
    for (std::size_t i = arrays; i-- > 0;) list.body(RawBinaryList::longHead(0xA0, 3 * i + references));
    for (std::size_t i = 0; i < arrays; ++i) list.place(items[i], heads + 6 * (arrays - 1 - i));
    list.body(ns::Bytes(2 * references, 0x01));
    if (!inArchive) {
        const std::size_t top = number();
        list.place(top, list.body(list.container(0xA0, items)));
        return list.finish(top);
    }
    return hostile::archive(
        list,
        [&] {
            std::vector<std::size_t> entries = {number(), number()};
            list.place(entries[0], list.body(RawBinaryList::ascii("$null")));
            list.place(entries[1], list.body(RawBinaryList::ascii("value")));
            entries.insert(entries.end(), items.begin(), items.end());
            return entries;
        },
        number);
}

// An array of `count` UIDs over one run: one byte apart over bytes 0x80,
// all UID 128; or, with `distinct`, two bytes apart over UIDs of eight
// bytes (each marker followed by a random byte, then the next marker), each
// its own number. About 7 or 8 bytes a UID (offsets and references of three
// bytes).
inline ns::Bytes uidRun(std::size_t count, bool distinct, std::uint64_t seed = 1) {
    RawBinaryList list(3, 3);
    std::mt19937_64 random(seed);
    const std::size_t step = distinct ? 2 : 1;
    ns::Bytes run(step * count + 16, 0x80);
    if (distinct)
        for (std::size_t i = 0; i < run.size(); ++i) run[i] = i % 2 ? static_cast<std::uint8_t>(random()) : 0x87;
    const std::size_t at = list.body(run);
    const std::vector<std::size_t> items = list.objects(count);
    for (std::size_t i = 0; i < count; ++i) list.place(items[i], at + step * i);
    const std::size_t top = list.add(list.container(0xA0, items));
    return list.finish(top);
}

// ---- Random layouts ----

// A binary list of about `bytes` (4 KiB or more) whose objects and
// containers lie at random offsets with random sizes over one run of
// bytes, the same for the same seed: strings, UTF-16 strings and data,
// arrays and dictionaries, UIDs and small scalars, whose bytes overlap one
// another's, objects that share one offset, containers that read their
// references out of bytes other objects lie over. References are one or
// two bytes wide and the list claims every object they can name. The run
// is mostly one byte over and over, an object of one byte or unit (the
// scalars lie on it, or on the heads written over it), so that most lists
// are well formed and read until what they build passes what their size
// allows; in one list of eight the run is random bytes and the objects lie
// anywhere. The containers are the objects numbered last (the last is the
// top, an array of its own bytes that holds the others), which the run's
// bytes do not name but in one list of eight: most lists hold no cycle.
inline ns::Bytes randomLayout(std::uint64_t seed, std::size_t bytes) {
    std::mt19937_64 random(seed);
    auto below = [&](std::size_t n) { return n == 0 ? std::size_t{0} : static_cast<std::size_t>(random() % n); };
    const unsigned width = bytes >= (1u << 20) && below(2) ? 2 : 1;
    const std::size_t objects = width == 1 ? 256 : 65536, containers = 16, scalars = objects - containers;
    // The highest byte that names no container: one of them is the
    // container's number, or its high byte.
    const std::uint8_t highest = width == 1 ? static_cast<std::uint8_t>(scalars - 1) : 0xFE;
    const bool cycles = below(8) == 0, chaos = below(8) == 0;
    RawBinaryList list(4, width);
    list.objects(objects);
    std::vector<std::size_t> held;
    for (std::size_t c = scalars; c + 1 < objects; ++c) held.push_back(c);
    for (std::size_t i = below(32); i > 0; --i) held.push_back(below(scalars));
    list.place(objects - 1, list.body(list.container(0xA0, held)));

    const std::size_t start = list.size(), end = std::max(bytes, start + objects * 4 + 4096) - objects * 4 - 32;
    // Data, ASCII and UTF-16 of one byte or unit, a UID, 0, true.
    const std::uint8_t fills[] = {0x41, 0x51, 0x51, 0x61, 0x61, 0x80, 0x10, 0x09};
    const std::uint8_t fill = fills[below(sizeof fills)];
    const bool textFill = fill == 0x51 || fill == 0x61;
    ns::Bytes run(end - start, fill);
    if (chaos)
        for (auto& b : run) b = static_cast<std::uint8_t>(below(std::size_t{highest} + 1));
    // A count whose bytes name no container: its first byte past `highest`
    // and every one after it brought down to `highest`.
    auto tame = [&](std::size_t count, unsigned size) {
        for (unsigned i = size; i-- > 0;) {
            if (((count >> (8 * i)) & 0xFF) <= highest) continue;
            for (unsigned j = 0; j <= i; ++j)
                count = (count & ~(std::size_t{0xFF} << (8 * j))) | std::size_t{highest} << (8 * j);
            return count;
        }
        return count;
    };
    std::vector<std::size_t> scalarHeads, containerHeads;
    std::vector<std::size_t> at(1 + below(std::min<std::size_t>(4096, run.size() / 16)));
    for (auto& a : at) a = below(run.size() - 16);
    std::sort(at.begin(), at.end());
    // Heads apart (but in chaos), so that none is written over another.
    if (!chaos)
        at.erase(std::unique(at.begin(), at.end(), [](std::size_t a, std::size_t b) { return b - a < 6; }), at.end());
    for (std::size_t h = 0; h < at.size(); ++h) {
        const std::size_t room = run.size() - at[h] - 7;
        // What lies on the heads: with a fill of text, text (dictionaries
        // have keys); else data, UTF-16 and UIDs; in chaos, anything.
        static constexpr std::uint8_t kText[] = {0x50, 0x60, 0x60, 0xA0, 0xA0, 0xD0};
        static constexpr std::uint8_t kOther[] = {0x40, 0x40, 0x60, 0x80, 0xA0, 0xA0};
        static constexpr std::uint8_t kAny[] = {0x40, 0x50, 0x60, 0x80, 0xA0, 0xD0};
        const std::uint8_t kind = chaos ? kAny[below(6)] : textFill ? kText[below(6)] : kOther[below(6)];
        if (kind == 0x80) {
            run[at[h]] = static_cast<std::uint8_t>(0x80 | below(8));
            scalarHeads.push_back(at[h]);
            continue;
        }
        const std::size_t unit = kind == 0x60 ? 2 : kind == 0xA0 ? width : kind == 0xD0 ? 2 * width : 1;
        std::size_t most = room / unit + (chaos ? 64 : 0);
        // ASCII stops short of the next head, whose bytes may be past 127.
        if (kind == 0x50 && !chaos && h + 1 < at.size()) most = std::min(most, at[h + 1] - at[h] - 6);
        // A few bytes, a few thousand, or up to the run's end.
        std::size_t count = below(4) == 0   ? below(15)
                            : below(4) == 0 ? below(std::min<std::size_t>(most, 4096) + 1)
                                            : below(most + 1);
        ns::Bytes head;
        if (count < 15) {
            head = {static_cast<std::uint8_t>(kind | count)};
        } else {
            const unsigned size = count < 256 ? 1 : count < 65536 ? 2 : 4;
            if (!cycles) count = tame(count, size);
            const auto width = static_cast<std::uint8_t>(size == 4 ? 2 : size - 1);  // log2 of the size
            head = {static_cast<std::uint8_t>(kind | 0xF), static_cast<std::uint8_t>(0x10 | width)};
            RawBinaryList::put(head, count, size);
        }
        std::copy(head.begin(), head.end(), run.begin() + static_cast<std::ptrdiff_t>(at[h]));
        (kind == 0xA0 || kind == 0xD0 ? containerHeads : scalarHeads).push_back(at[h]);
    }
    if (cycles) {
        // Bytes that name containers, here and there.
        for (std::size_t i = 1 + below(8); i > 0; --i) {
            const std::size_t at = below(run.size() - 1);
            if (width == 2) run[at] = 0xFF;
            run[at + width - 1] = static_cast<std::uint8_t>(0xF0 + below(15));
        }
    }
    // Where the objects lie: containers on containers' heads, scalars on
    // the fill (most of the run), on scalars' heads, or where another
    // object lies; in chaos, anywhere.
    auto onFill = [&] {
        for (;;) {
            const std::size_t at = below(run.size() - 8);
            if (chaos || (run[at] == fill && run[at + 1] == fill && run[at + 2] == fill)) return start + at;
        }
    };
    std::vector<std::size_t> where(objects - 1);
    for (std::size_t o = 0; o + 1 < objects; ++o) {
        const bool container = o >= scalars;
        const auto& own = container ? containerHeads : scalarHeads;
        const std::size_t choice = below(20);
        if (o > 0 && choice == 0)
            where[o] = where[below(o)];
        else if (!own.empty() && (container || choice < 8))
            where[o] = start + own[below(own.size())];
        else
            where[o] = onFill();
        list.place(o, where[o]);
    }
    list.body(run);
    return list.finish(objects - 1);
}

// ---- What reading them may cost ----

// One list of each family whose objects overlap, at sizes that show the
// cost (most beyond what their size allows), for the readers that take
// lists from boards, slots and the keychain.
struct Family {
    const char* name;
    ns::Bytes list;
};

inline std::vector<Family> overlappingFamilies() {
    return {
        {"data over one run", overlappingBodies(Body::Data, 4000, 1000000)},
        {"ASCII over one run", overlappingBodies(Body::ASCII, 100, 1000000)},
        {"UTF-16 over one run", overlappingBodies(Body::UTF16, 100, 1000000)},
        {"arrays over one run", overlappingContainers(100, 838860, false)},
        {"an archive's arrays over one run", overlappingContainers(16, 1u << 20, true)},
        {"UIDs of their own", uidRun(1u << 18, true)},
        {"UIDs over bytes 0x80", uidRun(1u << 18, false)},
        {"a random layout", randomLayout(102, 2u << 20)},
    };
}

// The most a read of a list of `bytes` may allocate at once: what the read
// budget allows, and as much again as the list for what it does not count
// (a reader's indexes while a dictionary is built, a UTF-16 string's units
// on their way to UTF-8). At the readers' bound, 32 MiB, about 1.1 GB.
inline std::size_t readCap(std::size_t bytes) { return ns::ReadBudget(bytes).allowance() + 2 * bytes + (16u << 20); }

// ---- What the archiver writes within its limits ----

// A coded record of kFields fields, each a record of its own or, at the
// leaves, the field's number: in an archive, a dictionary of 41 entries. A
// full tree of them four levels deep (65,641 records: 5.4 million
// references, 22.7 MB) is within every default limit of an archive; so is
// one of half as many records (2.6 million references), which is past the
// bound that archives had on their references before (16 for each object
// the limits allow, plus what decoding allows: 2.49 million).
class WideRecord : public ns::Coding {
public:
    static constexpr int kFields = 40;
    std::vector<std::shared_ptr<WideRecord>> children;  // none at the leaves
    std::vector<long long> numbers;                     // the leaves' fields

    // A tree at most `levels` deep of 1 + `below` records (a multiple of
    // kFields), its records filled depth first.
    static std::shared_ptr<WideRecord> tree(int levels, std::size_t below) { return tree(levels, &below); }

    static std::shared_ptr<WideRecord> tree(int levels, std::size_t* left) {
        auto record = std::make_shared<WideRecord>();
        const bool inner = levels > 1 && *left >= kFields;
        if (inner) *left -= kFields;
        for (int i = 0; i < kFields; ++i) {
            if (inner)
                record->children.push_back(tree(levels - 1, left));
            else
                record->numbers.push_back(i);
        }
        return record;
    }
    // The records of the tree, this one included.
    std::size_t records() const {
        std::size_t n = 1;
        for (const auto& child : children) n += child->records();
        return n;
    }
    bool sameTree(const WideRecord& other) const {
        if (numbers != other.numbers || children.size() != other.children.size()) return false;
        for (std::size_t i = 0; i < children.size(); ++i)
            if (!children[i] || !other.children[i] || !children[i]->sameTree(*other.children[i])) return false;
        return true;
    }

    std::string className() const override { return "WideRecord"; }
    void encodeWithCoder(ns::KeyedArchiver& coder) const override {
        for (int i = 0; i < kFields; ++i) {
            if (children.empty())
                coder.encodeInt64(numbers[static_cast<std::size_t>(i)], key(i));
            else
                coder.encodeObject(std::static_pointer_cast<ns::Coding>(children[static_cast<std::size_t>(i)]), key(i));
        }
    }
    void initWithCoder(ns::KeyedUnarchiver& coder) override {
        for (int i = 0; i < kFields; ++i) {
            if (auto child = std::dynamic_pointer_cast<WideRecord>(coder.decodeCodedObjectForKey(key(i))))
                children.push_back(std::move(child));
            else
                numbers.push_back(coder.decodeInt64ForKey(key(i)));
        }
    }

private:
    static std::string key(int i) { return "field" + std::to_string(i); }
};

// ---- XML ----

// `count` DOCTYPE declarations before a plist of one string.
inline ns::Bytes doctypes(std::size_t count) {
    std::string text;
    text.reserve(12 * count + 40);
    for (std::size_t i = 0; i < count; ++i) text += "<!DOCTYPE a>";
    text += "<plist><string>x</string></plist>";
    return ns::Bytes(text.begin(), text.end());
}

}  // namespace hostile
