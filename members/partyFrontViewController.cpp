#include "members/partyFrontViewController.h"

#include "app/widgets/Controls.h"
#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "members/PartyCell.h"
#include "members/PartyDetailViewController.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {
constexpr ui::Color kBackground = ui::Color::colorWithRed(0.96, 0.96, 0.96, 1);
}

void partyFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(navTitle.empty() ? kDefaultTitle : navTitle);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    auto root = view();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;
    root->setBackgroundColor(kBackground);

    buildFrontBar();

    typeLine = ui::create<ui::ImageView>(ui::Rect{10, 66, w - 20, 30});
    typeLine->setImage(ui::Image::imageNamed("title.png"));
    typeLine->setUserInteractionEnabled(true);
    typeLine->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &partyFrontViewController::typeTapped));
    root->addSubview(typeLine);
    institutionsLabel = ui::create<ui::Label>(ui::Rect{2, 0, w - 20, 30});
    institutionsLabel->setBackgroundColor(ui::Color::clearColor());
    institutionsLabel->setFont(ui::Font::systemFontOfSize(14));
    institutionsLabel->setText("请选择搜索类型");
    typeLine->addSubview(institutionsLabel);

    titleField = makeBorderedField(ui::Rect{10, 101, 220, 30});
    titleField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    root->addSubview(titleField);

    searchButton = makeImageButton(ui::Rect{235, 101, 60, 30}, "搜索", "subit.png", 16);
    searchButton->addTarget(this, &partyFrontViewController::seach, ui::ControlEventTouchUpInside);
    root->addSubview(searchButton);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 134, w, h - 134}, ui::TableViewStylePlain);
    mtableview->setRowHeight(PartyCell::kHeight);
    root->addSubview(mtableview);

    glview = ui::create<ui::View>(root->bounds());
    glview->setBackgroundColor(ui::Color::blackColor());
    glview->setAlpha(0.6);
    glview->setUserInteractionEnabled(true);
    glview->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &partyFrontViewController::dimTapped));
    glview->setHidden(true);
    root->addSubview(glview);

    typeview = ui::create<TypeView>(ui::Rect{0, 64, w, h - 64});
    typeview->setDelegate(sharedAs<TypeViewDelegate>());
    typeview->LoadingWithData(ns::Value::array({kOriginSearch, kTitleSearch}));
    typeview->setHidden(true);
    root->addSubview(typeview);

    search_type.clear();
    list = PagedList::create(PagedList::Config{
        .source = weakAs<PagedListSource>(),
        .pageSize = "20",
        .showsResult = false,
        .replyLog = "机构====%@",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    ns::NSLog("user_id==%@  user_type==%@", ns::Value(userID), ns::Value(userType));
    list->start();
}

void partyFrontViewController::requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) {
    const std::string keywords = titleField->text();
    if (navTitle == kMineTitle) {
        client.GetRetailerList_page_size_type_keywords_search_type_user_id_user_type(page, pageSize, _type, keywords,
                                                                                     search_type, userID, userType);
    } else {
        client.GetRetailerList(page, pageSize, _type, keywords, search_type);
    }
}

void partyFrontViewController::pageLoaded() {
    if (list->count() == 0) showAlertWithTitle(kEmptyText);
}

// ---- Search ----

void partyFrontViewController::typeTapped(std::shared_ptr<ui::TapGestureRecognizer>) { showType(); }
void partyFrontViewController::dimTapped(std::shared_ptr<ui::TapGestureRecognizer>) { disview(); }

void partyFrontViewController::showType() {
    typeview->setTitleStr("请选择搜索类型");
    typeview->setHidden(false);
    glview->setHidden(false);
    view()->bringSubviewToFront(glview);
    view()->bringSubviewToFront(typeview);
}

void partyFrontViewController::TypeContent(const std::string& text, long /*tag*/) {
    institutionsLabel->setText(text);
    if (text == kOriginSearch) search_type = "1";
    if (text == kTitleSearch) search_type = "2";
    typeview->setHidden(true);
    glview->setHidden(true);
}

void partyFrontViewController::disview() {
    typeview->setHidden(true);
    glview->setHidden(true);
}

void partyFrontViewController::seach() {
    titleField->resignFirstResponder();
    list->refreshView();
}

bool partyFrontViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    seach();
    return true;
}

// ---- Replies ----

void partyFrontViewController::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*pp, result);
}

void partyFrontViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*pp, error);
}

// ---- Rows ----

std::shared_ptr<ui::TableViewCell> partyFrontViewController::cellFor(const PagedList::Table& table,
                                                                      const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<PartyCell>(table->dequeueReusableCellWithIdentifier(PartyCell::kIdentifier));
    if (!cell) cell = ui::create<PartyCell>(ui::TableViewCellStyleDefault, PartyCell::kIdentifier);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    setImageWithURL(cell->headimagev, records::text(record, "product_img"), ui::Image::imageNamed("icon_empty.png"));
    cell->titleLabel->setText(records::text(record, "product_title"));
    cell->countLabel->setText("数量:" + records::text(record, "product_number"));
    cell->product_addressLabel->setText("产地:" + records::text(record, "product_address"));
    cell->priceLabel->setText("￥" + records::text(record, "product_price"));
    cell->Leave_mesgLabel->setText("留言:" + records::text(record, "comment_count"));
    cell->click_numLabel->setText("点击量:" + records::text(record, "click_num"));
    return cell;
}

void partyFrontViewController::open(const ns::Value& record) {
    auto detail = ui::create<PartyDetailViewController>();
    detail->partyID = records::text(record, "id");
    detail->userID = userID;
    detail->userType = userType;
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
