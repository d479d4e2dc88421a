// The opinion survey (民意调查): the survey host's page in a web view under
// the top bar, its loads reported in the progress overlay. DQLTViewController
// is a front-screen skeleton of the same module that asks for one article
// page and shows nothing of it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/widgets/NavBarView.h"
#include "app/framework/FrontScreen.h"
#include "app/framework/SystemViewController.h"
#include "app/framework/WebPageScreen.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/WebView.h"

// The survey page: "http://<survey host>:5008/Pages/Web/dqzt/CanvassWap.aspx".
// The host is $KL_SURVEY_HOST, or else the service endpoint's host; a
// $KL_SURVEY_HOST with a port ("127.0.0.1:8735") is used with that port.
std::string surveyPageURL();

class MYDCViewController : public WebPageScreen, public PPClientDelegate {
public:
    std::string category_code;  // set by the opener; read only by loadingData

    std::shared_ptr<VoVaClient> pp;  // never created: loadingData sends nothing
    ns::Value ary = ns::Value::array();               // option records {"state": "0" | "1"}
    std::vector<std::shared_ptr<ui::Button>> buttonArray;  // the option buttons, in the order of ary

    // The option form (nothing builds it).
    void loadingData(const std::string& page);
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    void selectContent(const std::shared_ptr<ui::Button>& sender);
    void submit();

protected:
    Page page() const override { return {.front = true}; }
    std::string pageURL() const override { return surveyPageURL(); }
};

class DQLTViewController : public FrontOf<SystemViewController>, public PPClientDelegate {
public:
    void viewDidLoad() override;

    std::string category_code;

    std::shared_ptr<VoVaClient> pp;

    void loadingData(const std::string& page);
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
};
