#include "uikit/WebDocument.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#include <pango/pango.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

#include "foundation/Strings.h"
#include "uikit/TextLayout.h"

namespace ui::web {

namespace {

// What a page may ask for. Numbers beyond a million count as a million, so
// sums of lengths stay finite; fonts stop at 10,000 points (larger ones
// fail in the font system), and so does a page's own viewport width, as on
// the phone.
constexpr double kMaxNumber = 1e6;
constexpr double kMaxFontSize = 10000;
constexpr double kMaxViewportWidth = 10000;

// ---------------------------------------------------------------- text helpers

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

bool isHTMLSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// libxml2's HTML reader passes on bytes that are not UTF-8 in a page it
// reads as UTF-8; pango takes only valid text, so each becomes U+FFFD.
std::string validUTF8(const char* s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    const auto* end = p + std::strlen(s);
    std::string out;
    out.reserve(static_cast<std::size_t>(end - p));
    while (p < end) {
        std::size_t n = ns::utf8SequenceLength(p, end);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++p;
            continue;
        }
        out.append(reinterpret_cast<const char*>(p), n);
        p += n;
    }
    return out;
}

std::string attr(xmlNode* node, const char* name) {
    xmlChar* v = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!v) return {};
    std::string s(reinterpret_cast<const char*>(v));
    xmlFree(v);
    return s;
}

bool hasAttr(xmlNode* node, const char* name) {
    return xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

std::string nodeName(xmlNode* node) { return node->name ? lower(reinterpret_cast<const char*>(node->name)) : ""; }

std::string nodeText(xmlNode* node) {
    xmlChar* c = xmlNodeGetContent(node);
    if (!c) return {};
    std::string s(reinterpret_cast<const char*>(c));
    xmlFree(c);
    return s;
}

// ---------------------------------------------------------------- CSS values

using Declarations = std::vector<std::pair<std::string, std::string>>;

Declarations parseDeclarations(std::string_view text) {
    Declarations out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t semi = text.find(';', pos);
        if (semi == std::string_view::npos) semi = text.size();
        std::string_view decl = text.substr(pos, semi - pos);
        std::size_t colon = decl.find(':');
        if (colon != std::string_view::npos) {
            std::string prop = lower(trim(decl.substr(0, colon)));
            std::string value = trim(decl.substr(colon + 1));
            std::string lv = lower(value);
            if (std::size_t imp = lv.find("!important"); imp != std::string::npos) value = trim(value.substr(0, imp));
            if (!prop.empty()) out.emplace_back(prop, value);
        }
        pos = semi + 1;
    }
    return out;
}

// A number with its unit: "12px", "1.5em", "50%", "10pt", "8".
bool splitNumber(std::string_view v, double* number, std::string* unit) {
    std::string s = lower(trim(v));
    if (s.empty()) return false;
    char* end = nullptr;
    double d = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(d)) return false;
    *number = std::clamp(d, -kMaxNumber, kMaxNumber);
    *unit = trim(std::string_view(end));
    return true;
}

// A length in pixels (em against the font size); nullopt for auto or junk.
// Percentages come back through *percent when given.
std::optional<double> parsePixels(std::string_view v, double fontSize, double* percent = nullptr) {
    double n = 0;
    std::string unit;
    if (!splitNumber(v, &n, &unit)) return std::nullopt;
    if (unit.empty() || unit == "px") return n;
    if (unit == "pt") return n * 4.0 / 3.0;
    if (unit == "em" || unit == "rem") return n * fontSize;
    if (unit == "%") {
        if (percent) *percent = n;
        return std::nullopt;
    }
    return std::nullopt;
}

Length parseLength(std::string_view v, double fontSize) {
    double pct = -1;
    if (auto px = parsePixels(v, fontSize, &pct)) return Length{Length::Px, std::max(0.0, *px)};
    if (pct >= 0) return Length{Length::Percent, pct};
    return Length{};
}

std::optional<Color> parseColor(std::string_view v) {
    std::string s = lower(trim(v));
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (!s.empty() && s[0] == '#') {
        std::string h = s.substr(1);
        for (char c : h) {
            if (hex(c) < 0) return std::nullopt;
        }
        if (h.size() == 3) {
            return Color{hex(h[0]) * 17 / 255.0, hex(h[1]) * 17 / 255.0, hex(h[2]) * 17 / 255.0, 1};
        }
        if (h.size() == 6) {
            return Color{(hex(h[0]) * 16 + hex(h[1])) / 255.0, (hex(h[2]) * 16 + hex(h[3])) / 255.0,
                         (hex(h[4]) * 16 + hex(h[5])) / 255.0, 1};
        }
        return std::nullopt;
    }
    if (s.rfind("rgb", 0) == 0) {
        std::size_t open = s.find('('), close = s.find(')');
        if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
        std::vector<double> parts;
        std::string inner = s.substr(open + 1, close - open - 1);
        std::size_t p = 0;
        while (p <= inner.size()) {
            std::size_t comma = inner.find(',', p);
            if (comma == std::string::npos) comma = inner.size();
            parts.push_back(std::strtod(trim(inner.substr(p, comma - p)).c_str(), nullptr));
            p = comma + 1;
        }
        if (parts.size() < 3) return std::nullopt;
        auto c = [](double x) { return std::clamp(x, 0.0, 255.0) / 255.0; };
        return Color{c(parts[0]), c(parts[1]), c(parts[2]), parts.size() > 3 ? std::clamp(parts[3], 0.0, 1.0) : 1.0};
    }
    static const std::map<std::string, Color> named = {
        {"black", Color{0, 0, 0, 1}},          {"white", Color{1, 1, 1, 1}},
        {"red", Color{1, 0, 0, 1}},            {"green", Color{0, 128 / 255.0, 0, 1}},
        {"blue", Color{0, 0, 1, 1}},           {"gray", Color{128 / 255.0, 128 / 255.0, 128 / 255.0, 1}},
        {"grey", Color{128 / 255.0, 128 / 255.0, 128 / 255.0, 1}},
        {"silver", Color{192 / 255.0, 192 / 255.0, 192 / 255.0, 1}},
        {"navy", Color{0, 0, 128 / 255.0, 1}}, {"maroon", Color{128 / 255.0, 0, 0, 1}},
        {"purple", Color{128 / 255.0, 0, 128 / 255.0, 1}}, {"orange", Color{1, 165 / 255.0, 0, 1}},
        {"yellow", Color{1, 1, 0, 1}},         {"transparent", Color{0, 0, 0, 0}},
    };
    auto it = named.find(s);
    if (it != named.end()) return it->second;
    return std::nullopt;
}

