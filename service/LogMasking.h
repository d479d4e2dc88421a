// What the log may show of a JSON text: the same text with the value of
// every key that names a password ("password", "new_password", any case)
// replaced by "***", so a log line keeps its shape without the secret.
//
//   ns::NSLog("content===%@", maskPasswords(argument));
//   // content==={"parameters":{"user_name":"lisi","password":"***"}}
//
// Works on any text, JSON or not: keys are found by their quotes (escapes
// such as "pass\u0077ord" included) and the rest is copied unchanged.
#pragma once

#include <string>
#include <string_view>

std::string maskPasswords(std::string_view text);
