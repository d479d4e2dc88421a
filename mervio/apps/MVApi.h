// The Mervio SDK as the application sees it: registration, whether Mervio is
// installed and the way into it, the requests and responses sent to it, and
// the URLs through which it comes back.
//
//   MVApi::registerApp(appId, "");                      // at launch
//   bool taken = MVApi::handleOpenURL(url, delegate);   // every URL handed to the application
//   if (MVApi::isMVAppInstalled()) MVApi::openMVApp();
//   auto req = std::make_shared<SendMessageToMVReq>();
//   req->bText = true;
//   req->text = "你好";
//   MVApi::sendReq(req);                                // "maiwei://app/<id>/sendreq/?", the record on a pasteboard
//
// Requests with a URL form of their own (authorisation from iOS 7, payment,
// profiles, web pages, cards, temporary sessions, the rank list) travel in
// the URL; every other request and every response travels as a record on the
// pasteboard (AppCommunicate.h). Mervio answers by opening a URL of the app's
// own scheme (the app id): a return of the table in handleOpenURL, or a
// plain "<app id>://..." with a record waiting on the pasteboard.
//
// Every failure is NO (or nullopt); nothing throws and nothing is shown.
// Main thread only: the registered app id and the kept conversation account
// are process-wide values without a lock.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "mervio/apps/MVApiObject.h"

namespace ui {
class ViewController;
}

// What Mervio sends the application. Both callbacks are optional: a delegate
// that leaves one alone hears nothing of it.
class MVApiDelegate {
public:
    virtual ~MVApiDelegate() = default;
    // A request from Mervio (GetMessageFromMVReq, ShowMessageFromMVReq, LaunchFromMVReq).
    virtual void onReq(const BaseReqPtr& /*req*/) {}
    // The answer to a request of the application.
    virtual void onResp(const BaseRespPtr& /*resp*/) {}
};

using MVApiDelegatePtr = std::shared_ptr<MVApiDelegate>;

class MVApi {
public:
    static constexpr std::size_t kMaxCards = 40;

    // ---- Registration and Mervio itself ----
    // NO for an empty id; keeps the id and registers it (MVApiRegister.h).
    static bool registerApp(const std::string& appId);
    static bool registerApp(const std::string& appId, const std::string& description);
    // Whether the application can open "maiwei://app/<id>/"; NO before a registration.
    static bool isMVAppInstalled();
    // Whether the application can open "maiwei://".
    static bool isMVAppSupportApi();
    // The Mervio app's page on the App Store.
    static std::string getMVAppInstallUrl();
    static std::string getApiVersion();  // "1.6.1"
    // Drops the kept account; opens "maiwei://app/<id>/" (NO before a registration).
    static bool openMVApp();

    // "a=1&b=2" as a dictionary of texts, without percent-decoding: the part
    // before the first "=" is the key, the part up to the next "=" the value;
    // a piece without "=" is skipped; a later key replaces an earlier one.
    static ns::Value parseURLParams(const std::string& query);

    // ---- Mervio's returns ----
    // Each takes only URLs beginning with its prefix (the app id's scheme):
    // "://oauth", and "://pay/", "://cardPackage/", "://opentempsession/",
    // "://openwebview/", "://openranklist/" with something after them; it
    // answers onResp when the delegate is there and YES.
    static bool handleAuthOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate);
    static bool handlePayOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate);
    static bool handleAddCardOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate);
    static bool handleOpenTempSessionOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate);
    static bool handleOpenWebviewOpenUrl(const std::string& url, const MVApiDelegatePtr& delegate);
    static bool handleOpenRankList(const std::string& url, const MVApiDelegatePtr& delegate);
    // NO without a delegate. The returns above, then the web authorisation's
    // hand-back, in that order; else a URL of the app's scheme with a record
    // for the app on the pasteboard, which goes to onReq (1010, 2000, 2040) or
    // onResp (2010, 2020, 2030) and keeps its account for the next record
    // sent. A record of another command is YES and delivers nothing; one
    // whose object cannot be made is NO.
    static bool handleOpenURL(const std::string& url, const MVApiDelegatePtr& delegate);

    // ---- Sending ----
    // Writes the record (with the kept account, which then goes) and answers
    // the URL to open: "maiwei://app/<id>/sendreq/?" or ".../sendresp/?".
    static std::optional<std::string> packReq(const BaseReqPtr& req);
    static std::optional<std::string> packResp(const BaseRespPtr& resp);

    // One URL each, opened; NO when a limit is broken.
    static bool auth(const std::shared_ptr<SendAuthReq>& req);  // before iOS 7 the record road
    static bool pay(const std::shared_ptr<PayReq>& req);
    static bool openTempSession(const std::shared_ptr<OpenTempSessionReq>& req);
    static bool openWebview(const std::shared_ptr<OpenWebviewReq>& req);
    static bool openRankList(const std::shared_ptr<OpenRankListReq>& req);
    static bool openProfile(const std::shared_ptr<JumpToBizProfileReq>& req);
    static bool jumpToBizWebview(const std::shared_ptr<JumpToBizWebviewReq>& req);
    static bool addCardToMVCardPackageReq(const std::shared_ptr<AddCardToMVCardPackageReq>& req);

    // The authorisation: through Mervio when it is installed, else in the
    // web pages presented on the screen (WapAuthHandler.h), whose end the
    // delegate hears.
    static bool sendAuthReq(const std::shared_ptr<SendAuthReq>& req,
                            const std::shared_ptr<ui::ViewController>& viewController,
                            const MVApiDelegatePtr& delegate);
    // By the request's class: the senders above, else the record road.
    static bool sendReq(const BaseReqPtr& req);
    // The record road.
    static bool sendResp(const BaseRespPtr& resp);

    // The registered app id ("" before the first registration).
    static const std::string& registeredAppId();

    // Tests: no app id, no kept account, as at start.
    static void resetForTesting();
};
