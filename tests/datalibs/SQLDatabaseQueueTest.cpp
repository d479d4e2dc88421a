// The serial queue over one connection and the pool of connections, also
// from several threads at once.
#include <sqlite3.h>

#include <functional>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "SQLDB/SQLDatabasePool.h"
#include "SQLDB/SQLDatabaseQueue.h"
#include "SQLDBTestSupport.h"
#include "foundation/Log.h"

using sqldbtest::openFile;
using sqldbtest::pathInHome;

namespace {

constexpr int kThreads = 8;
constexpr int kRowsPerThread = 50;

template <typename F>
void onThreads(F&& work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back([&work, t] { work(t); });
    for (auto& th : threads) th.join();
}

struct Refuser : SQLDatabasePoolDelegate {
    int asked = 0;
    bool answer = false;
    bool databasePool(SQLDatabasePool&, SQLDatabase&) override {
        ++asked;
        return answer;
    }
    bool respondsToShouldAddDatabaseToPool() const override { return true; }
};

}  // namespace

TEST(SQLDatabaseQueue, RunsBlocksOnItsConnectionAndReopensAfterClose) {
    ns::LogCapture log;
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(pathInHome("queue.db"));
    ASSERT_TRUE(queue);
    queue->inDatabase([](SQLDatabase* db) {
        ASSERT_TRUE(db);
        EXPECT_TRUE(db->executeUpdate("create table t (x)"));
    });

    std::shared_ptr<SQLResultSet> leftOpen;
    queue->inDatabase([&](SQLDatabase* db) { leftOpen = db->executeQuery("select * from t"); });
    EXPECT_TRUE(log.contains("Warning: there is at least one open result set around after performing "
                             "[SQLDatabaseQueue inDatabase:]"));
    leftOpen.reset();

    queue->close();
    SQLDatabase* reopened = nullptr;
    queue->inDatabase([&](SQLDatabase* db) {
        reopened = db;
        ASSERT_TRUE(db);
        EXPECT_TRUE(db->tableExists("t"));
    });
    EXPECT_NE(reopened, nullptr);

    queue->close();
    queue->setPath(pathInHome("no-such-folder/queue.db"));
    bool called = false;
    queue->inDatabase([&](SQLDatabase* db) {
        called = true;
        EXPECT_EQ(db, nullptr);
    });
    EXPECT_TRUE(called);
    EXPECT_TRUE(log.contains("SQLDatabaseQueue could not reopen database for path"));

    EXPECT_EQ(SQLDatabaseQueue::databaseQueueWithPath(pathInHome("no-such-folder/q.db")), nullptr);
    EXPECT_TRUE(log.contains("Could not create database queue for path"));
}

TEST(SQLDatabaseQueue, TransactionsSavePointsAndAFailedBegin) {
    ns::LogCapture log;
    const std::string path = pathInHome("queue-tx.db");
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(path);
    ASSERT_TRUE(queue);
    queue->inDatabase([](SQLDatabase* db) { db->executeUpdate("create table t (x)"); });
    queue->inTransaction([](SQLDatabase* db, bool* rollback) {
        db->executeUpdate("insert into t values (1)");
        *rollback = true;
    });
    queue->inDeferredTransaction([](SQLDatabase* db, bool*) { db->executeUpdate("insert into t values (2)"); });
    ns::ErrorPtr err = queue->inSavePoint([](SQLDatabase* db, bool* rollback) {
        db->executeUpdate("insert into t values (3)");
        *rollback = true;
    });
    EXPECT_EQ(err, nullptr);
    queue->inDatabase([](SQLDatabase* db) {
        EXPECT_EQ(sqlite3_get_autocommit(db->sqliteHandle()), 1);  // the save point did not leave a transaction open
        db->executeUpdate("begin");                                 // now leave one open on purpose
    });

    bool ran = false;
    queue->inTransaction([&](SQLDatabase*, bool*) { ran = true; });
    EXPECT_FALSE(ran);  // begin failed: the block is not run outside a transaction
    EXPECT_TRUE(log.contains("could not begin a transaction"));
    queue->inDatabase([](SQLDatabase* db) { db->executeUpdate("commit"); });
    queue->close();

    auto check = openFile(path);
    EXPECT_EQ(check->intForQuery("select count(*) from t"), 1);
    EXPECT_EQ(check->intForQuery("select x from t"), 2);
}

TEST(SQLDatabaseQueue, CallsFromInsideItsOwnBlockAreRefused) {
    ns::LogCapture log;
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(std::nullopt);
    ASSERT_TRUE(queue);
    bool innerRan = false;
    ns::ErrorPtr innerErr;
    queue->inDatabase([&](SQLDatabase*) {
        queue->inDatabase([&](SQLDatabase*) { innerRan = true; });
        innerErr = queue->inSavePoint([&](SQLDatabase*, bool*) { innerRan = true; });
    });
    EXPECT_FALSE(innerRan);
    EXPECT_NE(innerErr, nullptr);
    EXPECT_TRUE(log.contains("called from inside one of its own blocks"));
}

