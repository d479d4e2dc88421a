// A pool of connections to one database file: each piece of work checks a
// connection out, runs on the caller's thread, and puts it back. Only the
// bookkeeping of the pool runs on its serial lock queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SQLDB/SQLDatabase.h"
#include "foundation/Dispatch.h"
#include "foundation/Error.h"

class SQLDatabasePool;

class SQLDatabasePoolDelegate {
public:
    virtual ~SQLDatabasePoolDelegate() = default;
    // databasePool:shouldAddDatabaseToPool: false refuses the connection that
    // was about to be handed out. Asked only when
    // respondsToShouldAddDatabaseToPool() answers true.
    virtual bool databasePool(SQLDatabasePool& pool, SQLDatabase& database) {
        (void)pool;
        (void)database;
        return true;
    }
    virtual bool respondsToShouldAddDatabaseToPool() const { return false; }
};

class SQLDatabasePool {
public:
    using DatabaseBlock = std::function<void(SQLDatabase* db)>;
    using TransactionBlock = std::function<void(SQLDatabase* db, bool* rollback)>;

    static std::shared_ptr<SQLDatabasePool> databasePoolWithPath(std::optional<std::string> path);
    explicit SQLDatabasePool(std::optional<std::string> path);
    ~SQLDatabasePool();
    SQLDatabasePool(const SQLDatabasePool&) = delete;
    SQLDatabasePool& operator=(const SQLDatabasePool&) = delete;

    // Checks a connection out: an idle one, else a new one within the limit.
    // nullptr when the limit is reached, opening fails or the delegate refuses.
    std::shared_ptr<SQLDatabase> db();
    // Throws SQLDBException "Database already in pool" when it is idle already.
    void pushDatabaseBackInPool(const std::shared_ptr<SQLDatabase>& db);

    // Each of these puts its connection back into the pool however the block
    // ends; a block that throws inside a transaction or a save point has its
    // work rolled back, and the exception goes on to the caller.
    void inDatabase(const DatabaseBlock& block);
    void inTransaction(const TransactionBlock& block);
    void inDeferredTransaction(const TransactionBlock& block);
    void beginTransaction(bool useDeferred, const TransactionBlock& block);
    ns::ErrorPtr inSavePoint(const TransactionBlock& block);

    std::size_t countOfCheckedInDatabases();
    std::size_t countOfCheckedOutDatabases();
    std::size_t countOfOpenDatabases();
    void releaseAllDatabases();
    // Runs the block on the lock queue and waits.
    void executeLocked(const std::function<void()>& block);

    const std::optional<std::string>& path() const { return path_; }
    void setPath(std::optional<std::string> path) { path_ = std::move(path); }
    std::shared_ptr<SQLDatabasePoolDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<SQLDatabasePoolDelegate>& delegate) { delegate_ = delegate; }
    std::uint64_t maximumNumberOfDatabasesToCreate() const { return maximumNumberOfDatabasesToCreate_; }
    void setMaximumNumberOfDatabasesToCreate(std::uint64_t n) { maximumNumberOfDatabasesToCreate_ = n; }
    // "<SQLDatabasePool: 0x...>"
    std::string description() const;

private:
    // Checks a connection out for the work (which may get none) and puts it
    // back when the work ends, also by an exception.
    void withDatabase(const DatabaseBlock& work);

    std::optional<std::string> path_;
    ns::SerialQueue lockQueue_;
    std::vector<std::shared_ptr<SQLDatabase>> databaseInPool_;
    std::vector<std::shared_ptr<SQLDatabase>> databaseOutPool_;
    std::weak_ptr<SQLDatabasePoolDelegate> delegate_;
    std::atomic<std::uint64_t> maximumNumberOfDatabasesToCreate_{0};
};
