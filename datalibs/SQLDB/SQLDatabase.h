// The object layer over one SQLite connection.
//
// Statements take their values from a variadic argument list (any mix of
// ns::Value, strings, numbers, ns::Date, ns::Bytes, nullptr and optionals; an
// empty optional or nullptr binds NULL), an ns::Value array, an ns::Value
// dictionary of named parameters (":name") or a printf-like format. Failures
// are reported by the result (nullptr, false or 0) with a line in the log;
// error objects are in the domain "SQLDatabase" with SQLite's result code.
//
// A connection is used by one thread at a time; share one between threads
// through SQLDatabaseQueue or SQLDatabasePool.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "SQLDB/SQLDBException.h"
#include "SQLDB/SQLResultSet.h"
#include "foundation/Error.h"
#include "foundation/Format.h"
#include "foundation/Value.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

inline constexpr const char* kSQLDatabaseErrorDomain = "SQLDatabase";
inline constexpr const char* kSQLCocoaErrorDomain = "NSCocoaErrorDomain";

namespace sqldb_detail {

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

// One bound value from one argument of a variadic statement call.
template <typename T>
ns::Value toValue(const T& x) {
    using D = std::decay_t<T>;
    if constexpr (std::is_same_v<D, ns::Value>) {
        return x;
    } else if constexpr (std::is_same_v<D, std::nullptr_t> || std::is_same_v<D, std::nullopt_t>) {
        return ns::Value();
    } else if constexpr (IsOptional<D>::value) {
        return x ? toValue(*x) : ns::Value();
    } else if constexpr (std::is_same_v<D, bool>) {
        return ns::Value(x);
    } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
        return ns::Value(static_cast<long long>(x));
    } else if constexpr (std::is_integral_v<D>) {
        return ns::Value(static_cast<unsigned long long>(x));
    } else if constexpr (std::is_floating_point_v<D>) {
        return ns::Value(static_cast<double>(x));
    } else {
        return ns::Value(x);
    }
}

// One argument of a printf-like statement call; an empty optional is nil.
template <typename T>
ns::FormatArg formatArg(const T& x) {
    using D = std::decay_t<T>;
    if constexpr (std::is_same_v<D, std::nullptr_t> || std::is_same_v<D, std::nullopt_t>) {
        return ns::FormatArg::from(ns::Value());
    } else if constexpr (IsOptional<D>::value) {
        return x ? formatArg(*x) : ns::FormatArg::from(ns::Value());
    } else {
        return ns::FormatArg::from(x);
    }
}

}  // namespace sqldb_detail

class SQLDatabase {
public:
    using ArgumentList = std::vector<ns::Value>;
    using StatementCache = std::unordered_map<std::string, std::shared_ptr<SQLStatement>>;
    // The body of an SQL function: context, argument count, argument values.
    using FunctionBlock = std::function<void(sqlite3_context*, int, sqlite3_value**)>;

    // A connection for the path, not yet open; no path means an in-memory database.
    static std::shared_ptr<SQLDatabase> databaseWithPath(std::optional<std::string> path);
    static std::shared_ptr<SQLDatabase> databaseWithPath(std::nullptr_t) { return databaseWithPath(std::nullopt); }
    static std::string sqliteLibVersion();
    static bool isSQLiteThreadSafe();

    explicit SQLDatabase(std::optional<std::string> path);
    explicit SQLDatabase(std::nullptr_t) : SQLDatabase(std::optional<std::string>()) {}
    ~SQLDatabase();
    SQLDatabase(const SQLDatabase&) = delete;
    SQLDatabase& operator=(const SQLDatabase&) = delete;

    // ---- Connection ----
    bool open();
    bool openWithFlags(int flags);
    // False, with the in-use warning, while a statement of the connection
    // runs (from an SQL function), and when it stays busy.
    bool close();
    const std::optional<std::string>& databasePath() const { return databasePath_; }
    sqlite3* sqliteHandle() const { return db_; }
    bool goodConnection();
    bool databaseExists();
    bool rekey(const std::string& key);
    bool setKey(const std::string& key);
    // "<SQLDatabase: 0x...>"
    std::string description() const;

