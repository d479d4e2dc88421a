// Keychain items read within their bound: a file beyond it is no item, and
// the largest item the writers write reads back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/AllocationCount.h"
#include "support/FullDisk.h"
#include "uikit/DeviceStore.h"
#include "uikit/Keychain.h"

namespace {

namespace fs = std::filesystem;

class KeychainTest : public testing::Test {
protected:
    void SetUp() override {
        ui::setDeviceStoreDirectory((fs::path(std::getenv("KL_HOME") ? std::getenv("KL_HOME") : "/tmp") /
                                     ("device-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name())))
                                        .string());
        sec::removeAllForTesting();
    }
    void TearDown() override {
        sec::removeAllForTesting();
        ui::setDeviceStoreDirectory("");
    }

    static ns::Value query() {
        return ns::Value::dictionary({{sec::kClass, ns::Value(sec::kClassGenericPassword)},
                                      {sec::kAttrService, ns::Value("bounds")},
                                      {sec::kAttrAccount, ns::Value("item")}});
    }
    static sec::Status add(std::size_t dataBytes) {
        ns::Value attributes = query();
        attributes.set(sec::kValueData, ns::Value(ns::Bytes(dataBytes, 7)));
        return sec::itemAdd(attributes);
    }
    // The data of the item, or nil, and the status of the search.
    static std::pair<sec::Status, ns::Value> data() {
        ns::Value search = query(), found;
        search.set(sec::kReturnData, ns::Value(true));
        const sec::Status status = sec::itemCopyMatching(search, &found);
        return {status, found};
    }
    // The file of the one item the keychain holds.
    static fs::path itemFile() {
        for (const auto& entry : fs::directory_iterator(ui::deviceStoreSubdirectory("Keychain")))
            if (entry.path().extension() == ".item") return entry.path();
        return {};
    }
};

}  // namespace

// A file beyond the bound is no item, said in one line naming the file with
// the reason, and the search allocates nothing near its size.
TEST_F(KeychainTest, AFileBeyondTheBoundIsNoItem) {
    for (std::uint64_t size : {std::uint64_t{sec::kMaxItemBytes} + 1, std::uint64_t{1} << 40}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(add(5), sec::Status::Success);
        const fs::path file = itemFile();
        fs::resize_file(file, size);
        ns::LogCapture log;
        std::pair<sec::Status, ns::Value> found;
        const auto used = testsupport::allocationPeak([&] { found = data(); }, 256u << 20);
        EXPECT_FALSE(used.capped);
        EXPECT_LT(used.peak, 64u << 10);
        EXPECT_EQ(found.first, sec::Status::ItemNotFound);
        const auto said = testsupport::linesWith(log, "Keychain: ");
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find(file.string() + ": more than"), std::string::npos) << said[0];
        EXPECT_EQ(sec::itemDelete(query()), sec::Status::Success);
    }
}

// An item whose file is exactly the bound is written and reads back; data
// one byte longer is refused and the item keeps what it held.
TEST_F(KeychainTest, AnItemAtTheBoundReadsBackAndOneBeyondIsNotWritten) {
    std::size_t bytes = sec::kMaxItemBytes - 1000;
    ASSERT_EQ(add(bytes), sec::Status::Success);
    bytes += sec::kMaxItemBytes - fs::file_size(itemFile());
    ASSERT_EQ(sec::itemDelete(query()), sec::Status::Success);
    ASSERT_EQ(add(bytes), sec::Status::Success);
    EXPECT_EQ(fs::file_size(itemFile()), sec::kMaxItemBytes);
    auto [status, held] = data();
    ASSERT_EQ(status, sec::Status::Success);
    EXPECT_TRUE(held.data() == ns::Bytes(bytes, 7));

    const ns::Value longer = ns::Value::dictionary({{sec::kValueData, ns::Value(ns::Bytes(bytes + 1, 8))}});
    EXPECT_EQ(sec::itemUpdate(query(), longer), sec::Status::BadParameter);
    EXPECT_EQ(data().second.data().size(), bytes);
}
