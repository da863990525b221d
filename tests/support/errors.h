// The number of the Palvo::Error a call raises, or 0 when it raises none.
#pragma once

#include <functional>
#include <string>
#include <tuple>
#include <utility>

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

/// The Palvo::Error a call raises; number 0 when it raises none.
inline Error raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return Error(0, "");
}

/// The number and description of the Palvo::Error a call raises; {0, ""} when it raises none.
inline std::pair<long, std::string> errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return {e.number(), e.description()};
    }
    return {0, ""};
}

/// The number, native code and description of the Palvo::Error a call raises; {0, 0, "ran"} when none.
inline std::tuple<long, long, std::string> fullErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return {e.number(), e.nativeCode(), e.description()};
    }
    return {0, 0, "ran"};
}

/// The description of the Palvo::Error a call raises, or "" when it raises none.
inline std::string errorDescription(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.description();
    }
    return {};
}

}  // namespace Palvo::testing
