#include "mervio/apps/AppCommunicateData.h"

#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "mervio/apps/MervioApiUtil.h"
#include "mervio/RecordReader.h"
#include "uikit/Image.h"

namespace {

bool longerThan(const std::string& text, std::size_t limit) { return ns::utf16Length(text) > limit; }

// A text field of a received dictionary ("" when missing or not text).
std::string textOr(const ns::Value& dict, const char* key) { return mvrecord::text(dict, key).value_or(std::string()); }

// The media object of a message, flattened the way the record keeps it.
struct FlatObject {
    unsigned type = 0;
    std::string mediaUrl, mediaLowBandUrl, mediaDataUrl, mediaLowBandDataUrl, extInfo, fileExt;
    ns::Bytes data;
};

std::optional<FlatObject> flatten(const MVMediaObject& object) {
    FlatObject f;
    f.type = object.objectType();
    switch (object.objectType()) {
        case MVMediaObjectTypeImage: {
            auto& o = static_cast<const MVImageObject&>(object);
            f.mediaUrl = o.imageUrl;
            f.data = o.imageData;
            break;
        }
        case MVMediaObjectTypeMusic: {
            auto& o = static_cast<const MVMusicObject&>(object);
            f.mediaUrl = o.musicUrl;
            f.mediaLowBandUrl = o.musicLowBandUrl;
            f.mediaDataUrl = o.musicDataUrl;
            f.mediaLowBandDataUrl = o.musicLowBandDataUrl;
            break;
        }
        case MVMediaObjectTypeVideo: {
            auto& o = static_cast<const MVVideoObject&>(object);
            f.mediaUrl = o.videoUrl;
            f.mediaLowBandUrl = o.videoLowBandUrl;
            break;
        }
        case MVMediaObjectTypeWebpage: f.mediaUrl = static_cast<const MVWebpageObject&>(object).webpageUrl; break;
        case MVMediaObjectTypeFile: {
            auto& o = static_cast<const MVFileObject&>(object);
            f.fileExt = o.fileExtension;
            f.data = o.fileData;
            break;
        }
        case MVMediaObjectTypeAppExtend: {
            auto& o = static_cast<const MVAppExtendObject&>(object);
            f.mediaUrl = o.url;
            f.extInfo = o.extInfo;
            f.data = o.fileData;
            break;
        }
        case MVMediaObjectTypeEmoticon: f.data = static_cast<const MVEmoticonObject&>(object).emoticonData; break;
        default: return std::nullopt;
    }
    return f;
}

// The media object of a type, filled from the record's fields.
MVMediaObjectPtr unflatten(long long type, const ns::Value& dict, const ns::Bytes& data) {
    switch (type) {
        case MVMediaObjectTypeImage: {
            auto o = MVImageObject::object();
            o->imageUrl = textOr(dict, "mediaUrl");
            o->imageData = data;
            return o;
        }
        case MVMediaObjectTypeMusic: {
            auto o = MVMusicObject::object();
            o->musicUrl = textOr(dict, "mediaUrl");
            o->musicLowBandUrl = textOr(dict, "mediaLowBandUrl");
            o->musicDataUrl = textOr(dict, "mediaDataUrl");
            o->musicLowBandDataUrl = textOr(dict, "mediaLowBandDataUrl");
            return o;
        }
        case MVMediaObjectTypeVideo: {
            auto o = MVVideoObject::object();
            o->videoUrl = textOr(dict, "mediaUrl");
            o->videoLowBandUrl = textOr(dict, "mediaLowBandUrl");
            return o;
        }
        case MVMediaObjectTypeWebpage: {
            auto o = MVWebpageObject::object();
            o->webpageUrl = textOr(dict, "mediaUrl");
            return o;
        }
        case MVMediaObjectTypeFile: {
            auto o = MVFileObject::object();
            o->fileExtension = textOr(dict, "fileExt");
            o->fileData = data;
            return o;
        }
        case MVMediaObjectTypeAppExtend: {
            auto o = MVAppExtendObject::object();
            o->url = textOr(dict, "mediaUrl");
            o->extInfo = textOr(dict, "extInfo");
            o->fileData = data;
            return o;
        }
        case MVMediaObjectTypeEmoticon: {
            auto o = MVEmoticonObject::object();
            o->emoticonData = data;
            return o;
        }
        default: return nullptr;
    }
}

}  // namespace

