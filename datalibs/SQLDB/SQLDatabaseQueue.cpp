#include "SQLDB/SQLDatabaseQueue.h"

#include <sqlite3.h>

#include <atomic>

#include "SQLDB/SQLDatabaseBlocks.h"
#include "foundation/Log.h"

namespace {
std::atomic<long> gQueueSavePointCounter{0};
}  // namespace

std::shared_ptr<SQLDatabaseQueue> SQLDatabaseQueue::databaseQueueWithPath(std::optional<std::string> path) {
    auto db = SQLDatabase::databaseWithPath(path);
    if (!db->open()) {
        ns::NSLog("Could not create database queue for path %@", path ? ns::Value(*path) : ns::Value());
        return nullptr;
    }
    std::shared_ptr<SQLDatabaseQueue> queue(new SQLDatabaseQueue());
    queue->path_ = std::move(path);
    queue->db_ = std::move(db);
    queue->queue_ = std::make_unique<ns::SerialQueue>(ns::format("sqldb.%@", queue->description()));
    return queue;
}

SQLDatabaseQueue::~SQLDatabaseQueue() {
    queue_.reset();  // finishes what was submitted
    db_.reset();     // closes the connection
}

std::string SQLDatabaseQueue::description() const {
    return ns::format("<SQLDatabaseQueue: %p>", static_cast<const void*>(this));
}

bool SQLDatabaseQueue::refuseReentry(const char* operation) const {
    if (!queue_->isCurrent()) return false;
    // The work of an outer block still owns the connection.
    ns::NSLog("SQLDatabaseQueue %@: %s called from inside one of its own blocks; not run", description(), operation);
    return true;
}

SQLDatabase* SQLDatabaseQueue::database() {
    if (!db_) {
        auto db = SQLDatabase::databaseWithPath(path_);
        if (!db->open()) {
            ns::NSLog("SQLDatabaseQueue could not reopen database for path %@", path_ ? ns::Value(*path_) : ns::Value());
            return nullptr;
        }
        db_ = std::move(db);
    }
    return db_.get();
}

void SQLDatabaseQueue::inDatabase(const DatabaseBlock& block) {
    if (refuseReentry(__func__)) return;
    auto self = shared_from_this();
    queue_->sync([&] {
        SQLDatabase* db = database();
        block(db);
        if (db && db->hasOpenResultSets())
            ns::NSLog("Warning: there is at least one open result set around after performing [SQLDatabaseQueue inDatabase:]");
    });
}

void SQLDatabaseQueue::inTransaction(const TransactionBlock& block) { beginTransaction(false, block); }

void SQLDatabaseQueue::inDeferredTransaction(const TransactionBlock& block) { beginTransaction(true, block); }

void SQLDatabaseQueue::beginTransaction(bool useDeferred, const TransactionBlock& block) {
    if (refuseReentry(__func__)) return;
    auto self = shared_from_this();
    queue_->sync([&] {
        if (SQLDatabase* db = database()) sqldb_detail::runInTransaction(*db, useDeferred, block, "SQLDatabaseQueue");
    });
}

ns::ErrorPtr SQLDatabaseQueue::inSavePoint(const TransactionBlock& block) {
    if (refuseReentry(__func__))
        return ns::makeError(kSQLDatabaseErrorDomain, SQLITE_MISUSE,
                             std::string("inSavePoint called from inside a block of the same queue"));
    auto self = shared_from_this();
    ns::ErrorPtr err;
    queue_->sync([&] {
        SQLDatabase* db = database();
        if (!db) {
            err = ns::makeError(kSQLDatabaseErrorDomain, SQLITE_CANTOPEN, std::string("unable to open database file"));
            return;
        }
        err = sqldb_detail::runInSavePoint(*db, ns::format("savePoint%ld", gQueueSavePointCounter.fetch_add(1)), block);
    });
    return err;
}

void SQLDatabaseQueue::close() {
    if (refuseReentry(__func__)) return;
    auto self = shared_from_this();
    queue_->sync([&] {
        if (db_) db_->close();
        db_.reset();
    });
}
