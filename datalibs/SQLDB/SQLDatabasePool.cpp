#include "SQLDB/SQLDatabasePool.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>

#include "SQLDB/SQLDatabaseBlocks.h"
#include "foundation/Log.h"

namespace {

std::atomic<long> gPoolSavePointCounter{0};

bool contains(const std::vector<std::shared_ptr<SQLDatabase>>& list, const std::shared_ptr<SQLDatabase>& db) {
    return std::find(list.begin(), list.end(), db) != list.end();
}

void remove(std::vector<std::shared_ptr<SQLDatabase>>& list, const std::shared_ptr<SQLDatabase>& db) {
    list.erase(std::remove(list.begin(), list.end(), db), list.end());
}

}  // namespace

std::shared_ptr<SQLDatabasePool> SQLDatabasePool::databasePoolWithPath(std::optional<std::string> path) {
    return std::make_shared<SQLDatabasePool>(std::move(path));
}

SQLDatabasePool::SQLDatabasePool(std::optional<std::string> path)
    : path_(std::move(path)), lockQueue_(ns::format("sqldb.%@", description())) {}

SQLDatabasePool::~SQLDatabasePool() = default;

std::string SQLDatabasePool::description() const {
    return ns::format("<SQLDatabasePool: %p>", static_cast<const void*>(this));
}

std::shared_ptr<SQLDatabase> SQLDatabasePool::db() {
    std::shared_ptr<SQLDatabase> db;
    lockQueue_.sync([&] {
        if (!databaseInPool_.empty()) {
            db = databaseInPool_.back();
            databaseInPool_.pop_back();
            databaseOutPool_.push_back(db);
        }
        if (!db) {
            const std::uint64_t limit = maximumNumberOfDatabasesToCreate_;
            const std::uint64_t current = databaseInPool_.size() + databaseOutPool_.size();
            if (limit != 0 && current >= limit) {
                ns::NSLog("Maximum number of databases (%ld) has already been reached!", current);
                return;
            }
            db = SQLDatabase::databaseWithPath(path_);
        }
        // A connection that cannot be used leaves the pool, so it does not
        // keep a slot of the limit for good.
        if (!db->open()) {
            ns::NSLog("Could not open up the database at path %@", path_ ? ns::Value(*path_) : ns::Value());
            remove(databaseOutPool_, db);
            db.reset();
            return;
        }
        auto delegate = delegate_.lock();
        if (delegate && delegate->respondsToShouldAddDatabaseToPool() && !delegate->databasePool(*this, *db)) {
            db->close();
            remove(databaseOutPool_, db);
            db.reset();
            return;
        }
        if (!contains(databaseOutPool_, db)) databaseOutPool_.push_back(db);
    });
    return db;
}

void SQLDatabasePool::pushDatabaseBackInPool(const std::shared_ptr<SQLDatabase>& db) {
    if (!db) return;
    bool alreadyIdle = false;
    lockQueue_.sync([&] {
        if (contains(databaseInPool_, db)) {
            alreadyIdle = true;
            return;
        }
        databaseInPool_.push_back(db);
        remove(databaseOutPool_, db);
    });
    if (alreadyIdle)
        throw SQLDBException("Database already in pool",
                             "The SQLDatabase being put back into the pool is already present in the pool");
}

void SQLDatabasePool::withDatabase(const DatabaseBlock& work) {
    auto db = this->db();
    try {
        work(db.get());
    } catch (...) {
        try {
            pushDatabaseBackInPool(db);
        } catch (const SQLDBException&) {
            // The block put it back itself; the block's exception is the one to pass on.
        }
        throw;
    }
    pushDatabaseBackInPool(db);
}

void SQLDatabasePool::inDatabase(const DatabaseBlock& block) { withDatabase(block); }

void SQLDatabasePool::inTransaction(const TransactionBlock& block) { beginTransaction(false, block); }

void SQLDatabasePool::inDeferredTransaction(const TransactionBlock& block) { beginTransaction(true, block); }

void SQLDatabasePool::beginTransaction(bool useDeferred, const TransactionBlock& block) {
    withDatabase([&](SQLDatabase* db) {
        if (db) sqldb_detail::runInTransaction(*db, useDeferred, block, "SQLDatabasePool");
    });
}

ns::ErrorPtr SQLDatabasePool::inSavePoint(const TransactionBlock& block) {
    ns::ErrorPtr err;
    withDatabase([&](SQLDatabase* db) {
        if (!db) {
            err = ns::makeError(kSQLDatabaseErrorDomain, SQLITE_CANTOPEN,
                                std::string("no database available in the pool"));
            return;
        }
        err = sqldb_detail::runInSavePoint(*db, ns::format("savePoint%ld", gPoolSavePointCounter.fetch_add(1)), block);
    });
    return err;
}

std::size_t SQLDatabasePool::countOfCheckedInDatabases() {
    std::size_t n = 0;
    lockQueue_.sync([&] { n = databaseInPool_.size(); });
    return n;
}

std::size_t SQLDatabasePool::countOfCheckedOutDatabases() {
    std::size_t n = 0;
    lockQueue_.sync([&] { n = databaseOutPool_.size(); });
    return n;
}

std::size_t SQLDatabasePool::countOfOpenDatabases() {
    std::size_t n = 0;
    lockQueue_.sync([&] { n = databaseInPool_.size() + databaseOutPool_.size(); });
    return n;
}

void SQLDatabasePool::releaseAllDatabases() {
    lockQueue_.sync([&] {
        databaseInPool_.clear();
        databaseOutPool_.clear();
    });
}

void SQLDatabasePool::executeLocked(const std::function<void()>& block) { lockQueue_.sync(block); }
