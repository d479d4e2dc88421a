#include "mervio/apps/MVApi.h"

#include <utility>
#include <vector>

#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "mervio/apps/AppCommunicate.h"
#include "mervio/apps/MVApiConfig.h"
#include "mervio/apps/MVApiRegister.h"
#include "mervio/apps/MervioApiUtil.h"
#include "mervio/RecordReader.h"
#include "mervio/apps/URLArgumentsAdditions.h"
#include "mervio/apps/WapAuthHandler.h"
#include "service/JSON.h"
#include "uikit/Application.h"

namespace {

// What the SDK keeps between calls (main thread).
struct ApiState {
    std::string appId;    // the last registered
    std::string account;  // the conversation account of the last record received
};

ApiState& state() {
    static ApiState s;
    return s;
}

void dropAccount() { state().account.clear(); }

std::size_t lengthOf(const std::string& text) { return ns::utf16Length(text); }

bool open(const std::optional<std::string>& url) {
    return url && ui::Application::sharedApplication().openURL(*url);
}

std::optional<std::string> mervioUrl(const std::string& extra) {
    return MervioApiUtil::getMervioUrl_extraUrl(state().appId, extra);
}

// Whether the URL is the return "<app id><suffix>", with something after the
// suffix when `needsMore`.
bool isReturn(const std::string& url, const std::string& suffix, bool needsMore) {
    if (state().appId.empty()) return false;
    std::string prefix = state().appId + suffix;
    return ns::hasPrefix(url, prefix) && (!needsMore || url.size() > prefix.size());
}

// The URL's query: after the first "?", up to a "#".
std::string queryOf(const std::string& url) {
    std::size_t mark = url.find('?');
    std::size_t fragment = url.find('#');
    if (mark == std::string::npos || (fragment != std::string::npos && fragment < mark)) return {};
    std::size_t end = fragment == std::string::npos ? url.size() : fragment;
    return url.substr(mark + 1, end - mark - 1);
}

std::string textOr(const ns::Value& params, std::string_view key) {
    return mvrecord::text(params, key).value_or(std::string());
}

std::int32_t integerOr0(const ns::Value& params, std::string_view key) {
    return mvrecord::int32(params, key).value_or(0);
}

void deliver(const MVApiDelegatePtr& delegate, const BaseRespPtr& resp) {
    if (delegate) delegate->onResp(resp);
}

// The returns that carry only an error code and text ("ret", "notifyStr").
template <class Resp>
bool handleCodeReturn(const std::string& url, const char* suffix, const MVApiDelegatePtr& delegate) {
    if (!isReturn(url, suffix, true)) return false;
    ns::Value params = MVApi::parseURLParams(queryOf(url));
    auto resp = std::make_shared<Resp>();
    resp->errCode = integerOr0(params, "ret");
    resp->errStr = textOr(params, "notifyStr");
    deliver(delegate, resp);
    return true;
}

// The cards of an "addCardInfo" text: a percent-escaped JSON array of
// objects. Anything else gives no card; an element that is no object, or
// whose "card_id" is not a non-empty text, is dropped.
std::vector<MVCardItemPtr> cardsOf(const std::string& escaped) {
    std::vector<MVCardItemPtr> cards;
    if (escaped.empty()) return cards;
    auto text = ns::percentDecode(escaped);
    if (!text) return cards;
    ns::Value list = JSONParser().parse(*text);
    if (!list.isArray()) return cards;
    for (const auto& element : list.items()) {
        if (!element.isDictionary()) continue;
        auto cardId = mvrecord::text(element, "card_id");
        if (!cardId || cardId->empty()) continue;
        auto card = std::make_shared<MVCardItem>();
        card->cardId = *cardId;
        card->extMsg = textOr(element, "card_ext");
        card->cardState = static_cast<std::uint32_t>(mvrecord::integer(element, "is_succ").value_or(0));
        cards.push_back(card);
    }
    return cards;
}

}  // namespace

// ---- Registration and Mervio itself ----

bool MVApi::registerApp(const std::string& appId) { return registerApp(appId, std::string()); }

