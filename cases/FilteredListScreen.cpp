#include "cases/FilteredListScreen.h"

#include "app/widgets/Controls.h"
#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {


}  // namespace

void FilteredListScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    auto root = view();
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1.0));
    const ui::Size size = root->frame().size;
    const Layout look = layout();

    naview = makeBackNavBar(*this);
    showTitle();

    root->addSubview(makeCaption(ui::Rect{5, 65, 80, 30}, look.orgCaption, 13));
    institutionsLabel = makeCaption(ui::Rect{80, 65, 210, 30}, "", 13);
    institutionsLabel->layer().setBorderWidth(1);
    institutionsLabel->layer().setBorderColor(ui::Color::lightGrayColor());
    institutionsLabel->setUserInteractionEnabled(true);
    institutionsLabel->addGestureRecognizer(
        ui::create<ui::TapGestureRecognizer>(this, &FilteredListScreen::showinstitutions));
    root->addSubview(institutionsLabel);

    root->addSubview(makeCaption(ui::Rect{5, 100, 80, 30}, look.filterCaption, 13));
    filterField = makeBorderedField(ui::Rect{80, 100, 120, 30});
    filterField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    root->addSubview(filterField);

    searchButton = makeImageButton(ui::Rect{205, 100, 60, 30}, "搜索", "subit.png", 16);
    searchButton->addTarget(this, &FilteredListScreen::seachPhone, ui::ControlEventTouchUpInside);
    root->addSubview(searchButton);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 134, size.width, size.height - 134}, ui::TableViewStylePlain);
    mtableview->setRowHeight(look.rowHeight);
    root->addSubview(mtableview);

    org_id.clear();
    filterField->setText("");

    list = PagedList::create(PagedList::Config{
        .source = weakAs<PagedListSource>(),
        .pageSize = kPageSize,
        .resultDelay = 0.75,
        .replyLog = "机构====%@",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void FilteredListScreen::pageLoaded() {
    if (list->count() == 0) showAlertWithTitle(kNoData);
}

void FilteredListScreen::showinstitutions(std::shared_ptr<ui::TapGestureRecognizer>) {
    filterField->resignFirstResponder();
    auto picker = ui::create<OrgViewController>();
    picker->setDelegate(sharedAs<OrgViewControllerDelegate>());
    if (auto nav = navigationController()) nav->pushViewController(picker, true);
}

void FilteredListScreen::seachPhone() {
    filterField->resignFirstResponder();
    list->refreshView();
}

void FilteredListScreen::orgName(const ns::Value& name, const ns::Value& orgId) {
    // Confirmed without a choice: no organisation, as at the start.
    institutionsLabel->setText(records::text(name));
    org_id = records::text(orgId);
    list->refreshView();
}

bool FilteredListScreen::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) {
    if (field) field->resignFirstResponder();
    return true;
}

void FilteredListScreen::GetWebServerContent_success(const std::string& result) { list->handleSuccess(*pp, result); }

void FilteredListScreen::GetWebServerContent_Fail(const ns::ErrorPtr& error) { list->handleFailure(*pp, error); }
