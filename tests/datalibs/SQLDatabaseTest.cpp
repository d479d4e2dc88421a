// The connection: opening, binding, the statement cache, busy handling,
// transactions, save points, functions, closing, and the additions.
#include <sqlite3.h>

#include <climits>

#include "SQLDBTestSupport.h"
#include "foundation/Log.h"

using ns::Value;
using sqldbtest::openFile;
using sqldbtest::openMemory;
using sqldbtest::pathInHome;

namespace {

template <typename... A>
std::pair<std::string, SQLDatabase::ArgumentList> extract(std::string_view format, const A&... args) {
    std::pair<std::string, SQLDatabase::ArgumentList> out;
    SQLDatabase::extractSQL(format, {ns::FormatArg::from(args)...}, out.first, out.second);
    return out;
}

}  // namespace

TEST(SQLDatabaseOpen, OpenTwiceKeepsTheHandleAndNilPathIsAFreshMemoryDatabase) {
    auto a = openMemory();
    sqlite3* handle = a->sqliteHandle();
    EXPECT_TRUE(a->open());
    EXPECT_EQ(a->sqliteHandle(), handle);
    EXPECT_TRUE(a->openWithFlags(SQLITE_OPEN_READONLY));  // already open: no second handle
    EXPECT_EQ(a->sqliteHandle(), handle);
    ASSERT_TRUE(a->executeUpdate("create table t (x)"));

    auto b = openMemory();
    EXPECT_FALSE(b->tableExists("t"));
    EXPECT_TRUE(a->tableExists("t"));
    EXPECT_TRUE(a->goodConnection());
    EXPECT_FALSE(a->databasePath().has_value());
}

TEST(SQLDatabaseOpen, FailedOpenLeavesTheConnectionClosed) {
    ns::LogCapture log;
    auto db = SQLDatabase::databaseWithPath(pathInHome("missing-folder/x.db"));
    EXPECT_FALSE(db->open());
    EXPECT_TRUE(log.contains("error opening!: 14"));
    EXPECT_EQ(db->sqliteHandle(), nullptr);
    EXPECT_FALSE(db->databaseExists());
    EXPECT_TRUE(log.contains("is not open."));
    EXPECT_FALSE(db->open());  // still failing, not a stale "yes"
    EXPECT_FALSE(db->goodConnection());
    EXPECT_EQ(db->executeQuery("select 1"), nullptr);

    auto ro = SQLDatabase::databaseWithPath(pathInHome("absent.db"));
    EXPECT_FALSE(ro->openWithFlags(SQLITE_OPEN_READONLY));
    EXPECT_EQ(ro->sqliteHandle(), nullptr);
    EXPECT_TRUE(ro->openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
}

TEST(SQLDatabaseOpen, LibraryFactsAndConstantAnswers) {
    EXPECT_EQ(SQLDatabase::sqliteLibVersion(), sqlite3_libversion());
    EXPECT_TRUE(SQLDatabase::isSQLiteThreadSafe());
    auto db = openMemory();
    EXPECT_FALSE(db->rekey("k"));
    EXPECT_FALSE(db->setKey("k"));
    EXPECT_TRUE(db->close());
    EXPECT_TRUE(db->close());  // closing a closed connection answers yes
}

TEST(SQLDatabaseBinding, EveryValueKindRoundTrips) {
    auto db = openMemory();
    ASSERT_TRUE(db->executeUpdate("create table v (id integer primary key, x)"));
    const ns::Bytes bytes{0x00, 0xFF, 0x10, 0x00};
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 1, Value::null()));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 2, nullptr));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 3, ns::Bytes{}));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 4, bytes));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 5, ns::Date{1425168000.123456}));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 6, true));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 7, LLONG_MAX));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 8, ULLONG_MAX));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 9, 0.1));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 10, "中文 text"));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 11, Value::array({1, 2})));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 12, std::optional<int>()));
    ASSERT_TRUE(db->executeUpdate("insert into v (id, x) values (?, ?)", 13, std::optional<std::string>("opt")));

    auto type = [&](int id) { return *db->stringForQuery("select typeof(x) from v where id = ?", id); };
    EXPECT_EQ(type(1), "null");
    EXPECT_EQ(type(2), "null");
    EXPECT_EQ(type(3), "blob");  // empty data is a zero-length blob, not NULL
    EXPECT_EQ(db->intForQuery("select length(x) from v where id = 3"), 0);
    EXPECT_EQ(*db->dataForQuery("select x from v where id = 4"), bytes);
    EXPECT_EQ(type(5), "real");
    EXPECT_EQ(db->dateForQuery("select x from v where id = 5")->seconds, 1425168000.123456);
    EXPECT_EQ(type(6), "integer");
    EXPECT_EQ(db->longForQuery("select x from v where id = 7"), LLONG_MAX);
    auto rs = db->executeQuery("select x from v where id = 8");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->unsignedLongLongIntForColumnIndex(0), ULLONG_MAX);
    rs->close();
    EXPECT_EQ(db->doubleForQuery("select x from v where id = 9"), 0.1);
    EXPECT_EQ(*db->stringForQuery("select x from v where id = 10"), "中文 text");
    EXPECT_EQ(*db->stringForQuery("select x from v where id = 11"), Value::array({1, 2}).description());
    EXPECT_EQ(type(12), "null");
    EXPECT_EQ(*db->stringForQuery("select x from v where id = 13"), "opt");
}