AppCommunicateData::AppCommunicateData(const ns::Value& dict) {
    auto code = dict.isDictionary() ? mvrecord::integer(dict, "command") : std::nullopt;
    if (!code) return;
    command_ = static_cast<std::uint64_t>(*code);
    conversationAccount = textOr(dict, "account");
    // Missing means YES; only the text "1" is YES otherwise.
    ns::Value back = dict["returnFromApp"];
    returnFromApp = back.isNil() || (back.isString() && back.str() == "1");
    openID = textOr(dict, "openID");
    sdkVer = textOr(dict, "sdkver");
    lang = textOr(dict, "language");
    country = textOr(dict, "country");
    if (auto r = mvrecord::int32(dict, "result")) result = *r;
    if (auto s = mvrecord::int32(dict, "scene")) scene = *s;
    // A copy of the top dictionary, the only one the writers change; what it
    // holds is taken over as it was read.
    dictionary_ = ns::Value::dictionaryWithUniqueEntries(dict.entries());
}

void AppCommunicateData::initCommonField(std::uint64_t code) {
    command_ = code;
    dictionary_ = ns::Value::dictionary();
    dictionary_.set("command", ns::format("%lu", code));
    dictionary_.set("returnFromApp", returnFromApp ? "1" : "0");
    dictionary_.set("result", ns::format("%d", result));
    if (!conversationAccount.empty()) dictionary_.set("account", conversationAccount);
    dictionary_.set("sdkver", kMervioSDKVersion);
}

bool AppCommunicateData::MakeCommand(std::uint64_t code) {
    initCommonField(code);
    return true;
}

void AppCommunicateData::putText(const char* key, const std::string& value) {
    if (!value.empty()) dictionary_.set(key, value);
}

void AppCommunicateData::putObjectData(const ns::Bytes& data) {
    if (MervioApiUtil::isiOS7plus()) {
        if (!data.empty()) dictionary_.set("fileData", data);
    } else {
        fileData = data;
    }
}

void AppCommunicateData::putLanguageAndCountry(const std::string& language, const std::string& countryCode) {
    putText("language", language);
    putText("country", countryCode);
}

bool AppCommunicateData::MakeAuthRequest(const std::shared_ptr<SendAuthReq>& req) {
    if (!req || req->scope.empty() || longerThan(req->scope, mvlimit::kScope) || longerThan(req->state, mvlimit::kState))
        return false;
    dictionary_.set("scope", req->scope);
    putText("state", req->state);
    return true;
}

bool AppCommunicateData::MakeAuthResp(const std::shared_ptr<SendAuthResp>& resp) {
    if (!resp || longerThan(resp->state, mvlimit::kState)) return false;
    putText("state", resp->state);
    return true;
}

bool AppCommunicateData::MakeTextMessage(const std::string& text) {
    if (text.empty() || longerThan(text, mvlimit::kText)) return false;
    dictionary_.set("title", text);
    return true;
}

bool AppCommunicateData::MakeMediaMessage(const MVMediaMessagePtr& message) {
    if (!message) return false;
    const MVMediaMessage& m = *message;
    if (longerThan(m.title, mvlimit::kTitle) || longerThan(m.description, mvlimit::kDescription)) return false;
    if (!m.thumbData.empty() && (m.thumbData.size() > mvlimit::kThumbData || !ui::Image::imageWithData(m.thumbData)))
        return false;
    if (longerThan(m.mediaTagName, mvlimit::kMediaTagName) || longerThan(m.messageExt, mvlimit::kMessageExt) ||
        longerThan(m.messageAction, mvlimit::kMessageAction))
        return false;
    putText("title", m.title);
    putText("description", m.description);
    if (!m.thumbData.empty()) dictionary_.set("thumbData", m.thumbData);
    putText("mediaTagName", m.mediaTagName);
    putText("messageExt", m.messageExt);
    putText("messageAction", m.messageAction);
    return MakeLinkObject(m.mediaObject);
}