std::optional<double> parseFontSize(std::string_view v, double parentSize) {
    std::string s = lower(trim(v));
    static const std::map<std::string, double> keywords = {
        {"xx-small", 9}, {"x-small", 10}, {"small", 13}, {"medium", 16},
        {"large", 18},   {"x-large", 24}, {"xx-large", 32},
    };
    if (auto it = keywords.find(s); it != keywords.end()) return it->second;
    if (s == "smaller") return parentSize / 1.2;
    if (s == "larger") return parentSize * 1.2;
    double pct = -1;
    if (auto px = parsePixels(s, parentSize, &pct)) return *px > 0 ? std::optional<double>(*px) : std::nullopt;
    if (pct > 0) return parentSize * pct / 100.0;
    return std::nullopt;
}

// <font size="N">: 1..7, or +N / -N from 3.
std::optional<double> fontTagSize(std::string_view v) {
    static const double sizes[] = {10, 13, 16, 18, 24, 32, 48};
    std::string s = trim(v);
    if (s.empty()) return std::nullopt;
    int n = std::atoi(s.c_str() + ((s[0] == '+' || s[0] == '-') ? 1 : 0));
    if (s[0] == '+') n = 3 + n;
    else if (s[0] == '-') n = 3 - n;
    n = std::clamp(n, 1, 7);
    return sizes[n - 1];
}

std::optional<TextAlignment> parseAlign(std::string_view v) {
    std::string s = lower(trim(v));
    if (s == "center" || s == "middle") return TextAlignmentCenter;
    if (s == "right") return TextAlignmentRight;
    if (s == "left") return TextAlignmentLeft;
    if (s == "justify") return TextAlignmentJustified;
    return std::nullopt;
}

// ---------------------------------------------------------------- elements

enum class Display { Inline, Block, ListItem, None };

struct Inherited {
    double fontSize = 16;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    Color color = Color::blackColor();
    std::string link;
    TextAlignment align = TextAlignmentLeft;
    bool pre = false;
    bool breakWords = false;  // a word longer than the line is broken (word-wrap: break-word)
};

struct Computed {
    Inherited in;
    Display display = Display::Inline;
    double margin[4] = {0, 0, 0, 0};  // top, right, bottom, left
    double padding[4] = {0, 0, 0, 0};
    Length width, height, maxWidth;
};

bool oneOf(const std::string& s, std::initializer_list<const char*> names) {
    for (const char* n : names) {
        if (s == n) return true;
    }
    return false;
}

bool isBlockTag(const std::string& t) {
    return oneOf(t, {"html", "body", "div", "p", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "dl", "dt", "dd",
                     "blockquote", "pre", "table", "thead", "tbody", "tfoot", "tr", "caption", "center", "section",
                     "article", "header", "footer", "nav", "aside", "form", "fieldset", "address", "figure",
                     "figcaption", "main", "hgroup", "details", "summary", "menu", "dir", "listing", "xmp",
                     "plaintext"});
}

bool isHiddenTag(const std::string& t) {
    return oneOf(t, {"head", "script", "style", "title", "meta", "link", "noscript", "template", "iframe", "object",
                     "embed", "input", "select", "textarea", "button", "option", "map", "area", "audio", "video",
                     "canvas", "svg"});
}

// Top and bottom margin of the browsers' default style sheet, in em.
double defaultVerticalMarginEm(const std::string& t) {
    if (t == "h1") return 0.67;
    if (t == "h2") return 0.83;
    if (t == "h3") return 1.0;
    if (t == "h4") return 1.33;
    if (t == "h5") return 1.67;
    if (t == "h6") return 2.33;
    if (oneOf(t, {"p", "ul", "ol", "dl", "blockquote", "pre", "figure", "menu", "dir", "form", "xmp", "listing"})) {
        return 1.0;
    }
    return 0;
}

double headingSize(const std::string& t, double parent) {
    if (t == "h1") return parent * 2.0;
    if (t == "h2") return parent * 1.5;
    if (t == "h3") return parent * 1.17;
    if (t == "h4") return parent * 1.0;
    if (t == "h5") return parent * 0.83;
    if (t == "h6") return parent * 0.67;
    return parent;
}

const Color kLinkColor{0, 0, 238 / 255.0, 1};

}  // namespace

// ---------------------------------------------------------------- Length