TEST(SQLDatabaseBinding, TextBoundForAQueryOutlivesTheCallersValues) {
    auto db = openMemory();
    std::shared_ptr<SQLResultSet> rs;
    {
        std::string temporary(200, 'x');
        temporary += "末尾";
        rs = db->executeQuery("select ?, ?", temporary, ns::Bytes(300, 7));
        temporary.assign(temporary.size(), 'y');
    }
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(*rs->stringForColumnIndex(0), std::string(200, 'x') + "末尾");
    EXPECT_EQ(*rs->dataForColumnIndex(1), ns::Bytes(300, 7));
}

// Texts and data are bound without a copy: the statement holds the values, so
// their bytes stay valid whatever the caller does meanwhile, here an SQL
// function that empties the caller's array between the reading of the values
// and the writing of the row, or the caller's values going before the cached
// statement is looked at again.
TEST(SQLDatabaseBinding, TextBoundForAnUpdateStaysValidWhateverTheCallerDoes) {
    for (bool caching : {false, true}) {
        SCOPED_TRACE(caching ? "cached" : "not cached");
        auto db = openMemory();
        db->setShouldCacheStatements(caching);
        ASSERT_TRUE(db->executeUpdate("create table t (a, b, c)"));
        const std::string text = std::string(100, 'a') + "末尾";
        const ns::Bytes bytes(64, 9);
        Value args = Value::array({Value(text), Value(bytes)});
        db->makeFunctionNamed("spoil", 0, [&](sqlite3_context* context, int, sqlite3_value**) {
            args.removeAll();
            args.push(Value(std::string(120, 'z')));
            sqlite3_result_int(context, 1);
        });
        const std::string insert = "insert into t (a, b, c) values (?, ?, spoil())";
        ASSERT_TRUE(db->executeUpdate_withArgumentsInArray(insert, args));
        args = Value();
        EXPECT_EQ(*db->stringForQuery("select a from t"), text);
        EXPECT_EQ(*db->dataForQuery("select b from t"), bytes);

        // The next run binds its own values, from temporaries.
        for (int i = 0; i < 2; ++i) {
            args = Value::array();
            ASSERT_TRUE(db->executeUpdate(insert, std::string(40, static_cast<char>('p' + i)), ns::Bytes(3, 1)));
        }
        EXPECT_EQ(db->intForQuery("select count(*) from t where a = ?", std::string(40, 'q')), 1);
        if (caching) {
            // Still pointing at the last values, which the statement holds.
            char* expanded = sqlite3_expanded_sql(db->cachedStatementForQuery(insert)->statement());
            ASSERT_NE(expanded, nullptr);
            EXPECT_NE(std::string(expanded).find(std::string(40, 'q')), std::string::npos);
            sqlite3_free(expanded);
        }
    }
}

