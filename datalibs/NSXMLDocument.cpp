#include "datalibs/NSXMLDocument.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "datalibs/XMLSupport.h"
#include "datalibs/ZipFileIO.h"
#include "foundation/FileManager.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "service/XMLRead.h"

using namespace datalibs::xml;
namespace fs = std::filesystem;

const char* const NSXMLDocument::kZipFolderName = "XMLDocuments";

namespace {

constexpr std::size_t kZipReadPiece = 1024;

// Entity references stay references in the tree, and whatever reads a
// node's text (its string value, XPath's string functions) expands them:
// a 60 KB document can read as gigabytes. libxml2 refuses such documents when
// it substitutes entities; without substitution the model adds up what the
// document's references expand to, and stops counting past the limit.
class EntityExpansion {
public:
    EntityExpansion(xmlDocPtr doc, std::uint64_t limit) : doc_(doc), limit_(limit) {}

    bool withinLimit() { return below(reinterpret_cast<xmlNodePtr>(doc_), false, 0) <= limit_; }

private:
    static constexpr int kMaxNesting = 64;

    std::uint64_t add(std::uint64_t a, std::uint64_t b) const { return a > limit_ || b > limit_ - a ? limit_ + 1 : a + b; }

    // What the references below the node expand to; with `text`, its plain
    // text counts too (for an entity's content). Stops just past the limit.
    std::uint64_t below(xmlNodePtr node, bool text, int nesting) {
        std::uint64_t size = 0;
        for (xmlNodePtr n = node->children; n && size <= limit_; n = n->next) {
            switch (n->type) {
                case XML_TEXT_NODE:
                case XML_CDATA_SECTION_NODE:
                    if (text) size = add(size, static_cast<std::uint64_t>(xmlStrlen(n->content)));
                    break;
                case XML_ENTITY_REF_NODE:
                    size = add(size, entity(xmlGetDocEntity(doc_, n->name), nesting));
                    break;
                case XML_ELEMENT_NODE:
                    for (xmlAttrPtr a = n->properties; a && size <= limit_; a = a->next)
                        size = add(size, below(reinterpret_cast<xmlNodePtr>(a), text, nesting));
                    size = add(size, below(n, text, nesting));
                    break;
                case XML_DTD_NODE:
                    break;  // declarations count where they are referenced
                default:
                    size = add(size, below(n, text, nesting));
                    break;
            }
        }
        return size;
    }

    // An entity's content, its own references expanded.
    std::uint64_t entity(xmlEntityPtr e, int nesting) {
        if (!e || e->etype == XML_INTERNAL_PREDEFINED_ENTITY) return 0;
        auto known = sizes_.find(e);
        if (known != sizes_.end()) return known->second;
        // A loop, or nesting deeper than libxml2 itself parses, is too much.
        sizes_[e] = limit_ + 1;
        if (nesting >= kMaxNesting) return limit_ + 1;
        return sizes_[e] = below(reinterpret_cast<xmlNodePtr>(e), true, nesting + 1);
    }

    xmlDocPtr doc_;
    std::uint64_t limit_;
    std::unordered_map<xmlEntityPtr, std::uint64_t> sizes_;
};

NSXMLDocumentPtr parse(const char* bytes, std::size_t size, ns::ErrorPtr* error) {
    xmlDocPtr doc = datalibs::xml::readDocument(std::string_view(bytes ? bytes : "", size));
    if (!doc) {
        if (error) *error = ns::makeError(NSXMLErrorDomain, -1);
        return nullptr;
    }
    return std::make_shared<NSXMLDocument>(doc);
}

}  // namespace

xmlDocPtr datalibs::xml::readDocument(std::string_view text) {
    ensureInitialized();
    if (text.size() > NSXMLDocument::kMaxDocumentSize) {
        ns::NSLog("XML document refused: it is larger than %llu bytes",
                  static_cast<unsigned long long>(NSXMLDocument::kMaxDocumentSize));
        return nullptr;
    }
    std::string refusal;
    xmlDocPtr doc = xmlread::readDocument(text, kParseOptions, {}, &refusal);
    if (!doc && !refusal.empty()) ns::NSLog("XML document refused: it %@", refusal);
    if (doc && doc->intSubset && !EntityExpansion(doc, NSXMLDocument::kMaxEntityExpansion).withinLimit()) {
        ns::NSLog("XML document refused: its entity references expand to more than %llu bytes",
                  static_cast<unsigned long long>(NSXMLDocument::kMaxEntityExpansion));
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    return doc;
}

namespace {

// Whether a relative name stays inside the folder it is joined to.
bool staysInside(const fs::path& name) {
    if (name.empty() || name.is_absolute() || name.has_root_path()) return false;
    return std::none_of(name.begin(), name.end(), [](const fs::path& part) { return part == ".."; });
}

// The entry's bytes, or nullopt when it cannot be read whole and intact or
// would inflate beyond the limit. minizip stops reading at the size the entry
// declares, so the declared size bounds what is read.
std::optional<ns::Bytes> readZipEntry(const fs::path& archive, const std::string& entryName) {
    unzFile uf = datalibs::openZipForReading(archive.string());
    if (!uf) return std::nullopt;
    std::optional<ns::Bytes> out;
    if (unzLocateFile(uf, entryName.c_str(), 1) == UNZ_OK && unzOpenCurrentFile(uf) == UNZ_OK) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            // nothing read
        } else if (info.uncompressed_size > NSXMLDocument::kMaxZippedDocumentSize) {
            ns::NSLog("Zipped document %@ in %@ is larger than %llu bytes", entryName, archive.string(),
                      NSXMLDocument::kMaxZippedDocumentSize);
        } else {
            ns::Bytes data;
            data.reserve(static_cast<std::size_t>(info.uncompressed_size));
            std::uint8_t piece[kZipReadPiece];
            int n;
            while ((n = unzReadCurrentFile(uf, piece, kZipReadPiece)) > 0) {
                if (data.size() + static_cast<std::size_t>(n) > info.uncompressed_size) break;
                data.insert(data.end(), piece, piece + n);
            }
            if (n == 0 && data.size() == info.uncompressed_size) out = std::move(data);
        }
        if (unzCloseCurrentFile(uf) != UNZ_OK) out.reset();
    }
    unzClose(uf);
    return out;
}

}  // namespace

