#include "app/widgets/CityLocateView.h"

#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "foundation/Log.h"
#include "foundation/PropertyList.h"

void CityLocateView::init(const std::string& title, const std::shared_ptr<ui::ActionSheetDelegate>& delegate) {
    ui::ActionSheet::init(title, delegate, "", "", {});
    setCancelButtonIndex(kCancelIndex);
    addButtonWithTitle("取消");
    addButtonWithTitle("确定");

    std::string path = ns::Bundle::mainBundle()->pathForResource("ProvincesAndCities", "plist");
    auto bytes = path.empty() ? std::nullopt : ns::readFile(path);
    ns::Value list = bytes ? ns::PropertyListSerialization::propertyListWithData(*bytes) : ns::Value();
    if (list.isArray()) {
        provinces_ = list;
    } else {
        ns::NSLog("CityLocateView: no province list in the bundle");
    }

    locate = std::make_shared<CityLocation>();
    locatePicker = ui::create<ui::PickerView>(ui::Rect{0, 40, 320, 216});
    locatePicker->setShowsSelectionIndicator(true);
    locatePicker->setDataSource(sharedAs<ui::PickerViewDataSource>());
    locatePicker->setDelegate(sharedAs<ui::PickerViewDelegate>());
    addSubview(locatePicker);
    updateLocation();
}

ns::Value CityLocateView::citiesOf(long province) const {
    ns::Value cities = provinces_.at(static_cast<std::size_t>(province))["cities"];
    return cities.isArray() ? cities : ns::Value::array();
}

long CityLocateView::pickerView_numberOfRowsInComponent(const std::shared_ptr<ui::PickerView>&, long component) {
    if (component == 0) return static_cast<long>(provinces_.count());
    return static_cast<long>(citiesOf(province_).count());
}

std::string CityLocateView::pickerView_titleForRow_forComponent(const std::shared_ptr<ui::PickerView>&, long row,
                                                                long component) {
    if (component == 0) return provinces_.at(static_cast<std::size_t>(row))["state"].text();
    return citiesOf(province_).at(static_cast<std::size_t>(row)).text();
}

void CityLocateView::pickerView_didSelectRow_inComponent(const std::shared_ptr<ui::PickerView>& picker, long row,
                                                         long component) {
    if (component == 0) {
        province_ = row;
        picker->reloadComponent(1);
        picker->selectRow(0, 1, false);
    }
    updateLocation();
}

void CityLocateView::updateLocation() {
    long p = locatePicker->selectedRowInComponent(0);
    long c = locatePicker->selectedRowInComponent(1);
    province_ = p < 0 ? 0 : p;
    locate->state = p < 0 ? std::string() : provinces_.at(static_cast<std::size_t>(p))["state"].text();
    locate->city = c < 0 ? std::string() : citiesOf(province_).at(static_cast<std::size_t>(c)).text();
}
