// Regular-expression predicates with the meaning of "SELF MATCHES %@": the
// whole text must match the pattern (ECMAScript syntax, matched per Unicode
// code point; \d and [0-9] are ASCII digits only).
//
//   auto p = ns::Predicate::predicateWithFormat("SELF MATCHES %@", Value(pattern));
//   bool ok = p.evaluateWithObject(Value(text));
//
// An invalid pattern, or a format other than "SELF MATCHES <pattern>",
// evaluates false for everything, with a log line when it is made.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace ns {

class Predicate {
public:
    // "SELF MATCHES %@" takes the pattern from the argument; the pattern may
    // also be written in the format in single or double quotes.
    static Predicate predicateWithFormat(std::string_view format, const Value& argument = {});
    // A whole-text match predicate for the pattern.
    static Predicate matching(std::string_view pattern);

    // False for anything but a string that matches as a whole.
    bool evaluateWithObject(const Value& object) const;
    bool evaluate(std::string_view text) const;
    bool isValid() const { return compiled_ != nullptr; }

private:
    struct Compiled;
    std::shared_ptr<const Compiled> compiled_;
};

// One-off whole-text match; false (with a log line) for an invalid pattern.
bool matchesRegex(std::string_view text, std::string_view pattern);

}  // namespace ns