std::optional<double> Length::resolve(double containing) const {
    switch (unit) {
        case Px: return value;
        case Percent: return containing * value / 100.0;
        case Auto: break;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- building

class Builder {
public:
    Builder(Document& doc) : doc_(doc) {}

    void run(xmlDoc* xml) {
        xmlNode* root = xmlDocGetRootElement(xml);
        if (!root) return;
        collectHead(root);
        Computed top;
        top.in = Inherited{};
        walk(root, top);
        flush();
    }

private:
    // <title>, <base href>, <meta name=viewport> and <style> rules, anywhere.
    void collectHead(xmlNode* node) {
        for (xmlNode* n = node; n; n = n->next) {
            if (n->type != XML_ELEMENT_NODE) continue;
            std::string t = nodeName(n);
            if (t == "title" && doc_.title_.empty()) {
                doc_.title_ = trim(nodeText(n));
            } else if (t == "base" && hasAttr(n, "href")) {
                std::string href = trim(attr(n, "href"));
                if (!href.empty()) doc_.baseURL_ = resolveURL(doc_.baseURL_, href);
            } else if (t == "meta" && lower(attr(n, "name")) == "viewport") {
                parseViewport(attr(n, "content"));
            } else if (t == "style") {
                parseStyleSheet(nodeText(n));
            }
            collectHead(n->children);
        }
    }

    void parseViewport(const std::string& content) {
        std::string c = lower(content);
        std::size_t p = c.find("width");
        while (p != std::string::npos) {
            // "width" on its own, not "device-width" or "max-width"
            if (p == 0 || (!std::isalnum(static_cast<unsigned char>(c[p - 1])) && c[p - 1] != '-')) break;
            p = c.find("width", p + 5);
        }
        if (p == std::string::npos) return;
        std::size_t eq = c.find('=', p);
        if (eq == std::string::npos) return;
        std::size_t end = c.find_first_of(",;", eq);
        std::string value = trim(c.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1));
        double w = std::strtod(value.c_str(), nullptr);
        if (w > 0) doc_.viewportWidth_ = std::min(w, kMaxViewportWidth);
    }

    // Rules "sel, sel { decls }" whose selectors are element names (or "*").
    void parseStyleSheet(const std::string& css) {
        std::string text;
        // Drop comments.
        for (std::size_t i = 0; i < css.size();) {
            if (css.compare(i, 2, "/*") == 0) {
                std::size_t e = css.find("*/", i + 2);
                i = e == std::string::npos ? css.size() : e + 2;
            } else {
                text.push_back(css[i++]);
            }
        }
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t open = text.find('{', pos);
            if (open == std::string::npos) break;
            std::size_t close = text.find('}', open);
            if (close == std::string::npos) close = text.size();
            std::string selectors = text.substr(pos, open - pos);
            if (selectors.find('@') != std::string::npos) {  // @media and the like: skip the block
                int depth = 0;
                std::size_t i = open;
                for (; i < text.size(); ++i) {
                    if (text[i] == '{') ++depth;
                    if (text[i] == '}' && --depth == 0) break;
                }
                pos = i + 1;
                continue;
            }
            Declarations decls = parseDeclarations(std::string_view(text).substr(open + 1, close - open - 1));
            std::size_t s = 0;
            while (s <= selectors.size()) {
                std::size_t comma = selectors.find(',', s);
                if (comma == std::string::npos) comma = selectors.size();
                std::string sel = lower(trim(selectors.substr(s, comma - s)));
                bool plain = !sel.empty() && std::all_of(sel.begin(), sel.end(), [](char c) {
                    return std::isalnum(static_cast<unsigned char>(c)) || c == '*';
                });
                if (plain) {
                    auto& into = rules_[sel];
                    into.insert(into.end(), decls.begin(), decls.end());
                }
                s = comma + 1;
            }
            pos = close + 1;
        }
    }

    Computed compute(xmlNode* n, const std::string& t, const Computed& parent) {
        Computed c;
        c.in = parent.in;
        c.display = isBlockTag(t) ? Display::Block : Display::Inline;
        if (t == "li") c.display = Display::ListItem;
        // Defaults of the tag.
        if (t.size() == 2 && t[0] == 'h' && t[1] >= '1' && t[1] <= '6') {
            c.in.fontSize = headingSize(t, parent.in.fontSize);
            c.in.bold = true;
        }
        if (oneOf(t, {"b", "strong", "th", "dt"})) c.in.bold = true;
        if (oneOf(t, {"i", "em", "cite", "var", "dfn", "address"})) c.in.italic = true;
        if (oneOf(t, {"u", "ins"})) c.in.underline = true;
        if (t == "small") c.in.fontSize = parent.in.fontSize / 1.2;
        if (t == "big") c.in.fontSize = parent.in.fontSize * 1.2;
        if (oneOf(t, {"pre", "xmp", "listing", "plaintext"})) c.in.pre = true;
        if (t == "center" || t == "th") c.in.align = TextAlignmentCenter;
        if (t == "a" && hasAttr(n, "href")) {
            c.in.link = resolveURL(doc_.baseURL_, trim(attr(n, "href")));
            c.in.color = kLinkColor;
            c.in.underline = true;
        }
        // Presentational attributes.
        if (hasAttr(n, "align") && t != "img") {
            if (auto a = parseAlign(attr(n, "align"))) c.in.align = *a;
        }
        if (t == "font") {
            if (hasAttr(n, "size")) {
                if (auto s = fontTagSize(attr(n, "size"))) c.in.fontSize = *s;
            }
            if (hasAttr(n, "color")) {
                if (auto col = parseColor(attr(n, "color"))) c.in.color = *col;
            }
        }
        if (t == "img" || t == "table") {
            if (hasAttr(n, "width")) c.width = parseLength(attr(n, "width"), c.in.fontSize);
            if (hasAttr(n, "height")) c.height = parseLength(attr(n, "height"), c.in.fontSize);
        }
        // Style rules, then the element's own style.
        Declarations decls;
        for (const char* key : {"*", t.c_str()}) {
            auto it = rules_.find(key);
            if (it != rules_.end()) decls.insert(decls.end(), it->second.begin(), it->second.end());
        }
        if (hasAttr(n, "style")) {
            Declarations own = parseDeclarations(attr(n, "style"));
            decls.insert(decls.end(), own.begin(), own.end());
        }
        // Font first: em lengths below depend on it.
        for (const auto& [prop, value] : decls) {
            if (prop == "font-size") {
                if (auto s = parseFontSize(value, parent.in.fontSize)) c.in.fontSize = *s;
            }
        }
        c.in.fontSize = std::min(c.in.fontSize, kMaxFontSize);
        double em = c.in.fontSize;
        double vm = defaultVerticalMarginEm(t) * em;
        c.margin[0] = c.margin[2] = vm;
        if (t == "body") c.margin[0] = c.margin[1] = c.margin[2] = c.margin[3] = 8;
        if (t == "blockquote") c.margin[1] = c.margin[3] = 40;
        if (oneOf(t, {"ul", "ol", "menu", "dir"})) c.padding[3] = 40;
        if (t == "dd") c.margin[3] = 40;
        for (const auto& [prop, value] : decls) {
            std::string v = lower(value);
            if (prop == "font-weight") {
                double w = std::strtod(v.c_str(), nullptr);
                c.in.bold = v == "bold" || v == "bolder" || w >= 600;
            } else if (prop == "font-style") {
                c.in.italic = v == "italic" || v == "oblique";
            } else if (prop == "color") {
                if (auto col = parseColor(v)) c.in.color = *col;
            } else if (prop == "text-align") {
                if (auto a = parseAlign(v)) c.in.align = *a;
            } else if (prop == "text-decoration") {
                c.in.underline = v.find("underline") != std::string::npos;
            } else if (prop == "display") {
                if (v == "none") c.display = Display::None;
                else if (v == "block" || v == "flex" || v == "table" || v == "table-row") c.display = Display::Block;
                else if (v == "list-item") c.display = Display::ListItem;
                else if (v.rfind("inline", 0) == 0 || v == "table-cell") c.display = Display::Inline;
            } else if (prop == "word-wrap" || prop == "overflow-wrap") {
                c.in.breakWords = v == "break-word" || v == "anywhere";
            } else if (prop == "word-break") {
                c.in.breakWords = v == "break-all" || v == "break-word";
            } else if (prop == "white-space") {
                c.in.pre = v == "pre" || v == "pre-wrap" || v == "pre-line";
            } else if (prop == "width") {
                c.width = parseLength(v, em);
            } else if (prop == "height") {
                c.height = parseLength(v, em);
            } else if (prop == "max-width") {
                c.maxWidth = parseLength(v, em);
            } else if (prop == "margin" || prop == "padding") {
                double* box = prop == "margin" ? c.margin : c.padding;
                std::vector<double> vals;
                std::size_t p = 0;
                while (p < v.size()) {
                    while (p < v.size() && std::isspace(static_cast<unsigned char>(v[p]))) ++p;
                    std::size_t e = p;
                    while (e < v.size() && !std::isspace(static_cast<unsigned char>(v[e]))) ++e;
                    if (e > p) vals.push_back(std::max(0.0, parsePixels(v.substr(p, e - p), em).value_or(0)));
                    p = e;
                }
                if (vals.size() == 1) vals = {vals[0], vals[0], vals[0], vals[0]};
                if (vals.size() == 2) vals = {vals[0], vals[1], vals[0], vals[1]};
                if (vals.size() == 3) vals = {vals[0], vals[1], vals[2], vals[1]};
                if (vals.size() >= 4) {
                    for (int i = 0; i < 4; ++i) box[i] = vals[static_cast<std::size_t>(i)];
                }
            } else {
                static const char* sides[] = {"-top", "-right", "-bottom", "-left"};
                for (int i = 0; i < 4; ++i) {
                    if (prop == std::string("margin") + sides[i]) c.margin[i] = std::max(0.0, parsePixels(v, em).value_or(0));
                    if (prop == std::string("padding") + sides[i]) c.padding[i] = std::max(0.0, parsePixels(v, em).value_or(0));
                }
            }
        }
        return c;
    }

    void walk(xmlNode* first, const Computed& parent) {
        for (xmlNode* n = first; n; n = n->next) {
            if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
                if (n->content) appendText(reinterpret_cast<const char*>(n->content), parent.in);
                continue;
            }
            if (n->type != XML_ELEMENT_NODE) continue;
            std::string t = nodeName(n);
            if (isHiddenTag(t)) continue;
            Computed c = compute(n, t, parent);
            if (c.display == Display::None) continue;
            if (t == "br") {
                lineBreak(parent.in);
                continue;
            }
            if (t == "img") {
                picture(n, c);
                continue;
            }
            if (t == "hr") {
                openBlock(c, 0.5 * c.in.fontSize, 0.5 * c.in.fontSize);
                flush();
                Item rule;
                rule.kind = Item::Rule;
                doc_.items_.push_back(rule);
                closeBlock(c, 0.5 * c.in.fontSize);
                continue;
            }
            bool cell = t == "td" || t == "th";
            if (cell && !text_.empty()) pendingSpace_ = true;
            if (c.display == Display::Inline) {
                walk(n->children, c);
                if (cell) pendingSpace_ = true;
                continue;
            }
            openBlock(c, c.margin[0], c.margin[2]);
            if (t == "ol" || t == "ul") lists_.push_back(List{t == "ol", 0});
            if (c.display == Display::ListItem) {
                std::string marker = "\u2022 ";
                if (!lists_.empty() && lists_.back().ordered) {
                    marker = std::to_string(++lists_.back().counter) + ". ";
                }
                appendRaw(marker, c.in);
            }
            walk(n->children, c);
            if (t == "ol" || t == "ul") {
                if (!lists_.empty()) lists_.pop_back();
            }
            closeBlock(c, c.margin[2]);
        }
    }

    void openBlock(const Computed& c, double top, double) {
        flush();
        Item it;
        it.kind = Item::BlockStart;
        it.marginTop = top;
        it.marginLeft = c.margin[3];
        it.marginRight = c.margin[1];
        it.paddingTop = c.padding[0];
        it.paddingLeft = c.padding[3];
        it.paddingRight = c.padding[1];
        it.width = c.width;
        it.maxWidth = c.maxWidth;
        doc_.items_.push_back(it);
        blocks_.push_back(BlockText{c.in.align, c.in.breakWords});
    }

    void closeBlock(const Computed& c, double bottom) {
        flush();
        Item it;
        it.kind = Item::BlockEnd;
        it.marginBottom = bottom;
        it.paddingBottom = c.padding[2];
        doc_.items_.push_back(it);
        if (!blocks_.empty()) blocks_.pop_back();
    }

    void picture(xmlNode* n, const Computed& c) {
        flush();
        Item it;
        it.kind = Item::Picture;
        std::string src = trim(attr(n, "src"));
        it.src = src.empty() ? std::string() : resolveURL(doc_.baseURL_, src);
        it.alt = attr(n, "alt");
        it.link = c.in.link;
        it.width = c.width;
        it.height = c.height;
        it.maxWidth = c.maxWidth;
        it.alignment = blocks_.empty() ? TextAlignmentLeft : blocks_.back().align;
        doc_.items_.push_back(it);
    }

    // Adds text with the span style, starting a new span when the style changes.
    void appendRaw(const std::string& s, const Inherited& in) {
        if (s.empty()) return;
        bool same = !spans_.empty() && spans_.back().end == text_.size() && spans_.back().fontSize == in.fontSize &&
                    spans_.back().bold == in.bold && spans_.back().italic == in.italic &&
                    spans_.back().underline == in.underline && spans_.back().color == in.color &&
                    spans_.back().link == in.link;
        if (!same) {
            Span sp;
            sp.start = text_.size();
            sp.fontSize = in.fontSize;
            sp.bold = in.bold;
            sp.italic = in.italic;
            sp.underline = in.underline;
            sp.color = in.color;
            sp.link = in.link;
            spans_.push_back(sp);
        }
        text_ += s;
        spans_.back().end = text_.size();
        lineFontSize_ = in.fontSize;
    }

    void appendText(const char* raw, const Inherited& in) {
        const std::string valid = validUTF8(raw);
        const char* s = valid.c_str();
        std::string out;
        if (in.pre) {
            if (pendingSpace_) out.push_back(' ');
            pendingSpace_ = false;
            for (const char* p = s; *p; ++p) {
                if (*p == '\r') continue;
                out.push_back(*p);
            }
            appendRaw(out, in);
            return;
        }
        for (const char* p = s; *p; ++p) {
            if (isHTMLSpace(*p)) {
                bool atLineStart = text_.empty() && out.empty();
                bool afterBreak = (out.empty() ? (!text_.empty() && text_.back() == '\n') : out.back() == '\n');
                if (!atLineStart && !afterBreak) pendingSpace_ = true;
                continue;
            }
            if (pendingSpace_) {
                bool lastIsSpace = out.empty() ? (!text_.empty() && text_.back() == ' ') : out.back() == ' ';
                if (!lastIsSpace) out.push_back(' ');
                pendingSpace_ = false;
            }
            out.push_back(*p);
        }
        appendRaw(out, in);
    }

    void lineBreak(const Inherited& in) {
        pendingSpace_ = false;
        appendRaw("\n", in);
        hasBreak_ = true;
    }

    void flush() {
        pendingSpace_ = false;
        if (!text_.empty() && text_.back() == '\n') {  // a final break ends the line it is on
            text_.pop_back();
            for (Span& s : spans_) s.end = std::min(s.end, text_.size());
        }
        while (!spans_.empty() && spans_.back().start >= spans_.back().end) spans_.pop_back();
        if (!text_.empty() || hasBreak_) {
            Item it;
            it.kind = Item::Text;
            it.text = std::move(text_);
            it.spans = std::move(spans_);
            it.alignment = blocks_.empty() ? TextAlignmentLeft : blocks_.back().align;
            it.breakWords = !blocks_.empty() && blocks_.back().breakWords;
            it.lineFontSize = lineFontSize_;
            doc_.items_.push_back(std::move(it));
        }
        text_.clear();
        spans_.clear();
        hasBreak_ = false;
    }

    struct List {
        bool ordered = false;
        int counter = 0;
    };

    Document& doc_;
    std::map<std::string, Declarations> rules_;
    std::string text_;
    std::vector<Span> spans_;
    bool pendingSpace_ = false;
    bool hasBreak_ = false;
    double lineFontSize_ = 16;
    // The text settings of the blocks open, innermost last.
    struct BlockText {
        TextAlignment align = TextAlignmentLeft;
        bool breakWords = false;
    };
    std::vector<BlockText> blocks_;
    std::vector<List> lists_;
};

