#include "service/NetWebServiceRequest.h"

#include <mutex>

#include "net/Alert.h"
#include "service/ServiceConfig.h"
#include "service/SoapXmlParseHelper.h"

std::shared_ptr<NetWebServiceRequest> NetWebServiceRequest::serviceRequestUrl(std::string url, std::string soapAction,
                                                                              std::string soapMessage) {
    return std::make_shared<NetWebServiceRequest>(std::move(url), std::move(soapAction), std::move(soapMessage));
}

NetWebServiceRequest::NetWebServiceRequest(std::string url, std::string soapAction, std::string soapMessage)
    : url_(std::move(url)), soapAction_(std::move(soapAction)), soapMessage_(std::move(soapMessage)) {}

NetWebServiceRequest::~NetWebServiceRequest() = default;

void NetWebServiceRequest::setDelegate(std::weak_ptr<NetWebServiceRequestDelegate> delegate) {
    std::lock_guard guard(lock_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<NetWebServiceRequestDelegate> NetWebServiceRequest::delegate() {
    std::lock_guard guard(lock_);
    return delegate_.lock();
}

HTTPRequestPtr NetWebServiceRequest::httpRequest() {
    std::lock_guard guard(lock_);
    return request_;
}

std::optional<std::string> NetWebServiceRequest::resultText() const {
    std::lock_guard lock(resultMutex_);
    return result_;
}

bool NetWebServiceRequest::hasResultText() const {
    std::lock_guard lock(resultMutex_);
    return result_.has_value();
}

bool NetWebServiceRequest::isCancelled() {
    std::lock_guard guard(lock_);
    return cancelled_;
}

namespace {

// Bodies larger than this are not read for a fault: a fault is a few lines.
constexpr std::size_t kFaultReadLimit = 1024 * 1024;

ns::ErrorPtr faultError(const SoapXmlParseHelper::Fault& fault, int status) {
    ns::Value info = ns::Value::dictionary();
    info.set(ns::kLocalizedDescriptionKey, fault.reason.empty() ? "SOAP fault " + fault.code : fault.reason);
    info.set(kSoapFaultCodeKey, fault.code);
    if (!fault.subcode.empty()) info.set(kSoapFaultSubcodeKey, fault.subcode);
    info.set(kSoapFaultReasonKey, fault.reason);
    if (!fault.detail.empty()) info.set(kSoapFaultDetailKey, fault.detail);
    // A fault is a failure: one that came with a success status is reported
    // with the status SOAP gives faults.
    int code = status >= 200 && status < 300 ? 500 : status;
    return ns::makeError(NetWebServiceRequestErrorDomain, code, info);
}

}  // namespace

void NetWebServiceRequest::startAsynchronous() {
    HTTPRequestPtr request;
    {
        std::lock_guard guard(lock_);
        if (request_ || cancelled_ || handedOver_) return;
        request = HTTPRequest::requestWithURL(url_);
        request->setRequestMethod(method_);
        request->addRequestHeader("Content-Type", "text/xml; charset=utf-8");
        request->addRequestHeader("SOAPAction", soapAction_);
        request->setPostBody(soapMessage_);
        request->setTimeOutSeconds(timeOut_ > 0 ? timeOut_ : ServiceConfig::timeOutSeconds());
        request->setExchangeLimitSeconds(ServiceConfig::exchangeLimitSeconds());
        request->setDelegate(std::weak_ptr<HTTPRequestDelegate>(shared_from_this()));
        // When the reply has come (on the main thread, or on the reader
        // thread for a large one): the result of a named operation, read out
        // of the reply in place, or the fault the reply carries instead.
        std::weak_ptr<NetWebServiceRequest> weak = weak_from_this();
        request->setResponseProcessor([weak, operation = operation_](net::Response& response) {
            auto self = weak.lock();
            if (!self) return;
            std::optional<std::string> result;
            if (response.status == 200 && !operation.empty())
                result = SoapXmlParseHelper::takeResultText(response.body, operation);
            ns::ErrorPtr fault;
            if (!result && response.body.size() <= kFaultReadLimit)
                if (auto f = SoapXmlParseHelper::findFault(response.body)) fault = faultError(*f, response.status);
            std::lock_guard lock(self->resultMutex_);
            if (!operation.empty() && response.status == 200) self->result_ = std::move(result).value_or(std::string());
            self->fault_ = std::move(fault);
        });
        request_ = request;
    }
    // The transport keeps this request alive until its last callback has run
    // here (or was dropped unrun), so dropping the last reference does not
    // lose the reply, and nothing is left holding itself afterwards.
    request->startAsynchronous(shared_from_this());
}

void NetWebServiceRequest::cancel() {
    // Cancelling lets go of the transport's hold on this request, which may
    // be the last: it goes after the lock.
    auto keep = weak_from_this().lock();
    std::lock_guard guard(lock_);
    cancelled_ = true;
    delegate_.reset();
    if (request_) {
        // Clearing the delegates first means the transport reports nothing,
        // and cancelling ends this request's share of the network activity.
        request_->clearDelegatesAndCancel();
        request_.reset();
    }
}

// The delegate to tell about `request`'s outcome: none once this request was
// cancelled or has moved on to another transport request.
std::shared_ptr<NetWebServiceRequestDelegate> NetWebServiceRequest::delegateFor(const HTTPRequest& request) {
    std::lock_guard guard(lock_);
    if (cancelled_ || request_.get() != &request) return nullptr;
    return delegate_.lock();
}

void NetWebServiceRequest::requestStarted(HTTPRequest& request) {
    if (auto d = delegateFor(request)) d->netRequestStarted(*this);
}

bool NetWebServiceRequest::respondsToRequestStarted() const {
    std::lock_guard guard(lock_);
    auto d = delegate_.lock();
    return !cancelled_ && d && d->respondsToNetRequestStarted();
}

void NetWebServiceRequest::handedOver(const HTTPRequest& request) {
    {
        std::lock_guard guard(lock_);
        if (request_.get() != &request) return;
        handedOver_ = true;
        request_.reset();
    }
    std::lock_guard lock(resultMutex_);
    result_.reset();
}

void NetWebServiceRequest::requestFinished(HTTPRequest& request) {
    auto self = shared_from_this();  // the delegate may let go of this request
    auto d = delegateFor(request);
    if (!d) return handedOver(request);
    ns::ErrorPtr fault;
    {
        std::lock_guard lock(resultMutex_);
        fault = fault_;
    }
    int status = request.responseStatusCode();
    if (fault) {
        d->netRequestFailed(*this, fault);
    } else if (status == 200) {
        // A named operation's result was read out of the reply in place: it
        // is what is handed on. (Written before the outcome was told, and
        // not again.)
        if (result_)
            d->netRequestFinished(*this, *result_);
        else
            d->netRequestFinished(*this, request.responseString());
    } else {
        d->netRequestFailed(*this, ns::makeError(NetWebServiceRequestErrorDomain, status));
    }
    handedOver(request);
}

void NetWebServiceRequest::requestFailed(HTTPRequest& request) {
    auto self = shared_from_this();
    {
        std::lock_guard guard(lock_);
        if (cancelled_ || request_.get() != &request) return;
    }
    ns::ErrorPtr transport = request.error();
    long code = transport ? transport->code : static_cast<long>(HTTPInternalErrorType);
    if (code == HTTPRequestTimedOutErrorType)
        net::presentAlert({"温馨提示", "网络连接超时", "确定"});
    else if (code == HTTPConnectionFailureErrorType)
        net::presentAlert({"温馨提示", "未连接网络", "确定"});
    // Asked again: the alert's presenter may have cancelled this request.
    auto d = delegateFor(request);
    if (!d) return handedOver(request);
    ns::Value info = ns::Value::dictionary();
    if (transport) {
        info.set(ns::kLocalizedDescriptionKey, transport->localizedDescription());
        info.set("NSUnderlyingErrorDomain", transport->domain);
    }
    d->netRequestFailed(*this, ns::makeError(NetWebServiceRequestErrorDomain, code, info));
    handedOver(request);
}
