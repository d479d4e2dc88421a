// "网上登记", the members' homes module's standalone registration screen: a
// front screen of the module's slide menu (menu button, pan on the top bar)
// with a form that checks the name, then the age, and sends nothing. The
// sex is shown by the two buttons only; the ethnicity box does nothing.
//
//   auto reveal = ui::create<RevealController>(
//       ui::create<ui::NavigationController>(ui::create<VUDIFrontViewController>()),
//       ui::create<VUDIRearViewController>());
#pragma once

#include <memory>

#include "app/framework/FrontScreen.h"
#include "app/framework/SystemViewController.h"
#include "app/widgets/NavBarView.h"
#include "members/RegistrationForm.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"

class VUDIFrontViewController : public FrontOf<SystemViewController>,
                                public ui::TextFieldDelegate,
                                public ui::TextViewDelegate {
public:
    void viewDidLoad() override;
    std::shared_ptr<ui::ScrollView> mscrview;
    std::shared_ptr<ui::TextField> nameField, ageField, phoneField, jiguanField, jiguanField2, addressField;
    std::shared_ptr<ui::Label> nationalLabel, JonPartyLabel;
    std::shared_ptr<ui::TextView> specialtyTextview;
    std::shared_ptr<ui::Button> boyBt, girlBt, submitButton;

    // ---- Actions ----
    void subit();
    void boybutton() { sexButtons_.choose(true); }
    void girlbutton() { sexButtons_.choose(false); }
    void selectNational() {}

    // ---- Keys ----
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    bool textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>& view) override;
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& view, ns::Range range,
                                                          const std::string& text) override;

private:
    regform::SexButtons sexButtons_;
};
