#include "cases/FilteredListScreen.h"

#include "app/framework/Records.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {

std::shared_ptr<ui::Label> captionLabel(const ui::Rect& frame, const std::string& text) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(13));
    label->setBackgroundColor(ui::Color::clearColor());
    label->setText(text);
    return label;
}

}  // namespace

void FilteredListScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    auto root = view();
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1.0));
    const ui::Size size = root->frame().size;
    const Layout look = layout();

    naview = ui::create<NavBarView>(ui::Rect{0, 0, size.width, NavBarView::kHeight});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    root->addSubview(naview);
    showTitle();

    root->addSubview(captionLabel(ui::Rect{5, 65, 80, 30}, look.orgCaption));
    institutionsLabel = captionLabel(ui::Rect{80, 65, 210, 30}, "");
    institutionsLabel->layer().setBorderWidth(1);
    institutionsLabel->layer().setBorderColor(ui::Color::lightGrayColor());
    institutionsLabel->setUserInteractionEnabled(true);
    institutionsLabel->addGestureRecognizer(
        ui::create<ui::TapGestureRecognizer>(this, &FilteredListScreen::showinstitutions));
    root->addSubview(institutionsLabel);

    root->addSubview(captionLabel(ui::Rect{5, 100, 80, 30}, look.filterCaption));
    filterField = ui::create<ui::TextField>(ui::Rect{80, 100, 120, 30});
    filterField->setFont(ui::Font::systemFontOfSize(13));
    filterField->layer().setBorderWidth(1);
    filterField->layer().setBorderColor(ui::Color::lightGrayColor());
    filterField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    root->addSubview(filterField);

    searchButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    searchButton->setFrame(ui::Rect{205, 100, 60, 30});
    searchButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    searchButton->setTitle("搜索", ui::ControlStateNormal);
    searchButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    searchButton->titleLabel()->setFont(ui::Font::systemFontOfSize(16));
    searchButton->addTarget(this, &FilteredListScreen::seachPhone, ui::ControlEventTouchUpInside);
    root->addSubview(searchButton);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 134, size.width, size.height - 134}, ui::TableViewStylePlain);
    mtableview->setRowHeight(look.rowHeight);
    root->addSubview(mtableview);

    org_id.clear();
    filterField->setText("");

    std::weak_ptr<FilteredListScreen> weak = sharedAs<FilteredListScreen>();
    list = PagedList::create(PagedList::Config{
        .request =
            [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
                if (auto self = weak.lock()) self->requestPage(client, page, pageSize);
            },
        .cell = [weak](const PagedList::Table& table, const ns::Value& record,
                       const ui::IndexPath&) -> std::shared_ptr<ui::TableViewCell> {
            auto self = weak.lock();
            return self ? self->cellFor(table, record) : nullptr;
        },
        .select = [weak](const ns::Value& record, const ui::IndexPath&) {
            if (auto self = weak.lock()) self->open(record);
        },
        .pageLoaded = [weak](const ns::Value&, const ns::Value&) {
            auto self = weak.lock();
            if (self && self->list->count() == 0) self->showAlertWithTitle(kNoData);
        },
        .pageSize = kPageSize,
        .resultDelay = 0.75,
        .replyLog = "机构====%@",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
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
