// The paged list that the article, comment, petition, event and member list
// screens share: a table of records that loads page "1" when the screen
// starts, a pull-down header that reloads from page "1" and a pull-up footer
// that loads the next page, each 2.0 s after the pull is released.
//
// The screen owns its table, its service client and a PagedList; the list is
// the table's data source and delegate and the refresh views' delegate, and
// the screen passes its client's replies on to it:
//
//   list = PagedList::create(PagedList::Config{
//       .request = [](VoVaClient& pp, const std::string& page, const std::string& size) {
//           pp.news_request(page, size, "shishixinwen");
//       },
//       .cell = [](auto& table, const ns::Value& record, const ui::IndexPath&) { ... },
//       .resultDelay = 0.5,
//   });
//   list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
//   list->start();          // header, footer, the end-of-load call, page "1"
//
//   void Screen::GetWebServerContent_success(const std::string& result) {
//       if (list->handleSuccess(*pp, result)) return;   // a page (or a superseded one)
//       ...                                             // the screen's other requests
//   }
//
// A load shows the progress overlay with "加载中..." (through the screen that
// holds the table, so that it goes when the screen is left); its reply
// appends the reply's "records" (the dictionaries among them) to records()
// and reloads the table; the overlay then shows "加载成功！" or "加载失败！"
// through the delayed dismissal and is closed at once. A list may load its
// first page without the overlay (firstLoadOverlay false); pulls always show it.
//
// Instead of a table the list can fill a grid of tiles in a scroll view
// (attachGrid): after each page, and when the list is emptied, layoutTiles
// lays out all the records again.
//
// Replies are told apart by the request they answer, not by a flag: a page
// request that a newer one superseded (a refresh while a page was loading) is
// cancelled, and should its reply still come, it is dropped. A failed
// load-more steps the page number back, so the next pull-up asks for the same
// page again. While a pull's delay runs or a page is loading, another pull
// starts nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/widgets/PullRefresh/PullRefreshTableDelegate.h"
#include "app/widgets/PullRefresh/PullRefreshTableFooterView.h"
#include "app/widgets/PullRefresh/PullRefreshTableHeaderView.h"
#include "foundation/Error.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/TableView.h"
#include "uikit/ViewController.h"

class PagedList;

// A screen that answers for its list in methods rather than in the config's
// functions (Config::source).
class PagedListSource {
public:
    virtual ~PagedListSource() = default;
    // Starts the request for one page.
    virtual void requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) = 0;
    // The cell of a row.
    virtual std::shared_ptr<ui::TableViewCell> cellFor(const std::shared_ptr<ui::TableView>& table,
                                                       const ns::Value& record) = 0;
    // A row was touched.
    virtual void open(const ns::Value& /*record*/) {}
    // A page arrived; its rows are in the list, the table reloads next.
    virtual void pageLoaded() {}
};

