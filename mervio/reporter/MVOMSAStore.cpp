#include "mervio/reporter/MVOMSAStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "foundation/UserDefaults.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADataConfigHolder.h"
#include "mervio/reporter/MVOMSADispatcher.h"
#include "mervio/reporter/MVOMSAHelper.h"

namespace {

constexpr const char* kCreateStatements[] = {
    ("create table if not exists events(event_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, content TEXT, "
     "status INTEGER, send_count INTEGER, ts INTEGER)"),
    "create table if not exists user(uid TEXT, user_type INTEGER, app_ver TEXT, ts INTEGER, PRIMARY KEY(uid))",
    "create table if not exists config(type INTEGER, content TEXT, md5sum TEXT, version INTEGER, PRIMARY KEY(type))",
};

std::mutex& instanceMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<MVOMSAStore>& instance() {
    static std::shared_ptr<MVOMSAStore> store;
    return store;
}

std::int64_t number(const std::string& text) { return ns::parseLeadingInteger(text); }

bool isEmptyFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

}  // namespace

// ---- Records ----

void MVOMSADataConfig::encodeWithNoContent(ns::Value& dict) const { dict.set("v", ns::Value(version)); }

bool MVOMSADataConfig::decode(const ns::Value& dict) {
    ns::Value c = dict["c"], v = dict["v"], m = dict["m"];
    if (!c.isDictionary() || !v.isNumber() || v.isBool() || !m.isString()) return false;
    md5 = m.str();
    content = MVOMSAHelper::getInstance()->getJson(c);
    version = static_cast<std::uint32_t>(v.integerValue());
    return true;
}

// ---- The store ----

MVOMSAStore::MVOMSAStore()
    : insertEvent_(mvomsa::kInsertEvent),
      replaceConfig_("replace into config(type, content, md5sum, version) values(@TYPE, @CONTENT, @MD5, @VER)") {}

MVOMSAStore::~MVOMSAStore() { closeDB(); }

std::shared_ptr<MVOMSAStore> MVOMSAStore::getInstance() {
    std::shared_ptr<MVOMSAStore> made;
    {
        std::lock_guard lock(instanceMutex());
        if (instance()) return instance();
        made = instance() = std::shared_ptr<MVOMSAStore>(new MVOMSAStore());
        made->initDB();
    }
    MVOMSAReporterLinks::setUserStorage(made);
    return made;
}

std::shared_ptr<MVOMSAStore> MVOMSAStore::existing() {
    std::lock_guard lock(instanceMutex());
    return instance();
}

void MVOMSAStore::resetForTesting() {
    std::shared_ptr<MVOMSAStore> store;
    {
        std::lock_guard lock(instanceMutex());
        store = std::move(instance());
    }
    if (!store) return;
    store->closeDB();
    store->runningLock_.release();
    if (MVOMSAReporterLinks::userStorage() == store) MVOMSAReporterLinks::setUserStorage(nullptr);
}

std::string MVOMSAStore::databasePath() { return mvomsa::databasePath(kClassName); }

std::string MVOMSAStore::runningLockPath() { return databasePath() + ".lock"; }

std::string MVOMSAStore::setAsidePath() { return databasePath() + ".unreadable"; }

void MVOMSAStore::initDB() {
    std::lock_guard lock(mvomsa::databaseLock());
    auto defaults = ns::UserDefaults::standardUserDefaults();
    if (defaults->integerForKey(kVersionKey) == 0) {
        defaults->setInteger(1, kVersionKey);
        defaults->synchronize();
    }
    tablesMade_ = false;
    getDB();
}

int MVOMSAStore::createTables(sqlite3* db) {
    int first = SQLITE_OK;
    for (const char* sql : kCreateStatements) {
        int rc = mvomsa::execute(db, sql);
        if (first == SQLITE_OK) first = rc;
    }
    return first;
}

void MVOMSAStore::closeConnections() {
    std::lock_guard lock(mvomsa::databaseLock());
    closeDB();
    tablesMade_ = false;  // the file goes: the next one needs its tables
    ++file_;
    // The holder's connection would go on using the file that is gone.
    if (auto holder = MVOMSADataConfigHolder::getInstance()) holder->closeDB();
}

