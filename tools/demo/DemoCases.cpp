// The demo service's direct line (petitions and their handling), grid
// (event types, events and their handling) and organisation activities
// (pictures uploaded, activities published), and the changes submitted to
// them, kept and replayed.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "demo/DemoReplies.h"
#include "demo/DemoService.h"
#include "foundation/Data.h"
#include "foundation/Log.h"

namespace demo {

namespace fs = std::filesystem;
using namespace replies;

namespace {

constexpr const char* kAttachmentsFolder = "attachments";
constexpr const char* kAttachmentsPath = "/demo/attachments/";
constexpr const char* kSubmissionsFile = "submissions.json";
constexpr std::size_t kMaxTitleCharacters = 100;
constexpr std::size_t kMaxTextCharacters = 2000;
constexpr std::size_t kMaxPictureBytes = 8 * 1024 * 1024;

// Petition states.
constexpr const char* kAwaiting = "待处理";
constexpr const char* kReplied = "已回复";
// Event states.
constexpr const char* kHandling = "处理中";
constexpr const char* kHandled = "已办结";
constexpr const char* kCoordinating = "协调处理中";
constexpr const char* kReported = "已上报";

bool isOn(const ns::Value& flag) { return flag.text() == "1" || (flag.isBool() && flag.boolValue()); }

// Newest first by the time under the key; later submissions first among equals.
std::vector<ns::Value> newestFirst(std::vector<ns::Value> items, const char* key) {
    std::vector<std::pair<std::size_t, ns::Value>> order;
    for (std::size_t i = 0; i < items.size(); ++i) order.emplace_back(i, items[i]);
    std::stable_sort(order.begin(), order.end(), [key](const auto& x, const auto& y) {
        std::string tx = x.second[key].text(), ty = y.second[key].text();
        return tx != ty ? tx > ty : x.first > y.first;
    });
    std::vector<ns::Value> out;
    for (auto& [i, v] : order) out.push_back(v);
    return out;
}

// An id of the prefix not yet in the list.
std::string freshId(const ns::Value& list, const char* prefix) {
    for (std::size_t n = list.count() + 1;; ++n) {
        std::string id = prefix + std::to_string(n);
        bool used = false;
        for (const auto& item : list.items()) used = used || item["id"].text() == id;
        if (!used) return id;
    }
}

bool tooLong(const std::string& text, std::size_t limit) { return characterCount(text) > limit; }

// A picture's bytes and its file extension, or "" when it is neither JPEG nor PNG.
std::string pictureExtension(const std::string& bytes) {
    if (bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8)
        return ".jpg";
    if (bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) return ".png";
    return "";
}

}  // namespace

// ---- Organisations ----

const ns::Value* DemoService::orgById(const std::string& id) const {
    for (const auto& o : service_["organisations"].items())
        if (!id.empty() && o["id"].text() == id) return &o;
    return nullptr;
}

std::string DemoService::orgName(const std::string& id) const {
    const ns::Value* o = orgById(id);
    return o ? (*o)["name"].text() : std::string();
}

std::string DemoService::parentOf(const std::string& org) const {
    const ns::Value* o = orgById(org);
    std::string parent = o ? (*o)["parent_id"].text() : std::string();
    return parent == "0" ? std::string() : parent;
}

bool DemoService::isWithin(const std::string& org, const std::string& ancestor) const {
    if (ancestor.empty()) return false;
    // Bounded by the number of organisations, however the data is linked.
    std::string at = org;
    for (std::size_t steps = 0; !at.empty() && steps <= service_["organisations"].count(); ++steps) {
        if (at == ancestor) return true;
        at = parentOf(at);
    }
    return false;
}

ns::Value DemoService::orgTree(const std::string& parent, int level) const {
    ns::Value nodes = ns::Value::array();
    if (level > 8) return nodes;
    for (const auto& o : service_["organisations"].items()) {
        if (o["parent_id"].text() != parent) continue;
        nodes.push(ns::Value::dictionary({{"id", o["id"]},
                                          {"name", o["name"]},
                                          {"level", std::to_string(level)},
                                          {"child_org", orgTree(o["id"].text(), level + 1)}}));
    }
    return nodes;
}

// ---- Start ----

void DemoService::loadCases() {
    petitions_ = service_["petitions"].isArray() ? service_["petitions"].deepCopy() : ns::Value::array();
    events_ = service_["events"].isArray() ? service_["events"].deepCopy() : ns::Value::array();
    activities_ = ns::Value::array();
    for (const auto& a : service_["activities"].items()) {
        ns::Value activity = a.deepCopy();
        ns::Value attach = ns::Value::array();
        for (const auto& picture : a["pictures"].items()) attach.push(std::string(kPicturesPath) + picture.text());
        activity.set("attach", attach);
        activity.remove("pictures");
        activities_.push(activity);
    }
    // Pictures uploaded in earlier runs; new ones are numbered after them.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(stateFolder_) / kAttachmentsFolder, ec)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        serveAttachment(entry.path().filename().string(), std::move(bytes));
        attachments_ = std::max(attachments_, std::atoi(entry.path().stem().string().c_str()));
    }
}

