#include "channels/MaiWeiViewController.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/framework/FrontScreen.h"
#include "app/shell/AppLinks.h"
#include "app/shell/MervioHooks.h"
#include "uikit/Application.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void MaiWeiViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle("先锋Velmarsh");
    auto root = view();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;
    root->setBackgroundColor(ui::Color::whiteColor());

    naview = makeBackNavBar(*this);

    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    mscrview->setUserInteractionEnabled(true);
    mscrview->setClipsToBounds(true);
    mscrview->setScrollEnabled(true);
    mscrview->setPagingEnabled(true);
    mscrview->setDelegate(sharedAs<ui::ScrollViewDelegate>());
    mscrview->setShowsHorizontalScrollIndicator(false);
    root->addSubview(mscrview);

    const double pictureHeight = mscrview->frame().size.height;
    for (int i = 0; i < kPictures; ++i) {
        auto picture = ui::create<ui::ImageView>(ui::Rect{w * i, 0, w, pictureHeight});
        picture->setImage(ui::Image::imageNamed("maiwei" + std::to_string(i + 1) + ".png"));
        picture->setUserInteractionEnabled(true);
        mscrview->addSubview(picture);
        pictures.push_back(picture);
    }
    pictures.back()->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &MaiWeiViewController::jumpMaiwei));

    pageControl = ui::create<ui::PageControl>(ui::Rect{});
    pageControl->setBounds(ui::Rect{0, 0, kPictures * 16.0, 16});
    pageControl->setCenter(ui::Point{w * 0.5, h - 15});
    pageControl->setNumberOfPages(kPictures);
    pageControl->setCurrentPage(0);
    pageControl->layer().setCornerRadius(8);
    pageControl->setBackgroundColor(ui::Color::lightGrayColor());
    root->addSubview(pageControl);

    mscrview->setContentSize(ui::Size{kPictures * w, h - 64});
}

void MaiWeiViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

void MaiWeiViewController::back() { dismissViewControllerAnimated(true, [] {}); }

void MaiWeiViewController::scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) {
    const double W = scrollView->frame().size.width;
    if (W <= 0) return;
    const double page = std::floor((scrollView->contentOffset().x - W / 2) / W) + 1;
    pageControl->setCurrentPage(static_cast<int>(std::clamp(page, 0.0, kPictures - 1.0)));
}

void MaiWeiViewController::jumpMaiwei() {
    if (mervioHooks().callIsMVAppInstalled()) {
        mervioHooks().callOpenMVApp();
        return;
    }
    ui::create<ui::AlertView>("提示", "您没有安装迈维，现在去安装", sharedAs<ui::AlertViewDelegate>(), "取消",
                              std::vector<std::string>{"确定"})
        ->show();
}

void MaiWeiViewController::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>&, int buttonIndex) {
    if (buttonIndex == 1) ui::Application::sharedApplication().openURL(AppLinks::kMervioStorePage);
}