void MVOMSAStore::setAside() {
    std::lock_guard lock(mvomsa::databaseLock());
    closeConnections();
    auto& files = ns::FileManager::defaultManager();
    std::string path = databasePath(), aside = setAsidePath();
    if (files.fileExistsAtPath(aside)) files.removeItemAtPath(aside);
    files.moveItemAtPath(path, aside);
    if (MVOMSAConfig::getInstance()->debugEnable())
        ns::NSLog("%@", ns::Value("statistics store unreadable, set aside as " + aside));
}

sqlite3* MVOMSAStore::getDB() {
    std::lock_guard lock(mvomsa::databaseLock());
    if (db_ && tablesMade_) return db_;  // every statement comes here: no path worked out, nothing stat'ed
    const std::string path = databasePath();
    struct stat before {};
    const bool making = !db_ && ::stat(path.c_str(), &before) != 0 && errno == ENOENT;
    std::string why;
    sqlite3* db = mvomsa::connect(db_, path, &why);
    if (!db) {
        cannotWrite(why);
        return nullptr;
    }
    if (tablesMade_) return db;
    // Until the tables are there (a full disk or a folder that takes no file
    // at start), every connection tries to make them again.
    int rc = createTables(db);
    tablesMade_ = rc == SQLITE_OK;
    if (renewIfUnusable(rc)) return db_;
    // A file this connection made and could not write leaves nothing: the
    // next statement makes it again.
    if (!tablesMade_ && making && mvomsa::isWriteFailure(rc) && isEmptyFile(path)) {
        closeConnections();
        ::unlink(path.c_str());
        return nullptr;
    }
    return db;
}

void MVOMSAStore::cannotWrite(const std::string& why) {
    std::lock_guard lock(mvomsa::databaseLock());
    // Every statement of a store on a full disk fails alike: said once.
    if (why == loggedFailure_) return;
    ns::NSLog("MVOMSAStore: cannot write %@; events are not kept until it can", why);
    loggedFailure_ = why;
}

void MVOMSAStore::closeDB() {
    std::lock_guard lock(mvomsa::databaseLock());
    mvomsa::disconnect(db_, {&insertEvent_, &replaceConfig_});
}

bool MVOMSAStore::renewIfUnusable(int rc) {
    std::lock_guard lock(mvomsa::databaseLock());
    // A connection whose file was deleted or moved away writes nothing more;
    // any other read-only store keeps its connection.
    const bool moved = rc == SQLITE_READONLY && db_ && sqlite3_extended_errcode(db_) == SQLITE_READONLY_DBMOVED;
    if (rc != SQLITE_CORRUPT && rc != SQLITE_NOTADB && !moved) {
        if (db_ && mvomsa::isWriteFailure(rc) && mvomsa::isWriteFailure(sqlite3_extended_errcode(db_)))
            cannotWrite(databasePath() + ": " + mvomsa::failureReason(db_, rc));
        return false;
    }
    if (renewing_) return false;  // the fresh file answers the same: the next statement tries again
    renewing_ = true;
    if (rc == SQLITE_CORRUPT)
        deleteDB();
    else if (rc == SQLITE_NOTADB)
        setAside();
    else
        closeConnections();  // the path is opened again: a fresh store unless a file was put there
    getDB();
    recount();
    renewing_ = false;
    return true;
}

void MVOMSAStore::deleteDB() {
    std::lock_guard lock(mvomsa::databaseLock());
    closeConnections();
    ns::FileManager::defaultManager().removeItemAtPath(databasePath());
}

int MVOMSAStore::updateDatabase(const char* sql, std::initializer_list<mvomsa::SQLValue> values) {
    std::lock_guard lock(mvomsa::databaseLock());
    sqlite3* db = getDB();
    if (!db) return -1;
    int rc = mvomsa::execute(db, sql, values);
    renewIfUnusable(rc);
    return rc;
}

int MVOMSAStore::queryDatabase(const char* sql, std::initializer_list<mvomsa::SQLValue> values,
                               std::vector<mvomsa::Row>* rows) {
    std::lock_guard lock(mvomsa::databaseLock());
    int rc = mvomsa::query(getDB(), sql, values, rows);
    renewIfUnusable(rc);
    return rc;
}

