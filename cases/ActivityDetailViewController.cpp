#include "cases/ActivityDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "app/images/WebImageView.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void ActivityDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;

    naview = makeBackNavBar(*this, kTitle);

    msrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    msrview->setUserInteractionEnabled(true);
    root->addSubview(msrview);

    titleLabel = ui::create<ui::Label>(ui::Rect{0, 0, w, 40});
    titleLabel->setFont(ui::Font::systemFontOfSize(14));
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    titleLabel->setNumberOfLines(0);
    titleLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    titleLabel->setText(records::text(msgDit, "title"));
    msrview->addSubview(titleLabel);

    auto line = ui::create<ui::View>(ui::Rect{0, 48, w, 0.7});
    line->setBackgroundColor(ui::Color::colorWithRed(0.89, 0.89, 0.89, 1.0));
    msrview->addSubview(line);

    timeLabel = ui::create<ui::Label>(ui::Rect{0, 53, w, 20});
    timeLabel->setFont(ui::Font::systemFontOfSize(12));
    timeLabel->setBackgroundColor(ui::Color::clearColor());
    timeLabel->setTextColor(ui::Color::grayColor());
    timeLabel->setText(ns::format("发布时间:%@", records::text(msgDit, "add_time")));
    msrview->addSubview(timeLabel);

    double y = kPhotosTop;
    phoneAry = records::array(msgDit, "org_activity_attach");
    for (std::size_t i = 0; i < phoneAry.count(); ++i) {
        auto photo = ui::create<ui::ImageView>(ui::Rect{(w - kPhotoSide) / 2, y, kPhotoSide, kPhotoSide});
        photo->setUserInteractionEnabled(true);
        photo->setTag(kPhotoTag + static_cast<int>(i));
        setImageWithURL(photo, records::text(phoneAry.at(i), "thumb_path"), ui::Image::imageNamed(kPlaceholder));
        photo->addGestureRecognizer(
            ui::create<ui::TapGestureRecognizer>(this, &ActivityDetailViewController::showphoto));
        msrview->addSubview(photo);
        photoViews.push_back(photo);
        y += kPhotoStep;
    }

    const std::string content = records::text(msgDit, "content");
    const double textHeight = Utils::labelAutoCalculateRectWith(content, 12, ui::Size{w - 10, 10000}).height;
    contentLabel = ui::create<ui::Label>(ui::Rect{5, y, w - 10, textHeight});
    contentLabel->setFont(ui::Font::systemFontOfSize(12));
    contentLabel->setBackgroundColor(ui::Color::clearColor());
    contentLabel->setTextAlignment(ui::TextAlignmentCenter);
    contentLabel->setNumberOfLines(0);
    contentLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    contentLabel->setText(content);
    msrview->addSubview(contentLabel);

    msrview->setContentSize(ui::Size{w, y + textHeight + 30});
}

void ActivityDetailViewController::showphoto(std::shared_ptr<ui::TapGestureRecognizer> recognizer) {
    auto tapped = recognizer ? recognizer->view() : nullptr;
    if (!tapped) return;
    const long index = tapped->tag() - kPhotoTag;
    if (index < 0 || static_cast<std::size_t>(index) >= phoneAry.count()) return;
    const std::string url = records::text(phoneAry.at(static_cast<std::size_t>(index)), "thumb_path");
    ns::NSLog("image url=%@", url);
    if (!url.empty()) showImageURL(url);
}

void ActivityDetailViewController::showImageURL(const std::string& url) {
    auto root = view();
    const ui::Size size = root->frame().size;
    if (bigImageView) bigImageView->removeFromSuperview();
    bigImageView = ui::create<ui::ImageView>(ui::Rect{0, 64, size.width, size.height - 64});
    bigImageView->setBackgroundColor(ui::Color::blackColor());
    bigImageView->setUserInteractionEnabled(true);
    bigImageView->addGestureRecognizer(
        ui::create<ui::TapGestureRecognizer>(this, &ActivityDetailViewController::handleSingleViewTap));
    root->addSubview(bigImageView);
    setImageWithURL(bigImageView, url);
}

void ActivityDetailViewController::handleSingleViewTap(std::shared_ptr<ui::TapGestureRecognizer> recognizer) {
    if (auto tapped = recognizer ? recognizer->view() : nullptr) tapped->removeFromSuperview();
    bigImageView.reset();
}