const std::vector<std::pair<const char*, DemoService::Change>>& DemoService::changes() {
    static const std::vector<std::pair<const char*, Change>> kChanges = {
        {"SubmitGroupVoice", &DemoService::submitGroupVoice},
        {"SubmitGroupVoiceHandle", &DemoService::submitGroupVoiceHandle},
        {"SubmitEvent", &DemoService::submitEvent},
        {"SubmitEventHandle", &DemoService::submitEventHandle},
        {"SubmitOrgActivity", &DemoService::submitOrgActivity},
    };
    return kChanges;
}

void DemoService::replayChanges() {
    for (const auto& s : submissions_.items()) {
        for (const auto& [operation, change] : changes())
            if (s["operation"].text() == operation) (this->*change)(s["argument"], s["add_time"].text());
    }
}

ns::Value DemoService::keep(const std::string& operation, Change change, const ns::Value& argument) {
    ns::Value petitions = petitions_.deepCopy(), events = events_.deepCopy(), activities = activities_.deepCopy();
    const std::string time = now();
    ns::Value answer = (this->*change)(argument, time);
    if (answer["state"].text() != "successful") return answer;
    submissions_.push(ns::Value::dictionary({{"operation", operation},
                                             {"add_time", time},
                                             {"argument", argument.isNil() ? ns::Value::null() : argument}}));
    if (!saveState(kSubmissionsFile, ns::Value::dictionary({{"submissions", submissions_}}))) {
        submissions_.removeLast();
        petitions_ = petitions;
        events_ = events;
        activities_ = activities;
        return failed("提交失败");
    }
    return answer;
}

// ---- Enumerations ----

ns::Value DemoService::getEnumList(const ns::Value& argument) {
    ns::Value records = ns::Value::array();
    for (const auto& entry : service_["enums"][parameter(argument, "name")].items())
        records.push(ns::Value::dictionary({{"key", entry.text()}}));
    return listReply(records);
}

// ---- Petitions ----

const ns::Value* DemoService::petitionAwaiting(const std::string& id, const ns::Value* member) const {
    if (!member) return nullptr;
    for (const auto& p : petitions_.items())
        if (!id.empty() && p["id"].text() == id && p["state"].text() == kAwaiting &&
            p["org_id"].text() == (*member)["org_id"].text())
            return &p;
    return nullptr;
}

ns::Value DemoService::getGroupVoice(const ns::Value& argument) {
    const std::string type = parameter(argument, "type");
    const std::string tel = parameter(argument, "user_tel");
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    std::vector<ns::Value> found;
    for (const auto& p : petitions_.items()) {
        bool listed = false;
        if (type == "3") listed = isOn(p["is_open"]);
        if (type == "1") listed = !tel.empty() && p["user_tel"].text() == tel;
        if (type == "4") listed = petitionAwaiting(p["id"].text(), member) != nullptr;
        if (!listed) continue;
        ns::Value row = pick(p, {"id", "title", "content", "user_name", "add_time", "state"});
        row.set("org_name", orgName(p["org_id"].text()));
        found.push_back(row);
    }
    return listReply(pageOfItems(newestFirst(found, "add_time"), pageOf(argument)));
}

