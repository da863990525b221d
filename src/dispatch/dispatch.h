// The method tables behind late-bound calls. Each module describes its
// control-free methods in one small table per class; dispatch.cpp lists the tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "palvo/dispatch.h"
#include "palvo/value.h"

namespace Palvo::dispatch {

enum class Type { None, Int16, Int32, Single, Double, Boolean, Text, Variant };

struct Param {
    const char* name;
    Type type;
    bool byRef = false;
    bool optional = false;
    Value defaultValue{};
};

/// Arguments arrive converted to their parameter types (Int16/Int32 as integers,
/// Single/Double as doubles, Boolean as bool, Text and Variant as text); an
/// invoker writes by-reference results back into its slot.
using Args = std::vector<Value>;
using Invoke = Value (*)(Args& args);

struct Method {
    const char* name;
    Type result;
    std::vector<Param> params;
    Invoke invoke;
};

struct ClassTable {
    const char* name;
    std::vector<Method> methods;
};

// Helpers for invokers.
inline std::string text(const Value& v) { return v.toText(); }
inline std::int16_t int16(const Value& v) { return static_cast<std::int16_t>(v.toInt64()); }
inline std::int32_t int32(const Value& v) { return static_cast<std::int32_t>(v.toInt64()); }
inline bool boolean(const Value& v) { return v.toBool(); }

/// Converts an argument text to the type (errors 13 and 6 as the platform raises them).
Value convert(const std::string& argText, Type type, const char* paramName);

// The tables, one per class, defined next to the code they call.
const ClassTable& clsIpMethods();
const ClassTable& clsElseMethods();
const ClassTable& clsDatabaseMethods();
const ClassTable& clsFormMethods();
const ClassTable& clsFunctionMethods();
const ClassTable& clsSearchMethods();
const ClassTable& clsPrintMethods();

/// Converts the arguments, invokes the method and collects the by-reference
/// arguments it changed (the work of callByName once the method is found).
LateBoundResult call(const Method& method, const std::vector<std::optional<std::string>>& args);

/// Every registered table.
const std::vector<const ClassTable*>& classTables();

}  // namespace Palvo::dispatch
