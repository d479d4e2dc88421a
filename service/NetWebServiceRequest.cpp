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
        running_ = shared_from_this();
    }
    request->startAsynchronous();
}

void NetWebServiceRequest::cancel() {
    std::shared_ptr<NetWebServiceRequest> keep;  // the self-reference goes after the lock
    std::lock_guard guard(lock_);
    keep = std::move(running_);
    cancelled_ = true;
    delegate_.reset();
    if (request_) {
        // Clearing the delegates first means the transport reports nothing,
        // and cancelling ends this request's share of the network activity.
        request_->clearDelegatesAndCancel();
        request_.reset();
    }
}

void NetWebServiceRequest::finish() {
    std::shared_ptr<NetWebServiceRequest> keep;  // released after the lock
    std::lock_guard guard(lock_);
    keep = std::move(running_);
}

void NetWebServiceRequest::requestStarted(HTTPRequest& request) {
    std::lock_guard guard(lock_);
    if (cancelled_ || request_.get() != &request) return;
    if (auto d = delegate_.lock()) d->netRequestStarted(*this);
}

void NetWebServiceRequest::requestFinished(HTTPRequest& request) {
    auto self = shared_from_this();
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
    finish();
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
    finish();
}