ns::Value DemoService::getGroupVoiceRecord(const ns::Value& argument) {
    const std::string id = parameter(argument, "feel_id");
    const ns::Value* petition = nullptr;
    for (const auto& p : petitions_.items())
        if (!id.empty() && p["id"].text() == id) petition = &p;
    if (!petition) return failed("诉求不存在");
    const ns::Value& p = *petition;
    ns::Value record = pick(p, {"id", "title", "add_time", "content", "state", "user_name"});
    record.set("add_org", orgName(p["org_id"].text()));
    std::string kind;
    for (const auto& c : service_["category_lists"]["qunzhongxinsheng"].items())
        if (c["category_id"].text() == p["category_id"].text()) kind = c["category_title"].text();
    record.set("type_name", kind);
    record.set("feel_handle", p["handles"].isArray() ? p["handles"].deepCopy() : ns::Value::array());
    ns::Value r = succeeded();
    r.set("records", record);
    if (argument["parameters"].has("user_id")) {
        const ns::Value* member = memberById(parameter(argument, "user_id"));
        const bool awaiting = petitionAwaiting(id, member) != nullptr;
        r.set("is_handle", awaiting ? "1" : "0");
        r.set("is_report", awaiting && !parentOf(p["org_id"].text()).empty() ? "1" : "0");
    }
    return r;
}

ns::Value DemoService::submitGroupVoice(const ns::Value& argument, const std::string& time) {
    const std::string title = parameter(argument, "title"), content = parameter(argument, "content");
    const std::string org = parameter(argument, "org_id");
    if (title.empty() || content.empty()) return failed("请填写标题和内容");
    if (tooLong(title, kMaxTitleCharacters) || tooLong(content, kMaxTextCharacters)) return failed("标题或内容过长");
    if (!orgById(org)) return failed("请选择受理单位");
    std::string name = parameter(argument, "user_name");
    petitions_.push(ns::Value::dictionary({
        {"id", freshId(petitions_, "p")},
        {"title", title},
        {"category_id", parameter(argument, "category_id")},
        {"user_name", name.empty() ? std::string("群众") : name},
        {"user_tel", parameter(argument, "user_tel")},
        {"org_id", org},
        {"is_open", isOn(argument["parameters"]["is_open"]) ? 1 : 0},
        {"add_time", time},
        {"content", content},
        {"state", kAwaiting},
        {"handles", ns::Value::array()},
    }));
    return succeeded("提交成功");
}

ns::Value DemoService::submitGroupVoiceHandle(const ns::Value& argument, const std::string& time) {
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    const ns::Value* awaiting = petitionAwaiting(parameter(argument, "feel_id"), member);
    if (!awaiting) return failed("这条诉求不需要您处理");
    const std::string action = parameter(argument, "action"), text = parameter(argument, "handle_content");
    if (text.empty()) return failed("请填写处理意见");
    if (tooLong(text, kMaxTextCharacters)) return failed("处理意见过长");
    ns::Value petition = *awaiting;  // shares the record
    const std::string org = petition["org_id"].text();
    if (action == "回复") {
        petition.set("state", kReplied);
    } else if (action == "上报") {
        const std::string parent = parentOf(org);
        if (parent.empty()) return failed("没有上级单位");
        petition.set("org_id", parent);  // now awaits the organisation above
    } else {
        return failed("不支持的处理方式");
    }
    ns::Value handles = petition["handles"];
    if (!handles.isArray()) {
        handles = ns::Value::array();
        petition.set("handles", handles);
    }
    handles.push(ns::Value::dictionary({{"handle_user", orgName(org)},
                                        {"action", action},
                                        {"handle_time", time},
                                        {"handle_content", text}}));
    return succeeded(action == "回复" ? "回复成功" : "上报成功");
}

// ---- Grid events ----

const ns::Value* DemoService::eventAwaiting(const std::string& id, const ns::Value* member) const {
    if (!member) return nullptr;
    for (const auto& e : events_.items())
        if (!id.empty() && e["id"].text() == id && e["state"].text() != kHandled &&
            isWithin(e["org_id"].text(), (*member)["org_id"].text()))
            return &e;
    return nullptr;
}

