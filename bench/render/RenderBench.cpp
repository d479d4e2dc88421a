// Drawing one frame of the screen: a home screen of twelve picture tiles,
// and a 1,000-row list of news cells (picture, bold title, two-line summary)
// while it scrolls. Each iteration draws the whole 640 x 1136 screen, as the
// window does; the window's figure adds the upload to SDL and the present
// (offscreen video driver).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "render/Renderer.h"
#include "uikit/TableView.h"
#include "uikit/UIKit.h"
#include "window/Host.h"

namespace {

using namespace ui;

// A picture of the given pixels: a diagonal gradient, as photographs and icons are not flat.
ImagePtr picture(int w, int h, std::uint8_t tint) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &px[(static_cast<std::size_t>(y) * w + x) * 4];
            p[0] = static_cast<std::uint8_t>(tint + x * 2);
            p[1] = static_cast<std::uint8_t>(y * 255 / h);
            p[2] = static_cast<std::uint8_t>(255 - tint);
            p[3] = 255;
        }
    }
    return Image::imageWithPixels(w, h, std::move(px), 2);
}

std::shared_ptr<Window> freshWindow() {
    Application::resetForTesting();
    auto window = create<Window>(Screen::mainScreen().bounds());
    window->setBackgroundColor(Color::whiteColor());
    window->makeKeyAndVisible();
    return window;
}

void buildHome(const std::shared_ptr<Window>& window) {
    static const char* names[] = {"时事直通", "文明创建", "党建网格", "便民服务", "社区动态", "政策解读",
                                  "诉求受理", "在线阅读", "通讯录",   "活动报名", "民意调查", "关于我们"};
    auto root = create<View>(Screen::mainScreen().bounds());
    root->setBackgroundColor(Color::colorWithRed(0.93, 0.95, 0.97, 1));
    auto bar = create<ImageView>(Rect{0, 0, 320, 64});
    bar->setImage(picture(640, 128, 200));
    root->addSubview(bar);
    auto title = create<Label>(Rect{60, 20, 200, 44});
    title->setText("智慧社区");
    title->setTextAlignment(TextAlignmentCenter);
    title->setFont(Font::boldSystemFontOfSize(18));
    title->setTextColor(Color::whiteColor());
    root->addSubview(title);
    for (int i = 0; i < 12; ++i) {
        double x = 15 + (i % 3) * 100, y = 84 + (i / 3) * 118;
        auto b = Button::buttonWithType(ButtonTypeCustom);
        b->setFrame(Rect{x, y, 90, 80});
        b->setBackgroundImage(picture(240, 240, static_cast<std::uint8_t>(i * 20)), ControlStateNormal);
        b->layer().setCornerRadius(8);
        b->setClipsToBounds(true);
        root->addSubview(b);
        auto caption = create<Label>(Rect{x, y + 84, 90, 20});
        caption->setText(names[i]);
        caption->setFont(Font::systemFontOfSize(14));
        caption->setTextAlignment(TextAlignmentCenter);
        root->addSubview(caption);
    }
    window->addSubview(root);
}

void BM_HomeFrame(benchmark::State& state) {
    auto window = freshWindow();
    buildHome(window);
    render::Canvas canvas(Screen::mainScreen().bounds().size, 2);
    render::drawScreen(canvas.context());  // caches warm, as from the second frame on
    for (auto _ : state) {
        render::drawScreen(canvas.context());
        benchmark::DoNotOptimize(canvas.data());
    }
    window.reset();
    Application::resetForTesting();
}
BENCHMARK(BM_HomeFrame)->Unit(benchmark::kMillisecond);

// The first frame of a screen: no text laid out and no picture shrunk yet.
void BM_HomeFirstFrame(benchmark::State& state) {
    auto window = freshWindow();
    buildHome(window);
    render::Canvas canvas(Screen::mainScreen().bounds().size, 2);
    for (auto _ : state) {
        state.PauseTiming();
        render::clearCaches();
        state.ResumeTiming();
        render::drawScreen(canvas.context());
        benchmark::DoNotOptimize(canvas.data());
    }
    window.reset();
    Application::resetForTesting();
}
BENCHMARK(BM_HomeFirstFrame)->Unit(benchmark::kMillisecond);

class NewsCell : public TableViewCell {
public:
    void init(TableViewCellStyle style, const std::string& id) override {
        TableViewCell::init(style, id);
        head = create<ImageView>(Rect{5, 5, 60, 60});
        contentView()->addSubview(head);
        title = create<Label>(Rect{72, 5, 240, 20});
        title->setFont(Font::boldSystemFontOfSize(14));
        contentView()->addSubview(title);
        summary = create<Label>(Rect{72, 27, 240, 38});
        summary->setFont(Font::systemFontOfSize(12));
        summary->setTextColor(Color::darkGrayColor());
        summary->setNumberOfLines(2);
        contentView()->addSubview(summary);
    }
    ImageViewPtr head;
    LabelPtr title, summary;
};

class News : public TableViewDataSource, public TableViewDelegate {
public:
    News() {
        for (int i = 0; i < 8; ++i) pictures.push_back(picture(240, 240, static_cast<std::uint8_t>(i * 30)));
    }
    long tableView_numberOfRowsInSection(const std::shared_ptr<TableView>&, long) override { return 1000; }
    std::shared_ptr<TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<TableView>& tv,
                                                                   const IndexPath& ip) override {
        auto cell = std::dynamic_pointer_cast<NewsCell>(tv->dequeueReusableCellWithIdentifier("news"));
        if (!cell) cell = create<NewsCell>(TableViewCellStyleDefault, "news");
        cell->head->setImage(pictures[static_cast<std::size_t>(ip.row % 8)]);
        cell->title->setText("第" + std::to_string(ip.row) + "期 社区便民服务活动通知");
        cell->summary->setText("本周六上午九点在文化广场举办便民服务活动，义诊、理发、家电维修，欢迎居民朋友踊跃参加。编号" +
                               std::to_string(ip.row));
        return cell;
    }
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) override {
        return 70;
    }
    std::vector<ImagePtr> pictures;
};

void BM_ListFrameWhileScrolling(benchmark::State& state) {
    auto window = freshWindow();
    auto news = std::make_shared<News>();
    auto table = create<TableView>(Rect{0, 64, 320, 504});
    table->setDataSource(news);
    table->setDelegate(news);
    window->addSubview(table);
    table->reloadData();
    render::Canvas canvas(Screen::mainScreen().bounds().size, 2);
    const double step = state.range(0), end = 70.0 * 1000 - 504;
    double y = 0;
    for (auto _ : state) {
        y += step;
        if (y > end) y = 0;
        table->setContentOffset(Point{0, y});
        render::drawScreen(canvas.context());
        benchmark::DoNotOptimize(canvas.data());
    }
    table.reset();
    window.reset();
    Application::resetForTesting();
}
// A slow drag (3 points a frame) reuses most of the last frame's text; a fling
// (45 points a frame) brings new rows in nearly every frame.
BENCHMARK(BM_ListFrameWhileScrolling)->Arg(3)->Arg(45)->Unit(benchmark::kMillisecond);

void BM_WindowFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    auto window = freshWindow();
    buildHome(window);
    {
        window::Host host(Application::sharedApplication(), window::Options{2, "bench"});
        if (!host.isOpen()) {
            state.SkipWithError(host.error().c_str());
            return;
        }
        for (auto _ : state) host.redraw();
    }
    window.reset();
    Application::resetForTesting();
}
BENCHMARK(BM_WindowFrame)->Unit(benchmark::kMillisecond);

}  // namespace
