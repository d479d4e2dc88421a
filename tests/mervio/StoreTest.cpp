// The statistics store: what it keeps and drops, its batches against the
// loopback statistics server, and its file as SQLite and the sqlite3
// program read it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <set>
#include <thread>

#include "mervio/reporter/MVOMSADispatcher.h"
#include "support/ChildProcess.h"
#include "support/Command.h"
#include "support/FullDisk.h"
#include "support/StatReporterTest.h"

namespace {

using Names = std::vector<std::string>;

// The program run a second time on the test's home (StatReporterPeer.cpp).
const std::string kSecondProgram = KL_STAT_REPORTER_PEER;

class StoreTest : public testsupport::StatReporterTest {
protected:
    std::shared_ptr<MVOMSAStore> store;

    void SetUp() override {
        StatReporterTest::SetUp();
        store = MVOMSAStore::getInstance();
    }

    static std::shared_ptr<MVOMSACustomEvent> custom(const std::string& id, std::uint32_t ts = 0) {
        auto event = std::make_shared<MVOMSACustomEvent>();
        event->eventID = id;
        if (ts) event->ts = ts;
        return event;
    }

    // Stores the events (named, at their times) and waits until they are in.
    void put(std::initializer_list<std::pair<std::string, std::uint32_t>> events) {
        for (const auto& [id, ts] : events) store->storeEvent(custom(id, ts), false, nullptr);
        settle();
    }
    // Bytes that SQLite takes for no database, the same in every run.
    static std::string randomBytes(std::uint32_t seed, std::size_t n = 3000) {
        std::mt19937 next(seed);
        std::string out(n, '\0');
        for (char& c : out) c = static_cast<char>(next() & 0xff);
        return out;
    }
    static void writeFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // Writes the bytes over the start of the file, leaving the rest as it was.
    static void overwriteStart(const std::string& path, const std::string& bytes) {
        std::fstream(path, std::ios::in | std::ios::out | std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // Waits until the reporter has nothing left to do: false when it is
    // still busy after `most` uploads arrived, or after 20 s; its uploads are
    // then stopped, so that the test can end.
    bool drainEnds(std::size_t most) {
        std::atomic<bool> idle{false};
        std::thread waiter([&] {
            settle();
            idle = true;
            ns::RunLoop::main().wakeUp();
        });
        ns::RunLoop::main().runUntil([&] { return idle.load() || stats.uploads().size() > most; }, 20);
        const bool ended = idle.load();
        if (!ended) MVOMSADispatcher::getInstance()->stopUploads();
        waiter.join();
        return ended && stats.uploads().size() <= most;
    }
    void putMany(int n, std::uint32_t from) {
        for (int i = 0; i < n; ++i) store->storeEvent(custom(std::string("e").append(std::to_string(from + i)), from + i), false, nullptr);
        settle();
    }
};

TEST_F(StoreTest, AFullStoreEvictsTheEventsOfItsOldestSecondOnce) {
    MVOMSAConfig::getInstance()->setMaxStoreEventCount(3);
    put({{"a", 100}, {"b", 100}, {"c", 200}, {"d", 300}});
    EXPECT_EQ(names(storedEvents()), (Names{"c", "d"}));
    EXPECT_EQ(store->storedEventCount(), 2u);
    // Counted again after the eviction: the next event evicts nothing.
    put({{"e", 400}});
    EXPECT_EQ(names(storedEvents()), (Names{"c", "d", "e"}));
}

TEST_F(StoreTest, OverLongAndUnwritableEventsAreDroppedErrorEventsKeptAndEveryAttemptCompleted) {
    MVOMSAConfig::getInstance()->setMaxReportEventLength(600);
    auto error = std::make_shared<MVOMSAErrorEvent>();
    error->error = std::string(900, 'x');
    auto unwritable = custom("data");  // no JSON text: it would make the batch's array unreadable
    unwritable->args = ns::Value::array({ns::Value(ns::Bytes{1, 2})});
    std::atomic<int> completed{0};
    for (std::shared_ptr<MVOMSAEvent> e : {std::shared_ptr<MVOMSAEvent>(error), std::shared_ptr<MVOMSAEvent>(custom(std::string(900, 'y'))),
                                           std::shared_ptr<MVOMSAEvent>(unwritable), std::shared_ptr<MVOMSAEvent>(custom("ok"))})
        store->storeEvent(e, false, [&] { ++completed; });
    EXPECT_EQ(names(storedEvents()), (Names{"et3", "ok"}));
    EXPECT_EQ(completed.load(), 4);
    EXPECT_EQ(store->storedEventCount(), 2u);
}

TEST_F(StoreTest, AFailedUploadCountsOnceAndTheThirdFailureGivesTheEventUp) {
    stats.answer({.status = 500});
    put({{"a", 100}});
    for (std::uint32_t failures : {1u, 2u}) {
        store->sendCachedEvents(1);
        auto rows = storedEvents();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].sendCount, failures);
        EXPECT_EQ(rows[0].status, 1u);
    }
    store->sendCachedEvents(1);
    EXPECT_TRUE(storedEvents().empty());
    EXPECT_EQ(stats.uploads().size(), 3u);
}

TEST_F(StoreTest, BatchesHoldTheLoadLimitAndRequestsQueuedTogetherNeverSendARowTwice) {
    putMany(40, 1000);
    store->sendCachedEvents(10);  // loads 30, then the 10 that remain
    ASSERT_TRUE(received(40));
    std::vector<std::size_t> sizes;
    for (const auto& upload : stats.uploads()) sizes.push_back(upload.events.count());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{30, 10}));
    EXPECT_EQ(names(stats.events()).front(), "e1000");

    stats.clear();
    putMany(70, 2000);
    store->sendCachedEvents(-1);
    store->sendCachedEvents(-1);
    ASSERT_TRUE(received(70));
    Names sent = names(stats.events());
    EXPECT_EQ(std::set<std::string>(sent.begin(), sent.end()).size(), 70u);
    EXPECT_TRUE(storedEvents().empty());
    EXPECT_EQ(store->storedEventCount(), 0u);
}

