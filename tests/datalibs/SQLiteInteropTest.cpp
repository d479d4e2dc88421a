// Files written by this layer read by the real sqlite3 program, and the reverse.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "SQLDBTestSupport.h"

using sqldbtest::openFile;
using sqldbtest::pathInHome;

namespace {

// Runs the sqlite3 command-line program on the database with the statements
// on its standard input; gives its standard output and error.
std::string runSqlite3(const std::string& database, const std::string& sql) {
    const std::string in = pathInHome("cli-in.sql");
    const std::string out = pathInHome("cli-out.txt");
    std::ofstream(in) << sql;
    std::string command = "sqlite3 -batch '" + database + "' < '" + in + "' > '" + out + "' 2>&1";
    int rc = std::system(command.c_str());
    EXPECT_EQ(rc, 0) << command;
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    return text.str();
}

}  // namespace

TEST(SQLiteInterop, WrittenHereReadBySqlite3) {
    const std::string path = pathInHome("written-here.db");
    {
        auto db = openFile(path);
        ASSERT_TRUE(db->executeUpdate("create table t (id integer primary key, name text, data blob, r real)"));
        ASSERT_TRUE(db->executeUpdate("insert into t (name, data, r) values (?, ?, ?)", "中文文本 ✓",
                                      ns::Bytes{0x00, 0xFF, 0x10, 0x80}, 2.5));
        ASSERT_TRUE(db->executeUpdate("insert into t (name, data, r) values (?, ?, ?)", "第二行", ns::Bytes{}, nullptr));
        ASSERT_TRUE(db->close());
    }
    EXPECT_EQ(runSqlite3(path, "select id, name, hex(data), typeof(data), length(data), r from t order by id;\n"),
              "1|中文文本 ✓|00FF1080|blob|4|2.5\n"
              "2|第二行||blob|0|\n");
}

TEST(SQLiteInterop, WrittenBySqlite3ReadHere) {
    const std::string path = pathInHome("written-there.db");
    EXPECT_EQ(runSqlite3(path,
                         "create table Notes (Id integer primary key, Title text, Body blob, Score real);\n"
                         "insert into Notes values (1, '汉字标题', X'00FF7F80', 1.25);\n"
                         "insert into Notes values (2, 'plain', zeroblob(3), null);\n"),
              "");
    auto db = openFile(path);
    EXPECT_TRUE(db->tableExists("notes"));
    EXPECT_TRUE(db->columnExists_inTableWithName("title", "NOTES"));
    auto rs = db->executeQuery("select * from Notes order by Id");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(*rs->stringForColumn("title"), "汉字标题");
    EXPECT_EQ(*rs->dataForColumn("body"), (ns::Bytes{0x00, 0xFF, 0x7F, 0x80}));
    EXPECT_EQ(rs->doubleForColumn("score"), 1.25);
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(*rs->dataForColumn("body"), (ns::Bytes{0, 0, 0}));
    EXPECT_TRUE(rs->objectForColumnName("score").isNull());
    EXPECT_FALSE(rs->next());
}