// A cached statement stepped from outside, part-way or to its end, and left
// so, runs again from the start with the new values.
TEST(SQLDatabaseCache, StatementsLeftUnresetFromOutsideRunAfresh) {
    auto db = openMemory();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table t (a)"));
    const std::string insert = "insert into t values (?)";
    ASSERT_TRUE(db->executeUpdate(insert, "first"));
    sqlite3_stmt* raw = db->cachedStatementForQuery(insert)->statement();
    ASSERT_EQ(sqlite3_step(raw), SQLITE_DONE);  // run to its end again, not reset
    ASSERT_TRUE(db->executeUpdate(insert, "second"));
    EXPECT_EQ(db->intForQuery("select count(*) from t where a = 'second'"), 1);
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 3);

    const std::string constant = "insert into t values ('constant')";  // no parameter to refuse a value
    ASSERT_TRUE(db->executeUpdate(constant));
    ASSERT_EQ(sqlite3_step(db->cachedStatementForQuery(constant)->statement()), SQLITE_DONE);
    ASSERT_TRUE(db->executeUpdate(constant));
    EXPECT_EQ(db->intForQuery("select count(*) from t where a = 'constant'"), 3);

    const std::string select = "select a from t where a <> ? order by rowid";
    auto rs = db->executeQuery(select, "none");
    ASSERT_TRUE(rs);
    rs->close();
    raw = db->cachedStatementForQuery(select)->statement();
    ASSERT_EQ(sqlite3_step(raw), SQLITE_ROW);  // part-way, not reset
    ASSERT_EQ(sqlite3_step(raw), SQLITE_ROW);
    rs = db->executeQuery(select, "first");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(*rs->stringForColumnIndex(0), "second");
    rs->close();

    const std::string all = "select rowid from t order by rowid";
    rs = db->executeQuery(all);
    ASSERT_TRUE(rs);
    rs->close();
    ASSERT_EQ(sqlite3_step(db->cachedStatementForQuery(all)->statement()), SQLITE_ROW);
    rs = db->executeQuery(all);
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumnIndex(0), 1);
    rs->close();
}

TEST(SQLDatabaseBinding, ArraysListsAndDictionariesCheckTheBindCount) {
    ns::LogCapture log;
    auto db = openMemory();
    auto rs = db->executeQuery_withArgumentsInArray("select ?, ?", Value::array({1, "two", 3}));
    ASSERT_TRUE(rs && rs->next());  // extra values are ignored
    EXPECT_EQ(*rs->stringForColumnIndex(1), "two");
    rs->close();

    EXPECT_EQ(db->executeQuery_withArgumentsInArray("select ?, ?", Value::array({1})), nullptr);
    EXPECT_TRUE(log.contains("Error: the bind count is not correct for the # of variables (executeQuery)"));
    log.clear();
    EXPECT_EQ(db->executeQuery("select ?, ?", 1), nullptr);  // too few arguments in the list
    EXPECT_TRUE(log.contains("(executeQuery)"));
    EXPECT_FALSE(db->executeUpdate("create table t (a, b)") && db->executeUpdate("insert into t values (?, ?)", 1));
    EXPECT_TRUE(log.contains("Error: the bind count is not correct for the # of variables (insert into t values (?, ?)) "
                             "(executeUpdate)"));
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 0);

    rs = db->executeQuery_withParameterDictionary("select :a, :b, :a", Value::dictionary({{"a", 1}, {"b", "bee"}}));
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumnIndex(2), 1);
    EXPECT_EQ(*rs->stringForColumnIndex(1), "bee");
    rs->close();

    log.clear();  // a key without a placeholder fails even though every placeholder got a value
    EXPECT_EQ(db->executeQuery_withParameterDictionary("select :a", Value::dictionary({{"a", 1}, {"zz", 2}})), nullptr);
    EXPECT_TRUE(log.contains("Could not find index for zz"));
    EXPECT_TRUE(log.contains("(executeQuery)"));
    log.clear();  // a placeholder left without a value fails too
    EXPECT_FALSE(db->executeUpdate_withParameterDictionary("insert into t values (:a, :b)", Value::dictionary({{"a", 1}})));
    EXPECT_TRUE(log.contains("(executeUpdate)"));
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 0);
}