ns::Value DemoService::getEventList(const ns::Value& argument) {
    const std::string type = parameter(argument, "type");
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    std::vector<ns::Value> found;
    for (const auto& e : events_.items()) {
        if (!member || !isWithin(e["org_id"].text(), (*member)["org_id"].text())) continue;
        if (type == "1" && !isOn(e["tag"])) continue;
        if (type == "2" && !isOn(e["coordination"])) continue;
        if (type != "1" && type != "2" && type != "3") continue;
        found.push_back(pick(e, {"id", "title", "category", "charge", "place", "datetime", "state"}));
    }
    return listReply(pageOfItems(newestFirst(found, "datetime"), pageOf(argument)));
}

ns::Value DemoService::getEventRecord(const ns::Value& argument) {
    const std::string id = parameter(argument, "id");
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    const ns::Value* event = nullptr;
    for (const auto& e : events_.items())
        if (!id.empty() && e["id"].text() == id) event = &e;
    if (!event || !member || !isWithin((*event)["org_id"].text(), (*member)["org_id"].text()))
        return failed("事件不存在");
    const ns::Value& e = *event;
    ns::Value record = pick(e, {"id", "title", "content", "category", "charge", "place", "datetime", "state"});
    record.set("tags", isOn(e["tag"]) ? "是" : "否");
    const ns::Value* author = memberById(e["user_id"].text());
    record.set("user_name", author ? (*author)["real_name"] : ns::Value(""));
    record.set("org_name", orgName(e["org_id"].text()));
    ns::Value handles = e["handles"].isArray() ? e["handles"].deepCopy() : ns::Value::array();
    record.set("remark", handles.count() > 0 ? handles.last()["remark"] : ns::Value(""));
    record.set("event_handles", handles);
    ns::Value r = succeeded();
    r.set("records", record);
    const bool awaiting = eventAwaiting(id, member) != nullptr;
    r.set("is_handle", awaiting ? "1" : "0");
    r.set("is_report", awaiting && !parentOf(e["org_id"].text()).empty() ? "1" : "0");
    return r;
}

ns::Value DemoService::submitEvent(const ns::Value& argument, const std::string& time) {
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    if (!member) return failed("请先登录");
    const std::string title = parameter(argument, "title"), content = parameter(argument, "content");
    if (title.empty() || parameter(argument, "category").empty()) return failed("请填写事件标题和类型");
    if (tooLong(title, kMaxTitleCharacters) || tooLong(content, kMaxTextCharacters)) return failed("标题或内容过长");
    std::string when = parameter(argument, "date_time");
    events_.push(ns::Value::dictionary({
        {"id", freshId(events_, "e")},
        {"title", title},
        {"category", parameter(argument, "category")},
        {"content", content},
        {"charge", parameter(argument, "charge")},
        {"tag", isOn(argument["parameters"]["tag"]) ? 1 : 0},
        {"place", parameter(argument, "place")},
        {"datetime", when.empty() ? time.substr(0, 16) : when},
        {"user_id", (*member)["member_id"]},
        {"org_id", (*member)["org_id"]},
        {"state", kAwaiting},
        {"coordination", false},
        {"handles", ns::Value::array()},
    }));
    return succeeded("登记成功");
}

ns::Value DemoService::submitEventHandle(const ns::Value& argument, const std::string& time) {
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    const ns::Value* awaiting = eventAwaiting(parameter(argument, "id"), member);
    if (!awaiting) return failed("这个事件不需要您处理");
    const ns::Value p = argument["parameters"];
    const std::string remark = parameter(argument, "remark");
    if (tooLong(remark, kMaxTextCharacters)) return failed("处理意见过长");
    ns::Value event = *awaiting;  // shares the record
    std::string state;
    if (isOn(p["is_handled"])) {
        state = kHandled;
    } else if (isOn(p["is_report"])) {
        const std::string parent = parentOf(event["org_id"].text());
        if (parent.empty()) return failed("没有上级单位");
        event.set("org_id", parent);
        state = kReported;
    } else if (isOn(p["is_coordination"])) {
        event.set("coordination", true);
        state = kCoordinating;
    } else if (isOn(p["is_handing"])) {
        state = kHandling;
    } else {
        return failed("请选择处理方式");
    }
    event.set("state", state);
    ns::Value handles = event["handles"];
    if (!handles.isArray()) {
        handles = ns::Value::array();
        event.set("handles", handles);
    }
    handles.push(ns::Value::dictionary(
        {{"user_name", (*member)["real_name"]}, {"remark", remark}, {"state", state}, {"datetimes", time}}));
    return succeeded("提交成功");
}

