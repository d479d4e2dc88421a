#include "channels/ChannelLists.h"

#include "channels/SSXWCell.h"

std::shared_ptr<ui::TableViewCell> VLDTViewController::cellFor(const PagedList::Table& table, const ns::Value& record) {
    return thumbnailRow(table, record);
}