    // ---- Queries ----
    template <typename... A>
    std::shared_ptr<SQLResultSet> executeQuery(const std::string& sql, const A&... args) {
        const std::array<ns::Value, sizeof...(A)> list{sqldb_detail::toValue(args)...};
        return runQuery(sql, {}, {}, list);
    }
    std::shared_ptr<SQLResultSet> executeQuery_withArgumentsInArray(const std::string& sql, const ns::Value& arguments);
    std::shared_ptr<SQLResultSet> executeQuery_withParameterDictionary(const std::string& sql,
                                                                       const ns::Value& arguments);
    template <typename... A>
    std::shared_ptr<SQLResultSet> executeQueryWithFormat(std::string_view format, const A&... args) {
        std::string sql;
        ArgumentList values;
        extractSQL(format, {sqldb_detail::formatArg(args)...}, sql, values);
        return runQuery(sql, {}, {}, values);
    }
    // The common query path: values from the array, else the dictionary,
    // else the argument list.
    std::shared_ptr<SQLResultSet> executeQuery_withArgumentsInArray_orDictionary_orVAList(
        const std::string& sql, const ns::Value& arrayArgs, const ns::Value& dictionaryArgs, const ArgumentList* args);

    // ---- Updates ----
    template <typename... A>
    bool executeUpdate(const std::string& sql, const A&... args) {
        const std::array<ns::Value, sizeof...(A)> list{sqldb_detail::toValue(args)...};
        return runUpdate(sql, nullptr, {}, {}, list);
    }
    bool executeUpdate_withArgumentsInArray(const std::string& sql, const ns::Value& arguments);
    bool executeUpdate_withParameterDictionary(const std::string& sql, const ns::Value& arguments);
    template <typename... A>
    bool executeUpdateWithFormat(std::string_view format, const A&... args) {
        std::string sql;
        ArgumentList values;
        extractSQL(format, {sqldb_detail::formatArg(args)...}, sql, values);
        return runUpdate(sql, nullptr, {}, {}, values);
    }
    // An update that reports a failure to prepare through outErr (when given).
    template <typename... A>
    bool update(const std::string& sql, ns::ErrorPtr* outErr, const A&... args) {
        const std::array<ns::Value, sizeof...(A)> list{sqldb_detail::toValue(args)...};
        return runUpdate(sql, outErr, {}, {}, list);
    }
    bool executeUpdate_error_withArgumentsInArray_orDictionary_orVAList(const std::string& sql, ns::ErrorPtr* outErr,
                                                                        const ns::Value& arrayArgs,
                                                                        const ns::Value& dictionaryArgs,
                                                                        const ArgumentList* args);

    // Splits a printf-like format into statement text with "?" placeholders
    // and the values the specifiers select from the arguments.
    static void extractSQL(std::string_view format, const std::vector<ns::FormatArg>& arguments,
                           std::string& cleanSQL, ArgumentList& values);

    // ---- Statement cache and result sets ----
    bool shouldCacheStatements() const { return shouldCacheStatements_; }
    void setShouldCacheStatements(bool value);
    const std::optional<StatementCache>& cachedStatements() const { return cachedStatements_; }
    void setCachedStatements(std::optional<StatementCache> statements) { cachedStatements_ = std::move(statements); }
    std::shared_ptr<SQLStatement> cachedStatementForQuery(const std::string& query) const;
    void setCachedStatement(const std::shared_ptr<SQLStatement>& statement, const std::string& query);
    void clearCachedStatements();
    bool hasOpenResultSets() const { return !openResultSets_.empty(); }
    void closeOpenResultSets();
    void resultSetDidClose(SQLResultSet* resultSet);