void MVOMSAStore::recount() {
    std::vector<mvomsa::Row> rows;
    const bool read = queryDatabase("select count(*), sum(status = ?) from events", {kWaiting}, &rows) == SQLITE_OK &&
                      rows.size() == 1 && rows[0].size() == 2;
    numUnsentEvents_.store(read ? static_cast<std::uint32_t>(number(rows[0][0])) : 0);
    numStoredEvents_.store(read ? static_cast<std::uint32_t>(number(rows[0][1])) : 0);
}

void MVOMSAStore::launch() {
    queue_.async([self = shared_from_this()] {
        // Held from now on; when another program held it, the rows in
        // upload may be that program's batch, whose outcome is still to come.
        const bool alone = self->runningLock_.take(runningLockPath());
        if (!self->getDB()) return;
        if (alone) self->updateDatabase("update events set status=?  where status = ?", {kWaiting, kSending});
        self->recount();
    });
}

std::uint32_t MVOMSAStore::getStoredEventsNum() {
    std::vector<mvomsa::Row> rows;
    if (queryDatabase("select count(*) from events where status=?", {kWaiting}, &rows) != SQLITE_OK ||
        rows.size() != 1 || rows[0].size() != 1)
        return 0;
    return static_cast<std::uint32_t>(number(rows[0][0]));
}

void MVOMSAStore::storeEvent(std::shared_ptr<MVOMSAEvent> event, bool, std::function<void()> completion) {
    {
        std::lock_guard lock(pendingMutex_);
        // Events waiting means a write is queued, which takes every event
        // that comes before it runs.
        const bool queued = !pending_.empty();
        pending_.push_back({std::move(event), std::move(completion)});
        if (queued) return;
    }
    queue_.async([self = shared_from_this()] { self->storePending(); });
}

void MVOMSAStore::storePending() {
    std::vector<PendingEvent> taken;
    {
        std::lock_guard lock(pendingMutex_);
        taken.swap(pending_);
    }
    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    std::vector<std::pair<std::string, std::uint32_t>> rows;  // JSON text and time
    for (const PendingEvent& pending : taken) {
        const auto& event = pending.event;
        std::string json = event ? event->toJsonString() : std::string();
        // An empty text would make the batch's array unreadable, and the whole batch fail.
        bool tooLong = ns::utf16Length(json) > settings.maxReportEventLength && event->getType() != 3;
        if (!json.empty() && !tooLong) rows.emplace_back(std::move(json), event->ts);
    }
    if (!rows.empty() && !insertTogether(rows, settings.maxStoreEventCount)) {
        // Each alone, as if it had come by itself. A lock that another
        // program holds past the wait would keep each of the rest waiting in vain.
        for (const auto& [json, ts] : rows)
            if (insertAlone(json, ts, settings.maxStoreEventCount) == SQLITE_BUSY) break;
    }
    for (const PendingEvent& pending : taken)
        if (pending.completion) pending.completion();
}

void MVOMSAStore::evictIfFull(std::uint32_t most) {
    if (numUnsentEvents_.load() < most) return;
    updateDatabase("delete from events where ts in (select min(ts) from events)");
    recount();
}

bool MVOMSAStore::insertTogether(const std::vector<std::pair<std::string, std::uint32_t>>& rows, std::uint32_t most) {
    // The whole transaction under the lock: the configuration holder's
    // connection waits for it here, not for the file's lock that this one holds.
    std::lock_guard lock(mvomsa::databaseLock());
    const std::uint64_t file = file_;
    if (updateDatabase("BEGIN IMMEDIATE TRANSACTION") != SQLITE_OK) return false;
    bool kept = file_ == file;
    for (const auto& [json, ts] : rows) {
        if (!kept) break;
        evictIfFull(most);
        kept = file_ == file &&
               insertEvent_.run(db_, {json, std::int64_t{kWaiting}, std::int64_t{0}, std::int64_t{ts}}) == SQLITE_OK;
        if (kept) counted();
    }
    if (kept && file_ == file && endTransaction()) return true;
    if (db_ && !sqlite3_get_autocommit(db_)) updateDatabase("ROLLBACK");
    recount();  // none of them is in
    return false;
}