// ---- Organisation activities ----

ns::Value DemoService::getOrgActivity(const ns::Value& argument) {
    const std::string org = parameter(argument, "org_id");
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    std::vector<ns::Value> found;
    for (const auto& a : activities_.items()) {
        if (org.empty() || a["org_id"].text() != org) continue;
        ns::Value row = pick(a, {"id", "title", "add_time", "content"});
        ns::Value pictures = ns::Value::array();
        for (const auto& path : a["attach"].items()) {
            std::string url = baseURL() + path.text();
            pictures.push(ns::Value::dictionary({{"thumb_path", url}, {"file_path", url}}));
        }
        row.set("org_activity_attach", pictures);
        found.push_back(row);
    }
    ns::Value r = listReply(pageOfItems(newestFirst(found, "add_time"), pageOf(argument)));
    // Members of the organisation, or of one above it, may publish.
    r.set("is_power", member && isWithin(org, (*member)["org_id"].text()) ? "1" : "0");
    return r;
}

void DemoService::serveAttachment(const std::string& file, std::string bytes) {
    SoapServer::Reply r;
    r.contentType = file.size() > 4 && file.compare(file.size() - 4, 4, ".png") == 0 ? "image/png" : "image/jpeg";
    r.body = std::move(bytes);
    server_->serve(kAttachmentsPath + file, std::move(r));
}

ns::Value DemoService::submitAttach(const ns::Value& argument) {
    auto decoded = ns::base64Decode(parameter(argument, "base"));
    if (!decoded || decoded->empty()) return failed("图片内容有误");
    std::string bytes(decoded->begin(), decoded->end());
    if (bytes.size() > kMaxPictureBytes) return failed("图片太大");
    const std::string extension = pictureExtension(bytes);
    if (extension.empty()) return failed("只能上传JPEG或PNG图片");
    const fs::path folder = fs::path(stateFolder_) / kAttachmentsFolder;
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string file = std::to_string(++attachments_) + extension;
    // Whole or not at all: a picture half written would be served as it is.
    ns::ErrorPtr error;
    if (!ns::writeFileAtomically((folder / file).string(), bytes, &error)) {
        ns::NSLog("kl-demo-service: cannot keep a picture: %@", error->localizedDescription());
        --attachments_;
        return failed("图片保存失败");
    }
    serveAttachment(file, std::move(bytes));
    ns::Value r = succeeded("上传成功");
    r.set("file_path", baseURL() + kAttachmentsPath + file);
    return r;
}

ns::Value DemoService::submitOrgActivity(const ns::Value& argument, const std::string& time) {
    const ns::Value* member = memberById(parameter(argument, "user_id"));
    const std::string org = parameter(argument, "org_id");
    if (!member || !isWithin(org, (*member)["org_id"].text())) return failed("您没有发布这个组织活动的权限");
    const std::string title = parameter(argument, "title"), content = parameter(argument, "content");
    if (title.empty()) return failed("请填写活动标题");
    if (tooLong(title, kMaxTitleCharacters) || tooLong(content, kMaxTextCharacters)) return failed("标题或内容过长");
    // Addresses joined by ","; pictures uploaded here are kept by their path
    // (the service's port changes from run to run), others are not shown.
    ns::Value attach = ns::Value::array();
    const std::string list = parameter(argument, "attach_list");
    for (std::size_t at = 0; at < list.size();) {
        std::size_t comma = std::min(list.find(',', at), list.size());
        std::string url = list.substr(at, comma - at);
        std::size_t path = url.find(kAttachmentsPath);
        if (path != std::string::npos && url.rfind("http://127.0.0.1:", 0) == 0) attach.push(url.substr(path));
        at = comma + 1;
    }
    activities_.push(ns::Value::dictionary({{"id", freshId(activities_, "a")},
                                            {"org_id", org},
                                            {"title", title},
                                            {"add_time", time},
                                            {"content", content},
                                            {"attach", attach}}));
    return succeeded("发布成功");
}

}  // namespace demo
