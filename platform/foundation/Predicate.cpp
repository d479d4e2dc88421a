#include "foundation/Predicate.h"

#include <regex>

#include "foundation/Log.h"
#include "foundation/Strings.h"

namespace ns {

namespace {

std::wstring wide(std::string_view text) {
    std::u32string u = toUTF32(text);
    return std::wstring(u.begin(), u.end());
}

}  // namespace

struct Predicate::Compiled {
    std::wregex regex;
};

Predicate Predicate::matching(std::string_view pattern) {
    Predicate p;
    try {
        p.compiled_ = std::make_shared<const Compiled>(Compiled{std::wregex(wide(pattern), std::regex::ECMAScript)});
    } catch (const std::regex_error& e) {
        NSLog("Predicate: invalid regular expression \"%@\": %s", std::string(pattern), e.what());
    }
    return p;
}

Predicate Predicate::predicateWithFormat(std::string_view format, const Value& argument) {
    std::string f = trimWhitespaceAndNewlines(format);
    std::string_view rest = f;
    auto takeWord = [&](std::string_view word) {
        if (rest.size() < word.size() || !asciiCaseInsensitiveEqual(rest.substr(0, word.size()), word)) return false;
        std::string_view after = rest.substr(word.size());
        std::size_t blanks = after.find_first_not_of(" \t");
        if (blanks == 0 || blanks == std::string_view::npos) return false;
        rest = after.substr(blanks);
        return true;
    };
    if (takeWord("SELF") && takeWord("MATCHES")) {
        if (rest == "%@") {
            if (argument.isString()) return matching(argument.str());
            NSLog("Predicate: the pattern for \"%@\" is not a string: %@", f, argument);
            return Predicate();
        }
        if (rest.size() >= 2 && (rest.front() == '\'' || rest.front() == '"') && rest.back() == rest.front())
            return matching(rest.substr(1, rest.size() - 2));
    }
    NSLog("Predicate: unsupported format \"%@\"", f);
    return Predicate();
}

bool Predicate::evaluate(std::string_view text) const {
    if (!compiled_) return false;
    try {
        return std::regex_match(wide(text), compiled_->regex);
    } catch (const std::regex_error& e) {
        // Too complex for the matcher (deep backtracking on a long text).
        NSLog("Predicate: matching failed: %s", e.what());
        return false;
    }
}

bool Predicate::evaluateWithObject(const Value& object) const { return object.isString() && evaluate(object.str()); }

bool matchesRegex(std::string_view text, std::string_view pattern) { return Predicate::matching(pattern).evaluate(text); }

}  // namespace ns