int MVOMSAStore::insertAlone(const std::string& json, std::uint32_t ts, std::uint32_t most) {
    evictIfFull(most);
    std::lock_guard lock(mvomsa::databaseLock());
    auto insert = [&] {
        return insertEvent_.run(getDB(), {json, std::int64_t{kWaiting}, std::int64_t{0}, std::int64_t{ts}});
    };
    int rc = insert();
    // A file that stopped being a database: the event goes into the fresh one.
    if (renewIfUnusable(rc)) rc = insert();
    if (rc == SQLITE_OK) counted();
    return rc;
}

void MVOMSAStore::sendCachedEvents(std::int32_t n) {
    queue_.async([self = shared_from_this(), n] {
        if (!MVOMSAConfig::getInstance()->statEnable() || self->storedEventCount() == 0) return;
        auto dispatcher = MVOMSADispatcher::getInstance();
        if (dispatcher->uploadsStopped()) return;  // the program ends: nothing more goes
        // Marked in upload before it goes, so that a second request queued
        // meanwhile, or another program, does not send the same rows. A store
        // that cannot mark them (full, read-only, locked by another connection)
        // could not record the outcome either, and the same rows would go
        // again at once: nothing goes, and the next request tries again.
        std::uint64_t file = 0;
        MVOMSAStoreEvents batch = self->takeBatch(&file);
        if (batch.empty()) return;
        dispatcher->send(
            batch,
            [self, n, file](bool success, const MVOMSAStoreEvents& sent) {
                self->queue_.async([self, n, file, success, sent] {
                    if (!success) {
                        self->failEvents(sent, file);
                        return;
                    }
                    self->removeEvents(sent, file);
                    self->afterSent(n, sent.size());
                });
            },
            // Stopped before it went (the program ends): no failure, and no
            // outcome to wait for.
            [self, file](const MVOMSAStoreEvents& unsent) { self->putBackLater(unsent, file); });
    });
}

void MVOMSAStore::afterSent(std::int32_t n, std::size_t batchSize) {
    if (n < 0) sendCachedEvents(-1);
    if (n >= 1 && static_cast<std::size_t>(n) > batchSize) sendCachedEvents(n - static_cast<std::int32_t>(batchSize));
    if (n >= 1 && storedEventCount() >= static_cast<std::uint32_t>(n)) sendCachedEvents(n);
}

void MVOMSAStore::loadCachedEvents(MVOMSAStoreEvents& events) {
    std::vector<mvomsa::Row> rows;
    std::int64_t limit = MVOMSAConfig::getInstance()->maxLoadEventCount();
    if (queryDatabase("select event_id, content, status, send_count,ts from events where status = ? order by ts, "
                      "event_id limit ?",
                      {kWaiting, limit}, &rows) != SQLITE_OK)
        return;
    for (const mvomsa::Row& row : rows) {
        if (row.size() != 5) continue;
        auto event = std::make_shared<MVOMSAStoreEvent>();
        event->eventId = static_cast<std::uint32_t>(number(row[0]));
        event->content = row[1];
        event->status = static_cast<std::uint32_t>(number(row[2]));
        event->sendCount = static_cast<std::uint32_t>(number(row[3]));
        event->ts = static_cast<std::uint32_t>(number(row[4]));
        events.push_back(std::move(event));
    }
}

bool MVOMSAStore::endTransaction() {
    std::lock_guard lock(mvomsa::databaseLock());
    int rc = updateDatabase("END TRANSACTION");
    // A commit that failed (busy) leaves the transaction open: no later
    // statement may run inside it.
    if (db_ && !sqlite3_get_autocommit(db_)) updateDatabase("ROLLBACK");
    return rc == SQLITE_OK;
}

