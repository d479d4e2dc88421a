#include "cases/MYDCViewController.h"

#include <cstdlib>

#include "app/framework/FrontScreen.h"
#include "app/framework/PagedList.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "service/ServiceConfig.h"
#include "uikit/Color.h"
#include "uikit/Image.h"

namespace {

constexpr float kResultDelay = 0.75f;
constexpr const char* kSurveyPath = "/Pages/Web/dqzt/CanvassWap.aspx";
constexpr int kSurveyPort = 5008;

// The host name of an address ("http://name:port/path" -> "name").
std::string hostOf(const std::string& url) {
    auto scheme = url.find("://");
    std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    std::size_t end = url.find_first_of(":/", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void endWithSuccess() {
    ProgressHUD::dismissWithSuccess(PagedList::kSuccessStatus, "", kResultDelay);
    ProgressHUD::dismiss();
}
void endWithFailure() {
    ProgressHUD::dismissWithError(PagedList::kFailureStatus, "", kResultDelay);
    ProgressHUD::dismiss();
}

}  // namespace

std::string surveyPageURL() {
    const char* configured = std::getenv("KL_SURVEY_HOST");
    std::string host = configured && *configured ? configured : hostOf(ServiceConfig::endpoint());
    std::string url = "http://";
    url += host;
    // A host given with its port ("127.0.0.1:8735", the demo service) keeps it.
    if (host.find(':') == std::string::npos) {
        url += ':';
        url += std::to_string(kSurveyPort);
    }
    url += kSurveyPath;
    return url;
}

// ---- The survey ----

void MYDCViewController::loadingData(const std::string& page) {
    showProgress(PagedList::kLoadingStatus);
    if (pp) pp->news_request(page, "10", category_code);
}

void MYDCViewController::GetWebServerContent_success(const std::string&) {
    loadingSuccess();
    endWithSuccess();
}

void MYDCViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    loadingFail();
    endWithFailure();
}

void MYDCViewController::selectContent(const std::shared_ptr<ui::Button>& sender) {
    if (!sender) return;
    for (ns::Value record : ary.items()) {
        if (record.isDictionary()) record.set("state", "0");
    }
    const long index = sender->tag() - 1000;
    if (index >= 0) {
        ns::Value chosen = ary.at(static_cast<std::size_t>(index));
        if (chosen.isDictionary()) chosen.set("state", "1");
    }
    for (std::size_t i = 0; i < buttonArray.size(); ++i) {
        const bool on = records::text(ary.at(i), "state") == "1";
        buttonArray[i]->setBackgroundImage(ui::Image::imageNamed(on ? "title_seledted.png" : "title_unselected.png"),
                                           ui::ControlStateNormal);
    }
    sender->setBackgroundImage(ui::Image::imageNamed("title_seledted.png"), ui::ControlStateNormal);
}

void MYDCViewController::submit() { Utils::showAlert("提交成功"); }

// ---- The list skeleton ----

void DQLTViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());
    buildFrontBar();
    view()->setBackgroundColor(ui::Color::whiteColor());
    loadingData("1");
}

void DQLTViewController::loadingData(const std::string& page) {
    showProgress(PagedList::kLoadingStatus);
    pp->news_request(page, "10", category_code);
}

void DQLTViewController::GetWebServerContent_success(const std::string&) {
    loadingSuccess();
    endWithSuccess();
}

void DQLTViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    loadingFail();
    endWithFailure();
}
