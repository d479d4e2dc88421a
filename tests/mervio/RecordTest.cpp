// App-to-app records: every class with a command code through the record,
// the binary property list, the pasteboard and the reader of its code, on
// both roads; the values' written forms; every limit at N and N + 1.
#include <gtest/gtest.h>

#include <functional>

#include "foundation/Strings.h"
#include "mervio/apps/AppCommunicate.h"
#include "support/MervioTest.h"

namespace {

using testsupport::MervioTest;

std::string repeat(std::string_view unit, std::size_t n) {
    std::string out;
    out.reserve(unit.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += unit;
    return out;
}

std::shared_ptr<MVAppExtendObject> appExtend(const std::string& extInfo, ns::Bytes data) {
    auto o = MVAppExtendObject::object();
    o->url = "mv5c3e://show?id=1";
    o->extInfo = extInfo;
    o->fileData = std::move(data);
    return o;
}

MVMediaMessagePtr mediaMessage(MVMediaObjectPtr object) {
    auto m = MVMediaMessage::message();
    m->title = "党建快讯";
    m->description = "摘要";
    m->thumbData = MervioTest::jpegPicture();
    m->mediaTagName = "tag";
    m->messageExt = "ext";
    m->messageAction = "action";
    m->mediaObject = std::move(object);
    return m;
}

// One class with a command code: how it is written and what its reader makes
// of the record that came back through the pasteboard.
struct Case {
    const char* name;
    std::uint64_t command;
    std::function<bool(AppCommunicateData&)> write;
    std::function<void(const AppCommunicateData&)> check;
};

std::vector<Case> cases() {
    return {
        {"SendAuthReq", 1030,
         [](AppCommunicateData& r) {
             auto req = std::make_shared<SendAuthReq>();
             req->scope = "snsapi_userinfo";
             req->state = "xyz";
             return r.ReqToData(req);
         },
         [](const AppCommunicateData& r) {
             auto auth = r.authRequest();
             ASSERT_TRUE(auth);
             EXPECT_EQ(auth->scope, "snsapi_userinfo");
             EXPECT_EQ(auth->state, "xyz");
             ASSERT_TRUE(r.authResp());
             EXPECT_EQ(r.authResp()->state, "xyz");
             EXPECT_FALSE(r.DataToReq());
             EXPECT_FALSE(r.DataToResp());
         }},
        {"SendMessageToMVReq text", 1020,
         [](AppCommunicateData& r) {
             auto req = std::make_shared<SendMessageToMVReq>();
             req->bText = true;
             req->text = "你好，迈维";
             req->scene = 1;
             req->openID = "o-1";
             return r.ReqToData(req);
         },
         [](const AppCommunicateData& r) {
             EXPECT_EQ(r.textMessage(), "你好，迈维");
             EXPECT_EQ(r.scene, 1);
             EXPECT_EQ(r.openID, "o-1");
             EXPECT_FALSE(r.DataToReq()) << "1020 is read only as text";
             EXPECT_FALSE(r.mediaMessage());
         }},
        {"SendMessageToMVReq media, app data", 1010,
         [](AppCommunicateData& r) {
             auto req = std::make_shared<SendMessageToMVReq>();
             req->message = mediaMessage(appExtend("info", MervioTest::bytes("\x01\x02\x03")));
             req->openID = "o-2";
             return r.ReqToData(req);
         },
         [](const AppCommunicateData& r) {
             auto show = mvReqAs<ShowMessageFromMVReq>(r.DataToReq());
             ASSERT_TRUE(show);
             EXPECT_EQ(show->openID, "o-2");
             ASSERT_TRUE(show->message);
             EXPECT_EQ(show->message->title, "党建快讯");
             EXPECT_EQ(show->message->description, "摘要");
             EXPECT_EQ(show->message->thumbData, MervioTest::jpegPicture());
             EXPECT_EQ(show->message->mediaTagName, "tag");
             EXPECT_EQ(show->message->messageExt, "ext");
             EXPECT_EQ(show->message->messageAction, "action");
             auto object = std::dynamic_pointer_cast<MVAppExtendObject>(show->message->mediaObject);
             ASSERT_TRUE(object);
             EXPECT_EQ(object->url, "mv5c3e://show?id=1");
             EXPECT_EQ(object->extInfo, "info");
             EXPECT_EQ(object->fileData, MervioTest::bytes("\x01\x02\x03"));
             auto flat = r.mediaInternalMessage();
             ASSERT_TRUE(flat);
             EXPECT_EQ(flat->objectType, 7u);
             EXPECT_EQ(flat->fileData, MervioTest::bytes("\x01\x02\x03"));
         }},
        {"SendMessageToMVReq media, web page", 1010,
         [](AppCommunicateData& r) {
             auto web = MVWebpageObject::object();
             web->webpageUrl = "http://example.org/a?b=1";
             auto req = std::make_shared<SendMessageToMVReq>();
             req->message = mediaMessage(web);
             return r.ReqToData(req);
         },
         [](const AppCommunicateData& r) {
             EXPECT_FALSE(r.DataToReq()) << "only app data is shown";
             auto message = r.mediaMessage();
             ASSERT_TRUE(message);
             auto web = std::dynamic_pointer_cast<MVWebpageObject>(message->mediaObject);
             ASSERT_TRUE(web);
             EXPECT_EQ(web->webpageUrl, "http://example.org/a?b=1");
         }},
        {"GetMessageFromMVReq", 2000,
         [](AppCommunicateData& r) {
             auto req = std::make_shared<GetMessageFromMVReq>();
             req->openID = "o-3";
             req->lang = "zh_CN";
             req->country = "CN";
             return r.ReqToData(req);
         },
         [](const AppCommunicateData& r) {
             auto get = mvReqAs<GetMessageFromMVReq>(r.DataToReq());
             ASSERT_TRUE(get);
             EXPECT_EQ(get->openID, "o-3");
             EXPECT_EQ(get->lang, "zh_CN");
             EXPECT_EQ(get->country, "CN");
         }},
        {"ShowMessageFromMVReq", 1010,
         [](AppCommunicateData& r) {
             auto req = std::make_shared<ShowMessageFromMVReq>();
             req->lang = "zh_CN";
             req->country = "CN";
             auto flat = MVMediaInternalMessage::message();
             flat->objectType = 7;
             flat->extInfo = "flat-info";
             flat->fileData = MervioTest::bytes("data");
             return r.ReqToData_withMediaInternalMessage(req, flat);
         },
         [](const AppCommunicateData& r) {
             auto show = mvReqAs<ShowMessageFromMVReq>(r.DataToReq());
             ASSERT_TRUE(show);
             EXPECT_EQ(show->lang, "zh_CN");
             auto object = std::dynamic_pointer_cast<MVAppExtendObject>(show->message->mediaObject);
             ASSERT_TRUE(object);
             EXPECT_EQ(object->extInfo, "flat-info");
             EXPECT_EQ(object->fileData, MervioTest::bytes("data"));
         }},
        {"LaunchFromMVReq", 2040,
         [](AppCommunicateData& r) {
             auto req = std::make_shared<LaunchFromMVReq>();
             req->openID = "o-4";
             req->country = "CN";
             auto flat = MVMediaInternalMessage::message();
             flat->title = "not read back";
             flat->messageExt = "launch-ext";
             flat->messageAction = "launch-action";
             return r.ReqToData_withMediaInternalMessage(req, flat);
         },
         [](const AppCommunicateData& r) {
             auto launch = mvReqAs<LaunchFromMVReq>(r.DataToReq());
             ASSERT_TRUE(launch);
             EXPECT_EQ(launch->openID, "o-4");
             EXPECT_EQ(launch->country, "CN");
             ASSERT_TRUE(launch->message);
             EXPECT_EQ(launch->message->messageExt, "launch-ext");
             EXPECT_EQ(launch->message->messageAction, "launch-action");
             EXPECT_EQ(launch->message->title, "");
             EXPECT_FALSE(launch->message->mediaObject);
         }},
        {"GetMessageFromMVResp text", 1020,
         [](AppCommunicateData& r) {
             auto resp = std::make_shared<GetMessageFromMVResp>();
             resp->bText = true;
             resp->text = "回复";
             return r.RespToData(resp);
         },
         [](const AppCommunicateData& r) {
             EXPECT_EQ(r.textMessage(), "回复");
             EXPECT_FALSE(r.DataToResp());
         }},
        {"GetMessageFromMVResp media", 1010,
         [](AppCommunicateData& r) {
             auto resp = std::make_shared<GetMessageFromMVResp>();
             resp->message = mediaMessage(appExtend("resp-info", {}));
             return r.RespToData(resp);
         },
         [](const AppCommunicateData& r) {
             auto message = r.mediaMessage();
             ASSERT_TRUE(message);
             EXPECT_EQ(std::dynamic_pointer_cast<MVAppExtendObject>(message->mediaObject)->extInfo, "resp-info");
             EXPECT_FALSE(r.DataToResp());
         }},
        {"ShowMessageFromMVResp", 1070,
         [](AppCommunicateData& r) { return r.RespToData(std::make_shared<ShowMessageFromMVResp>()); },
         [](const AppCommunicateData& r) {
             EXPECT_FALSE(r.DataToReq()) << "1070 has no reader";
             EXPECT_FALSE(r.DataToResp());
             EXPECT_FALSE(r.mediaMessage());
         }},
        {"SendMessageToMVResp", 2020,
         [](AppCommunicateData& r) {
             auto resp = std::make_shared<SendMessageToMVResp>();
             resp->errCode = -2;
             resp->lang = "zh_CN";
             resp->country = "CN";
             r.result = resp->errCode;
             return r.RespToData(resp);
         },
         [](const AppCommunicateData& r) {
             auto send = mvRespAs<SendMessageToMVResp>(r.DataToResp());
             ASSERT_TRUE(send);
             EXPECT_EQ(send->errCode, -2);
             EXPECT_EQ(send->lang, "") << "2020 comes back with errCode only";
             EXPECT_EQ(send->country, "");
         }},
        {"SendAuthResp", 2030,
         [](AppCommunicateData& r) {
             auto resp = std::make_shared<SendAuthResp>();
             resp->state = "s-1";
             r.result = 0;
             return r.RespToData(resp);
         },
         [](const AppCommunicateData& r) {
             auto auth = mvRespAs<SendAuthResp>(r.DataToResp());
             ASSERT_TRUE(auth);
             EXPECT_EQ(auth->errCode, 0);
             EXPECT_EQ(auth->state, "") << "2030 comes back with errCode only";
             EXPECT_FALSE(r.authResp()) << "1030 only";
         }},
    };
}

class RecordRoads : public MervioTest, public testing::WithParamInterface<bool> {};

}  // namespace

TEST_P(RecordRoads, EveryClassWithACommandGoesThroughThePasteboardAndBack) {
    useRoad(GetParam());
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        auto record = std::make_shared<AppCommunicateData>();
        record->returnFromApp = true;
        record->conversationAccount = "gh_account";
        ASSERT_TRUE(c.write(*record));
        EXPECT_EQ(record->command(), c.command);
        auto back = throughPasteboard(record);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->command(), c.command);
        EXPECT_TRUE(back->returnFromApp);
        EXPECT_EQ(back->conversationAccount, "gh_account");
        EXPECT_EQ(back->sdkVer, "1.6.1");
        c.check(*back);
        EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId)) << "the first read took it";
    }
}

