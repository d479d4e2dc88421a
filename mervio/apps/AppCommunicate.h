// The transport of app-to-app records over pasteboards. Every board holds
// its data under the type "content": a binary property list of one
// dictionary that maps app ids to record dictionaries.
//
//   AppCommunicate::setAppCommunicateData(record, appId);          // before opening Mervio's URL
//   auto record = AppCommunicate::appCommunicateDataForAppID(appId);   // consumes what is there
//
// Before iOS 7 records go to the named persistent board "mervio_data" (other
// apps' entries kept) and file data to "mervio_file"; from iOS 7 on the
// record, its file data inside it as "fileData", replaces what the general
// pasteboard held, whose earlier text travels along as "old_text" and is put
// back when the record is read. Reading a board whose content is a property
// list empties it, so a record is taken by its first reader; content that is
// absent or no property list is left as it is. A record whose board cannot
// be emptied (a full disk) is not taken: it is not read, and waits for a
// later reader. Main thread.
#pragma once

#include <string>

#include "foundation/Value.h"
#include "mervio/apps/AppCommunicateData.h"
#include "uikit/Pasteboard.h"

class AppCommunicate {
public:
    // The two roads, chosen by MervioApiUtil::isiOS7plus(). NO for no record,
    // a record without a dictionary, an empty app id, a failed serialisation
    // (a board that would be more than the reader takes fails too) or a board
    // that could not be written.
    static bool setAppCommunicateData(const AppCommunicateDataPtr& record, const std::string& appId);
    static AppCommunicateDataPtr appCommunicateDataForAppID(const std::string& appId);

    // ---- Before iOS 7 ----
    static std::string getDataPasteboardName();  // "mervio_data"
    static std::string getFilePasteboardName();  // "mervio_file"
    static ui::PasteboardPtr getDataPasteboard();  // created when missing, persistent; none when it cannot be
    static ui::PasteboardPtr getFilePasteboard();
    // The whole dictionary (and "content" emptied); nil when absent or not a
    // dictionary. Content beyond what the reader takes is left, and
    // `beyondLimits` (when given) tells so.
    static ns::Value propertyListForAllApp(bool* beyondLimits = nullptr);
    static ns::Value propertyListForAppID(const std::string& appId);
    // Rewrites the whole dictionary with this app's entry replaced; NO, and
    // the board left as it is, when its content is beyond what the reader
    // takes or the new dictionary cannot be serialised within it.
    static bool setPropertyList(const ns::Value& propertyList, const std::string& appId);
    // NO when the board could not be written.
    static bool setFileData(const ns::Bytes& data, const std::string& appId);
    // What "mervio_file" holds (then emptied).
    static ns::Bytes fileDataForAppID(const std::string& appId);

    // ---- From iOS 7 on ----
    static ui::PasteboardPtr getDataPasteboardForiOS7Plus();  // the general pasteboard
    static ns::Value propertyListForAllAppForiOS7Plus();
    static ns::Value propertyListForAppIDForiOS7Plus(const std::string& appId);
    static bool setPropertyListForiOS7Plus(const ns::Value& propertyList, const std::string& appId);
    static bool setAppCommunicateDataForiOS7Plus(const AppCommunicateDataPtr& record, const std::string& appId);
    static AppCommunicateDataPtr appCommunicateDataForAppIDForiOS7Plus(const std::string& appId);
};
