// The service client: one method per service operation.
//
//   auto client = VoVaClient::create(screen);    // the delegate is held weakly
//   client->news_request("1", "10", "shizhengyaowen");
//
// A client lives in a shared_ptr (create() or std::make_shared): its
// requests hold it weakly, so a client that has gone hears nothing.
//
// Each method formats the operation's JSON argument, wraps it in a SOAP 1.2
// envelope and starts a NetWebServiceRequest, which becomes runningRequest()
// (the previous one keeps running). The delegate hears, on the main run loop,
// GetWebServerContent_success with the text of the reply's "<operation>Result"
// element ("" when the envelope cannot be read), or GetWebServerContent_Fail
// with an error in "NetWebServiceRequestErrorDomain".
//
// Replies carry no identity of their own; during either callback
// replyOperation() and replyRequest() tell which operation and which request
// the outcome belongs to.
//
// Operations may be sent from any thread (the start-up sends its version
// check from a background queue); the outcome is told on the main run loop
// all the same, possibly before the sending call has returned. The client
// records a request before starting it, and keeps its delegate, its running
// request and what it has on its way under a lock of its own.
//
// Names: a selector becomes its first keyword. Where several selectors share
// a first keyword, the one with the fewest keywords keeps the short name and
// the others spell the whole selector: GetGroupVoice_page_size_type_user_tel,
// GetGroupVoice_page_size_type_user_id, GetGroupVoiceRecord_user_id,
// GetOrgList_user_id, GetOrgList_id, GetRetailerList_page_size_type_keywords_search_type_user_id_user_type.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Error.h"
#include "service/NetWebServiceRequest.h"

class PPClientDelegate {
public:
    virtual ~PPClientDelegate() = default;
    // The reply's result text.
    virtual void GetWebServerContent_success(const std::string& /*result*/) {}
    // A status other than 200, or a transport failure.
    virtual void GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {}
};

class VoVaClient : public NetWebServiceRequestDelegate, public std::enable_shared_from_this<VoVaClient> {
public:
    using Text = const std::string&;

    VoVaClient() = default;
    static std::shared_ptr<VoVaClient> create(std::weak_ptr<PPClientDelegate> delegate = {});

    void setDelegate(std::weak_ptr<PPClientDelegate> delegate);
    std::shared_ptr<PPClientDelegate> delegate() const;
    // The request of the last operation started.
    std::shared_ptr<NetWebServiceRequest> runningRequest() const;
    // Whether a request of the operation was started and its outcome not yet
    // told (nor the request cancelled): a form sends nothing twice while its
    // submission is on its way.
    bool isSending(std::string_view operation) const;

    // During a delegate callback: the operation name and the request the
    // outcome belongs to ("" and nullptr at other times). Main run loop only.
    const std::string& replyOperation() const { return replyOperation_; }
    std::shared_ptr<NetWebServiceRequest> replyRequest() const { return replyRequest_.lock(); }

    // The operations the methods below send, sorted by name: the service's
    // operations as the client knows them.
    static const std::vector<std::string>& operations();

    // Sends any operation: jsonString is the argument text (nothing: the
    // operation element carries no jsonString). Returns the started request.
    std::shared_ptr<NetWebServiceRequest> sendOperation(const std::string& operation,
                                                        const std::optional<std::string>& jsonString,
                                                        const std::string& method = "POST");

    // ---- Articles, comments, links ----
    void news_request(Text page, Text pageSize, Text categoryCode);                    // GetArticleList
    void news_detail_request(Text articleId);                                          // GetArticleRecord
    void comment_request(Text page, Text pageSize, Text articleId);                    // GetCommentList
    void subitComment(Text content, Text userName, Text articleId, Text userId, Text channelId);  // SubmitComment
    void OnlineRead(Text page, Text pageSize, Text categoryCode);                      // GetOnlineRead
    void getMinBinlink();                                                              // GetLinkList

    // ---- Voice of the masses ----
    void GetGroupVoice(Text page, Text pageSize, Text type);
    void GetGroupVoice_page_size_type_user_tel(Text page, Text pageSize, Text type, Text userTel);
    void GetGroupVoice_page_size_type_user_id(Text page, Text pageSize, Text type, Text userId);
    void GetCategoryList(Text categoryCode);
    void SubmitGroupVoice(Text userName, Text categoryId, Text title, Text content, Text userTel, Text userType,
                          int isOpen, Text orgId);
    void GetGroupVoiceRecord(Text feelId);
    void GetGroupVoiceRecord_user_id(Text feelId, Text userId);
    void SubmitGroupVoiceHandle(Text feelId, Text userId, Text action, Text handleContent);

