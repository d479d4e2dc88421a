#include "SQLDB/SQLDatabase.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "SQLDB/SQLDatabaseBlocks.h"
#include "foundation/Log.h"

namespace {

// Clears the connection's in-use flag on every way out of an operation.
class ExecutingGuard {
public:
    explicit ExecutingGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~ExecutingGuard() { flag_ = false; }
    ExecutingGuard(const ExecutingGuard&) = delete;
    ExecutingGuard& operator=(const ExecutingGuard&) = delete;

private:
    bool& flag_;
};

// A name put between single quotes in statement text.
std::string quoted(const std::string& name) {
    std::string out;
    out.reserve(name.size() + 2);
    for (char c : name) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

void callFunctionBlock(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* block = static_cast<SQLDatabase::FunctionBlock*>(sqlite3_user_data(context));
    // An exception must not unwind through SQLite's C frames.
    try {
        (*block)(context, argc, argv);
    } catch (const std::exception& e) {
        sqlite3_result_error(context, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(context, "SQL function failed", -1);
    }
}

std::atomic<long> gSavePointCounter{0};

// The operations the busy log names.
constexpr const char* kQueryOperation = "executeQuery_withArgumentsInArray_orDictionary_orVAList";
constexpr const char* kUpdateOperation = "executeUpdate_error_withArgumentsInArray_orDictionary_orVAList";

}  // namespace

// One statement being run by a query or an update.
struct SQLDatabase::StatementRun {
    const std::string& sql;
    std::shared_ptr<SQLStatement> cached;  // the cache's statement, when one was used
    sqlite3_stmt* stmt = nullptr;
    std::vector<ns::Value> held;  // the bound values of a fresh statement, until an SQLStatement takes them

    std::vector<ns::Value>& boundValues() { return cached ? cached->boundValues() : held; }
};

// ---- Creation ----

std::shared_ptr<SQLDatabase> SQLDatabase::databaseWithPath(std::optional<std::string> path) {
    return std::make_shared<SQLDatabase>(std::move(path));
}

std::string SQLDatabase::sqliteLibVersion() { return ns::format("%s", sqlite3_libversion()); }

bool SQLDatabase::isSQLiteThreadSafe() { return sqlite3_threadsafe() != 0; }

SQLDatabase::SQLDatabase(std::optional<std::string> path) : databasePath_(std::move(path)) {
    if (!sqlite3_threadsafe()) {
        std::fputs("SQLDatabase: the SQLite library is not built thread-safe\n", stderr);
        std::abort();
    }
}

SQLDatabase::~SQLDatabase() {
    close();
}

std::string SQLDatabase::description() const {
    return ns::format("<SQLDatabase: %p>", static_cast<const void*>(this));
}

// ---- Connection ----

// sqlite3_open is sqlite3_open_v2 with these flags.
bool SQLDatabase::open() { return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE); }

bool SQLDatabase::openWithFlags(int flags) {
    if (db_) return true;
    int rc = sqlite3_open_v2(databasePath_ ? databasePath_->c_str() : ":memory:", &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        ns::NSLog("error opening!: %d", rc);
        // SQLite hands back a handle even when opening fails; keeping it
        // would make the connection look open while every statement fails.
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool SQLDatabase::close() {
    if (isExecutingStatement_ || steppingStatements_ > 0) {
        warnInUse();
        return false;
    }
    clearCachedStatements();
    closeOpenResultSets();
    if (!db_) return true;

    int rc = SQLITE_OK;
    int retries = 0;
    bool triedFinalizingOpenStatements = false;
    do {
        rc = sqlite3_close(db_);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            pauseForBusyRetry();
            if (busyRetryTimeout_ != 0 && retries++ > busyRetryTimeout_) {
                ns::NSLog("%s:%d", __func__, __LINE__);
                ns::NSLog("Database busy, unable to close");
                return false;
            }
            if (!triedFinalizingOpenStatements) {
                triedFinalizingOpenStatements = true;
                while (sqlite3_stmt* leaked = sqlite3_next_stmt(db_, nullptr)) {
                    ns::NSLog("Closing leaked statement");
                    SQLStatement::finalizeOwned(leaked);
                }
            }
        }
    } while (rc == SQLITE_BUSY || rc == SQLITE_LOCKED);

    if (rc != SQLITE_OK) ns::NSLog("error closing!: %d", rc);
    db_ = nullptr;
    inTransaction_ = false;
    return true;
}

bool SQLDatabase::goodConnection() {
    if (!db_) return false;
    auto rs = executeQuery("select name from sqlite_master where type='table'");
    if (!rs) return false;
    rs->close();
    return true;
}

bool SQLDatabase::databaseExists() {
    if (!db_) {
        ns::NSLog("The SQLDatabase %@ is not open.", description());
        return false;
    }
    return true;
}

bool SQLDatabase::rekey(const std::string&) { return false; }
bool SQLDatabase::setKey(const std::string&) { return false; }

// ---- Busy handling ----

void SQLDatabase::pauseForBusyRetry() const {
    if (busyRetryPause_) {
        busyRetryPause_();
    } else {
        usleep(20);
    }
}

bool SQLDatabase::busyGiveUp(int& retries, const char* operation, int line) const {
    if (busyRetryTimeout_ != 0 && retries++ > busyRetryTimeout_) {
        ns::NSLog("%s:%d Database busy (%@)", operation, line, databasePath_ ? ns::Value(*databasePath_) : ns::Value());
        ns::NSLog("Database busy");
        return true;
    }
    return false;
}

// ---- Statements ----

bool SQLDatabase::prepareStatement(StatementRun& run, const char* operation, int line, ns::ErrorPtr* outErr) {
    int retries = 0;
    for (;;) {
        int rc = sqlite3_prepare_v2(db_, run.sql.c_str(), static_cast<int>(run.sql.size() + 1), &run.stmt, nullptr);
        if (rc == SQLITE_OK) return true;
        sqlite3_finalize(run.stmt);
        run.stmt = nullptr;
        if (rc == SQLITE_BUSY) {
            pauseForBusyRetry();
            if (busyGiveUp(retries, operation, line)) return false;
            continue;
        }
        if (logsErrors_) {
            ns::NSLog("DB Error: %d \"%@\"", lastErrorCode(), lastErrorMessage());
            ns::NSLog("DB Query: %@", run.sql);
            ns::NSLog("DB Path: %@", databasePath_ ? ns::Value(*databasePath_) : ns::Value());
        }
        if (outErr) *outErr = errorWithMessage(lastErrorMessage());
        return false;
    }
}

int SQLDatabase::bindObject(const ns::Value& obj, int idx, sqlite3_stmt* statement,
                             std::vector<ns::Value>& held) const {
    // Texts and blobs are bound without a copy. The caller's values may go
    // (or a container holding them may change) before the statement is
    // stepped for the last time, so the statement holds a copy of each value:
    // its text or bytes, shared and never changed, stay where they are.
    switch (obj.kind()) {
        case ns::Value::Kind::Nil:
        case ns::Value::Kind::Null:
            return sqlite3_bind_null(statement, idx);
        case ns::Value::Kind::Data: {
            const ns::Bytes& bytes = obj.data();
            // Empty data is a zero-length blob, not NULL.
            const void* p = bytes.empty() ? static_cast<const void*>("") : bytes.data();
            held.push_back(obj);
            return sqlite3_bind_blob(statement, idx, p, static_cast<int>(bytes.size()), SQLITE_STATIC);
        }
        case ns::Value::Kind::Date:
            return sqlite3_bind_double(statement, idx, obj.date().seconds);
        case ns::Value::Kind::Bool:
            return sqlite3_bind_int(statement, idx, obj.boolValue() ? 1 : 0);
        case ns::Value::Kind::Integer:
            if (obj.isUnsigned())
                return sqlite3_bind_int64(statement, idx, static_cast<sqlite3_int64>(obj.unsignedValue()));
            return sqlite3_bind_int64(statement, idx, obj.integerValue());
        case ns::Value::Kind::Double:
            return sqlite3_bind_double(statement, idx, obj.doubleValue());
        case ns::Value::Kind::String: {
            const std::string& s = obj.str();
            held.push_back(obj);
            return sqlite3_bind_text(statement, idx, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
        }
        default: {
            std::string s = obj.description();  // a temporary: SQLite copies it
            return sqlite3_bind_text(statement, idx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        }
    }
}

bool SQLDatabase::bindArguments(StatementRun& run, const ns::Value& arrayArgs, const ns::Value& dictionaryArgs,
                                Arguments args, bool isUpdate) {
    sqlite3_stmt* st = run.stmt;
    const int queryCount = sqlite3_bind_parameter_count(st);
    bool complete = true;
    // Every parameter is bound again below (or all are cleared on a failure),
    // so the values of the previous run can go.
    std::vector<ns::Value>& held = run.boundValues();
    held.clear();
    // The layer resets its statements after each use. One stepped from
    // outside and not reset refuses bindings (misuse): it is reset then, and
    // the value bound again.
    bool reset = false;
    auto bind = [&](const ns::Value& value, int idx) {
        if (bindObject(value, idx, st, held) == SQLITE_MISUSE && !reset) {
            reset = true;
            sqlite3_reset(st);
            bindObject(value, idx, st, held);
        }
    };

    if (dictionaryArgs.isDictionary()) {
        // Every key must name a placeholder and every placeholder must get a value.
        std::vector<bool> bound(static_cast<std::size_t>(queryCount) + 1, false);
        for (const auto& [key, value] : dictionaryArgs.entries()) {
            std::string parameterName = ":" + key;
            int idx = sqlite3_bind_parameter_index(st, parameterName.c_str());
            if (idx > 0) {
                bind(value, idx);
                bound[static_cast<std::size_t>(idx)] = true;
            } else {
                ns::NSLog("Could not find index for %@", key);
                complete = false;
            }
        }
        for (int i = 1; i <= queryCount; ++i)
            if (!bound[static_cast<std::size_t>(i)]) complete = false;
    } else {
        const Arguments values = arrayArgs.isArray() ? Arguments(arrayArgs.items()) : args;
        if (values.size() < static_cast<std::size_t>(queryCount)) {
            complete = false;
        } else {
            for (int idx = 1; idx <= queryCount; ++idx) {
                const ns::Value& obj = values[static_cast<std::size_t>(idx - 1)];
                if (traceExecution_) ns::NSLog("obj: %@", obj);
                bind(obj, idx);
            }
        }
    }

    if (!complete) {
        // No parameter may keep pointing into a value no longer held.
        sqlite3_clear_bindings(st);
        held.clear();
        if (isUpdate) {
            ns::NSLog("Error: the bind count is not correct for the # of variables (%@) (executeUpdate)", run.sql);
        } else {
            ns::NSLog("Error: the bind count is not correct for the # of variables (executeQuery)");
        }
    }
    return complete;
}

bool SQLDatabase::readyToExecute() {
    if (!databaseExists()) return false;
    if (isExecutingStatement_) {
        warnInUse();
        return false;
    }
    return true;
}

bool SQLDatabase::startStatement(StatementRun& run, const ns::Value& arrayArgs, const ns::Value& dictionaryArgs,
                                 Arguments args, bool isUpdate, const char* operation, int line,
                                 ns::ErrorPtr* outErr) {
    if (shouldCacheStatements_) {
        auto cached = cachedStatementForQuery(run.sql);
        // A cached statement that an open result set still iterates is not
        // handed out again; a fresh one is prepared instead.
        if (cached && cached->statement() && !cached->inUse()) {
            run.cached = std::move(cached);
            run.stmt = run.cached->statement();
            // The layer leaves its statements reset. One stepped from outside
            // and left so is reset when it refuses its first value (see
            // bindArguments()); one without parameters, here.
            if (sqlite3_bind_parameter_count(run.stmt) == 0) sqlite3_reset(run.stmt);
        }
    }
    if (!run.stmt && !prepareStatement(run, operation, line, outErr)) return false;
    if (!bindArguments(run, arrayArgs, dictionaryArgs, args, isUpdate)) {
        giveUpStatement(run);
        return false;
    }
    return true;
}

void SQLDatabase::giveUpStatement(StatementRun& run) {
    if (run.cached) {
        run.cached->reset();  // stays in the cache
    } else {
        sqlite3_finalize(run.stmt);
    }
    run.stmt = nullptr;
}

std::shared_ptr<SQLResultSet> SQLDatabase::executeQuery_withArgumentsInArray(const std::string& sql,
                                                                             const ns::Value& arguments) {
    return runQuery(sql, arguments, {}, {});
}

std::shared_ptr<SQLResultSet> SQLDatabase::executeQuery_withParameterDictionary(const std::string& sql,
                                                                                const ns::Value& arguments) {
    return runQuery(sql, {}, arguments, {});
}

std::shared_ptr<SQLResultSet> SQLDatabase::executeQuery_withArgumentsInArray_orDictionary_orVAList(
    const std::string& sql, const ns::Value& arrayArgs, const ns::Value& dictionaryArgs, const ArgumentList* args) {
    return runQuery(sql, arrayArgs, dictionaryArgs, args ? Arguments(*args) : Arguments());
}

std::shared_ptr<SQLResultSet> SQLDatabase::runQuery(const std::string& sql, const ns::Value& arrayArgs,
                                                    const ns::Value& dictionaryArgs, Arguments args) {
    if (!readyToExecute()) return nullptr;
    ExecutingGuard executing(isExecutingStatement_);
    if (traceExecution_) ns::NSLog("%@ executeQuery: %@", description(), sql);

    StatementRun run{sql, nullptr, nullptr, {}};
    if (!startStatement(run, arrayArgs, dictionaryArgs, args, false, kQueryOperation, __LINE__, nullptr)) return nullptr;

    std::shared_ptr<SQLStatement> statement = run.cached;
    if (!statement) {
        statement = std::make_shared<SQLStatement>();
        statement->setStatement(run.stmt);
        statement->boundValues() = std::move(run.held);
        statement->setQuery(sql);
        if (shouldCacheStatements_) setCachedStatement(statement, sql);
    }
    auto rs = SQLResultSet::resultSetWithStatement(statement, this);
    rs->setQuery(sql);
    openResultSets_.insert(rs.get());
    statement->setUseCount(statement->useCount() + 1);
    return rs;
}

bool SQLDatabase::executeUpdate_withArgumentsInArray(const std::string& sql, const ns::Value& arguments) {
    return runUpdate(sql, nullptr, arguments, {}, {});
}

bool SQLDatabase::executeUpdate_withParameterDictionary(const std::string& sql, const ns::Value& arguments) {
    return runUpdate(sql, nullptr, {}, arguments, {});
}

bool SQLDatabase::executeUpdate_error_withArgumentsInArray_orDictionary_orVAList(const std::string& sql,
                                                                                 ns::ErrorPtr* outErr,
                                                                                 const ns::Value& arrayArgs,
                                                                                 const ns::Value& dictionaryArgs,
                                                                                 const ArgumentList* args) {
    return runUpdate(sql, outErr, arrayArgs, dictionaryArgs, args ? Arguments(*args) : Arguments());
}

bool SQLDatabase::runUpdate(const std::string& sql, ns::ErrorPtr* outErr, const ns::Value& arrayArgs,
                            const ns::Value& dictionaryArgs, Arguments args) {
    if (!readyToExecute()) return false;
    ExecutingGuard executing(isExecutingStatement_);
    if (traceExecution_) ns::NSLog("%@ executeUpdate: %@", description(), sql);

    StatementRun run{sql, nullptr, nullptr, {}};
    if (!startStatement(run, arrayArgs, dictionaryArgs, args, true, kUpdateOperation, __LINE__, outErr)) return false;

    int rc = SQLITE_OK;
    int retries = 0;
    bool gaveUp = false;
    for (;;) {
        rc = sqlite3_step(run.stmt);
        if (rc != SQLITE_BUSY) break;
        // Only busy is retried: "locked" comes from this same connection and
        // would never clear while we wait.
        pauseForBusyRetry();
        if (busyGiveUp(retries, kUpdateOperation, __LINE__)) {
            gaveUp = true;
            break;
        }
    }
    if (rc != SQLITE_DONE && !gaveUp) {
        if (rc == SQLITE_ERROR) {
            ns::NSLog("Error calling sqlite3_step (%d: %s) SQLITE_ERROR", rc, sqlite3_errmsg(db_));
        } else if (rc == SQLITE_MISUSE) {
            ns::NSLog("Error calling sqlite3_step (%d: %s) SQLITE_MISUSE", rc, sqlite3_errmsg(db_));
        } else {
            ns::NSLog("Unknown error calling sqlite3_step (%d: %s) eu", rc, sqlite3_errmsg(db_));
        }
        ns::NSLog("DB Query: %@", sql);
    }

    std::shared_ptr<SQLStatement> cached = run.cached;
    if (!cached && shouldCacheStatements_) {
        cached = std::make_shared<SQLStatement>();
        cached->setStatement(run.stmt);
        cached->boundValues() = std::move(run.held);
        setCachedStatement(cached, sql);
    }
    int closeRc;
    if (cached) {
        cached->setUseCount(cached->useCount() + 1);
        closeRc = sqlite3_reset(run.stmt);
    } else {
        closeRc = sqlite3_finalize(run.stmt);
    }
    if (closeRc != SQLITE_OK) {
        ns::NSLog("Unknown error finalizing or resetting statement (%d: %s)", closeRc, sqlite3_errmsg(db_));
        ns::NSLog("DB Query: %@", sql);
    }
    return rc == SQLITE_DONE;
}

// ---- Format extraction ----

namespace {

long long integerOf(const ns::FormatArg& a) {
    using K = ns::FormatArg::Kind;
    switch (a.kind) {
        case K::Signed:
        case K::Char: return a.i;
        case K::Unsigned: return static_cast<long long>(a.u);
        case K::Double: return static_cast<long long>(a.d);
        case K::CString: return a.cstr ? ns::parseLeadingInteger(a.cstr) : 0;
        case K::String: return ns::parseLeadingInteger(a.s);
        case K::Object: return a.v.integerValue();
        case K::Pointer: return static_cast<long long>(reinterpret_cast<std::uintptr_t>(a.p));
    }
    return 0;
}

unsigned long long unsignedOf(const ns::FormatArg& a) {
    using K = ns::FormatArg::Kind;
    switch (a.kind) {
        case K::Unsigned: return a.u;
        case K::Object: return a.v.unsignedValue();
        default: return static_cast<unsigned long long>(integerOf(a));
    }
}

double doubleOf(const ns::FormatArg& a) {
    using K = ns::FormatArg::Kind;
    switch (a.kind) {
        case K::Double: return a.d;
        case K::Signed:
        case K::Char: return static_cast<double>(a.i);
        case K::Unsigned: return static_cast<double>(a.u);
        case K::CString: return a.cstr ? ns::parseLeadingDouble(a.cstr) : 0;
        case K::String: return ns::parseLeadingDouble(a.s);
        case K::Object: return a.v.doubleValue();
        case K::Pointer: return 0;
    }
    return 0;
}

// The object an "%@" or "%s" argument stands for; nil for a null pointer.
ns::Value objectOf(const ns::FormatArg& a) {
    using K = ns::FormatArg::Kind;
    switch (a.kind) {
        case K::Object: return a.v;
        case K::String: return ns::Value(a.s);
        case K::CString: return ns::Value(a.cstr);
        case K::Signed: return ns::Value(a.i);
        case K::Unsigned: return ns::Value(a.u);
        case K::Double: return ns::Value(a.d);
        case K::Char: return ns::Value(std::string(1, static_cast<char>(a.i)));
        case K::Pointer: return ns::Value();
    }
    return {};
}

}  // namespace

void SQLDatabase::extractSQL(std::string_view format, const std::vector<ns::FormatArg>& arguments,
                             std::string& cleanSQL, ArgumentList& values) {
    std::size_t nextArgument = 0;
    auto take = [&]() -> const ns::FormatArg* {
        return nextArgument < arguments.size() ? &arguments[nextArgument++] : nullptr;
    };
    auto at = [&](std::size_t i) -> char { return i < format.size() ? format[i] : '\0'; };

    bool afterPercent = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char current = format[i];
        if (!afterPercent) {
            if (current == '%') {
                afterPercent = true;
            } else if (current != '\0') {
                cleanSQL += current;
            }
            continue;
        }
        // The character after a "%" (a doubled "%" ends here, so the next
        // character is plain text again).
        afterPercent = false;

        bool isSpecifier = true;
        const ns::FormatArg* a = nullptr;
        ns::Value value;
        const char second = at(i + 1);
        switch (current) {
            case '@':
                if ((a = take())) value = objectOf(*a);
                break;
            case 'c':
                if ((a = take())) value = ns::Value(std::string(1, static_cast<char>(integerOf(*a))));
                break;
            case 's':
                if ((a = take())) value = objectOf(*a);
                break;
            case 'd':
            case 'D':
            case 'i':
                if ((a = take())) value = ns::Value(static_cast<int>(integerOf(*a)));
                break;
            case 'u':
            case 'U':
                if ((a = take())) value = ns::Value(static_cast<unsigned>(unsignedOf(*a)));
                break;
            case 'f':
                if ((a = take())) value = ns::Value(doubleOf(*a));
                break;
            case 'g':
                if ((a = take())) value = ns::Value(static_cast<double>(static_cast<float>(doubleOf(*a))));
                break;
            case 'h':
                ++i;
                if (second == 'i') {
                    if ((a = take())) value = ns::Value(static_cast<int>(static_cast<short>(integerOf(*a))));
                } else if (second == 'u') {
                    if ((a = take())) value = ns::Value(static_cast<unsigned>(static_cast<unsigned short>(unsignedOf(*a))));
                } else {
                    isSpecifier = false;
                }
                break;
            case 'q':
                ++i;
                if (second == 'i') {
                    if ((a = take())) value = ns::Value(integerOf(*a));
                } else if (second == 'u') {
                    if ((a = take())) value = ns::Value(unsignedOf(*a));
                } else {
                    isSpecifier = false;
                }
                break;
            case 'l':
                ++i;
                if (second == 'd') {
                    if ((a = take())) value = ns::Value(static_cast<long>(integerOf(*a)));
                } else if (second == 'u') {
                    if ((a = take())) value = ns::Value(static_cast<unsigned long>(unsignedOf(*a)));
                } else if (second == 'l') {
                    const char third = at(i + 1);
                    ++i;
                    if (third == 'd') {
                        if ((a = take())) value = ns::Value(integerOf(*a));
                    } else if (third == 'u') {
                        if ((a = take())) value = ns::Value(unsignedOf(*a));
                    } else {
                        isSpecifier = false;
                    }
                } else {
                    isSpecifier = false;
                }
                break;
            default:
                isSpecifier = false;
                break;
        }

        if (!isSpecifier) {
            // Not a value: the character itself (a pair whose second letter
            // does not match loses that letter).
            if (current != '\0') cleanSQL += current;
            continue;
        }
        // A placeholder for every specifier. A nil object binds NULL; a
        // specifier without an argument leaves the placeholder without a
        // value, which the bind count then refuses.
        cleanSQL += '?';
        if (a) values.push_back(std::move(value));
    }
}

// ---- Cache and result sets ----

void SQLDatabase::setShouldCacheStatements(bool value) {
    shouldCacheStatements_ = value;
    if (value && !cachedStatements_) cachedStatements_.emplace();
    if (!value) cachedStatements_.reset();
}

std::shared_ptr<SQLStatement> SQLDatabase::cachedStatementForQuery(const std::string& query) const {
    if (!cachedStatements_) return nullptr;
    auto it = cachedStatements_->find(query);
    return it == cachedStatements_->end() ? nullptr : it->second;
}

void SQLDatabase::setCachedStatement(const std::shared_ptr<SQLStatement>& statement, const std::string& query) {
    if (!statement) return;
    statement->setQuery(query);
    if (cachedStatements_) (*cachedStatements_)[query] = statement;
}

void SQLDatabase::clearCachedStatements() {
    if (!cachedStatements_) return;
    for (auto& [query, statement] : *cachedStatements_) statement->close();
    cachedStatements_->clear();
}

void SQLDatabase::closeOpenResultSets() {
    std::vector<SQLResultSet*> copy(openResultSets_.begin(), openResultSets_.end());
    for (SQLResultSet* rs : copy) {
        rs->setParentDB(nullptr);
        rs->close();
        openResultSets_.erase(rs);
    }
}

void SQLDatabase::resultSetDidClose(SQLResultSet* resultSet) { openResultSets_.erase(resultSet); }

// ---- Errors ----

int SQLDatabase::lastErrorCode() const { return sqlite3_errcode(db_); }

std::string SQLDatabase::lastErrorMessage() const { return sqlite3_errmsg(db_); }

bool SQLDatabase::hadError() const {
    int code = lastErrorCode();
    return code > SQLITE_OK && code < SQLITE_ROW;
}

ns::ErrorPtr SQLDatabase::errorWithMessage(const std::string& message) const {
    return ns::makeError(kSQLDatabaseErrorDomain, lastErrorCode(), message);
}

ns::ErrorPtr SQLDatabase::lastError() const { return errorWithMessage(lastErrorMessage()); }

void SQLDatabase::warnInUse() const { ns::NSLog("The SQLDatabase %@ is currently in use.", description()); }

// ---- Row information ----

long long SQLDatabase::lastInsertRowId() const {
    if (isExecutingStatement_) {
        warnInUse();
        return 0;
    }
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

int SQLDatabase::changes() const {
    if (isExecutingStatement_) {
        warnInUse();
        return 0;
    }
    return db_ ? sqlite3_changes(db_) : 0;
}

// ---- Transactions and save points ----

bool SQLDatabase::transactionStatement(const char* sql, bool inTransactionAfter) {
    bool ok = executeUpdate(sql);
    if (ok) inTransaction_ = inTransactionAfter;
    return ok;
}

bool SQLDatabase::beginTransaction() { return transactionStatement("begin exclusive transaction", true); }
bool SQLDatabase::beginDeferredTransaction() { return transactionStatement("begin deferred transaction", true); }
bool SQLDatabase::commit() { return transactionStatement("commit transaction", false); }
bool SQLDatabase::rollback() { return transactionStatement("rollback transaction", false); }

bool SQLDatabase::savePointStatement(const char* format, const std::string& name, ns::ErrorPtr* outErr) {
    bool ok = executeUpdate(ns::format(format, quoted(name)));
    if (!ok && outErr) *outErr = lastError();
    return ok;
}

bool SQLDatabase::startSavePointWithName(const std::string& name, ns::ErrorPtr* outErr) {
    return savePointStatement("savepoint '%@';", name, outErr);
}

bool SQLDatabase::releaseSavePointWithName(const std::string& name, ns::ErrorPtr* outErr) {
    return savePointStatement("release savepoint '%@';", name, outErr);
}

bool SQLDatabase::rollbackToSavePointWithName(const std::string& name, ns::ErrorPtr* outErr) {
    return savePointStatement("rollback transaction to savepoint '%@';", name, outErr);
}

ns::ErrorPtr SQLDatabase::inSavePoint(const std::function<void(bool* rollback)>& block) {
    std::string name = ns::format("dbSavePoint%ld", gSavePointCounter.fetch_add(1));
    return sqldb_detail::runInSavePoint(*this, name, [&](SQLDatabase*, bool* rollback) {
        if (block) block(rollback);
    });
}

// ---- SQL functions ----

void SQLDatabase::makeFunctionNamed(const std::string& name, int maximumArguments, FunctionBlock block) {
    openFunctions_.push_back(std::move(block));
    if (!databaseExists()) return;
    sqlite3_create_function(db_, name.c_str(), maximumArguments, SQLITE_UTF8, &openFunctions_.back(),
                            &callFunctionBlock, nullptr, nullptr);
}
