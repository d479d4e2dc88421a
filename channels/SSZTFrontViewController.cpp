#include "channels/SSZTFrontViewController.h"

#include "app/framework/Records.h"
#include "channels/SSXWCell.h"
#include "channels/SSXWDetailViewController.h"
#include "foundation/Log.h"

std::shared_ptr<ui::TableViewCell> SSZTFrontViewController::cellFor(const PagedList::Table& table,
                                                                     const ns::Value& record) {
    auto cell = thumbnailRow(table, record);
    ns::NSLog("zhaiyao==%@", record["zhaiyao"]);
    return cell;
}

std::shared_ptr<ui::ViewController> SSZTFrontViewController::detailFor(const ns::Value& record) {
    auto detail = ui::create<SSXWDetailViewController>();
    detail->article_id = records::text(record, "id");
    detail->islogin = islogin;
    return detail;
}
