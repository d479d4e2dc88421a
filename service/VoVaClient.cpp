#include "service/VoVaClient.h"

#include <algorithm>
#include <utility>

#include "foundation/Log.h"
#include "service/LogMasking.h"
#include "service/ServiceArgument.h"
#include "service/ServiceConfig.h"
#include "service/SoapXmlParseHelper.h"

namespace {

constexpr bool kOrders = true;
constexpr bool kNoOrders = false;

// Keeps replyOperation()/replyRequest() set for the length of one callback.
class ReplyScope {
public:
    ReplyScope(std::string& operation, std::weak_ptr<NetWebServiceRequest>& request, NetWebServiceRequest& current)
        : operation_(operation), request_(request), savedOperation_(operation), savedRequest_(request) {
        operation_ = current.operationName();
        request_ = current.weak_from_this();
    }
    ~ReplyScope() {
        operation_ = std::move(savedOperation_);
        request_ = std::move(savedRequest_);
    }

private:
    std::string& operation_;
    std::weak_ptr<NetWebServiceRequest>& request_;
    std::string savedOperation_;
    std::weak_ptr<NetWebServiceRequest> savedRequest_;
};

}  // namespace

std::shared_ptr<VoVaClient> VoVaClient::create(std::weak_ptr<PPClientDelegate> delegate) {
    auto client = std::make_shared<VoVaClient>();
    client->setDelegate(std::move(delegate));
    return client;
}

const std::vector<std::string>& VoVaClient::operations() {
    static const std::vector<std::string> kOperations = {
        "AutoUpdate", "GetArticleList", "GetArticleRecord", "GetBasicActivity", "GetCategoryList",
        "GetCommentList", "GetEnumList", "GetEventList", "GetEventPower", "GetEventRecord", "GetGroupVoice",
        "GetGroupVoiceRecord", "GetLinkList", "GetMailList", "GetOnlineRead", "GetOrgActivity",
        "GetOrgLifeList", "GetOrgList", "GetOrgRecord", "GetOrgUser", "GetPower", "GetRepresentativeComment",
        "GetRepresentativeList", "GetRepresentativeRecord", "GetRetailerComment", "GetRetailerList",
        "GetRetailerLogin", "GetRetailerRecord", "GetSign", "GetUserConfig", "MemberLogin", "PalmHomeLogin",
        "SubmitAttach", "SubmitComment", "SubmitDevice", "SubmitEvent", "SubmitEventHandle", "SubmitGroupVoice",
        "SubmitGroupVoiceHandle", "SubmitMessage", "SubmitOnlineReg", "SubmitOrgActivity",
        "SubmitRepCommentDel", "SubmitRepresentativeComment", "SubmitRetCommentDel", "SubmitRetailerComment",
        "SubmitRetailerContact", "SubmitSign"};
    return kOperations;
}

std::shared_ptr<NetWebServiceRequest> VoVaClient::sendOperation(const std::string& operation,
                                                                const std::optional<std::string>& jsonString,
                                                                const std::string& method) {
    if (jsonString) ns::NSLog("content===%@", maskPasswords(*jsonString));
    std::string serviceNamespace = ServiceConfig::serviceNamespace();
    std::string envelope = SoapXmlParseHelper::requestEnvelope(operation, serviceNamespace, jsonString);
    auto request =
        NetWebServiceRequest::serviceRequestUrl(ServiceConfig::endpoint(), serviceNamespace + operation, std::move(envelope));
    request->setOperationName(operation);
    request->setRequestMethod(method);
    request->setDelegate(std::weak_ptr<NetWebServiceRequestDelegate>(weak_from_this()));
    std::shared_ptr<NetWebServiceRequest> previous;  // let go of after the lock
    {
        // Recorded before it starts: sent from another thread, its outcome
        // may be told on the main run loop before the start has returned.
        std::lock_guard lock(mutex_);
        previous = std::exchange(runningRequest_, request);  // it keeps running
        std::erase_if(unanswered_, [](const auto& r) { return r.expired(); });
        unanswered_.push_back(request);
    }
    request->startAsynchronous();
    return request;
}

