// The organisation rows the grid screens share: default style, reuse
// identifier "CELL", the record's "name" in the 12-point system font.
#pragma once

#include <memory>

#include "foundation/Value.h"
#include "uikit/TableView.h"

namespace orgcells {

std::shared_ptr<ui::TableViewCell> nameCell(const std::shared_ptr<ui::TableView>& table, const ns::Value& record,
                                            ui::TableViewCellAccessoryType accessory);

}  // namespace orgcells
