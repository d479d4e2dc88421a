// Result sets: stepping, column reads by index and by name, dictionaries and
// key-value coding.
#include <sqlite3.h>

#include "SQLDBTestSupport.h"
#include "foundation/Log.h"

using ns::Value;
using sqldbtest::openMemory;

namespace {

std::shared_ptr<SQLDatabase> peopleDatabase() {
    auto db = openMemory();
    EXPECT_TRUE(db->executeUpdate("create table p (Name text, Age integer, Score real, Photo blob, Born real, Note text)"));
    EXPECT_TRUE(db->executeUpdate("insert into p values (?, ?, ?, ?, ?, ?)", "李雷", 12, 9.5, ns::Bytes{1, 2, 3},
                                  ns::Date{1.5e9}, nullptr));
    EXPECT_TRUE(db->executeUpdate("insert into p values (?, ?, ?, ?, ?, ?)", "韩梅梅", 13, 8.25, ns::Bytes{4, 5},
                                  ns::Date{1.6e9}, "note"));
    return db;
}

struct Person : KeyValueCoding {
    std::string name, age;
    void setValueForKey(const Value& value, const std::string& key) override {
        if (key == "Name") {
            name = value.str();
        } else if (key == "Age") {
            age = value.str();
        } else {
            unknownKey(key);
        }
    }
};

}  // namespace

TEST(SQLResultSetStepping, EmptyResultClosesAtTheFirstNext) {
    auto db = openMemory();
    auto rs = db->executeQuery("select 1 where 0");
    ASSERT_TRUE(rs);
    EXPECT_TRUE(db->hasOpenResultSets());
    EXPECT_FALSE(rs->next());
    EXPECT_EQ(rs->statement(), nullptr);
    EXPECT_EQ(rs->parentDB(), nullptr);
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_FALSE(rs->next());
    // Reads from a closed result set give 0 or nothing.
    EXPECT_EQ(rs->intForColumnIndex(0), 0);
    EXPECT_FALSE(rs->stringForColumnIndex(0).has_value());
    EXPECT_EQ(rs->columnCount(), 0);
}

TEST(SQLResultSetStepping, RowsInOrderAndHasAnotherRow) {
    auto db = peopleDatabase();
    auto rs = db->executeQuery("select Name from p order by Age");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->query(), "select Name from p order by Age");
    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->hasAnotherRow());
    EXPECT_EQ(*rs->stringForColumnIndex(0), "李雷");
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(*rs->stringForColumnIndex(0), "韩梅梅");
    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(rs->hasAnotherRow());
}

TEST(SQLResultSetStepping, DroppingAResultSetLeavesTheConnection) {
    auto db = peopleDatabase();
    {
        auto rs = db->executeQuery("select * from p");
        ASSERT_TRUE(rs && rs->next());
        EXPECT_TRUE(db->hasOpenResultSets());
    }
    EXPECT_FALSE(db->hasOpenResultSets());
}

TEST(SQLResultSetColumns, EveryGetterByIndexAndByName) {
    auto db = peopleDatabase();
    auto rs = db->executeQuery("select * from p order by Age");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->columnCount(), 6);
    EXPECT_EQ(rs->columnNameForIndex(3), "Photo");
    EXPECT_EQ(rs->columnIndexForName("photo"), 3);

    EXPECT_EQ(rs->intForColumn("AGE"), 12);
    EXPECT_EQ(rs->longForColumn("age"), 12);
    EXPECT_EQ(rs->longLongIntForColumn("Age"), 12);
    EXPECT_EQ(rs->unsignedLongLongIntForColumn("Age"), 12u);
    EXPECT_TRUE(rs->boolForColumn("Age"));
    EXPECT_EQ(rs->doubleForColumn("score"), 9.5);
    EXPECT_EQ(*rs->stringForColumn("name"), "李雷");
    EXPECT_STREQ(rs->UTF8StringForColumnName("name"), "李雷");
    EXPECT_EQ(rs->dateForColumn("born")->seconds, 1.5e9);
    EXPECT_EQ(*rs->dataForColumn("photo"), (ns::Bytes{1, 2, 3}));
    auto view = rs->dataNoCopyForColumn("photo");
    ASSERT_TRUE(view);
    EXPECT_EQ(ns::Bytes(view->begin(), view->end()), (ns::Bytes{1, 2, 3}));
    EXPECT_EQ(rs->objectForColumnName("age"), Value(12));
    EXPECT_EQ(rs->objectForColumnName("score"), Value(9.5));
    EXPECT_EQ(rs->objectForColumnName("photo"), Value(ns::Bytes{1, 2, 3}));
    EXPECT_EQ(rs->objectForColumnName("name"), Value("李雷"));
    EXPECT_EQ(rs->intForColumn("score"), 9);  // SQLite's own conversion

    // The copy stays; the view is only valid for the current row.
    ns::Bytes copy = *rs->dataForColumnIndex(3);
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(copy, (ns::Bytes{1, 2, 3}));
    EXPECT_EQ(*rs->dataForColumnIndex(3), (ns::Bytes{4, 5}));
}