TEST(SQLDatabaseFormat, SpecifiersBecomePlaceholdersWithTypedValues) {
    auto [sql, values] = extract("select %d, %s, %@, %f, %g, %c, %u, %hi, %hu, %qi, %qu, %ld, %lu, %lld, %llu", 7,
                                 "abc", Value("obj"), 1.5, 0.1, 65, 4000000000u, 70000, 70000, -5LL, 5ULL, -6L, 6UL,
                                 LLONG_MIN, ULLONG_MAX);
    EXPECT_EQ(sql, "select ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?");
    ASSERT_EQ(values.size(), 15u);
    EXPECT_EQ(values[0], Value(7));
    EXPECT_EQ(values[1], Value("abc"));
    EXPECT_EQ(values[2], Value("obj"));
    EXPECT_EQ(values[3], Value(1.5));
    EXPECT_EQ(values[4].doubleValue(), static_cast<double>(0.1f));
    EXPECT_EQ(values[5], Value("A"));
    EXPECT_EQ(values[6].unsignedValue(), 4000000000u);
    EXPECT_EQ(values[7], Value(static_cast<short>(70000)));
    EXPECT_EQ(values[8], Value(static_cast<unsigned short>(70000)));
    EXPECT_EQ(values[9], Value(-5));
    EXPECT_EQ(values[12], Value(6));
    EXPECT_EQ(values[13].integerValue(), LLONG_MIN);
    EXPECT_EQ(values[14].unsignedValue(), ULLONG_MAX);
}

TEST(SQLDatabaseFormat, PercentNilAndMissingArguments) {
    auto [sql, values] = extract("select '5%%d', %d, 'a%%%%'", 3);
    EXPECT_EQ(sql, "select '5%d', ?, 'a%%'");  // after "%%" the next letter is text
    EXPECT_EQ(values.size(), 1u);

    auto [sql2, values2] = extract("select %@, %s, %hx1", Value(), static_cast<const char*>(nullptr));
    EXPECT_EQ(sql2, "select ?, ?, h1");  // nil binds NULL; an unmatched pair loses its second letter
    ASSERT_EQ(values2.size(), 2u);
    EXPECT_TRUE(values2[0].isNil());

    auto db = openMemory();
    auto rs = db->executeQueryWithFormat("select %d + 1, %s, %@ is null and %@ is null", 41, "text", nullptr,
                                         std::optional<std::string>());
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumnIndex(0), 42);
    EXPECT_EQ(*rs->stringForColumnIndex(1), "text");
    EXPECT_TRUE(rs->boolForColumnIndex(2));
    rs->close();

    ns::LogCapture log;
    db->setTraceExecution(true);
    rs = db->executeQueryWithFormat("select %d, %@", 5, "five");
    EXPECT_TRUE(log.contains("executeQuery: select ?, ?"));
    EXPECT_TRUE(log.contains("obj: 5"));
    EXPECT_TRUE(log.contains("obj: five"));
    rs.reset();
    db->setTraceExecution(false);
    EXPECT_EQ(db->executeQueryWithFormat("select %d, %d", 1), nullptr);  // too few values
    EXPECT_TRUE(log.contains("bind count is not correct"));
    ASSERT_TRUE(db->executeUpdate("create table t (a)"));
    EXPECT_TRUE(db->executeUpdateWithFormat("insert into t values (%@)", Value("中")));
    EXPECT_EQ(*db->stringForQuery("select a from t"), "中");
}

