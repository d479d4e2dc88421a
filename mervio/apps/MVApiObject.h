// The requests and responses the SDK exchanges with Mervio: plain value
// records on two polymorphic bases, BaseReq and BaseResp, each class tagged
// with its kind. Fields start empty (empty text, 0, NO, no object); the
// limits noted are checked by the sender, not by the fields.
//
//   auto req = std::make_shared<SendMessageToMVReq>();
//   req->bText = true;
//   req->text = "你好";
//   if (req->kind() == MVReqKind::SendMessageToMV) ...
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mervio/apps/MVMediaMessage.h"

enum class MVReqKind {
    Base,
    SendMessageToMV,
    SendAuth,
    Pay,
    GetMessageFromMV,
    ShowMessageFromMV,
    LaunchFromMV,
    OpenTempSession,
    OpenWebview,
    OpenRankList,
    JumpToBizProfile,
    JumpToBizWebview,
    AddCardToMVCardPackage,
};

enum class MVRespKind {
    Base,
    SendMessageToMV,
    SendAuth,
    Pay,
    GetMessageFromMV,
    ShowMessageFromMV,
    OpenTempSession,
    OpenWebview,
    OpenRankList,
    AddCardToMVCardPackage,
};

class BaseReq {
public:
    virtual ~BaseReq() = default;
    virtual MVReqKind kind() const { return MVReqKind::Base; }

    std::int32_t type = 0;  // never set by the SDK
    std::string openID;     // "openID" in records
};

class BaseResp {
public:
    virtual ~BaseResp() = default;
    virtual MVRespKind kind() const { return MVRespKind::Base; }

    // 0 success; -1 no code returned; -2 the user left the web
    // authorisation; -4 authorisation denied; others as Mervio reports them.
    std::int32_t errCode = 0;
    std::string errStr;
    std::int32_t type = 0;
};

using BaseReqPtr = std::shared_ptr<BaseReq>;
using BaseRespPtr = std::shared_ptr<BaseResp>;

template <MVReqKind Kind>
class MVReqOf : public BaseReq {
public:
    static constexpr MVReqKind kKind = Kind;
    MVReqKind kind() const override { return Kind; }
};

template <MVRespKind Kind>
class MVRespOf : public BaseResp {
public:
    static constexpr MVRespKind kKind = Kind;
    MVRespKind kind() const override { return Kind; }
};

// The request's class when its kind is T's, else nullptr.
template <class T>
std::shared_ptr<T> mvReqAs(const BaseReqPtr& req) {
    return req && req->kind() == T::kKind ? std::static_pointer_cast<T>(req) : nullptr;
}
template <class T>
std::shared_ptr<T> mvRespAs(const BaseRespPtr& resp) {
    return resp && resp->kind() == T::kKind ? std::static_pointer_cast<T>(resp) : nullptr;
}

// bText YES sends `text` (command 1020), NO sends `message` (1010).
class SendMessageToMVReq : public MVReqOf<MVReqKind::SendMessageToMV> {
public:
    std::string text;
    MVMediaMessagePtr message;
    bool bText = false;
    std::int32_t scene = 0;
};

class SendMessageToMVResp : public MVRespOf<MVRespKind::SendMessageToMV> {
public:
    std::string lang;
    std::string country;
};

// scope 1 to 1024 characters, state at most 1024.
class SendAuthReq : public MVReqOf<MVReqKind::SendAuth> {
public:
    std::string scope;
    std::string state;
};

class SendAuthResp : public MVRespOf<MVRespKind::SendAuth> {
public:
    std::string code;
    std::string state;
    std::string lang;
    std::string country;
};

// All five texts required.
class PayReq : public MVReqOf<MVReqKind::Pay> {
public:
    std::string partnerId;
    std::string prepayId;
    std::string nonceStr;
    std::uint32_t timeStamp = 0;
    std::string package;
    std::string sign;
};

class PayResp : public MVRespOf<MVRespKind::Pay> {
public:
    std::string returnKey;
};

// Mervio asks the app for content (2000).
class GetMessageFromMVReq : public MVReqOf<MVReqKind::GetMessageFromMV> {
public:
    std::string lang;
    std::string country;
};

// The app's answer: text (1020) or media (1010).
class GetMessageFromMVResp : public MVRespOf<MVRespKind::GetMessageFromMV> {
public:
    std::string text;
    MVMediaMessagePtr message;
    bool bText = false;
};

// Mervio asks the app to show content (1010 with an app-extend object).
class ShowMessageFromMVReq : public MVReqOf<MVReqKind::ShowMessageFromMV> {
public:
    MVMediaMessagePtr message;
    std::string lang;
    std::string country;
};

class ShowMessageFromMVResp : public MVRespOf<MVRespKind::ShowMessageFromMV> {};

// Mervio launched the app (2040); the message holds messageExt and messageAction.
class LaunchFromMVReq : public MVReqOf<MVReqKind::LaunchFromMV> {
public:
    MVMediaMessagePtr message;
    std::string lang;
    std::string country;
};

// username at most 1024 characters.
class OpenTempSessionReq : public MVReqOf<MVReqKind::OpenTempSession> {
public:
    std::string username;
    std::string sessionFrom;
};

class OpenTempSessionResp : public MVRespOf<MVRespKind::OpenTempSession> {};

// url at most 10240 characters.
class OpenWebviewReq : public MVReqOf<MVReqKind::OpenWebview> {
public:
    std::string url;
};

class OpenWebviewResp : public MVRespOf<MVRespKind::OpenWebview> {};

class OpenRankListReq : public MVReqOf<MVReqKind::OpenRankList> {};

class OpenRankListResp : public MVRespOf<MVRespKind::OpenRankList> {};

// username 1 to 1024 characters, extMsg at most 2048.
class JumpToBizProfileReq : public MVReqOf<MVReqKind::JumpToBizProfile> {
public:
    std::string username;
    std::string extMsg;
    std::int32_t profileType = 0;
};

// Only webType 0 is sent; tousrname 1 to 1024, extMsg at most 2048.
class JumpToBizWebviewReq : public MVReqOf<MVReqKind::JumpToBizWebview> {
public:
    std::int32_t webType = 0;
    std::string tousrname;
    std::string extMsg;
};

class MVCardItem {
public:
    std::string cardId;
    std::string extMsg;
    std::uint32_t cardState = 0;  // from "is_succ"
};

using MVCardItemPtr = std::shared_ptr<MVCardItem>;

// 1 to 40 cards.
class AddCardToMVCardPackageReq : public MVReqOf<MVReqKind::AddCardToMVCardPackage> {
public:
    std::vector<MVCardItemPtr> cardAry;
};

// The cards Mervio reports, those with a non-empty cardId.
class AddCardToMVCardPackageResp : public MVRespOf<MVRespKind::AddCardToMVCardPackage> {
public:
    std::vector<MVCardItemPtr> cardAry;
};
