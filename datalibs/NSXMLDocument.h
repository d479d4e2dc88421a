// A whole XML document of the model; the object always owns its libxml2
// document.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "datalibs/NSXMLElement.h"
#include "foundation/Value.h"

class NSXMLDocument;
using NSXMLDocumentPtr = std::shared_ptr<NSXMLDocument>;

class NSXMLDocument {
public:
    // The parse options argument is accepted and not used: every parse merges
    // CDATA into text and drops ignorable blank text. Failures answer nullptr
    // and, when asked, an error with code -1. Entity references stay in the
    // tree and are expanded when text is read; a document whose references
    // together expand to more than kMaxEntityExpansion bytes fails. So does,
    // with a log line, a document of more than kMaxDocumentSize bytes, and
    // one that would cost more than its size allows (xmlread: a tag of too
    // many attributes, a tree or lookups beyond its read budget).
    static NSXMLDocumentPtr initWithXMLString(const std::string& string, unsigned options,
                                              ns::ErrorPtr* error = nullptr);
    static NSXMLDocumentPtr initWithData(const ns::Bytes& data, unsigned options, ns::ErrorPtr* error = nullptr);
    // Reads "<name>.xml" out of the zip archive fileName kept in the caches
    // folder's "XMLDocuments" sub-folder. A name that would lead out of that
    // folder (absolute, or with a ".." component) and an entry larger than
    // kMaxZippedDocumentSize answer nullptr with a log line.
    static NSXMLDocumentPtr initWithZipFile(const std::string& fileName, unsigned options,
                                            ns::ErrorPtr* error = nullptr);
    // A new document whose root element is a copy of the element.
    static NSXMLDocumentPtr initWithRootElement(const NSXMLElementPtr& element);

    explicit NSXMLDocument(xmlDocPtr doc);  // takes the document over
    ~NSXMLDocument();
    NSXMLDocument(const NSXMLDocument&) = delete;
    NSXMLDocument& operator=(const NSXMLDocument&) = delete;

    // A borrowing wrapper of the root element, valid while the document lives.
    NSXMLElementPtr rootElement() const;
    std::optional<ns::Bytes> XMLData() const;
    void setVersion(const std::optional<std::string>& version);
    void setCharacterEncoding(const std::optional<std::string>& encoding);
    std::string description() const;

    xmlDocPtr XMLDoc() const { return xmlDoc_; }

    // The caches sub-folder that holds zipped documents.
    static const char* const kZipFolderName;
    // The largest document read: 32 MiB, the bound of every reader of others'
    // data; what its tree may take follows its size.
    static constexpr std::uint64_t kMaxDocumentSize = 32u << 20;
    // The most a zipped document may inflate to.
    static constexpr std::uint64_t kMaxZippedDocumentSize = kMaxDocumentSize;
    // The most all entity references of a parsed document may expand to: as
    // much text again as the largest zipped document.
    static constexpr std::uint64_t kMaxEntityExpansion = kMaxZippedDocumentSize;

private:
    xmlDocPtr xmlDoc_ = nullptr;
};
