// The statistics reporter's store: every event not sent at once, the
// reporting user and the server's configuration, in one SQLite file in
// Documents (".vovuruz_analysis_MVOMSAStore"). It hands batches of waiting
// events to the upload and applies the outcome: sent events go, failed ones
// wait again with their count raised and go after maxSendRetryCount
// failures. A file SQLite does not take for a database, at start or when a
// statement meets it later, is set aside under setAsidePath() and a fresh
// store made in its place; a corrupt one is removed and made anew, and one
// deleted or moved away while open is opened again at its path. Tables
// that could not be made (a full disk) are made at the next attempt; a
// file made for them and left empty is removed meanwhile. A store that
// cannot be written (full, read-only, not to be opened) says so in one log
// line naming the file and the reason, once until an event is kept again:
// the events that come meanwhile are not kept.
//
// Another program may use the same file (the app run twice on one home):
// every statement waits a few seconds for the other's locks, a launch
// leaves the rows in upload alone while another program runs the store
// (runningLockPath, whose file may even be deleted meanwhile), and a batch's
// outcome touches only rows still in upload. The store's limit
// (maxStoreEventCount) counts every event not yet sent, in upload or
// waiting, so rows that go back to waiting never push it past the limit.
//
//   auto store = MVOMSAStore::getInstance();      // opens the file, creates the tables
//   store->launch();                              // events left in upload wait again
//   store->storeEvent(event, false, [] { ... });  // on the "StatStore" queue
//   store->sendCachedEvents(-1);                  // every waiting event, batch by batch
//
// Rows of events: status 1 waits, 2 is in upload. Writes and batches run on
// the store's serial queue "StatStore"; loadUser() waits for it (inline when
// already on it); the rest runs on the caller's thread. Every statement runs
// under the "__MSA_LOCK__" lock that the configuration holder's connection
// shares, and every value is bound to it. Thread-safe.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Dispatch.h"
#include "foundation/Value.h"
#include "mervio/reporter/MVOMSADatabase.h"
#include "mervio/reporter/MVOMSAEvent.h"
#include "mervio/reporter/MVOMSAReporterLinks.h"

// One row of the events table.
struct MVOMSAStoreEvent {
    std::uint32_t eventId = 0;
    std::string content;  // the event's JSON text
    std::uint32_t status = 0;
    std::uint32_t sendCount = 0;  // failed uploads
    std::uint32_t ts = 0;
};
using MVOMSAStoreEventPtr = std::shared_ptr<MVOMSAStoreEvent>;
using MVOMSAStoreEvents = std::vector<MVOMSAStoreEventPtr>;

// One row of the config table: a configuration of the server by type (1 the
// SDK's, 2 the app's).
struct MVOMSADataConfig {
    std::uint32_t type = 0;
    std::string content;  // JSON text
    std::string md5;
    std::uint32_t version = 0;

    // Sets "v" to the version.
    void encodeWithNoContent(ns::Value& dict) const;
    // Reads the server form {"c": {...}, "v": <number>, "m": "<digest>"}; false
    // (and nothing changed) when a key is missing or of another kind.
    bool decode(const ns::Value& dict);
};

class MVOMSAStore : public MVOMSAUserStorage, public std::enable_shared_from_this<MVOMSAStore> {
public:
    static constexpr const char* kClassName = "MVOMSAStore";
    static constexpr const char* kVersionKey = "MSA_SDK_DB_VER";  // user defaults: the schema's version, 1
    enum Status : std::uint32_t { kWaiting = 1, kSending = 2 };

    // The store, made on first use: the queue, then initDB(). Registers as
    // the helper's user storage.
    static std::shared_ptr<MVOMSAStore> getInstance();
    // The store when it has been made, else nullptr.
    static std::shared_ptr<MVOMSAStore> existing();
    // Tests: closes the database and forgets the store (its queue must be idle).
    static void resetForTesting();
    // Documents/.vovuruz_analysis_MVOMSAStore
    static std::string databasePath();
    // Where a file that is no database is set aside (replacing one set aside
    // before): the database's path with ".unreadable" added.
    static std::string setAsidePath();
    // The file of the lock that a program holds while it runs the store
    // (taken at launch): the database's path with ".lock" added.
    static std::string runningLockPath();

    ns::SerialQueue& taskQueue() { return queue_; }