namespace {

// A charset named by the page itself ("<meta charset=...>" or http-equiv).
bool declaresCharset(std::string_view html) {
    std::string head = lower(html.substr(0, std::min<std::size_t>(html.size(), 2048)));
    return head.find("charset") != std::string::npos;
}

void silentError(void*, const char*, ...) {}

}  // namespace

DocumentPtr Document::parseHTML(std::string_view html, const std::string& baseURL, const std::string& charset) {
    auto doc = std::make_shared<Document>(Private{});
    doc->baseURL_ = baseURL;
    if (html.empty()) return doc;
    const char* encoding = !charset.empty() ? charset.c_str() : declaresCharset(html) ? nullptr : "UTF-8";
    xmlGenericErrorFunc oldHandler = xmlGenericError;
    void* oldContext = xmlGenericErrorContext;
    xmlSetGenericErrorFunc(nullptr, silentError);
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    const char* url = baseURL.empty() ? nullptr : baseURL.c_str();
    int size = static_cast<int>(std::min<std::size_t>(html.size(), INT32_MAX));
    xmlDoc* xml = htmlReadMemory(html.data(), size, url, encoding, options);
    if (!xml && encoding && !charset.empty()) xml = htmlReadMemory(html.data(), size, url, nullptr, options);  // unknown charset
    xmlSetGenericErrorFunc(oldContext, oldHandler);
    if (!xml) return doc;
    Builder(*doc).run(xml);
    xmlFreeDoc(xml);
    return doc;
}