TEST_F(StoreTest, EventsLeftInUploadWaitAgainAfterARestart) {
    store->launch();  // the run before: its lock's file is there at the restart
    put({{"a", 1}, {"b", 2}});
    MVOMSAStoreEvents loaded;
    store->loadCachedEvents(loaded);
    store->updateEvents(loaded, MVOMSAStore::kSending);
    for (const auto& row : storedEvents()) EXPECT_EQ(row.status, 2u);
    relaunch();
    store = MVOMSAStore::getInstance();
    EXPECT_EQ(store->storedEventCount(), 0u);
    store->launch();
    for (const auto& row : storedEvents()) EXPECT_EQ(row.status, 1u);
    EXPECT_EQ(store->storedEventCount(), 2u);
}

TEST_F(StoreTest, QuotesInTheUidTheAppVersionAndEventsGoInAndComeBackAsTheyWere) {
    const std::string uid = "it's'); drop table user; --";
    MVOMSAHelper::saveShareUDID(uid);
    relaunch();
    store = MVOMSAStore::getInstance();
    ASSERT_EQ(store->loadUser()->uid, uid);
    EXPECT_EQ(store->getMsaShareUDID(), uid);
    store->storeUser(MVOMSAUser{uid, 3, "2.0 'beta'", 42});
    settle();
    MVOMSAUser user = *store->loadUser();
    EXPECT_EQ(user.userType, 3);
    EXPECT_EQ(user.appVer, "2.0 'beta'");
    EXPECT_EQ(user.tagTime, 42u);
    put({{"o'k\"", 5}});
    EXPECT_EQ(names(storedEvents()), (Names{"o'k\""}));
}

TEST_F(StoreTest, ACorruptFileIsMadeAnewTheNextEventsGoThereAndTheSqlite3ProgramReadsIt) {
    put({{"a", 1}});
    store->closeDB();
    {
        // The first page of the events table no longer holds a table.
        std::fstream file(MVOMSAStore::databasePath(), std::ios::in | std::ios::out | std::ios::binary);
        unsigned char size[2];
        file.seekg(16);
        file.read(reinterpret_cast<char*>(size), 2);
        file.seekp((size[0] << 8) | size[1]);
        file.put('\x7f');
    }
    EXPECT_EQ(store->updateDatabase("update events set status=?  where status = ?", {1, 2}), SQLITE_CORRUPT);
    put({{"b", 2}});
    EXPECT_EQ(names(storedEvents()), (Names{"b"}));

    std::string path = std::string("'").append(MVOMSAStore::databasePath()).append("'");
    auto tables = testsupport::runCommand("sqlite3 " + path + " .tables");
    ASSERT_EQ(tables.status, 0) << tables.output;
    for (const char* table : {"config", "events", "user"}) EXPECT_NE(tables.output.find(table), std::string::npos);
    auto count = testsupport::runCommand("sqlite3 " + path + " 'select count(*) from events where status = 1'");
    EXPECT_EQ(count.output, "1\n");
}

