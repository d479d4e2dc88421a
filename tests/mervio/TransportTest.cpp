// The pasteboard transport: which boards each road uses, what a read takes
// and leaves, the user's copied text, other apps' entries.
#include <gtest/gtest.h>

#include <optional>

#include "mervio/apps/AppCommunicate.h"
#include "support/FullDisk.h"
#include "support/MervioTest.h"

namespace {

using ui::Pasteboard;

class TransportTest : public testsupport::MervioTest {
protected:
    static AppCommunicateDataPtr textRecord(const std::string& text) {
        auto record = std::make_shared<AppCommunicateData>();
        record->initCommonField(MVCommandTextMessage);
        EXPECT_TRUE(record->MakeTextMessage(text));
        return record;
    }

    static ns::Value contentOf(const ui::PasteboardPtr& board) {
        return MervioApiUtil::propertyListFromData(board->dataForPasteboardType("content"));
    }

    static void putContent(const ui::PasteboardPtr& board, const ns::Value& plist) {
        board->setData(*MervioApiUtil::dataFromPropertyList(plist), "content");
    }
};

}  // namespace

TEST_F(TransportTest, BeforeiOS7RecordsGoToNamedPersistentBoardsAndOtherAppsStay) {
    useRoad(false);
    auto data = AppCommunicate::getDataPasteboard();
    putContent(data, ns::Value::dictionary({{"otherapp", ns::Value::dictionary({{"command", ns::Value("2000")}})}}));

    auto record = textRecord("给迈维");
    record->fileData = bytes("file bytes");
    ASSERT_TRUE(AppCommunicate::setAppCommunicateData(record, kAppId));
    EXPECT_TRUE(Pasteboard::pasteboardWithName("mervio_data", false)->isPersistent());
    EXPECT_TRUE(Pasteboard::pasteboardWithName("mervio_file", false)->isPersistent());
    ns::Value all = contentOf(data);
    EXPECT_EQ(all.keys(), (std::vector<std::string>{"otherapp", kAppId}));
    EXPECT_EQ(all[kAppId]["title"], ns::Value("给迈维"));
    EXPECT_FALSE(all[kAppId].has("fileData")) << "file data has its own board";
    EXPECT_EQ(AppCommunicate::getFilePasteboard()->dataForPasteboardType("content"), bytes("file bytes"));
    EXPECT_FALSE(Pasteboard::generalPasteboard()->dataForPasteboardType("content"));

    auto back = AppCommunicate::appCommunicateDataForAppID(kAppId);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->textMessage(), "给迈维");
    EXPECT_EQ(back->fileData, bytes("file bytes"));
    EXPECT_EQ(AppCommunicate::getFilePasteboard()->dataForPasteboardType("content"), ns::Bytes())
        << "the read empties the file board";
    EXPECT_EQ(data->dataForPasteboardType("content"), ns::Bytes()) << "and the record board";
    EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId));
}

TEST_F(TransportTest, BeforeiOS7ARecordWithoutDataLeavesEmptyData) {
    useRoad(false);
    AppCommunicate::getFilePasteboard()->setData(bytes("stale"), "content");
    ASSERT_TRUE(AppCommunicate::setAppCommunicateData(textRecord("t"), kAppId));
    EXPECT_EQ(AppCommunicate::getFilePasteboard()->dataForPasteboardType("content"), ns::Bytes());
}

TEST_F(TransportTest, FromiOS7TheRecordReplacesTheGeneralBoardAndTheCopiedTextReturns) {
    useRoad(true);
    auto general = Pasteboard::generalPasteboard();
    general->setString("用户复制的文字");
    putContent(AppCommunicate::getDataPasteboard(), ns::Value::dictionary({{"otherapp", ns::Value::dictionary()}}));

    auto record = textRecord("t");
    record->fileData = bytes("not carried: data travels inside the entry");
    ASSERT_TRUE(AppCommunicate::setAppCommunicateData(record, kAppId));
    EXPECT_EQ(general->pasteboardTypes(), std::vector<std::string>{"content"});
    ns::Value all = contentOf(general);
    EXPECT_EQ(all.keys(), (std::vector<std::string>{kAppId, "old_text"}));
    EXPECT_EQ(all["old_text"], ns::Value("用户复制的文字"));
    EXPECT_FALSE(Pasteboard::pasteboardWithName("mervio_file", false)) << "no file board from iOS 7 on";

    auto back = AppCommunicate::appCommunicateDataForAppID(kAppId);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->textMessage(), "t");
    EXPECT_TRUE(back->fileData.empty());
    EXPECT_EQ(general->string(), "用户复制的文字");
    EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId));
    EXPECT_EQ(general->string(), "用户复制的文字");
}

