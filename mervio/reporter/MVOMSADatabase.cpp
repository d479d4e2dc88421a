#include "mervio/reporter/MVOMSADatabase.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>

#include "foundation/FileManager.h"

namespace mvomsa {

namespace {

using Trace = std::function<void(const std::string&)>;

std::mutex& traceMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<const Trace>& traceSlot() {
    static std::shared_ptr<const Trace> trace;
    return trace;
}

int onTrace(unsigned, void* context, void*, void* sql) {
    const auto* trace = static_cast<const Trace*>(context);
    if (sql) (*trace)(static_cast<const char*>(sql));
    return 0;
}

// Keeps the traces of the connections opened while tracing for the life of
// the process (a few per test run): SQLite holds a bare pointer to each.
void attachTrace(sqlite3* db) {
    std::shared_ptr<const Trace> trace;
    {
        std::lock_guard lock(traceMutex());
        trace = traceSlot();
    }
    if (!trace) return;
    static std::mutex keptMutex;
    static std::vector<std::shared_ptr<const Trace>> kept;
    {
        std::lock_guard lock(keptMutex);
        kept.push_back(trace);
    }
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &onTrace, const_cast<Trace*>(trace.get()));
}

std::atomic<int> busyTimeout{kBusyTimeoutMs};

bool lockFile(int fd, int operation) {
    int rc;
    while ((rc = ::flock(fd, operation)) != 0 && errno == EINTR) {
    }
    return rc == 0;
}

int bind(sqlite3_stmt* statement, std::initializer_list<SQLValue> values) {
    int index = 1;
    for (const SQLValue& value : values) {
        int rc = std::holds_alternative<std::int64_t>(value)
                     ? sqlite3_bind_int64(statement, index, std::get<std::int64_t>(value))
                     : sqlite3_bind_text(statement, index, std::get<std::string>(value).data(),
                                         static_cast<int>(std::get<std::string>(value).size()), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) return rc;
        ++index;
    }
    return SQLITE_OK;
}

std::string columnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    if (!text) return {};
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

// Prepares and binds; the statement, or nullptr with the code in `rc`.
sqlite3_stmt* prepare(sqlite3* db, const char* sql, std::initializer_list<SQLValue> values, int* rc) {
    sqlite3_stmt* statement = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (*rc == SQLITE_OK && statement) *rc = bind(statement, values);
    if (*rc != SQLITE_OK || !statement) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return statement;
}

}  // namespace

ns::RecursiveLock& databaseLock() {
    static ns::RecursiveLock lock("__MSA_LOCK__");
    return lock;
}

std::string databaseFileName(const std::string& storeClassName) {
    return storeClassName == "MSAStore" ? ".vovuruz_analysis.db" : ".vovuruz_analysis_" + storeClassName;
}

std::string databasePath(const std::string& storeClassName) {
    return ns::documentsDirectory() + "/" + databaseFileName(storeClassName);
}

void moveOldDatabase() {
    auto& files = ns::FileManager::defaultManager();
    std::string documents = ns::documentsDirectory();
    std::string old = documents + "/vovuruz_analysis.db", hidden = documents + "/.vovuruz_analysis.db";
    if (!files.fileExistsAtPath(old)) return;
    if (files.fileExistsAtPath(hidden)) files.removeItemAtPath(hidden);
    files.moveItemAtPath(old, hidden);
}

sqlite3* openDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyTimeout.load());
    attachTrace(db);
    return db;
}

sqlite3* connect(sqlite3*& db, const std::string& path) {
    if (!db) {
        moveOldDatabase();
        db = openDatabase(path);
    }
    return db;
}

void disconnect(sqlite3*& db, std::initializer_list<CachedStatement*> statements) {
    // A statement still prepared would keep the connection, and the file, open.
    for (CachedStatement* statement : statements) statement->finalize();
    if (db) sqlite3_close(db);
    db = nullptr;
}

int execute(sqlite3* db, const char* sql, std::initializer_list<SQLValue> values) {
    if (!db) return -1;
    int rc = SQLITE_OK;
    sqlite3_stmt* statement = prepare(db, sql, values, &rc);
    if (!statement) return rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int query(sqlite3* db, const char* sql, std::initializer_list<SQLValue> values, std::vector<Row>* rows) {
    if (!db || !rows) return -1;
    int rc = SQLITE_OK;
    sqlite3_stmt* statement = prepare(db, sql, values, &rc);
    if (!statement) return rc;
    int columns = sqlite3_column_count(statement);
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (columns == 0 || sqlite3_column_type(statement, 0) == SQLITE_NULL) continue;
        Row row;
        for (int c = 0; c < columns; ++c) row.push_back(columnText(statement, c));
        rows->push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int CachedStatement::run(sqlite3* db, std::initializer_list<SQLValue> values) {
    if (!db) return -1;
    if (statement_ && db_ != db) finalize();
    if (!statement_) {
        int rc = sqlite3_prepare_v2(db, sql_, -1, &statement_, nullptr);
        if (rc != SQLITE_OK || !statement_) {
            finalize();
            return rc == SQLITE_OK ? SQLITE_ERROR : rc;
        }
        db_ = db;
    }
    int rc = bind(statement_, values);
    if (rc == SQLITE_OK) rc = sqlite3_step(statement_);
    if (rc == SQLITE_DONE) {
        sqlite3_clear_bindings(statement_);
        sqlite3_reset(statement_);
        return SQLITE_OK;
    }
    finalize();
    return rc;
}

void CachedStatement::finalize() {
    if (statement_) sqlite3_finalize(statement_);
    statement_ = nullptr;
    db_ = nullptr;
}

bool RunningLock::take(const std::string& path) {
    release();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
    const bool alone = lockFile(fd_, LOCK_EX | LOCK_NB);
    // Shared from now on, so that the start of another program finds it
    // held; waits only while another program is at that moment of its start.
    if (!lockFile(fd_, LOCK_SH)) {
        release();
        return false;
    }
    return alone;
}

void RunningLock::release() {
    if (fd_ >= 0) ::close(fd_);  // closing lets go of the lock
    fd_ = -1;
}

void setBusyTimeoutForTesting(int milliseconds) { busyTimeout.store(milliseconds < 0 ? kBusyTimeoutMs : milliseconds); }

void setStatementTraceForTesting(std::function<void(const std::string&)> trace) {
    std::lock_guard lock(traceMutex());
    traceSlot() = trace ? std::make_shared<const Trace>(std::move(trace)) : nullptr;
}

}  // namespace mvomsa