bool AppCommunicateData::MakeLinkObject(const MVMediaObjectPtr& object) {
    if (!object) return false;
    auto flat = flatten(*object);
    if (!flat) return false;
    bool hasUrl = !flat->mediaUrl.empty() || !flat->mediaLowBandUrl.empty() || !flat->mediaDataUrl.empty() ||
                  !flat->mediaLowBandDataUrl.empty();
    if (!hasUrl && flat->extInfo.empty() && flat->data.empty()) return false;
    for (const std::string* url : {&flat->mediaUrl, &flat->mediaLowBandUrl, &flat->mediaDataUrl, &flat->mediaLowBandDataUrl})
        if (longerThan(*url, mvlimit::kUrl)) return false;
    if (longerThan(flat->extInfo, mvlimit::kExtInfo) || longerThan(flat->fileExt, mvlimit::kFileExt) ||
        flat->data.size() > mvlimit::kData)
        return false;
    dictionary_.set("objectType", ns::format("%u", flat->type));
    putText("mediaUrl", flat->mediaUrl);
    putText("mediaLowBandUrl", flat->mediaLowBandUrl);
    putText("mediaDataUrl", flat->mediaDataUrl);
    putText("mediaLowBandDataUrl", flat->mediaLowBandDataUrl);
    putText("extInfo", flat->extInfo);
    putText("fileExt", flat->fileExt);
    putObjectData(flat->data);
    return true;
}

bool AppCommunicateData::MakeMediaInternalMessage(const MVMediaInternalMessagePtr& message) {
    if (!message) return false;
    if (dictionary_.isNil()) initCommonField(MVCommandMediaMessage);
    const MVMediaInternalMessage& m = *message;
    putText("title", m.title);
    putText("description", m.description);
    if (!m.thumbData.empty()) dictionary_.set("thumbData", m.thumbData);
    dictionary_.set("objectType", ns::format("%lu", m.objectType));
    putText("mediaTagName", m.mediaTagName);
    putText("messageExt", m.messageExt);
    putText("messageAction", m.messageAction);
    putText("mediaUrl", m.mediaUrl);
    putText("mediaLowBandUrl", m.mediaLowBandUrl);
    putText("mediaDataUrl", m.mediaDataUrl);
    putText("mediaLowBandDataUrl", m.mediaLowBandDataUrl);
    putText("extInfo", m.extInfo);
    putText("fileExt", m.fileExt);
    putObjectData(m.fileData);
    return true;
}

// ---- Readers ----

MVAuthInternalPtr AppCommunicateData::authRequest() const {
    if (command_ != MVCommandAuth || !dictionary_.isDictionary()) return nullptr;
    auto scope = mvrecord::text(dictionary_, "scope");
    std::string state = textOr(dictionary_, "state");
    if (!scope || longerThan(*scope, mvlimit::kScope) || longerThan(state, mvlimit::kState)) return nullptr;
    auto auth = std::make_shared<MVAuthInternal>();
    auth->scope = *scope;
    auth->state = state;
    return auth;
}

std::shared_ptr<SendAuthResp> AppCommunicateData::authResp() const {
    if (command_ != MVCommandAuth || !dictionary_.isDictionary()) return nullptr;
    std::string state = textOr(dictionary_, "state");
    if (longerThan(state, mvlimit::kState)) return nullptr;
    auto resp = std::make_shared<SendAuthResp>();
    resp->state = state;
    return resp;
}

std::optional<std::string> AppCommunicateData::textMessage() const {
    if (command_ != MVCommandTextMessage || !dictionary_.isDictionary()) return std::nullopt;
    auto title = mvrecord::text(dictionary_, "title");
    if (!title || longerThan(*title, mvlimit::kText)) return std::nullopt;
    return title;
}

