// The rear menu that the modules' slide-menu containers share: rows of
// records with a "title" and a "state" ("1" for the highlighted row, "0" for
// the others), drawn in RearviewCell rows on a dark background. A touched row
// takes the highlight; then, inside a RevealController:
// - a screen row puts a new navigation controller around a new screen of its
//   class in front and closes the menu, unless the screen at the root of the
//   front navigation controller already has that class (a swap by class, the
//   default): then only the highlight moves and the menu stays open. A menu
//   whose rows open one class with different parameters (swapByClass false)
//   builds a new front for every touch;
// - a push row pushes a new screen over the whole module, on the navigation
//   controller that holds the container;
// - the home row ("回到首页") pops the container off the home navigation
//   controller, which shows the home screen (a menu may let it pop its
//   navigation controller outside a container too: homeWithoutContainer).
// A row may be guarded: before it acts, its guard is asked and answers
// later; only a yes to the row touched last lets it act (touching any other
// row drops the question).
//
//   menu = RearMenu::create({
//       RearMenu::screenRow<SSZTFrontViewController>("时事新闻"),
//       RearMenu::screenRow<VLDTViewController>("Velmarsh动态",
//                                               [](VLDTViewController& s) { s.category_code = "velmarshdongtai"; }),
//       RearMenu::homeRow(),
//   });
//   menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, w, h});   // in viewDidLoad
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

#include "app/framework/SystemViewController.h"
#include "foundation/Value.h"
#include "uikit/Color.h"
#include "uikit/ImageView.h"
#include "uikit/TableView.h"
#include "uikit/ViewController.h"

class RearMenu : public ui::Object, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    using Screen = std::shared_ptr<ui::ViewController>;

    struct Row {
        enum class Kind { Screen, Push, Home, Highlight };
        Kind kind = Kind::Highlight;
        std::string title;
        // Screen rows: the class the row opens, and how to build its screen
        // (given the row's title).
        std::type_index screenClass = std::type_index(typeid(void));
        std::function<Screen(const std::string& title)> make{};
        // Optional: asked (with the row's title) before the row acts; it
        // calls `answer` with yes or no, now or later.
        std::function<void(const std::string& title, std::function<void(bool)> answer)> guard{};
    };

    // A row that opens a new T (made with init), titled with the row's title,
    // then set up by `configure`.
    template <typename T>
    static Row screenRow(const std::string& title, std::function<void(T&)> configure = {}) {
        Row row;
        row.kind = Row::Kind::Screen;
        row.title = title;
        row.screenClass = std::type_index(typeid(T));
        row.make = [configure](const std::string& t) -> Screen {
            auto screen = ui::create<T>();
            screen->setTitle(t);
            if (configure) configure(*screen);
            return screen;
        };
        return row;
    }
    // A row that opens a new T with nothing set on it (not even the title).
    template <typename T>
    static Row bareScreenRow(const std::string& title) {
        Row row = screenRow<T>(title);
        row.make = [](const std::string&) -> Screen { return ui::create<T>(); };
        return row;
    }
    // A row that pushes a new T (made with init, nothing set on it) over the module.
    template <typename T>
    static Row pushRow(const std::string& title) {
        Row row = bareScreenRow<T>(title);
        row.kind = Row::Kind::Push;
        return row;
    }
    static Row homeRow(const std::string& title = kHomeTitle) {
        Row row;
        row.kind = Row::Kind::Home;
        row.title = title;
        return row;
    }
    // A row that only takes the highlight.
    static Row highlightRow(const std::string& title) {
        Row row;
        row.title = title;
        return row;
    }

    struct Options {
        bool swapByClass = true;     // false: every screen row builds a new front
        bool animatedHome = false;   // the home row pops with animation
        // The home row pops the menu's navigation controller also when the
        // menu is not inside a container.
        bool homeWithoutContainer = false;
    };

    static std::shared_ptr<RearMenu> create(std::vector<Row> rows, Options options);
    static std::shared_ptr<RearMenu> create(std::vector<Row> rows) { return create(std::move(rows), Options{}); }
    void init(std::vector<Row> rows, Options options);

    // Builds the menu in the host's view: a background in the menu colour at
    // backgroundFrame and the table at (0, 20, view width, view height - 20).
    void build(const std::shared_ptr<ui::ViewController>& host, const ui::Rect& backgroundFrame);

    // A row was touched: the highlight, then the row's action (after its
    // guard's yes).
    void selectRow(long row);

    // ---- State ----
    // The row records ({"title", "state"}), in display order (mdataArray).
    const ns::Value& records() const { return mdataArray_; }
    const std::vector<Row>& rows() const { return rows_; }
    // The highlighted row, or -1.
    long highlightedRow() const;
    std::shared_ptr<ui::TableView> rearTableView;
    std::shared_ptr<ui::ImageView> backgroundView;

    // ---- Table ----
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return kRowHeight;
    }
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override {
        selectRow(ip.row);
    }

    static constexpr const char* kHomeTitle = "回到首页";
    static constexpr double kRowHeight = 60;
    static constexpr ui::Color kBackgroundColor = ui::Color::colorWithRed(0.16, 0.15, 0.15, 1);
    static constexpr ui::Color kHighlightedRowColor = ui::Color::colorWithRed(0.13, 0.13, 0.13, 1);
    static constexpr ui::Color kTitleColor = ui::Color::colorWithRed(0.71, 0.71, 0.71, 1);

private:
    void act(long row);
    void goHome(ui::ViewController& host);

    std::vector<Row> rows_;
    unsigned long touches_ = 0;  // rows touched so far: a guard's answer counts for the last
    Options options_;
    ns::Value mdataArray_ = ns::Value::array();
    std::weak_ptr<ui::ViewController> host_;
};

// A module's menu screen: the menu of menuRows() filling its view. The
// navigation controller around it keeps its bar hidden.
class RearMenuScreen : public SystemViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<RearMenu> menu;  // the rows (mdataArray), the table and the touches
    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }

protected:
    virtual std::vector<RearMenu::Row> menuRows() = 0;
    virtual RearMenu::Options menuOptions() const { return {}; }
    // The menu for the rows (a subclass may make its own kind).
    virtual std::shared_ptr<RearMenu> makeMenu(std::vector<RearMenu::Row> rows, RearMenu::Options options);
};
