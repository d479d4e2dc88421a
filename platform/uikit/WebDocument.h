// The web view's page model: HTML parsed with libxml2's HTML parser into a
// simple block layout that the web view sizes itself by, answers its scripts
// from, hit-tests touches against, and that the renderer draws.
//
//   auto doc = ui::web::Document::parseHTML(html, "http://host/page.html");
//   for (const auto& src : doc->imageSources()) doc->setImage(src, fetched);  // optional
//   ui::web::PageLayout page = doc->layout(310, 90);
//   page.scrollHeight(); page.scrollWidth();
//   ui::web::Hit hit = page.hitTest(ui::Point{40, 120});   // hit.linkURL, hit.imageURL
//
// What is understood. Blocks: p, div, h1-h6, ul/ol/li, blockquote, pre,
// table rows, center, hr and the other usual block elements, each with the
// browsers' default font size and margins (margins collapse); br; inline
// b/strong, i/em, u, small/big, font (size, color), span and a (links:
// blue, underlined). Pictures (img) stand on lines of their own, sized by
// their width/height attributes or style, else by the picture itself once
// it is known, and limited by max-width. A block's width (the style's, or a
// table's width attribute) sets its content's width, which may be wider than
// the page. As in browsers, lines break between words only, so a word longer
// than the line, like a picture or a block wider than the page, widens the
// page (unless word-wrap, overflow-wrap or word-break lets it break): scrollWidth
// is the width the content takes. Styles: the style attribute and
// <style> rules whose selectors are plain element names, for font-size,
// font-weight, font-style, color, text-align, display:none, width, height,
// max-width, margin and padding (px, pt, em and %). Script, style, head and
// form controls are not shown. CSS pixels are points.
//
// Layout width: a <meta name="viewport" content="width=NNN"> with a number
// sets it; otherwise it is the view's width. Text is laid out with pango in
// the fonts the rest of the interface uses.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "uikit/Color.h"
#include "uikit/Geometry.h"
#include "uikit/Image.h"
#include "uikit/Text.h"

typedef struct _PangoLayout PangoLayout;

namespace ui::web {

// A run of text with one style.
struct Span {
    std::size_t start = 0;  // byte range in the block's text
    std::size_t end = 0;
    double fontSize = 16;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    Color color = Color::blackColor();
    std::string link;  // resolved href, or ""
};

// A length as written: nothing, pixels, or a percentage of the containing width.
struct Length {
    enum Unit { Auto, Px, Percent } unit = Auto;
    double value = 0;
    bool isAuto() const { return unit == Auto; }
    // Pixels, given the containing width; nullopt for auto.
    std::optional<double> resolve(double containing) const;
};

// The page as parsed: a flat sequence of layout items.
struct Item {
    enum Kind { BlockStart, BlockEnd, Text, Picture, Rule } kind = Text;
    // BlockStart / BlockEnd
    double marginTop = 0, marginBottom = 0, marginLeft = 0, marginRight = 0;
    double paddingTop = 0, paddingBottom = 0, paddingLeft = 0, paddingRight = 0;
    // Text
    std::string text;
    std::vector<Span> spans;
    TextAlignment alignment = TextAlignmentLeft;
    double lineFontSize = 16;  // size of an empty line made by a lone <br>
    bool breakWords = false;   // a word longer than the line is broken
    // Picture
    std::string src;  // resolved
    std::string alt;
    std::string link;
    // Picture, and BlockStart (the content's width, limited by max-width)
    Length width, height, maxWidth;
};

class Document;
using DocumentPtr = std::shared_ptr<Document>;

// One laid-out box, in page coordinates.
struct Box {
    enum Kind { Text, Picture, Rule } kind = Text;
    Rect frame;
    // Text: the pango layout (drawn at frame.origin) and its spans.
    std::shared_ptr<PangoLayout> layout;
    std::string text;
    std::vector<Span> spans;
    // Picture
    std::string src;
    std::string link;
    ImagePtr image;  // nullptr until known
};

// What lies under a point.
struct Hit {
    std::string linkURL;   // the link, or ""
    std::string imageURL;  // the picture, or ""
    bool isLink() const { return !linkURL.empty(); }
    bool isImage() const { return !imageURL.empty(); }
    bool isNothing() const { return linkURL.empty() && imageURL.empty(); }
};

class PageLayout {
public:
    // The width the page was laid out at, and the viewport it was asked for.
    double layoutWidth() const { return layoutWidth_; }
    Size viewport() const { return viewport_; }
    // Exact extent of the content (body margins included).
    Size contentSize() const { return content_; }
    // document.body.scrollWidth / scrollHeight: the content, at least the
    // viewport, in whole points.
    long scrollWidth() const;
    long scrollHeight() const;
    const std::vector<Box>& boxes() const { return boxes_; }
    // The link and/or picture under a point in page coordinates.
    Hit hitTest(Point p) const;
    // The first box of a link (for tests that tap a link by its address).
    std::optional<Rect> frameOfLink(const std::string& url) const;

private:
    friend class Document;
    double layoutWidth_ = 0;
    Size viewport_;
    Size content_;
    std::vector<Box> boxes_;
};

class Document {
public:
    // Parses the HTML; relative addresses resolve against baseURL (or stay as
    // written without one). The bytes are in `encoding` when one is given
    // (an HTTP charset), else as the page's meta charset says, else UTF-8.
    // Safe on any thread (nothing here touches the interface).
    static DocumentPtr parseHTML(std::string_view html, const std::string& baseURL,
                                 const std::string& encoding = {});

    const std::string& baseURL() const { return baseURL_; }
    const std::string& title() const { return title_; }
    // A viewport width set by the page itself.
    std::optional<double> viewportWidth() const { return viewportWidth_; }
    const std::vector<Item>& items() const { return items_; }
    // The visible text, blocks separated by "\n" (tests and dumps).
    std::string textContent() const;

    // The pictures' addresses, resolved, each once, in page order.
    std::vector<std::string> imageSources() const;
    // Supplies a picture (after fetching it); nullptr marks it as failed.
    void setImage(const std::string& src, ImagePtr image);
    ImagePtr imageFor(const std::string& src) const;

    // Lays the page out for a view of the given size.
    PageLayout layout(double viewWidth, double viewHeight) const;

    struct Private {};
    explicit Document(Private) {}

private:
    friend class Builder;
    std::string baseURL_;
    std::string title_;
    std::optional<double> viewportWidth_;
    std::vector<Item> items_;
    std::vector<std::pair<std::string, ImagePtr>> images_;
};

// Resolves a reference against a base address (RFC 3986, for http(s),
// file and the like). An absolute reference is returned as it is; without a
// base, the reference is returned unchanged.
std::string resolveURL(const std::string& base, const std::string& reference);

// Evaluates the few scripts pages are asked here against a laid-out page:
// "document.body.scrollHeight", "document.body.scrollWidth" (blanks and a
// final ";" ignored; also on documentElement), "document.title" and the page's
// address ("window.location.href" and the like). Anything else answers "", as
// a failed script does.
std::string evaluateScript(std::string_view script, const Document* doc, const PageLayout* page,
                           const std::string& location);

}  // namespace ui::web