TEST(SQLDatabaseQueue, ManyThreadsShareOneConnection) {
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(pathInHome("queue-threads.db"));
    ASSERT_TRUE(queue);
    queue->inDatabase([](SQLDatabase* db) {
        db->setShouldCacheStatements(true);
        db->executeUpdate("create table t (thread, i)");
    });
    onThreads([&](int t) {
        for (int i = 0; i < kRowsPerThread; ++i) {
            if (i % 2) {
                queue->inDatabase([&](SQLDatabase* db) { EXPECT_TRUE(db->executeUpdate("insert into t values (?, ?)", t, i)); });
            } else {
                queue->inTransaction([&](SQLDatabase* db, bool*) {
                    EXPECT_TRUE(db->executeUpdate("insert into t values (?, ?)", t, i));
                });
            }
        }
    });
    int count = 0;
    queue->inDatabase([&](SQLDatabase* db) { count = db->intForQuery("select count(*) from t"); });
    EXPECT_EQ(count, kThreads * kRowsPerThread);
}

TEST(SQLDatabasePool, LimitReuseAndDoublePush) {
    ns::LogCapture log;
    auto pool = SQLDatabasePool::databasePoolWithPath(pathInHome("pool.db"));
    pool->setMaximumNumberOfDatabasesToCreate(2);
    auto a = pool->db();
    auto b = pool->db();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(pool->db(), nullptr);
    EXPECT_TRUE(log.contains("Maximum number of databases (2) has already been reached!"));
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 2u);

    pool->pushDatabaseBackInPool(a);
    EXPECT_EQ(pool->countOfCheckedInDatabases(), 1u);
    EXPECT_EQ(pool->countOfOpenDatabases(), 2u);
    EXPECT_EQ(pool->db(), a);
    pool->pushDatabaseBackInPool(a);
    try {
        pool->pushDatabaseBackInPool(a);
        FAIL() << "no exception";
    } catch (const SQLDBException& e) {
        EXPECT_EQ(e.name(), "Database already in pool");
        EXPECT_EQ(e.reason(), "The SQLDatabase being put back into the pool is already present in the pool");
    }
    pool->pushDatabaseBackInPool(nullptr);

    bool locked = false;
    pool->executeLocked([&] { locked = true; });
    EXPECT_TRUE(locked);
    pool->releaseAllDatabases();
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);
}

TEST(SQLDatabasePool, RefusedOrUnopenableConnectionsLeaveThePool) {
    ns::LogCapture log;
    auto pool = SQLDatabasePool::databasePoolWithPath(pathInHome("pool-refuse.db"));
    pool->setMaximumNumberOfDatabasesToCreate(1);
    auto refuser = std::make_shared<Refuser>();
    pool->setDelegate(refuser);
    EXPECT_EQ(pool->db(), nullptr);
    EXPECT_EQ(refuser->asked, 1);
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);  // the refused one keeps no slot
    refuser->answer = true;
    auto db = pool->db();
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->goodConnection());
    pool->pushDatabaseBackInPool(db);

    refuser->answer = false;  // an idle connection refused on the way out is closed and dropped
    EXPECT_EQ(pool->db(), nullptr);
    EXPECT_EQ(db->sqliteHandle(), nullptr);
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);
    refuser.reset();  // the pool does not keep its delegate alive
    EXPECT_TRUE(pool->db());

    auto broken = SQLDatabasePool::databasePoolWithPath(pathInHome("no-such-folder/pool.db"));
    broken->setMaximumNumberOfDatabasesToCreate(1);
    EXPECT_EQ(broken->db(), nullptr);
    EXPECT_EQ(broken->db(), nullptr);
    EXPECT_TRUE(log.contains("Could not open up the database at path"));
    EXPECT_FALSE(log.contains("Maximum number of databases"));
    EXPECT_EQ(broken->countOfOpenDatabases(), 0u);
    bool called = false;
    broken->inDatabase([&](SQLDatabase* db) {
        called = true;
        EXPECT_EQ(db, nullptr);
    });
    EXPECT_TRUE(called);
}