TEST_F(StoreTest, AStoreFileOfRandomBytesIsSetAsideAndTheNextEventReachesTheServer) {
    relaunch();
    pointAtServer();
    const std::string bytes = randomBytes(29);
    writeFile(MVOMSAStore::databasePath(), bytes);
    start(1);
    MVOMSA::trackCustomEvent("after", {});
    ASSERT_TRUE(received(2));
    EXPECT_EQ(names(stats.events()), (Names{"et2", "after"}));
    EXPECT_EQ(readFile(MVOMSAStore::setAsidePath()), bytes);
    EXPECT_EQ(MVOMSA::getMsaUDID(), MVOMSAHelper::getInstance()->getEnv().deviceid);  // the fresh store's user row
}

TEST_F(StoreTest, AFileThatTurnsIntoNoDatabaseIsSetAsideReplacingTheOneBeforeAndTheNextEventsStayInTheFreshOne) {
    for (std::uint32_t seed : {1u, 2u}) {
        SCOPED_TRACE(seed);
        put({{"a", 1}});
        store->closeDB();
        const std::string bytes = randomBytes(seed, 100 + seed * 1000);
        writeFile(MVOMSAStore::databasePath(), bytes);
        EXPECT_EQ(store->updateDatabase("update events set status=?  where status = ?", {1, 2}), SQLITE_NOTADB);
        EXPECT_EQ(readFile(MVOMSAStore::setAsidePath()), bytes);
        put({{"b", 2}});
        EXPECT_EQ(names(storedEvents()), (Names{"b"}));
        store->updateDatabase("delete from events");
        settle();
    }
}

// Only a file that is no database is set aside: a store that another
// connection holds locked past the wait, or that has no room left, answers
// the failure and keeps its events, for the init as for any statement.
TEST_F(StoreTest, AStoreThatIsBusyOrFullIsNeverSetAside) {
    put({{"a", 1}});
    mvomsa::setBusyTimeoutForTesting(0);  // the store's connection opened from here on
    {
        SCOPED_TRACE("locked by another connection");
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(MVOMSAStore::databasePath().c_str(), &other), SQLITE_OK);
        ASSERT_EQ(mvomsa::execute(other, "begin exclusive"), SQLITE_OK);
        store->closeDB();
        store->initDB();
        EXPECT_EQ(store->updateDatabase("update events set status=?  where status = ?", {1, 2}), SQLITE_BUSY);
        EXPECT_EQ(mvomsa::execute(other, "commit"), SQLITE_OK);
        sqlite3_close(other);
    }
    EXPECT_FALSE(std::filesystem::exists(MVOMSAStore::setAsidePath()));
    EXPECT_EQ(names(storedEvents()), (Names{"a"}));
    {
        SCOPED_TRACE("full");
        std::lock_guard lock(mvomsa::databaseLock());
        ASSERT_EQ(mvomsa::execute(store->getDB(), "pragma max_page_count = 1"), SQLITE_OK);  // no page more
        EXPECT_EQ(store->updateDatabase("insert into events (content, status, send_count, ts) values (?, 0, 0, 2)",
                                        {std::string(100000, 'x')}),
                  SQLITE_FULL);
        store->closeDB();
    }
    EXPECT_FALSE(std::filesystem::exists(MVOMSAStore::setAsidePath()));
    EXPECT_EQ(names(storedEvents()), (Names{"a"}));
    put({{"b", 2}});
    EXPECT_EQ(names(storedEvents()), (Names{"a", "b"}));
}

