// The demo service: a stand-in for the organisation's server with sample
// data in Chinese, for demonstrations and tests. It answers, over the SOAP
// server on 127.0.0.1, every operation the built screens use: the version
// check, device registration, login and permissions, article lists per
// category, articles with HTML bodies and pictures, comments with posting,
// category and organisation lists, the people of organisations, the daily
// sign-in with its rules, the online bookshelf, the link directory and the
// party representatives (counties, representatives with their photos and
// proposals, messages with replies). It also serves the pictures and pages
// those records point at.
//
//   demo::DemoService svc({.dataFolder = "tools/demo-data", .stateFolder = "/tmp/state"});
//   ServiceConfig::setEndpoint(svc.url());
//
// Data: service.json (version record, members, organisations with their
// people and the person in charge, category and enumeration lists, petitions,
// grid events, organisation activities, sign-ins, settings, books, links,
// pages), articles.json, comments.json, pictures.json and representatives.json
// (counties, representatives with their proposals and sample messages, and
// the pictures of both) in the data folder, read once at start. "$BASE" in
// any text there stands for the service's own address
// (http://127.0.0.1:<port>). A picture is drawn from its description or,
// with "file", served as that file of the data folder is; a link names its
// page, or its own address ("url"). A page is served at
// /demo/pages/<name>.html, or at its own "path": the outside pages the
// screens open (the regional party-building page, the online-reading page,
// the opinion survey) live on the service's host.
//
// Sample sign-ins of the demo member fall on fixed days of the month the
// service starts in and of the month before ("sign_ins" in service.json:
// days of the month, 08:30), so this month's calendar has the same ones on
// every day of the month, some of them ahead of today; on one of their days
// the member has signed in already.
//
// Submissions are kept in the state folder and read back at the next start:
// comments (comments.json, shown in later comment lists), sign-ins
// (signs.json, in later months' calendars), messages to representatives
// (rep_comments.json; the member who logged in last is their author, and
// may delete them again), registered devices (devices.json), uploaded
// pictures (attachments/, served at /demo/attachments/) and every other
// operation of the client (VoVaClient::operations()) whose name starts with
// "Submit" (submissions.json, answered as accepted). Petitions, grid events
// and activities submitted, and the handling of petitions and events, are
// replayed from submissions.json at start, so they show in the lists and
// records as they did. Any other operation of the client without data
// answers with an empty list. An operation the client does not have, or one
// in another namespace than the service's (http://tempuri.org/), is one this
// service does not have: it is answered with a SOAP 1.2 Sender fault and
// HTTP status 400, and nothing is kept.
//
// It is also the program's statistics server: "/stat/report" takes the
// reporter's uploads, keeps their events (statistics()) and logs how many
// came.
#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "soapserver/SoapServer.h"
#include "soapserver/StatReport.h"

namespace demo {

class DemoService {
public:
    struct Options {
        std::string dataFolder;   // the sample data (see above)
        std::string stateFolder;  // submissions; made when missing
        int port = 0;             // 0: a free port
        std::time_t clock = 0;    // tests: the service's date and time, held there (0: the real clock)
    };
    struct Member {
        std::string userName;
        std::string password;
        std::string realName;
    };

    // Reads the data and the earlier submissions, then answers (until then
    // its port refuses connections). Throws
    // std::runtime_error naming the file when the data cannot be read or the
    // state folder cannot be made.
    explicit DemoService(const Options& options);
    ~DemoService();
    DemoService(const DemoService&) = delete;
    DemoService& operator=(const DemoService&) = delete;

    std::string url() const { return server_->url(); }          // the service endpoint
    std::string baseURL() const { return server_->baseURL(); }  // http://127.0.0.1:<port>
    int port() const { return server_->port(); }
    std::string statReportURL() const { return statistics_->url(); }
    const StatReportReceiver& statistics() const { return *statistics_; }
    const std::string& stateFolder() const { return stateFolder_; }

    // The member to log in with: the first of the data.
    Member demoMember() const;
    // The operations answered from the data.
    static const std::vector<std::string>& operations();
    // The pictures' and pages' paths on the service ("/demo/pictures/bridge.png", ...).
    const std::vector<std::string>& servedPaths() const { return servedPaths_; }

    // The data folder to use when none is given: "demo-data" beside the
    // program when there is one, else the source tree's.
    static std::string defaultDataFolder(const std::string& programPath);

private:
    using Handler = ns::Value (DemoService::*)(const ns::Value& argument);
    // A submission that changes what later lists show, applied at its time.
    using Change = ns::Value (DemoService::*)(const ns::Value& argument, const std::string& time);
    static const std::vector<std::pair<const char*, Change>>& changes();

