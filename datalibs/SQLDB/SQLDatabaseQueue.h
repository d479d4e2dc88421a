// One connection shared between threads: every piece of work runs on the
// queue's own serial dispatch queue, and the caller waits for it.
//
//   auto queue = SQLDatabaseQueue::databaseQueueWithPath(path);
//   queue->inTransaction([](SQLDatabase* db, bool* rollback) { ... });
//
// Blocks receive nullptr when the connection cannot be (re)opened. A call made
// from inside one of the queue's own blocks is refused with a log line. A
// block that throws inside a transaction or a save point has its work rolled
// back, and the exception goes on to the caller.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "SQLDB/SQLDatabase.h"
#include "foundation/Dispatch.h"
#include "foundation/Error.h"

class SQLDatabaseQueue : public std::enable_shared_from_this<SQLDatabaseQueue> {
public:
    using DatabaseBlock = std::function<void(SQLDatabase* db)>;
    using TransactionBlock = std::function<void(SQLDatabase* db, bool* rollback)>;

    // A queue over an opened connection, or nullptr when the database cannot be opened.
    static std::shared_ptr<SQLDatabaseQueue> databaseQueueWithPath(std::optional<std::string> path);
    ~SQLDatabaseQueue();
    SQLDatabaseQueue(const SQLDatabaseQueue&) = delete;
    SQLDatabaseQueue& operator=(const SQLDatabaseQueue&) = delete;

    void inDatabase(const DatabaseBlock& block);
    void inTransaction(const TransactionBlock& block);
    void inDeferredTransaction(const TransactionBlock& block);
    void beginTransaction(bool useDeferred, const TransactionBlock& block);
    ns::ErrorPtr inSavePoint(const TransactionBlock& block);
    void close();

    const std::optional<std::string>& path() const { return path_; }
    void setPath(std::optional<std::string> path) { path_ = std::move(path); }
    // "<SQLDatabaseQueue: 0x...>"
    std::string description() const;

private:
    SQLDatabaseQueue() = default;
    SQLDatabase* database();
    bool refuseReentry(const char* operation) const;

    std::optional<std::string> path_;
    std::unique_ptr<ns::SerialQueue> queue_;
    std::shared_ptr<SQLDatabase> db_;
};
