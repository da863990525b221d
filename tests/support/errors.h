// The Palvo::Error a call raises, whole or in its parts.
#pragma once

#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "palvo/error.h"

namespace Palvo::testing {

/// The Palvo::Error a call raises; number 0 when it raises none.
inline Error raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return Error(0, "");
}

/// The number of the Palvo::Error a call raises, or 0 when it raises none.
inline long errorNumber(const std::function<void()>& f) { return raised(f).number(); }

/// The number and description of the Palvo::Error a call raises; {0, ""} when it raises none.
inline std::pair<long, std::string> errorOf(const std::function<void()>& f) {
    const Error e = raised(f);
    return {e.number(), e.description()};
}

/// The number, native code and description of the Palvo::Error a call raises; {0, 0, "ran"} when none.
inline std::tuple<long, long, std::string> fullErrorOf(const std::function<void()>& f) {
    const Error e = raised(f);
    return {e.number(), e.nativeCode(), e.number() == 0 ? "ran" : e.description()};
}

/// The description of the Palvo::Error a call raises, or "" when it raises none.
inline std::string errorDescription(const std::function<void()>& f) { return raised(f).description(); }

}  // namespace Palvo::testing
