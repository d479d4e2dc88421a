// Mervio's returns to the app: a URL of the app's own scheme (the input's
// first line) with, on the general pasteboard, whatever bytes the rest of the
// input is. The SDK takes them or not, never fails, and hands over only what
// it promises: cards with an id, requests and responses of the commands' kinds.
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "mervio/apps/MVApi.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "uikit/Pasteboard.h"

namespace {

constexpr const char* kAppId = "mv5c3e8a1f20b74d96";

class Recorder : public MVApiDelegate {
public:
    std::vector<BaseReqPtr> reqs;
    std::vector<BaseRespPtr> resps;
    void onReq(const BaseReqPtr& req) override { reqs.push_back(req); }
    void onResp(const BaseRespPtr& resp) override { resps.push_back(resp); }
};

bool registered() {
    MVOMSAConfig::getInstance()->setStatEnable(false);  // no reporter: nothing leaves the process
    return MVApi::registerApp(kAppId);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    static const bool ready = registered();
    FUZZ_CHECK(ready);
    std::string_view input = fuzz::text(data, size);
    std::size_t line = input.find('\n');
    std::string url = std::string(kAppId) + "://" + std::string(input.substr(0, line));
    ns::Bytes content = line == std::string_view::npos ? ns::Bytes() : fuzz::bytes(data + line + 1, size - line - 1);
    auto board = ui::Pasteboard::generalPasteboard();
    board->setData(content, "content");

    FUZZ_CHECK(!MVApi::handleOpenURL(url, nullptr));
    board->setData(content, "content");
    auto recorder = std::make_shared<Recorder>();
    bool taken = MVApi::handleOpenURL(url, recorder);
    FUZZ_CHECK(recorder->reqs.size() + recorder->resps.size() <= 1);
    if (!recorder->reqs.empty() || !recorder->resps.empty()) FUZZ_CHECK(taken);
    for (const auto& req : recorder->reqs) {
        FUZZ_CHECK(req->kind() == MVReqKind::ShowMessageFromMV || req->kind() == MVReqKind::GetMessageFromMV ||
                   req->kind() == MVReqKind::LaunchFromMV);
        if (auto show = mvReqAs<ShowMessageFromMVReq>(req)) FUZZ_CHECK(show->message && show->message->mediaObject);
    }
    for (const auto& resp : recorder->resps) {
        if (auto cards = mvRespAs<AddCardToMVCardPackageResp>(resp)) {
            for (const auto& card : cards->cardAry) FUZZ_CHECK(card && !card->cardId.empty());
        }
    }
    return 0;
}