TEST_P(RecordRoads, Command2010IsReadWithLanguageAndCountryThoughNeverWritten) {
    useRoad(GetParam());
    auto record = std::make_shared<AppCommunicateData>(ns::Value::dictionary({
        {"command", ns::Value("2010")}, {"result", ns::Value("-1")}, {"language", ns::Value("en")},
        {"country", ns::Value("US")}}));
    auto send = mvRespAs<SendMessageToMVResp>(throughPasteboard(record)->DataToResp());
    ASSERT_TRUE(send);
    EXPECT_EQ(send->errCode, -1);
    EXPECT_EQ(send->lang, "en");
    EXPECT_EQ(send->country, "US");
}

TEST_P(RecordRoads, TenMebibytesOfFileDataTravel) {
    useRoad(GetParam());
    auto file = MVFileObject::object();
    file->fileExtension = "bin";
    file->fileData = ns::Bytes(mvlimit::kData, 0x5A);
    file->fileData.back() = 0xA5;
    auto req = std::make_shared<SendMessageToMVReq>();
    req->message = mediaMessage(file);
    auto record = std::make_shared<AppCommunicateData>();
    ASSERT_TRUE(record->ReqToData(req));
    auto back = throughPasteboard(record);
    ASSERT_TRUE(back);
    auto message = back->mediaMessage();
    ASSERT_TRUE(message);
    auto object = std::dynamic_pointer_cast<MVFileObject>(message->mediaObject);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->fileExtension, "bin");
    EXPECT_TRUE(object->fileData == file->fileData);
}

