// Shortcuts of the connection: schema questions and a syntax check. The
// single-value queries are templates in SQLDatabase.h.
#include <sqlite3.h>

#include "SQLDB/SQLDatabase.h"
#include "foundation/Log.h"
#include "foundation/Strings.h"

bool SQLDatabase::tableExists(const std::string& tableName) {
    auto rs = executeQuery("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                           ns::asciiLowercase(tableName));
    if (!rs) return false;
    bool found = rs->next();
    rs->close();
    return found;
}

std::shared_ptr<SQLResultSet> SQLDatabase::getSchema() {
    return executeQuery(
        "SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL SELECT * FROM "
        "sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' ORDER BY tbl_name, type DESC, name");
}

std::shared_ptr<SQLResultSet> SQLDatabase::getTableSchema(const std::string& tableName) {
    std::string escaped;
    for (char c : tableName) {
        escaped += c;
        if (c == '\'') escaped += '\'';
    }
    return executeQuery(ns::format("PRAGMA table_info('%@')", escaped));
}

bool SQLDatabase::columnExists_inTableWithName(const std::string& columnName, const std::string& tableName) {
    const std::string column = sqldb_detail::lowercaseColumnName(columnName);
    // SQLite matches table names without regard to the case of ASCII letters
    // only: the others must stay as they are to be found.
    auto rs = getTableSchema(ns::asciiLowercase(tableName));
    if (!rs) return false;
    bool found = false;
    while (rs->next()) {
        auto name = rs->stringForColumn("name");
        if (name && sqldb_detail::lowercaseColumnName(*name) == column) {
            found = true;
            break;
        }
    }
    rs->close();
    return found;
}

bool SQLDatabase::columnExists_columnName(const std::string& tableName, const std::string& columnName) {
    return columnExists_inTableWithName(columnName, tableName);
}

bool SQLDatabase::validateSQL(const std::string& sql, ns::ErrorPtr* outErr) {
    if (!db_) {
        if (outErr) *outErr = ns::makeError(kSQLCocoaErrorDomain, SQLITE_MISUSE, std::string("database not open"));
        return false;
    }
    sqlite3_stmt* statement = nullptr;
    int rc = SQLITE_OK;
    int retries = 0;
    for (;;) {
        rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size() + 1), &statement, nullptr);
        if (rc != SQLITE_BUSY) break;
        sqlite3_finalize(statement);
        statement = nullptr;
        pauseForBusyRetry();
        if (busyGiveUp(retries, __func__, __LINE__)) break;
    }
    if (rc != SQLITE_OK && outErr) *outErr = ns::makeError(kSQLCocoaErrorDomain, lastErrorCode(), lastErrorMessage());
    sqlite3_finalize(statement);
    return rc == SQLITE_OK;
}
