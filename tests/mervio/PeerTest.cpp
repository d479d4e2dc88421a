// Records and archives against a peer, Python's plistlib, both ways; and a
// fuzz pass of random, truncated and damaged bytes over property-list,
// record and archive decoding (run under ASan in CI).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "foundation/Data.h"
#include "foundation/PropertyList.h"
#include "mervio/apps/AppCommunicate.h"
#include "mervio/apps/AppRecords.h"
#include "support/MervioTest.h"
#include "support/Plistlib.h"

namespace {

class PeerTest : public testsupport::MervioTest {
protected:
    testsupport::Plistlib peer{"mervio-peer"};

    static bool havePython() { return testsupport::Plistlib::available(); }
    testsupport::CommandResult python(const std::string& script) { return peer.run(script); }
    void write(const std::string& name, const ns::Bytes& bytes) { peer.write(name, bytes); }
    ns::Bytes read(const std::string& name) { return peer.read(name); }
};

// A record as the iOS 7 road leaves it: a media message with app data.
ns::Bytes recordContent() {
    auto object = MVAppExtendObject::object();
    object->extInfo = "扩展信息";
    object->fileData = ns::Bytes{0, 1, 2, 0xFF};
    auto message = MVMediaMessage::message();
    message->title = "党建快讯";
    message->thumbData = testsupport::MervioTest::jpegPicture();
    message->mediaObject = object;
    auto req = std::make_shared<SendMessageToMVReq>();
    req->message = message;
    req->scene = 1;
    auto record = std::make_shared<AppCommunicateData>();
    EXPECT_TRUE(record->ReqToData(req));
    ns::Value all = ns::Value::dictionary({{testsupport::MervioTest::kAppId, record->propertList()},
                                           {"old_text", ns::Value("copied")}});
    return *MervioApiUtil::dataFromPropertyList(all);
}

ns::Bytes registerInfoArchive() {
    auto info = std::make_shared<AppRegisterInfo>();
    info->appID = "mv5c3e";
    info->appName = "先锋Velmarsh";
    info->appAddedByUser = true;
    info->nextUpdateInfoTime = 4294967295u;
    return *ns::KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<ns::Coding>(info));
}

}  // namespace

TEST_F(PeerTest, PlistlibReadsOurRecordsAndArchives) {
    if (!havePython()) GTEST_SKIP() << "python3 with plistlib is not installed";
    useRoad(true);
    write("record.bplist", recordContent());
    write("archive.bplist", registerInfoArchive());
    auto r = python(std::string(R"(
import plistlib
record = plistlib.load(open("record.bplist", "rb"))
entry = record[")") + kAppId + R"("]
print("command=" + entry["command"])
print("objectType=" + entry["objectType"])
print("title=" + entry["title"])
print("fileData=" + entry["fileData"].hex())
print("thumb=" + str(entry["thumbData"][:2] == b"\xff\xd8"))
print("old_text=" + record["old_text"])
archive = plistlib.load(open("archive.bplist", "rb"))
objects = archive["$objects"]
root = objects[archive["$top"]["root"].data]
print("archiver=" + archive["$archiver"] + " " + str(archive["$version"]))
print("class=" + objects[root["$class"].data]["$classname"])
print("appName=" + objects[root["appName"].data])
print("appID=" + objects[root["appID"].data])
print("openID=" + str(root["appIdentifier"].data))
print("added=" + str(root["added"]))
print("next=" + str(root["nextupdateinfotime"]))
)");
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* line : {"command=1010", "objectType=7", "title=党建快讯", "fileData=000102ff", "thumb=True",
                             "old_text=copied", "archiver=NSKeyedArchiver 100000", "class=AppRegisterInfo",
                             "appName=先锋Velmarsh", "appID=mv5c3e", "openID=0", "added=True", "next=-1"})
        EXPECT_NE(r.output.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << r.output;
}

