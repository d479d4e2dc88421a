// Work given as a block inside a transaction or a save point of one
// connection, shared by the queue and the pool. The block asks for a roll-back
// through its flag; a block that throws is rolled back too, and the exception
// goes on to the caller, so no connection is left inside a transaction.
#pragma once

#include <functional>
#include <string>

#include "SQLDB/SQLDatabase.h"
#include "foundation/Error.h"

namespace sqldb_detail {

using TransactionBlock = std::function<void(SQLDatabase* db, bool* rollback)>;

// Begins an exclusive or deferred transaction, runs the block and commits or
// rolls back. When the transaction cannot begin the block does not run (its
// writes would be committed one by one), a line naming `owner` is logged and
// the answer is false.
bool runInTransaction(SQLDatabase& db, bool deferred, const TransactionBlock& block, const char* owner);

// Runs the block inside the save point `name`, rolled back to when asked and
// released either way; the error of a failed save-point step, or nullptr.
ns::ErrorPtr runInSavePoint(SQLDatabase& db, const std::string& name, const TransactionBlock& block);

}  // namespace sqldb_detail
