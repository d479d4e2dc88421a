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

bool NetWebServiceRequest::isCancelled() {
    std::lock_guard guard(lock_);
    return cancelled_;
}

void NetWebServiceRequest::startAsynchronous() {
    HTTPRequestPtr request;
    {
        std::lock_guard guard(lock_);
        if (request_ || cancelled_) return;
        request = HTTPRequest::requestWithURL(url_);
        request->setRequestMethod(method_);
        request->addRequestHeader("Content-Type", "text/xml; charset=utf-8");
        request->addRequestHeader("SOAPAction", soapAction_);
        request->setPostBody(soapMessage_);
        request->setTimeOutSeconds(timeOut_ > 0 ? timeOut_ : ServiceConfig::timeOutSeconds());
        request->setDelegate(std::weak_ptr<HTTPRequestDelegate>(shared_from_this()));
        if (!operation_.empty()) {
            std::weak_ptr<NetWebServiceRequest> weak = weak_from_this();
            request->setResponseProcessor([weak, operation = operation_](const net::Response& response) {
                if (response.status != 200) return;
                auto self = weak.lock();
                if (!self) return;
                std::string text = SoapXmlParseHelper::resultText(response.body, operation);
                std::lock_guard lock(self->resultMutex_);
                self->result_ = std::move(text);
            });
        }
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

void NetWebServiceRequest::requestStarted(HTTPRequest& request) {
    std::lock_guard guard(lock_);
    if (cancelled_ || request_.get() != &request) return;
    if (auto d = delegate_.lock()) d->netRequestStarted(*this);
}

bool NetWebServiceRequest::respondsToRequestStarted() const {
    std::lock_guard guard(lock_);
    auto d = delegate_.lock();
    return !cancelled_ && d && d->respondsToNetRequestStarted();
}

void NetWebServiceRequest::requestFinished(HTTPRequest& request) {
    auto self = shared_from_this();  // the delegate may let go of this request
    {
        std::lock_guard guard(lock_);
        if (cancelled_ || request_.get() != &request) return;
        int status = request.responseStatusCode();
        if (auto d = delegate_.lock()) {
            if (status == 200)
                d->netRequestFinished(*this, request.responseString());
            else
                d->netRequestFailed(*this, ns::makeError(NetWebServiceRequestErrorDomain, status));
        }
    }
}

void NetWebServiceRequest::requestFailed(HTTPRequest& request) {
    auto self = shared_from_this();
    {
        std::lock_guard guard(lock_);
        if (cancelled_ || request_.get() != &request) return;
        ns::ErrorPtr transport = request.error();
        long code = transport ? transport->code : static_cast<long>(HTTPInternalErrorType);
        if (code == HTTPRequestTimedOutErrorType)
            net::presentAlert({"温馨提示", "网络连接超时", "确定"});
        else if (code == HTTPConnectionFailureErrorType)
            net::presentAlert({"温馨提示", "未连接网络", "确定"});
        if (auto d = delegate_.lock()) {
            ns::Value info = ns::Value::dictionary();
            if (transport) {
                info.set(ns::kLocalizedDescriptionKey, transport->localizedDescription());
                info.set("NSUnderlyingErrorDomain", transport->domain);
            }
            d->netRequestFailed(*this, ns::makeError(NetWebServiceRequestErrorDomain, code, info));
        }
    }
}
