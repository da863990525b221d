// The number of the Palvo::Error a call raises, or 0 when it raises none.
#pragma once

#include <functional>

#include "palvo/error.h"

namespace Palvo::testing {

inline long errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace Palvo::testing