// The file stops being a database while the reporter runs: whichever
// statement meets that first, the insert, the count or the load, sets it
// aside, and the events from then on reach the server from a fresh store.
TEST_F(StoreTest, AFileThatStopsBeingADatabaseWhileRunningIsSetAsideWhereverAStatementMeetsIt) {
    for (const char* first : {"insert", "count", "load"}) {
        SCOPED_TRACE(first);
        stats.clear();
        put({{"before", 1}});
        const std::string bytes = randomBytes(static_cast<std::uint32_t>(first[0]), 8192);
        overwriteStart(MVOMSAStore::databasePath(), bytes);
        if (first == std::string("count")) {
            EXPECT_EQ(store->getStoredEventsNum(), 0u);
        } else if (first == std::string("load")) {
            MVOMSAStoreEvents loaded;
            store->loadCachedEvents(loaded);
            EXPECT_TRUE(loaded.empty());
        }
        put({{"a", 2}, {"b", 3}, {"c", 4}, {"d", 5}, {"e", 6}});
        EXPECT_EQ(readFile(MVOMSAStore::setAsidePath()).substr(0, bytes.size()), bytes);
        store->sendCachedEvents(-1);
        ASSERT_TRUE(received(5));
        EXPECT_EQ(names(stats.events()), (Names{"a", "b", "c", "d", "e"}));
        EXPECT_TRUE(storedEvents().empty());
    }
}

namespace {

using testsupport::FullDisk;

// Documents is a plain file while it lives: no store file can be made there.
class NoDocumentsFolder {
public:
    NoDocumentsFolder() : path_(ns::documentsDirectory()) {
        std::filesystem::remove_all(path_);
        std::ofstream(path_) << "no folder";
    }
    ~NoDocumentsFolder() {
        std::filesystem::remove(path_);
        std::filesystem::create_directories(path_);
    }
    NoDocumentsFolder(const NoDocumentsFolder&) = delete;
    NoDocumentsFolder& operator=(const NoDocumentsFolder&) = delete;

private:
    std::string path_;
};

}  // namespace

// A store that cannot be made at start leaves no file behind and says why
// in one line naming the file once, however many events it cannot keep.
// Once there is room it gets its tables and the events from then on reach
// the server; a later failure is said again.
TEST_F(StoreTest, AStoreThatCannotBeMadeAtStartLeavesNoFileSaysWhyOnceAndGetsItsTablesOnceThereIsRoom) {
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "a full disk" : "no Documents folder");
        startAfresh();
        const std::string path = MVOMSAStore::databasePath();
        ns::LogCapture log;
        auto failures = [&] { return testsupport::linesWith(log, "MVOMSAStore: cannot write "); };
        {
            std::unique_ptr<FullDisk> disk = full ? std::make_unique<FullDisk>() : nullptr;
            std::unique_ptr<NoDocumentsFolder> folder = full ? nullptr : std::make_unique<NoDocumentsFolder>();
            store = MVOMSAStore::getInstance();
            put({{"lost", 1}});
            put({{"lost too", 2}});
            EXPECT_EQ(store->storedEventCount(), 0u);
            EXPECT_FALSE(std::filesystem::exists(path));
        }
        const auto said = failures();
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find(path + ": " + std::strerror(full ? EFBIG : ENOTDIR)), std::string::npos) << said[0];
        EXPECT_EQ(said[0].find(path), said[0].rfind(path)) << said[0];

        put({{"a", 2}, {"b", 3}});
        ASSERT_EQ(names(storedEvents()), (Names{"a", "b"}));
        {
            FullDisk disk;
            put({{"lost again", 4}});
        }
        EXPECT_EQ(failures().size(), 2u);
        store->sendCachedEvents(-1);
        ASSERT_TRUE(received(2));
        EXPECT_EQ(names(stats.events()), (Names{"a", "b"}));
    }
}

namespace {

// Documents and the store's file are read-only while it lives, as a person
// could make them on a device. Modes bind no process that runs as root, so
// such a process acts as nobody meanwhile (every thread; its group stays
// root's), the folders up to Documents made searchable for group and others
// (the test's home is not).
class ReadOnlyStore {
public:
    ReadOnlyStore() {
        const bool root = geteuid() == 0;
        for (std::filesystem::path p = documents_; root && p != p.parent_path();) {
            p = p.parent_path();
            if ((mode(p) & 011) != 011) keep(p, mode(p) | 011);
        }
        keep(file_, 0444);
        keep(documents_, 0555);
        if (!root) return;
        dumpable_ = prctl(PR_GET_DUMPABLE);
        acting_ = seteuid(65534) == 0;
        EXPECT_TRUE(acting_) << "cannot act as nobody";
    }
    ~ReadOnlyStore() {
        if (acting_) {
            EXPECT_EQ(seteuid(0), 0);
            prctl(PR_SET_DUMPABLE, dumpable_);  // a change of user resets it
        }
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) EXPECT_EQ(chmod(it->first.c_str(), it->second), 0);
    }
    ReadOnlyStore(const ReadOnlyStore&) = delete;
    ReadOnlyStore& operator=(const ReadOnlyStore&) = delete;

private:
    static mode_t mode(const std::filesystem::path& p) {
        struct stat st{};
        stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }
    void keep(const std::filesystem::path& p, mode_t to) {
        saved_.emplace_back(p, mode(p));
        EXPECT_EQ(chmod(p.c_str(), to), 0) << p;
    }

