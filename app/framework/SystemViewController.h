// The base screen of the modules: a loading view (hidden until a screen shows
// it), a short message box that fades by itself, and a no-data button.
// Subclasses call viewDidLoad first and build their layout over these views.
//
//   void viewDidLoad() override {
//       SystemViewController::viewDidLoad();
//       ...
//   }
//   showAlertWithTitle("提交成功");   // shown over the screen, gone after 2 s
#pragma once

#include <memory>
#include <string>

#include "app/framework/BaseScreen.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

class SystemViewController : public BaseScreen {
public:
    void viewDidLoad() override;

    // The load ended: the loading view fades out; after a failure its label
    // reads "加载失败！".
    void loadingSuccess();
    void loadingFail();

    // Shows the text in the message box over the screen; it fades after
    // kAlertDuration seconds. A new text restarts the wait.
    void showAlertWithTitle(const std::string& text);

    std::shared_ptr<ui::View> loadingView;
    std::shared_ptr<ui::Label> loadingLabel;
    std::shared_ptr<ui::View> alertView;
    std::shared_ptr<ui::Label> alertLabel;
    std::shared_ptr<ui::Button> noDataButton;

    static constexpr double kAlertDuration = 2.0;
    static constexpr double kFadeDuration = 0.3;

private:
    void endLoading();
    void fadeAlert();
};
