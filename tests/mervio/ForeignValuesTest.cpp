// What other apps leave on the shared boards, as Python's plistlib writes
// it: strings and keys with a NUL, dates of any year, in binary and XML. The
// SDK keeps other apps' entries as they were, takes Mervio's records and
// carries the user's copied text, whatever such values they hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/AllocationCount.h"
#include "support/HostilePlists.h"
#include "support/MVApiTest.h"
#include "support/Plistlib.h"

namespace {

using ui::Pasteboard;

constexpr const char* kText = "党建快讯";

// Where the values travel.
enum class Road {
    Register,      // another app's entry on "mervio_register", then registerApp
    Send,          // another app's entry on "mervio_data", then sendReq before iOS 7
    ReturnBefore7, // Mervio's record on "mervio_data", then handleOpenURL before iOS 7
    Return7,       // Mervio's record on the general board, then handleOpenURL from iOS 7 on
    Copied,        // the user's copied text, then sendReq from iOS 7 on
};

class ForeignValuesTest : public testsupport::MVApiTest {
protected:
    testsupport::Plistlib peer{"foreign"};

    static bool sendText() {
        auto req = std::make_shared<SendMessageToMVReq>();
        req->bText = true;
        req->text = kText;
        return MVApi::sendReq(req);
    }
    static ns::Bytes content(const ui::PasteboardPtr& board) {
        return board->dataForPasteboardType("content").value_or(ns::Bytes());
    }
    static ui::PasteboardPtr named(const char* name) { return Pasteboard::pasteboardWithName(name, true); }

    // Puts the peer's boards "<name>0" to "<name>{count-1}" on "mervio_register"
    // for a registration and on "mervio_data" for a text sent before iOS 7,
    // and hands what each left back to the peer as "registered<i>" and
    // "sent<i>".
    void registerAndSendOver(const std::string& name, int count) {
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(name + std::to_string(i));
            const ns::Bytes in = peer.read(name + std::to_string(i));
            Pasteboard::removeAllForTesting();
            named("mervio_register")->setData(in, "content");
            ASSERT_TRUE(MVApi::registerApp(kAppId, ""));
            peer.write("registered" + std::to_string(i), content(named("mervio_register")));

            Pasteboard::removeAllForTesting();
            useRoad(false);
            named("mervio_data")->setData(in, "content");
            ASSERT_TRUE(sendText());
            peer.write("sent" + std::to_string(i), content(named("mervio_data")));
            useRoad(true);
        }
    }

    // The peer's script: `cases` and what plistlib_peer.py offers.
    std::string script(const std::string& cases, const std::string& body) const {
        return std::string("import datetime, plistlib, sys\nsys.path.insert(0, '" KL_TEST_SUPPORT_DIR "')\n"
                           "from plistlib_peer import same\n") +
               "APP = '" + kAppId + "'\nTEXT = '" + kText + "'\nCASES = [" + cases + "]\n" + body;
    }
};

}  // namespace