TEST(SQLDatabaseUpdate, ErrorsAreLoggedAndReported) {
    ns::LogCapture log;
    auto db = openMemory();
    db->setLogsErrors(true);
    ns::ErrorPtr err = ns::makeError("old", 99, std::string("stale"));
    EXPECT_FALSE(db->update("selec 1", &err));
    ASSERT_TRUE(err);
    EXPECT_EQ(err->domain, "SQLDatabase");
    EXPECT_EQ(err->code, SQLITE_ERROR);
    EXPECT_EQ(err->localizedDescription(), "near \"selec\": syntax error");
    EXPECT_TRUE(log.contains("DB Error: 1 \"near \"selec\": syntax error\""));
    EXPECT_TRUE(log.contains("DB Query: selec 1"));
    EXPECT_TRUE(log.contains("DB Path: (null)"));
    EXPECT_TRUE(db->hadError());
    EXPECT_EQ(db->lastError()->code, SQLITE_ERROR);

    log.clear();  // a statement that returns a row is not a successful update
    EXPECT_FALSE(db->executeUpdate("select 1"));
    EXPECT_TRUE(log.contains("Unknown error calling sqlite3_step (100: "));
    EXPECT_TRUE(log.contains("DB Query: select 1"));

    ASSERT_TRUE(db->executeUpdate("create table u (a unique)"));
    ASSERT_TRUE(db->executeUpdate("insert into u values (1)"));
    EXPECT_EQ(db->lastInsertRowId(), 1);
    EXPECT_EQ(db->changes(), 1);
    log.clear();
    EXPECT_FALSE(db->executeUpdate("insert into u values (1)"));
    EXPECT_TRUE(log.contains("Unknown error calling sqlite3_step (19: "));
    EXPECT_EQ(db->lastErrorCode(), SQLITE_CONSTRAINT);
}

TEST(SQLDatabaseCache, ReusesStatementsButNeverOneThatIsStillIterating) {
    auto db = openMemory();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table t (a)"));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(db->executeUpdate("insert into t values (?)", i));
    EXPECT_EQ(db->cachedStatementForQuery("insert into t values (?)")->useCount(), 3);

    const std::string q = "select a from t order by a";
    auto first = db->executeQuery(q);
    ASSERT_TRUE(first && first->next());
    // The cached statement is still iterated by `first`: the second query gets its own.
    auto second = db->executeQuery(q);
    ASSERT_TRUE(second);
    EXPECT_NE(first->statement(), second->statement());
    int n = 0;
    while (second->next()) ++n;
    EXPECT_EQ(n, 3);
    EXPECT_EQ(first->intForColumnIndex(0), 0);
    ASSERT_TRUE(first->next());
    EXPECT_EQ(first->intForColumnIndex(0), 1);
    first->close();

    auto again = db->executeQuery(q);  // both were closed: the cached one runs again
    ASSERT_TRUE(again);
    EXPECT_EQ(again->statement(), db->cachedStatementForQuery(q));
    EXPECT_GE(again->statement()->useCount(), 2);
    EXPECT_NE(again->statement()->description().find("hit(s) for query select a from t order by a"), std::string::npos);
    again->close();

    db->setShouldCacheStatements(false);
    EXPECT_FALSE(db->cachedStatements().has_value());
    EXPECT_EQ(db->cachedStatementForQuery(q), nullptr);
}

TEST(SQLDatabaseCache, SecondRunOfTheSameTextReachesUseCountTwo) {
    auto db = openMemory();
    db->setShouldCacheStatements(true);
    for (int i = 0; i < 2; ++i) {
        auto rs = db->executeQuery("select 1");
        ASSERT_TRUE(rs);
        rs->close();
    }
    EXPECT_EQ(db->cachedStatementForQuery("select 1")->useCount(), 2);
    db->clearCachedStatements();
    EXPECT_TRUE(db->cachedStatements()->empty());
}

