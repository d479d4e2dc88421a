// One SOAP exchange with the service over the HTTP transport.
//
// The request posts the envelope ("text/xml; charset=utf-8", SOAPAction
// header) and tells its delegate, on the main run loop, how it went: status
// 200 gives the reply envelope; any other status fails with the status as
// code in "NetWebServiceRequestErrorDomain"; a transport failure fails in the
// same domain with the transport's code, after the alert "网络连接超时"
// (time-out) or "未连接网络" (no connection) for the user.
//
// A reply whose body is a SOAP fault fails whatever its status: with the
// status as code (500 when the status said success), the fault's reason as
// the error's description, and its parts in the user info under
// kSoapFaultCodeKey, kSoapFaultSubcodeKey, kSoapFaultReasonKey and
// kSoapFaultDetailKey (those the fault has).
//
// While it runs, its transport request keeps it alive, so dropping the last
// reference does not lose its reply; once the reply has been handed over (or
// dropped by a reset of the main run loop) neither holds the other. Once the
// delegate has heard the outcome, the request lets go of the reply (its
// result text and the transport request with the body): a reply may be
// megabytes, and a client keeps its last request. It is not sent again.
// cancel() stops it for good: after it, no callback of this request reaches
// anybody.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Dispatch.h"
#include "foundation/Error.h"
#include "service/HTTPRequest.h"

inline constexpr const char* NetWebServiceRequestErrorDomain = "NetWebServiceRequestErrorDomain";
inline constexpr const char* kSoapFaultCodeKey = "SOAPFaultCode";
inline constexpr const char* kSoapFaultSubcodeKey = "SOAPFaultSubcode";
inline constexpr const char* kSoapFaultReasonKey = "SOAPFaultReason";
inline constexpr const char* kSoapFaultDetailKey = "SOAPFaultDetail";

class NetWebServiceRequest;

class NetWebServiceRequestDelegate {
public:
    virtual ~NetWebServiceRequestDelegate() = default;
    virtual void netRequestStarted(NetWebServiceRequest&) {}
    virtual void netRequestFinished(NetWebServiceRequest&, const std::string& /*response*/) {}
    virtual void netRequestFailed(NetWebServiceRequest&, const ns::ErrorPtr& /*error*/) {}
    // Whether netRequestStarted does anything; asked when the request starts
    // (one that nobody hears is not posted).
    virtual bool respondsToNetRequestStarted() const { return true; }
};

class NetWebServiceRequest : public HTTPRequestDelegate, public std::enable_shared_from_this<NetWebServiceRequest> {
public:
    static std::shared_ptr<NetWebServiceRequest> serviceRequestUrl(std::string url, std::string soapAction,
                                                                   std::string soapMessage);
    NetWebServiceRequest(std::string url, std::string soapAction, std::string soapMessage);
    ~NetWebServiceRequest() override;

    // The operation this request carries, for whoever needs to tell replies
    // apart. With a name set, a 200 reply's "<operation>Result" text is read
    // as soon as the reply is in (off the main thread for a large reply; see
    // resultText()), in place where it can be: netRequestFinished is then
    // handed that text rather than the reply envelope.
    void setOperationName(std::string name) { operation_ = std::move(name); }
    const std::string& operationName() const { return operation_; }
    // "POST" by default; "GET" still goes out as a POST because it has a body.
    void setRequestMethod(std::string method) { method_ = std::move(method); }
    const std::string& requestMethod() const { return method_; }
    // Seconds without progress before the exchange fails (the configured time-out by default).
    void setTimeOutSeconds(double seconds) { timeOut_ = seconds; }

    const std::string& url() const { return url_; }
    const std::string& soapAction() const { return soapAction_; }
    const std::string& soapMessage() const { return soapMessage_; }

    // Held weakly. Setting it and cancelling share one recursive lock; the
    // delegate is called outside it, so a delegate may take locks of its own
    // that another thread holds while it calls in here. A cancel() from
    // another thread while a callback is being made does not stop that one.
    void setDelegate(std::weak_ptr<NetWebServiceRequestDelegate> delegate);
    std::shared_ptr<NetWebServiceRequestDelegate> delegate();

    void startAsynchronous();
    // Turns the network activity off for this request, forgets the delegate,
    // clears the transport request's delegates, cancels it and drops it.
    void cancel();
    bool isCancelled();

    // After a 200 reply to a named operation, until the delegate has heard:
    // the text of its "<operation>Result" element ("" when the envelope
    // cannot be read).
    std::optional<std::string> resultText() const;
    bool hasResultText() const;

    // The transport request, while there is one (not after cancel() or once
    // the delegate has heard the outcome).
    HTTPRequestPtr httpRequest();

    // HTTPRequestDelegate (main run loop)
    void requestStarted(HTTPRequest& request) override;
    bool respondsToRequestStarted() const override;
    void requestFinished(HTTPRequest& request) override;
    void requestFailed(HTTPRequest& request) override;

private:
    std::shared_ptr<NetWebServiceRequestDelegate> delegateFor(const HTTPRequest& request);
    // Lets go of the reply once its outcome has been told.
    void handedOver(const HTTPRequest& request);

    std::string url_, soapAction_, soapMessage_, operation_;
    std::string method_ = "POST";
    double timeOut_ = 0;
    mutable ns::RecursiveLock lock_{"NetWebServiceRequest"};
    std::weak_ptr<NetWebServiceRequestDelegate> delegate_;
    HTTPRequestPtr request_;
    bool cancelled_ = false;
    bool handedOver_ = false;  // the outcome was told: never sent again
    // What the network side read out of the reply.
    mutable std::mutex resultMutex_;
    std::optional<std::string> result_;
    ns::ErrorPtr fault_;
};