    std::filesystem::path documents_ = ns::documentsDirectory(), file_ = MVOMSAStore::databasePath();
    std::vector<std::pair<std::filesystem::path, mode_t>> saved_;
    bool acting_ = false;
    int dumpable_ = 1;
};

// Another connection holds the store's write lock while it lives.
class WriteLock {
public:
    WriteLock() {
        EXPECT_EQ(sqlite3_open(MVOMSAStore::databasePath().c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(mvomsa::execute(db_, "begin immediate"), SQLITE_OK);
    }
    ~WriteLock() {
        mvomsa::execute(db_, "rollback");
        sqlite3_close(db_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    sqlite3* db_ = nullptr;
};

}  // namespace

// The store stops taking writes while a batch is in upload: the batch's
// outcome cannot be recorded, and no later batch goes, since none can be
// marked as in upload. Each event reaches the server once at most, and
// once the store takes writes again (a deleted file is made anew at once)
// the next request sends what waits and what came since.
TEST_F(StoreTest, AStoreThatStopsTakingWritesDuringAnUploadSendsNoEventTwiceAndLaterOnesOnce) {
    enum Way { kDeleted, kReadOnly, kFull, kLocked };
    mvomsa::setBusyTimeoutForTesting(0);  // the lock is held past the wait
    for (Way way : {kDeleted, kReadOnly, kFull, kLocked}) {
        const char* const ways[] = {"file deleted", "read-only", "disk full", "write lock held"};
        SCOPED_TRACE(ways[way]);
        startAfresh();
        store = MVOMSAStore::getInstance();
        MVOMSAConfig::getInstance()->setMaxLoadEventCount(2);
        put({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}});
        stats.answerOnce({.hold = true});
        store->sendCachedEvents(-1);
        ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == 1; }, 20));
        // A store opened again makes its tables: only a deleted file is reopened.
        auto reopened = std::make_shared<std::atomic<int>>(0);
        mvomsa::setStatementTraceForTesting([reopened](const std::string& sql) {
            if (sql.starts_with("create table if not exists events")) ++*reopened;
        });
        {
            std::unique_ptr<FullDisk> disk = way == kFull ? std::make_unique<FullDisk>() : nullptr;
            std::unique_ptr<ReadOnlyStore> readOnly = way == kReadOnly ? std::make_unique<ReadOnlyStore>() : nullptr;
            std::unique_ptr<WriteLock> lock = way == kLocked ? std::make_unique<WriteLock>() : nullptr;
            if (way == kDeleted) std::filesystem::remove(MVOMSAStore::databasePath());
            server.release();
            ASSERT_TRUE(drainEnds(1)) << stats.uploads().size() << " uploads";
        }
        mvomsa::setStatementTraceForTesting(nullptr);
        EXPECT_EQ(reopened->load() > 0, way == kDeleted);
        server.stopHolding();
        EXPECT_EQ(names(stats.events()), (Names{"a", "b"}));
        put({{"later", 9}});
        store->sendCachedEvents(-1);
        // The rows of a deleted file went with it; a and b, in upload when
        // their outcome could not be recorded, wait for the next start.
        Names expected = way == kDeleted ? Names{"a", "b", "later"} : Names{"a", "b", "c", "d", "e", "later"};
        ASSERT_TRUE(received(expected.size()));
        EXPECT_EQ(names(stats.events()), expected);
        EXPECT_EQ(names(storedEvents()), way == kDeleted ? Names{} : (Names{"a", "b"}));
    }
}

// The disk is full when the app starts: the store's events wait, nothing is
// sent, and they go once when there is room again.
TEST_F(StoreTest, ALaunchOnAFullDiskSendsNothingAndTheEventsGoOnceThereIsRoom) {
    put({{"a", 1}, {"b", 2}});
    relaunch();
    pointAtServer();
    {
        FullDisk disk;
        start(3);  // the launch asks for every waiting event
        ASSERT_TRUE(drainEnds(0)) << stats.uploads().size() << " uploads";
    }
    MVOMSA::trackCustomEvent("later", {});
    MVOMSA::commitCachedStats(-1);
    ASSERT_TRUE(received(3));
    EXPECT_EQ(names(stats.events()), (Names{"a", "b", "later"}));
}