TEST(SQLDatabaseBusy, GivesUpAfterTheLimitOrWaitsUntilFree) {
    const std::string path = pathInHome("busy.db");
    auto a = openFile(path);
    auto b = openFile(path);
    ASSERT_TRUE(a->executeUpdate("create table t (x)"));
    EXPECT_EQ(b->intForQuery("select count(*) from t"), 0);
    ASSERT_TRUE(a->beginTransaction());

    ns::LogCapture log;
    int pauses = 0;
    b->setBusyRetryTimeout(3);
    b->setBusyRetryPause([&] { ++pauses; });
    EXPECT_FALSE(b->executeUpdate("insert into t values (1)"));
    EXPECT_EQ(pauses, 5);  // five busy answers, then it gives up
    EXPECT_TRUE(log.contains("Database busy ("));
    EXPECT_TRUE(log.contains("busy.db"));

    pauses = 0;
    b->setBusyRetryTimeout(0);  // no limit: retries until the other connection lets go
    b->setBusyRetryPause([&] {
        if (++pauses == 10) a->commit();
    });
    EXPECT_TRUE(b->executeUpdate("insert into t values (2)"));
    EXPECT_EQ(pauses, 10);
    EXPECT_EQ(a->intForQuery("select x from t"), 2);
}

TEST(SQLDatabaseBusy, LockedFromTheSameConnectionFailsAtOnce) {
    ns::LogCapture log;
    auto db = openMemory();
    int pauses = 0;
    db->setBusyRetryPause([&] { ++pauses; });
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1), (2)"));
    auto rs = db->executeQuery("select x from t");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_FALSE(db->executeUpdate("drop table t"));  // locked by our own reader
    EXPECT_EQ(pauses, 0);
    EXPECT_TRUE(log.contains("Unknown error calling sqlite3_step (6: "));
}

TEST(SQLDatabaseTransactions, FlagFollowsOnlySuccessfulStatements) {
    ns::LogCapture log;
    auto db = openMemory();
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));
    EXPECT_FALSE(db->commit());
    EXPECT_FALSE(db->inTransaction());
    ASSERT_TRUE(db->beginTransaction());
    EXPECT_TRUE(db->inTransaction());
    EXPECT_FALSE(db->beginDeferredTransaction());
    EXPECT_TRUE(db->inTransaction());
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    ASSERT_TRUE(db->rollback());
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 0);
    ASSERT_TRUE(db->beginDeferredTransaction());
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    ASSERT_TRUE(db->commit());
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 1);
}

TEST(SQLDatabaseSavePoints, QuotedNamesErrorsAndRollbackThatEndsTheTransaction) {
    ns::LogCapture log;
    const std::string path = pathInHome("savepoints.db");
    auto db = openFile(path);
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));

    EXPECT_TRUE(db->startSavePointWithName("it's"));
    EXPECT_TRUE(db->releaseSavePointWithName("it's"));

    ns::ErrorPtr err = ns::makeError("old", 1, std::string("before"));
    EXPECT_FALSE(db->releaseSavePointWithName("nope", &err));
    ASSERT_TRUE(err);
    EXPECT_EQ(err->domain, "SQLDatabase");
    EXPECT_EQ(err->code, SQLITE_ERROR);
    EXPECT_EQ(err->localizedDescription(), "no such savepoint: nope");

    ns::ErrorPtr result = db->inSavePoint([&](bool* rollback) {
        db->executeUpdate("insert into t values (1)");
        *rollback = true;
    });
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(sqlite3_get_autocommit(db->sqliteHandle()), 1);  // no transaction left open
    result = db->inSavePoint([&](bool*) { db->executeUpdate("insert into t values (2)"); });
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(sqlite3_get_autocommit(db->sqliteHandle()), 1);
    ASSERT_TRUE(db->close());

    auto reopened = openFile(path);  // the write after the rollback was kept
    EXPECT_EQ(reopened->intForQuery("select count(*) from t"), 1);
    EXPECT_EQ(reopened->intForQuery("select x from t"), 2);

    auto closed = SQLDatabase::databaseWithPath(path);
    EXPECT_NE(closed->inSavePoint([](bool*) { FAIL() << "block ran without a save point"; }), nullptr);
}

