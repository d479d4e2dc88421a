// One activity of a grid organisation, from its list record: the title,
// the time, the attached pictures one under the other and the text. A tap on
// a picture shows it over the screen until it is tapped again.
//
//   auto detail = ui::create<ActivityDetailViewController>();
//   detail->setMsgDit(record);
//   navigationController()->pushViewController(detail, true);
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "foundation/Value.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"

class ActivityDetailViewController : public SystemViewController {
public:
    void viewDidLoad() override;

    ns::Value msgDit = ns::Value::dictionary();
    void setMsgDit(const ns::Value& record) { msgDit = record; }

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    ns::Value phoneAry = ns::Value::array();
    std::vector<std::shared_ptr<ui::ImageView>> photoViews;
    std::shared_ptr<ui::Label> contentLabel;
    // The full-screen picture while it is shown.
    std::shared_ptr<ui::ImageView> bigImageView;

    void showphoto(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    void showImageURL(const std::string& url);
    void handleSingleViewTap(std::shared_ptr<ui::TapGestureRecognizer> recognizer);


    static constexpr const char* kTitle = "活动详情";
    static constexpr const char* kPlaceholder = "icon_empty.png";
    static constexpr int kPhotoTag = 2000;
    static constexpr double kPhotoSide = 240;
    static constexpr double kPhotoStep = 250;
    static constexpr double kPhotosTop = 78;
};