TEST_F(PeerTest, WeReadPlistlibsRecordsAndArchives) {
    if (!havePython()) GTEST_SKIP() << "python3 with plistlib is not installed";
    auto r = python(std::string(R"(
import plistlib
from plistlib import UID
entry = {"command": "1020", "title": "来自 Python", "returnFromApp": "0", "result": "-2",
         "language": "zh_CN", "fileData": b"\x00\x01"}
for name, fmt in (("py.bplist", plistlib.FMT_BINARY), ("py.xml", plistlib.FMT_XML)):
    with open(name, "wb") as f:
        plistlib.dump({")") + kAppId + R"(": entry, "old_text": "剪贴板"}, f, fmt=fmt)
archive = {
    "$archiver": "NSKeyedArchiver", "$version": 100000, "$top": {"root": UID(1)},
    "$objects": ["$null",
                 {"appID": UID(3), "openID": UID(0), "flag": 4294967295, "appAddedByUser": True, "$class": UID(2)},
                 {"$classname": "AppSettingItem", "$classes": ["AppSettingItem", "NSObject"]},
                 "mv-python"]}
with open("py-archive.bplist", "wb") as f:
    plistlib.dump(archive, f, fmt=plistlib.FMT_BINARY)
)");
    ASSERT_EQ(r.status, 0) << r.output;

    for (const char* name : {"py.bplist", "py.xml"}) {
        SCOPED_TRACE(name);
        useRoad(true);
        ui::Pasteboard::generalPasteboard()->setData(read(name), "content");
        auto record = AppCommunicate::appCommunicateDataForAppID(kAppId);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->textMessage(), "来自 Python");
        EXPECT_FALSE(record->returnFromApp);
        EXPECT_EQ(record->result, -2);
        EXPECT_EQ(record->lang, "zh_CN");
        EXPECT_EQ(record->fileData, (ns::Bytes{0, 1}));
        EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), "剪贴板");
    }

    auto item = ns::KeyedUnarchiver::unarchivedObjectOfClass<AppSettingItem>(read("py-archive.bplist"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->appID, "mv-python");
    EXPECT_EQ(item->openID, "");
    EXPECT_EQ(item->flag, 4294967295u);
    EXPECT_TRUE(item->appAddedByUser);
}

TEST_F(PeerTest, DamagedBytesDecodeToNothingOrSomethingNeverACrash) {
    std::mt19937 random(20150301);
    const ns::Bytes record = recordContent();
    const ns::Bytes recordXML = *ns::PropertyListSerialization::dataWithPropertyList(
        MervioApiUtil::propertyListFromData(record), ns::PropertyListFormat::XML);
    const ns::Bytes archive = registerInfoArchive();
    const ns::Bytes valueArchive = *ns::KeyedArchiver::archivedDataWithRootObject(ns::Value::dictionary(
        {{"list", ns::Value::array({ns::Value(1), ns::Value("二"), ns::Value(ns::Date{1e9})})}}));

    std::vector<ns::Bytes> inputs;
    for (const ns::Bytes* seed : {&record, &recordXML, &archive, &valueArchive}) {
        for (std::size_t cut = 0; cut < seed->size(); cut += 1 + seed->size() / 300)
            inputs.emplace_back(seed->begin(), seed->begin() + static_cast<std::ptrdiff_t>(cut));
        for (int i = 0; i < 700; ++i) {
            ns::Bytes damaged = *seed;
            int flips = 1 + static_cast<int>(random() % 4);
            for (int f = 0; f < flips; ++f) damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
            inputs.push_back(std::move(damaged));
        }
    }
    for (int i = 0; i < 300; ++i) {
        ns::Bytes noise(random() % 200);
        for (auto& b : noise) b = static_cast<std::uint8_t>(random());
        if (i % 2 == 0) noise.insert(noise.begin(), {'b', 'p', 'l', 'i', 's', 't', '0', '0'});
        inputs.push_back(std::move(noise));
    }

    const auto classes = AppRecords::archiveClasses();
    std::size_t decoded = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const ns::Bytes& bytes = inputs[i];
        ns::Value plist = MervioApiUtil::propertyListFromData(bytes);
        AppCommunicateData r(plist[kAppId]);
        r.authRequest();
        r.authResp();
        r.textMessage();
        r.mediaMessage();
        r.mediaInternalMessage();
        r.DataToReq();
        r.DataToResp();
        decoded += r.command() != 0;
        ns::KeyedUnarchiver::unarchivedObject(bytes, classes);
        ns::KeyedUnarchiver::unarchivedValue(bytes);
        if (i % 100 == 0) {  // the whole road, through the boards
            bool iOS7 = (i / 100) % 2 == 0;
            useRoad(iOS7);
            auto board = iOS7 ? AppCommunicate::getDataPasteboardForiOS7Plus() : AppCommunicate::getDataPasteboard();
            board->setData(bytes, "content");
            if (auto back = AppCommunicate::appCommunicateDataForAppID(kAppId)) {
                back->DataToReq();
                back->mediaInternalMessage();
            }
        }
    }
    EXPECT_GT(decoded, 0u) << "some damaged records still read";
}