INSTANTIATE_TEST_SUITE_P(Mervio, RecordRoads, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "iOS7" : "BeforeiOS7"; });

namespace {

class RecordTest : public MervioTest {};

}  // namespace

TEST_F(RecordTest, NumbersAndFlagsAreWrittenAsDecimalText) {
    AppCommunicateData record;
    record.result = -4;
    auto req = std::make_shared<SendMessageToMVReq>();
    req->message = mediaMessage(appExtend("i", {}));
    req->scene = 2;
    ASSERT_TRUE(record.ReqToData(req));
    const ns::Value& d = record.propertList();
    EXPECT_EQ(d["command"], ns::Value("1010"));
    EXPECT_EQ(d["returnFromApp"], ns::Value("0"));
    EXPECT_EQ(d["result"], ns::Value("-4"));
    EXPECT_EQ(d["scene"], ns::Value("2"));
    EXPECT_EQ(d["objectType"], ns::Value("7"));
    EXPECT_EQ(d["sdkver"], ns::Value("1.6.1"));
    EXPECT_FALSE(d.has("account")) << "only when a conversation account is set";
    EXPECT_FALSE(d.has("openID"));

    AppCommunicateData flat;
    auto internal = MVMediaInternalMessage::message();
    internal->objectType = 5;
    ASSERT_TRUE(flat.MakeMediaInternalMessage(internal));
    EXPECT_EQ(flat.command(), 1010u) << "a flat message starts its own record";
    EXPECT_EQ(flat.propertList()["objectType"], ns::Value("5"));
}

