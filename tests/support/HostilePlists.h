// Property lists and keyed archives made by hand to cost their reader more
// than their size: the families a reader of others' boards and slots must
// read or refuse in time and memory that follow the list's own bytes. The
// tests read them at sizes that show the cost; bench/foundation/PlistPeak.cpp
// reads them at their largest under the 32 MiB bound.
//
//   ns::Bytes list = hostile::sharedBody(hostile::Body::ASCII, 30000, 30000);
//   ns::Value v = ns::PropertyListSerialization::propertyListWithData(list);
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    void place(std::size_t object, std::size_t offset) { offsets_[object] = offset; }
    // Writes a body; its offset.
    std::size_t body(const ns::Bytes& bytes) {
        const std::size_t at = out_.size();
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return at;
    }
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
    std::vector<std::size_t> refs;
    refs.reserve(places);
    for (std::size_t i = 0; i < places; ++i) refs.push_back(list.object());
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
// `fill` has added what the entries name.
template <class Fill>
ns::Bytes archive(RawBinaryList& list, Fill fill) {
    const std::size_t top = list.object();
    const std::size_t keys[] = {list.add(RawBinaryList::ascii("$archiver")), list.add(RawBinaryList::ascii("$version")),
                                list.add(RawBinaryList::ascii("$top")), list.add(RawBinaryList::ascii("$objects"))};
    ns::Bytes version = {0x12};
    RawBinaryList::put(version, 100000, 4);
    const std::size_t archiver = list.add(RawBinaryList::ascii("NSKeyedArchiver")), number = list.add(version);
    const std::size_t root = list.add(RawBinaryList::ascii("root")), rootUID = list.add(RawBinaryList::uid(1));
    const std::size_t topDict = list.add(list.container(0xD0, {root, rootUID}));
    const std::size_t objects = list.object();
    std::vector<std::size_t> entries = fill();
    list.place(objects, list.body(list.container(0xA0, entries)));
    list.place(top, list.body(list.container(0xD0, {keys[0], keys[1], keys[2], keys[3], archiver, number, topDict,
                                                    objects})));
    return list.finish(top);
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
