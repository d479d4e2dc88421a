// Buttons: title, title colour, image and background image per control state
// (an unset state shows the normal state's), and target-action.
//
//   auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
//   b->setFrame(ui::Rect{10, 25, 22, 22});
//   b->setBackgroundImage(ui::Image::imageNamed("menu.png"), ui::ControlStateNormal);
//   b->setTitle("提交", ui::ControlStateNormal);
//   b->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
//   b->addTarget(this, &Screen::subit, ui::ControlEventTouchUpInside);
//
// A subclass is made with ui::Button::buttonWithType<replyButton>(type) or
// ui::create<replyButton>(frame) (a custom button).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "uikit/Control.h"
#include "uikit/Image.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"

namespace ui {

enum ButtonType {
    ButtonTypeCustom = 0,
    ButtonTypeSystem = 1,
    ButtonTypeRoundedRect = ButtonTypeSystem,
    ButtonTypeDetailDisclosure = 2,
    ButtonTypeInfoLight = 3,
    ButtonTypeInfoDark = 4,
    ButtonTypeContactAdd = 5,
};

class Button : public Control {
public:
    void init(const Rect& frame) override;

    template <typename T = Button>
    static std::shared_ptr<T> buttonWithType(ButtonType type) {
        auto b = std::make_shared<T>();
        static_cast<Button*>(b.get())->type_ = type;
        b->init(Rect{});
        return b;
    }

    ButtonType buttonType() const { return type_; }

    void setTitle(const std::string& title, unsigned state);
    std::string titleForState(unsigned state) const;
    void setTitleColor(const Color& color, unsigned state);
    Color titleColorForState(unsigned state) const;
    void setImage(const ImagePtr& image, unsigned state);
    ImagePtr imageForState(unsigned state) const;
    void setBackgroundImage(const ImagePtr& image, unsigned state);
    ImagePtr backgroundImageForState(unsigned state) const;

    std::string currentTitle() const { return titleForState(state()); }
    Color currentTitleColor() const { return titleColorForState(state()); }
    ImagePtr currentImage() const { return imageForState(state()); }
    ImagePtr currentBackgroundImage() const { return backgroundImageForState(state()); }

    std::shared_ptr<Label> titleLabel() const { return titleLabel_; }
    std::shared_ptr<ImageView> imageView() const { return imageView_; }

    EdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(const EdgeInsets& e) { contentInsets_ = e; setNeedsLayout(); }
    EdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(const EdgeInsets& e) { titleInsets_ = e; setNeedsLayout(); }
    EdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(const EdgeInsets& e) { imageInsets_ = e; setNeedsLayout(); }
    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool a) { adjustsImageWhenHighlighted_ = a; }
    bool showsTouchWhenHighlighted() const { return showsTouchWhenHighlighted_; }
    void setShowsTouchWhenHighlighted(bool s) { showsTouchWhenHighlighted_ = s; }

    void layoutSubviews() override;
    Size sizeThatFits(Size size) const override;
    std::string debugText() const override { return currentTitle(); }

protected:
    void stateDidChange() override { refresh(); }

private:
    void refresh();
    template <typename V>
    static V lookup(const std::map<unsigned, V>& m, unsigned state, const V& fallback);

    ButtonType type_ = ButtonTypeCustom;
    std::map<unsigned, std::string> titles_;
    std::map<unsigned, Color> titleColors_;
    std::map<unsigned, ImagePtr> images_;
    std::map<unsigned, ImagePtr> backgroundImages_;
    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<ImageView> imageView_;
    EdgeInsets contentInsets_;
    EdgeInsets titleInsets_;
    EdgeInsets imageInsets_;
    bool adjustsImageWhenHighlighted_ = true;
    bool showsTouchWhenHighlighted_ = false;
};

using ButtonPtr = std::shared_ptr<Button>;

}  // namespace ui
