// Pasteboards: the general pasteboard and named ones, shared by every program
// of the device (see DeviceStore.h), each holding data per type.
//
//   auto board = ui::Pasteboard::pasteboardWithName("mervio_register", true);   // created when missing
//   board->setPersistent(true);
//   board->setData(plistBytes, "content");          // replaces what the board held
//   auto bytes = board->dataForPasteboardType("content");
//   ui::Pasteboard::generalPasteboard()->setString("copied text");
//   if (!ui::Pasteboard::pasteboardWithName("mervio_sdk_infomation", false)) ...   // absent: none
//
// A Pasteboard is a handle: every read goes to the device store and every
// write replaces the board's file atomically (under a device-wide lock), so
// another process sees the new content at once and never a torn one. A
// write that fails (a full disk) leaves the board as it was, answers false
// and logs one line naming the file and the reason; a board that could not
// be created is none.
//
// Lifetime: the general pasteboard and persistent named boards last until they
// are removed. A named board that is not persistent lasts as long as the
// process that created it: once that process has ended, the board is gone.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace ui {

class Pasteboard;
using PasteboardPtr = std::shared_ptr<Pasteboard>;

// The platform's text type (UTF-8 plain text).
inline constexpr const char* kPasteboardTypeUTF8PlainText = "public.utf8-plain-text";
inline constexpr const char* kPasteboardNameGeneral = "com.apple.UIKit.pboard.general";

class Pasteboard {
public:
    static PasteboardPtr generalPasteboard();
    // pasteboardWithName:create: — nullptr when no such board exists and
    // create is NO, or when it could not be written. An empty name gives
    // nullptr.
    static PasteboardPtr pasteboardWithName(const std::string& name, bool create);
    static void removePasteboardWithName(const std::string& name);

    const std::string& name() const { return name_; }
    bool isGeneral() const { return name_ == kPasteboardNameGeneral; }

    // Persistent boards outlive the process that made them. The general board
    // is always persistent. The setters below answer whether the board was
    // kept: false when it could not be written.
    bool isPersistent() const;
    bool setPersistent(bool persistent);

    // setData:forPasteboardType: — the board then holds exactly this one type.
    bool setData(const ns::Bytes& data, const std::string& type);
    // setValue:forPasteboardType: for a string (kept as UTF-8) or data; other
    // values are ignored (false).
    bool setValue(const ns::Value& value, const std::string& type);
    // dataForPasteboardType: (a string value reads as its UTF-8 bytes).
    std::optional<ns::Bytes> dataForPasteboardType(const std::string& type) const;
    // valueForPasteboardType: — a string when a string was set, else data; nil
    // when the type is absent.
    ns::Value valueForPasteboardType(const std::string& type) const;

    // The text on the board (type public.utf8-plain-text), or nullopt; bytes
    // there that are not well-formed UTF-8 are no text.
    std::optional<std::string> string() const;
    // Replaces the board's content with the text.
    bool setString(const std::string& text);

    // The types the board holds, in the order they were set.
    std::vector<std::string> pasteboardTypes() const;
    bool containsPasteboardTypes(const std::vector<std::string>& types) const;
    // Grows by one with every change of content, across processes.
    long changeCount() const;

    // Tests: every board of the device store is removed.
    static void removeAllForTesting();

    struct Private {};
    Pasteboard(Private, std::string name);

private:
    std::string name_;
};

}  // namespace ui
