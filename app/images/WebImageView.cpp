#include "app/images/WebImageView.h"

#include <cstdint>
#include <functional>
#include <unordered_map>

#include "app/images/WebImageManager.h"
#include "foundation/RunLoop.h"

namespace {

// The pending load of each view, by the view's address. The generation tells
// a view's current load from the ones it has replaced.
struct Binding {
    std::weak_ptr<ui::View> view;
    std::weak_ptr<WebImageManager> manager;
    WebImageManager::LoadPtr load;
    std::uint64_t generation = 0;
};

std::unordered_map<const ui::View*, Binding>& bindings() {
    static auto* map = new std::unordered_map<const ui::View*, Binding>();
    return *map;
}

std::uint64_t nextGeneration = 1;

void cancelBinding(Binding& b) {
    if (!b.load) return;
    if (auto manager = b.manager.lock()) manager->cancel(b.load);
    b.load = nullptr;
}

// Loads of views that have gone are stopped.
void pruneGoneViews() {
    auto& map = bindings();
    for (auto it = map.begin(); it != map.end();) {
        if (it->second.view.expired()) {
            cancelBinding(it->second);
            it = map.erase(it);
        } else {
            ++it;
        }
    }
}

// The first load of each turn of the main run loop looks for views that
// have gone, and the others of that turn do not: a screen that gives
// thousands of views their pictures at once looks through the loads once,
// not once a view, and a screen that follows one that has gone still stops
// the loads of the gone one as it starts its own.
void pruneGoneViewsOncePerTurn() {
    // Alive from the sweep until the main loop runs the next turn's work
    // (or drops it, when it is reset).
    static auto* sweptThisTurn = new std::weak_ptr<void>();
    if (!sweptThisTurn->expired()) return;
    pruneGoneViews();
    auto mark = std::make_shared<char>(0);
    *sweptThisTurn = mark;
    ns::RunLoop::main().post([mark] {});
}

void load(const std::shared_ptr<ui::View>& view, const std::string& url,
          const std::function<void(const ui::ImagePtr&)>& show, const ui::ImagePtr& placeholder) {
    pruneGoneViewsOncePerTurn();
    cancelCurrentImageLoad(view.get());
    show(placeholder);
    if (url.empty()) return;

    auto manager = WebImageManager::sharedManager();
    std::uint64_t generation = nextGeneration++;
    auto& map = bindings();
    map[view.get()] = Binding{view, manager, nullptr, generation};

    std::weak_ptr<ui::View> weakView = view;
    auto loadHandle = manager->loadImage(url, [weakView, generation, show](const ui::ImagePtr& image,
                                                                            const ns::ErrorPtr&) {
        auto v = weakView.lock();
        if (!v) return;
        auto& m = bindings();
        auto it = m.find(v.get());
        if (it == m.end() || it->second.generation != generation) return;  // replaced or cancelled
        m.erase(it);
        if (image) show(image);
    });
    auto it = map.find(view.get());
    if (it != map.end() && it->second.generation == generation) it->second.load = loadHandle;
}

}  // namespace

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::string& url,
                     const ui::ImagePtr& placeholder) {
    if (!view) return;
    std::weak_ptr<ui::ImageView> weak = view;
    load(view, url,
         [weak](const ui::ImagePtr& image) {
             if (auto v = weak.lock()) v->setImage(image);
         },
         placeholder);
}

void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::string& url,
                     const ui::ImagePtr& placeholder) {
    if (!button) return;
    std::weak_ptr<ui::Button> weak = button;
    load(button, url,
         [weak](const ui::ImagePtr& image) {
             if (auto b = weak.lock()) b->setImage(image, ui::ControlStateNormal);
         },
         placeholder);
}

void cancelCurrentImageLoad(const ui::View* view) {
    auto& map = bindings();
    auto it = map.find(view);
    if (it == map.end()) return;
    cancelBinding(it->second);
    map.erase(it);
}

std::size_t pendingImageLoads() {
    pruneGoneViews();
    return bindings().size();
}