TEST(SQLDatabasePool, TransactionsSavePointsAndAFailedBegin) {
    ns::LogCapture log;
    auto pool = SQLDatabasePool::databasePoolWithPath(pathInHome("pool-tx.db"));
    pool->setMaximumNumberOfDatabasesToCreate(1);
    pool->inDatabase([](SQLDatabase* db) { db->executeUpdate("create table t (x)"); });
    pool->inTransaction([](SQLDatabase* db, bool* rollback) {
        db->executeUpdate("insert into t values (1)");
        *rollback = true;
    });
    pool->inDeferredTransaction([](SQLDatabase* db, bool*) { db->executeUpdate("insert into t values (2)"); });
    EXPECT_EQ(pool->inSavePoint([](SQLDatabase* db, bool* rollback) {
        db->executeUpdate("insert into t values (3)");
        *rollback = true;
    }),
              nullptr);
    EXPECT_EQ(pool->countOfCheckedInDatabases(), 1u);

    auto db = pool->db();
    EXPECT_EQ(sqlite3_get_autocommit(db->sqliteHandle()), 1);
    db->executeUpdate("begin");
    pool->pushDatabaseBackInPool(db);
    bool ran = false;
    pool->inTransaction([&](SQLDatabase*, bool*) { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(log.contains("could not begin a transaction"));
    db->executeUpdate("commit");
    EXPECT_EQ(db->intForQuery("select group_concat(x) from t"), 2);
}

TEST(SQLDatabasePool, AThrowingBlockGivesItsConnectionBackWithItsWorkUndone) {
    using Block = std::function<void(SQLDatabase*, bool*)>;
    struct Way {
        const char* what;
        std::function<void(SQLDatabasePool&, const Block&)> pool;
        std::function<void(SQLDatabaseQueue&, const Block&)> queue;  // none for inDatabase
        bool undone;
    } ways[] = {
        {"inDatabase", [](SQLDatabasePool& p, const Block& b) { p.inDatabase([&](SQLDatabase* db) { b(db, nullptr); }); },
         nullptr, false},
        {"inTransaction", [](SQLDatabasePool& p, const Block& b) { p.inTransaction(b); },
         [](SQLDatabaseQueue& q, const Block& b) { q.inTransaction(b); }, true},
        {"inDeferredTransaction", [](SQLDatabasePool& p, const Block& b) { p.inDeferredTransaction(b); },
         [](SQLDatabaseQueue& q, const Block& b) { q.inDeferredTransaction(b); }, true},
        {"inSavePoint", [](SQLDatabasePool& p, const Block& b) { p.inSavePoint(b); },
         [](SQLDatabaseQueue& q, const Block& b) { q.inSavePoint(b); }, true},
    };
    const Block throwing = [](SQLDatabase* db, bool*) {
        ASSERT_TRUE(db);
        EXPECT_TRUE(db->executeUpdate("insert into t values (1)"));
        throw std::runtime_error("block failed");
    };
    auto rowsAndAutocommit = [](SQLDatabase* db) {
        return std::make_pair(db->intForQuery("select count(*) from t"), sqlite3_get_autocommit(db->sqliteHandle()));
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        auto pool = SQLDatabasePool::databasePoolWithPath(pathInHome(std::string("throwing-") + way.what + ".db"));
        pool->setMaximumNumberOfDatabasesToCreate(1);
        pool->inDatabase([](SQLDatabase* db) { ASSERT_TRUE(db->executeUpdate("create table t (x)")); });
        EXPECT_THROW(way.pool(*pool, throwing), std::runtime_error);
        EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
        EXPECT_EQ(pool->countOfCheckedInDatabases(), 1u);
        std::pair<int, int> state;
        pool->inDatabase([&](SQLDatabase* db) {
            ASSERT_TRUE(db);
            state = rowsAndAutocommit(db);
        });
        EXPECT_EQ(state, std::make_pair(way.undone ? 0 : 1, 1));

        if (!way.queue) continue;
        auto queue = SQLDatabaseQueue::databaseQueueWithPath(pathInHome(std::string("throwing-q-") + way.what + ".db"));
        queue->inDatabase([](SQLDatabase* db) { ASSERT_TRUE(db->executeUpdate("create table t (x)")); });
        EXPECT_THROW(way.queue(*queue, throwing), std::runtime_error);
        queue->inDatabase([&](SQLDatabase* db) { state = rowsAndAutocommit(db); });
        EXPECT_EQ(state, std::make_pair(0, 1));
    }
}

TEST(SQLDatabasePool, ManyThreadsWriteThroughTheirOwnConnections) {
    auto pool = SQLDatabasePool::databasePoolWithPath(pathInHome("pool-threads.db"));
    pool->inDatabase([](SQLDatabase* db) { db->executeUpdate("create table t (thread, i)"); });
    onThreads([&](int t) {
        for (int i = 0; i < kRowsPerThread; ++i) {
            pool->inTransaction([&](SQLDatabase* db, bool*) {
                ASSERT_TRUE(db);
                EXPECT_TRUE(db->executeUpdate("insert into t values (?, ?)", t, i));
            });
        }
    });
    int count = 0;
    pool->inDatabase([&](SQLDatabase* db) { count = db->intForQuery("select count(*) from t"); });
    EXPECT_EQ(count, kThreads * kRowsPerThread);
    EXPECT_LE(pool->countOfOpenDatabases(), static_cast<std::size_t>(kThreads));
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
}
