// The province-and-city picker sheet, from the bundle's
// "ProvincesAndCities.plist" (an array of {"state": province, "cities": [names]}).
//
//   auto sheet = ui::create<CityLocateView>("请选择籍贯", sharedAs<ui::ActionSheetDelegate>());
//   sheet->showInView(view());
//   ...
//   void actionSheet_clickedButtonAtIndex(const std::shared_ptr<ui::ActionSheet>& s, int index) override {
//       auto picker = std::dynamic_pointer_cast<CityLocateView>(s);
//       picker->locate->state, picker->locate->city ...           // 0: "取消", 1: "确定"
//   }
//
// The first province and its first city are chosen until the columns are
// turned; turning the province lists its cities and chooses the first.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/Alert.h"
#include "uikit/PickerView.h"

class CityLocation {
public:
    std::string state;  // the province
    std::string city;
};

class CityLocateView : public ui::ActionSheet, public ui::PickerViewDataSource, public ui::PickerViewDelegate {
public:
    using ui::ActionSheet::init;
    // initWithTitle:delegate:
    void init(const std::string& title, const std::shared_ptr<ui::ActionSheetDelegate>& delegate);

    std::shared_ptr<CityLocation> locate;
    std::shared_ptr<ui::PickerView> locatePicker;

    static constexpr int kCancelIndex = 0;
    static constexpr int kConfirmIndex = 1;

    // The list read from the bundle (an empty array when it is missing).
    const ns::Value& provinces() const { return provinces_; }

    // PickerView
    long numberOfComponentsInPickerView(const std::shared_ptr<ui::PickerView>&) override { return 2; }
    long pickerView_numberOfRowsInComponent(const std::shared_ptr<ui::PickerView>&, long component) override;
    std::string pickerView_titleForRow_forComponent(const std::shared_ptr<ui::PickerView>&, long row,
                                                    long component) override;
    void pickerView_didSelectRow_inComponent(const std::shared_ptr<ui::PickerView>&, long row,
                                             long component) override;

private:
    ns::Value citiesOf(long province) const;
    void updateLocation();

    ns::Value provinces_ = ns::Value::array();
    long province_ = 0;
};
