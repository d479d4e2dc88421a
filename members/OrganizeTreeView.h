// The people picker of the SMS platform: the organisation tree on the left
// (four levels, an expand arrow and a tick box per organisation), the
// members of the ticked organisations on the right (each with a tick that
// keeps or drops it), "添加" between them and "确定" / "取消" below.
//
//   trview = ui::create<OrganizeTreeView>(ui::Rect{0, 64, w, h - 64});   // loads the tree now
//   trview->setDelegate(sharedAs<OrganizeTreeViewDelegate>());
//   trview->setHidden(true);
//
// "确定" hands the owner every member confirmed during the panel's life;
// the panel keeps its tree, ticks and members while it is hidden.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "members/OrgTreePane.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ImageView.h"
#include "uikit/ScrollView.h"
#include "uikit/View.h"

class OrganizeTreeViewDelegate {
public:
    virtual ~OrganizeTreeViewDelegate() = default;
    // Optional: the members confirmed so far (records with "real_name" and
    // "user_name").
    virtual void phoneArray(const ns::Value& /*members*/) {}
};

class OrganizeTreeView : public OrgTreePane {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<OrganizeTreeViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<OrganizeTreeViewDelegate>& d) { delegate_ = d; }

    static constexpr const char* kAddType = "add";

    ns::Value peopleArray = ns::Value::array();  // members of the last member reply
    ns::Value senderArray = ns::Value::array();  // every member confirmed
    std::shared_ptr<ui::ScrollView> peoplescrview;
    std::shared_ptr<ui::Button> addButton;
    std::vector<std::shared_ptr<ui::ImageView>> peopleTicks;  // the member pane's ticks, in order

    // ---- Actions (by row index) ----
    void selectPeople(std::size_t row) override;
    void addpeople();
    void deletePeople(std::size_t index);
    void subit() override;

    void loadingPeoplewithData(const ns::Value& people);

protected:
    void otherReply(const std::string& operation, const std::string& result) override;

private:
    void personTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    void peopleReplied(const std::string& result);
    std::weak_ptr<OrganizeTreeViewDelegate> delegate_;
    std::weak_ptr<NetWebServiceRequest> peopleRequest_;
};