std::string Document::textContent() const {
    std::string out;
    for (const Item& it : items_) {
        if (it.kind != Item::Text) continue;
        if (!out.empty()) out += "\n";
        out += it.text;
    }
    return out;
}

std::vector<std::string> Document::imageSources() const {
    std::vector<std::string> out;
    for (const Item& it : items_) {
        if (it.kind == Item::Picture && !it.src.empty() && std::find(out.begin(), out.end(), it.src) == out.end()) {
            out.push_back(it.src);
        }
    }
    return out;
}

void Document::setImage(const std::string& src, ImagePtr image) {
    for (auto& [s, img] : images_) {
        if (s == src) {
            img = std::move(image);
            return;
        }
    }
    images_.emplace_back(src, std::move(image));
}

ImagePtr Document::imageFor(const std::string& src) const {
    for (const auto& [s, img] : images_) {
        if (s == src) return img;
    }
    return nullptr;
}

// ---------------------------------------------------------------- layout

namespace {

PangoContext* webContext() {
    static PangoContext* ctx = text::newContext();
    return ctx;
}

std::shared_ptr<PangoLayout> makeTextLayout(const Item& it, double width) {
    Font base = Font::systemFontOfSize(16);
    PangoLayout* layout = text::newLayout(webContext(), it.text, base, std::max(width, 1.0), LineBreakByWordWrapping, 0,
                                          it.alignment);
    // Between words only, unless the page says otherwise: a longer word runs
    // past the line, as in browsers.
    if (!it.breakWords) pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    PangoAttrList* attrs = pango_attr_list_copy(pango_layout_get_attributes(layout));
    for (const Span& s : it.spans) {
        Font f = s.bold ? Font::boldSystemFontOfSize(s.fontSize) : Font::systemFontOfSize(s.fontSize);
        PangoFontDescription* d = text::newFontDescription(f);
        if (s.italic) pango_font_description_set_style(d, PANGO_STYLE_ITALIC);
        auto place = [&](PangoAttribute* a) {
            a->start_index = static_cast<guint>(s.start);
            a->end_index = static_cast<guint>(s.end);
            pango_attr_list_insert(attrs, a);
        };
        place(pango_attr_font_desc_new(d));
        pango_font_description_free(d);
        auto channel = [](double v) { return static_cast<guint16>(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); };
        place(pango_attr_foreground_new(channel(s.color.red), channel(s.color.green), channel(s.color.blue)));
        if (s.underline) place(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    }
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
    return std::shared_ptr<PangoLayout>(layout, [](PangoLayout* l) { g_object_unref(l); });
}

double lineHeightOf(double fontSize) {
    Font f = Font::systemFontOfSize(fontSize);
    return f.lineHeight();
}

// The height of a text layout, line by line: pango's own total is an int
// of 1/1024 points and wraps past two million points (thousands of lines of
// the largest type).
double layoutHeight(PangoLayout* layout) {
    double h = 0;
    for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
        PangoRectangle logical;
        pango_layout_line_get_extents(static_cast<PangoLayoutLine*>(l->data), nullptr, &logical);
        h += static_cast<double>(logical.height) / PANGO_SCALE;
    }
    return h;
}

long wholePoints(double v) { return static_cast<long>(std::ceil(v - 1e-6)); }

}  // namespace

