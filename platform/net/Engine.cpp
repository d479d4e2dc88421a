#include "net/Engine.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/RunLoop.h"
#include "net/Reachability.h"
#include "net/Transfer.h"

namespace net {

namespace {

using detail::Clock;

class Engine final : public ns::RunLoopSource {
public:
    static Engine& shared() {
        static Engine* engine = new Engine;  // never destroyed: the loop may turn while the program exits
        return *engine;
    }

    ExchangeId start(Request request, ExchangeDone done) {
        auto record = std::make_unique<Record>(std::move(request), std::move(done), nextId_++);
        Record& r = *record;
        records_.push_back(std::move(record));
        if (Reachability::isOverridden() && !Reachability::isReachable()) {
            // Told on a later turn, as every outcome is.
            r.transfer.force(ErrorKind::ConnectionFailure, "The network is not reachable");
            r.endedEarly = true;
            ++endedEarly_;
            return r.id;
        }
        r.easy = takeEasy();
        if (!multi_ || !r.easy->handle) {
            r.transfer.force(ErrorKind::Other, "Could not create the exchange");
            r.endedEarly = true;
            ++endedEarly_;
            return r.id;
        }
        r.transfer.begin(*r.easy);
        curl_multi_add_handle(multi_, r.easy->handle);  // libcurl's timer starts it on this turn or the next
        return r.id;
    }

    bool cancel(ExchangeId id) {
        auto it = find(id);
        if (it == records_.end()) return false;
        std::unique_ptr<Record> record = std::move(*it);
        records_.erase(it);
        if (record->endedEarly) --endedEarly_;
        release(*record);
        return true;  // the record (and its `done`) goes here
    }

    std::size_t running() const { return records_.size(); }

    // ---- RunLoopSource

    bool descriptorReady(int fd, unsigned events) override {
        int mask = 0;
        if (events & ns::RunLoop::kReadable) mask |= CURL_CSELECT_IN;
        if (events & ns::RunLoop::kWritable) mask |= CURL_CSELECT_OUT;
        int running = 0;
        curl_multi_socket_action(multi_, fd, mask, &running);
        return collect();
    }

    SteadyTime deadline() const override {
        if (endedEarly_ > 0) return SteadyTime::min();
        SteadyTime due = curlDue_;
        for (const auto& r : records_) due = std::min(due, r->transfer.deadline());
        return due;
    }

    bool deadlinePassed() override {
        const auto now = Clock::now();
        if (curlDue_ <= now) {
            curlDue_ = SteadyTime::max();
            int running = 0;
            curl_multi_socket_action(multi_, CURL_SOCKET_TIMEOUT, 0, &running);
        }
        return collect(Clock::now());
    }

    void loopReset() override {
        auto records = std::move(records_);
        records_.clear();
        endedEarly_ = 0;
        for (auto& r : records) release(*r);
        records.clear();  // their `done`s go unheard
    }

private:
    struct Record {
        Record(Request r, ExchangeDone d, ExchangeId i)
            : request(std::move(r)), transfer(request, nullptr), done(std::move(d)), id(i) {}
        Request request;
        detail::Transfer transfer;
        ExchangeDone done;
        ExchangeId id;
        std::unique_ptr<detail::Easy> easy;
        bool endedEarly = false;
    };

    Engine() {
        detail::globalInit();
        multi_ = curl_multi_init();
        curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &Engine::onSocket);
        curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &Engine::onTimer);
        curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
        ns::RunLoop::main().addSource(this);
    }

    std::vector<std::unique_ptr<Record>>::iterator find(ExchangeId id) {
        return std::find_if(records_.begin(), records_.end(), [&](const auto& r) { return r->id == id; });
    }
    Record* recordOf(CURL* handle) {
        for (auto& r : records_)
            if (r->easy && r->easy->handle == handle) return r.get();
        return nullptr;
    }

    // An easy handle that keeps its settings from an earlier exchange, or a new one.
    std::unique_ptr<detail::Easy> takeEasy() {
        if (idle_.empty()) return std::make_unique<detail::Easy>();
        auto easy = std::move(idle_.back());
        idle_.pop_back();
        return easy;
    }

    // Takes the record's handle out of the multi handle and keeps it for later.
    void release(Record& r) {
        if (!r.easy) return;
        if (r.easy->current) curl_multi_remove_handle(multi_, r.easy->handle);
        r.easy->current = nullptr;
        r.transfer.easy = nullptr;
        idle_.push_back(std::move(r.easy));
    }

    // Ends the exchanges whose hops libcurl has finished or whose time ran
    // out, following redirects; tells each outcome. Whether any was told.
    bool collect(Clock::time_point now = Clock::time_point::min()) {
        std::vector<std::pair<ExchangeId, CURLcode>> ended;
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
            if (msg->msg != CURLMSG_DONE) continue;
            if (Record* r = recordOf(msg->easy_handle)) ended.emplace_back(r->id, msg->data.result);
        }
        for (auto& r : records_) {
            if (r->endedEarly) {
                ended.emplace_back(r->id, CURLE_OK);
            } else if (now != Clock::time_point::min() && r->transfer.expire(now)) {
                ended.emplace_back(r->id, CURLE_OK);
            }
        }
        bool told = false;
        for (auto [id, code] : ended) {
            // An earlier outcome's callback may have cancelled or ended this one.
            auto it = find(id);
            if (it == records_.end()) continue;
            Record& r = **it;
            if (!r.endedEarly) {
                const bool again = r.transfer.hopEnded(code);
                curl_multi_remove_handle(multi_, r.easy->handle);
                if (again) {
                    r.transfer.setHop();
                    curl_multi_add_handle(multi_, r.easy->handle);
                    continue;
                }
            } else {
                --endedEarly_;
            }
            std::unique_ptr<Record> record = std::move(*it);
            records_.erase(it);
            Response response = record->transfer.finish();  // lets go of the handle
            if (record->easy) idle_.push_back(std::move(record->easy));
            ExchangeDone done = std::move(record->done);
            record.reset();
            if (done) done(std::move(response));
            told = true;
        }
        return told;
    }

    static int onSocket(CURL*, curl_socket_t s, int what, void* user, void*) {
        auto* self = static_cast<Engine*>(user);
        unsigned events = 0;
        if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events |= ns::RunLoop::kReadable;
        if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events |= ns::RunLoop::kWritable;
        ns::RunLoop::main().watch(self, static_cast<int>(s), what == CURL_POLL_REMOVE ? 0u : events);
        return 0;
    }

    static int onTimer(CURLM*, long ms, void* user) {
        auto* self = static_cast<Engine*>(user);
        self->curlDue_ = ms < 0 ? SteadyTime::max() : Clock::now() + std::chrono::milliseconds(ms);
        return 0;
    }

    CURLM* multi_ = nullptr;
    std::vector<std::unique_ptr<Record>> records_;
    std::vector<std::unique_ptr<detail::Easy>> idle_;
    SteadyTime curlDue_ = SteadyTime::max();
    int endedEarly_ = 0;
    ExchangeId nextId_ = 1;
};

}  // namespace

ExchangeId startExchange(Request request, ExchangeDone done) {
    return Engine::shared().start(std::move(request), std::move(done));
}

bool cancelExchange(ExchangeId id) { return id != 0 && Engine::shared().cancel(id); }

std::size_t runningExchanges() { return Engine::shared().running(); }

}  // namespace net
