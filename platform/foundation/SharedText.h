// Text that whoever holds it shares and nobody changes: a copy copies a
// pointer. For text that may be large and passes from a reply's records to
// screens and their views, like NSString, which copying an immutable string
// only retains: a title of megabytes is then held once, not once per
// holder.
//
//   ns::SharedText title = record["title"].sharedText();   // the record's own string
//   label->setText(title);                                 // the same string again
//   std::string copy = title;                              // a copy of its own
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace ns {

class SharedText {
public:
    SharedText() = default;
    SharedText(std::string text) : text_(std::make_shared<const std::string>(std::move(text))) {}
    SharedText(const char* text) : SharedText(std::string(text ? text : "")) {}
    SharedText(std::string_view text) : SharedText(std::string(text)) {}
    // Shares the string (nullptr: the empty text).
    explicit SharedText(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}

    const std::string& str() const { return text_ ? *text_ : none(); }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }
    bool empty() const { return str().empty(); }
    std::size_t size() const { return str().size(); }
    void clear() { text_.reset(); }
    // Whether both hold the very same string (not only equal text).
    bool sharesWith(const SharedText& other) const { return text_ && text_ == other.text_; }

    friend bool operator==(const SharedText& a, std::string_view b) { return a.str() == b; }

private:
    static const std::string& none() {
        static const std::string none;
        return none;
    }

    std::shared_ptr<const std::string> text_;
};

}  // namespace ns
