// Helpers for the XML and zip tests: scratch folders in the test's app home
// and the command-line peers (xmllint, zip, unzip, zipinfo).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/Command.h"

namespace peer {

namespace fs = std::filesystem;

// A fresh folder below the app home.
inline fs::path scratch(const std::string& name) {
    const char* home = std::getenv("KL_HOME");
    fs::path dir = fs::path(home ? home : fs::temp_directory_path().c_str()) / "scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

inline void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Single-quoted for the shell.
inline std::string q(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

using Result = testsupport::CommandResult;

// Runs a shell command in a UTF-8 locale.
inline Result run(const std::string& command) { return testsupport::runCommand("LC_ALL=C.UTF-8 " + command); }

// The command ran and exited 0; else the failure names it and what it printed.
inline testing::AssertionResult ran(const std::string& command) {
    Result r = run(command);
    if (r.status == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << command << " -> " << r.status << ": " << r.output;
}

}  // namespace peer