TEST_F(RecordTest, ReceivedValuesAreReadByTheirKind) {
    auto read = [](std::initializer_list<std::pair<std::string, ns::Value>> entries) {
        return AppCommunicateData(ns::Value::dictionary(entries));
    };
    // Commands from numbers or numeric text; anything else is no command.
    EXPECT_EQ(read({{"command", ns::Value(1020)}}).command(), 1020u);
    EXPECT_EQ(read({{"command", ns::Value(" 1020abc")}}).command(), 1020u);
    for (const ns::Value& bad : {ns::Value("abc"), ns::Value(MervioTest::bytes("1020")), ns::Value(true), ns::Value::array()}) {
        AppCommunicateData r = read({{"command", bad}, {"title", ns::Value("x")}});
        EXPECT_EQ(r.command(), 0u) << bad.description();
        EXPECT_TRUE(r.propertList().isNil());
        EXPECT_FALSE(r.DataToReq());
        EXPECT_FALSE(r.DataToResp());
    }
    EXPECT_TRUE(read({{"title", ns::Value("no command")}}).propertList().isNil());

    // returnFromApp: missing or "1" is YES, every other value NO.
    EXPECT_TRUE(read({{"command", ns::Value("1")}}).returnFromApp);
    EXPECT_TRUE(read({{"command", ns::Value("1")}, {"returnFromApp", ns::Value("1")}}).returnFromApp);
    for (const ns::Value& no : {ns::Value("0"), ns::Value(false), ns::Value(MervioTest::bytes("1"))})
        EXPECT_FALSE(read({{"command", ns::Value("1")}, {"returnFromApp", no}}).returnFromApp) << no.description();

    // result and scene only when present and numeric.
    EXPECT_EQ(read({{"command", ns::Value("1")}, {"result", ns::Value("abc")}}).result, 1);
    EXPECT_EQ(read({{"command", ns::Value("1")}, {"result", ns::Value(-3)}, {"scene", ns::Value("2")}}).result, -3);
    EXPECT_EQ(read({{"command", ns::Value("1")}, {"scene", ns::Value("2")}}).scene, 2);

    // Texts only from text, data only from data.
    AppCommunicateData wrong = read({{"command", ns::Value("1010")},
                                     {"objectType", ns::Value("7")},
                                     {"title", ns::Value(5)},
                                     {"extInfo", ns::Value::dictionary()},
                                     {"mediaUrl", ns::Value(MervioTest::bytes("url"))},
                                     {"thumbData", ns::Value("not data")},
                                     {"account", ns::Value(12)},
                                     {"language", ns::Value::array()}});
    EXPECT_EQ(wrong.conversationAccount, "");
    EXPECT_EQ(wrong.lang, "");
    auto message = wrong.mediaMessage();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->title, "");
    EXPECT_TRUE(message->thumbData.empty());
    auto object = std::dynamic_pointer_cast<MVAppExtendObject>(message->mediaObject);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->url, "");
    EXPECT_EQ(object->extInfo, "");
    EXPECT_FALSE(wrong.mediaInternalMessage()) << "no URL, extInfo or data is left";
    EXPECT_FALSE(read({{"command", ns::Value("1010")}, {"objectType", ns::Value(MervioTest::bytes("7"))}}).mediaMessage());
    EXPECT_FALSE(read({{"command", ns::Value("1010")}, {"objectType", ns::Value("9")}}).mediaMessage());
    EXPECT_FALSE(read({{"command", ns::Value("1020")}, {"title", ns::Value(7)}}).textMessage());
    EXPECT_FALSE(read({{"command", ns::Value("1030")}, {"scope", ns::Value(7)}}).authRequest());
}