NSXMLDocumentPtr NSXMLDocument::initWithXMLString(const std::string& string, unsigned options, ns::ErrorPtr* error) {
    (void)options;
    return parse(string.data(), string.size(), error);
}

NSXMLDocumentPtr NSXMLDocument::initWithData(const ns::Bytes& data, unsigned options, ns::ErrorPtr* error) {
    (void)options;
    return parse(reinterpret_cast<const char*>(data.data()), data.size(), error);
}

NSXMLDocumentPtr NSXMLDocument::initWithZipFile(const std::string& fileName, unsigned options, ns::ErrorPtr* error) {
    (void)error;  // parse errors are not handed on from here
    if (fileName.empty()) return nullptr;
    if (!staysInside(fs::path(fileName))) {
        ns::NSLog("Refused zipped document outside the caches folder: %@", fileName);
        return nullptr;
    }
    std::string entry = fs::path(fileName).filename().stem().string() + ".xml";
    fs::path folder = fs::path(ns::cachesDirectory()) / kZipFolderName;
    auto& files = ns::FileManager::defaultManager();
    if (!files.isDirectory(folder.string())) files.createDirectoryAtPath(folder.string(), false);
    std::optional<ns::Bytes> data = readZipEntry(folder / fileName, entry);
    if (!data) return nullptr;
    return initWithData(*data, options, nullptr);
}

NSXMLDocumentPtr NSXMLDocument::initWithRootElement(const NSXMLElementPtr& element) {
    ensureInitialized();
    xmlDocPtr doc = xmlNewDoc(nullptr);
    if (!doc) return nullptr;
    if (element && element->XMLNode()) {
        xmlNodePtr root = xmlDocCopyNode(element->XMLNode(), doc, 1);
        if (root) xmlDocSetRootElement(doc, root);
    }
    return std::make_shared<NSXMLDocument>(doc);
}

NSXMLDocument::NSXMLDocument(xmlDocPtr doc) : xmlDoc_(doc) {}

NSXMLDocument::~NSXMLDocument() {
    if (xmlDoc_) xmlFreeDoc(xmlDoc_);
}

NSXMLElementPtr NSXMLDocument::rootElement() const {
    xmlNodePtr root = xmlDoc_ ? xmlDocGetRootElement(xmlDoc_) : nullptr;
    if (!root) return nullptr;
    return std::make_shared<NSXMLElement>(root, false);
}

std::optional<ns::Bytes> NSXMLDocument::XMLData() const {
    if (!xmlDoc_) return std::nullopt;
    xmlChar* mem = nullptr;
    int size = 0;
    {
        EscapedNamespaceURIs escaped(reinterpret_cast<xmlNodePtr>(xmlDoc_));
        xmlDocDumpMemory(xmlDoc_, &mem, &size);
        // In an encoding that also changes the declaration (UTF-7), no reader
        // could tell how to read it: such a document is written in UTF-8.
        if (mem && size >= 4 && xmlDetectCharEncoding(mem, size) == XML_CHAR_ENCODING_NONE) {
            xmlFree(mem);
            mem = nullptr;
            xmlDocDumpMemoryEnc(xmlDoc_, &mem, &size, "UTF-8");
        }
    }
    if (!mem) return std::nullopt;
    std::optional<ns::Bytes> out;
    if (size > 0) out = ns::Bytes(mem, mem + size);
    xmlFree(mem);
    return out;
}

void NSXMLDocument::setVersion(const std::optional<std::string>& version) {
    if (!xmlDoc_) return;
    if (xmlDoc_->version) xmlFree(const_cast<xmlChar*>(xmlDoc_->version));
    xmlDoc_->version = version ? xmlStrdup(X(*version)) : nullptr;
}

void NSXMLDocument::setCharacterEncoding(const std::optional<std::string>& encoding) {
    if (!xmlDoc_) return;
    if (xmlDoc_->encoding) xmlFree(const_cast<xmlChar*>(xmlDoc_->encoding));
    xmlDoc_->encoding = encoding ? xmlStrdup(X(*encoding)) : nullptr;
}

std::string NSXMLDocument::description() const {
    return ns::format("%@ 0x%lX", std::string("NSXMLDocument"),
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(this)));
}