TEST_F(TransportTest, FromiOS7WritesCarryOnlyThisAppAndNoEmptyText) {
    useRoad(true);
    auto general = Pasteboard::generalPasteboard();
    putContent(general, ns::Value::dictionary({{"otherapp", ns::Value::dictionary({{"command", ns::Value("1")}})}}));
    ASSERT_TRUE(AppCommunicate::setAppCommunicateData(textRecord("t"), kAppId));
    EXPECT_EQ(contentOf(general).keys(), std::vector<std::string>{kAppId});

    general->setString("");
    ASSERT_TRUE(AppCommunicate::setAppCommunicateData(textRecord("t"), kAppId));
    EXPECT_FALSE(contentOf(general).has("old_text"));
}

TEST_F(TransportTest, OnlyPropertyListsAreTakenFromABoard) {
    for (bool iOS7 : {false, true}) {
        SCOPED_TRACE(iOS7 ? "iOS 7" : "before iOS 7");
        useRoad(iOS7);
        auto board = iOS7 ? AppCommunicate::getDataPasteboardForiOS7Plus() : AppCommunicate::getDataPasteboard();
        // Content that is no property list stays for its owner.
        board->setData(bytes("someone else's bytes"), "content");
        EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId));
        EXPECT_EQ(board->dataForPasteboardType("content"), bytes("someone else's bytes"));
        // A property list that is no dictionary is taken, and gives nothing.
        putContent(board, ns::Value::array({ns::Value("x")}));
        EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId));
        EXPECT_EQ(board->dataForPasteboardType("content"), ns::Bytes());
        // An entry that is no dictionary, or a record without a command.
        putContent(board, ns::Value::dictionary({{kAppId, ns::Value("not a record")}}));
        EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId));
        putContent(board, ns::Value::dictionary({{kAppId, ns::Value::dictionary({{"title", ns::Value("t")}})}}));
        auto commandless = AppCommunicate::appCommunicateDataForAppID(kAppId);
        ASSERT_TRUE(commandless);
        EXPECT_EQ(commandless->command(), 0u);
        EXPECT_FALSE(commandless->DataToReq());
        EXPECT_FALSE(commandless->DataToResp());
        // A second app's record is not this app's.
        ASSERT_TRUE(AppCommunicate::setAppCommunicateData(textRecord("t"), "otherapp"));
        EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId));
    }
}

TEST_F(TransportTest, NothingIsWrittenWithoutARecordOrAnAppId) {
    for (bool iOS7 : {false, true}) {
        useRoad(iOS7);
        EXPECT_FALSE(AppCommunicate::setAppCommunicateData(nullptr, kAppId));
        EXPECT_FALSE(AppCommunicate::setAppCommunicateData(std::make_shared<AppCommunicateData>(), kAppId));
        EXPECT_FALSE(AppCommunicate::setAppCommunicateData(textRecord("t"), ""));
        EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(""));
    }
    EXPECT_FALSE(Pasteboard::generalPasteboard()->dataForPasteboardType("content"));
}