TEST(SQLDatabaseFunctions, BlocksRunAsSQLFunctionsAndTheInUseFlagGuardsReentry) {
    ns::LogCapture log;
    auto db = openMemory();
    db->makeFunctionNamed("twice", 1, [](sqlite3_context* context, int argc, sqlite3_value** argv) {
        ASSERT_EQ(argc, 1);
        sqlite3_result_int64(context, 2 * sqlite3_value_int64(argv[0]));
    });
    EXPECT_EQ(db->intForQuery("select twice(?)", 21), 42);

    db->makeFunctionNamed("throws", 0, [](sqlite3_context*, int, sqlite3_value**) { throw std::runtime_error("boom"); });
    ns::ErrorPtr err;
    EXPECT_FALSE(db->update("create table t as select throws()", &err));
    EXPECT_EQ(db->lastErrorMessage(), "boom");

    // A function runs while its statement is executing: the connection refuses other work.
    long long rowIdInside = -1;
    std::shared_ptr<SQLResultSet> nested;
    db->makeFunctionNamed("reenter", 0, [&](sqlite3_context* context, int, sqlite3_value**) {
        EXPECT_TRUE(db->isExecutingStatement());
        nested = db->executeQuery("select 1");
        rowIdInside = db->lastInsertRowId();
        sqlite3_result_null(context);
    });
    ASSERT_TRUE(db->executeUpdate("create table r (x)"));
    EXPECT_TRUE(db->executeUpdate("insert into r values (reenter())"));
    EXPECT_EQ(nested, nullptr);
    EXPECT_EQ(rowIdInside, 0);
    EXPECT_TRUE(log.contains("is currently in use."));
    EXPECT_FALSE(db->isExecutingStatement());
}

TEST(SQLDatabaseClose, ClosesResultSetsCachedAndLeakedStatements) {
    ns::LogCapture log;
    auto db = openMemory();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1), (2)"));
    auto open = db->executeQuery("select x from t");
    ASSERT_TRUE(open && open->next());
    EXPECT_TRUE(db->hasOpenResultSets());

    // A statement someone kept hold of beyond its result set.
    auto other = db->executeQuery("select x + 1 from t");
    ASSERT_TRUE(other);
    std::shared_ptr<SQLStatement> kept = other->statement();
    db->setShouldCacheStatements(false);
    other->close();
    ASSERT_TRUE(kept->statement());

    EXPECT_TRUE(db->close());
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_EQ(open->parentDB(), nullptr);
    EXPECT_EQ(open->statement(), nullptr);
    EXPECT_FALSE(open->next());
    EXPECT_TRUE(log.contains("Closing leaked statement"));
    EXPECT_EQ(kept->statement(), nullptr);  // finalised once, by the connection
    EXPECT_EQ(db->sqliteHandle(), nullptr);

    // A connection that goes away first leaves its result sets closed and detached.
    auto gone = openMemory();
    auto survivor = gone->executeQuery("select 1");
    ASSERT_TRUE(survivor);
    gone.reset();
    EXPECT_EQ(survivor->parentDB(), nullptr);
    EXPECT_FALSE(survivor->next());
    EXPECT_FALSE(survivor->hasAnotherRow());
}