TEST_F(ForeignValuesTest, OtherAppsEntriesRecordsAndCopiedTextKeepTheirValuesOnEveryRoad) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    struct Foreign {
        const char* python;
        bool xml;  // XML can hold it
    };
    const Foreign values[] = {
        {"'a\\x00b'", false},
        {"{'k\\x00ey': 'v', 'list': ['\\x00']}", false},
        {"datetime.datetime(1900, 1, 1)", true},
        {"datetime.datetime(1932, 12, 13, 20, 45, 51)", true},
        {"datetime.datetime(2069, 12, 31, 23, 59, 59, 999999)", true},
        {"datetime.datetime(2100, 1, 1, 0, 0, 0, 250000)", true},
    };
    struct Case {
        Road road;
        bool xml;
        std::string python;
    };
    std::vector<Case> cases;
    for (Road road : {Road::Register, Road::Send, Road::ReturnBefore7, Road::Return7})
        for (const auto& v : values)
            for (bool xml : {false, true})
                if (!xml || v.xml) cases.push_back({road, xml, v.python});
    cases.push_back({Road::Copied, false, "'copied\\x00text'"});
    std::string list;
    for (const auto& c : cases)
        list += "(" + std::to_string(static_cast<int>(c.road)) + ", " + (c.xml ? "True" : "False") + ", " + c.python + "),\n";

    // The boards as plistlib writes them.
    auto made = peer.run(script(list, R"(
for i, (road, xml, value) in enumerate(CASES):
    if road == 4:
        open("in%d" % i, "wb").write(value.encode())
        continue
    if road == 0:
        board = {"other": {"appID": "other", "value": value}}
    elif road == 1:
        board = {"other": {"command": "1020", "value": value}}
    else:
        board = {APP: {"command": "2010", "result": "-3", "value": value}, "old_text": "剪贴板" if xml else "剪\x00贴板"}
    open("in%d" % i, "wb").write(plistlib.dumps(board, fmt=plistlib.FMT_XML if xml else plistlib.FMT_BINARY))
)"));
    ASSERT_EQ(made.status, 0) << made.output;

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::to_string(i) + ": " + c.python + (c.xml ? " in XML" : " in binary"));
        Pasteboard::removeAllForTesting();
        recorder->resps.clear();
        const ns::Bytes in = peer.read("in" + std::to_string(i));
        ns::Bytes out;
        switch (c.road) {
            case Road::Register:
                named("mervio_register")->setData(in, "content");
                ASSERT_TRUE(MVApi::registerApp(kAppId, ""));
                out = content(named("mervio_register"));
                break;
            case Road::Send:
                useRoad(false);
                named("mervio_data")->setData(in, "content");
                ASSERT_TRUE(sendText());
                out = content(named("mervio_data"));
                break;
            case Road::ReturnBefore7:
            case Road::Return7: {
                bool iOS7 = c.road == Road::Return7;
                useRoad(iOS7);
                auto board = iOS7 ? Pasteboard::generalPasteboard() : named("mervio_data");
                board->setData(in, "content");
                ASSERT_TRUE(mervio.returnTo(kAppId, "platformId=mervio"));
                ASSERT_EQ(recorder->resps.size(), 1u);
                EXPECT_EQ(recorder->lastResp<SendMessageToMVResp>()->errCode, -3);
                EXPECT_EQ(content(board), ns::Bytes()) << "the record is taken";
                if (iOS7) {  // the copied text it carried is back, a NUL and all
                    EXPECT_EQ(Pasteboard::generalPasteboard()->string(), c.xml ? "剪贴板" : std::string("剪\0贴板", 10));
                }
                break;
            }
            case Road::Copied:
                useRoad(true);
                Pasteboard::generalPasteboard()->setString(std::string(in.begin(), in.end()));
                ASSERT_TRUE(sendText());
                out = content(Pasteboard::generalPasteboard());
                break;
        }
        peer.write("out" + std::to_string(i), out);
    }

    // What the SDK left, as plistlib reads it.
    auto checked = peer.run(script(list, R"(
bad = 0
for i, (road, xml, value) in enumerate(CASES):
    wrote = plistlib.loads(open("in%d" % i, "rb").read()) if road != 4 else None
    out = open("out%d" % i, "rb").read()
    if road in (2, 3):
        continue
    left = plistlib.loads(out)
    if road == 4:
        ok = left["old_text"] == value and left[APP]["title"] == TEXT
    else:
        ok = same(left["other"], wrote["other"], False) and (APP in left)
        ok = ok and (left[APP]["appID"] == APP if road == 0 else left[APP]["title"] == TEXT)
    if not ok:
        bad += 1
        print("case %d: %r\n  left %r" % (i, CASES[i], left))
sys.exit(1 if bad else 0)
)"));
    EXPECT_EQ(checked.status, 0) << checked.output;
}