// The file stops being a database while a batch is in upload: the fresh
// file numbers its rows from 1 again, and the batch's outcome, success or
// the last failure, must not delete the fresh file's events.
TEST_F(StoreTest, AnUploadsOutcomeTouchesNoEventOfTheFreshFileAfterASetAside) {
    for (bool success : {true, false}) {
        SCOPED_TRACE(success ? "success" : "third failure");
        startAfresh();
        store = MVOMSAStore::getInstance();
        put({{"a", 1}, {"b", 2}, {"c", 3}});
        if (!success) {
            stats.answer({.status = 500});
            for (int failures = 0; failures < 2; ++failures) {
                store->sendCachedEvents(1);
                settle();
            }
        }
        stats.answerOnce({.status = success ? 200 : 500, .hold = true});
        stats.answer({});
        store->sendCachedEvents(-1);
        ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == (success ? 1u : 3u); }, 20));
        overwriteStart(MVOMSAStore::databasePath(), randomBytes(success ? 5 : 6, 8192));
        std::atomic<bool> stored{false};
        store->storeEvent(custom("x", 9), false, [&] { stored = true; });  // row 1 of the fresh file
        ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stored.load(); }, 20));
        server.release();
        settle();  // a success goes on with the next batch: x
        server.stopHolding();
        if (!success) {
            EXPECT_EQ(names(storedEvents()), (Names{"x"}));
            store->sendCachedEvents(-1);
            settle();
        }
        EXPECT_EQ(names(stats.events()), success ? (Names{"a", "b", "c", "x"}) : Names{"x"});
        EXPECT_TRUE(storedEvents().empty());
    }
}

// The program runs twice on one home: both store events at once, each
// statement waiting for the other's locks, and every event of both is kept.
TEST_F(StoreTest, TwoProgramsStoringAtOnceKeepEveryEvent) {
    testsupport::ChildProcess second(kSecondProgram, {"store", "500", "second"});
    ASSERT_TRUE(second.waitForOutput("ready")) << second.output;
    for (int i = 0; i < 500; ++i) {
        store->storeEvent(custom("first" + std::to_string(i)), false, nullptr);
        if (i % 10 == 9) settle();
    }
    ASSERT_TRUE(second.waitForExit(120)) << second.output;
    EXPECT_EQ(second.status, 0) << second.output;
    Names stored = names(storedEvents());
    EXPECT_EQ(stored.size(), 1000u);
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()).size(), 1000u);
}

// A second program starts while the first has a batch in upload: the rows
// stay in upload, and the batch reaches the server once, from the first.
TEST_F(StoreTest, ASecondProgramsStartLeavesTheFirstProgramsUploadToIt) {
    store->launch();
    for (std::uint32_t i = 0; i < 10; ++i)
        store->storeEvent(custom(std::string("e").append(std::to_string(i)), 100 + i), false, nullptr);
    stats.answerOnce({.hold = true});
    store->sendCachedEvents(-1);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == 1; }, 20));
    testsupport::ChildProcess second(kSecondProgram, {"start", stats.url()});
    ASSERT_TRUE(second.waitForOutput("running")) << second.output;  // started, and sent what waited
    server.release();
    EXPECT_TRUE(received(10));
    EXPECT_TRUE(storedEvents().empty());
    server.stopHolding();
    second.signal(SIGTERM);
    ASSERT_TRUE(second.waitForExit(60)) << second.output;
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_EQ(stats.eventCount(), 10u);
}

// Rows left in upload wait again at a start only once no other program
// runs the store: after the other one has ended, or died.
TEST_F(StoreTest, RowsLeftInUploadWaitAgainOnceTheOtherProgramHasEndedOrDied) {
    for (int end : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(end);
        startAfresh();
        testsupport::ChildProcess other(kSecondProgram, {"start", stats.url()});
        ASSERT_TRUE(other.waitForOutput("running")) << other.output;
        store = MVOMSAStore::getInstance();
        put({{"a", 1}});
        MVOMSAStoreEvents loaded;
        store->loadCachedEvents(loaded);
        store->updateEvents(loaded, MVOMSAStore::kSending);
        for (std::uint32_t status : {2u, 1u}) {
            if (status == 1) {
                other.signal(end);
                ASSERT_TRUE(other.waitForExit(60)) << other.output;
            }
            relaunch();
            store = MVOMSAStore::getInstance();
            store->launch();
            auto rows = storedEvents();
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].status, status);
        }
    }
}