bool MVApi::registerApp(const std::string& appId, const std::string& description) {
    if (appId.empty()) return false;
    state().appId = appId;
    return MVApiRegister::registerApp(appId, description);
}

bool MVApi::isMVAppInstalled() {
    auto base = MervioApiUtil::getMervioUrl(state().appId);
    return base && MervioApiUtil::canOpenURL(*base);
}

bool MVApi::isMVAppSupportApi() { return MervioApiUtil::isMVAppSupportApi(); }

std::string MVApi::getMVAppInstallUrl() {
    return std::string(mvconfig::kAppStoreHost) + mvconfig::kAppStorePath + "?" + mvconfig::kAppStoreQuery;
}

std::string MVApi::getApiVersion() { return kMervioSDKVersion; }

bool MVApi::openMVApp() {
    dropAccount();
    return open(MervioApiUtil::getMervioUrl(state().appId));
}

// A name given again keeps its first place and takes the later value, as
// setting it again would.
ns::Value MVApi::parseURLParams(const std::string& query) {
    ns::DictionaryBuilder params;
    for (auto& piece : ns::componentsSeparatedByString(query, "&")) {
        auto parts = ns::componentsSeparatedByString(piece, "=");
        if (parts.size() >= 2) params.add(std::move(parts[0]), ns::Value(std::move(parts[1])));
    }
    return ns::Value::dictionary(std::move(params));
}

// ---- Mervio's returns ----

bool MVApi::handleAuthOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate) {
    if (!isReturn(url, "://oauth", false)) return false;
    ns::Value params = parseURLParams(queryOf(url));
    auto resp = std::make_shared<SendAuthResp>();
    if (auto code = mvrecord::text(params, "code")) {
        if (*code == "authdeny") {
            resp->errCode = -4;
        } else {
            resp->errCode = 0;
            resp->code = *code;
        }
    } else {
        resp->errCode = -1;
    }
    resp->errStr = textOr(params, "reason");
    resp->state = textOr(params, "state");
    resp->lang = textOr(params, "lang");
    resp->country = textOr(params, "country");
    WapAuthHandler::shareWapAuthHandlerInstance()->endWapAuth();
    deliver(delegate, resp);
    return true;
}

bool MVApi::handlePayOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate) {
    if (!isReturn(url, "://pay/", true)) return false;
    ns::Value params = parseURLParams(queryOf(url));
    auto resp = std::make_shared<PayResp>();
    resp->returnKey = textOr(params, "returnKey");
    resp->errCode = integerOr0(params, "ret");
    resp->errStr = textOr(params, "notifyStr");
    deliver(delegate, resp);
    return true;
}

bool MVApi::handleAddCardOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate) {
    if (!isReturn(url, "://cardPackage/", true)) return false;
    ns::Value params = parseURLParams(queryOf(url));
    auto resp = std::make_shared<AddCardToMVCardPackageResp>();
    resp->errCode = integerOr0(params, "errCode");
    resp->cardAry = cardsOf(textOr(params, "addCardInfo"));
    deliver(delegate, resp);
    return true;
}

bool MVApi::handleOpenTempSessionOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate) {
    return handleCodeReturn<OpenTempSessionResp>(url, "://opentempsession/", delegate);
}

bool MVApi::handleOpenWebviewOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate) {
    return handleCodeReturn<OpenWebviewResp>(url, "://openwebview/", delegate);
}

bool MVApi::handleOpenRankList(const std::string& url, const MVApiDelegatePtr& delegate) {
    return handleCodeReturn<OpenRankListResp>(url, "://openranklist/", delegate);
}

