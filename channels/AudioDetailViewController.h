// One item of the audio and video lessons: its title, author and time, its
// HTML body in a plain web view stretched to the body's height, and its
// attachments listed under the body. An attachment opens by its extension:
// "jpg"/"png" as a picture, "mp3"/"mp4" in the movie player, anything else as
// a web page. The comment bar at the bottom works as on the articles.
//
//   auto detail = ui::create<AudioDetailViewController>();
//   detail->article_id = record["id"].text();
//   detail->navTitle = "微电影";
//   navigationController()->pushViewController(detail, true);
#pragma once

#include <memory>
#include <string>

#include "app/framework/SystemViewController.h"
#include "channels/CommentBar.h"
#include "uikit/TableView.h"

class AudioDetailViewController : public CommentedArticleScreen,
                                  public ui::TableViewDataSource,
                                  public ui::TableViewDelegate {
public:
    void viewDidLoad() override;

    std::string navTitle;  // set by the opener before the view loads

    std::shared_ptr<ui::TableView> mtableview;  // the attachments
    ns::Value mdataArray = ns::Value::array();  // the attachment records

    // The attachments
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return kAttachmentRowHeight;
    }
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                           const ui::IndexPath& ip) override;

    static constexpr double kAttachmentRowHeight = 40;

protected:
    Page page() const override {
        return {.title = navTitle,
                .htmlBody = false,
                .footBar = true,
                .authorLine = true,
                .showsResult = false,
                .replyLog = "resonse===%@"};
    }
    void articleShown(const ns::Value& record) override;
    double plainBodyLaidOut(double bottom) override;

private:
    void openAttachment(const ns::Value& attachment);
};

// A picture attachment under a top bar titled "附件详情".
class ShowPictureViewController : public SystemViewController {
public:
    void viewDidLoad() override;

    std::string picPath;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ImageView> imageView;
};

inline constexpr const char* kAttachmentTitle = "附件详情";