MVOMSAStoreEvents MVOMSAStore::runTransaction(const MVOMSAStoreEvents& events, std::uint64_t file, bool again,
                                              const BatchStatement& statement) {
    // The whole transaction under the lock: the configuration holder's
    // connection waits for it here, not for the file's lock that this one holds.
    std::lock_guard lock(mvomsa::databaseLock());
    if (file_ != file) return events;  // their rows went with their file
    // The file's write lock is had (or waited for) at once; without it no statement could be kept.
    if (updateDatabase("BEGIN IMMEDIATE TRANSACTION") != SQLITE_OK) return events;
    MVOMSAStoreEvents failed;
    for (const auto& event : events) {
        // A fresh file numbers its rows from 1 again: an event id means
        // nothing there.
        if (file_ != file) break;
        if (statement(*event, again) != SQLITE_OK) failed.push_back(event);
    }
    // Not committed (or rolled back by SQLite after a failed write): what ran
    // is not kept, whatever each statement answered.
    return endTransaction() ? failed : events;
}

bool MVOMSAStore::runBatch(const MVOMSAStoreEvents& events, std::uint64_t file, const BatchStatement& statement) {
    MVOMSAStoreEvents left = runTransaction(events, file, false, statement);
    if (!left.empty()) left = runTransaction(left, file, true, statement);
    recount();
    return left.empty() && currentFile() == file;
}

std::uint64_t MVOMSAStore::currentFile() {
    std::lock_guard lock(mvomsa::databaseLock());
    return file_;
}

void MVOMSAStore::updateEvents(MVOMSAStoreEvents events, std::uint32_t status) {
    queue_.async([self = shared_from_this(), events = std::move(events), status] {
        self->runBatch(events, self->currentFile(), [&](MVOMSAStoreEvent& e, bool) {
            return self->updateDatabase("update events set status = ? where event_id = ?", {status, e.eventId});
        });
    });
}

MVOMSAStoreEvents MVOMSAStore::takeBatch(std::uint64_t* file) {
    // The rows are this program's from now until their outcome: another
    // program's start must find the running lock held.
    runningLock_.keep();
    std::lock_guard lock(mvomsa::databaseLock());
    *file = file_;
    MVOMSAStoreEvents batch;
    // Loaded and marked in one transaction that holds the file's write lock
    // from its start: no other connection marks the same rows meanwhile.
    if (updateDatabase("BEGIN IMMEDIATE TRANSACTION") != SQLITE_OK) return {};
    loadCachedEvents(batch);
    bool marked = file_ == *file;
    for (const auto& event : batch) {
        if (!marked) break;
        marked = updateDatabase("update events set status = ? where event_id = ?", {kSending, event->eventId}) ==
                     SQLITE_OK &&
                 file_ == *file;
    }
    if (marked && file_ == *file && endTransaction()) {
        recount();
        return batch;
    }
    if (db_ && !sqlite3_get_autocommit(db_)) updateDatabase("ROLLBACK");
    recount();
    return {};
}

void MVOMSAStore::removeEvents(const MVOMSAStoreEvents& events, std::uint64_t file) {
    // Only rows still in upload: the file may have been replaced in place
    // meanwhile, its rows numbered from 1 again.
    runBatch(events, file, [&](MVOMSAStoreEvent& e, bool) {
        return updateDatabase("delete from events where event_id = ? and status = ?", {e.eventId, kSending});
    });
}

void MVOMSAStore::putBackLater(const MVOMSAStoreEvents& events, std::uint64_t file) {
    {
        std::lock_guard lock(pendingMutex_);
        // Batches waiting means a put-back is queued, which takes every batch
        // that comes before it runs.
        const bool queued = !unsent_.empty();
        unsent_.emplace_back(events, file);
        if (queued) return;
    }
    queue_.async([self = shared_from_this()] { self->putBack(); });
}

void MVOMSAStore::putBack() {
    std::vector<std::pair<MVOMSAStoreEvents, std::uint64_t>> taken;
    {
        std::lock_guard lock(pendingMutex_);
        taken.swap(unsent_);
    }
    // The batches of one file in one transaction (the stopped uploads hand
    // them back one after another, at the program's end).
    std::map<std::uint64_t, MVOMSAStoreEvents> byFile;
    for (const auto& [events, file] : taken) {
        MVOMSAStoreEvents& all = byFile[file];
        all.insert(all.end(), events.begin(), events.end());
    }
    for (const auto& [file, events] : byFile)
        runBatch(events, file, [&](MVOMSAStoreEvent& e, bool) {
            return updateDatabase("update events set status = ? where event_id = ? and status = ?",
                                  {kWaiting, e.eventId, kSending});
        });
}