TEST(SQLDatabaseClose, RefusedFromInsideAStatementOfTheConnection) {
    for (bool caching : {false, true}) {
        SCOPED_TRACE(caching);
        ns::LogCapture log;
        auto db = openMemory();
        db->setShouldCacheStatements(caching);
        std::vector<bool> answers;
        db->makeFunctionNamed("closer", 0, [&](sqlite3_context* context, int, sqlite3_value**) {
            answers.push_back(db->close());
            sqlite3_result_int(context, 1);
        });
        ASSERT_TRUE(db->executeUpdate("create table t (x)"));
        EXPECT_TRUE(db->executeUpdate("insert into t values (closer())"));
        auto rs = db->executeQuery("select closer() from t");
        ASSERT_TRUE(rs && rs->next());
        EXPECT_EQ(rs->intForColumnIndex(0), 1);
        EXPECT_FALSE(rs->next());

        EXPECT_EQ(answers, (std::vector<bool>{false, false}));
        EXPECT_TRUE(log.contains("is currently in use."));
        EXPECT_EQ(db->intForQuery("select count(*) from t"), 1);
        EXPECT_TRUE(db->close());
    }
}

TEST(SQLDatabaseAdditions, SingleValuesAndSchemaQuestions) {
    auto db = openMemory();
    ASSERT_TRUE(db->executeUpdate("create table People (Name text, Age integer)"));
    ASSERT_TRUE(db->executeUpdate("create table \"it's\" (a)"));
    ASSERT_TRUE(db->executeUpdate("insert into People values (?, ?)", "王", 30));

    EXPECT_EQ(*db->stringForQuery("select Name from People"), "王");
    EXPECT_EQ(db->intForQuery("select Age from People where Name = ?", "王"), 30);
    EXPECT_TRUE(db->boolForQuery("select Age > 18 from People"));
    EXPECT_EQ(db->intForQuery("select Age from People where Name = ?", "none"), 0);
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_FALSE(db->stringForQuery("select Name from People where 0").has_value());
    EXPECT_FALSE(db->dataForQuery("select null").has_value());

    EXPECT_TRUE(db->tableExists("people"));
    EXPECT_TRUE(db->tableExists("PEOPLE"));
    EXPECT_FALSE(db->tableExists("nobody"));
    EXPECT_FALSE(db->hasOpenResultSets());

    auto schema = db->getSchema();
    ASSERT_TRUE(schema);
    int tables = 0;
    while (schema->next()) tables += *schema->stringForColumn("type") == "table";
    EXPECT_EQ(tables, 2);

    auto info = db->getTableSchema("it's");  // a quote in the name does not break the statement
    ASSERT_TRUE(info && info->next());
    EXPECT_EQ(*info->stringForColumn("name"), "a");
    info->close();

    EXPECT_TRUE(db->columnExists_inTableWithName("AGE", "people"));
    EXPECT_TRUE(db->columnExists_columnName("People", "name"));
    EXPECT_FALSE(db->columnExists_inTableWithName("height", "People"));
    EXPECT_TRUE(db->columnExists_inTableWithName("A", "IT'S"));
    EXPECT_FALSE(db->hasOpenResultSets());
}

TEST(SQLDatabaseAdditions, ValidateSQLPreparesWithoutRunning) {
    auto db = openMemory();
    ns::ErrorPtr err;
    EXPECT_TRUE(db->validateSQL("create table t (x)", &err));
    EXPECT_EQ(err, nullptr);
    EXPECT_FALSE(db->tableExists("t"));

    EXPECT_FALSE(db->validateSQL("create tabel t (x)", &err));
    ASSERT_TRUE(err);
    EXPECT_EQ(err->domain, "NSCocoaErrorDomain");
    EXPECT_EQ(err->code, SQLITE_ERROR);
    EXPECT_EQ(err->localizedDescription(), "near \"tabel\": syntax error");
    EXPECT_FALSE(db->validateSQL("select * from missing", nullptr));

    auto closed = SQLDatabase::databaseWithPath(nullptr);
    EXPECT_FALSE(closed->validateSQL("select 1", &err));
    EXPECT_EQ(err->code, SQLITE_MISUSE);
    EXPECT_EQ(err->localizedDescription(), "database not open");
}
