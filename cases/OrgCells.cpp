#include "cases/OrgCells.h"

#include "app/framework/Records.h"
#include "uikit/Font.h"
#include "uikit/Label.h"

namespace orgcells {

std::shared_ptr<ui::TableViewCell> nameCell(const std::shared_ptr<ui::TableView>& table, const ns::Value& record,
                                            ui::TableViewCellAccessoryType accessory) {
    static constexpr const char* kIdentifier = "CELL";
    auto cell = table->dequeueReusableCellWithIdentifier(kIdentifier);
    if (!cell) cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, kIdentifier);
    cell->textLabel()->setFont(ui::Font::systemFontOfSize(12));
    cell->textLabel()->setText(records::text(record, "name"));
    cell->setAccessoryType(accessory);
    return cell;
}

}  // namespace orgcells