void VoVaClient::setDelegate(std::weak_ptr<PPClientDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<PPClientDelegate> VoVaClient::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

std::shared_ptr<NetWebServiceRequest> VoVaClient::runningRequest() const {
    std::lock_guard lock(mutex_);
    return runningRequest_;
}

bool VoVaClient::isSending(std::string_view operation) const {
    std::vector<std::weak_ptr<NetWebServiceRequest>> unanswered;
    {
        std::lock_guard lock(mutex_);
        unanswered = unanswered_;
    }
    // Asked outside the lock: each request takes its own.
    return std::any_of(unanswered.begin(), unanswered.end(), [&](const auto& weak) {
        auto r = weak.lock();
        return r && r->operationName() == operation && !r->isCancelled();
    });
}

void VoVaClient::answered(const NetWebServiceRequest& request) {
    std::lock_guard lock(mutex_);
    std::erase_if(unanswered_, [&](const auto& r) { return r.expired() || r.lock().get() == &request; });
}

void VoVaClient::netRequestFinished(NetWebServiceRequest& request, const std::string& response) {
    answered(request);
    auto delegate = this->delegate();
    if (!delegate) return;
    ReplyScope scope(replyOperation_, replyRequest_, request);
    // Read out of the reply already (`response` is that text), unless the
    // request had no name then.
    if (request.hasResultText()) {
        delegate->GetWebServerContent_success(response);
        return;
    }
    delegate->GetWebServerContent_success(SoapXmlParseHelper::resultText(response, request.operationName()));
}

void VoVaClient::netRequestFailed(NetWebServiceRequest& request, const ns::ErrorPtr& error) {
    answered(request);
    auto delegate = this->delegate();
    if (!delegate) return;
    ReplyScope scope(replyOperation_, replyRequest_, request);
    delegate->GetWebServerContent_Fail(error);
}

// ---- Articles, comments, links ----

void VoVaClient::news_request(Text page, Text pageSize, Text categoryCode) {
    sendOperation("GetArticleList",
                  formatPagedParameters(page, pageSize, {quoted("category_code", categoryCode)}, kOrders));
}

void VoVaClient::news_detail_request(Text articleId) {
    sendOperation("GetArticleRecord", formatParameters({quoted("id", articleId)}), "GET");
}

void VoVaClient::comment_request(Text page, Text pageSize, Text articleId) {
    sendOperation("GetCommentList",
                  formatPagedParameters(page, pageSize, {quoted("article_id", articleId)}, kOrders));
}

void VoVaClient::subitComment(Text content, Text userName, Text articleId, Text userId, Text channelId) {
    sendOperation("SubmitComment", formatParameters({quoted("content", content), quoted("user_name", userName),
                                                     quoted("article_id", articleId), quoted("user_id", userId),
                                                     quoted("channel_id", channelId)}));
}

void VoVaClient::OnlineRead(Text page, Text pageSize, Text categoryCode) {
    sendOperation("GetOnlineRead",
                  formatPagedParameters(page, pageSize, {quoted("category_code", categoryCode)}, kOrders));
}

void VoVaClient::getMinBinlink() { sendOperation("GetLinkList", std::nullopt); }

// ---- Voice of the masses ----

void VoVaClient::GetGroupVoice(Text page, Text pageSize, Text type) {
    sendOperation("GetGroupVoice", formatPagedParameters(page, pageSize, {quoted("type", type)}, kOrders));
}

void VoVaClient::GetGroupVoice_page_size_type_user_tel(Text page, Text pageSize, Text type, Text userTel) {
    sendOperation("GetGroupVoice", formatPagedParameters(
                                       page, pageSize, {quoted("type", type), quoted("user_tel", userTel)}, kOrders));
}

void VoVaClient::GetGroupVoice_page_size_type_user_id(Text page, Text pageSize, Text type, Text userId) {
    sendOperation("GetGroupVoice", formatPagedParameters(
                                       page, pageSize, {quoted("type", type), quoted("user_id", userId)}, kOrders));
}

void VoVaClient::GetCategoryList(Text categoryCode) {
    sendOperation("GetCategoryList", formatParameters({quoted("category_code", categoryCode)}));
}

void VoVaClient::SubmitGroupVoice(Text userName, Text categoryId, Text title, Text content, Text userTel,
                                  Text userType, int isOpen, Text orgId) {
    sendOperation("SubmitGroupVoice",
                  formatParameters({quoted("user_name", userName), quoted("category_id", categoryId),
                                    quoted("title", title), quoted("content", content), quoted("user_tel", userTel),
                                    quoted("user_type", userType), bare("is_open", isOpen), quoted("org_id", orgId)}));
}

void VoVaClient::GetGroupVoiceRecord(Text feelId) {
    sendOperation("GetGroupVoiceRecord", formatParameters({quoted("feel_id", feelId)}));
}

void VoVaClient::GetGroupVoiceRecord_user_id(Text feelId, Text userId) {
    sendOperation("GetGroupVoiceRecord", formatParameters({quoted("feel_id", feelId), quoted("user_id", userId)}));
}

void VoVaClient::SubmitGroupVoiceHandle(Text feelId, Text userId, Text action, Text handleContent) {
    sendOperation("SubmitGroupVoiceHandle",
                  formatParameters({quoted("feel_id", feelId), quoted("user_id", userId), quoted("action", action),
                                    quoted("handle_content", handleContent)}));
}

// ---- Party-building grid ----

void VoVaClient::QueryEventPower(Text userId, Text type) {
    sendOperation("GetEventPower", formatParameters({bare("user_id", userId), bare("type", type)}));
}

void VoVaClient::GetEnumList(Text name) { sendOperation("GetEnumList", formatParameters({quoted("name", name)})); }

void VoVaClient::SubmitEvent(Text userId, Text title, Text content, Text category, Text charge, int tag, Text place,
                             Text dateTime) {
    sendOperation("SubmitEvent", formatParameters({bare("user_id", userId), quoted("title", title),
                                                   quoted("content", content), quoted("category", category),
                                                   quoted("charge", charge), bare("tag", tag), quoted("place", place),
                                                   quoted("date_time", dateTime)}));
}

void VoVaClient::GetEventList(Text page, Text pageSize, Text type, Text userId) {
    sendOperation("GetEventList",
                  formatPagedParameters(page, pageSize, {bare("type", type), bare("user_id", userId)}, kOrders));
}

void VoVaClient::GetEventRecord(Text eventId, Text userId) {
    sendOperation("GetEventRecord", formatParameters({bare("id", eventId), bare("user_id", userId)}));
}

void VoVaClient::SubmitEventHandle(Text eventId, Text userId, int isHanding, int isHandled, int isCoordination,
                                   int isReport, Text remark) {
    sendOperation("SubmitEventHandle",
                  formatParameters({bare("id", eventId), bare("user_id", userId), bare("is_handing", isHanding),
                                    bare("is_handled", isHandled), bare("is_coordination", isCoordination),
                                    bare("is_report", isReport), quoted("remark", remark)}));
}

void VoVaClient::GetOrgList(Text type) { sendOperation("GetOrgList", formatParameters({quoted("type", type)})); }

void VoVaClient::GetOrgList_user_id(Text type, Text userId) {
    sendOperation("GetOrgList", formatParameters({quoted("type", type), quoted("user_id", userId)}));
}

void VoVaClient::GetOrgList_id(Text type, Text orgId) {
    sendOperation("GetOrgList", formatParameters({quoted("type", type), quoted("id", orgId)}));
}

void VoVaClient::GetOrgRecord(Text orgId) { sendOperation("GetOrgRecord", formatParameters({quoted("id", orgId)})); }

void VoVaClient::GetOrgActivity(Text page, Text pageSize, Text orgId, Text userId) {
    sendOperation("GetOrgActivity", formatPagedParameters(
                                        page, pageSize, {quoted("org_id", orgId), bare("user_id", userId)}, kOrders));
}

void VoVaClient::GetBasicActivity(Text page, Text pageSize, Text orgId, Text title) {
    sendOperation("GetBasicActivity", formatPagedParameters(
                                          page, pageSize, {quoted("org_id", orgId), quoted("title", title)}, kNoOrders));
}

void VoVaClient::GetMailList(Text page, Text pageSize, Text orgId, Text keywords) {
    sendOperation("GetMailList", formatPagedParameters(page, pageSize,
                                                       {quoted("org_id", orgId), quoted("keywords", keywords)}, kNoOrders));
}

void VoVaClient::SubmitAttach(Text base64) { sendOperation("SubmitAttach", formatParameters({quoted("base", base64)})); }

void VoVaClient::SubmitOrgActivity(Text orgId, Text title, Text content, Text attachList, Text userId) {
    sendOperation("SubmitOrgActivity",
                  formatParameters({quoted("org_id", orgId), quoted("title", title), quoted("content", content),
                                    quoted("attach_list", attachList), quoted("user_id", userId)}));
}

// ---- Sign-in, SMS, organisation members ----

void VoVaClient::GetSign(Text userId, Text yearMonth) {
    sendOperation("GetSign", formatParameters({quoted("user_id", userId), quoted("year_month", yearMonth)}));
}

void VoVaClient::SubmitSign(Text userId) {
    sendOperation("SubmitSign", formatParameters({quoted("user_id", userId)}), "GET");
}

void VoVaClient::GetUserConfig() { sendOperation("GetUserConfig", std::nullopt); }

void VoVaClient::SubmitMessage(Text title, Text content, Text numberList, Text sendType) {
    sendOperation("SubmitMessage", formatParameters({quoted("title", title), quoted("content", content),
                                                     quoted("number_list", numberList), quoted("send_type", sendType)}));
}

void VoVaClient::GetOrgUser(Text orgList) {
    sendOperation("GetOrgUser", formatParameters({quoted("org_list", orgList)}));
}

// ---- Floating party members' homes ----

void VoVaClient::PalmHomeLogin(Text realName, Text tel, Text type) {
    sendOperation("PalmHomeLogin",
                  formatParameters({quoted("real_name", realName), quoted("tel", tel), bare("type", type)}));
}

void VoVaClient::GetOrgLifeList(Text page, Text pageSize, Text orgId) {
    sendOperation("GetOrgLifeList", formatPagedParameters(page, pageSize, {quoted("org_id", orgId)}, kOrders));
}

void VoVaClient::SubmitOnlineReg(Text realName, Text age, Text sex, Text nation, Text partyTime, Text tel,
                                 Text nativePlace, Text specialty, Text type, Text orgId) {
    std::string argument = formatParameters(
        {quoted("real_name", realName), bare("age", age), quoted("sex", sex), quoted("nation", nation),
         quoted("party_time", partyTime), quoted("tel", tel), quoted("native", nativePlace),
         quoted("specialty", specialty), bare("type", type), bare("org_id", orgId)});
    ns::NSLog("contents===%@", argument);
    sendOperation("SubmitOnlineReg", argument);
}

// ---- Party representatives ----

void VoVaClient::GetRepresentativeList(Text page, Text pageSize, Text orgId) {
    sendOperation("GetRepresentativeList",
                  formatPagedParameters(page, pageSize, {quoted("org_id", orgId)}, kOrders));
}

void VoVaClient::GetRepresentativeRecord(Text userId) {
    sendOperation("GetRepresentativeRecord", formatParameters({quoted("user_id", userId)}));
}

void VoVaClient::GetRepresentativeComment(Text userId, Text currentUserId) {
    sendOperation("GetRepresentativeComment",
                  formatParameters({quoted("user_id", userId), quoted("current_user_id", currentUserId)}));
}

void VoVaClient::SubmitRepresentativeComment(Text userId, Text parentId, Text content) {
    sendOperation("SubmitRepresentativeComment",
                  formatParameters({quoted("user_id", userId), quoted("parent_id", parentId), quoted("content", content)}));
}

void VoVaClient::SubmitRepCommentDel(Text commentId) {
    sendOperation("SubmitRepCommentDel", formatParameters({quoted("comment_id", commentId)}));
}

// ---- Supply and demand ----

void VoVaClient::GetRetailerLogin(Text userTel, Text realName) {
    sendOperation("GetRetailerLogin", formatParameters({quoted("user_tel", userTel), quoted("real_name", realName)}));
}

void VoVaClient::GetRetailerList(Text page, Text pageSize, Text type, Text keywords, Text searchType) {
    sendOperation("GetRetailerList",
                  formatPagedParameters(page, pageSize,
                                        {quoted("type", type), quoted("keywords", keywords),
                                         quoted("search_type", searchType)},
                                        kNoOrders));
}

void VoVaClient::GetRetailerList_page_size_type_keywords_search_type_user_id_user_type(
    Text page, Text pageSize, Text type, Text keywords, Text searchType, Text userId, Text userType) {
    sendOperation("GetRetailerList",
                  formatPagedParameters(page, pageSize,
                                        {quoted("type", type), quoted("keywords", keywords),
                                         quoted("search_type", searchType), quoted("user_id", userId),
                                         quoted("user_type", userType)},
                                        kNoOrders));
}

void VoVaClient::GetRetailerRecord(Text productId) {
    sendOperation("GetRetailerRecord", formatParameters({quoted("id", productId)}));
}

void VoVaClient::GetRetailerComment(Text productId, Text userId, Text userType) {
    sendOperation("GetRetailerComment", formatParameters({quoted("id", productId), quoted("user_id", userId),
                                                          quoted("user_type", userType)}));
}

void VoVaClient::SubmitRetailerContact(Text productId) {
    sendOperation("SubmitRetailerContact", formatParameters({quoted("id", productId)}));
}

void VoVaClient::SubmitRetailerComment(Text userId, Text productId, Text parentId, Text content, Text userType) {
    sendOperation("SubmitRetailerComment",
                  formatParameters({quoted("user_id", userId), quoted("id", productId), quoted("parent_id", parentId),
                                    quoted("content", content), quoted("user_type", userType)}));
}

void VoVaClient::SubmitRetCommentDel(Text commentId) {
    sendOperation("SubmitRetCommentDel", formatParameters({quoted("comment_id", commentId)}));
}

// ---- Application shell ----

void VoVaClient::AutoUpdate() { sendOperation("AutoUpdate", std::nullopt); }

void VoVaClient::MemberLogin(Text userName, Text password) {
    sendOperation("MemberLogin", formatParameters({quoted("user_name", userName), quoted("password", password)}));
}

void VoVaClient::GetPower(Text userId, Text type, Text modelName) {
    sendOperation("GetPower", formatParameters({quoted("user_id", userId), quoted("type", type),
                                                quoted("model_name", modelName)}));
}

void VoVaClient::SubmitDevice(Text deviceId) {
    sendOperation("SubmitDevice", formatParameters({quoted("device_id", deviceId)}));
}