MVMediaMessagePtr AppCommunicateData::mediaMessage() const {
    if (!dictionary_.isDictionary()) return nullptr;
    if (command_ == MVCommandLaunch) {
        auto message = MVMediaMessage::message();
        message->messageExt = textOr(dictionary_, "messageExt");
        message->messageAction = textOr(dictionary_, "messageAction");
        return message;
    }
    if (command_ != MVCommandMediaMessage) return nullptr;
    auto type = mvrecord::integer(dictionary_, "objectType");
    if (!type) return nullptr;
    MVMediaObjectPtr object = unflatten(*type, dictionary_, fileData);
    if (!object) return nullptr;
    auto message = MVMediaMessage::message();
    message->title = textOr(dictionary_, "title");
    message->description = textOr(dictionary_, "description");
    message->thumbData = mvrecord::data(dictionary_, "thumbData").value_or(ns::Bytes());
    message->mediaTagName = textOr(dictionary_, "mediaTagName");
    message->messageExt = textOr(dictionary_, "messageExt");
    message->messageAction = textOr(dictionary_, "messageAction");
    message->mediaObject = object;
    return message;
}

MVMediaInternalMessagePtr AppCommunicateData::mediaInternalMessage() const {
    if (command_ != MVCommandMediaMessage || !dictionary_.isDictionary()) return nullptr;
    auto type = mvrecord::integer(dictionary_, "objectType");
    if (!type) return nullptr;
    auto m = MVMediaInternalMessage::message();
    m->objectType = static_cast<std::uint64_t>(*type);
    m->title = textOr(dictionary_, "title");
    m->description = textOr(dictionary_, "description");
    m->thumbData = mvrecord::data(dictionary_, "thumbData").value_or(ns::Bytes());
    m->mediaTagName = textOr(dictionary_, "mediaTagName");
    m->messageExt = textOr(dictionary_, "messageExt");
    m->messageAction = textOr(dictionary_, "messageAction");
    m->mediaUrl = textOr(dictionary_, "mediaUrl");
    m->mediaLowBandUrl = textOr(dictionary_, "mediaLowBandUrl");
    m->mediaDataUrl = textOr(dictionary_, "mediaDataUrl");
    m->mediaLowBandDataUrl = textOr(dictionary_, "mediaLowBandDataUrl");
    m->extInfo = textOr(dictionary_, "extInfo");
    m->fileExt = textOr(dictionary_, "fileExt");
    m->fileData = fileData;
    if (longerThan(m->title, mvlimit::kTitle) || longerThan(m->description, mvlimit::kDescription) ||
        m->thumbData.size() > mvlimit::kThumbData || longerThan(m->mediaTagName, mvlimit::kMediaTagName) ||
        longerThan(m->messageExt, mvlimit::kMessageExt) || longerThan(m->messageAction, mvlimit::kMessageAction))
        return nullptr;
    for (const std::string* url : {&m->mediaUrl, &m->mediaLowBandUrl, &m->mediaDataUrl, &m->mediaLowBandDataUrl})
        if (longerThan(*url, mvlimit::kUrl)) return nullptr;
    if (longerThan(m->extInfo, mvlimit::kExtInfo) || longerThan(m->fileExt, mvlimit::kFileExt) ||
        m->fileData.size() > mvlimit::kData)
        return nullptr;
    if (m->mediaUrl.empty() && m->extInfo.empty() && m->fileData.empty()) return nullptr;
    return m;
}

// ---- Conversions ----

