// The logged-in member, as the service described it at login. The fields
// are the stored values as they came (texts, or numbers from the service);
// a field that was never stored is nil.
#pragma once

#include <memory>

#include "foundation/Value.h"

class MemberData {
public:
    ns::Value member_id;
    ns::Value uname;
    ns::Value type;
    ns::Value area_id;
    ns::Value real_name;
    ns::Value user_name;
    ns::Value password;
};

using MemberDataPtr = std::shared_ptr<MemberData>;