PageLayout Document::layout(double viewWidth, double viewHeight) const {
    PageLayout page;
    double width = viewportWidth_.value_or(viewWidth);
    if (!(width > 0)) width = 0;
    page.layoutWidth_ = width;
    page.viewport_ = Size{viewWidth, viewHeight};

    struct Frame {
        double left, right;
    };
    std::vector<Frame> stack{Frame{0, 0}};
    double y = 0;
    double pending = 0;  // collapsing vertical margin not yet placed
    double right = width;
    for (const Item& it : items_) {
        const Frame& f = stack.back();
        double avail = std::max(0.0, width - f.left - f.right);
        switch (it.kind) {
            case Item::BlockStart: {
                pending = std::max(pending, it.marginTop);
                if (it.paddingTop > 0) {
                    y += pending + it.paddingTop;
                    pending = 0;
                }
                Frame inner{f.left + it.marginLeft + it.paddingLeft, f.right + it.marginRight + it.paddingRight};
                const double room = std::max(0.0, avail - it.marginLeft - it.paddingLeft - it.marginRight - it.paddingRight);
                if (std::optional<double> w = it.width.resolve(room)) {
                    if (auto mw = it.maxWidth.resolve(room); mw && *w > *mw) w = *mw;
                    // The content is as wide as set, past the right edge when wider.
                    const double content = std::max(0.0, *w);
                    inner.right = width - inner.left - content;
                    right = std::max(right, inner.left + content + it.paddingRight + it.marginRight + f.right);
                }
                stack.push_back(inner);
                break;
            }
            case Item::BlockEnd: {
                if (stack.size() > 1) stack.pop_back();
                if (it.paddingBottom > 0) {
                    y += pending + it.paddingBottom;
                    pending = 0;
                }
                pending = std::max(pending, it.marginBottom);
                break;
            }
            case Item::Text: {
                y += pending;
                pending = 0;
                Box b;
                b.kind = Box::Text;
                b.text = it.text;
                b.spans = it.spans;
                double h = 0;
                if (it.text.empty()) {
                    h = lineHeightOf(it.lineFontSize);
                } else {
                    b.layout = makeTextLayout(it, avail);
                    h = layoutHeight(b.layout.get());
                    PangoRectangle logical;
                    pango_layout_get_extents(b.layout.get(), nullptr, &logical);
                    const double used = static_cast<double>(std::max(0, logical.x + logical.width)) / PANGO_SCALE;
                    right = std::max(right, f.left + used + std::max(0.0, f.right));
                }
                b.frame = Rect(f.left, y, avail, h);
                page.boxes_.push_back(std::move(b));
                y += h;
                break;
            }
            case Item::Picture: {
                y += pending;
                pending = 0;
                ImagePtr img = imageFor(it.src);
                std::optional<double> w = it.width.resolve(avail);
                std::optional<double> h = it.height.isAuto() || it.height.unit == Length::Percent
                                              ? std::nullopt
                                              : it.height.resolve(avail);
                double iw = img ? img->size().width : 0, ih = img ? img->size().height : 0;
                bool derivedHeight = !h.has_value();
                if (!w && !h) {
                    w = iw;
                    h = ih;
                } else if (w && !h) {
                    h = iw > 0 ? *w * ih / iw : 0;
                } else if (!w && h) {
                    w = ih > 0 ? *h * iw / ih : 0;
                }
                if (auto mw = it.maxWidth.resolve(avail); mw && *w > *mw) {
                    if (derivedHeight && *w > 0) *h = *h * *mw / *w;
                    *w = *mw;
                }
                double x = f.left;
                if (it.alignment == TextAlignmentCenter) x = f.left + std::max(0.0, (avail - *w) / 2);
                if (it.alignment == TextAlignmentRight) x = f.left + std::max(0.0, avail - *w);
                Box b;
                b.kind = Box::Picture;
                b.frame = Rect(x, y, *w, *h);
                b.src = it.src;
                b.link = it.link;
                b.image = img;
                page.boxes_.push_back(std::move(b));
                right = std::max(right, x + *w + std::max(0.0, f.right));
                y += *h;
                break;
            }
            case Item::Rule: {
                y += pending;
                pending = 0;
                Box b;
                b.kind = Box::Rule;
                b.frame = Rect(f.left, y, avail, 2);
                page.boxes_.push_back(std::move(b));
                y += 2;
                break;
            }
        }
    }
    y += pending;
    page.content_ = Size{right, y};
    return page;
}