TEST_F(ForeignValuesTest, ARegistrationLeavesEntriesWithANulAndOneOf2100AsPlistlibWroteThem) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    const std::string entries = R"(
BOARD = {"nul": {"appID": "nul", "appName": "名\x00称", "k\x00": b"\x00"},
         "later": {"appID": "later", "firstLaunchTime": datetime.datetime(2100, 1, 1, 8, 0, 0, 123456)}}
)";
    auto made = peer.run(script("", entries + "open('board', 'wb').write(plistlib.dumps(BOARD, fmt=plistlib.FMT_BINARY))\n"));
    ASSERT_EQ(made.status, 0) << made.output;
    named("mervio_register")->setData(peer.read("board"), "content");

    for (int launch = 0; launch < 2; ++launch) ASSERT_TRUE(MVApi::registerApp(kAppId, "党建"));
    peer.write("after", content(named("mervio_register")));
    auto checked = peer.run(script("", entries + R"(
left = plistlib.loads(open("after", "rb").read())
assert sorted(left) == sorted(["nul", "later", APP]), sorted(left)
assert same(left["nul"], BOARD["nul"], False), left["nul"]
assert same(left["later"], BOARD["later"], False), left["later"]
assert left[APP]["appDescriptionSDK"] == "党建"
)"));
    EXPECT_EQ(checked.status, 0) << checked.output;

    // Mervio's record with a NUL in a string is taken, and consumed.
    useRoad(true);
    mervio.replyRecord(kAppId, testsupport::PeerValue::dict({{"command", "2010"}, {"result", "0"},
                                                             {"language", std::string("zh\0CN", 5)}}));
    ASSERT_TRUE(mervio.returnTo(kAppId, "platformId=mervio"));
    ASSERT_EQ(recorder->resps.size(), 1u);
    EXPECT_EQ(recorder->lastResp<SendMessageToMVResp>()->lang, std::string("zh\0CN", 5));
    EXPECT_EQ(content(Pasteboard::generalPasteboard()), ns::Bytes());
    EXPECT_FALSE(mervio.returnTo(kAppId, "platformId=mervio"));
}

TEST_F(ForeignValuesTest, SharedReferencesKeepEveryEntryOnEveryRoad) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    // Boards whose containers are held in many places: plistlib's, and one
    // of our own writer (an array of ten numbers put a hundred times into
    // another). The last of plistlib's doubles at every level: 2^60 values
    // from a few hundred bytes.
    const std::string boards = R"(
L = list(range(1000))
D = {"appID": "x", "n": 1}
T = [1]
for _ in range(60):
    T = [T, T]
BOARDS = [{"k%d" % i: L for i in range(50)}, {"other": [D] * 1000}, {"other": {"appID": "other", "tree": T}},
          {"other": [list(range(10))] * 100}]
