#include "soapserver/StatReport.h"

#include <nettle/arcfour.h>

#include <algorithm>
#include <cctype>

#include "net/Gzip.h"
#include "service/JSON.h"

struct StatReportReceiver::State {
    std::string key;
    std::mutex mutex;
    Answer standing;
    std::deque<Answer> once;
    std::vector<Upload> uploads;
    std::vector<ns::Value> events;
    std::function<void(std::size_t, std::size_t)> onUpload;

    SoapServer::Reply receive(const SoapServer::Received& request);
};

namespace {

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The deciphered body unpacked into `upload`; false when it is not a report.
bool read(const std::string& key, StatReportReceiver::Upload& upload) {
    std::string body = upload.request.body;
    StatReportReceiver::rc4(body, key);
    if (lowercase(upload.request.header("Content-Encoding")).find("gzip") != std::string::npos) {
        if (body.size() < 4) return false;
        upload.prefixed = true;
        for (int i = 0; i < 4; ++i)
            upload.declaredLength = (upload.declaredLength << 8) | static_cast<unsigned char>(body[static_cast<std::size_t>(i)]);
        std::optional<std::string> inflated = net::gunzip(std::string_view(body).substr(4));
        if (!inflated || inflated->size() != upload.declaredLength) return false;
        body = std::move(*inflated);
    }
    upload.plain = body;
    upload.events = JSONParser().parse(body, false);
    return upload.events.isArray();
}

// Whether the answer tells the reporter its events arrived.
bool accepts(const StatReportReceiver::Answer& answer) {
    if (answer.status != 200) return false;
    ns::Value ret = JSONParser().parse(answer.body, false)["ret"];
    return !ret.isNil() && ret.description() == "0";
}

}  // namespace

StatReportReceiver::StatReportReceiver(SoapServer& server, std::string key)
    : server_(server), state_(std::make_shared<State>()) {
    state_->key = std::move(key);
    server.handlePath(kPath, [state = state_](const SoapServer::Received& r) { return state->receive(r); });
}

SoapServer::Reply StatReportReceiver::State::receive(const SoapServer::Received& request) {
    Upload upload;
    upload.request = request;
    bool readable = request.method == "POST" && read(key, upload);
    if (!readable) upload.events = ns::Value();
    Answer answer;
    std::function<void(std::size_t, std::size_t)> notify;
    std::size_t received = readable ? upload.events.count() : 0, total = 0;
    {
        std::lock_guard lock(mutex);
        if (readable && !once.empty()) {
            answer = std::move(once.front());
            once.pop_front();
        } else {
            answer = standing;
        }
        if (readable && accepts(answer))
            for (const ns::Value& event : upload.events.items()) events.push_back(event);
        uploads.push_back(std::move(upload));
        total = events.size();
        notify = onUpload;
    }
    if (notify) notify(received, total);
    if (!readable) return SoapServer::status(400, "Not a statistics report");
    SoapServer::Reply reply;
    reply.status = answer.status;
    reply.contentType = "json";
    reply.body = answer.body;
    reply.hold = answer.hold;
    if (answer.encipher) rc4(reply.body, key);
    if (answer.contentEncoding) reply.headers.emplace_back("Content-Encoding", *answer.contentEncoding);
    return reply;
}

void StatReportReceiver::answer(Answer a) {
    std::lock_guard lock(state_->mutex);
    state_->standing = std::move(a);
}

void StatReportReceiver::answerOnce(Answer a) {
    std::lock_guard lock(state_->mutex);
    state_->once.push_back(std::move(a));
}

void StatReportReceiver::onUpload(std::function<void(std::size_t, std::size_t)> callback) {
    std::lock_guard lock(state_->mutex);
    state_->onUpload = std::move(callback);
}

std::vector<StatReportReceiver::Upload> StatReportReceiver::uploads() const {
    std::lock_guard lock(state_->mutex);
    return state_->uploads;
}

std::vector<ns::Value> StatReportReceiver::events() const {
    std::lock_guard lock(state_->mutex);
    return state_->events;
}

std::size_t StatReportReceiver::eventCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->events.size();
}

void StatReportReceiver::clear() {
    std::lock_guard lock(state_->mutex);
    state_->uploads.clear();
    state_->events.clear();
}

void StatReportReceiver::rc4(std::string& data, const std::string& key) {
    if (data.empty() || key.empty()) return;
    arcfour_ctx ctx;
    arcfour_set_key(&ctx, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
    arcfour_crypt(&ctx, data.size(), reinterpret_cast<std::uint8_t*>(data.data()),
                  reinterpret_cast<const std::uint8_t*>(data.data()));
}
