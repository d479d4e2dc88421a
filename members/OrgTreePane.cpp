#include "members/OrgTreePane.h"

#include <unordered_set>

#include "app/framework/Records.h"
#include "app/widgets/Controls.h"
#include "uikit/Image.h"

namespace {

constexpr int kArrowTag = 1000;
constexpr int kTickTag = 2000;

}  // namespace

std::string OrgTreePane::level(const ns::Value& node) { return records::text(node, "level"); }

ns::Value OrgTreePane::children(const ns::Value& node) { return records::array(node, "child_org"); }

void OrgTreePane::setAll(const ns::Value& nodes, const std::string& key, const std::string& value) {
    for (ns::Value node : nodes.items()) {
        if (node.isDictionary()) node.set(key, value);
    }
}

std::shared_ptr<ui::ScrollView> OrgTreePane::borderedPane(const ui::Rect& frame) {
    auto scroll = ui::create<ui::ScrollView>(frame);
    scroll->layer().setBorderColor(ui::Color::lightGrayColor());
    scroll->layer().setBorderWidth(1);
    return scroll;
}

void OrgTreePane::buildTree(const TreeSettings& settings, double panelWidth) {
    settings_ = settings;
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    mscrview = borderedPane(settings.paneFrame);
    addSubview(mscrview);

    auto button = [&](const char* title, double x, const char* image) {
        auto b = makeImageButton(ui::Rect{x, settings.paneFrame.size.height + 30, 70, 40}, title, image);
        addSubview(b);
        return b;
    };
    const double g = (panelWidth - 140) / 3;
    okButton = button("确定", g, "navbar.png");
    okButton->addTarget(this, &OrgTreePane::subit, ui::ControlEventTouchUpInside);
    cancelButton = button("取消", 2 * g + 70, "cancelupdata.png");
    cancelButton->addTarget(this, &OrgTreePane::cancelButtonPress, ui::ControlEventTouchUpInside);
}

void OrgTreePane::requestTree() {
    requestType = kTreeType;
    pp->GetOrgList_user_id("all_org", "");
    treeRequest_ = pp->runningRequest();
}

void OrgTreePane::loadingData(const ns::Value& nodes) {
    for (auto& row : treeViewArray) row->removeFromSuperview();
    treeViewArray.clear();
    const auto& items = nodes.items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ns::Value& node = items[i];
        const std::string lv = level(node);
        double x = 0;
        if (lv == "2") x = 10;
        if (lv == "3") x = 20;
        if (lv == "4") x = 30;
        auto row = ui::create<Treeview>(ui::Rect{x, 30.0 * static_cast<double>(i), 170, 30});
        const std::string select = records::text(node, "select");
        if (select == "1") row->selectimagev->setImage(ui::Image::imageNamed("have_shangji.png"));
        if (select == "0") row->selectimagev->setImage(ui::Image::imageNamed("no_shangji.png"));
        if (lv == "1" || lv == "2" || lv == "3" || lv == "4") {
            const bool open = records::text(node, "state") == "open";
            row->signimagev->setImage(ui::Image::imageNamed(open ? "xia.png" : "you.png"));
        } else if (!settings_.arrowOnOtherLevels) {
            row->signimagev->setImage(nullptr);
        }
        row->signimagev->setTag(static_cast<int>(i) + kArrowTag);
        row->signimagev->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &OrgTreePane::arrowTapped));
        row->selectimagev->setTag(static_cast<int>(i) + kTickTag);
        row->selectimagev->setUserInteractionEnabled(true);
        row->selectimagev->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &OrgTreePane::tickTapped));
        row->nameLabel->setText(records::text(node, "name"));
        mscrview->addSubview(row);
        treeViewArray.push_back(row);
    }
    mscrview->setContentSize(ui::Size{170, 30.0 * static_cast<double>(mdataArray.count())});
}

void OrgTreePane::arrowTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer) {
    if (auto v = recognizer ? recognizer->view() : nullptr) openTree(static_cast<std::size_t>(v->tag() - kArrowTag));
}

void OrgTreePane::tickTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer) {
    if (auto v = recognizer ? recognizer->view() : nullptr) selectPeople(static_cast<std::size_t>(v->tag() - kTickTag));
}

void OrgTreePane::openTree(std::size_t index) {
    if (index >= mdataArray.count()) return;
    ns::Value node = mdataArray.at(index);
    const std::string lv = level(node);
    const std::string state = records::text(node, "state");
    if (lv == "1") {
        if (state == "open") {
            node.set("state", "close");
            loadingData(FirstLevelArray);
        } else {
            node.set("state", "open");
            loadingData(mdataArray);
        }
    } else if (lv == "2" || lv == "3") {
        const ns::Value kids = children(node);
        const auto& listed = mdataArray.items();
        std::vector<ns::Value> rows;
        rows.reserve(listed.size() + kids.count());
        if (state != "close") {
            node.set("state", "close");
            // The children leave the list, each wherever it stands (told
            // apart by identity: a child that is no dictionary was never
            // listed), and at level 2 every row of the deepest level goes
            // with them: one pass.
            std::unordered_set<const void*> leaving;
            for (const ns::Value& kid : kids.items()) {
                if (kid.isDictionary()) leaving.insert(&kid.entries());
            }
            for (const ns::Value& row : listed) {
                if (row.isDictionary() && leaving.count(&row.entries()) > 0) continue;
                if (lv == "2" && level(row) == "4") continue;
                rows.push_back(row);
            }
        } else {
            node.set("state", "open");
            const std::string select = records::text(node, "select");
            // The children come right after the row.
            const auto after = listed.begin() + static_cast<std::ptrdiff_t>(index) + 1;
            rows.insert(rows.end(), listed.begin(), after);
            for (ns::Value kid : kids.items()) {
                if (!kid.isDictionary()) continue;
                if (lv == "2") kid.set("state", "close");
                if (settings_.childrenTakeTick) kid.set("select", select);
                rows.push_back(kid);
            }
            rows.insert(rows.end(), after, listed.end());
        }
        mdataArray.removeAll();
        for (ns::Value& row : rows) mdataArray.push(std::move(row));
        loadingData(mdataArray);
    }
}

// ---- Replies ----

void OrgTreePane::GetWebServerContent_success(const std::string& result) {
    // Each reply by the request it answers: a tree that comes back after
    // another request was sent is still drawn.
    if (settings_.treeRequestOnly) {
        if (pp->replyRequest() && pp->replyRequest() == treeRequest_.lock()) treeReplied(result);
        return;
    }
    const std::string& operation = pp->replyOperation();
    if (operation == kTreeType) {
        treeReplied(result);
    } else {
        otherReply(operation, result);
    }
}

void OrgTreePane::treeReplied(const std::string& result) {
    ns::Value reply = records::parse(result);
    FirstLevelArray = records::list(reply);
    mdataArray = ns::Value::array();
    mdataArray.append(FirstLevelArray);
    if (FirstLevelArray.count() > 0) {
        ns::Value first = FirstLevelArray.at(0);
        first.set("state", "open");
        first.set("select", "0");
        const ns::Value kids = children(first);
        for (ns::Value kid : kids.items()) {
            if (!kid.isDictionary()) continue;
            kid.set("state", "close");
            kid.set("select", "0");
            mdataArray.push(kid);
        }
    }
    loadingData(mdataArray);
}
