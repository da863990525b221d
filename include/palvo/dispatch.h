// Late-bound calls: any control-free method of the eight classes, called by
// class and method name with text arguments, as an automation client does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/export.h"
#include "palvo/value.h"

namespace Palvo {

/// What a late-bound call gives back.
struct PALVO_API LateBoundResult {
    /// False for a method that returns nothing.
    bool hasResult = false;
    Value result;
    /// By-reference arguments the method changed, in parameter order.
    struct Changed {
        std::string name;
        Value value;
    };
    std::vector<Changed> changed;
};

/// Calls className.methodName (both without regard to case; "Palvo.clsIp" and
/// "clsIp" name the same class). Each argument is text converted to its
/// parameter's type; nullopt or a missing trailing argument takes the default.
/// Throws Palvo::Error: 438 unknown class or method, 449 a required argument
/// missing, 450 too many arguments, 13 an argument that does not convert,
/// 6 a number out of its type's range, and whatever the method itself raises.
PALVO_API LateBoundResult callByName(std::string_view className, std::string_view methodName,
                                     const std::vector<std::optional<std::string>>& args);

/// One line per callable method, "clsIp.bIsIP(sIP As String) As Boolean", for help texts.
PALVO_API std::vector<std::string> lateBoundSignatures();

}  // namespace Palvo
