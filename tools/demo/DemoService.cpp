#include "demo/DemoService.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "demo/DemoPictures.h"
#include "demo/DemoReplies.h"
#include "foundation/Data.h"
#include "foundation/DateTime.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "service/JSON.h"
#include "service/VoVaClient.h"

namespace demo {

namespace fs = std::filesystem;
using namespace replies;

namespace {

constexpr const char* kPagesPath = "/demo/pages/";
constexpr std::size_t kMaxCommentCharacters = 1000;

// State files.
constexpr const char* kCommentsFile = "comments.json";
constexpr const char* kDevicesFile = "devices.json";
constexpr const char* kSignsFile = "signs.json";
constexpr const char* kSubmissionsFile = "submissions.json";
constexpr const char* kRepCommentsFile = "rep_comments.json";

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

// ---- Start ----

std::time_t DemoService::clock() const { return clock_ != 0 ? clock_ : std::time(nullptr); }

std::string DemoService::now() const { return timeText(clock()); }

DemoService::DemoService(const Options& options)
    : dataFolder_(options.dataFolder), stateFolder_(options.stateFolder), clock_(options.clock) {
    // A folder named by the person running it keeps its mode.
    if (std::string why = ns::makeWritableDirectory(stateFolder_, ns::ExistingFolder::KeepMode); !why.empty())
        throw std::runtime_error("cannot make the state folder " + why);
    // The port is known (the data's addresses name it) but no connection is
    // taken until every handler is in place: a request in between would get
    // a fault instead of its reply.
    server_ = std::make_unique<SoapServer>(options.port, "http://tempuri.org/", SoapServer::Listening::Later);
    server_->setRecording(false);

    service_ = expandAll(readData("service.json"));
    if (!service_.isDictionary() || !service_["members"].at(0).isDictionary())
        throw std::runtime_error(dataFolder_ + "/service.json: no members");
    loadArticles(readData("articles.json"));
    loadComments(readData("comments.json")["comments"], false);
    loadPictures(readData("pictures.json"));
    loadPages(service_["pages"]);
    loadRepresentatives(readData("representatives.json"));
    loadCases();
    loadState();
    replayChanges();

    static const std::vector<std::pair<const char*, Handler>> kHandlers = {
        {"AutoUpdate", &DemoService::autoUpdate},
        {"SubmitDevice", &DemoService::submitDevice},
        {"MemberLogin", &DemoService::memberLogin},
        {"GetPower", &DemoService::getPower},
        {"GetEventPower", &DemoService::getEventPower},
        {"GetArticleList", &DemoService::getArticleList},
        {"GetArticleRecord", &DemoService::getArticleRecord},
        {"GetCommentList", &DemoService::getCommentList},
        {"SubmitComment", &DemoService::submitComment},
        {"GetCategoryList", &DemoService::getCategoryList},
        {"GetOrgList", &DemoService::getOrgList},
        {"GetOrgRecord", &DemoService::getOrgRecord},
        {"GetOnlineRead", &DemoService::getOnlineRead},
        {"GetLinkList", &DemoService::getLinkList},
        {"GetSign", &DemoService::getSign},
        {"SubmitSign", &DemoService::submitSign},
        {"GetUserConfig", &DemoService::getUserConfig},
        {"GetOrgUser", &DemoService::getOrgUser},
        {"GetMailList", &DemoService::getMailList},
        {"GetRepresentativeList", &DemoService::getRepresentativeList},
        {"GetRepresentativeRecord", &DemoService::getRepresentativeRecord},
        {"GetRepresentativeComment", &DemoService::getRepresentativeComment},
        {"SubmitRepresentativeComment", &DemoService::submitRepresentativeComment},
        {"SubmitRepCommentDel", &DemoService::submitRepCommentDel},
        {"GetEnumList", &DemoService::getEnumList},
        {"GetGroupVoice", &DemoService::getGroupVoice},
        {"GetGroupVoiceRecord", &DemoService::getGroupVoiceRecord},
        {"GetEventList", &DemoService::getEventList},
        {"GetEventRecord", &DemoService::getEventRecord},
        {"GetOrgActivity", &DemoService::getOrgActivity},
        {"SubmitAttach", &DemoService::submitAttach},
    };
    // An operation in another namespace is one this service does not have,
    // whatever its name.
    auto inItsNamespace = [this](SoapServer::Handler handler) -> SoapServer::Handler {
        return [this, handler = std::move(handler)](const SoapServer::Received& r) {
            return r.serviceNamespace == server_->serviceNamespace() ? handler(r) : noSuchOperation(r);
        };
    };
    for (const auto& [operation, handler] : kHandlers) {
        // Structured bindings go in through init-captures: clang 14 cannot capture them by name.
        auto call = [this, op = std::string(operation), handler = handler](const SoapServer::Received& r) {
            std::lock_guard lock(mutex_);
            return answer(op, (this->*handler)(r.argument));
        };
        server_->handle(operation, inItsNamespace(call));
    }
    for (const auto& [operation, change] : changes()) {
        server_->handle(operation, inItsNamespace([this, op = std::string(operation),
                                                   change = change](const SoapServer::Received& r) {
                            std::lock_guard lock(mutex_);
                            return answer(op, keep(op, change, r.argument));
                        }));
    }
    // The client's other operations answer from no data; a name the client
    // does not know is an operation this service does not have.
    server_->handleOthers(inItsNamespace([this](const SoapServer::Received& r) {
        const auto& known = VoVaClient::operations();
        if (std::find(known.begin(), known.end(), r.operation) == known.end()) return noSuchOperation(r);
        std::lock_guard lock(mutex_);
        return answer(r.operation, otherOperation(r.operation, r.argument));
    }));
    statistics_ = std::make_unique<StatReportReceiver>(*server_);
    statistics_->onUpload([](std::size_t events, std::size_t total) {
        ns::NSLog("kl-demo-service: statistics report with %zu events (%zu in all)", events, total);
    });
    server_->listen();
}

DemoService::~DemoService() {
    // The server's threads answer through server_ until its destructor has
    // joined them, so the pointer stays set until the server has gone.
    delete server_.get();
    (void)server_.release();
}

const std::vector<std::string>& DemoService::operations() {
    static const std::vector<std::string> kOperations = {
        "AutoUpdate",     "SubmitDevice",  "MemberLogin",     "GetPower",    "GetEventPower",
        "GetArticleList", "GetArticleRecord", "GetCommentList", "SubmitComment", "GetCategoryList",
        "GetOrgList",     "GetOrgRecord",  "GetOnlineRead",   "GetLinkList",   "GetSign",
        "SubmitSign",     "GetUserConfig", "GetOrgUser",      "GetMailList",   "GetEnumList",
        "GetGroupVoice",  "GetGroupVoiceRecord", "SubmitGroupVoice", "SubmitGroupVoiceHandle", "GetEventList",
        "GetEventRecord", "SubmitEvent",   "SubmitEventHandle", "GetOrgActivity", "SubmitAttach", "SubmitOrgActivity",
        "GetRepresentativeList", "GetRepresentativeRecord", "GetRepresentativeComment", "SubmitRepresentativeComment",
        "SubmitRepCommentDel"};
    return kOperations;
}

std::string DemoService::defaultDataFolder(const std::string& programPath) {
    std::error_code ec;
    fs::path beside = fs::path(programPath).parent_path() / "demo-data";
    if (!programPath.empty() && fs::is_directory(beside, ec)) return beside.string();
#ifdef KL_DEMO_DATA_DIR
    return KL_DEMO_DATA_DIR;
#else
    return "demo-data";
#endif
}

DemoService::Member DemoService::demoMember() const {
    std::lock_guard lock(mutex_);
    ns::Value m = service_["members"].at(0);
    return Member{m["user_name"].text(), m["password"].text(), m["real_name"].text()};
}


ns::Value DemoService::readData(const std::string& file) const {
    std::string path = (fs::path(dataFolder_) / file).string();
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::stringstream text;
    text << in.rdbuf();
    JSONParser parser;
    ns::Value v = parser.parse(text.str(), false);
    if (v.isNil()) throw std::runtime_error(path + ": " + parser.error());
    return v;
}

std::string DemoService::expand(const std::string& text) const {
    std::string out = text, base = server_->baseURL();
    for (std::size_t at = 0; (at = out.find("$BASE", at)) != std::string::npos; at += base.size())
        out.replace(at, 5, base);
    return out;
}

ns::Value DemoService::expandAll(const ns::Value& value) const {
    if (value.isString()) return expand(value.str());
    if (value.isArray()) {
        ns::Value out = ns::Value::array();
        for (const auto& v : value.items()) out.push(expandAll(v));
        return out;
    }
    if (value.isDictionary()) {
        ns::Value out = ns::Value::dictionary();
        for (const auto& [k, v] : value.entries()) out.set(k, expandAll(v));
        return out;
    }
    return value;
}

std::string DemoService::pictureURL(const std::string& name) const { return server_->baseURL() + kPicturesPath + name; }
std::string DemoService::pageURL(const std::string& name) const {
    return server_->baseURL() + kPagesPath + name + ".html";
}

void DemoService::loadArticles(const ns::Value& data) {
    categories_ = ns::Value::dictionary();
    articles_ = ns::Value::dictionary();
    for (const auto& c : data["categories"].items()) {
        std::string code = c["code"].text();
        std::vector<ns::Value> list;
        for (const auto& a : c["articles"].items()) {
            std::string id = a["id"].text();
            if (id.empty() || articles_.has(id))
                throw std::runtime_error(dataFolder_ + "/articles.json: missing or repeated article id \"" + id + "\"");
            ns::Value attachs = ns::Value::array();
            for (const auto& f : a["attachs"].items())
                attachs.push(ns::Value::dictionary({{"file_name", f["file_name"]},
                                                    {"file_ext", f["file_ext"]},
                                                    {"file_path", pageURL(f["page"].text())}}));
            std::string picture = a["picture"].text();
            ns::Value record = ns::Value::dictionary({
                {"id", id},
                {"title", a["title"]},
                {"add_time", a["add_time"]},
                {"img_url", picture.empty() ? ns::Value::null() : ns::Value(pictureURL(picture))},
                {"zhaiyao", a["zhaiyao"].isNone() ? ns::Value::null() : a["zhaiyao"]},
                {"support_count", a["support_count"].integerValue()},
                {"user_name", c["author"]},
                {"content", a["content"].isNone() ? ns::Value::null() : ns::Value(expand(a["content"].text()))},
                {"channel_id", c["channel_id"]},
                {"category_code", code},
                {"attachs", attachs},
            });
            articles_.set(id, record);
            list.push_back(record);
        }
        std::stable_sort(list.begin(), list.end(), [](const ns::Value& x, const ns::Value& y) {
            return x["add_time"].text() > y["add_time"].text();
        });
        categories_.set(code, ns::Value::dictionary({{"title", c["title"]},
                                                     {"channel_id", c["channel_id"]},
                                                     {"articles", ns::Value::array(list)}}));
    }
}

void DemoService::loadComments(const ns::Value& data, bool submitted) {
    for (const auto& c : data.items()) {
        if (!c.isDictionary() || c["article_id"].text().empty()) continue;
        comments_.push_back(Comment{c, nextSequence_++});
        if (submitted) submittedComments_.push(c);
    }
}

void DemoService::loadPictures(const ns::Value& data) {
    for (const auto& p : data["pictures"].items()) {
        SoapServer::Reply r;
        if (p.has("file")) {
            // Bytes as they are, from a file of the data folder.
            std::ifstream in(fs::path(dataFolder_) / p["file"].text(), std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            if (!in) throw std::runtime_error(dataFolder_ + "/pictures.json: cannot read \"" + p["file"].text() + "\"");
            r.body = bytes.str();
            r.contentType = p["name"].text().ends_with(".png") ? "image/png" : "image/jpeg";
        } else {
            r.body = drawPicture(p);
            if (r.body.empty())
                throw std::runtime_error(dataFolder_ + "/pictures.json: cannot draw \"" + p["name"].text() + "\"");
            r.contentType = "image/png";
        }
        servedPaths_.push_back(kPicturesPath + p["name"].text());
        server_->serve(servedPaths_.back(), std::move(r));
    }
}

void DemoService::loadPages(const ns::Value& pages) {
    for (const auto& [name, page] : pages.entries()) {
        SoapServer::Reply r;
        r.contentType = "text/html; charset=utf-8";
        r.body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                 "<meta name=\"viewport\" content=\"width=device-width\"><title>" +
                 htmlEscape(page["title"].text()) + "</title></head><body>" + page["content"].text() + "</body></html>";
        // An outside page at its own path on this host, the others with the demo's pages.
        std::string path = page["path"].text();
        servedPaths_.push_back(path.rfind('/', 0) == 0 ? path : kPagesPath + name + ".html");
        server_->serve(servedPaths_.back(), std::move(r));
    }
}

// ---- Submissions kept ----

void DemoService::loadState() {
    auto read = [&](const char* file, const char* key) -> ns::Value {
        fs::path path = fs::path(stateFolder_) / file;
        std::ifstream in(path, std::ios::binary);
        if (!in) return ns::Value::array();
        std::stringstream text;
        text << in.rdbuf();
        ns::Value v = JSONParser().parse(text.str(), false)[key];
        // A damaged file is set aside rather than overwritten by the next
        // submission, and the person running the service told.
        if (!v.isArray()) {
            const std::string aside = path.string() + ".damaged";
            std::error_code ec;
            fs::rename(path, aside, ec);
            if (ec)
                ns::NSLog("kl-demo-service: %@ is damaged and cannot be set aside (%@); its %s start empty",
                          path.string(), ec.message(), key);
            else
                ns::NSLog("kl-demo-service: %@ is damaged; set aside as %@, its %s start empty", path.string(),
                          aside, key);
            return ns::Value::array();
        }
        return v;
    };
    loadComments(read(kCommentsFile, "comments"), true);
    // On the same days of this month (and of the last) whatever day it is.
    const ns::DateComponents today = ns::dateComponents(ns::Date{static_cast<double>(clock())});
    const int year = today.year, month = today.month;
    const struct {
        const char* key;
        int year, month;
    } months[] = {{"days_of_month", year, month},
                  {"days_of_last_month", month == 1 ? year - 1 : year, month == 1 ? 12 : month - 1}};
    for (const auto& [member, sample] : service_["sign_ins"].entries())
        for (const auto& m : months)
            for (const auto& day : sample[m.key].items()) {
                if (day.intValue() < 1 || day.intValue() > ns::daysInMonth(m.year, m.month)) continue;
                signs_.push(ns::Value::dictionary(
                    {{"user_id", member},
                     {"add_time", ns::format("%04d-%02d-%02d 08:30:00", m.year, m.month, day.intValue())}}));
            }
    submittedSigns_ = read(kSignsFile, "signs");
    signs_.append(submittedSigns_);
    devices_ = read(kDevicesFile, "devices");
    repComments_ = read(kRepCommentsFile, "comments");
    submissions_ = read(kSubmissionsFile, "submissions");
}

bool DemoService::saveState(const std::string& file, const ns::Value& value) const {
    const std::string path = (fs::path(stateFolder_) / file).string();
    ns::ErrorPtr error;
    if (ns::writeFileAtomically(path, JSONPrettyRepresentation(value) + "\n", &error)) return true;
    ns::NSLog("kl-demo-service: cannot keep a submission: %@", error->localizedDescription());
    return false;
}

// ---- Answers ----

SoapServer::Reply DemoService::answer(const std::string& operation, const ns::Value& value) const {
    return server_->result(operation, JSONRepresentation(value));
}

SoapServer::Reply DemoService::noSuchOperation(const SoapServer::Received& request) const {
    // The fault is the sender's: SOAP 1.2 over HTTP sends a Sender fault
    // with 400 Bad Request.
    const std::string where = request.serviceNamespace == server_->serviceNamespace()
                                  ? std::string()
                                  : " in the namespace \"" + request.serviceNamespace + "\" (its operations are in \"" +
                                        server_->serviceNamespace() + "\")";
    return SoapServer::fault("soap:Sender", "The service has no operation \"" + request.operation + "\"" + where, 400);
}

const ns::Value* DemoService::memberById(const std::string& id) const {
    for (const auto& m : service_["members"].items())
        if (!id.empty() && m["member_id"].text() == id) return &m;
    return nullptr;
}

ns::Value DemoService::autoUpdate(const ns::Value&) { return service_["version"].deepCopy(); }

ns::Value DemoService::submitDevice(const ns::Value& argument) {
    std::string device = parameter(argument, "device_id");
    if (device.empty()) return failed("缺少设备标识");
    for (const auto& d : devices_.items())
        if (d["device_id"].text() == device) return succeeded("设备已登记");
    devices_.push(ns::Value::dictionary({{"device_id", device}, {"add_time", now()}}));
    if (!saveState(kDevicesFile, ns::Value::dictionary({{"devices", devices_}}))) {
        devices_.removeLast();
        return failed("设备登记失败");
    }
    return succeeded("设备登记成功");
}

ns::Value DemoService::memberLogin(const ns::Value& argument) {
    std::string user = parameter(argument, "user_name"), password = parameter(argument, "password");
    for (const auto& m : service_["members"].items()) {
        if (user.empty() || m["user_name"].text() != user || m["password"].text() != password) continue;
        lastMember_ = m["member_id"].text();
        ns::Value r = succeeded("登录成功");
        r.set("records", pick(m, {"member_id", "uname", "user_name", "password", "real_name", "type", "area_id",
                                  "org_id", "mobile"}));
        return r;
    }
    return failed("用户名或密码错误");
}

ns::Value DemoService::getPower(const ns::Value& argument) {
    const ns::Value* m = memberById(parameter(argument, "user_id"));
    std::string model = parameter(argument, "model_name");
    bool allowed = false;
    if (m)
        for (const auto& p : (*m)["powers"].items()) allowed = allowed || p.text() == model;
    ns::Value r = succeeded();
    r.set("is_power", allowed ? "1" : "0");
    return r;
}

ns::Value DemoService::getEventPower(const ns::Value& argument) {
    const ns::Value* m = memberById(parameter(argument, "user_id"));
    ns::Value r = succeeded();
    r.set("is_power", m && (*m)["event_power"].text() == "1" ? "1" : "0");
    return r;
}

ns::Value DemoService::getArticleList(const ns::Value& argument) {
    ns::Value category = categories_[parameter(argument, "category_code")];
    std::vector<ns::Value> list;
    for (const auto& a : category["articles"].items())
        list.push_back(pick(a, {"id", "title", "add_time", "img_url", "zhaiyao", "support_count"}));
    return listReply(pageOfItems(list, pageOf(argument)));
}

ns::Value DemoService::getArticleRecord(const ns::Value& argument) {
    ns::Value article = articles_[parameter(argument, "id")];
    if (!article.isDictionary()) return failed("文章不存在");
    ns::Value r = succeeded();
    r.set("records", article.deepCopy());
    return r;
}

ns::Value DemoService::getCommentList(const ns::Value& argument) {
    std::string article = parameter(argument, "article_id");
    std::vector<const Comment*> found;
    for (const auto& c : comments_)
        if (c.record["article_id"].text() == article) found.push_back(&c);
    std::sort(found.begin(), found.end(), [](const Comment* x, const Comment* y) {
        std::string tx = x->record["add_time"].text(), ty = y->record["add_time"].text();
        return tx != ty ? tx > ty : x->sequence > y->sequence;
    });
    std::vector<ns::Value> list;
    for (const Comment* c : found)
        list.push_back(pick(c->record, {"id", "article_id", "user_name", "add_time", "support_count", "content"}));
    return listReply(pageOfItems(list, pageOf(argument)));
}

ns::Value DemoService::submitComment(const ns::Value& argument) {
    std::string content = parameter(argument, "content"), article = parameter(argument, "article_id");
    if (content.empty()) return failed("评论内容不能为空");
    if (characterCount(content) > kMaxCommentCharacters) return failed("评论内容过长");
    ns::Value target = articles_[article];
    if (!target.isDictionary()) return failed("文章不存在");
    std::string name = parameter(argument, "user_name");
    ns::Value comment = ns::Value::dictionary({
        {"id", "u" + std::to_string(submittedComments_.count() + 1)},
        {"article_id", article},
        {"user_name", name.empty() ? std::string("网友") : name},
        {"user_id", parameter(argument, "user_id")},
        {"channel_id", parameter(argument, "channel_id")},
        {"add_time", now()},
        {"support_count", 0},
        {"content", content},
    });
    submittedComments_.push(comment);
    if (!saveState(kCommentsFile, ns::Value::dictionary({{"comments", submittedComments_}}))) {
        submittedComments_.removeLast();
        return failed("评论保存失败");
    }
    comments_.push_back(Comment{comment, nextSequence_++});
    return succeeded("评论成功");
}

ns::Value DemoService::getCategoryList(const ns::Value& argument) {
    ns::Value list = service_["category_lists"][parameter(argument, "category_code")];
    return listReply(list.isArray() ? list.deepCopy() : ns::Value::array());
}

ns::Value DemoService::getOrgList(const ns::Value& argument) {
    std::string type = parameter(argument, "type");
    const ns::Value& orgs = service_["organisations"];
    std::string parent;
    if (type == "county") {
        // The level under the top organisation.
        for (const auto& o : orgs.items())
            if (o["parent_id"].text() == "0") parent = o["id"].text();
    } else if (type == "org") {
        parent = parameter(argument, "id");
    } else if (type == "countyandcity") {
        return listReply(counties_.deepCopy());
    } else if (type == "orgChildOrg") {
        const ns::Value* m = memberById(parameter(argument, "user_id"));
        if (m) parent = (*m)["org_id"].text();
    } else if (type == "all_org") {
        // The whole tree from the top, each node with its level and children.
        return listReply(orgTree("0", 1));
    }
    ns::Value records = ns::Value::array();
    for (const auto& o : orgs.items())
        if (!parent.empty() && o["parent_id"].text() == parent) records.push(pick(o, {"id", "name"}));
    return listReply(records);
}

ns::Value DemoService::getOrgRecord(const ns::Value& argument) {
    std::string id = parameter(argument, "id");
    for (const auto& o : service_["organisations"].items()) {
        if (id.empty() || o["id"].text() != id) continue;
        // "name" is the person in charge: the screen has the organisation's own name already.
        ns::Value record = pick(o, {"mobile", "address", "member_count"});
        record.set("name", o["leader"].isNone() ? ns::Value::null() : o["leader"]);
        record.set("id", id);
        record.set("org_id", id);
        record.set("head_portrait", ns::Value::null());
        ns::Value children = ns::Value::array();
        for (const auto& c : service_["organisations"].items())
            if (c["parent_id"].text() == id) children.push(pick(c, {"id", "name"}));
        record.set("child_org", children);
        ns::Value r = succeeded();
        r.set("records", record);
        return r;
    }
    return failed("组织不存在");
}

ns::Value DemoService::getOnlineRead(const ns::Value& argument) {
    std::vector<ns::Value> list;
    int n = 0;
    for (const auto& b : service_["books"].items())
        list.push_back(ns::Value::dictionary({{"id", std::to_string(++n)},
                                              {"title", b["title"]},
                                              {"img_url", pictureURL(b["picture"].text())},
                                              {"file_path", pageURL(b["page"].text())}}));
    return listReply(pageOfItems(list, pageOf(argument)));
}

ns::Value DemoService::getLinkList(const ns::Value&) {
    ns::Value groups = ns::Value::array();
    for (const auto& g : service_["links"].items()) {
        ns::Value links = ns::Value::array();
        for (const auto& l : g["links"].items())
            links.push(ns::Value::dictionary(
                {{"title", l["title"]}, {"site_url", l.has("url") ? l["url"] : ns::Value(pageURL(l["page"].text()))}}));
        groups.push(ns::Value::dictionary({{"title", g["title"]}, {"links", links}}));
    }
    return listReply(groups);
}

ns::Value DemoService::getSign(const ns::Value& argument) {
    std::string member = parameter(argument, "user_id"), month = parameter(argument, "year_month");
    std::vector<ns::Value> found;
    for (const auto& s : signs_.items())
        if (!month.empty() && s["user_id"].text() == member && s["add_time"].text().rfind(month + "-", 0) == 0)
            found.push_back(ns::Value::dictionary({{"add_time", s["add_time"]}}));
    std::sort(found.begin(), found.end(),
              [](const ns::Value& x, const ns::Value& y) { return x["add_time"].text() > y["add_time"].text(); });
    ns::Value r = listReply(ns::Value::array(found));
    r.set("sign_count", static_cast<long long>(found.size()));
    return r;
}

ns::Value DemoService::submitSign(const ns::Value& argument) {
    std::string member = parameter(argument, "user_id");
    if (!memberById(member)) return failed("请先登录");
    std::string time = now(), today = time.substr(0, 10);
    for (const auto& s : signs_.items())
        if (s["user_id"].text() == member && s["add_time"].text().rfind(today, 0) == 0) return failed("今天已经签到过了");
    ns::Value sign = ns::Value::dictionary({{"user_id", member}, {"add_time", time}});
    submittedSigns_.push(sign);
    if (!saveState(kSignsFile, ns::Value::dictionary({{"signs", submittedSigns_}}))) {
        submittedSigns_.removeLast();
        return failed("签到失败");
    }
    signs_.push(sign);
    return succeeded("签到成功");
}

ns::Value DemoService::getUserConfig(const ns::Value&) {
    ns::Value r = succeeded();
    r.set("records", service_["config"].isDictionary() ? service_["config"].deepCopy() : ns::Value::dictionary());
    return r;
}

ns::Value DemoService::getOrgUser(const ns::Value& argument) {
    // Organisation ids joined by ",".
    std::string list = parameter(argument, "org_list");
    ns::Value records = ns::Value::array();
    std::size_t at = 0;
    while (at <= list.size()) {
        std::size_t comma = std::min(list.find(',', at), list.size());
        std::string id = list.substr(at, comma - at);
        for (const auto& m : service_["org_members"][id].items()) records.push(pick(m, {"real_name", "user_name"}));
        at = comma + 1;
    }
    return listReply(records);
}

ns::Value DemoService::getMailList(const ns::Value& argument) {
    std::string keywords = parameter(argument, "keywords");
    std::vector<ns::Value> found;
    for (const auto& m : service_["org_members"][parameter(argument, "org_id")].items())
        if (keywords.empty() || m["real_name"].text().find(keywords) != std::string::npos ||
            m["user_name"].text().find(keywords) != std::string::npos)
            found.push_back(pick(m, {"real_name", "user_name"}));
    return listReply(pageOfItems(found, pageOf(argument)));
}

// ---- Party representatives ----

void DemoService::loadRepresentatives(const ns::Value& data) {
    loadPictures(data);
    for (const auto& c : data["counties"].items())
        counties_.push(ns::Value::dictionary(
            {{"id", c["id"]}, {"name", c["name"]}, {"img_url", pictureURL(c["picture"].text())}}));
    representatives_ = data["representatives"].isArray() ? data["representatives"] : ns::Value::array();
}

namespace {

const ns::Value* findById(const ns::Value& list, const std::string& id) {
    for (const auto& r : list.items())
        if (!id.empty() && r["id"].text() == id) return &r;
    return nullptr;
}

// A message as the boards read it, with its replies.
ns::Value boardMessage(const ns::Value& m, const std::string& currentMember) {
    ns::Value replies = ns::Value::array();
    for (const auto& r : m["replies"].items()) replies.push(boardMessage(r, currentMember));
    std::string author = m["author_id"].text();
    return ns::Value::dictionary({{"id", m["id"].text()},
                                  {"comment_user_name", m["author"]},
                                  {"comment_content", m["content"]},
                                  {"add_time", m["add_time"]},
                                  {"is_del_permission", !author.empty() && author == currentMember ? "1" : "0"},
                                  {"childrens", replies}});
}

std::size_t messageCount(const ns::Value& messages) {
    std::size_t n = 0;
    for (const auto& m : messages.items()) n += 1 + messageCount(m["childrens"]);
    return n;
}

// The message of that id in the tree (the tree's own), or nil.
ns::Value messageById(const ns::Value& messages, const std::string& id) {
    for (const auto& m : messages.items()) {
        if (m["id"].text() == id) return m;
        if (ns::Value found = messageById(m["childrens"].isArray() ? m["childrens"] : m["replies"], id)) return found;
    }
    return {};
}

}  // namespace

ns::Value DemoService::getRepresentativeList(const ns::Value& argument) {
    std::string county = parameter(argument, "org_id");
    std::vector<ns::Value> found;
    for (const auto& r : representatives_.items())
        if (r["county"].text() == county)
            found.push_back(ns::Value::dictionary(
                {{"id", r["id"]}, {"real_name", r["real_name"]}, {"head_portrait", pictureURL(r["picture"].text())}}));
    return listReply(pageOfItems(found, pageOf(argument)));
}

ns::Value DemoService::getRepresentativeRecord(const ns::Value& argument) {
    const ns::Value* r = findById(representatives_, parameter(argument, "user_id"));
    if (!r) return failed("党代表不存在");
    const ns::Value* county = findById(counties_, (*r)["county"].text());
    ns::Value record = pick(*r, {"real_name", "mobile", "proposals"});
    record.set("head_portrait", pictureURL((*r)["picture"].text()));
    record.set("org_name", county ? (*county)["name"] : ns::Value::null());
    record.set("comment_count", static_cast<long long>(messageCount(
                                    getRepresentativeComment(ns::Value::dictionary({{"parameters", argument["parameters"]}}))["records"])));
    ns::Value reply = succeeded();
    reply.set("records", record);
    return reply;
}

ns::Value DemoService::getRepresentativeComment(const ns::Value& argument) {
    std::string id = parameter(argument, "user_id"), member = parameter(argument, "current_user_id");
    const ns::Value* r = findById(representatives_, id);
    if (!r) return failed("党代表不存在");
    ns::Value messages = ns::Value::array();
    for (const auto& m : (*r)["messages"].items()) messages.push(boardMessage(m, member));
    // Those left here since, in the order they came: messages first, then the replies to them.
    for (const auto& c : repComments_.items()) {
        if (c["user_id"].text() != id) continue;
        ns::Value message = boardMessage(c, member);
        if (c["parent_id"].text().empty()) {
            messages.insert(0, message);
        } else if (ns::Value parent = messageById(messages, c["parent_id"].text())) {
            parent["childrens"].push(message);
        }
    }
    ns::Value reply = listReply(messages);
    reply.set("comment_count", static_cast<long long>(messageCount(messages)));
    return reply;
}

ns::Value DemoService::submitRepresentativeComment(const ns::Value& argument) {
    std::string id = parameter(argument, "user_id"), parent = parameter(argument, "parent_id");
    std::string content = parameter(argument, "content");
    if (!findById(representatives_, id)) return failed("党代表不存在");
    if (content.empty() || characterCount(content) > kMaxCommentCharacters) return failed("留言不能为空，也不能超过1000字");
    if (!parent.empty() && !messageById(getRepresentativeComment(argument)["records"], parent))
        return failed("要回复的留言已不存在");
    const ns::Value* member = memberById(lastMember_);
    ns::Value comment = ns::Value::dictionary({
        {"id", "r" + std::to_string(repComments_.count() + nextSequence_++)},
        {"user_id", id},
        {"parent_id", parent},
        {"author", member ? (*member)["real_name"] : ns::Value("游客")},
        {"author_id", member ? (*member)["member_id"] : ns::Value("")},
        {"content", content},
        {"add_time", now()},
    });
    repComments_.push(comment);
    if (!saveState(kRepCommentsFile, ns::Value::dictionary({{"comments", repComments_}}))) {
        repComments_.removeLast();
        return failed("留言保存失败");
    }
    return succeeded(parent.empty() ? "留言成功" : "回复成功");
}

ns::Value DemoService::submitRepCommentDel(const ns::Value& argument) {
    std::string id = parameter(argument, "comment_id");
    // The message and every reply left to it here go.
    std::vector<std::string> gone{id};
    ns::Value kept = ns::Value::array();
    for (const auto& c : repComments_.items()) {
        bool under = std::find(gone.begin(), gone.end(), c["parent_id"].text()) != gone.end();
        if (c["id"].text() == id || under) {
            gone.push_back(c["id"].text());
        } else {
            kept.push(c);
        }
    }
    if (gone.size() == 1) {
        for (const auto& r : representatives_.items())
            if (messageById(r["messages"], id)) return failed("演示留言不能删除");
        return failed("留言不存在");
    }
    if (!saveState(kRepCommentsFile, ns::Value::dictionary({{"comments", kept}}))) return failed("删除失败");
    repComments_ = kept;
    return succeeded("删除成功");
}

ns::Value DemoService::otherOperation(const std::string& operation, const ns::Value& argument) {
    if (operation.rfind("Submit", 0) == 0) {
        submissions_.push(ns::Value::dictionary({{"operation", operation},
                                                 {"add_time", now()},
                                                 {"argument", argument.isNil() ? ns::Value::null() : argument}}));
        if (!saveState(kSubmissionsFile, ns::Value::dictionary({{"submissions", submissions_}}))) {
            submissions_.removeLast();
            return failed("提交失败");
        }
        return succeeded("提交成功");
    }
    ns::Value r = listReply(ns::Value::array());
    r.set("message", "演示数据中没有这项内容");
    return r;
}

}  // namespace demo
