// Set-up for tests of the statistics reporter's engine: ReporterTest's fresh
// device, a loopback statistics server that every upload goes to (`stats`
// reads and keeps what arrives, and scripts the answers), and a mobile
// network (reachable, not Wi-Fi), so that the report strategies apply.
//
//   class CoreTest : public testsupport::StatReporterTest {};
//   TEST_F(CoreTest, ...) {
//       start(3);
//       MVOMSA::trackCustomEvent("e", {});
//       EXPECT_EQ(names(storedEvents()), ...);      // the store's file, read by SQLite
//       MVOMSA::commitCachedStats(-1);
//       ASSERT_TRUE(received(3));                   // the server holds exactly 3 events
//   }
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSADatabase.h"
#include "mervio/reporter/MVOMSAStore.h"
#include "service/JSON.h"
#include "soapserver/StatReport.h"
#include "support/LoopbackService.h"
#include "support/ReporterTest.h"

namespace testsupport {

// One row of the events table, its content parsed.
struct StoredEvent {
    std::uint32_t status = 0;
    std::uint32_t sendCount = 0;
    std::uint32_t ts = 0;
    ns::Value event;
};

class StatReporterTest : public ReporterTest {
protected:
    LoopbackService server;
    StatReportReceiver stats{server};

    void SetUp() override {
        ReporterTest::SetUp();
        useMobileNetwork();
        pointAtServer();
    }

public:
    static void useMobileNetwork() { net::Reachability::setFlags(net::kReachabilityReachable | net::kReachabilityIsWWAN); }
    static void useWiFi() { net::Reachability::setFlags(net::kReachabilityReachable); }

    // Uploads go to the loopback server (again after a relaunch, which forgets the settings).
    void pointAtServer() { MVOMSAConfig::getInstance()->setStatReportURL(stats.url()); }
    // The next case of a loop: a relaunch on a device without statistics,
    // the server holding nothing and taking the uploads again.
    void startAfresh() {
        relaunch();
        removeStatistics();
        stats.clear();
        pointAtServer();
    }

    // Starts the reporter under the strategy, as registration does.
    static void start(std::int32_t strategy = 3) {
        MVOMSAConfig::getInstance()->setReportStrategy(strategy);
        MSAMV::startWithAppkey(std::string(kAppId));
    }

    static void settle() { MVOMSA::waitForQueuesForTesting(); }
    // The clock moves once the reporter has handled what came before.
    static void advance(double seconds) {
        settle();
        ns::RunLoop::main().advance(seconds);
    }

    // Waits until the server holds n events (20 s at most) and the reporter
    // is idle; true when it then holds exactly n.
    bool received(std::size_t n) {
        bool arrived = ns::RunLoop::main().runUntil([&] { return stats.eventCount() >= n; }, 20);
        settle();
        return arrived && stats.eventCount() == n;
    }

    // The events table as SQLite reads it from the file, by row id, once
    // the reporter is idle.
    static std::vector<StoredEvent> storedEvents() {
        settle();
        return eventsInFile();
    }
    // The same at once, while an upload may be under way.
    static std::vector<StoredEvent> eventsInFile() {
        std::vector<StoredEvent> out;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(MVOMSAStore::databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            std::vector<mvomsa::Row> rows;
            mvomsa::query(db, "select status, send_count, ts, content from events order by event_id", {}, &rows);
            for (const auto& r : rows)
                out.push_back({static_cast<std::uint32_t>(std::stoul(r[0])), static_cast<std::uint32_t>(std::stoul(r[1])),
                               static_cast<std::uint32_t>(std::stoul(r[2])), JSONParser().parse(r[3])});
        }
        sqlite3_close(db);
        return out;
    }

    // What identifies each event for a reader: its custom event id, else "et<type>".
    template <typename Events>
    static std::vector<std::string> names(const Events& events) {
        std::vector<std::string> out;
        for (const auto& e : events) {
            const ns::Value& v = eventOf(e);
            out.push_back(v.has("ei") ? v["ei"].text() : "et" + v["et"].text());
        }
        return out;
    }

private:
    static const ns::Value& eventOf(const ns::Value& v) { return v; }
    static const ns::Value& eventOf(const StoredEvent& s) { return s.event; }
};

}  // namespace testsupport
