#include "foundation/Format.h"

#include <cstdio>

namespace ns {

namespace {

std::string cformat(const std::string& spec, auto value) {
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, spec.c_str(), value);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), spec.c_str(), value);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// Pads an object's text to the width of "%10@" or "%-10@" (rarely used).
// Appends the text, padded with spaces to the width (on the right with "-").
void appendPadded(std::string& out, std::string_view text, const std::string& flags, int width) {
    const std::size_t fill = width > 0 && static_cast<std::size_t>(width) > text.size() ? width - text.size() : 0;
    const bool left = flags.find('-') != std::string::npos;
    if (!left) out.append(fill, ' ');
    out.append(text);
    if (left) out.append(fill, ' ');
}

}  // namespace

std::string formatArgs(std::string_view fmt, const std::vector<FormatArg>& args) {
    std::string out;
    // Room for the texts as they are: a text argument may be megabytes.
    std::size_t room = fmt.size() + 16 * args.size();
    for (const auto& a : args)
        if (a.kind == FormatArg::Kind::String) room += a.s.size();
    out.reserve(room);
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        std::size_t start = i++;
        if (i < fmt.size() && fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::string flags;
        while (i < fmt.size() && std::string_view("-+ #0").find(fmt[i]) != std::string_view::npos) flags += fmt[i++];
        int width = 0;
        std::string widthText;
        while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
            widthText += fmt[i];
            width = width * 10 + (fmt[i++] - '0');
        }
        std::string precision;
        if (i < fmt.size() && fmt[i] == '.') {
            precision = ".";
            ++i;
            while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') precision += fmt[i++];
        }
        while (i < fmt.size() && std::string_view("hlqjzt").find(fmt[i]) != std::string_view::npos) ++i;
        if (i >= fmt.size()) {
            out.append(fmt.substr(start));
            break;
        }
        char conv = fmt[i++];
        const FormatArg* a = next < args.size() ? &args[next] : nullptr;
        ++next;
        std::string base = "%" + flags + widthText + precision;
        switch (conv) {
            case '@': {
                if (a && a->kind == FormatArg::Kind::String) {
                    appendPadded(out, a->s, flags, width);
                    break;
                }
                std::string text;
                if (!a) text = "(null)";
                else if (a->kind == FormatArg::Kind::Object) text = a->v.description();
                else if (a->kind == FormatArg::Kind::CString) text = a->cstr ? a->cstr : "(null)";
                else if (a->kind == FormatArg::Kind::Signed) text = std::to_string(a->i);
                else if (a->kind == FormatArg::Kind::Unsigned) text = std::to_string(a->u);
                else if (a->kind == FormatArg::Kind::Double) text = formatDouble(a->d);
                else if (a->kind == FormatArg::Kind::Char) text = std::string(1, static_cast<char>(a->i));
                else text = cformat("%p", a->p);
                appendPadded(out, text, flags, width);
                break;
            }
            case 'd':
            case 'i': {
                long long v = !a ? 0
                            : a->kind == FormatArg::Kind::Unsigned ? static_cast<long long>(a->u)
                            : a->kind == FormatArg::Kind::Double   ? static_cast<long long>(a->d)
                            : a->kind == FormatArg::Kind::Object   ? a->v.integerValue()
                                                                   : a->i;
                out += cformat(base + "lld", v);
                break;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                unsigned long long v = !a ? 0
                                     : a->kind == FormatArg::Kind::Unsigned ? a->u
                                     : a->kind == FormatArg::Kind::Double   ? static_cast<unsigned long long>(a->d)
                                     : a->kind == FormatArg::Kind::Object   ? a->v.unsignedValue()
                                     : a->kind == FormatArg::Kind::Pointer  ? reinterpret_cast<std::uintptr_t>(a->p)
                                                                            : static_cast<unsigned long long>(a->i);
                out += cformat(base + "ll" + conv, v);
                break;
            }
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a': {
                double v = !a ? 0
                         : a->kind == FormatArg::Kind::Double   ? a->d
                         : a->kind == FormatArg::Kind::Unsigned ? static_cast<double>(a->u)
                         : a->kind == FormatArg::Kind::Object   ? a->v.doubleValue()
                                                                : static_cast<double>(a->i);
                out += cformat(base + conv, v);
                break;
            }
            case 's': {
                // Up to its first NUL, as a C string.
                const std::string asCString = a && a->kind == FormatArg::Kind::String ? std::string(a->s) : std::string();
                const char* s = !a ? "(null)"
                              : a->kind == FormatArg::Kind::CString ? (a->cstr ? a->cstr : "(null)")
                              : a->kind == FormatArg::Kind::String  ? asCString.c_str()
                                                                    : nullptr;
                std::string text = s ? s : (a->kind == FormatArg::Kind::Object ? a->v.description() : "");
                out += cformat(base + "s", text.c_str());
                break;
            }
            case 'c': {
                int v = a ? static_cast<int>(a->kind == FormatArg::Kind::Unsigned ? a->u : a->i) : 0;
                out += cformat(base + "c", v);
                break;
            }
            case 'p': out += cformat("%p", a ? a->p : nullptr); break;
            default:
                // Unknown conversion: keep the text as written.
                out.append(fmt.substr(start, i - start));
                --next;
        }
    }
    return out;
}

}  // namespace ns
