// The demo service's pictures, drawn from their descriptions in the data
// folder's pictures.json rather than kept as binary files:
//
//   {"name": "bridge.png", "width": 600, "height": 360, "scene": "bridge",
//    "sky": ["#3c7fc8", "#bfe0f7"], "ground": "#2e6f9e", "caption": "溪口大桥合龙"}
//
// Scenes: "city", "field", "bridge", "hills", "river" (a landscape under a
// sky running from the first colour at the top to the second) and "book" (a
// cover in the sky colours with the caption as its title, in the ground
// colour) and "portrait" (head and shoulders in the ground colour before the
// sky colours; no caption). Landscapes carry the caption on a band along
// their bottom edge.
#pragma once

#include <string>

#include "foundation/Value.h"

namespace demo {

// The picture as PNG bytes; empty when the description cannot be drawn
// (a size of zero or beyond 4000 pixels a side, an unknown scene).
std::string drawPicture(const ns::Value& description);

}  // namespace demo
