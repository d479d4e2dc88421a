// The web view's page model: any bytes as an HTML page, parsed, given its
// pictures (every other one fails), laid out for a 320-point view (or the
// width the page asks for), its scripts asked and touched at points down
// the page. Whatever the page, the layout's sizes and boxes are finite.
#include <cmath>
#include <vector>

#include "FuzzSupport.h"
#include "uikit/WebDocument.h"

namespace {

const char* const kScripts[] = {
    "document.body.scrollHeight", "document.body.scrollWidth", "document.documentElement.scrollHeight;",
    "document.title", "window.location.href", "alert(1)",
};

bool finite(const ui::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height) && r.size.width >= 0 && r.size.height >= 0;
}

void check(const ui::web::Document& doc, const ui::web::PageLayout& page) {
    ui::Size content = page.contentSize();
    FUZZ_CHECK(std::isfinite(content.width) && std::isfinite(content.height));
    FUZZ_CHECK(page.scrollWidth() >= 0 && page.scrollHeight() >= 0);
    for (const auto& box : page.boxes()) {
        FUZZ_CHECK(finite(box.frame));
        if (!box.link.empty()) page.frameOfLink(box.link);
    }
    for (const char* script : kScripts) ui::web::evaluateScript(script, &doc, &page, "http://127.0.0.1/page.html");
    for (double y = 0; y <= content.height + 10 && y < 20000; y += 97)
        for (double x : {1.0, 100.0, 319.0}) page.hitTest(ui::Point{x, y});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    auto doc = ui::web::Document::parseHTML(fuzz::text(data, size), "http://127.0.0.1:8735/demo/article.html");
    FUZZ_CHECK(doc != nullptr);
    doc->textContent();
    doc->title();

    static const ui::ImagePtr picture =
        ui::Image::imageWithPixels(3, 2, std::vector<std::uint8_t>(3 * 2 * 4, 0x80));
    bool give = true;
    for (const auto& src : doc->imageSources()) {
        doc->setImage(src, give ? picture : nullptr);
        give = !give;
    }

    ui::web::PageLayout page = doc->layout(320, 480);
    check(*doc, page);
    if (auto width = doc->viewportWidth()) FUZZ_CHECK(std::isfinite(*width));
    return 0;
}
