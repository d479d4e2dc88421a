// A whole XML document of the model; the object always owns its libxml2
// document.
#pragma once

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
    // and, when asked, an error with code -1.
    static NSXMLDocumentPtr initWithXMLString(const std::string& string, unsigned options,
                                              ns::ErrorPtr* error = nullptr);
    static NSXMLDocumentPtr initWithData(const ns::Bytes& data, unsigned options, ns::ErrorPtr* error = nullptr);
    // Reads "<name>.xml" out of the zip archive fileName kept in the caches
    // folder's "XMLDocuments" sub-folder.
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

private:
    xmlDocPtr xmlDoc_ = nullptr;
};
