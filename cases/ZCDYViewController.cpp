#include "cases/ZCDYViewController.h"

#include "app/framework/Records.h"

std::shared_ptr<ui::ViewController> ZCDYViewController::detailFor(const ns::Value& record) {
    auto detail = ui::create<ZCDYDetailViewController>();
    detail->article_id = records::text(record, "id");
    return detail;
}
