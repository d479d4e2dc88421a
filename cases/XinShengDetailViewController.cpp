#include "cases/XinShengDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/Format.h"
#include "uikit/Color.h"
#include "uikit/NavigationController.h"

namespace {

double measuredHeight(const std::string& text, double fontSize, double width, double maxHeight) {
    return Utils::labelAutoCalculateRectWith(text, fontSize, ui::Size{width, maxHeight}).height;
}

double bottomOf(const std::shared_ptr<ui::Label>& label) {
    ui::Rect f = label->frame();
    return f.origin.y + f.size.height;
}

}  // namespace

void XinShengDetailViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle(petition::kDetailTitle);
    PP = VoVaClient::create(sharedAs<PPClientDelegate>());
    const double w = view()->frame().size.width;

    naview = makeBackNavBar(*this);
    view()->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));

    labels.build(view(), w, 50, 50);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 314, w, 130}, ui::TableViewStylePlain);
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    mtableview->setHidden(true);
    view()->addSubview(mtableview);

    showProgress(petition::kLoading);
    PP->GetGroupVoiceRecord(feel_id);
}

void XinShengDetailViewController::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    ns::Value record = records::item(records::parse(result));
    const double w = view()->frame().size.width;
    labels.fill(record);

    auto place = [&](const std::shared_ptr<ui::Label>& label, const std::shared_ptr<ui::Label>& above, double height) {
        label->setFrame(ui::Rect{5, bottomOf(above) + 5, w - 10, height});
    };
    place(labels.contentLabel, labels.timeLabel, measuredHeight(labels.contentLabel->text(), 12, w - 10, 1000));
    place(labels.stateLabel, labels.contentLabel, 20);
    place(labels.ogrLabel, labels.stateLabel, measuredHeight(labels.ogrLabel->text(), 12, w - 10, 1000));
    place(labels.userLabel, labels.ogrLabel, 20);
    place(labels.resultLabel, labels.userLabel, 20);
    mtableview->setFrame(ui::Rect{5, labels.bottom() + 5, w - 10, 200});

    mdataArray = records::array(record, "feel_handle");
    mtableview->setHidden(mdataArray.count() == 0);
    mtableview->reloadData();
}

void XinShengDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    ProgressHUD::dismissWithError(petition::kLoadFailed, "", petition::kResultDelay);
    ProgressHUD::dismiss();
}

long XinShengDetailViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

double XinShengDetailViewController::tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                       const ui::IndexPath& ip) {
    const double w = view()->frame().size.width;
    std::string h = records::text(mdataArray.at(static_cast<std::size_t>(ip.row)), "handle_content");
    return measuredHeight(h, ReplyCell::kFontSize, w - 10, 10000) + 40;
}

std::shared_ptr<ui::TableViewCell> XinShengDetailViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    const double w = view()->frame().size.width;
    auto cell = makeReplyCell(table, records::object(mdataArray.at(static_cast<std::size_t>(ip.row))));
    // The text right under the title line, as tall as it needs.
    double height = measuredHeight(cell->contentLabel->text(), ReplyCell::kFontSize, w - 10, 10000);
    cell->contentLabel->setFrame(ui::Rect{5, bottomOf(cell->titleLabel) + 5, w - 10, height});
    return cell;
}
