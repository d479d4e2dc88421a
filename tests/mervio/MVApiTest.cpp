// The public API against the fake Mervio app: the URLs it opens, the records
// it leaves and takes, Mervio's returns and what a peer's damaged values do.
#include <gtest/gtest.h>

#include <climits>

#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "service/JSON.h"
#include "support/MVApiTest.h"
#include "support/Plistlib.h"

namespace {

using testsupport::PeerValue;

class ApiTest : public testsupport::MVApiTest {
protected:
    const std::string base = std::string("maiwei://app/") + kAppId + "/";
    static std::string own(const std::string& rest) { return std::string(kAppId) + "://" + rest; }

    // The URL the next send opens, "" when it opens none.
    std::string sent(const std::function<bool()>& send) {
        mervio.clearOpened();
        bool ok = send();
        EXPECT_EQ(ok, !mervio.opened().empty());
        return ok ? mervio.opened().back().url : std::string();
    }
};

template <class T>
std::shared_ptr<T> make(std::function<void(T&)> fill) {
    auto req = std::make_shared<T>();
    fill(*req);
    return req;
}

}  // namespace

TEST_F(ApiTest, SendersOpenTheirURLsWithTheEscapingEachNames) {
    struct Case {
        const char* name;
        BaseReqPtr req;
        std::string url;  // after the base; "" for no URL
    };
    const std::string name1025(1025, 'n');
    std::vector<std::shared_ptr<MVCardItem>> forty;
    for (int i = 0; i < 40; ++i) forty.push_back(make<MVCardItem>([i](auto& c) { c.cardId = "c" + std::to_string(i); }));
    std::vector<Case> cases = {
        {"auth", make<SendAuthReq>([](auto& r) { r.scope = "user info"; r.state = "a&b"; }),
         "auth/?scope=user%20info&state=a%26b"},
        {"auth without scope", make<SendAuthReq>([](auto& r) { r.state = "s"; }), ""},
        {"pay", make<PayReq>([](auto& r) {
             r.nonceStr = "n/1"; r.package = "p=1"; r.partnerId = "pa"; r.prepayId = "pr"; r.sign = "s+"; r.timeStamp = 4000000000u;
         }),
         "pay/?nonceStr=n%2F1&package=p%3D1&partnerId=pa&prepayId=pr&timeStamp=4000000000&sign=s%2B&signType=SHA1"},
        {"pay without sign", make<PayReq>([](auto& r) { r.nonceStr = r.package = r.partnerId = r.prepayId = "x"; }), ""},
        {"temp session", make<OpenTempSessionReq>([](auto& r) { r.username = "gh_a&b"; r.sessionFrom = "x y/?&"; }),
         "opentempsession/?username=gh_a&b&sessionFrom=x%20y/?&"},
        {"webview", make<OpenWebviewReq>([](auto& r) { r.url = "http://a.cn/p?q=1~"; }),
         "openwebview/?url=http%3A%2F%2Fa.cn%2Fp%3Fq%3D1%7E"},
        {"rank list", std::make_shared<OpenRankListReq>(), "openranklist/"},
        {"profile", make<JumpToBizProfileReq>([](auto& r) { r.username = "gh 1"; r.profileType = 1; r.extMsg = "e&f"; }),
         "openprofile/?username=gh 1&profiletype=1&extmsg=e&f"},
        {"profile without ext", make<JumpToBizProfileReq>([](auto& r) { r.username = "gh"; }),
         "openprofile/?username=gh&profiletype=0"},
        {"profile name of 1025", make<JumpToBizProfileReq>([&](auto& r) { r.username = name1025; }), ""},
        {"biz webview", make<JumpToBizWebviewReq>([](auto& r) { r.tousrname = "gh"; r.extMsg = "x y"; }),
         "jumptobizwebview/?webtype=0&tousername=gh&extmsg=x y"},
        {"biz webview type 1", make<JumpToBizWebviewReq>([](auto& r) { r.tousrname = "gh"; r.webType = 1; }), ""},
        {"no card", std::make_shared<AddCardToMVCardPackageReq>(), ""},
        {"41 cards", make<AddCardToMVCardPackageReq>([&](auto& r) {
             r.cardAry = forty;
             r.cardAry.push_back(forty[0]);
         }),
         ""},
        {"empty card id", make<AddCardToMVCardPackageReq>([](auto& r) { r.cardAry = {std::make_shared<MVCardItem>()}; }), ""},
        {"one card", make<AddCardToMVCardPackageReq>([](auto& r) {
             r.cardAry = {make<MVCardItem>([](auto& c) { c.cardId = "p%1"; c.extMsg = "{\"a\":1}"; })};
         }),
         "cardpackage/?%7B%0A%20%20%22id0%22:%20%22p%251%22,%0A%20%20%22ext0%22:%20%22%7B%5C%22a%5C%22:1%7D%22%0A%7D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sent([&] { return MVApi::sendReq(c.req); }), c.url.empty() ? "" : base + c.url);
    }

    // Forty cards go, in order, as "id<n>" and "ext<n>" (an empty ext as "").
    auto cards = make<AddCardToMVCardPackageReq>([&](auto& r) { r.cardAry = forty; });
    std::string url = sent([&] { return MVApi::addCardToMVCardPackageReq(cards); });
    ASSERT_EQ(url.rfind(base + "cardpackage/?", 0), 0u);
    ns::Value json = JSONValue(*ns::percentDecode(url.substr(base.size() + 13)));
    EXPECT_EQ(json.count(), 80u);
    EXPECT_EQ(json["id39"], ns::Value("c39"));
    EXPECT_EQ(json["ext39"], ns::Value(""));

    EXPECT_EQ(MVApi::getMVAppInstallUrl(), "https://itunes.apple.com/cn/app/id910000001?mt=8");
    EXPECT_EQ(MVApi::getApiVersion(), "1.6.1");
}

TEST_F(ApiTest, InstalledAndOpeningNeedARegistrationAndTheApp) {
    EXPECT_TRUE(MVApi::isMVAppInstalled());
    EXPECT_TRUE(MVApi::openMVApp());
    EXPECT_EQ(mervio.opened().back().url, base);
    mervio.uninstall();
    EXPECT_FALSE(MVApi::isMVAppInstalled());
    EXPECT_FALSE(MVApi::openMVApp());
    mervio.install();
    MVApi::resetForTesting();
    EXPECT_FALSE(MVApi::isMVAppInstalled());
    EXPECT_FALSE(MVApi::openMVApp());
    EXPECT_FALSE(MVApi::registerApp("", ""));
}

TEST_F(ApiTest, ReturnsByPrefix) {
    struct Case {
        std::string url;
        bool taken;
        MVRespKind kind = MVRespKind::Base;
        int errCode = 0;
        std::string text;  // code, returnKey or errStr
    };
    const std::vector<Case> cases = {
        {own("oauth"), true, MVRespKind::SendAuth, -1, ""},
        {own("oauth?code=authdeny&state=s"), true, MVRespKind::SendAuth, -4, ""},
        {own("oauth?code=C1&state=s&reason=r&lang=zh_CN&country=CN&flag"), true, MVRespKind::SendAuth, 0, "C1"},
        {own("pay/"), false, MVRespKind::Base, 0, ""},
        {own("pay/?returnKey=k1&ret=-3&notifyStr=n"), true, MVRespKind::Pay, -3, "k1"},
        {own("opentempsession/?ret=5&notifyStr=t"), true, MVRespKind::OpenTempSession, 5, "t"},
        {own("openwebview/?ret=abc&notifyStr=w"), true, MVRespKind::OpenWebview, 0, "w"},
        {own("openranklist/?ret=2"), true, MVRespKind::OpenRankList, 2, ""},
        {"other://oauth?code=1", false, MVRespKind::Base, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        recorder->resps.clear();
        EXPECT_FALSE(MVApi::handleOpenURL(c.url, nullptr));
        EXPECT_EQ(MVApi::handleOpenURL(c.url, recorder), c.taken);
        ASSERT_EQ(recorder->resps.size(), c.taken ? 1u : 0u);
        if (!c.taken) continue;
        const auto& resp = recorder->resps[0];
        EXPECT_EQ(resp->kind(), c.kind);
        EXPECT_EQ(resp->errCode, c.errCode);
        if (auto auth = mvRespAs<SendAuthResp>(resp)) {
            EXPECT_EQ(auth->code, c.text);
            EXPECT_EQ(auth->state, c.errCode == -1 ? "" : "s");
            EXPECT_EQ(auth->errStr + auth->lang + auth->country, c.text.empty() ? "" : "rzh_CNCN");
        } else if (auto pay = mvRespAs<PayResp>(resp)) {
            EXPECT_EQ(pay->returnKey, c.text);
            EXPECT_EQ(pay->errStr, "n");
        } else {
            EXPECT_EQ(resp->errStr, c.text);
        }
    }
}

// A name given again keeps its first place and takes the later value; a URL
// of two hundred thousand parameters is read at once.
TEST_F(ApiTest, URLParametersKeepTheirFirstPlaceAndTheirLastValue) {
    EXPECT_EQ(MVApi::parseURLParams("a=1&b=2&a=3&c&d=x=y&=e"),
              ns::Value::dictionary({{"a", "3"}, {"b", "2"}, {"d", "x"}, {"", "e"}}));
    std::string query;
    for (int i = 0; i < 200000; ++i) query += ns::format("k%d=%d&", i % 100000, i);
    const ns::Value params = MVApi::parseURLParams(query);
    ASSERT_EQ(params.count(), 100000u);
    EXPECT_EQ(params.keys().front(), "k0");
    EXPECT_EQ(params.keys().back(), "k99999");
    EXPECT_EQ(params["k0"], ns::Value("100000"));
    EXPECT_EQ(params["k99999"], ns::Value("199999"));
}

TEST_F(ApiTest, CardsFromAPeerAreReadByKindAndBadOnesDropped) {
    auto cardsOf = [&](const std::string& info) {
        recorder->resps.clear();
        EXPECT_TRUE(MVApi::handleOpenURL(own("cardPackage/?errCode=7&addCardInfo=" + info), recorder));
        auto resp = recorder->lastResp<AddCardToMVCardPackageResp>();
        EXPECT_EQ(resp->errCode, 7);
        std::vector<std::string> out;
        for (const auto& c : resp->cardAry) out.push_back(ns::format("%@|%@|%u", c->cardId, c->extMsg, c->cardState));
        return out;
    };
    const std::string list = R"([{"card_id":"a","card_ext":"x","is_succ":1},{"card_id":"","is_succ":1},)"
                             R"({"card_id":7},"text",[1],{"card_id":"b","card_ext":5,"is_succ":"2"},)"
                             R"({"card_id":"c","is_succ":"no"},{"card_id":"d","is_succ":[1]}])";
    EXPECT_EQ(cardsOf(ns::percentEncode(list)), (std::vector<std::string>{"a|x|1", "b||2", "c||0", "d||0"}));
    for (const char* bad : {"", "%FF%FE", "%zz", "not%20json", "%7B%22card_id%22%3A%22a%22%7D", "12"}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(cardsOf(bad).empty());
    }
    EXPECT_FALSE(MVApi::handleOpenURL(own("cardPackage/"), recorder)) << "nothing after the prefix";
}

TEST_F(ApiTest, RecordsFromMervioGoByCommand) {
    auto extend = PeerValue::dict({{"command", "1010"}, {"objectType", "7"}, {"extInfo", "ext"}, {"title", "标题"}});
    auto webpage = PeerValue::dict({{"command", "1010"}, {"objectType", "5"}, {"mediaUrl", "http://a.cn"}});
    auto received = [&](const PeerValue& record, const MVApiDelegatePtr& delegate) {
        mervio.replyRecord(kAppId, record);
        return MVApi::handleOpenURL(own("platformId=mervio"), delegate);
    };
    EXPECT_FALSE(MVApi::handleOpenURL(own("platformId=mervio"), recorder)) << "no record";
    EXPECT_TRUE(received(PeerValue::dict({{"command", "2020"}, {"result", "3"}}), std::make_shared<MVApiDelegate>()));
    EXPECT_FALSE(received(webpage, recorder));
    EXPECT_TRUE(received(PeerValue::dict({{"command", "9999"}}), recorder));
    EXPECT_TRUE(received(PeerValue::dict({{"command", "2030"}, {"result", "-2"}}), recorder));
    EXPECT_TRUE(received(PeerValue::dict({{"command", "2000"}, {"openID", "o1"}}), recorder));
    EXPECT_TRUE(received(extend, recorder));
    EXPECT_TRUE(received(PeerValue::dict({{"command", "2040"}, {"messageExt", "m"}}), recorder));
    ASSERT_EQ(recorder->resps.size(), 1u);
    EXPECT_EQ(recorder->lastResp<SendAuthResp>()->errCode, -2);
    ASSERT_EQ(recorder->reqs.size(), 3u);
    EXPECT_EQ(mvReqAs<GetMessageFromMVReq>(recorder->reqs[0])->openID, "o1");
    EXPECT_EQ(mvReqAs<ShowMessageFromMVReq>(recorder->reqs[1])->message->title, "标题");
    EXPECT_EQ(mvReqAs<LaunchFromMVReq>(recorder->reqs[2])->message->messageExt, "m");
    // A peer's record of the wrong kinds reads as missing values.
    EXPECT_TRUE(received(PeerValue::dict({{"command", "2010"}, {"result", PeerValue::bytes({1})},
                                          {"language", PeerValue::dict()}}),
                         recorder));
    EXPECT_EQ(recorder->lastResp<SendMessageToMVResp>()->errCode, 1);
    EXPECT_EQ(recorder->lastResp<SendMessageToMVResp>()->lang, "");
}

TEST_F(ApiTest, TheReceivedAccountGoesIntoTheNextRecordOnly) {
    auto receiveAccount = [&] {
        mervio.replyRecord(kAppId, PeerValue::dict({{"command", "9999"}, {"account", "acc"}}));
        ASSERT_TRUE(MVApi::handleOpenURL(own("x"), recorder));
    };
    auto sendText = [&] {
        EXPECT_TRUE(MVApi::sendReq(make<SendMessageToMVReq>([](auto& r) { r.bText = true; r.text = "t"; })));
        return mervio.record(kAppId)["account"].text;
    };
    receiveAccount();
    EXPECT_EQ(sendText(), "acc");
    EXPECT_EQ(sendText(), "");
    receiveAccount();
    ASSERT_TRUE(MVApi::sendResp(std::make_shared<SendMessageToMVResp>()));
    EXPECT_EQ(mervio.opened().back().action, "sendresp/");
    EXPECT_EQ(mervio.record(kAppId)["account"].text, "acc");
    EXPECT_EQ(sendText(), "");
    receiveAccount();
    MVApi::openMVApp();
    EXPECT_EQ(sendText(), "");
    receiveAccount();
    EXPECT_TRUE(MVApi::pay(make<PayReq>([](auto& r) { r.nonceStr = r.package = r.partnerId = r.prepayId = r.sign = "x"; })));
    EXPECT_EQ(sendText(), "");
}

TEST_F(ApiTest, ATextMessageAndItsAnswerTravelOnBothRoads) {
    for (bool iOS7 : {true, false}) {
        SCOPED_TRACE(iOS7 ? "iOS 7" : "before iOS 7");
        useRoad(iOS7);
        ASSERT_TRUE(MVApi::sendReq(make<SendMessageToMVReq>([](auto& r) {
            r.bText = true;
            r.text = "党建快讯：第1期 & more";
            r.scene = 1;
        })));
        EXPECT_EQ(mervio.opened().back().url, base + "sendreq/?");
        EXPECT_TRUE(PeerValue::isBinary(mervio.recordContent()));
        PeerValue record = mervio.record(kAppId);
        EXPECT_EQ(record.keys(), (std::vector<std::string>{"command", "result", "returnFromApp", "scene", "sdkver",
                                                           "title"}));
        EXPECT_EQ(record["command"].text, "1020");
        EXPECT_EQ(record["title"].text, "党建快讯：第1期 & more");
        EXPECT_EQ(record["returnFromApp"].text, "0");
        EXPECT_EQ(record["result"].text, "1");
        EXPECT_EQ(record["scene"].text, "1");
        EXPECT_EQ(record["sdkver"].text, "1.6.1");

        recorder->resps.clear();
        mervio.replyRecord(kAppId, PeerValue::dict({{"command", "2010"}, {"result", "-3"}, {"language", "zh_CN"},
                                                    {"country", "CN"}, {"returnFromApp", "1"}, {"sdkver", "1.6.1"}}));
        EXPECT_TRUE(mervio.returnTo(kAppId, "platformId=mervio"));
        ASSERT_EQ(recorder->resps.size(), 1u);
        auto resp = recorder->lastResp<SendMessageToMVResp>();
        ASSERT_TRUE(resp);
        EXPECT_EQ(resp->errCode, -3);
        EXPECT_EQ(resp->lang, "zh_CN");
        EXPECT_EQ(resp->country, "CN");
        EXPECT_FALSE(mervio.returnTo(kAppId, "platformId=mervio")) << "the record was taken";
    }
}

// Codes other apps hand back beyond the int range hold at its nearer end,
// never wrapped around: 2^32 would be 0, a success. Records come as
// Python's plistlib writes them (numbers of every width, reals, numeric
// text), URL values as text; "1e20" as text reads as its leading 1.
TEST_F(ApiTest, ReturnedCodesBeyondTheIntRangeHoldAtItsEnds) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    struct Code {
        const char* python;  // the record's "result"
        const char* text;    // the URL's value
        int errCode;
    };
    const std::vector<Code> codes = {
        {"'4294967296'", "4294967296", INT_MAX},
        {"'2147483648'", "2147483648", INT_MAX},
        {"'2147483647'", "2147483647", INT_MAX},
        {"'-2147483648'", "-2147483648", INT_MIN},
        {"'-2147483649'", "-2147483649", INT_MIN},
        {"'-4294967296'", "-4294967296", INT_MIN},
        {"'99999999999999999999'", "99999999999999999999", INT_MAX},
        {"'-99999999999999999999'", "-99999999999999999999", INT_MIN},
        {"'1e20'", "1e20", 1},
        {"4294967296", "4294967297", INT_MAX},
        {"2**63", "9223372036854775808", INT_MAX},
        {"2**64 - 1", "18446744073709551615", INT_MAX},
        {"-2**63", "-9223372036854775808", INT_MIN},
        {"1e20", "+4294967296", INT_MAX},
        {"-1e20", "-4294967296abc", INT_MIN},
    };
    testsupport::Plistlib peer("returned-codes");
    std::string list;
    for (const auto& c : codes) list += std::string(c.python) + ",\n";
    auto made = peer.run(std::string("import plistlib\nAPP = '") + kAppId + "'\nCODES = [" + list + R"(]
for i, code in enumerate(CODES):
    for xml in (False, True):
        board = {APP: {"command": "2010", "result": code}}
        data = plistlib.dumps(board, fmt=plistlib.FMT_XML if xml else plistlib.FMT_BINARY)
        open("r%d%s" % (i, "x" if xml else ""), "wb").write(data)
)");
    ASSERT_EQ(made.status, 0) << made.output;

    for (std::size_t i = 0; i < codes.size(); ++i) {
        const Code& c = codes[i];
        SCOPED_TRACE(std::string(c.python) + " / " + c.text);
        for (bool iOS7 : {true, false}) {
            useRoad(iOS7);
            for (bool xml : {false, true}) {
                recorder->resps.clear();
                auto board = iOS7 ? ui::Pasteboard::generalPasteboard() : ui::Pasteboard::pasteboardWithName("mervio_data", true);
                board->setData(peer.read("r" + std::to_string(i) + (xml ? "x" : "")), "content");
                ASSERT_TRUE(mervio.returnTo(kAppId, "platformId=mervio"));
                auto resp = recorder->lastResp<SendMessageToMVResp>();
                ASSERT_TRUE(resp);
                EXPECT_EQ(resp->errCode, c.errCode) << (iOS7 ? "iOS 7" : "before iOS 7") << (xml ? ", XML" : "");
            }
        }
        for (const char* action : {"pay/?ret=", "opentempsession/?ret=", "openwebview/?ret=", "openranklist/?ret=",
                                   "cardPackage/?errCode="}) {
            recorder->resps.clear();
            ASSERT_TRUE(mervio.returnTo(kAppId, action + std::string(c.text)));
            ASSERT_EQ(recorder->resps.size(), 1u);
            EXPECT_EQ(recorder->resps[0]->errCode, c.errCode) << action;
        }
    }
}

// From iOS 7 on, the user's copied text travels in the record; bytes on the
// board that are no UTF-8 are no text, so the record goes without it.
TEST_F(ApiTest, CopiedBytesThatAreNoTextStayOutOfTheRecordAndTheMessageGoes) {
    useRoad(true);
    auto general = ui::Pasteboard::generalPasteboard();
    general->setData(bytes("a\xFF" "b"), ui::kPasteboardTypeUTF8PlainText);
    EXPECT_FALSE(general->string());
    ASSERT_TRUE(MVApi::sendReq(make<SendMessageToMVReq>([](auto& r) {
        r.bText = true;
        r.text = "党建";
    })));
    EXPECT_EQ(mervio.opened().back().url, base + "sendreq/?");
    PeerValue board = PeerValue::decode(mervio.recordContent());
    EXPECT_EQ(board.keys(), (std::vector<std::string>{kAppId}));
    EXPECT_EQ(board[kAppId]["title"].text, "党建");

    // Well-formed text still travels.
    general->setString("剪贴板");
    ASSERT_TRUE(MVApi::sendReq(make<SendMessageToMVReq>([](auto& r) {
        r.bText = true;
        r.text = "党建";
    })));
    EXPECT_EQ(PeerValue::decode(mervio.recordContent())["old_text"].text, "剪贴板");
}
