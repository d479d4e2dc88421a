// What the two registration forms of the members' homes (the homes' 网上登记
// tab, OnlineRegistrationView, and the module's standalone screen,
// VUDIFrontViewController) are made of: captions, boxed entries, the "必填"
// marks, the sex buttons, the "提交" button and the speciality box's keys.
//
//   regform::caption(*mscrview, "姓名:", ui::Rect{10, 10, 50, 30});
//   nameField = regform::field(*mscrview, ui::Rect{60, 10, 150, 30}, 12);
//   regform::requiredMark(*mscrview, ui::Rect{213, 10, 30, 30});
#pragma once

#include <memory>
#include <string>

#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"
#include "uikit/View.h"

namespace regform {

// A caption: clear, system font 14.
std::shared_ptr<ui::Label> caption(ui::View& parent, const std::string& text, const ui::Rect& frame);
// The red "必填" in system font 12.
std::shared_ptr<ui::Label> requiredMark(ui::View& parent, const ui::Rect& frame);
// An entry box: a light-grey 1-point border with a corner radius of 6.
void box(ui::View& entry);
// A boxed text field in the system font of that size.
std::shared_ptr<ui::TextField> field(ui::View& parent, const ui::Rect& frame, double fontSize = 17);
// A boxed label in system font 14 (a picker's or a fixed value).
std::shared_ptr<ui::Label> boxedLabel(ui::View& parent, const ui::Rect& frame, double fontSize = 14);
// "提交": "subit.png" with a white title, 80 x 40, centred at y.
std::shared_ptr<ui::Button> submitButton(ui::View& parent, double y);

// The first two rows: "姓名:" with its field (placeholder "姓名", font 12, a
// clear button while editing, centred) and "必填"; "年龄:" with its field
// (font 12, centred).
struct NameAndAge {
    ui::Rect nameCaption, nameField, nameMark, ageCaption, ageField;
    std::string agePlaceholder;
};
struct NameAndAgeFields {
    std::shared_ptr<ui::TextField> name, age;
};
NameAndAgeFields nameAndAge(ui::View& form, const NameAndAge& rows);

// The sex buttons, 15 x 15 at (60, y) and (112, y), with their captions "男"
// and "女" at (77, captionY) and (129, captionY), 30 wide and captionHeight
// high. "男" is chosen at first.
struct SexButtons {
    std::shared_ptr<ui::Button> boyBt, girlBt;

    static SexButtons make(ui::View& parent, double y, double captionY, double captionHeight);
    // The chosen one "title_seledted.png", the other "title_unselected.png".
    void choose(bool boy) const;
    // Touches go to the form's boybutton and girlbutton.
    template <typename Form>
    void wire(Form* form) const {
        boyBt->addTarget(form, &Form::boybutton, ui::ControlEventTouchUpInside);
        girlBt->addTarget(form, &Form::girlbutton, ui::ControlEventTouchUpInside);
    }
};

// The speciality box's keys: beginning to edit scrolls the form to (0, y);
// a Return ends the editing and scrolls back to the top, adding no line.
void specialityEditing(ui::ScrollView& form, double y);
// False for a Return (handled), true for other text.
bool specialityChange(ui::ScrollView& form, ui::TextView& box, const std::string& replacement);

}  // namespace regform