void MVOMSAStore::deleteEvents(MVOMSAStoreEvents events, std::function<void()> callback) {
    queue_.async([self = shared_from_this(), events = std::move(events), callback = std::move(callback)] {
        self->removeEvents(events, self->currentFile());
        if (callback) callback();
    });
}

void MVOMSAStore::failEvents(const MVOMSAStoreEvents& events, std::uint64_t file) {
    std::uint32_t retries = MVOMSAConfig::getInstance()->maxSendRetryCount();
    runBatch(events, file, [&](MVOMSAStoreEvent& e, bool again) {
        // One failed upload counts once, also when its statement needs a second try.
        if (!again) ++e.sendCount;
        if (e.sendCount < retries)
            return updateDatabase("update events set status=?,send_count=? where event_id = ? and status = ?",
                                  {kWaiting, e.sendCount, e.eventId, kSending});
        return updateDatabase("delete from events where event_id = ? and status = ?", {e.eventId, kSending});
    });
}

void MVOMSAStore::updateSendFailedEvents(MVOMSAStoreEvents events) {
    queue_.async([self = shared_from_this(), events = std::move(events)] {
        self->failEvents(events, self->currentFile());
    });
}

void MVOMSAStore::storeUser(const MVOMSAUser& user) {
    queue_.async([self = shared_from_this(), user] {
        self->updateDatabase("update user set user_type=?, app_ver=?, ts=? where uid=?",
                             {user.userType, user.appVer, user.tagTime, user.uid});
    });
}

std::optional<MVOMSAUser> MVOMSAStore::loadUser() {
    MVOMSAUser user;
    queue_.sync([&] {
        std::lock_guard lock(mvomsa::databaseLock());
        std::vector<mvomsa::Row> rows;
        if (queryDatabase("select uid,user_type,app_ver,ts from user", {}, &rows) != SQLITE_OK) return;
        if (rows.empty()) {
            const MVOMSAEnv& env = MVOMSAHelper::getInstance()->getEnv();
            user = MVOMSAUser{env.deviceid, 0, env.app_version, static_cast<std::uint32_t>(ns::now().seconds)};
            updateDatabase("insert into user values(?, ?, ?, ?)", {user.uid, user.userType, user.appVer, user.tagTime});
        } else if (rows.size() == 1 && rows[0].size() == 4) {
            user = MVOMSAUser{rows[0][0], static_cast<std::int32_t>(number(rows[0][1])), rows[0][2],
                              static_cast<std::uint32_t>(number(rows[0][3]))};
        }
    });
    return user;
}

std::string MVOMSAStore::getMsaShareUDID() {
    std::vector<mvomsa::Row> rows;
    if (queryDatabase("select uid from user limit 1", {}, &rows) != SQLITE_OK || rows.size() != 1 ||
        rows[0].size() != 1)
        return {};
    return rows[0][0];
}

void MVOMSAStore::storeConfig(MVOMSADataConfig config) {
    queue_.async([self = shared_from_this(), config = std::move(config)] {
        std::lock_guard lock(mvomsa::databaseLock());
        self->renewIfUnusable(
            self->replaceConfig_.run(self->getDB(), {config.type, config.content, config.md5, config.version}));
    });
}

void MVOMSAStore::loadConfig(const std::function<void(const MVOMSADataConfig&)>& block) {
    std::vector<mvomsa::Row> rows;
    if (queryDatabase("select type, content, md5sum, version from config;", {}, &rows) != SQLITE_OK) return;
    for (const mvomsa::Row& row : rows) {
        if (row.size() != 4) continue;
        MVOMSADataConfig config;
        config.type = static_cast<std::uint32_t>(number(row[0]));
        config.content = row[1];
        config.md5 = row[2];
        config.version = static_cast<std::uint32_t>(number(row[3]));
        if (block) block(config);
    }
}
