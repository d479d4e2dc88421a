// The app-to-app record: a dictionary of texts and data with a numeric
// command code, the form in which requests and responses travel between the
// app and Mervio (AppCommunicate.h carries it over the pasteboards).
//
//   AppCommunicateData record;
//   record.conversationAccount = account;       // common fields before the command
//   if (!record.ReqToData(req)) return;         // a violated limit: nothing to send
//   AppCommunicate::setAppCommunicateData(record, appId);
//
//   auto back = AppCommunicate::appCommunicateDataForAppID(appId);
//   BaseReqPtr req = back ? back->DataToReq() : nullptr;
//
// Numbers are kept as decimal text ("command" "1010", "result" "-2"). The
// writers check the limits below (texts in UTF-16 units, data in bytes) and
// answer NO, leaving the record as far as it had got; the readers answer
// nil for a record of another command or a violated limit. The conversion
// table is one-sided on purpose: what is written for one command is not
// always read back by it (see ReqToData, RespToData, DataToReq, DataToResp).
//
// Records come from other apps: every value is read by its kind (numbers
// from numbers or numeric text, texts only from text, data only from data);
// a value of another kind counts as missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "mervio/apps/MVApiObject.h"
#include "mervio/apps/MVMediaMessage.h"

// Command codes.
enum MVCommand : std::uint64_t {
    MVCommandMediaMessage = 1010,    // media message, ShowMessageFromMVReq
    MVCommandTextMessage = 1020,     // text message
    MVCommandAuth = 1030,            // SendAuthReq
    MVCommandShowMessageResp = 1070, // ShowMessageFromMVResp (never read)
    MVCommandGetMessageReq = 2000,   // GetMessageFromMVReq
    MVCommandSendMessageResult = 2010,  // SendMessageToMVResp with lang and country (never written)
    MVCommandSendMessageResp = 2020, // SendMessageToMVResp
    MVCommandAuthResp = 2030,        // SendAuthResp
    MVCommandLaunch = 2040,          // LaunchFromMVReq
};

// Field limits: texts in UTF-16 units, data in bytes.
namespace mvlimit {
inline constexpr std::size_t kTitle = 512;
inline constexpr std::size_t kText = 10240;
inline constexpr std::size_t kDescription = 1024;
inline constexpr std::size_t kThumbData = 32768;
inline constexpr std::size_t kMediaTagName = 64;
inline constexpr std::size_t kMessageExt = 2048;
inline constexpr std::size_t kMessageAction = 2048;
inline constexpr std::size_t kUrl = 10240;
inline constexpr std::size_t kExtInfo = 2048;
inline constexpr std::size_t kFileExt = 64;
inline constexpr std::size_t kData = 10485760;
inline constexpr std::size_t kScope = 1024;
inline constexpr std::size_t kState = 1024;
}  // namespace mvlimit

inline constexpr const char* kMervioSDKVersion = "1.6.1";

// A media message as the record holds it: flat, with the object's type.
class MVMediaInternalMessage {
public:
    static std::shared_ptr<MVMediaInternalMessage> message() { return std::make_shared<MVMediaInternalMessage>(); }

    std::string title;
    std::string description;
    ns::Bytes thumbData;
    std::string mediaTagName;
    std::string messageExt;
    std::string messageAction;
    std::uint64_t objectType = 0;
    std::string mediaUrl;
    std::string mediaLowBandUrl;
    std::string mediaDataUrl;
    std::string mediaLowBandDataUrl;
    std::string extInfo;
    std::string fileExt;
    ns::Bytes fileData;
};

// An authorisation request as the record holds it.
class MVAuthInternal {
public:
    std::string scope;
    std::string state;
};

using MVMediaInternalMessagePtr = std::shared_ptr<MVMediaInternalMessage>;
using MVAuthInternalPtr = std::shared_ptr<MVAuthInternal>;

class AppCommunicateData {
public:
    // A new record: command 0, no dictionary, result 1.
    AppCommunicateData() = default;
    // initWithPropertList: a received dictionary. Without a (numeric)
    // "command" the record keeps command 0 and no dictionary.
    explicit AppCommunicateData(const ns::Value& propertList);

    std::uint64_t command() const { return command_; }
    // The record's dictionary (shared, mutable); nil before initCommonField.
    const ns::Value& propertList() const { return dictionary_; }

    // ---- Common fields: set before initCommonField ----
    ns::Bytes fileData;  // travels beside the record before iOS 7
    bool returnFromApp = false;
    std::int32_t result = 1;
    std::int32_t scene = 0;
    std::string conversationAccount;
    std::string openID;
    std::string sdkVer;
    std::string lang;
    std::string country;

    // Stores the code and starts a fresh dictionary with "command",
    // "returnFromApp", "result", "account" (when set) and "sdkver".
    void initCommonField(std::uint64_t code);
    bool MakeCommand(std::uint64_t code);

    // ---- Writers (NO for a missing object or a violated limit) ----
    bool MakeAuthRequest(const std::shared_ptr<SendAuthReq>& req);
    bool MakeAuthResp(const std::shared_ptr<SendAuthResp>& resp);
    bool MakeTextMessage(const std::string& text);
    bool MakeMediaMessage(const MVMediaMessagePtr& message);
    bool MakeLinkObject(const MVMediaObjectPtr& object);
    // No length checks; starts a 1010 record when there is no dictionary yet.
    bool MakeMediaInternalMessage(const MVMediaInternalMessagePtr& message);

    // ---- Readers (nil for another command or a violated limit) ----
    MVAuthInternalPtr authRequest() const;                  // 1030
    std::shared_ptr<SendAuthResp> authResp() const;         // 1030
    std::optional<std::string> textMessage() const;         // 1020
    MVMediaMessagePtr mediaMessage() const;                 // 1010, or 2040's ext and action
    MVMediaInternalMessagePtr mediaInternalMessage() const; // 1010, with limits

    // ---- Conversions by command ----
    bool ReqToData(const BaseReqPtr& req) { return ReqToData_withMediaInternalMessage(req, nullptr); }
    bool ReqToData_withMediaInternalMessage(const BaseReqPtr& req, const MVMediaInternalMessagePtr& message);
    bool RespToData(const BaseRespPtr& resp);
    BaseReqPtr DataToReq() const;
    BaseRespPtr DataToResp() const;

private:
    void putText(const char* key, const std::string& value);
    // An object's data: the record's fileData before iOS 7, "fileData" from then on.
    void putObjectData(const ns::Bytes& data);
    void putLanguageAndCountry(const std::string& language, const std::string& country);

    std::uint64_t command_ = 0;
    ns::Value dictionary_;
};

using AppCommunicateDataPtr = std::shared_ptr<AppCommunicateData>;
