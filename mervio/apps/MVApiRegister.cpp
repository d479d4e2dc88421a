#include "mervio/apps/MVApiRegister.h"

#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "mervio/reporter/MVOMSA.h"
#include "mervio/apps/MervioApiUtil.h"
#include "mervio/RecordReader.h"

namespace {

constexpr const char* kRegisterPasteboard = "mervio_register";

std::optional<std::string> nonEmptyText(const ns::Value& dict, std::string_view key) {
    auto text = mvrecord::text(dict, key);
    if (text && text->empty()) return std::nullopt;
    return text;
}

std::string iconName(const ns::Value& info) {
    const bool twice = MervioApiUtil::is2xScreen();
    ns::Value files = info["CFBundleIconFiles"];
    if (files.isArray()) {
        std::optional<std::string> last;
        for (const auto& item : files.items()) {
            if (!item.isString()) continue;
            const std::string& name = item.str();
            if ((name.find("@2x") != std::string::npos) == twice) return name;
            last = name;
        }
        if (last) return *last;
    } else if (auto file = mvrecord::text(info, "CFBundleIconFile")) {
        return *file;
    }
    return twice ? "Icon@2x.png" : "Icon.png";
}

}  // namespace

std::shared_ptr<MVApiRegister> MVApiRegister::shareInstance() {
    static const std::shared_ptr<MVApiRegister> instance = std::make_shared<MVApiRegister>();
    return instance;
}

void MVApiRegister::startMSA(const std::string& appId) {
    MSAMV::startWithAppkey(appId);
    ns::NotificationCenter::defaultCenter().addObserver(shareInstance(), ns::UIApplicationDidEnterBackgroundNotification,
                                                        &MVApiRegister::DidEnterBackground);
}

void MVApiRegister::DidEnterBackground(const ns::Notification&) { MSAMV::onBackground(); }

std::string MVApiRegister::getRegisterPasteboardName() { return kRegisterPasteboard; }

ns::Value MVApiRegister::getRegisterDictionary(const ui::PasteboardPtr& board, bool* beyondLimits) {
    if (beyondLimits) *beyondLimits = false;
    if (!board) return {};
    ns::Value content = MervioApiUtil::propertyListFromData(board->dataForPasteboardType("content"), beyondLimits);
    return content.isDictionary() ? content : ns::Value();
}

std::optional<std::string> MVApiRegister::getIconString() {
    auto bundle = ns::Bundle::mainBundle();
    ns::Value info = bundle->infoDictionary();
    if (!info.isDictionary() || info.count() == 0) return std::nullopt;
    return ns::format("%@/%@", bundle->bundlePath(), iconName(info));
}

ns::Value MVApiRegister::buildAppDictionary(const std::string& appId, const ns::Value& oldAppDictionary) {
    auto bundle = ns::Bundle::mainBundle();
    ns::Value record = ns::Value::dictionary();

    std::optional<ns::Bytes> icon;
    if (auto path = getIconString()) icon = ns::readFile(*path);
    if (!icon) icon = ns::readFile(ns::format("%@/%@", bundle->bundlePath(), "Icon.png"));
    if (icon) record.set("appIcon", ns::Value(*icon));

    ns::Value info = bundle->infoDictionary();
    if (auto identifier = mvrecord::text(info, "CFBundleIdentifier")) record.set("appIdentifier", *identifier);
    auto name = nonEmptyText(info, "CFBundleDisplayName");
    if (!name) name = mvrecord::text(info, "CFBundleName");
    if (name) record.set("appName", *name);

    const std::string now = ns::format("%u", static_cast<std::uint32_t>(ns::now().seconds));
    auto first = oldAppDictionary.isDictionary() ? mvrecord::text(oldAppDictionary, "firstLaunchTime") : std::nullopt;
    record.set("firstLaunchTime", first.value_or(now));
    record.set("laststLaunchTime", now);
    record.set("appID", appId);
    return record;
}

bool MVApiRegister::registerApp(const std::string& appId) { return registerApp(appId, std::string()); }

bool MVApiRegister::registerApp(const std::string& appId, const std::string& description) {
    if (appId.empty()) return false;
    shareInstance()->startMSA(appId);

    auto board = ui::Pasteboard::pasteboardWithName(kRegisterPasteboard, true);
    if (!board || !board->setPersistent(true)) return false;

    bool beyondLimits = false;
    ns::Value read = getRegisterDictionary(board, &beyondLimits);
    if (beyondLimits) return false;
    // Only the top dictionary changes: the other apps' entries are taken over
    // as they were read (and written back once each, shared or not).
    ns::Value all = ns::Value::dictionaryWithUniqueEntries(read.entries());
    ns::Value record = buildAppDictionary(appId, all[appId]);
    std::size_t length = ns::utf16Length(description);
    if (length >= 1 && length <= kMaxDescription) record.set("appDescriptionSDK", description);
    all.set(appId, record);

    auto data = MervioApiUtil::dataFromPropertyList(all);
    return data && board->setData(*data, "content");
}