    // ---- Party-building grid ----
    void QueryEventPower(Text userId, Text type);                                      // GetEventPower
    void GetEnumList(Text name);
    void SubmitEvent(Text userId, Text title, Text content, Text category, Text charge, int tag, Text place,
                     Text dateTime);
    void GetEventList(Text page, Text pageSize, Text type, Text userId);
    void GetEventRecord(Text eventId, Text userId);
    void SubmitEventHandle(Text eventId, Text userId, int isHanding, int isHandled, int isCoordination,
                           int isReport, Text remark);
    void GetOrgList(Text type);
    void GetOrgList_user_id(Text type, Text userId);
    void GetOrgList_id(Text type, Text orgId);  // the organisations under one ("org")
    void GetOrgRecord(Text orgId);
    void GetOrgActivity(Text page, Text pageSize, Text orgId, Text userId);
    void GetBasicActivity(Text page, Text pageSize, Text orgId, Text title);
    void GetMailList(Text page, Text pageSize, Text orgId, Text keywords);
    void SubmitAttach(Text base64);
    void SubmitOrgActivity(Text orgId, Text title, Text content, Text attachList, Text userId);

    // ---- Sign-in, SMS, organisation members ----
    void GetSign(Text userId, Text yearMonth);
    void SubmitSign(Text userId);
    void GetUserConfig();
    void SubmitMessage(Text title, Text content, Text numberList, Text sendType);
    void GetOrgUser(Text orgList);

    // ---- Floating party members' homes ----
    void PalmHomeLogin(Text realName, Text tel, Text type);
    void GetOrgLifeList(Text page, Text pageSize, Text orgId);
    void SubmitOnlineReg(Text realName, Text age, Text sex, Text nation, Text partyTime, Text tel, Text nativePlace,
                         Text specialty, Text type, Text orgId);

    // ---- Party representatives ----
    void GetRepresentativeList(Text page, Text pageSize, Text orgId);
    void GetRepresentativeRecord(Text userId);
    void GetRepresentativeComment(Text userId, Text currentUserId);
    void SubmitRepresentativeComment(Text userId, Text parentId, Text content);
    void SubmitRepCommentDel(Text commentId);

    // ---- Supply and demand ----
    void GetRetailerLogin(Text userTel, Text realName);
    void GetRetailerList(Text page, Text pageSize, Text type, Text keywords, Text searchType);
    void GetRetailerList_page_size_type_keywords_search_type_user_id_user_type(Text page, Text pageSize, Text type,
                                                                               Text keywords, Text searchType,
                                                                               Text userId, Text userType);
    void GetRetailerRecord(Text productId);
    void GetRetailerComment(Text productId, Text userId, Text userType);
    void SubmitRetailerContact(Text productId);
    void SubmitRetailerComment(Text userId, Text productId, Text parentId, Text content, Text userType);
    void SubmitRetCommentDel(Text commentId);

    // ---- Application shell ----
    void AutoUpdate();                                                                 // the version record
    void MemberLogin(Text userName, Text password);
    void GetPower(Text userId, Text type, Text modelName);
    void SubmitDevice(Text deviceId);                                                  // registers the device

    // NetWebServiceRequestDelegate (main run loop)
    void netRequestFinished(NetWebServiceRequest& request, const std::string& response) override;
    void netRequestFailed(NetWebServiceRequest& request, const ns::ErrorPtr& error) override;
    bool respondsToNetRequestStarted() const override { return false; }

private:
    void answered(const NetWebServiceRequest& request);  // its outcome is being told

    mutable std::mutex mutex_;  // guards the next three
    std::weak_ptr<PPClientDelegate> delegate_;
    std::shared_ptr<NetWebServiceRequest> runningRequest_;
    std::vector<std::weak_ptr<NetWebServiceRequest>> unanswered_;  // started, outcome not yet told
    // Set only on the main run loop, during a callback.
    std::string replyOperation_;
    std::weak_ptr<NetWebServiceRequest> replyRequest_;
};