bool MVApi::handleOpenURL(const std::string& url, const MVApiDelegatePtr& delegate) {
    if (!delegate) return false;
    if (handleAuthOpenUrl(url, delegate) || handlePayOpenUrl(url, delegate) ||
        WapAuthHandler::shareWapAuthHandlerInstance()->handleWapOAuthOpenUrl(url) ||
        handleAddCardOpenUrl(url, delegate) || handleOpenTempSessionOpenUrl(url, delegate) ||
        handleOpenWebviewOpenUrl(url, delegate) || handleOpenRankList(url, delegate))
        return true;

    const std::string& appId = state().appId;
    if (!MervioApiUtil::isAppOpenUrl(url, appId)) return false;
    auto record = AppCommunicate::appCommunicateDataForAppID(appId);
    if (!record) return false;
    state().account = record->conversationAccount;

    BaseReqPtr req;
    BaseRespPtr resp;
    switch (record->command()) {
        case MVCommandMediaMessage: req = mvReqAs<ShowMessageFromMVReq>(record->DataToReq()); break;
        case MVCommandGetMessageReq: req = mvReqAs<GetMessageFromMVReq>(record->DataToReq()); break;
        case MVCommandLaunch: req = mvReqAs<LaunchFromMVReq>(record->DataToReq()); break;
        case MVCommandSendMessageResult:
        case MVCommandSendMessageResp: resp = mvRespAs<SendMessageToMVResp>(record->DataToResp()); break;
        case MVCommandAuthResp: resp = mvRespAs<SendAuthResp>(record->DataToResp()); break;
        default: return true;
    }
    if (req) {
        delegate->onReq(req);
        return true;
    }
    if (resp) {
        delegate->onResp(resp);
        return true;
    }
    return false;
}

// ---- Sending ----

std::optional<std::string> MVApi::packReq(const BaseReqPtr& req) {
    if (!req) return std::nullopt;
    auto record = std::make_shared<AppCommunicateData>();
    record->conversationAccount = state().account;
    if (!record->ReqToData(req)) return std::nullopt;
    if (!AppCommunicate::setAppCommunicateData(record, state().appId)) return std::nullopt;
    dropAccount();
    return mervioUrl("sendreq/?");
}

std::optional<std::string> MVApi::packResp(const BaseRespPtr& resp) {
    if (!resp) return std::nullopt;
    auto record = std::make_shared<AppCommunicateData>();
    record->conversationAccount = state().account;
    record->returnFromApp = true;
    record->result = resp->errCode;
    if (!record->RespToData(resp)) return std::nullopt;
    if (!AppCommunicate::setAppCommunicateData(record, state().appId)) return std::nullopt;
    dropAccount();
    return mervioUrl("sendresp/?");
}

bool MVApi::auth(const std::shared_ptr<SendAuthReq>& req) {
    if (!req) return false;
    if (!MervioApiUtil::isiOS7plus()) return open(packReq(req));
    if (req->scope.empty()) return false;
    auto url = mervioUrl(ns::format("auth/?scope=%@&state=%@", mvApi_stringByEscapingForURLArgument(req->scope),
                                    mvApi_stringByEscapingForURLArgument(req->state)));
    dropAccount();
    return open(url);
}

bool MVApi::pay(const std::shared_ptr<PayReq>& req) {
    if (!req || req->package.empty() || req->partnerId.empty() || req->prepayId.empty() || req->sign.empty() ||
        req->nonceStr.empty())
        return false;
    auto url = mervioUrl(ns::format(
        "pay/?nonceStr=%@&package=%@&partnerId=%@&prepayId=%@&timeStamp=%u&sign=%@&signType=%@",
        mvApi_stringByEscapingForURLArgument(req->nonceStr), mvApi_stringByEscapingForURLArgument(req->package),
        mvApi_stringByEscapingForURLArgument(req->partnerId), mvApi_stringByEscapingForURLArgument(req->prepayId),
        req->timeStamp, mvApi_stringByEscapingForURLArgument(req->sign), "SHA1"));
    dropAccount();
    return open(url);
}

bool MVApi::openTempSession(const std::shared_ptr<OpenTempSessionReq>& req) {
    if (!req || lengthOf(req->username) > 1024) return false;
    return open(mervioUrl(ns::format("opentempsession/?username=%@&sessionFrom=%@", req->username,
                                     mvApi_stringByEscapingForURLArgumentOnly(req->sessionFrom))));
}