TEST_F(RecordTest, WritersRefuseEachLimitByOne) {
    auto webMessage = [](std::function<void(MVMediaMessage&)> edit) {
        auto web = MVWebpageObject::object();
        web->webpageUrl = "http://example.org/";
        auto m = mediaMessage(web);
        m->thumbData.clear();
        edit(*m);
        return AppCommunicateData().MakeMediaMessage(m);
    };
    auto linkObject = [](MVMediaObjectPtr object) { return AppCommunicateData().MakeLinkObject(object); };
    auto auth = [](std::string scope, std::string state) {
        auto req = std::make_shared<SendAuthReq>();
        req->scope = std::move(scope);
        req->state = std::move(state);
        return AppCommunicateData().MakeAuthRequest(req);
    };
    struct Limit {
        const char* field;
        std::size_t n;
        std::function<bool(std::size_t)> write;
    };
    std::vector<Limit> limits = {
        {"text (Chinese)", 10240, [](std::size_t n) { return AppCommunicateData().MakeTextMessage(repeat("迈", n)); }},
        {"text (UTF-16 pairs)", 10240,
         [](std::size_t n) {
             return AppCommunicateData().MakeTextMessage(repeat("😀", n / 2) + (n % 2 ? "a" : ""));
         }},
        {"title", 512, [&](std::size_t n) { return webMessage([n](MVMediaMessage& m) { m.title = repeat("题", n); }); }},
        {"description", 1024,
         [&](std::size_t n) { return webMessage([n](MVMediaMessage& m) { m.description = repeat("d", n); }); }},
        {"thumbnail bytes", 32768,
         [&](std::size_t n) { return webMessage([n](MVMediaMessage& m) { m.thumbData = MervioTest::jpegPicture(n); }); }},
        {"mediaTagName", 64,
         [&](std::size_t n) { return webMessage([n](MVMediaMessage& m) { m.mediaTagName = repeat("t", n); }); }},
        {"messageExt", 2048,
         [&](std::size_t n) { return webMessage([n](MVMediaMessage& m) { m.messageExt = repeat("e", n); }); }},
        {"messageAction", 2048,
         [&](std::size_t n) { return webMessage([n](MVMediaMessage& m) { m.messageAction = repeat("a", n); }); }},
        {"web page URL", 10240,
         [&](std::size_t n) {
             auto web = MVWebpageObject::object();
             web->webpageUrl = repeat("u", n);
             return linkObject(web);
         }},
        {"music low-band data URL", 10240,
         [&](std::size_t n) {
             auto music = MVMusicObject::object();
             music->musicUrl = "http://m/";
             music->musicLowBandDataUrl = repeat("u", n);
             return linkObject(music);
         }},
        {"extInfo", 2048, [&](std::size_t n) { return linkObject(appExtend(repeat("i", n), {})); }},
        {"file extension", 64,
         [&](std::size_t n) {
             auto file = MVFileObject::object();
             file->fileExtension = repeat("x", n);
             file->fileData = MervioTest::bytes("d");
             return linkObject(file);
         }},
        {"emoticon bytes", 10485760,
         [&](std::size_t n) {
             auto emoticon = MVEmoticonObject::object();
             emoticon->emoticonData = ns::Bytes(n, 1);
             return linkObject(emoticon);
         }},
        {"scope", 1024, [&](std::size_t n) { return auth(repeat("s", n), ""); }},
        {"state", 1024, [&](std::size_t n) { return auth("scope", repeat("s", n)); }},
    };
    for (const auto& limit : limits) {
        EXPECT_TRUE(limit.write(limit.n)) << limit.field << " at " << limit.n;
        EXPECT_FALSE(limit.write(limit.n + 1)) << limit.field << " at " << limit.n + 1;
    }

    // Required parts.
    EXPECT_FALSE(AppCommunicateData().MakeTextMessage(""));
    EXPECT_FALSE(auth("", "state"));
    EXPECT_FALSE(webMessage([](MVMediaMessage& m) { m.thumbData = ns::Bytes(100, 0x42); })) << "no picture";
    EXPECT_FALSE(webMessage([](MVMediaMessage& m) { m.mediaObject = MVWebpageObject::object(); }))
        << "an object without URL, extInfo or data";
    EXPECT_FALSE(webMessage([](MVMediaMessage& m) { m.mediaObject = nullptr; }));
    EXPECT_FALSE(AppCommunicateData().MakeMediaMessage(nullptr));
    EXPECT_FALSE(AppCommunicateData().MakeAuthResp(nullptr));
    EXPECT_FALSE(AppCommunicateData().ReqToData(std::make_shared<PayReq>())) << "sent as a URL, not a record";
    EXPECT_FALSE(AppCommunicateData().RespToData(std::make_shared<PayResp>()));
}