bool AppCommunicateData::ReqToData_withMediaInternalMessage(const BaseReqPtr& req,
                                                            const MVMediaInternalMessagePtr& message) {
    if (!req) return false;
    switch (req->kind()) {
        case MVReqKind::SendAuth:
            initCommonField(MVCommandAuth);
            return MakeAuthRequest(mvReqAs<SendAuthReq>(req));
        case MVReqKind::SendMessageToMV: {
            auto send = mvReqAs<SendMessageToMVReq>(req);
            bool written;
            if (send->bText) {
                initCommonField(MVCommandTextMessage);
                written = MakeTextMessage(send->text);
            } else {
                initCommonField(MVCommandMediaMessage);
                written = MakeMediaMessage(send->message);
            }
            dictionary_.set("scene", ns::format("%d", send->scene));
            putText("openID", send->openID);
            return written;
        }
        case MVReqKind::GetMessageFromMV: {
            auto get = mvReqAs<GetMessageFromMVReq>(req);
            initCommonField(MVCommandGetMessageReq);
            putText("openID", get->openID);
            putLanguageAndCountry(get->lang, get->country);
            return true;
        }
        case MVReqKind::ShowMessageFromMV: {
            auto show = mvReqAs<ShowMessageFromMVReq>(req);
            initCommonField(MVCommandMediaMessage);
            MakeMediaInternalMessage(message);
            putText("openID", show->openID);
            putLanguageAndCountry(show->lang, show->country);
            return true;
        }
        case MVReqKind::LaunchFromMV: {
            auto launch = mvReqAs<LaunchFromMVReq>(req);
            initCommonField(MVCommandLaunch);
            MakeMediaInternalMessage(message);
            putText("openID", launch->openID);
            putLanguageAndCountry(launch->lang, launch->country);
            return true;
        }
        default: return false;
    }
}

bool AppCommunicateData::RespToData(const BaseRespPtr& resp) {
    if (!resp) return false;
    switch (resp->kind()) {
        case MVRespKind::SendAuth:
            initCommonField(MVCommandAuthResp);
            return MakeAuthResp(mvRespAs<SendAuthResp>(resp));
        case MVRespKind::GetMessageFromMV: {
            auto get = mvRespAs<GetMessageFromMVResp>(resp);
            if (get->bText) {
                initCommonField(MVCommandTextMessage);
                return MakeTextMessage(get->text);
            }
            initCommonField(MVCommandMediaMessage);
            return MakeMediaMessage(get->message);
        }
        case MVRespKind::ShowMessageFromMV: initCommonField(MVCommandShowMessageResp); return true;
        case MVRespKind::SendMessageToMV: {
            auto send = mvRespAs<SendMessageToMVResp>(resp);
            initCommonField(MVCommandSendMessageResp);
            putLanguageAndCountry(send->lang, send->country);
            return true;
        }
        default: return false;
    }
}

BaseReqPtr AppCommunicateData::DataToReq() const {
    switch (command_) {
        case MVCommandLaunch: {
            auto req = std::make_shared<LaunchFromMVReq>();
            req->openID = openID;
            req->lang = lang;
            req->country = country;
            req->message = mediaMessage();
            return req;
        }
        case MVCommandGetMessageReq: {
            auto req = std::make_shared<GetMessageFromMVReq>();
            req->openID = openID;
            req->lang = lang;
            req->country = country;
            return req;
        }
        case MVCommandMediaMessage: {
            auto message = mediaMessage();
            if (!message || !message->mediaObject || message->mediaObject->objectType() != MVMediaObjectTypeAppExtend)
                return nullptr;
            auto req = std::make_shared<ShowMessageFromMVReq>();
            req->openID = openID;
            req->message = message;
            req->lang = lang;
            req->country = country;
            return req;
        }
        default: return nullptr;
    }
}

BaseRespPtr AppCommunicateData::DataToResp() const {
    switch (command_) {
        case MVCommandAuthResp: {
            auto resp = std::make_shared<SendAuthResp>();
            resp->errCode = result;
            return resp;
        }
        case MVCommandSendMessageResp: {
            auto resp = std::make_shared<SendMessageToMVResp>();
            resp->errCode = result;
            return resp;
        }
        case MVCommandSendMessageResult: {
            auto resp = std::make_shared<SendMessageToMVResp>();
            resp->errCode = result;
            resp->lang = lang;
            resp->country = country;
            return resp;
        }
        default: return nullptr;
    }
}
