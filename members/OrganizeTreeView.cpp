#include "members/OrganizeTreeView.h"

#include <functional>
#include <unordered_set>

#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/Format.h"
#include "foundation/TextIndex.h"
#include "uikit/Label.h"

namespace {

constexpr const char* kGetOrgUser = "GetOrgUser";
constexpr int kPersonTag = 8000;

}  // namespace

void OrganizeTreeView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double W = frame.size.width;
    setBackgroundColor(ui::Color::whiteColor());
    setUserInteractionEnabled(true);
    buildTree({.paneFrame = ui::Rect{5, 0, 170, 280}}, W);
    addButton = ui::Button::buttonWithType(ui::ButtonTypeRoundedRect);
    addButton->setFrame(ui::Rect{175, 140, 30, 40});
    addButton->setTitle("添加", ui::ControlStateNormal);
    addButton->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    addButton->setTitleColor(ui::Color::redColor(), ui::ControlStateNormal);
    addButton->addTarget(this, &OrganizeTreeView::addpeople, ui::ControlEventTouchUpInside);
    addSubview(addButton);
    peoplescrview = borderedPane(ui::Rect{205, 0, 100, 280});
    addSubview(peoplescrview);

    requestTree();
}

// ---- Ticks ----

void OrganizeTreeView::selectPeople(std::size_t index) {
    if (index >= mdataArray.count()) return;
    ns::Value node = mdataArray.at(index);
    const std::string select = records::text(node, "select");
    std::string value;
    if (select == "0") value = "1";
    else if (select == "1") value = "0";
    else return;
    const std::string lv = level(node);
    if (lv == "1") {
        setAll(mdataArray, "select", value);
    } else if (lv == "2") {
        node.set("select", value);
        const ns::Value kids = children(node);
        for (ns::Value kid : kids.items()) {
            if (kid.isDictionary()) kid.set("select", value);
            setAll(children(kid), "select", value);
        }
    } else if (lv == "3" || lv == "4") {
        node.set("select", value);
        if (records::text(node, "state") == "open") setAll(children(node), "select", value);
    } else {
        return;
    }
    loadingData(mdataArray);
}

// ---- The member pane ----

void OrganizeTreeView::addpeople() {
    requestType = kAddType;
    std::string ids;
    for (const ns::Value& node : mdataArray.items()) {
        if (records::text(node, "select") != "1") continue;
        if (!ids.empty()) ids += ",";
        ids += records::text(node, "id");
    }
    if (ids.empty()) {
        Utils::showAlert("请先选择机构");
        return;
    }
    pp->GetOrgUser(ids);
    peopleRequest_ = pp->runningRequest();
}

void OrganizeTreeView::loadingPeoplewithData(const ns::Value& people) {
    for (auto& v : peoplescrview->subviews()) v->removeFromSuperview();
    peopleTicks.clear();
    const auto& items = people.items();
    if (items.empty()) return;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const double y = 30.0 * static_cast<double>(i);
        auto name = ui::create<ui::Label>(ui::Rect{5, y, 50, 30});
        name->setFont(ui::Font::systemFontOfSize(12));
        name->setText(records::text(items[i], "real_name"));
        peoplescrview->addSubview(name);
        auto tick = ui::create<ui::ImageView>(ui::Rect{60, y + 5, 20, 20});
        tick->setImage(ui::Image::imageNamed("have_shangji.png"));
        tick->setUserInteractionEnabled(true);
        tick->setTag(kPersonTag + static_cast<int>(i));
        tick->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &OrganizeTreeView::personTapped));
        peoplescrview->addSubview(tick);
        peopleTicks.push_back(tick);
    }
    peoplescrview->setContentSize(ui::Size{100, 30.0 * static_cast<double>(items.size()) + 30});
}

void OrganizeTreeView::personTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer) {
    if (auto v = recognizer ? recognizer->view() : nullptr) deletePeople(static_cast<std::size_t>(v->tag() - kPersonTag));
}

void OrganizeTreeView::deletePeople(std::size_t index) {
    if (index >= peopleArray.count() || index >= peopleTicks.size()) return;
    ns::Value person = peopleArray.at(index);
    const bool kept = records::text(person, "delete") == "0";
    person.set("delete", kept ? "1" : "0");
    peopleTicks[index]->setImage(ui::Image::imageNamed(kept ? "no_shangji.png" : "have_shangji.png"));
}

void OrganizeTreeView::subit() {
    if (peopleArray.count() == 0) {
        Utils::showAlert("请添加人员");
        return;
    }
    // A number confirmed before is not listed again: it would get the
    // message twice.
    std::unordered_set<std::string, ns::TextHash, std::equal_to<>> listed;
    for (const ns::Value& earlier : senderArray.items()) listed.insert(records::text(earlier, "user_name"));
    for (const ns::Value& person : peopleArray.items()) {
        if (records::text(person, "delete") != "0") continue;
        if (listed.insert(records::text(person, "user_name")).second) senderArray.push(person);
    }
    if (auto d = delegate()) d->phoneArray(senderArray);
}

// ---- Replies ----

void OrganizeTreeView::otherReply(const std::string& operation, const std::string& result) {
    if (operation != kGetOrgUser || requestType != kAddType) return;
    if (pp->replyRequest() != peopleRequest_.lock()) return;  // an earlier "添加"
    peopleReplied(result);
}

void OrganizeTreeView::peopleReplied(const std::string& result) {
    ns::Value reply = records::parse(result);
    ns::Value people = records::list(reply);
    setAll(people, "delete", "0");
    peopleArray = people;
    loadingPeoplewithData(peopleArray);
}