RECORD = {APP: {"command": "2010", "result": "-3", "tree": T, "list": [D] * 1000}}
)";
    auto made = peer.run(script("", boards + R"(
for i, board in enumerate(BOARDS[:3]):
    open("board%d" % i, "wb").write(plistlib.dumps(board, fmt=plistlib.FMT_BINARY))
open("record", "wb").write(plistlib.dumps(RECORD, fmt=plistlib.FMT_BINARY))
)"));
    ASSERT_EQ(made.status, 0) << made.output;
    ns::Value ten = ns::Value::array();
    for (int i = 0; i < 10; ++i) ten.push(ns::Value(i));
    ns::Value hundred = ns::Value::array();
    for (int i = 0; i < 100; ++i) hundred.push(ten);
    peer.write("board3", *MervioApiUtil::dataFromPropertyList(ns::Value::dictionary({{"other", hundred}})));

    ASSERT_NO_FATAL_FAILURE(registerAndSendOver("board", 4));
    // Every other entry as plistlib wrote it, still shared.
    auto checked = peer.run(script("", boards + R"(
for i, board in enumerate(BOARDS):
    for road in ("registered", "sent"):
        out = open("%s%d" % (road, i), "rb").read()
        left = plistlib.loads(out)
        assert sorted(left) == sorted(list(board) + [APP]), (road, i, sorted(left))
        assert all(same(left[k], board[k], False) for k in board), (road, i)
        assert left[APP]["appID"] == APP if road == "registered" else left[APP]["title"] == TEXT, (road, i)
        assert len(out) < 20000, (road, i, len(out))
)"));
    EXPECT_EQ(checked.status, 0) << checked.output;

    // Mervio's record with such values is taken on both roads.
    for (bool iOS7 : {false, true}) {
        Pasteboard::removeAllForTesting();
        recorder->resps.clear();
        useRoad(iOS7);
        auto board = iOS7 ? Pasteboard::generalPasteboard() : named("mervio_data");
        board->setData(peer.read("record"), "content");
        ASSERT_TRUE(mervio.returnTo(kAppId, "platformId=mervio"));
        ASSERT_EQ(recorder->resps.size(), 1u);
        EXPECT_EQ(recorder->lastResp<SendMessageToMVResp>()->errCode, -3);
    }
}

TEST_F(ForeignValuesTest, BoardsBeyondWhatTheReaderTakesAreLeftAsTheyAre) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    // Above 32 MiB, nested 600 deep in binary and in XML, XML in an encoding
    // the system's converters do not know: lists that this program cannot
    // read, holding another app's entry.
    auto made = peer.run(script("", R"(
sys.setrecursionlimit(20000)
deep = []
for _ in range(600):
    deep = [deep]
open("big", "wb").write(plistlib.dumps({"other": {"appID": "other", "blob": bytes(32 << 20)}}, fmt=plistlib.FMT_BINARY))
open("deep", "wb").write(plistlib.dumps({"other": {"appID": "other", "deep": deep}}, fmt=plistlib.FMT_BINARY))
open("deepxml", "wb").write(plistlib.dumps({"other": {"appID": "other", "deep": deep}}, fmt=plistlib.FMT_XML))
unknown = plistlib.dumps({"other": {"appID": "other", "appName": "café"}}, fmt=plistlib.FMT_XML).decode()
unknown = unknown.replace('encoding="UTF-8"', 'encoding="x-unknown-encoding"').encode("latin-1")
open("unknownencoding", "wb").write(unknown)
)"));
    ASSERT_EQ(made.status, 0) << made.output;
    for (const char* name : {"big", "deep", "deepxml", "unknownencoding"}) {
        SCOPED_TRACE(name);
        const ns::Bytes in = peer.read(name);
        Pasteboard::removeAllForTesting();
        named("mervio_register")->setData(in, "content");
        EXPECT_FALSE(MVApi::registerApp(kAppId, ""));
        EXPECT_TRUE(content(named("mervio_register")) == in) << "the board is left as it was";

        useRoad(false);
        named("mervio_data")->setData(in, "content");
        EXPECT_FALSE(sendText());
        EXPECT_TRUE(content(named("mervio_data")) == in) << "the board is left as it was";
        useRoad(true);
    }
}

TEST_F(ForeignValuesTest, AWriteThatWouldTakeABoardBeyondWhatTheReaderTakesLeavesItAsItWas) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    // Another app's entry, 64 bytes short of the 32 MiB the reader takes.
    auto made = peer.run(script("", R"(
BOUND = (32 << 20) - 64
def board(n):
    return plistlib.dumps({"other": {"appID": "other", "blob": bytes(n)}}, fmt=plistlib.FMT_BINARY)
n = BOUND
while len(board(n)) > BOUND:
    n -= len(board(n)) - BOUND
open("under", "wb").write(board(n))
)"));
    ASSERT_EQ(made.status, 0) << made.output;
    const ns::Bytes in = peer.read("under");
    ASSERT_TRUE(MervioApiUtil::propertyListFromData(in).isDictionary());
    named("mervio_register")->setData(in, "content");
    EXPECT_FALSE(MVApi::registerApp(kAppId, ""));
    EXPECT_TRUE(content(named("mervio_register")) == in) << "the board is left as it was";

    useRoad(false);
    named("mervio_data")->setData(in, "content");
    auto req = std::make_shared<SendMessageToMVReq>();
    req->bText = true;
    req->text = std::string(8000, 'x');
    EXPECT_FALSE(MVApi::sendReq(req));
    EXPECT_TRUE(content(named("mervio_data")) == in) << "the board is left as it was";
}

TEST_F(ForeignValuesTest, BoardsInTheEncodingTheirDeclarationNamesKeepEveryEntry) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    // plistlib's XML declared and written in Latin-1, windows-1252 and GBK,
    // characters outside them as references; plistlib reads back the first
    // two (it reads no multi-byte encoding). Then a board whose bytes the
    // named encoding does not define: no property list, replaced.
    const std::string boards = R"(
BOARD = {"other": {"appID": "other", "appName": "Café €", "名称": "党建", "k": [1, "ü"]}, "été": {"appID": "été"}}
ENCODINGS = ["ISO-8859-1", "windows-1252", "GBK"]
def declared(board, encoding):
    text = plistlib.dumps(board, fmt=plistlib.FMT_XML).decode().replace('encoding="UTF-8"', 'encoding="%s"' % encoding)
    return text.encode(encoding, "xmlcharrefreplace")
)";
    auto made = peer.run(script("", boards + R"(
for i, encoding in enumerate(ENCODINGS):
    board = declared(BOARD, encoding)
    if encoding != "GBK":
        assert same(plistlib.loads(board), BOARD, True), encoding
    open("board%d" % i, "wb").write(board)
open("notascii", "wb").write(declared({"other": {"appID": "other"}}, "US-ASCII").replace(b"other</string>", b"\xe9</string>"))
)"));
    ASSERT_EQ(made.status, 0) << made.output;

    ASSERT_NO_FATAL_FAILURE(registerAndSendOver("board", 3));
    Pasteboard::removeAllForTesting();
    named("mervio_register")->setData(peer.read("notascii"), "content");
    ASSERT_TRUE(MVApi::registerApp(kAppId, ""));
    EXPECT_EQ(testsupport::FakeMessenger::registrations().keys(), std::vector<std::string>{kAppId});

    auto checked = peer.run(script("", boards + R"(
for i in range(len(ENCODINGS)):
    for road in ("registered", "sent"):
        left = plistlib.loads(open("%s%d" % (road, i), "rb").read())
        assert sorted(left) == sorted(list(BOARD) + [APP]), (road, i, sorted(left))
        assert all(same(left[k], BOARD[k], False) for k in BOARD), (road, i, left)
)"));
    EXPECT_EQ(checked.status, 0) << checked.output;
}

// Boards whose objects lie over one another: a registration and a text
// sent before iOS 7 each read the board within memory that follows its size
// (what a read may cost, and four times the board for the copies of it that
// the road makes), and a board beyond what the reader takes is left as it
// was.
TEST_F(ForeignValuesTest, BoardsWhoseObjectsOverlapAreReadWithinWhatTheirSizeAllows) {
    for (const auto& [name, in] : hostile::overlappingFamilies()) {
        SCOPED_TRACE(name);
        bool beyond = false;
        (void)MervioApiUtil::propertyListFromData(in, &beyond);
        const std::size_t cap = hostile::readCap(in.size()) + 4 * in.size();
        for (const char* board : {"mervio_register", "mervio_data"}) {
            SCOPED_TRACE(board);
            Pasteboard::removeAllForTesting();
            useRoad(false);
            named(board)->setData(in, "content");
            bool taken = false;
            const auto used = testsupport::allocationPeak(
                [&] { taken = std::string(board) == "mervio_register" ? MVApi::registerApp(kAppId, "") : sendText(); },
                cap);
            EXPECT_FALSE(used.capped) << used.peak << " bytes at once";
            if (beyond) {
                EXPECT_FALSE(taken);
                EXPECT_TRUE(content(named(board)) == in) << "the board is left as it was";
            }
            useRoad(true);
        }
    }
}