long PageLayout::scrollWidth() const { return wholePoints(std::max(content_.width, viewport_.width)); }

long PageLayout::scrollHeight() const { return wholePoints(std::max(content_.height, viewport_.height)); }

namespace {

std::string linkAtIndex(const Box& b, int index) {
    for (const Span& s : b.spans) {
        if (static_cast<std::size_t>(index) >= s.start && static_cast<std::size_t>(index) < s.end) return s.link;
    }
    return {};
}

}  // namespace

Hit PageLayout::hitTest(Point p) const {
    Hit hit;
    for (const Box& b : boxes_) {
        if (!b.frame.contains(p)) continue;
        if (b.kind == Box::Picture) {
            hit.imageURL = b.src;
            hit.linkURL = b.link;
            return hit;
        }
        if (b.kind == Box::Text && b.layout) {
            int index = 0, trailing = 0;
            int px = static_cast<int>(std::lround((p.x - b.frame.origin.x) * PANGO_SCALE));
            int py = static_cast<int>(std::lround((p.y - b.frame.origin.y) * PANGO_SCALE));
            if (pango_layout_xy_to_index(b.layout.get(), px, py, &index, &trailing)) {
                hit.linkURL = linkAtIndex(b, index);
            }
            return hit;
        }
        return hit;
    }
    return hit;
}

