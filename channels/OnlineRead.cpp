#include "channels/OnlineRead.h"

#include "app/shell/AppLinks.h"
#include "app/framework/FrontScreen.h"
#include "app/framework/OCJUIWebViewController.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "channels/ChannelStyle.h"
#include "foundation/RunLoop.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kShelfOperation = "GetOnlineRead";

}  // namespace

// ---- The reading page ----

std::string OnlineReadViewController::pageAddress() { return AppLinks::webHost() + kPagePath; }

// ---- The bookshelf ----

void ZXCYViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pageNo = 1;
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    view()->setBackgroundColor(ui::Color::whiteColor());
    buildFrontBar();

    ui::Size size = view()->frame().size;
    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, size.width, size.height - 64});
    mscrview->setUserInteractionEnabled(true);
    mscrview->setDelegate(sharedAs<ui::ScrollViewDelegate>());
    view()->addSubview(mscrview);

    createHeaderView();
    ns::RunLoop::main().performAfterDelay(weakAs<ZXCYViewController>(), 0.0, [this] { testFinishedLoadData(); },
                                          "testFinishedLoadData");
    loadingData("1");
}

void ZXCYViewController::loadingData(const std::string& page) {
    showProgress(channelstyle::kLoadingText);
    pp->OnlineRead(page, kPageSize, kCategory);
}

void ZXCYViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kShelfOperation) return;
    ProgressHUD::dismissWithSuccess("加载成功！", "", kResultDelay);
    ProgressHUD::dismiss();
    BookArray = records::list(records::parse(result));
    layoutShelf();
    testFinishedLoadData();
}

void ZXCYViewController::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    ProgressHUD::dismissWithError(channelstyle::kLoadFailedText, "", kResultDelay);
    ProgressHUD::dismiss();
    testFinishedLoadData();
}

void ZXCYViewController::layoutShelf() {
    // The shelf shows exactly the books of the last reply.
    for (auto& v : shelfViews_) v->removeFromSuperview();
    shelfViews_.clear();

    const double w = view()->bounds().size.width;
    const double cw = (w - 10 - 10) * 0.5;
    const std::size_t n = BookArray.count();
    for (std::size_t i = 0; i < n; ++i) {
        ns::Value book = BookArray.at(i);
        const double x = (cw + 10) * static_cast<double>(i % 2) + 5;
        const double y = static_cast<double>(i / 2) * 180 + 10;

        auto caption = ui::create<ui::Label>(ui::Rect{x, y, cw, 30});
        caption->setFont(ui::Font::systemFontOfSize(12));
        caption->setBackgroundColor(ui::Color::clearColor());
        caption->setNumberOfLines(0);
        caption->setLineBreakMode(ui::LineBreakByCharWrapping);
        caption->setText(records::text(book, "title"));
        mscrview->addSubview(caption);
        shelfViews_.push_back(caption);

        auto cover = ui::create<ui::ImageView>(ui::Rect{x, y + 30, cw, 150});
        setImageWithURL(cover, records::text(book, "img_url"));
        cover->setUserInteractionEnabled(true);
        cover->setTag(kCoverTagBase + static_cast<int>(i));
        cover->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &ZXCYViewController::showBook));
        mscrview->addSubview(cover);
        shelfViews_.push_back(cover);
    }
    const double rows = static_cast<double>(n / 2);
    mscrview->setContentSize(ui::Size{w, n % 2 == 0 ? rows * 190 + 64 : rows * 190 + 254});
}

void ZXCYViewController::showBook(std::shared_ptr<ui::TapGestureRecognizer> sender) {
    auto touched = sender ? sender->view() : nullptr;
    if (!touched) return;
    const int index = touched->tag() - kCoverTagBase;
    if (index < 0 || static_cast<std::size_t>(index) >= BookArray.count()) return;
    auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
    web->urlStr = records::text(BookArray.at(static_cast<std::size_t>(index)), "file_path");
    if (auto nav = navigationController()) nav->pushViewController(web, true);
}

// ---- Pull-down refresh ----

void ZXCYViewController::createHeaderView() {
    if (refreshHeaderView_) refreshHeaderView_->removeFromSuperview();
    ui::Rect bounds = view()->bounds();
    refreshHeaderView_ = ui::create<PullRefreshTableHeaderView>(
        ui::Rect{0, -bounds.size.height, bounds.size.width, bounds.size.height});
    refreshHeaderView_->setDelegate(sharedAs<PullRefreshTableDelegate>());
    mscrview->addSubview(refreshHeaderView_);
    refreshHeaderView_->refreshLastUpdatedDate();
}

void ZXCYViewController::refreshView() {
    pageNo = 1;
    loadingData("1");
}

void ZXCYViewController::beginToReloadData(PullRefreshPos position) {
    reloading_ = true;
    if (position == PullRefreshHeader) {
        ns::RunLoop::main().performAfterDelay(weakAs<ZXCYViewController>(), kTriggerDelay, [this] { refreshView(); },
                                              "refreshView");
    }
}

void ZXCYViewController::finishReloadingData() {
    reloading_ = false;
    if (refreshHeaderView_) refreshHeaderView_->pullRefreshScrollViewDataSourceDidFinishedLoading(mscrview);
}

void ZXCYViewController::testFinishedLoadData() { finishReloadingData(); }

void ZXCYViewController::scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) {
    if (refreshHeaderView_) refreshHeaderView_->pullRefreshScrollViewDidScroll(scrollView);
}

void ZXCYViewController::scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView,
                                                                 bool) {
    if (refreshHeaderView_) refreshHeaderView_->pullRefreshScrollViewDidEndDragging(scrollView);
}

void ZXCYViewController::pullRefreshTableDidTriggerRefresh(PullRefreshPos position) { beginToReloadData(position); }

bool ZXCYViewController::pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>&) { return reloading_; }

ns::Date ZXCYViewController::pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>&) {
    return ns::now();
}
