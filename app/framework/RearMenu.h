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
// - the home row ("回到首页") pops the container off the home navigation
//   controller, which shows the home screen.
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

#include "foundation/Value.h"
#include "uikit/Color.h"
#include "uikit/ImageView.h"
#include "uikit/TableView.h"
#include "uikit/ViewController.h"

class RearMenu : public ui::Object, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    using Screen = std::shared_ptr<ui::ViewController>;

    struct Row {
        enum class Kind { Screen, Home, Highlight };
        Kind kind = Kind::Highlight;
        std::string title;
        // Screen rows: the class the row opens, and how to build its screen
        // (given the row's title).
        std::type_index screenClass = std::type_index(typeid(void));
        std::function<Screen(const std::string& title)> make{};
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
    };

    static std::shared_ptr<RearMenu> create(std::vector<Row> rows, Options options);
    static std::shared_ptr<RearMenu> create(std::vector<Row> rows) { return create(std::move(rows), Options{}); }
    void init(std::vector<Row> rows, Options options);

    // Builds the menu in the host's view: a background in the menu colour at
    // backgroundFrame and the table at (0, 20, view width, view height - 20).
    void build(const std::shared_ptr<ui::ViewController>& host, const ui::Rect& backgroundFrame);

    // A row was touched: the highlight, then the row's action.
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
    std::vector<Row> rows_;
    Options options_;
    ns::Value mdataArray_ = ns::Value::array();
    std::weak_ptr<ui::ViewController> host_;
};