    // The service's moment (Options::clock, else the real clock), and it as
    // "yyyy-MM-dd HH:mm:ss".
    std::time_t clock() const;
    std::string now() const;
    ns::Value readData(const std::string& file) const;
    void loadArticles(const ns::Value& data);
    void loadComments(const ns::Value& data, bool submitted);
    void loadPictures(const ns::Value& data);
    void loadPages(const ns::Value& data);
    void loadRepresentatives(const ns::Value& data);
    void loadState();
    void loadCases();
    void replayChanges();
    // Applies the change and keeps it in submissions.json; undone when it cannot be kept.
    ns::Value keep(const std::string& operation, Change change, const ns::Value& argument);
    bool saveState(const std::string& file, const ns::Value& value) const;
    std::string expand(const std::string& text) const;  // "$BASE"
    ns::Value expandAll(const ns::Value& value) const;
    std::string pictureURL(const std::string& name) const;
    std::string pageURL(const std::string& name) const;
    const ns::Value* memberById(const std::string& id) const;
    const ns::Value* orgById(const std::string& id) const;
    std::string orgName(const std::string& id) const;
    // Whether the organisation is the other one or lies under it.
    bool isWithin(const std::string& org, const std::string& ancestor) const;
    std::string parentOf(const std::string& org) const;
    ns::Value orgTree(const std::string& parent, int level) const;

    // One per operation; called under the lock.
    ns::Value autoUpdate(const ns::Value&);
    ns::Value submitDevice(const ns::Value&);
    ns::Value memberLogin(const ns::Value&);
    ns::Value getPower(const ns::Value&);
    ns::Value getEventPower(const ns::Value&);
    ns::Value getArticleList(const ns::Value&);
    ns::Value getArticleRecord(const ns::Value&);
    ns::Value getCommentList(const ns::Value&);
    ns::Value submitComment(const ns::Value&);
    ns::Value getCategoryList(const ns::Value&);
    ns::Value getOrgList(const ns::Value&);
    ns::Value getOrgRecord(const ns::Value&);
    ns::Value getOnlineRead(const ns::Value&);
    ns::Value getLinkList(const ns::Value&);
    ns::Value getSign(const ns::Value&);
    ns::Value submitSign(const ns::Value&);
    ns::Value getUserConfig(const ns::Value&);
    ns::Value getOrgUser(const ns::Value&);
    ns::Value getMailList(const ns::Value&);
    ns::Value getRepresentativeList(const ns::Value&);
    ns::Value getRepresentativeRecord(const ns::Value&);
    ns::Value getRepresentativeComment(const ns::Value&);
    ns::Value submitRepresentativeComment(const ns::Value&);
    ns::Value submitRepCommentDel(const ns::Value&);
    // The direct line and the grid (DemoCases.cpp).
    ns::Value getEnumList(const ns::Value&);
    ns::Value getGroupVoice(const ns::Value&);
    ns::Value getGroupVoiceRecord(const ns::Value&);
    ns::Value submitGroupVoice(const ns::Value&, const std::string& time);
    ns::Value submitGroupVoiceHandle(const ns::Value&, const std::string& time);
    ns::Value getEventList(const ns::Value&);
    ns::Value getEventRecord(const ns::Value&);
    ns::Value submitEvent(const ns::Value&, const std::string& time);
    ns::Value submitEventHandle(const ns::Value&, const std::string& time);
    ns::Value getOrgActivity(const ns::Value&);
    ns::Value submitAttach(const ns::Value&);
    ns::Value submitOrgActivity(const ns::Value&, const std::string& time);
    // The petition or event awaiting the member's handling, or nullptr.
    const ns::Value* petitionAwaiting(const std::string& id, const ns::Value* member) const;
    const ns::Value* eventAwaiting(const std::string& id, const ns::Value* member) const;
    void serveAttachment(const std::string& file, std::string bytes);
    ns::Value otherOperation(const std::string& operation, const ns::Value&);

    SoapServer::Reply answer(const std::string& operation, const ns::Value& reply) const;
    // What a SOAP 1.2 service answers a request for an operation it does not have.
    SoapServer::Reply noSuchOperation(const SoapServer::Received& request) const;

    std::string dataFolder_;
    std::string stateFolder_;
    std::vector<std::string> servedPaths_;

    mutable std::mutex mutex_;
    std::time_t clock_ = 0;   // Options::clock
    ns::Value service_;       // service.json
    ns::Value categories_;    // code -> {"title", "channel_id", "articles": [full records, newest first]}
    ns::Value articles_;      // id -> full record
    struct Comment {
        ns::Value record;
        long sequence = 0;  // order of arrival, newest last
    };
    std::vector<Comment> comments_;
    ns::Value submittedComments_ = ns::Value::array();
    ns::Value signs_ = ns::Value::array();           // {"user_id", "add_time"}: samples, then submitted
    ns::Value submittedSigns_ = ns::Value::array();
    ns::Value devices_ = ns::Value::array();
    ns::Value submissions_ = ns::Value::array();
    ns::Value counties_ = ns::Value::array();         // {"id", "name", "img_url"}
    ns::Value representatives_ = ns::Value::array();  // representatives.json's, in order
    ns::Value repComments_ = ns::Value::array();      // submitted: {"id", "user_id", "parent_id", "author", "author_id", ...}
    std::string lastMember_;                          // the member id of the last login
    long nextSequence_ = 1;
    // Samples, then what was submitted, in order.
    ns::Value petitions_ = ns::Value::array();
    ns::Value events_ = ns::Value::array();
    ns::Value activities_ = ns::Value::array();  // pictures as addresses under "attach"
    int attachments_ = 0;

    // Last: stops answering (and joins its threads) before the data goes.
    std::unique_ptr<SoapServer> server_;
    std::unique_ptr<StatReportReceiver> statistics_;
};

}  // namespace demo
