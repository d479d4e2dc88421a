#include "mervio/apps/AppCommunicate.h"

#include "mervio/apps/MervioApiUtil.h"
#include "mervio/RecordReader.h"

namespace {

constexpr const char* kContentType = "content";
constexpr const char* kOldTextKey = "old_text";

// The board, made persistent; none when it cannot be kept so.
ui::PasteboardPtr namedPersistentBoard(const std::string& name) {
    auto board = ui::Pasteboard::pasteboardWithName(name, true);
    return board && board->setPersistent(true) ? board : nullptr;
}

// The board's content as a property list; when it is one, the content is
// emptied (the record is taken), whatever its kind. A record that cannot be
// taken (the board cannot be written) is not read: it stays for a later
// reader, and none is answered. Content beyond what the reader takes stays,
// and `beyondLimits` (when given) tells so.
ns::Value takeContent(const ui::PasteboardPtr& board, bool* beyondLimits = nullptr) {
    if (beyondLimits) *beyondLimits = false;
    if (!board) return {};
    ns::Value plist = MervioApiUtil::propertyListFromData(board->dataForPasteboardType(kContentType), beyondLimits);
    if (plist.isNil() || !board->setData(ns::Bytes(), kContentType)) return {};
    return plist;
}

// The app's entry of a dictionary of all apps, when it is a dictionary.
ns::Value entryFor(const ns::Value& all, const std::string& appId) {
    ns::Value entry = all[appId];
    return entry.isDictionary() ? entry : ns::Value();
}

bool writable(const AppCommunicateDataPtr& record, const std::string& appId) {
    return record && record->propertList().isDictionary() && !appId.empty();
}

}  // namespace

bool AppCommunicate::setAppCommunicateData(const AppCommunicateDataPtr& record, const std::string& appId) {
    if (MervioApiUtil::isiOS7plus()) return setAppCommunicateDataForiOS7Plus(record, appId);
    if (!writable(record, appId)) return false;
    return setPropertyList(record->propertList(), appId) && setFileData(record->fileData, appId);
}

AppCommunicateDataPtr AppCommunicate::appCommunicateDataForAppID(const std::string& appId) {
    if (MervioApiUtil::isiOS7plus()) return appCommunicateDataForAppIDForiOS7Plus(appId);
    if (appId.empty()) return nullptr;
    ns::Value entry = propertyListForAppID(appId);
    if (entry.isNil()) return nullptr;
    auto record = std::make_shared<AppCommunicateData>(entry);
    record->fileData = fileDataForAppID(appId);
    return record;
}

// ---- Before iOS 7 ----

std::string AppCommunicate::getDataPasteboardName() { return "mervio_data"; }
std::string AppCommunicate::getFilePasteboardName() { return "mervio_file"; }
ui::PasteboardPtr AppCommunicate::getDataPasteboard() { return namedPersistentBoard(getDataPasteboardName()); }
ui::PasteboardPtr AppCommunicate::getFilePasteboard() { return namedPersistentBoard(getFilePasteboardName()); }

ns::Value AppCommunicate::propertyListForAllApp(bool* beyondLimits) {
    ns::Value all = takeContent(getDataPasteboard(), beyondLimits);
    return all.isDictionary() ? all : ns::Value();
}

ns::Value AppCommunicate::propertyListForAppID(const std::string& appId) {
    return entryFor(propertyListForAllApp(), appId);
}

bool AppCommunicate::setPropertyList(const ns::Value& propertyList, const std::string& appId) {
    if (propertyList.isNil() || appId.empty()) return false;
    auto board = getDataPasteboard();
    if (!board) return false;
    // The board is read, not taken: it changes only once its new content is
    // ready, so a record that cannot be written leaves every app's entry. A
    // board this reader cannot take is left as it is.
    bool beyondLimits = false;
    ns::Value earlier = MervioApiUtil::propertyListFromData(board->dataForPasteboardType(kContentType), &beyondLimits);
    if (beyondLimits) return false;
    // Only the top dictionary changes, the one this read made (no one else
    // holds it): the other apps' entries stay as they were read; content
    // that is no dictionary gives none.
    ns::Value all = earlier.isDictionary() ? earlier : ns::Value::dictionary();
    all.set(appId, propertyList);
    auto bytes = MervioApiUtil::dataFromPropertyList(all);
    return bytes && board->setData(*bytes, kContentType);
}

bool AppCommunicate::setFileData(const ns::Bytes& data, const std::string&) {
    auto board = getFilePasteboard();
    return board && board->setData(data, kContentType);
}

ns::Bytes AppCommunicate::fileDataForAppID(const std::string&) {
    auto board = getFilePasteboard();
    if (!board) return {};
    ns::Bytes data = board->dataForPasteboardType(kContentType).value_or(ns::Bytes());
    board->setData(ns::Bytes(), kContentType);
    return data;
}

// ---- From iOS 7 on ----

ui::PasteboardPtr AppCommunicate::getDataPasteboardForiOS7Plus() { return ui::Pasteboard::generalPasteboard(); }

ns::Value AppCommunicate::propertyListForAllAppForiOS7Plus() {
    auto board = getDataPasteboardForiOS7Plus();
    if (!board) return {};
    ns::Value all = MervioApiUtil::propertyListFromData(board->dataForPasteboardType(kContentType));
    if (all.isNil()) return {};
    // Taken in one write that puts the earlier text back, so that the text
    // is not lost when the board cannot be written (the record then stays).
    auto oldText = all.isDictionary() ? mvrecord::text(all, kOldTextKey) : std::nullopt;
    const bool taken = oldText && !oldText->empty() ? board->setString(*oldText)
                                                    : board->setData(ns::Bytes(), kContentType);
    return taken && all.isDictionary() ? all : ns::Value();
}

ns::Value AppCommunicate::propertyListForAppIDForiOS7Plus(const std::string& appId) {
    return entryFor(propertyListForAllAppForiOS7Plus(), appId);
}

bool AppCommunicate::setPropertyListForiOS7Plus(const ns::Value& propertyList, const std::string& appId) {
    if (propertyList.isNil() || appId.empty()) return false;
    auto board = getDataPasteboardForiOS7Plus();
    if (!board) return false;
    ns::Value all = ns::Value::dictionary({{appId, propertyList}});
    auto oldText = board->string();
    if (oldText && !oldText->empty()) all.set(kOldTextKey, *oldText);
    auto bytes = MervioApiUtil::dataFromPropertyList(all);
    return bytes && board->setData(*bytes, kContentType);
}

bool AppCommunicate::setAppCommunicateDataForiOS7Plus(const AppCommunicateDataPtr& record, const std::string& appId) {
    if (!writable(record, appId)) return false;
    return setPropertyListForiOS7Plus(record->propertList(), appId);
}

AppCommunicateDataPtr AppCommunicate::appCommunicateDataForAppIDForiOS7Plus(const std::string& appId) {
    if (appId.empty()) return nullptr;
    ns::Value entry = propertyListForAppIDForiOS7Plus(appId);
    if (entry.isNil()) return nullptr;
    auto record = std::make_shared<AppCommunicateData>(entry);
    record->fileData = mvrecord::data(entry, "fileData").value_or(ns::Bytes());
    return record;
}
