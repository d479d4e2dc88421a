#include "channels/AudioDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/OCJUIWebViewController.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "app/images/WebImageView.h"
#include "channels/ChannelStyle.h"
#include "channels/CommentReply.h"
#include "channels/CommentViewController.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Keyboard.h"
#include "uikit/NavigationController.h"
#include "uikit/SystemStandIns.h"
#include "uikit/Text.h"

void AudioDetailViewController::viewDidLoad() {
    CommentedArticleScreen::viewDidLoad();
    const double w = view()->bounds().size.width;
    ui::Rect web = mwebview->frame();
    mtableview = ui::create<ui::TableView>(ui::Rect{0, web.origin.y + web.size.height, w, 20}, ui::TableViewStylePlain);
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    msrview->addSubview(mtableview);
}

void AudioDetailViewController::articleShown(const ns::Value& record) {
    CommentedArticleScreen::articleShown(record);
    // Only records count as attachments.
    mdataArray = ns::Value::array();
    const ns::Value attachs = records::array(record, "attachs");
    for (const auto& a : attachs.items()) {
        if (a.isDictionary()) mdataArray.push(a);
    }
    if (mdataArray.count() == 0) mtableview->setHidden(true);
}

// ---- The attachments under the body ----

double AudioDetailViewController::plainBodyLaidOut(double bottom) {
    const double w = view()->bounds().size.width;
    mtableview->reloadData();
    double tableHeight = std::max(mtableview->frame().size.height, mtableview->contentSize().height);
    mtableview->setFrame(ui::Rect{0, bottom, w, tableHeight});
    ui::Rect t = mtableview->frame();
    return t.origin.y + t.size.height + 10;
}

long AudioDetailViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

std::shared_ptr<ui::TableViewCell> AudioDetailViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    auto cell = table->dequeueReusableCellWithIdentifier("cell");
    if (!cell) cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "cell");
    cell->textLabel()->setText(records::text(mdataArray.at(static_cast<std::size_t>(ip.row)), "file_name"));
    cell->textLabel()->setFont(ui::Font::systemFontOfSize(13));
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    return cell;
}

void AudioDetailViewController::tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                  const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= mdataArray.count()) return;
    openAttachment(mdataArray.at(static_cast<std::size_t>(ip.row)));
}

void AudioDetailViewController::openAttachment(const ns::Value& attachment) {
    auto nav = navigationController();
    if (!nav) return;
    const std::string ext = records::text(attachment, "file_ext");
    const std::string path = records::text(attachment, "file_path");
    if (ext == "jpg" || ext == "png") {
        auto picture = ui::create<ShowPictureViewController>();
        picture->picPath = path;
        nav->pushViewController(picture, true);
    } else if (ext == "mp3" || ext == "mp4") {
        auto movie = ui::create<ui::MoviePlayerViewController>(path);
        movie->moviePlayer()->setScalingMode(ui::MovieScalingModeFill);
        movie->moviePlayer()->setControlStyle(ui::MovieControlStyleFullscreen);
        movie->moviePlayer()->play();
        nav->presentViewController(movie, true);
    } else {
        auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
        web->titleStr = kAttachmentTitle;
        web->urlStr = path;
        nav->pushViewController(web, true);
    }
}

// ---- The picture screen ----

void ShowPictureViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    view()->setBackgroundColor(ui::Color::whiteColor());
    const double w = view()->bounds().size.width;
    naview = makeBackNavBar(*this, kAttachmentTitle);
    imageView = ui::create<ui::ImageView>(ui::Rect{10, 70, w - 20, 300});
    view()->addSubview(imageView);
    setImageWithURL(imageView, picPath);
}

