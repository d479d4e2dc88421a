// What the program's image carries: the data libraries, which no screen
// calls, are in it whole, and the XML model's load hook sets libxml2 up as
// the program loads, before it does anything with XML.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/Command.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ProgramImageTest, TheDataLibrariesAreInTheProgram) {
    auto r = testsupport::runCommand(std::string("nm -C --defined-only ") + KL_PROGRAM_PATH +
                                     " | grep -E -o '(SQLDatabase|SQLResultSet|SQLDatabaseQueue|NSXMLNode|"
                                     "NSXMLElement|NSXMLDocument|ZipArchiver)::' | sort -u");
    if (r.output.find("not found") != std::string::npos) GTEST_SKIP() << "no nm here";
    std::set<std::string> found;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) found.insert(line);
    for (const char* cls : {"SQLDatabase::", "SQLResultSet::", "SQLDatabaseQueue::", "NSXMLNode::", "NSXMLElement::",
                            "NSXMLDocument::", "ZipArchiver::"}) {
        EXPECT_TRUE(found.count(cls)) << cls << " in:\n" << r.output;
    }
}

TEST(ProgramImageTest, TheXmlModelSetsLibxml2UpAsTheProgramLoads) {
    const fs::path notes = fs::path(std::getenv("KL_HOME")) / "xml-setup-calls";
    auto run = [&](const std::string& program) {
        fs::remove(notes);
        // The sanitizers' runtime would rather be first; the probe has none of its own.
        return testsupport::runCommand("KL_XML_SETUP_PROBE_OUT=" + notes.string() + " LD_PRELOAD=" +
                                       KL_XML_SETUP_PROBE +
                                       " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" " +
                                       program);
    };
    // --help does nothing with XML and ends before the application starts:
    // what set libxml2 up is the hook, as the image loaded.
    auto help = run(std::string(KL_PROGRAM_PATH) + " --help");
    ASSERT_EQ(help.status, 0) << help.output;
    std::string calls = readFile(notes);
    EXPECT_NE(calls.find("xmlInitParser\n"), std::string::npos) << calls;
    EXPECT_NE(calls.find("xmlThrDefSetStructuredErrorFunc\n"), std::string::npos) << calls;

    // The probe notes only what a program calls.
    auto other = run("true");
    ASSERT_EQ(other.status, 0) << other.output;
    EXPECT_FALSE(fs::exists(notes));
}

}  // namespace
