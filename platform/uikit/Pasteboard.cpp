#include "uikit/Pasteboard.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/Data.h"
#include "foundation/Log.h"
#include "foundation/Strings.h"
#include "uikit/DeviceStore.h"

namespace ui {

namespace {

// ---- One board as stored ----

struct Item {
    std::string type;
    bool isString = false;
    ns::Bytes bytes;
};

struct Board {
    bool persistent = false;
    std::int64_t creatorPid = 0;
    std::uint64_t creatorStart = 0;  // the creator's start time, against reused process ids
    std::uint64_t changeCount = 0;
    std::vector<Item> items;
};

constexpr char kMagic[] = {'K', 'L', 'P', 'B', 1};
// The magic, whether the board is persistent, its creator (process id and
// start time), its change count and its item count.
constexpr std::size_t kHeaderBytes = sizeof kMagic + 1 + 3 * 8 + 4;
// An item's least: the length of its type, whether it is text, the length
// of its bytes.
constexpr std::size_t kItemLeastBytes = 4 + 1 + 4;

void putU32(ns::Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putU64(ns::Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Reads a board's file front to back; a length is checked against what is
// left before anything is made for it.
struct Reader {
    const ns::Bytes& in;
    std::size_t pos = 0;
    bool ok = true;
    std::size_t left() const { return in.size() - pos; }
    std::uint64_t get(int n) {
        if (!ok || left() < static_cast<std::size_t>(n)) {
            ok = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(in[pos + i]) << (8 * i);
        pos += static_cast<std::size_t>(n);
        return v;
    }
    // The next n bytes, or an empty range (and !ok) when fewer are left.
    std::pair<const std::uint8_t*, const std::uint8_t*> take(std::uint64_t n) {
        if (!ok || left() < n) {
            ok = false;
            return {};
        }
        const std::uint8_t* from = in.data() + pos;
        pos += static_cast<std::size_t>(n);
        return {from, from + n};
    }
};

// The size of the board's file, counted as encode lays it out.
std::uint64_t encodedSize(const Board& b) {
    std::uint64_t size = kHeaderBytes;
    for (const Item& it : b.items) size += kItemLeastBytes + it.type.size() + it.bytes.size();
    return size;
}

// The board's file; every length fits its field once encodedSize is within
// kPasteboardMaxFileBytes.
ns::Bytes encode(const Board& b) {
    ns::Bytes out(kMagic, kMagic + sizeof kMagic);
    out.reserve(static_cast<std::size_t>(encodedSize(b)));
    out.push_back(b.persistent ? 1 : 0);
    putU64(out, static_cast<std::uint64_t>(b.creatorPid));
    putU64(out, b.creatorStart);
    putU64(out, b.changeCount);
    putU32(out, static_cast<std::uint32_t>(b.items.size()));
    for (const Item& it : b.items) {
        putU32(out, static_cast<std::uint32_t>(it.type.size()));
        out.insert(out.end(), it.type.begin(), it.type.end());
        out.push_back(it.isString ? 1 : 0);
        putU32(out, static_cast<std::uint32_t>(it.bytes.size()));
        out.insert(out.end(), it.bytes.begin(), it.bytes.end());
    }
    return out;
}

// What a board's file holds, or nullopt when it is not a whole board.
// Without `withItems` the items are walked and checked but not made: what
// the board is (its kind, its creator) costs no more than the walk.
std::optional<Board> decode(const ns::Bytes& in, bool withItems) {
    if (in.size() < sizeof kMagic || !std::equal(kMagic, kMagic + sizeof kMagic, in.begin())) return std::nullopt;
    Reader r{in, sizeof kMagic};
    Board b;
    b.persistent = r.get(1) != 0;
    b.creatorPid = static_cast<std::int64_t>(r.get(8));
    b.creatorStart = r.get(8);
    b.changeCount = r.get(8);
    const std::uint64_t n = r.get(4);
    // A count of items the rest of the file cannot hold is refused at once.
    // Room is made for each item only once it is read: a count the file
    // could hold says nothing of the items that follow.
    if (!r.ok || n > r.left() / kItemLeastBytes) return std::nullopt;
    for (std::uint64_t i = 0; i < n; ++i) {
        Item it;
        auto [typeFrom, typeTo] = r.take(r.get(4));
        it.isString = r.get(1) != 0;
        auto [from, to] = r.take(r.get(4));
        if (!r.ok) return std::nullopt;
        if (!withItems) continue;
        it.type.assign(typeFrom, typeTo);
        it.bytes.assign(from, to);
        b.items.push_back(std::move(it));
    }
    if (r.pos != in.size()) return std::nullopt;
    return b;
}

// ---- Processes ----

// Field 22 of /proc/<pid>/stat: when the process started, in clock ticks.
std::uint64_t processStartTime(std::int64_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    if (!in) return 0;
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t close = all.rfind(')');  // the command name may hold blanks
    if (close == std::string::npos) return 0;
    std::istringstream rest(all.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && (rest >> field); ++i) {
        if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
    }
    return 0;
}

// Cached per process id, so a forked child does not take its parent's.
std::uint64_t ownStartTime() {
    static std::atomic<std::int64_t> cachedPid{0};
    static std::atomic<std::uint64_t> cachedStart{0};
    std::int64_t pid = ::getpid();
    if (cachedPid.load() != pid) {
        cachedStart.store(processStartTime(pid));
        cachedPid.store(pid);
    }
    return cachedStart.load();
}

bool processAlive(std::int64_t pid, std::uint64_t start) {
    if (pid <= 0) return false;
    if (pid == ::getpid()) return start == 0 || start == ownStartTime();
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    std::uint64_t now = processStartTime(pid);
    return start == 0 || now == 0 || now == start;
}

// ---- The store ----

std::string directory() { return deviceStoreSubdirectory("Pasteboards"); }

// A file name for any board name: letters, digits, "-", "_" and "." (not
// leading) as they are, everything else as %XX.
std::string fileNameFor(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || (c == '.' && i > 0);
        if (plain) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out + ".pasteboard";
}

std::string pathFor(const std::string& name) { return directory() + "/" + fileNameFor(name); }

// The device-wide lock for read-modify-write of boards; a shared lock for reads.
class StoreLock : public DeviceStoreLock {
public:
    explicit StoreLock(bool exclusive) : DeviceStoreLock(directory(), exclusive) {}
};

bool isGeneralName(const std::string& name) { return name == kPasteboardNameGeneral; }

// The live board, or nullopt when it does not exist, cannot be read (one
// beyond kPasteboardMaxFileBytes is said in a log line), or was a temporary
// board of a process that has ended; its items only `withItems`. Needs the
// lock.
std::optional<Board> load(const std::string& name, bool withItems = true) {
    ns::ErrorPtr error;
    std::optional<ns::Bytes> bytes = ns::readFile(pathFor(name), kPasteboardMaxFileBytes, &error);
    if (!bytes) {
        if (error && error->code == ns::FileReadTooLargeError)
            ns::NSLog("Pasteboard: cannot read %@", error->localizedDescription());  // the file and the reason
        return std::nullopt;
    }
    std::optional<Board> b = decode(*bytes, withItems);
    if (!b) {
        ns::NSLog("Pasteboard: unreadable store file for %@", name);
        return std::nullopt;
    }
    if (!b->persistent && !isGeneralName(name) && !processAlive(b->creatorPid, b->creatorStart)) return std::nullopt;
    return b;
}

// Writes the board whole, or leaves the file as it was: false then, with a
// log line (the error names the file and the reason). A board beyond
// kPasteboardMaxFileBytes is not written: no reader would take it.
bool store(const std::string& name, const Board& b) {
    const std::string path = pathFor(name);
    ns::ErrorPtr error;
    if (encodedSize(b) > kPasteboardMaxFileBytes)
        error = ns::fileTooLargeError(path, kPasteboardMaxFileBytes, true);
    else if (ns::writeFileAtomically(path, encode(b), &error))
        return true;
    ns::NSLog("Pasteboard: cannot write %@", error->localizedDescription());
    return false;
}

Board freshBoard(const std::string& name) {
    Board b;
    b.persistent = isGeneralName(name);
    b.creatorPid = ::getpid();
    b.creatorStart = ownStartTime();
    return b;
}

// Loads (or starts) the board, lets `change` edit it, stores it: true when
// the board was kept. `change` answers false when it changed nothing: a
// board that is there is then not written again. A change that replaces
// every item needs none `withItems`. Needs no lock.
template <typename F>
bool modify(const std::string& name, F change, bool withItems = true) {
    StoreLock lock(true);
    std::optional<Board> there = load(name, withItems);
    Board b = there.value_or(freshBoard(name));
    if (!change(b) && there) return true;
    return store(name, b);
}

// What `read` makes of the board, which has its items only `withItems`; the
// default answer when there is none.
template <typename F>
auto inspect(const std::string& name, F read, bool withItems = true) -> decltype(read(std::declval<const Board&>())) {
    StoreLock lock(false);
    std::optional<Board> b = load(name, withItems);
    if (!b) return {};
    return read(*b);
}

const Item* findItem(const Board& b, const std::string& type) {
    for (const Item& it : b.items) {
        if (it.type == type) return &it;
    }
    return nullptr;
}

// The board's items, whatever they were, become this one.
void replaceContent(Board& b, Item item) {
    b.items.clear();
    b.items.push_back(std::move(item));
    ++b.changeCount;
}

}  // namespace

Pasteboard::Pasteboard(Private, std::string name) : name_(std::move(name)) {}

PasteboardPtr Pasteboard::generalPasteboard() { return pasteboardWithName(kPasteboardNameGeneral, true); }

PasteboardPtr Pasteboard::pasteboardWithName(const std::string& name, bool create) {
    if (name.empty()) return nullptr;
    StoreLock lock(true);
    if (!load(name, false)) {
        // A board that could not be written does not exist.
        if (!create || !store(name, freshBoard(name))) return nullptr;
    }
    return std::make_shared<Pasteboard>(Private{}, name);
}

void Pasteboard::removePasteboardWithName(const std::string& name) {
    if (name.empty()) return;
    StoreLock lock(true);
    std::error_code ec;
    std::filesystem::remove(pathFor(name), ec);
}

bool Pasteboard::isPersistent() const {
    if (isGeneral()) return true;
    return inspect(name_, [](const Board& b) { return b.persistent; }, false);
}

bool Pasteboard::setPersistent(bool persistent) {
    if (isGeneral()) return true;
    // Mostly it is so already (a board is made persistent each time it is
    // opened): told without making its items.
    const auto now = inspect(name_, [](const Board& b) { return std::optional<bool>(b.persistent); }, false);
    if (now == persistent) return true;
    return modify(name_, [&](Board& b) {
        if (b.persistent == persistent) return false;
        b.persistent = persistent;
        return true;
    });
}

bool Pasteboard::setData(const ns::Bytes& data, const std::string& type) {
    return modify(
        name_,
        [&](Board& b) {
            replaceContent(b, Item{type, false, data});
            return true;
        },
        false);
}

bool Pasteboard::setValue(const ns::Value& value, const std::string& type) {
    if (value.isString()) {
        return modify(
            name_,
            [&](Board& b) {
                replaceContent(b, Item{type, true, ns::Bytes(value.str().begin(), value.str().end())});
                return true;
            },
            false);
    }
    if (value.isData()) return setData(value.data(), type);
    return false;
}

std::optional<ns::Bytes> Pasteboard::dataForPasteboardType(const std::string& type) const {
    return inspect(name_, [&](const Board& b) -> std::optional<ns::Bytes> {
        const Item* it = findItem(b, type);
        if (!it) return std::nullopt;
        return it->bytes;
    });
}

ns::Value Pasteboard::valueForPasteboardType(const std::string& type) const {
    return inspect(name_, [&](const Board& b) -> ns::Value {
        const Item* it = findItem(b, type);
        if (!it) return {};
        if (it->isString) return ns::Value(std::string(it->bytes.begin(), it->bytes.end()));
        return ns::Value(it->bytes);
    });
}

std::optional<std::string> Pasteboard::string() const {
    std::optional<ns::Bytes> b = dataForPasteboardType(kPasteboardTypeUTF8PlainText);
    if (!b) return std::nullopt;
    return ns::stringFromUTF8(*b);
}

bool Pasteboard::setString(const std::string& text) { return setValue(ns::Value(text), kPasteboardTypeUTF8PlainText); }

std::vector<std::string> Pasteboard::pasteboardTypes() const {
    return inspect(name_, [](const Board& b) {
        std::vector<std::string> types;
        for (const Item& it : b.items) types.push_back(it.type);
        return types;
    });
}

bool Pasteboard::containsPasteboardTypes(const std::vector<std::string>& types) const {
    return inspect(name_, [&](const Board& b) {
        for (const std::string& t : types) {
            if (findItem(b, t)) return true;
        }
        return false;
    });
}

long Pasteboard::changeCount() const {
    return inspect(name_, [](const Board& b) { return static_cast<long>(b.changeCount); }, false);
}

void Pasteboard::removeAllForTesting() {
    StoreLock lock(true);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory(), ec)) {
        if (entry.path().extension() == ".pasteboard") std::filesystem::remove(entry.path(), ec);
    }
}

}  // namespace ui
