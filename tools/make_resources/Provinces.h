// The province and city list behind the native-place picker: every
// provincial-level division with its cities (for a municipality, its
// districts and counties), written out as an XML property list.
#pragma once

#include <string>
#include <vector>

namespace klres {

struct Province {
    const char* state;                // province name as shown in the picker
    std::vector<const char*> cities;  // its cities, in the usual order
};

const std::vector<Province>& provinces();

// The list as an XML property list: an array of dictionaries
// {"state": name, "cities": [names]}.
std::string provincesPlist();

}  // namespace klres
