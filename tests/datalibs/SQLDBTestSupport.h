// Shared helpers of the SQLite access layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "SQLDB/SQLDatabase.h"

namespace sqldbtest {

// A file path inside the running test's app home.
inline std::string pathInHome(const std::string& name) {
    const char* home = std::getenv("KL_HOME");
    return std::string(home ? home : "/tmp") + "/" + name;
}

inline std::shared_ptr<SQLDatabase> openMemory() {
    auto db = SQLDatabase::databaseWithPath(nullptr);
    EXPECT_TRUE(db->open());
    return db;
}

inline std::shared_ptr<SQLDatabase> openFile(const std::string& path) {
    auto db = SQLDatabase::databaseWithPath(path);
    EXPECT_TRUE(db->open());
    return db;
}

}  // namespace sqldbtest