TEST_F(TransportTest, ARecordThatCannotBeWrittenLeavesEveryBoardAsItWas) {
    // Text that is not UTF-8 passes the record's checks but has no property
    // list form: nothing may be taken from a board before what replaces it
    // is ready.
    const ns::Value others =
        ns::Value::dictionary({{"other", ns::Value::dictionary({{"appID", ns::Value("other")}, {"n", ns::Value(1)}})}});
    for (bool iOS7 : {false, true}) {
        SCOPED_TRACE(iOS7 ? "iOS 7" : "before iOS 7");
        useRoad(iOS7);
        auto files = AppCommunicate::getFilePasteboard();
        files->setData(bytes("the other app's file"), "content");
        auto data = iOS7 ? AppCommunicate::getDataPasteboardForiOS7Plus() : AppCommunicate::getDataPasteboard();
        if (iOS7) {
            data->setString("用户复制的文字");
        } else {
            putContent(data, others);
        }
        const auto types = data->pasteboardTypes();
        const auto before = data->dataForPasteboardType(iOS7 ? types.at(0) : "content");

        auto record = textRecord("a\xFF" "b");
        record->fileData = bytes("never sent");
        EXPECT_FALSE(AppCommunicate::setAppCommunicateData(record, kAppId));
        EXPECT_EQ(data->pasteboardTypes(), types);
        EXPECT_EQ(data->dataForPasteboardType(iOS7 ? types.at(0) : "content"), before);
        EXPECT_EQ(files->dataForPasteboardType("content"), bytes("the other app's file"));

        // With text that can be written, the other app's entry stays beside it.
        ASSERT_TRUE(AppCommunicate::setAppCommunicateData(textRecord("plain"), kAppId));
        ns::Value all = contentOf(data);
        EXPECT_EQ(all.keys(), iOS7 ? (std::vector<std::string>{kAppId, "old_text"})
                                   : (std::vector<std::string>{"other", kAppId}));
        ui::Pasteboard::removeAllForTesting();
    }
}

TEST_F(TransportTest, BeforeiOS7ABoardOfManyAppsKeepsEveryOtherEntryInItsPlace) {
    useRoad(false);
    std::vector<std::pair<std::string, ns::Value>> apps;
    for (int i = 0; i < 3000; ++i)
        apps.emplace_back("app" + std::to_string(i), ns::Value::dictionary({{"n", ns::Value(i)}}));
    apps.insert(apps.begin() + 1500, {kAppId, textRecord("old")->propertList()});
    auto data = AppCommunicate::getDataPasteboard();
    putContent(data, ns::Value::dictionaryWithUniqueEntries(apps));

    ASSERT_TRUE(AppCommunicate::setAppCommunicateData(textRecord("new"), kAppId));
    ns::Value all = contentOf(data);
    ASSERT_EQ(all.count(), apps.size());
    for (std::size_t i = 0; i < apps.size(); ++i) ASSERT_EQ(all.entries()[i].first, apps[i].first) << i;
    EXPECT_EQ(all["app2999"]["n"], ns::Value(2999));
    EXPECT_EQ(all[kAppId]["title"], ns::Value("new"));
}

// On a full disk a record is neither written nor taken: the write answers
// NO and leaves the boards as they were, and a record whose board cannot
// be emptied is not read and waits, with the user's copied text in it, for
// a read once there is room.
TEST_F(TransportTest, OnAFullDiskARecordIsNeitherWrittenNorTakenAndWaits) {
    for (bool iOS7 : {false, true}) {
        SCOPED_TRACE(iOS7 ? "iOS 7" : "before iOS 7");
        useRoad(iOS7);
        auto data = iOS7 ? AppCommunicate::getDataPasteboardForiOS7Plus() : AppCommunicate::getDataPasteboard();
        if (iOS7) data->setString("用户复制的文字");
        auto record = textRecord("waiting");
        record->fileData = bytes("file bytes");
        ASSERT_TRUE(AppCommunicate::setAppCommunicateData(record, kAppId));
        const auto before = data->dataForPasteboardType("content");
        {
            testsupport::FullDisk disk;
            EXPECT_FALSE(AppCommunicate::setAppCommunicateData(textRecord("not kept"), kAppId));
            EXPECT_FALSE(AppCommunicate::appCommunicateDataForAppID(kAppId));
        }
        EXPECT_EQ(data->dataForPasteboardType("content"), before);
        auto back = AppCommunicate::appCommunicateDataForAppID(kAppId);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->textMessage(), "waiting");
        if (iOS7) {
            EXPECT_EQ(data->string(), "用户复制的文字");
        } else {
            EXPECT_EQ(back->fileData, bytes("file bytes"));
        }
        ui::Pasteboard::removeAllForTesting();
    }
}