bool MVApi::openWebview(const std::shared_ptr<OpenWebviewReq>& req) {
    if (!req || lengthOf(req->url) > mvlimit::kUrl) return false;
    return open(mervioUrl(ns::format("openwebview/?url=%@", mvApi_stringByEncodeUrl(req->url))));
}

bool MVApi::openRankList(const std::shared_ptr<OpenRankListReq>& req) {
    if (!req) return false;
    return open(mervioUrl("openranklist/"));
}

bool MVApi::openProfile(const std::shared_ptr<JumpToBizProfileReq>& req) {
    if (!req || req->username.empty() || lengthOf(req->username) > 1024 || lengthOf(req->extMsg) > 2048) return false;
    std::string extra = ns::format("openprofile/?username=%@&profiletype=%zd", req->username, req->profileType);
    if (!req->extMsg.empty()) extra += ns::format("&extmsg=%@", req->extMsg);
    return open(mervioUrl(extra));
}

bool MVApi::jumpToBizWebview(const std::shared_ptr<JumpToBizWebviewReq>& req) {
    if (!req || req->webType != 0 || req->tousrname.empty() || lengthOf(req->tousrname) > 1024 ||
        lengthOf(req->extMsg) > 2048)
        return false;
    std::string extra = ns::format("jumptobizwebview/?webtype=%d&tousername=%@", req->webType, req->tousrname);
    if (!req->extMsg.empty()) extra += ns::format("&extmsg=%@", req->extMsg);
    return open(mervioUrl(extra));
}

bool MVApi::addCardToMVCardPackageReq(const std::shared_ptr<AddCardToMVCardPackageReq>& req) {
    if (!req || req->cardAry.empty() || req->cardAry.size() > kMaxCards) return false;
    ns::Value cards = ns::Value::dictionary();
    int i = 0;
    for (const auto& card : req->cardAry) {
        if (!card || card->cardId.empty() || lengthOf(card->cardId) > 1024 || lengthOf(card->extMsg) > 2048)
            return false;
        cards.set(ns::format("id%d", i), ns::Value(card->cardId));
        cards.set(ns::format("ext%d", i), ns::Value(card->extMsg));
        ++i;
    }
    if (cards.count() == 0 || !isValidJSONObject(cards)) return false;
    std::string extra = "cardpackage/?" + JSONPrettyRepresentation(cards);
    return open(mervioUrl(ns::percentEncode(extra, ns::kURLReservedCharacters)));
}

bool MVApi::sendAuthReq(const std::shared_ptr<SendAuthReq>& req, const std::shared_ptr<ui::ViewController>& viewController,
                        const MVApiDelegatePtr& delegate) {
    if (!req) return false;
    if (isMVAppInstalled()) return sendReq(req);
    return WapAuthHandler::shareWapAuthHandlerInstance()->beginWapAuth(req, viewController, state().appId, delegate);
}

bool MVApi::sendReq(const BaseReqPtr& req) {
    if (!req) return false;
    switch (req->kind()) {
        case MVReqKind::SendAuth: return auth(mvReqAs<SendAuthReq>(req));
        case MVReqKind::Pay: return pay(mvReqAs<PayReq>(req));
        case MVReqKind::JumpToBizProfile: return openProfile(mvReqAs<JumpToBizProfileReq>(req));
        case MVReqKind::JumpToBizWebview: return jumpToBizWebview(mvReqAs<JumpToBizWebviewReq>(req));
        case MVReqKind::AddCardToMVCardPackage:
            return addCardToMVCardPackageReq(mvReqAs<AddCardToMVCardPackageReq>(req));
        case MVReqKind::OpenTempSession: return openTempSession(mvReqAs<OpenTempSessionReq>(req));
        case MVReqKind::OpenWebview: return openWebview(mvReqAs<OpenWebviewReq>(req));
        case MVReqKind::OpenRankList: return openRankList(mvReqAs<OpenRankListReq>(req));
        default: return open(packReq(req));
    }
}

bool MVApi::sendResp(const BaseRespPtr& resp) {
    if (!resp) return false;
    return open(packResp(resp));
}

const std::string& MVApi::registeredAppId() { return state().appId; }

void MVApi::resetForTesting() { state() = ApiState{}; }
