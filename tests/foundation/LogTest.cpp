#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Log.h"

using ns::LogCapture;

// A capture with a test keeps only what passes it, and counts only that; an
// inner capture takes the lines while it lives; a line's trailing newlines go.
TEST(LogCapture, KeepsWhatItsTestPassesAndNests) {
    LogCapture outer;
    {
        LogCapture errors(LogCapture::Echo::No, [](std::string_view line) { return line.find("Error") == 0; });
        ns::NSLog("reply: %@", std::string(100000, 'x'));
        ns::logLine("Error one\n\n");
        ns::NSLog("Error %d", 2);
        EXPECT_EQ(errors.lines(), (std::vector<std::string>{"Error one", "Error 2"}));
        EXPECT_EQ(errors.lineCount(), 2u);
        std::vector<std::string> from;
        errors.forEachLine(1, [&](std::string_view line) { from.emplace_back(line); });
        EXPECT_EQ(from, std::vector<std::string>{"Error 2"});
    }
    ns::logLine("after");
    EXPECT_EQ(outer.lines(), std::vector<std::string>{"after"});
}
