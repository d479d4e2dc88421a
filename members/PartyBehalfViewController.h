// The party representatives' directory. "17区县" shows the counties and
// cities as a grid of picture tiles with their names; a tile opens that
// county's representatives (RepresentativeListViewController).
//
//   nav->pushViewController(ui::create<PartyBehalfViewController>(), true);
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/framework/BaseScreen.h"
#include "app/widgets/NavBarView.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/ScrollView.h"

// The picture grids of the directory: three tiles a row.
namespace tilegrid {

struct Style {
    const char* imageKey;  // the record's picture address
    const char* nameKey;   // the record's name, under the tile
    double nameWidth;      // the name label's width
};

// Lays out a tile per record in the grid, tiles laid out before removed:
// tile i is a 90-point picture button at (P × (i mod 3) + 10, 130 × ⌊i / 3⌋
// + 10), P = (W − 290) / 2 + 90 for the grid's width W, tagged 1000 + i,
// with the name centred 10 points below it. The content height is
// 130 × ⌈n / 3⌉ + 10. The buttons, in order.
std::vector<std::shared_ptr<ui::Button>> layout(ui::ScrollView& grid, const ns::Value& records, const Style& style);

// The record a tile's tag stands for; nil when the list has none there.
ns::Value recordFor(const ns::Value& records, const std::shared_ptr<ui::Button>& tile);

inline constexpr int kTagBase = 1000;

}  // namespace tilegrid

class PartyBehalfViewController : public BaseScreen, public PPClientDelegate {
public:
    void viewDidLoad() override;

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> mscrview;
    ns::Value mdataArray = ns::Value::array();  // the counties ("id", "name", "img_url")

    // A county tile: its representatives.
    void Actions(std::shared_ptr<ui::Button> sender);

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
};