    // ---- Errors ----
    int lastErrorCode() const;
    std::string lastErrorMessage() const;
    bool hadError() const;
    ns::ErrorPtr errorWithMessage(const std::string& message) const;
    ns::ErrorPtr lastError() const;
    void warnInUse() const;

    // ---- Row information ----
    long long lastInsertRowId() const;
    int changes() const;

    // ---- Transactions and save points ----
    bool beginTransaction();
    bool beginDeferredTransaction();
    bool commit();
    bool rollback();
    bool inTransaction() const { return inTransaction_; }
    bool startSavePointWithName(const std::string& name, ns::ErrorPtr* outErr = nullptr);
    bool releaseSavePointWithName(const std::string& name, ns::ErrorPtr* outErr = nullptr);
    bool rollbackToSavePointWithName(const std::string& name, ns::ErrorPtr* outErr = nullptr);
    // Runs the block inside a fresh save point; the block sets *rollback to
    // undo its work (a block that throws is undone too, and the exception goes
    // on). Gives back the error of a failed save-point step.
    ns::ErrorPtr inSavePoint(const std::function<void(bool* rollback)>& block);

    // ---- SQL functions ----
    void makeFunctionNamed(const std::string& name, int maximumArguments, FunctionBlock block);

    // ---- Flags ----
    bool logsErrors() const { return logsErrors_; }
    void setLogsErrors(bool v) { logsErrors_ = v; }
    bool crashOnErrors() const { return crashOnErrors_; }
    void setCrashOnErrors(bool v) { crashOnErrors_ = v; }
    bool traceExecution() const { return traceExecution_; }
    void setTraceExecution(bool v) { traceExecution_ = v; }
    bool checkedOut() const { return checkedOut_; }
    void setCheckedOut(bool v) { checkedOut_ = v; }
    int busyRetryTimeout() const { return busyRetryTimeout_; }
    void setBusyRetryTimeout(int v) { busyRetryTimeout_ = v; }
    bool isExecutingStatement() const { return isExecutingStatement_; }

    // Held by a result set around each step of its statement. SQL functions
    // run inside a step; while one is held (or an update runs), close()
    // answers false, since it would finalise the statement under way.
    class StepScope {
    public:
        explicit StepScope(SQLDatabase* db) : db_(db) {
            if (db_) ++db_->steppingStatements_;
        }
        ~StepScope() {
            if (db_) --db_->steppingStatements_;
        }
        StepScope(const StepScope&) = delete;
        StepScope& operator=(const StepScope&) = delete;

    private:
        SQLDatabase* db_;
    };

    // Called instead of the 20-microsecond pause between busy retries; lets
    // tests count retries and free the database without sleeping.
    void setBusyRetryPause(std::function<void()> pause) { busyRetryPause_ = std::move(pause); }
    void pauseForBusyRetry() const;

    // ---- Additions: single values ----
    template <typename... A>
    std::optional<std::string> stringForQuery(const std::string& sql, const A&... args) {
        return firstValue(executeQuery(sql, args...), &SQLResultSet::stringForColumnIndex, std::optional<std::string>());
    }
    template <typename... A>
    int intForQuery(const std::string& sql, const A&... args) {
        return firstValue(executeQuery(sql, args...), &SQLResultSet::intForColumnIndex, 0);
    }
    template <typename... A>
    long long longForQuery(const std::string& sql, const A&... args) {
        return firstValue(executeQuery(sql, args...), &SQLResultSet::longForColumnIndex, 0LL);
    }
    template <typename... A>
    bool boolForQuery(const std::string& sql, const A&... args) {
        return firstValue(executeQuery(sql, args...), &SQLResultSet::boolForColumnIndex, false);
    }
    template <typename... A>
    double doubleForQuery(const std::string& sql, const A&... args) {
        return firstValue(executeQuery(sql, args...), &SQLResultSet::doubleForColumnIndex, 0.0);
    }
    template <typename... A>
    std::optional<ns::Bytes> dataForQuery(const std::string& sql, const A&... args) {
        return firstValue(executeQuery(sql, args...), &SQLResultSet::dataForColumnIndex, std::optional<ns::Bytes>());
    }
    template <typename... A>
    std::optional<ns::Date> dateForQuery(const std::string& sql, const A&... args) {
        return firstValue(executeQuery(sql, args...), &SQLResultSet::dateForColumnIndex, std::optional<ns::Date>());
    }