std::optional<Rect> PageLayout::frameOfLink(const std::string& url) const {
    for (const Box& b : boxes_) {
        if (b.kind == Box::Picture && b.link == url) return b.frame;
        if (b.kind != Box::Text || !b.layout) continue;
        for (const Span& s : b.spans) {
            if (s.link != url || s.end <= s.start) continue;
            PangoRectangle pos;
            pango_layout_index_to_pos(b.layout.get(), static_cast<int>(s.start), &pos);
            return Rect(b.frame.origin.x + static_cast<double>(pos.x) / PANGO_SCALE,
                        b.frame.origin.y + static_cast<double>(pos.y) / PANGO_SCALE,
                        std::max(1.0, std::fabs(static_cast<double>(pos.width)) / PANGO_SCALE),
                        static_cast<double>(pos.height) / PANGO_SCALE);
        }
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- URLs

namespace {

struct URLParts {
    std::string scheme, authority, path, query, fragment;
    bool hasAuthority = false, hasQuery = false, hasFragment = false;
};

std::optional<std::string> schemeOf(const std::string& s) {
    std::size_t i = 0;
    if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return std::nullopt;
    while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '+' || s[i] == '-' || s[i] == '.')) {
        ++i;
    }
    if (i < s.size() && s[i] == ':') return s.substr(0, i);
    return std::nullopt;
}

URLParts split(const std::string& s) {
    URLParts u;
    std::string rest = s;
    if (auto sc = schemeOf(s)) {
        u.scheme = *sc;
        rest = s.substr(sc->size() + 1);
    }
    if (std::size_t h = rest.find('#'); h != std::string::npos) {
        u.fragment = rest.substr(h + 1);
        u.hasFragment = true;
        rest.resize(h);
    }
    if (std::size_t q = rest.find('?'); q != std::string::npos) {
        u.query = rest.substr(q + 1);
        u.hasQuery = true;
        rest.resize(q);
    }
    if (rest.rfind("//", 0) == 0) {
        std::size_t slash = rest.find('/', 2);
        u.authority = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
        u.hasAuthority = true;
        rest = slash == std::string::npos ? "" : rest.substr(slash);
    }
    u.path = rest;
    return u;
}

std::string removeDotSegments(const std::string& path) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    bool absolute = !path.empty() && path[0] == '/';
    bool trailing = false;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        std::string seg = path.substr(pos, slash - pos);
        trailing = false;
        if (seg == "..") {
            if (!out.empty()) out.pop_back();
            trailing = true;
        } else if (seg == ".") {
            trailing = true;
        } else if (!(seg.empty() && pos == 0 && absolute)) {
            out.push_back(seg);
        }
        pos = slash + 1;
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i) result += "/";
        result += out[i];
    }
    if (trailing && (result.empty() || result.back() != '/')) result += "/";
    return result;
}

std::string join(const URLParts& u) {
    std::string s;
    if (!u.scheme.empty()) s += u.scheme + ":";
    if (u.hasAuthority) s += "//" + u.authority;
    s += u.path;
    if (u.hasQuery) s += "?" + u.query;
    if (u.hasFragment) s += "#" + u.fragment;
    return s;
}

}  // namespace

std::string resolveURL(const std::string& base, const std::string& reference) {
    if (schemeOf(reference)) return reference;
    if (base.empty() || !schemeOf(base)) return reference;
    URLParts b = split(base);
    URLParts r = split(reference);
    URLParts t;
    t.scheme = b.scheme;
    if (r.hasAuthority) {
        t.authority = r.authority;
        t.hasAuthority = true;
        t.path = removeDotSegments(r.path);
        t.query = r.query;
        t.hasQuery = r.hasQuery;
    } else {
        t.authority = b.authority;
        t.hasAuthority = b.hasAuthority;
        if (r.path.empty()) {
            t.path = b.path;
            t.query = r.hasQuery ? r.query : b.query;
            t.hasQuery = r.hasQuery || b.hasQuery;
        } else {
            if (r.path[0] == '/') {
                t.path = removeDotSegments(r.path);
            } else {
                std::string merged;
                if (b.hasAuthority && b.path.empty()) {
                    merged = "/" + r.path;
                } else {
                    std::size_t slash = b.path.rfind('/');
                    merged = (slash == std::string::npos ? "" : b.path.substr(0, slash + 1)) + r.path;
                }
                t.path = removeDotSegments(merged);
            }
            t.query = r.query;
            t.hasQuery = r.hasQuery;
        }
    }
    t.fragment = r.fragment;
    t.hasFragment = r.hasFragment;
    return join(t);
}

// ---------------------------------------------------------------- scripts

std::string evaluateScript(std::string_view script, const Document* doc, const PageLayout* page,
                           const std::string& location) {
    std::string s = trim(script);
    while (!s.empty() && (s.back() == ';' || std::isspace(static_cast<unsigned char>(s.back())))) s.pop_back();
    std::string compact;
    for (char c : s) {
        if (!std::isspace(static_cast<unsigned char>(c))) compact.push_back(c);
    }
    if (page) {
        if (compact == "document.body.scrollHeight" || compact == "document.documentElement.scrollHeight") {
            return std::to_string(page->scrollHeight());
        }
        if (compact == "document.body.scrollWidth" || compact == "document.documentElement.scrollWidth") {
            return std::to_string(page->scrollWidth());
        }
    }
    if (compact == "document.title") return doc ? doc->title() : std::string();
    if (compact == "window.location.href" || compact == "document.location.href" || compact == "location.href" ||
        compact == "document.URL") {
        return location;
    }
    return {};
}

}  // namespace ui::web
