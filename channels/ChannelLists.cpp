#include "channels/ChannelLists.h"

#include "app/framework/Records.h"
#include "channels/ChannelDetailScreen.h"
#include "channels/SSXWCell.h"

namespace {

template <typename Detail>
std::shared_ptr<ui::ViewController> detailOf(const ns::Value& record) {
    auto detail = ui::create<Detail>();
    detail->article_id = records::text(record, "id");
    return detail;
}

}  // namespace

std::shared_ptr<ui::TableViewCell> VLDTViewController::cellFor(const PagedList::Table& table, const ns::Value& record) {
    return thumbnailRow(table, record);
}

std::shared_ptr<ui::ViewController> VLDTViewController::detailFor(const ns::Value& record) {
    return detailOf<VLDTDetailViewController>(record);
}

std::shared_ptr<ui::ViewController> LDYLViewController::detailFor(const ns::Value& record) {
    return detailOf<LDYLDetailViewController>(record);
}

std::shared_ptr<ui::ViewController> GBRMViewController::detailFor(const ns::Value& record) {
    return detailOf<GBRMDetailViewController>(record);
}