TEST_F(RecordTest, ReadersRefuseWhatTheLimitsForbid) {
    auto record = [](std::initializer_list<std::pair<std::string, ns::Value>> entries) {
        return AppCommunicateData(ns::Value::dictionary(entries));
    };
    EXPECT_TRUE(record({{"command", ns::Value("1020")}, {"title", ns::Value(repeat("迈", 10240))}}).textMessage());
    EXPECT_FALSE(record({{"command", ns::Value("1020")}, {"title", ns::Value(repeat("迈", 10241))}}).textMessage());
    EXPECT_FALSE(record({{"command", ns::Value("1030")}, {"scope", ns::Value(repeat("s", 1025))}}).authRequest());
    EXPECT_FALSE(record({{"command", ns::Value("1030")}, {"scope", ns::Value("s")}, {"state", ns::Value(repeat("s", 1025))}})
                     .authResp());

    // The flat reader checks every limit; the message reader none.
    auto longTitle = record({{"command", ns::Value("1010")}, {"objectType", ns::Value("5")},
                             {"mediaUrl", ns::Value("http://x/")}, {"title", ns::Value(repeat("t", 513))}});
    EXPECT_FALSE(longTitle.mediaInternalMessage());
    ASSERT_TRUE(longTitle.mediaMessage());
    EXPECT_EQ(ns::utf16Length(longTitle.mediaMessage()->title), 513u);
    auto big = record({{"command", ns::Value("1010")}, {"objectType", ns::Value("8")}});
    big.fileData = ns::Bytes(mvlimit::kData + 1, 0);
    EXPECT_FALSE(big.mediaInternalMessage());
    big.fileData.pop_back();
    EXPECT_TRUE(big.mediaInternalMessage());
}

TEST_F(RecordTest, AThumbnailIsTheImageAsJPEGAtQuality60) {
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 0x80);
    auto image = ui::Image::imageWithPixels(16, 16, rgba);
    auto message = MVMediaMessage::message();
    EXPECT_FALSE(message->mediaObject);
    message->setThumbImage(image);
    ns::Bytes expected;
    ASSERT_TRUE(ui::encodeJPEG(16, 16, rgba, 60, &expected));
    EXPECT_EQ(message->thumbData, expected);
    message->setThumbImage(nullptr);
    EXPECT_EQ(message->thumbData, expected) << "no image leaves the thumbnail";
}

TEST_F(RecordTest, NewRecordsStartEmpty) {
    BaseResp resp;
    EXPECT_EQ(resp.errCode, 0);
    EXPECT_EQ(resp.errStr, "");
    EXPECT_EQ(resp.type, 0);
    SendMessageToMVReq req;
    EXPECT_FALSE(req.bText);
    EXPECT_EQ(req.scene, 0);
    AppCommunicateData record;
    EXPECT_EQ(record.command(), 0u);
    EXPECT_EQ(record.result, 1);
    EXPECT_FALSE(record.returnFromApp);
    EXPECT_TRUE(record.propertList().isNil());
}