// Another program writes a store of its own over this one's file (the same
// file) while a batch is in upload. Its rows are numbered from 1 too, and
// the batch's outcome, success or failure, leaves them as they are.
TEST_F(StoreTest, AnUploadsOutcomeLeavesTheRowsOfAFileWrittenOverInPlace) {
    for (bool success : {true, false}) {
        SCOPED_TRACE(success ? "success" : "failure");
        startAfresh();
        store = MVOMSAStore::getInstance();
        put({{"a", 1}, {"b", 2}, {"c", 3}});
        stats.answerOnce({.status = success ? 200 : 500, .hold = true});
        store->sendCachedEvents(-1);
        ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == 1; }, 20));
        const std::string path = MVOMSAStore::databasePath(), other = path + ".other";
        std::filesystem::copy_file(path, other);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(mvomsa::execute(db, "delete from events"), SQLITE_OK);
        for (std::int64_t id : {1, 2, 3})
            EXPECT_EQ(mvomsa::execute(db, "insert into events values (?, ?, 1, 0, ?)",
                                      {id, custom(std::string("x").append(std::to_string(id)))->toJsonString(), id}),
                      SQLITE_OK);
        sqlite3_close(db);
        writeFile(path, readFile(other));
        std::filesystem::remove(other);
        server.release();
        settle();  // a success goes on with the next batch
        server.stopHolding();
        if (success) {
            EXPECT_EQ(names(stats.events()), (Names{"a", "b", "c", "x1", "x2", "x3"}));
            EXPECT_TRUE(storedEvents().empty());
        } else {
            auto rows = storedEvents();
            EXPECT_EQ(names(rows), (Names{"x1", "x2", "x3"}));
            for (const auto& row : rows) EXPECT_EQ(row.sendCount, 0u);
        }
    }
}

namespace {

// Whether some open of the file that `path` names holds a lock on it (an
// open of it elsewhere in this process counts, as flock goes by open).
bool lockedAt(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // lets go of it when it was had here
    return held;
}

// A file at the path with a shared lock on it, held while the object lives:
// another program running the store.
class HeldFile {
public:
    explicit HeldFile(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        EXPECT_EQ(::flock(fd_, LOCK_SH), 0) << path;
    }
    ~HeldFile() { ::close(fd_); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    int fd_;
};

}  // namespace

// A start takes the running lock alone only on a file that was there, that
// nobody held, and that the path still names once it is locked: the file
// may be deleted or replaced between its opening and its locking.
TEST_F(StoreTest, AStartIsAloneOnlyOnALockFileThatWasThereUnheldAndThatItsPathStillNames) {
    enum Then { kNothing, kDeleted, kReplacedByAHeldOne, kReplacedByAnUnheldOne };  // once the start opened it
    const struct {
        const char* name;
        bool there, held;
        Then then;
        bool alone;
    } cases[] = {
        {"no file: a running program may hold one deleted", false, false, kNothing, false},
        {"deleted: made anew", true, false, kDeleted, false},
        {"replaced by one another program holds", true, false, kReplacedByAHeldOne, false},
        {"a held one replaced by one nobody holds", true, true, kReplacedByAnUnheldOne, true},
    };
    const std::string path = ns::documentsDirectory() + "/running.lock", other = path + ".other";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.there) std::ofstream(path).put('\n');
        std::ofstream(other).put('\n');
        auto before = c.held ? std::make_unique<HeldFile>(path) : nullptr;
        auto replacement = c.then == kReplacedByAHeldOne ? std::make_unique<HeldFile>(other) : nullptr;
        Then then = c.then;
        mvomsa::setRunningLockOpenedForTesting([&] {
            if (then == kDeleted) std::filesystem::remove(path);
            if (then == kReplacedByAHeldOne || then == kReplacedByAnUnheldOne) std::filesystem::rename(other, path);
            then = kNothing;
        });
        mvomsa::RunningLock lock;
        EXPECT_EQ(lock.take(path), c.alone);
        mvomsa::setRunningLockOpenedForTesting(nullptr);
        before.reset();
        replacement.reset();
        EXPECT_TRUE(lockedAt(path)) << "the lock is on the file the path names";
        lock.release();
        for (const std::string& p : {path, other}) std::filesystem::remove(p);
    }
}