    // ---- Additions: schema ----
    bool tableExists(const std::string& tableName);
    std::shared_ptr<SQLResultSet> getSchema();
    std::shared_ptr<SQLResultSet> getTableSchema(const std::string& tableName);
    bool columnExists_inTableWithName(const std::string& columnName, const std::string& tableName);
    bool columnExists_columnName(const std::string& tableName, const std::string& columnName);
    // Whether the text can be prepared; the statement is never run.
    bool validateSQL(const std::string& sql, ns::ErrorPtr* outErr);

private:
    struct StatementRun;
    using Arguments = std::span<const ns::Value>;
    // The query and update paths; `args` is the argument list (empty when
    // the values come from the array or the dictionary).
    std::shared_ptr<SQLResultSet> runQuery(const std::string& sql, const ns::Value& arrayArgs,
                                           const ns::Value& dictionaryArgs, Arguments args);
    bool runUpdate(const std::string& sql, ns::ErrorPtr* outErr, const ns::Value& arrayArgs,
                   const ns::Value& dictionaryArgs, Arguments args);
    // Open, and not in the middle of another statement (logged otherwise).
    bool readyToExecute();
    // Takes the cache's statement for the text when it is free, else prepares
    // one, then binds the arguments; on a failure nothing is left open.
    // `operation` and `line` name the caller in the busy log.
    bool startStatement(StatementRun& run, const ns::Value& arrayArgs, const ns::Value& dictionaryArgs,
                        Arguments args, bool isUpdate, const char* operation, int line, ns::ErrorPtr* outErr);
    bool prepareStatement(StatementRun& run, const char* operation, int line, ns::ErrorPtr* outErr);
    bool bindArguments(StatementRun& run, const ns::Value& arrayArgs, const ns::Value& dictionaryArgs,
                       Arguments args, bool isUpdate);
    void giveUpStatement(StatementRun& run);
    // A transaction statement; on success the database is (or is no longer)
    // in a transaction.
    bool transactionStatement(const char* sql, bool inTransactionAfter);
    // A save-point statement for the name (format with one %@, quoted name);
    // a failure is given in outErr.
    bool savePointStatement(const char* format, const std::string& name, ns::ErrorPtr* outErr);
    bool busyGiveUp(int& retries, const char* operation, int line) const;
    // Texts and data are bound without a copy and kept in `held`; SQLite's answer.
    int bindObject(const ns::Value& obj, int idx, sqlite3_stmt* statement, std::vector<ns::Value>& held) const;

    template <typename R, typename D>
    static R firstValue(const std::shared_ptr<SQLResultSet>& rs, R (SQLResultSet::*getter)(int) const, D empty) {
        if (!rs || !rs->next()) return R(empty);
        R value = (rs.get()->*getter)(0);
        rs->close();
        rs->setParentDB(nullptr);
        return value;
    }

    sqlite3* db_ = nullptr;
    std::optional<std::string> databasePath_;
    bool logsErrors_ = false;
    bool crashOnErrors_ = false;
    bool checkedOut_ = false;
    bool traceExecution_ = false;
    bool shouldCacheStatements_ = false;
    bool isExecutingStatement_ = false;
    bool inTransaction_ = false;
    int busyRetryTimeout_ = 0;
    int steppingStatements_ = 0;
    std::optional<StatementCache> cachedStatements_;
    std::unordered_set<SQLResultSet*> openResultSets_;  // not owned
    std::list<FunctionBlock> openFunctions_;            // stable addresses: SQLite keeps pointers to them
    std::function<void()> busyRetryPause_;
};
