// kl-soap: try the service by hand.
//
//   kl-soap [options] OPERATION [JSON]        e.g. kl-soap GetSign '{"parameters":{"user_id":"5"}}'
//   kl-soap [options] --call METHOD [ARG...]  e.g. kl-soap --call news_request 1 10 szyw
//   kl-soap --list                            the client methods --call knows, then the
//                                             operations the client sends
//
// Options: --service URL, --service-namespace NS (or KL_SERVICE_URL and
// KL_SERVICE_NAMESPACE), --timeout SECONDS, --pretty (indent a JSON result),
// --quiet (no log lines). Prints the result text and exits 0; on failure
// prints the error to standard error and exits 1 (2 for a usage error, with
// the usage). --help prints the usage and exits 0.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "net/Alert.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "service/VoVaClient.h"

namespace {

using Args = std::vector<std::string>;

struct Method {
    std::size_t arity;
    std::function<void(VoVaClient&, const Args&)> call;
};

int flag(const std::string& s) { return std::atoi(s.c_str()); }

const std::map<std::string, Method>& methods() {
    using C = VoVaClient&;
    using A = const Args&;
    static const std::map<std::string, Method> table = {
        {"news_request", {3, [](C c, A a) { c.news_request(a[0], a[1], a[2]); }}},
        {"news_detail_request", {1, [](C c, A a) { c.news_detail_request(a[0]); }}},
        {"comment_request", {3, [](C c, A a) { c.comment_request(a[0], a[1], a[2]); }}},
        {"subitComment", {5, [](C c, A a) { c.subitComment(a[0], a[1], a[2], a[3], a[4]); }}},
        {"OnlineRead", {3, [](C c, A a) { c.OnlineRead(a[0], a[1], a[2]); }}},
        {"getMinBinlink", {0, [](C c, A) { c.getMinBinlink(); }}},
        {"GetGroupVoice", {3, [](C c, A a) { c.GetGroupVoice(a[0], a[1], a[2]); }}},
        {"GetGroupVoice_page_size_type_user_tel",
         {4, [](C c, A a) { c.GetGroupVoice_page_size_type_user_tel(a[0], a[1], a[2], a[3]); }}},
        {"GetGroupVoice_page_size_type_user_id",
         {4, [](C c, A a) { c.GetGroupVoice_page_size_type_user_id(a[0], a[1], a[2], a[3]); }}},
        {"GetCategoryList", {1, [](C c, A a) { c.GetCategoryList(a[0]); }}},
        {"SubmitGroupVoice",
         {8, [](C c, A a) { c.SubmitGroupVoice(a[0], a[1], a[2], a[3], a[4], a[5], flag(a[6]), a[7]); }}},
        {"GetGroupVoiceRecord", {1, [](C c, A a) { c.GetGroupVoiceRecord(a[0]); }}},
        {"GetGroupVoiceRecord_user_id", {2, [](C c, A a) { c.GetGroupVoiceRecord_user_id(a[0], a[1]); }}},
        {"SubmitGroupVoiceHandle", {4, [](C c, A a) { c.SubmitGroupVoiceHandle(a[0], a[1], a[2], a[3]); }}},
        {"QueryEventPower", {2, [](C c, A a) { c.QueryEventPower(a[0], a[1]); }}},
        {"GetEnumList", {1, [](C c, A a) { c.GetEnumList(a[0]); }}},
        {"SubmitEvent",
         {8, [](C c, A a) { c.SubmitEvent(a[0], a[1], a[2], a[3], a[4], flag(a[5]), a[6], a[7]); }}},
        {"GetEventList", {4, [](C c, A a) { c.GetEventList(a[0], a[1], a[2], a[3]); }}},
        {"GetEventRecord", {2, [](C c, A a) { c.GetEventRecord(a[0], a[1]); }}},
        {"SubmitEventHandle",
         {7, [](C c, A a) {
              c.SubmitEventHandle(a[0], a[1], flag(a[2]), flag(a[3]), flag(a[4]), flag(a[5]), a[6]);
          }}},
        {"GetOrgList", {1, [](C c, A a) { c.GetOrgList(a[0]); }}},
        {"GetOrgList_user_id", {2, [](C c, A a) { c.GetOrgList_user_id(a[0], a[1]); }}},
        {"GetOrgRecord", {1, [](C c, A a) { c.GetOrgRecord(a[0]); }}},
        {"GetOrgActivity", {4, [](C c, A a) { c.GetOrgActivity(a[0], a[1], a[2], a[3]); }}},
        {"GetBasicActivity", {4, [](C c, A a) { c.GetBasicActivity(a[0], a[1], a[2], a[3]); }}},
        {"GetMailList", {4, [](C c, A a) { c.GetMailList(a[0], a[1], a[2], a[3]); }}},
        {"SubmitAttach", {1, [](C c, A a) { c.SubmitAttach(a[0]); }}},
        {"SubmitOrgActivity", {5, [](C c, A a) { c.SubmitOrgActivity(a[0], a[1], a[2], a[3], a[4]); }}},
        {"GetSign", {2, [](C c, A a) { c.GetSign(a[0], a[1]); }}},
        {"SubmitSign", {1, [](C c, A a) { c.SubmitSign(a[0]); }}},
        {"GetUserConfig", {0, [](C c, A) { c.GetUserConfig(); }}},
        {"SubmitMessage", {4, [](C c, A a) { c.SubmitMessage(a[0], a[1], a[2], a[3]); }}},
        {"GetOrgUser", {1, [](C c, A a) { c.GetOrgUser(a[0]); }}},
        {"PalmHomeLogin", {3, [](C c, A a) { c.PalmHomeLogin(a[0], a[1], a[2]); }}},
        {"GetOrgLifeList", {3, [](C c, A a) { c.GetOrgLifeList(a[0], a[1], a[2]); }}},
        {"SubmitOnlineReg",
         {10, [](C c, A a) { c.SubmitOnlineReg(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]); }}},
        {"GetRepresentativeList", {3, [](C c, A a) { c.GetRepresentativeList(a[0], a[1], a[2]); }}},
        {"GetRepresentativeRecord", {1, [](C c, A a) { c.GetRepresentativeRecord(a[0]); }}},
        {"GetRepresentativeComment", {2, [](C c, A a) { c.GetRepresentativeComment(a[0], a[1]); }}},
        {"SubmitRepresentativeComment", {3, [](C c, A a) { c.SubmitRepresentativeComment(a[0], a[1], a[2]); }}},
        {"SubmitRepCommentDel", {1, [](C c, A a) { c.SubmitRepCommentDel(a[0]); }}},
        {"GetRetailerLogin", {2, [](C c, A a) { c.GetRetailerLogin(a[0], a[1]); }}},
        {"GetRetailerList", {5, [](C c, A a) { c.GetRetailerList(a[0], a[1], a[2], a[3], a[4]); }}},
        {"GetRetailerList_page_size_type_keywords_search_type_user_id_user_type",
         {7, [](C c, A a) {
              c.GetRetailerList_page_size_type_keywords_search_type_user_id_user_type(a[0], a[1], a[2], a[3], a[4],
                                                                                      a[5], a[6]);
          }}},
        {"GetRetailerRecord", {1, [](C c, A a) { c.GetRetailerRecord(a[0]); }}},
        {"GetRetailerComment", {3, [](C c, A a) { c.GetRetailerComment(a[0], a[1], a[2]); }}},
        {"SubmitRetailerContact", {1, [](C c, A a) { c.SubmitRetailerContact(a[0]); }}},
        {"SubmitRetailerComment", {5, [](C c, A a) { c.SubmitRetailerComment(a[0], a[1], a[2], a[3], a[4]); }}},
        {"SubmitRetCommentDel", {1, [](C c, A a) { c.SubmitRetCommentDel(a[0]); }}},
    };
    return table;
}

