// The statistics database's shared pieces, used by the store and by the
// configuration holder, which keep a connection each to one file: the
// process-wide recursive lock "__MSA_LOCK__" held around every statement,
// the file's place in Documents, and statements whose values are always
// bound, never written into the SQL text.
//
//   std::lock_guard lock(mvomsa::databaseLock());
//   int rc = mvomsa::execute(db, "delete from events where event_id = ?", {id});
//   std::vector<mvomsa::Row> rows;
//   mvomsa::query(db, "select uid from user limit 1", {}, &rows);
//
//   mvomsa::CachedStatement insert("insert into events(...) values(@CONTENT, ...)");
//   insert.run(db, {json, 1, 0, ts});      // prepared once, kept between uses
//   insert.finalize();                     // before the connection closes
//
// The functions that take a connection expect the caller to hold the lock.
//
// Other programs may hold the file too (the app run twice on one home, a
// reader of the file): every connection waits up to kBusyTimeoutMs for
// their locks before a statement answers SQLITE_BUSY. A program that uses
// the store holds a RunningLock on it for as long as it runs.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "foundation/Dispatch.h"

namespace mvomsa {

using SQLValue = std::variant<std::int64_t, std::string>;
// One row read as texts, one per column (a NULL past the first column reads as "").
using Row = std::vector<std::string>;

// Stores one event as waiting: its JSON text, status, send count and time.
inline constexpr const char* kInsertEvent =
    "insert into events(content, status, send_count,ts) values(@CONTENT, @STATUS, @SENDCOUNT, @TS)";

// The lock every statement on the statistics database runs under.
ns::RecursiveLock& databaseLock();

// ".vovuruz_analysis_" followed by the store class's name; ".vovuruz_analysis.db"
// for a store class named "MSAStore".
std::string databaseFileName(const std::string& storeClassName);
// The file of that name in the Documents folder.
std::string databasePath(const std::string& storeClassName);

// An old "vovuruz_analysis.db" in Documents becomes ".vovuruz_analysis.db"
// (replacing one there); failures are ignored.
void moveOldDatabase();

// How long a statement waits for another connection's lock on the file.
inline constexpr int kBusyTimeoutMs = 5000;

// Opens the file, creating it when missing, with the wait above; nullptr
// when that fails, with why in `why` ("<path>: <reason>").
sqlite3* openDatabase(const std::string& path, std::string* why = nullptr);

class CachedStatement;
// The connection in `db`, opening the file first (after moving an old one
// into place) when none is open; nullptr when that fails, with why in `why`.
sqlite3* connect(sqlite3*& db, const std::string& path, std::string* why = nullptr);

// Whether SQLite's code (primary or extended) tells that the file could not
// be written: full, read-only, not to be opened, or a failed write.
bool isWriteFailure(int rc);
// Why the connection's last statement failed with `rc`: the system's reason
// ("No space left on device") when a call to the system failed, else
// SQLite's text for the code.
std::string failureReason(sqlite3* db, int rc);
// Finalises the statements prepared on the connection, closes it and forgets it.
void disconnect(sqlite3*& db, std::initializer_list<CachedStatement*> statements);

// Prepares the statement, binds the values in order, steps it to the end and
// finalises it: 0 (SQLITE_OK) when it ran through, else SQLite's code; -1
// without a connection.
int execute(sqlite3* db, const char* sql, std::initializer_list<SQLValue> values = {});
// The same for a statement that returns rows, read as texts; rows without
// columns or whose first column is NULL are skipped. -1 without a connection
// or a place for the rows.
int query(sqlite3* db, const char* sql, std::initializer_list<SQLValue> values, std::vector<Row>* rows);

// A statement kept prepared on one connection between uses.
class CachedStatement {
public:
    explicit CachedStatement(const char* sql) : sql_(sql) {}
    ~CachedStatement() { finalize(); }
    CachedStatement(const CachedStatement&) = delete;
    CachedStatement& operator=(const CachedStatement&) = delete;

    // Prepares the statement unless it is prepared on this connection, binds
    // the values and steps it once. When it is done (SQLITE_DONE) the
    // bindings are cleared and the statement reset for the next use and the
    // answer is 0 (SQLITE_OK); any other outcome finalises it, so the next
    // use prepares it again, and answers SQLite's code (-1 without a
    // connection).
    int run(sqlite3* db, std::initializer_list<SQLValue> values);
    // Finalises it; a connection must not close while it is prepared.
    void finalize();

private:
    const char* sql_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
};

// An advisory lock that a program using the store holds while it runs: a
// shared flock on a file beside the store, which the system lets go of when
// the program ends or dies.
//
// The file may be deleted or replaced while programs hold it. A program
// that takes the lock then checks that the path still names the file it
// locked, and takes it again when it does not; one that had to make the
// file cannot know whether a running program holds the file that went, so
// it is never alone. A program holding the lock watches the file and, once
// the path names another file or none, takes a shared lock on the file the
// path names (made, already locked, when missing), so that a later start
// finds it held. A file made here is locked before its name appears.
class RunningLock {
public:
    RunningLock() = default;
    ~RunningLock() { release(); }
    RunningLock(const RunningLock&) = delete;
    RunningLock& operator=(const RunningLock&) = delete;

    // Takes the lock on the file at `path` (made when missing): true when
    // no other program held it at that moment, so that nothing in the
    // store is another running program's. False when it is held elsewhere,
    // when the file had to be made, or when it cannot be had at all.
    bool take(const std::string& path);
    // Takes a shared lock on the file the path names when that is no longer
    // the file locked (the watch does this as soon as the file changes).
    void keep();
    void release();

private:
    void watch();
    // Watches the file locked for being unlinked, replaced or moved (under mutex_).
    void watchFile();

    // Guards the fields below; the watch reads notify_ and wake_ without it,
    // as they are set before it starts and closed after it has ended.
    std::mutex mutex_;
    std::string path_;
    int fd_ = -1;       // the file locked
    int watch_ = -1;    // inotify watch of that file
    int notify_ = -1;   // inotify descriptor
    int wake_ = -1;     // eventfd that ends the watch
    std::thread watcher_;
};

// Tests: connections opened from now on wait `milliseconds` for other
// connections' locks (0: not at all); a negative value is kBusyTimeoutMs again.
void setBusyTimeoutForTesting(int milliseconds);

// Tests: `hook` is called each time a RunningLock has opened (or made)
// the file at its path, before it locks it and checks that the path still
// names it. An empty function stops it.
void setRunningLockOpenedForTesting(std::function<void()> hook);

// Tests: `trace` receives the text of every statement prepared on a
// connection opened from now on, as prepared (placeholders, not values).
// An empty function stops it.
void setStatementTraceForTesting(std::function<void(const std::string&)> trace);

}  // namespace mvomsa