// The lock's file is deleted while this program has a batch in upload:
// programs started afterwards, one after the other, leave the batch to
// it, and each event reaches the server once.
TEST_F(StoreTest, ADeletedLockFileDoesNotMakeALaterProgramSendTheRunningOnesBatch) {
    store->launch();
    put({{"a", 1}, {"b", 2}, {"c", 3}});
    stats.answerOnce({.hold = true});
    store->sendCachedEvents(-1);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == 1; }, 20));
    const std::string path = MVOMSAStore::runningLockPath();
    std::filesystem::remove(path);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return lockedAt(path); }, 20)) << "held again, on a new file";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        testsupport::ChildProcess later(kSecondProgram, {"start", stats.url()});
        ASSERT_TRUE(later.waitForOutput("running")) << later.output;  // started, and sent what waited
        later.signal(SIGTERM);
        ASSERT_TRUE(later.waitForExit(60)) << later.output;
        EXPECT_EQ(later.status, 0) << later.output;
    }
    EXPECT_EQ(stats.eventCount(), 3u);
    server.release();
    EXPECT_TRUE(received(3));
    EXPECT_TRUE(storedEvents().empty());
    server.stopHolding();
}

// Another program ends with one batch on its way to the server and more
// queued behind it: the batches it never sent wait again, the one whose
// outcome is unknown stays in upload, and this program's batch in upload
// is left as it is.
TEST_F(StoreTest, AProgramThatEndsWithBatchesQueuedLeavesInUploadOnlyTheOneOnItsWay) {
    store->launch();
    put({{"mine0", 1}, {"mine1", 2}});
    stats.answerOnce({.hold = true});
    store->sendCachedEvents(-1);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == 1; }, 20));
    stats.answerOnce({.hold = true});
    testsupport::ChildProcess other(kSecondProgram, {"batches", stats.url(), "8", "2"});
    ASSERT_TRUE(other.waitForOutput("queued")) << other.output;
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == 2; }, 20));
    other.signal(SIGTERM);
    ASSERT_TRUE(other.waitForExit(60)) << other.output;
    EXPECT_EQ(other.status, 0) << other.output;

    auto statuses = [] {
        std::vector<std::uint32_t> out;
        for (const auto& row : eventsInFile()) out.push_back(row.status);
        return out;
    };
    // mine0, mine1, then queued0 to queued7
    EXPECT_EQ(statuses(), (std::vector<std::uint32_t>{2, 2, 2, 2, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(stats.eventCount(), 4u);

    // This program's batch goes through, and then the other's that wait again.
    server.release();
    ASSERT_TRUE(received(10));
    EXPECT_EQ(names(eventsInFile()), (Names{"queued0", "queued1"}));
    EXPECT_EQ(statuses(), (std::vector<std::uint32_t>{2, 2}));
    server.stopHolding();
}

// Rows in upload count against the store's limit: the file never holds
// more events not yet sent than the limit, and when they wait again (the
// batch never went, or a start puts them back) none is evicted for them.
TEST_F(StoreTest, RowsInUploadCountAgainstTheLimitSoThatWaitingAgainEvictsNothing) {
    store->launch();
    auto config = MVOMSAConfig::getInstance();
    config->setMaxStoreEventCount(4);
    config->setMaxLoadEventCount(2);
    put({{"a", 1}, {"b", 2}, {"c", 3}});
    stats.answerOnce({.hold = true});
    store->sendCachedEvents(1);  // a and b in upload
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stats.uploads().size() == 1; }, 20));
    std::atomic<int> stored{0};
    for (const auto& [id, ts] : {std::pair{"d", 4u}, {"e", 5u}})  // e takes the oldest second's place
        store->storeEvent(custom(id, ts), false, [&] {
            ++stored;
            ns::RunLoop::main().wakeUp();
        });
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return stored == 2; }, 20));
    EXPECT_EQ(names(eventsInFile()), (Names{"b", "c", "d", "e"}));
    MVOMSADispatcher::getInstance()->stopUploads();  // a and b: their outcome unknown
    relaunch();
    store = MVOMSAStore::getInstance();
    store->launch();  // b waits again
    MVOMSAConfig::getInstance()->setMaxStoreEventCount(4);
    put({{"f", 6}});
    EXPECT_EQ(names(storedEvents()), (Names{"c", "d", "e", "f"}));
    server.release();
    server.stopHolding();
}

}  // namespace