struct Outcome : PPClientDelegate {
    bool done = false;
    bool ok = false;
    std::string result;
    ns::ErrorPtr error;
    void GetWebServerContent_success(const std::string& r) override {
        done = ok = true;
        result = r;
    }
    void GetWebServerContent_Fail(const ns::ErrorPtr& e) override {
        done = true;
        error = e;
    }
};

const char* kUsage =
    "usage: kl-soap [--service URL] [--service-namespace NS] [--timeout S] [--pretty] [--quiet] OPERATION [JSON]\n"
    "       kl-soap [options] --call METHOD [ARG...]\n"
    "       kl-soap --list\n";

// A usage error: the message and the usage on standard error, status 2.
int usage(const std::string& message) {
    std::fprintf(stderr, "kl-soap: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ns::RunLoop::main();
    std::string error;
    if (!ServiceConfig::applyCommandLine(argc, argv, &error)) return usage(error);

    bool pretty = false, call = false, quiet = false;
    Args rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--pretty") {
            pretty = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a == "--call") {
            call = true;
        } else if (a == "--list") {
            for (const auto& [name, m] : methods()) std::printf("%s (%zu)\n", name.c_str(), m.arity);
            std::printf("\noperations of the service that the client sends (OPERATION [JSON]):\n");
            for (const auto& operation : VoVaClient::operations()) std::printf("%s\n", operation.c_str());
            return 0;
        } else if (a == "--timeout") {
            if (i + 1 >= argc) return usage("--timeout needs a value");
            std::string value = argv[++i];
            // A time-out longer than the clock reaches waits as long as it can.
            std::optional<double> seconds = ns::decimalSeconds(value);
            if (!seconds || *seconds <= 0)
                return usage("--timeout takes a number of seconds above 0, in decimal, not \"" + value + "\"");
            ServiceConfig::setTimeOutSeconds(*seconds);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a.rfind("--", 0) == 0) {
            return usage("unknown option " + a);
        } else {
            rest.push_back(a);
        }
    }
    if (rest.empty()) return usage("no operation given");

    net::setAlertPresenter([](const net::Alert& alert) {
        std::fprintf(stderr, "kl-soap: alert %s: %s\n", alert.title.c_str(), alert.message.c_str());
    });
    std::unique_ptr<ns::LogCapture> silence;
    if (quiet) silence = std::make_unique<ns::LogCapture>();

    auto outcome = std::make_shared<Outcome>();
    auto client = VoVaClient::create(outcome);
    if (call) {
        auto m = methods().find(rest[0]);
        if (m == methods().end()) return usage("unknown method " + rest[0] + " (see --list)");
        Args args(rest.begin() + 1, rest.end());
        if (args.size() != m->second.arity)
            return usage(rest[0] + " takes " + std::to_string(m->second.arity) + " arguments");
        m->second.call(*client, args);
    } else {
        if (rest.size() > 2) return usage("too many arguments");
        std::optional<std::string> argument;
        if (rest.size() == 2) {
            JSONParser parser;
            if (parser.parse(rest[1], false).isNil())
                return usage("the argument is not a JSON object or array: " + parser.error());
            argument = rest[1];
        }
        client->sendOperation(rest[0], argument);
    }

    // The transport bounds every exchange, so an answer always comes.
    while (!outcome->done) ns::RunLoop::main().runUntil([&] { return outcome->done; }, 3600);
    if (!outcome->ok) {
        std::fprintf(stderr, "kl-soap: %s\n", outcome->error->description().c_str());
        return 1;
    }
    std::string text = outcome->result;
    if (pretty) {
        JSONParser parser;
        ns::Value v = parser.parse(text);
        if (!v.isNil()) text = JSONPrettyRepresentation(v);
    }
    std::cout << text << '\n';
    return 0;
}