    // Sets the schema version when the defaults have none, opens the
    // database and creates the three tables (getDB()).
    void initDB();
    // The open connection, opening the file first when none is (nullptr when
    // that fails; the next call tries again). Until the tables of the file
    // have once been created (a full disk, or a folder that took no file at
    // start), each call creates them; a file that is no database, or a
    // corrupt one, met there is made anew (renewIfUnusable).
    sqlite3* getDB();
    void closeDB();
    void close() { closeDB(); }
    // Closes (the holder's connection too) and removes the file.
    void deleteDB();
    // Runs one statement with its values: SQLite's code (0 when it ran
    // through), -1 without a database. A corrupt database (11) is removed
    // and made anew, and 11 answered; a file that is no database (26) is set
    // aside, a fresh one made, and 26 answered.
    int updateDatabase(const char* sql, std::initializer_list<mvomsa::SQLValue> values = {});
    // Runs one query, its rows appended to `rows`: SQLite's code as
    // updateDatabase answers it, an unusable file made anew the same way.
    int queryDatabase(const char* sql, std::initializer_list<mvomsa::SQLValue> values, std::vector<mvomsa::Row>* rows);

    // Asynchronous: takes the store's running lock for as long as the store
    // is kept; when no other program held it (and its file was there
    // already), rows left in upload wait again. The count is read anew.
    void launch();
    // Waiting events in the table (0 on any failure).
    std::uint32_t getStoredEventsNum();
    // The count kept: read at launch and after every batch, raised by each event stored.
    std::uint32_t storedEventCount() const { return numStoredEvents_.load(); }

    // Asynchronous: stores the event's JSON text as waiting, after evicting
    // the oldest second's events when the store is full: when the events not
    // yet sent (waiting or in upload) fill maxStoreEventCount. An event longer than
    // maxReportEventLength (unless an error event) or with no text is
    // dropped. `completion` runs once in every case. The events that came
    // meanwhile are written with it in one transaction; when that is not
    // kept, each is written alone.
    void storeEvent(std::shared_ptr<MVOMSAEvent> event, bool hasTrySent, std::function<void()> completion);
    // Asynchronous: uploads one batch of up to maxLoadEventCount waiting
    // events (oldest first), marked in upload before it goes; on success
    // deletes them and asks for more: all that wait for n < 0, else while n
    // is not reached or n more wait. On failure they wait again. A batch
    // that cannot be marked (the store takes no writes) does not go, and no
    // more is asked for. The outcome touches only rows still in upload in
    // the file the batch came from: none once that file has been set aside
    // or made anew. Once the uploads are stopped (the program ends) no batch
    // is taken, and one that was never handed to the network waits again,
    // no failure counted; one stopped on its way stays in upload, its
    // outcome unknown, until a start that finds no other program.
    void sendCachedEvents(std::int32_t n);
    // Appends up to maxLoadEventCount waiting events, oldest first.
    void loadCachedEvents(MVOMSAStoreEvents& events);
    // Asynchronous batch updates; each recounts afterwards.
    void updateEvents(MVOMSAStoreEvents events, std::uint32_t status);
    // An upload's outcome, for the events' rows still in upload: deleted;
    void deleteEvents(MVOMSAStoreEvents events, std::function<void()> callback);
    // or each event's send count goes up by one: below maxSendRetryCount it
    // waits again, else it is deleted.
    void updateSendFailedEvents(MVOMSAStoreEvents events);

    // Asynchronous: the user's type, app version and tag time, by uid.
    void storeUser(const MVOMSAUser& user) override;
    // On the store queue: the user row; a first use creates it from the
    // environment with type 0. The empty record when the table cannot be read.
    std::optional<MVOMSAUser> loadUser() override;
    // The uid of the user row, else "".
    std::string getMsaShareUDID();

    // Asynchronous: writes the configuration of its type.
    void storeConfig(MVOMSADataConfig config);
    // Calls `block` with every stored configuration.
    void loadConfig(const std::function<void(const MVOMSADataConfig&)>& block);

    MVOMSAStore(const MVOMSAStore&) = delete;
    MVOMSAStore& operator=(const MVOMSAStore&) = delete;
    ~MVOMSAStore() override;

private:
    struct PendingEvent {
        std::shared_ptr<MVOMSAEvent> event;
        std::function<void()> completion;
    };