TEST(SQLResultSetColumns, NullsAndUnknownNames) {
    ns::LogCapture log;
    auto db = peopleDatabase();
    auto rs = db->executeQuery("select * from p order by Age");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_TRUE(rs->objectForColumnName("note").isNull());
    EXPECT_FALSE(rs->stringForColumn("note").has_value());
    EXPECT_EQ(rs->intForColumn("note"), 0);
    EXPECT_TRUE(rs->columnIsNull("note"));
    EXPECT_FALSE(rs->columnIsNull("name"));
    EXPECT_FALSE(rs->dateForColumn("note").has_value());
    EXPECT_FALSE(rs->dataForColumn("note").has_value());
    EXPECT_EQ(rs->UTF8StringForColumnName("note"), nullptr);

    EXPECT_EQ(rs->columnIndexForName("Height"), -1);
    EXPECT_TRUE(log.contains("Warning: I could not find the column named 'height'."));
    EXPECT_EQ(rs->intForColumn("height"), 0);
    EXPECT_EQ(rs->doubleForColumn("height"), 0.0);
    EXPECT_FALSE(rs->stringForColumn("height").has_value());
    EXPECT_TRUE(rs->objectForColumnName("height").isNull());
    EXPECT_TRUE(rs->columnIsNull("height"));
    EXPECT_EQ(rs->intForColumnIndex(99), 0);
    EXPECT_EQ(db->lastErrorCode(), SQLITE_ROW);  // bad indexes never reach SQLite
}

TEST(SQLResultSetColumns, ZeroLengthBlobIsEmptyDataNotNothing) {
    auto db = openMemory();
    auto rs = db->executeQuery("select ?, x''", ns::Bytes{});
    ASSERT_TRUE(rs && rs->next());
    ASSERT_TRUE(rs->dataForColumnIndex(0).has_value());
    EXPECT_TRUE(rs->dataForColumnIndex(0)->empty());
    EXPECT_TRUE(rs->dataNoCopyForColumnIndex(1)->empty());
    EXPECT_EQ(rs->objectForColumnIndex(1), Value(ns::Bytes{}));
}

TEST(SQLResultSetDictionaries, CaseOfNamesAndDuplicateColumns) {
    ns::LogCapture log;
    auto db = peopleDatabase();
    auto rs = db->executeQuery("select Name, Age, 1 as X, 2 as x from p order by Age");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->columnIndexForName("x"), 3);  // the later of two equal names wins
    EXPECT_EQ(rs->intForColumn("X"), 2);

    Value exact = rs->resultDictionary();
    EXPECT_EQ(exact["Name"], Value("李雷"));
    EXPECT_EQ(exact["Age"], Value(12));
    EXPECT_EQ(exact["X"], Value(1));
    EXPECT_EQ(exact["x"], Value(2));

    Value lower = rs->resultDict();
    EXPECT_EQ(lower.keys(), (std::vector<std::string>{"name", "age", "x"}));
    EXPECT_EQ(lower["x"], Value(2));

    while (rs->next()) {
    }
    EXPECT_TRUE(rs->resultDictionary().isNil());
    EXPECT_TRUE(rs->resultDict().isNil());
    EXPECT_TRUE(log.contains("Warning: There seem to be no columns in this set."));
}

TEST(SQLResultSetColumns, NamesMatchWithoutRegardToTheCaseOfAnyLetter) {
    struct Case {
        const char* column;
        const char* asked;
        const char* key;  // in resultDict
    } cases[] = {
        {"ÄBC", "äbc", "äbc"},       {"äbc", "ÄBC", "äbc"},       {"ИМЯ", "имя", "имя"},
        {"ΌΝΟΜΑ", "όνομα", "όνομα"}, {"ＡＢＣ", "ａｂｃ", "ａｂｃ"}, {"Mixed", "mIXED", "mixed"},
    };
    auto db = openMemory();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        ASSERT_TRUE(db->executeUpdate(ns::format("create table \"t%@\" (\"%@\")", c.column, c.column)));
        EXPECT_TRUE(db->columnExists_inTableWithName(c.asked, ns::format("t%@", c.column)));
        auto rs = db->executeQuery(ns::format("select 7 as \"%@\"", c.column));
        ASSERT_TRUE(rs && rs->next());
        EXPECT_EQ(rs->columnIndexForName(c.asked), 0);
        EXPECT_EQ(rs->intForColumn(c.asked), 7);
        EXPECT_EQ(rs->resultDict().keys(), std::vector<std::string>{c.key});
    }
    // A name that is not UTF-8 still has its ASCII letters folded.
    auto rs = db->executeQuery("select 8 as \"A\xff\"");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumn("a\xff"), 8);
}

TEST(SQLResultSetDictionaries, KeyValueCodingSetsTextOfNonNullColumns) {
    auto db = peopleDatabase();
    auto rs = db->executeQuery("select Name, Age, Note from p order by Age");
    ASSERT_TRUE(rs && rs->next());
    Person person;
    rs->kvcMagic(person);  // Note is NULL: not set, so the unknown key is never raised
    EXPECT_EQ(person.name, "李雷");
    EXPECT_EQ(person.age, "12");
    ASSERT_TRUE(rs->next());
    EXPECT_THROW(rs->kvcMagic(person), SQLDBException);

    Value dict = Value::dictionary();
    rs->kvcMagic(dict);
    EXPECT_EQ(dict["Note"], Value("note"));
    EXPECT_EQ(dict["Age"], Value("13"));
    try {
        Person other;
        rs->kvcMagic(other);
    } catch (const SQLDBException& e) {
        EXPECT_EQ(e.name(), "NSUnknownKeyException");
    }
}
