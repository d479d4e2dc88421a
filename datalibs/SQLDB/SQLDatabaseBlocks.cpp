#include "SQLDB/SQLDatabaseBlocks.h"

#include "foundation/Log.h"

namespace sqldb_detail {

bool runInTransaction(SQLDatabase& db, bool deferred, const TransactionBlock& block, const char* owner) {
    bool began = deferred ? db.beginDeferredTransaction() : db.beginTransaction();
    if (!began) {
        ns::NSLog("%s could not begin a transaction (%d: %@)", owner, db.lastErrorCode(), db.lastErrorMessage());
        return false;
    }
    bool shouldRollback = false;
    try {
        block(&db, &shouldRollback);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (shouldRollback) {
        db.rollback();
    } else {
        db.commit();
    }
    return true;
}

ns::ErrorPtr runInSavePoint(SQLDatabase& db, const std::string& name, const TransactionBlock& block) {
    ns::ErrorPtr err;
    if (!db.startSavePointWithName(name, &err)) return err;
    bool shouldRollback = false;
    try {
        block(&db, &shouldRollback);
    } catch (...) {
        ns::ErrorPtr ignored;
        if (db.rollbackToSavePointWithName(name, &ignored)) db.releaseSavePointWithName(name, &ignored);
        throw;
    }
    // Rolling back to a save point keeps it open; it is released in both
    // cases so that no transaction is left behind.
    if (shouldRollback && !db.rollbackToSavePointWithName(name, &err)) return err;
    db.releaseSavePointWithName(name, &err);
    return err;
}

}  // namespace sqldb_detail
