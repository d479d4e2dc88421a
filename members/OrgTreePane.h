// The organisation tree that the pickers share: the whole tree of the service
// ("GetOrgList" "all_org") as an indented list of Treeview rows in a
// bordered scroll view, each with an expand arrow and a tick box.
//
// The tree reply lists the top organisations, the first of them open with
// its children under it, closed; nothing is ticked. A tap on an arrow opens
// or closes that organisation:
// - the top level: closing draws the top organisations alone (the list
//   stays as it was), opening draws the list again;
// - levels 2 and 3: closing takes the children out of the list (at level 2
//   every level-4 row goes as well, wherever it stands); opening puts the
//   children in right after the row, those of a level-2 row closed;
// - level 4 and others: nothing.
// A tap on a tick box goes to the picker (selectPeople). Below the pane,
// "确定" goes to the picker (subit) and "取消" hides the panel.
//
// The nodes are the parsed reply's own objects; the pane writes "state"
// ("open" / "close") and "select" ("1" / "0") into them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/widgets/Treeview.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ScrollView.h"
#include "uikit/View.h"

class OrgTreePane : public ui::View, public PPClientDelegate {
public:
    static constexpr const char* kTreeType = "GetOrgList";

    std::shared_ptr<VoVaClient> pp;
    ns::Value mdataArray = ns::Value::array();       // listed nodes, in display order
    ns::Value FirstLevelArray = ns::Value::array();  // the top organisations
    std::vector<std::shared_ptr<Treeview>> treeViewArray;
    std::shared_ptr<ui::ScrollView> mscrview;
    std::shared_ptr<ui::Button> okButton, cancelButton;
    std::string requestType;

    // The arrow of the listed row: opens or closes it.
    void openTree(std::size_t row);
    // The tick box of the listed row.
    virtual void selectPeople(std::size_t row) = 0;
    // "确定".
    virtual void subit() = 0;
    // "取消": hides the panel, keeping all it holds.
    void cancelButtonPress() { setHidden(true); }
    // Draws the rows of `nodes` (170 x 30 each, indented 10 per level).
    void loadingData(const ns::Value& nodes);

    // PPClientDelegate: the tree's reply; others go to otherReply.
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) override {}

protected:
    struct TreeSettings {
        ui::Rect paneFrame;
        // Children listed by opening a row take the row's tick.
        bool childrenTakeTick = true;
        // Rows of a level other than 1 to 4 keep the row's first arrow
        // ("you.png"); else they show none.
        bool arrowOnOtherLevels = true;
        // Only the answer to the tree request is read (the picker sends no
        // other request); else replies go by their operation.
        bool treeRequestOnly = false;
    };
    // Makes the client, adds the pane, and "确定" and "取消" below it in a
    // panel of that width.
    void buildTree(const TreeSettings& settings, double panelWidth);
    // Asks for the whole tree.
    void requestTree();
    // A scroll view with a light-grey border of width 1.
    static std::shared_ptr<ui::ScrollView> borderedPane(const ui::Rect& frame);
    // A reply to another request of the picker.
    virtual void otherReply(const std::string& /*operation*/, const std::string& /*result*/) {}

    static std::string level(const ns::Value& node);
    static ns::Value children(const ns::Value& node);
    // Sets the key of every node (not of their children).
    static void setAll(const ns::Value& nodes, const std::string& key, const std::string& value);

private:
    void arrowTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    void tickTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    void treeReplied(const std::string& result);

    TreeSettings settings_;
    std::weak_ptr<NetWebServiceRequest> treeRequest_;
};