    MVOMSAStore();
    // Reads the counts anew: waiting events, and events not yet sent.
    void recount();
    // On the queue: writes the events stored since the last write.
    void storePending();
    // Evicts the oldest second's events when the events not yet sent fill the store.
    void evictIfFull(std::uint32_t most);
    // The rows in one transaction: true when it was kept with all of them.
    bool insertTogether(const std::vector<std::pair<std::string, std::uint32_t>>& rows, std::uint32_t most);
    // One row by itself (into a fresh file when it finds its file unusable): SQLite's code.
    int insertAlone(const std::string& json, std::uint32_t ts, std::uint32_t most);
    // Creates the tables: SQLite's code of the first statement that failed
    // (0 when all ran; -1 without a database).
    static int createTables(sqlite3* db);
    // What every statement does with its code: for a corrupt database (11)
    // the file is removed, for a file that is no database (26) it is set
    // aside, and a fresh store is made; true then, false for any other code
    // (a busy or full store keeps its file; one that cannot be written says
    // so through cannotWrite).
    bool renewIfUnusable(int rc);
    // Logs why the store cannot be written ("<path>: <reason>"), unless
    // that was the last thing logged since an event was kept.
    void cannotWrite(const std::string& why);
    // Closes the store's connection and the configuration holder's.
    void closeConnections();
    // Moves the file to setAsidePath(), both connections closed first.
    void setAside();
    using BatchStatement = std::function<int(MVOMSAStoreEvent& event, bool again)>;
    // The batch updates' transaction: the statement for each event, then
    // once more (in a second transaction) for those that failed or whose
    // transaction was not kept; recounts. The events' rows are those of
    // `file` (file_ when they were loaded): once that file has gone, no
    // statement runs. True when every event's statement was kept in it.
    bool runBatch(const MVOMSAStoreEvents& events, std::uint64_t file, const BatchStatement& statement);
    // One transaction of a batch: the events whose statement failed, or all
    // of them when the transaction could not be committed (or the file went).
    MVOMSAStoreEvents runTransaction(const MVOMSAStoreEvents& events, std::uint64_t file, bool again,
                                     const BatchStatement& statement);
    std::uint64_t currentFile();  // file_
    // An event stored: one more waiting, one more not yet sent; the store
    // takes writes again. Under the database lock.
    void counted() {
        numStoredEvents_.fetch_add(1);
        numUnsentEvents_.fetch_add(1);
        loggedFailure_.clear();
    }
    // Commits; a transaction that could not be committed is rolled back.
    // True when it was committed.
    bool endTransaction();
    // Loads up to maxLoadEventCount waiting events and marks them in upload:
    // the batch, with the file it is in, or none when they could not be marked.
    MVOMSAStoreEvents takeBatch(std::uint64_t* file);
    void removeEvents(const MVOMSAStoreEvents& events, std::uint64_t file);
    void failEvents(const MVOMSAStoreEvents& events, std::uint64_t file);
    // A batch that never went: its rows still in upload wait again, as they
    // were. The batches handed back meanwhile go back in one transaction.
    void putBackLater(const MVOMSAStoreEvents& events, std::uint64_t file);
    // On the queue: puts back the batches handed back since the last time.
    void putBack();
    void afterSent(std::int32_t n, std::size_t batchSize);

    ns::SerialQueue queue_{"StatStore"};
    sqlite3* db_ = nullptr;  // under the database lock, as the three below
    bool tablesMade_ = false;  // in the file
    bool renewing_ = false;
    std::string loggedFailure_;  // why it could not write, as logged last
    // Which of the files the store has had in this process is open: raised
    // each time the file goes (set aside, removed, or found moved), since a
    // fresh one numbers its rows from 1 again.
    std::uint64_t file_ = 0;
    mvomsa::CachedStatement insertEvent_;
    mvomsa::CachedStatement replaceConfig_;
    std::atomic<std::uint32_t> numStoredEvents_{0};
    std::atomic<std::uint32_t> numUnsentEvents_{0};  // every row, waiting or in upload, read with the count
    std::mutex pendingMutex_;
    std::vector<PendingEvent> pending_;  // guarded by pendingMutex_; a write is queued while any wait
    // Guarded by pendingMutex_: batches never sent, with their file; a put-back is queued while any wait.
    std::vector<std::pair<MVOMSAStoreEvents, std::uint64_t>> unsent_;
    mvomsa::RunningLock runningLock_;  // on the queue, and when the store is forgotten
};