class PagedList : public ui::Object,
                  public ui::TableViewDataSource,
                  public ui::TableViewDelegate,
                  public PullRefreshTableDelegate {
public:
    using Table = std::shared_ptr<ui::TableView>;

    struct Config {
        // Starts the request for one page (page number and page size as text).
        std::function<void(VoVaClient&, const std::string& page, const std::string& pageSize)> request{};
        // The cell of a row.
        std::function<std::shared_ptr<ui::TableViewCell>(const Table&, const ns::Value& record, const ui::IndexPath&)>
            cell{};
        // Optional: the height of a row (else the table's rowHeight).
        std::function<double(const Table&, const ns::Value& record, const ui::IndexPath&)> rowHeight{};
        // Optional: a row was touched.
        std::function<void(const ns::Value& record, const ui::IndexPath&)> select{};
        // Optional: a page arrived and its rows were appended (before the table reloads).
        std::function<void(const ns::Value& reply, const ns::Value& rows)> pageLoaded{};

        // Where request, cell, select or pageLoaded is not given.
        std::weak_ptr<PagedListSource> source{};

        std::string pageSize = "10";
        double triggerDelay = 2.0;
        // The overlay after a reply: the result status for this long, then
        // closed at once; without showsResult it is closed at once, no text.
        double resultDelay = 0.75;
        bool showsResult = true;
        // Read the reply as JSONFragmentValue rather than JSONValue.
        bool fragmentReply = false;
        // Format of the debug line with the reply text ("reo==%@"); "" for none.
        std::string replyLog{};
        // Page "1" at start() and restart() shows the overlay.
        bool firstLoadOverlay = true;
        // Grid mode: lays out the tiles of all records in the scroll view.
        std::function<void(ui::ScrollView& grid, const ns::Value& records)> layoutTiles{};
    };

    static constexpr const char* kLoadingStatus = "加载中...";
    static constexpr const char* kSuccessStatus = "加载成功！";
    static constexpr const char* kFailureStatus = "加载失败！";

    static std::shared_ptr<PagedList> create(Config config);
    void init(Config config) { config_ = std::move(config); }

    // The screen (told loadingSuccess / loadingFail when it is a
    // SystemViewController; its view's bounds size the refresh views), the
    // table (its data source and delegate become this list) and the client
    // the pages go through. All three are held weakly.
    void attach(const std::shared_ptr<ui::ViewController>& screen, const Table& table,
                const std::shared_ptr<VoVaClient>& client);
    // The same with a grid of tiles (layoutTiles) in a scroll view for the
    // rows; the list becomes the scroll view's delegate.
    void attachGrid(const std::shared_ptr<ui::ViewController>& screen, const std::shared_ptr<ui::ScrollView>& grid,
                    const std::shared_ptr<VoVaClient>& client);
    // createHeaderView, setFooterView, testFinishedLoadData on the next turn.
    void prepare();
    // prepare(), then page "1".
    void start();
    // Emptied and page "1" again, as the first load (after the request's
    // parameters changed).
    void restart();

    // ---- Replies (from the screen's client delegate) ----
    // True when the reply belonged to this list's page requests: handled, or
    // dropped as superseded. False: the screen's own.
    bool handleSuccess(const VoVaClient& client, const std::string& result);
    bool handleFailure(const VoVaClient& client, const ns::ErrorPtr& error);

    // ---- The list's operations ----
    // Shows the overlay and requests the page (superseding a page still loading).
    void loadingData(const std::string& page, bool overlay = true);
    // Page "1" again: the list is emptied (and the table reloaded) at once.
    void refreshView();
    // The next page; the footer goes until the load ends.
    void getNextPageView();
    // A pull was released: 0 header (refresh), 1 footer (next page), each
    // after the trigger delay.
    void beginToReloadData(PullRefreshPos position);
    void finishReloadingData();
    void testFinishedLoadData();
    void createHeaderView();
    void removeHeaderView();
    void setFooterView();
    void removeFooterView();
    void showRefreshHeader(bool animated);
    // Emptied and reloaded from page "1" without a pull (after a post).
    void reloadFromFirstPage() { refreshView(); }

    // ---- State ----
    // The rows in display order (mdataArray).
    const ns::Value& records() const { return mdataArray_; }
    std::size_t count() const { return mdataArray_.count(); }
    ns::Value recordAt(std::size_t index) const { return mdataArray_.at(index); }
    int pageNo() const { return pageNo_; }
    bool isReloading() const { return reloading_; }
    // True while a page request is outstanding.
    bool isLoadingPage() const { return pending_ != nullptr; }
    Table table() const { return table_.lock(); }
    std::shared_ptr<ui::ScrollView> scrollView() const { return scroll_.lock(); }
    std::shared_ptr<PullRefreshTableHeaderView> headerView() const { return header_; }
    std::shared_ptr<PullRefreshTableFooterView> footerView() const { return footer_; }
    const Config& config() const { return config_; }

    // ---- Table ----
    long tableView_numberOfRowsInSection(const Table&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const Table& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const Table& table, const ui::IndexPath& ip) override;
    void tableView_didSelectRowAtIndexPath(const Table& table, const ui::IndexPath& ip) override;
    void scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) override;
    void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView,
                                                 bool decelerate) override;

    // ---- Refresh views ----
    void pullRefreshTableDidTriggerRefresh(PullRefreshPos position) override;
    bool pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>& view) override;
    ns::Date pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>& view) override;

private:
    enum class Owner { Current, Superseded, Other };
    Owner ownerOf(const VoVaClient& client) const;
    ui::Rect hostBounds() const;
    void rowsChanged();

    Config config_;
    std::weak_ptr<ui::ViewController> screen_;
    std::weak_ptr<ui::TableView> table_;
    std::weak_ptr<ui::ScrollView> scroll_;  // the table, or the grid
    std::weak_ptr<VoVaClient> client_;
    ns::Value mdataArray_ = ns::Value::array();
    int pageNo_ = 1;
    bool reloading_ = false;
    std::shared_ptr<PullRefreshTableHeaderView> header_;
    std::shared_ptr<PullRefreshTableFooterView> footer_;
    std::shared_ptr<NetWebServiceRequest> pending_;  // the page request whose reply counts
    int pendingPage_ = 0;
    std::vector<std::weak_ptr<NetWebServiceRequest>> superseded_;
};
