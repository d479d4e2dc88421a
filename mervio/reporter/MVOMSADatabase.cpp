#include "mervio/reporter/MVOMSADatabase.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
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

sqlite3* openDatabase(const std::string& path, std::string* why) {
    sqlite3* db = nullptr;
    if (int rc = sqlite3_open(path.c_str(), &db); rc != SQLITE_OK) {
        if (why) *why = path + ": " + failureReason(db, rc);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyTimeout.load());
    attachTrace(db);
    return db;
}

sqlite3* connect(sqlite3*& db, const std::string& path, std::string* why) {
    if (!db) {
        moveOldDatabase();
        db = openDatabase(path, why);
    }
    return db;
}

bool isWriteFailure(int rc) {
    if (rc == SQLITE_IOERR_READ || rc == SQLITE_IOERR_SHORT_READ) return false;
    switch (rc & 0xff) {
        case SQLITE_FULL:
        case SQLITE_IOERR:
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
            return true;
        default:
            return false;
    }
}

std::string failureReason(sqlite3* db, int rc) {
    if (int err = db ? sqlite3_system_errno(db) : 0) return std::strerror(err);
    return sqlite3_errstr(rc);
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

namespace {

// Whether `path` names the file open at `fd` (the same device and inode).
bool namesFile(const std::string& path, int fd) {
    struct stat named{}, open{};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

std::mutex& openedMutex() {
    static std::mutex m;
    return m;
}

std::function<void()>& openedHook() {
    static std::function<void()> hook;
    return hook;
}

void opened() {
    std::function<void()> hook;
    {
        std::lock_guard lock(openedMutex());
        hook = openedHook();
    }
    if (hook) hook();
}

constexpr int kMadeMeanwhile = -2;

// Makes the file at `path` with a shared lock on it before its name
// appears, so that nobody finds it unlocked: its descriptor, kMadeMeanwhile
// when a file is there by now, -1 when none can be made.
int makeLocked(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        lockFile(fd, LOCK_SH);
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return fd;
        const int error = errno;
        ::close(fd);
        if (error == EEXIST) return kMadeMeanwhile;
    }
    // A file system without unnamed files, or no /proc: made, then locked at once.
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? kMadeMeanwhile : -1;
    lockFile(fd, LOCK_SH);
    return fd;
}

// Locks the file that `path` names, shared in the end, making it when
// missing: its descriptor, or -1. `alone` tells whether, when asked for,
// an exclusive lock was had at once on a file that was there before.
int lockAt(const std::string& path, bool tryAlone, bool* alone) {
    *alone = false;
    // Bounded: a path replaced under every attempt is no lock to be had.
    for (int attempt = 0; attempt < 64; ++attempt) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const bool made = fd < 0 && errno == ENOENT;
        if (made) fd = makeLocked(path);
        if (fd == kMadeMeanwhile) continue;
        if (fd < 0) return -1;
        opened();
        bool exclusive = false;
        if (!made) {
            exclusive = tryAlone && lockFile(fd, LOCK_EX | LOCK_NB);
            // Shared from now on, so that the start of another program finds
            // it held; waits only while another program is at that moment of its start.
            if (!lockFile(fd, LOCK_SH)) {
                ::close(fd);
                return -1;
            }
        }
        // Deleted or replaced meanwhile: a lock on a file that nobody opens
        // any more tells nothing, and keeps nobody out.
        if (!namesFile(path, fd)) {
            ::close(fd);
            continue;
        }
        *alone = exclusive;
        return fd;
    }
    return -1;
}

}  // namespace

bool RunningLock::take(const std::string& path) {
    release();
    bool alone = false;
    const int fd = lockAt(path, true, &alone);
    if (fd < 0) return false;
    {
        std::lock_guard lock(mutex_);
        path_ = path;
        fd_ = fd;
        notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        wake_ = ::eventfd(0, EFD_CLOEXEC);
        if (notify_ >= 0 && wake_ >= 0) {
            watchFile();
            watcher_ = std::thread([this] { watch(); });
        }
    }
    keep();  // a change before the watch began
    return alone;
}

void RunningLock::watchFile() {
    if (notify_ < 0) return;
    if (watch_ >= 0) ::inotify_rm_watch(notify_, watch_);
    // The file locked, whatever the path names by now. A link count going
    // down shows as a change of attributes.
    const std::uint32_t events = IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF;
    watch_ = ::inotify_add_watch(notify_, ("/proc/self/fd/" + std::to_string(fd_)).c_str(), events);
    if (watch_ < 0) watch_ = ::inotify_add_watch(notify_, path_.c_str(), events);
}

void RunningLock::watch() {
    pollfd ends[2] = {{notify_, POLLIN, 0}, {wake_, POLLIN, 0}};
    for (;;) {
        if (::poll(ends, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (ends[1].revents != 0) return;
        if (ends[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
        alignas(inotify_event) char events[4096];
        while (::read(notify_, events, sizeof events) > 0) {
        }
        keep();
    }
}

void RunningLock::keep() {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || namesFile(path_, fd_)) return;
    bool alone = false;
    const int fd = lockAt(path_, false, &alone);
    // None to be had there (its folder gone, with the store in it): the lock
    // held stays, and the next change is watched for as before.
    if (fd < 0) return;
    ::close(fd_);  // the new one is held first: no moment without either
    fd_ = fd;
    watchFile();
}

void RunningLock::release() {
    if (wake_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(wake_, &one, sizeof one);
    }
    if (watcher_.joinable()) watcher_.join();
    std::lock_guard lock(mutex_);
    for (int* fd : {&fd_, &notify_, &wake_}) {  // closing fd_ lets go of the lock
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    watch_ = -1;
    path_.clear();
}

void setBusyTimeoutForTesting(int milliseconds) { busyTimeout.store(milliseconds < 0 ? kBusyTimeoutMs : milliseconds); }

void setRunningLockOpenedForTesting(std::function<void()> hook) {
    std::lock_guard lock(openedMutex());
    openedHook() = std::move(hook);
}

void setStatementTraceForTesting(std::function<void(const std::string&)> trace) {
    std::lock_guard lock(traceMutex());
    traceSlot() = trace ? std::make_shared<const Trace>(std::move(trace)) : nullptr;
}

}  // namespace mvomsa
