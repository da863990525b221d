// The method tables behind late-bound calls: one table per class, each entry
// bound to its member function by bind<>, which reads the argument types and
// the result from the member's signature.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "palvo/cursor.h"
#include "palvo/dispatch.h"
#include "palvo/grid.h"
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

/// A parameter as the table names it: its name, its default when the caller may
/// leave it out, and whether the method takes it by reference (the platform's
/// ByRef, which a C++ const reference cannot show). Its type comes from the
/// member function's signature.
struct Arg {
    Arg(const char* n) : name(n) {}  // NOLINT: a plain name is the common case
    Arg(const char* n, bool r, std::optional<Value> d) : name(n), byRef(r), defaultValue(std::move(d)) {}
    const char* name;
    bool byRef = false;
    std::optional<Value> defaultValue;
};
inline Arg ref(const char* name) { return {name, true, std::nullopt}; }
inline Arg opt(const char* name, Value def) { return {name, false, std::move(def)}; }
inline Arg optRef(const char* name, Value def) { return {name, true, std::move(def)}; }

/// How a C++ parameter type travels as an argument: its table type, the value the
/// call holds while the method runs, and what a by-reference argument gives back.
template <class T>
struct Slot;

template <>
struct Slot<std::string> {
    static constexpr Type type = Type::Text;
    static std::string hold(const Value& v) { return v.toText(); }
    static std::string& pass(std::string& h) { return h; }
    static Value back(const std::string& h) { return Value(h); }
};
template <>
struct Slot<std::int16_t> {
    static constexpr Type type = Type::Int16;
    static std::int16_t hold(const Value& v) { return static_cast<std::int16_t>(v.toInt64()); }
    static std::int16_t& pass(std::int16_t& h) { return h; }
    static Value back(std::int16_t h) { return Value(h); }
};
template <>
struct Slot<std::int32_t> {
    static constexpr Type type = Type::Int32;
    static std::int32_t hold(const Value& v) { return static_cast<std::int32_t>(v.toInt64()); }
    static std::int32_t& pass(std::int32_t& h) { return h; }
    static Value back(std::int32_t h) { return Value(h); }
};
template <>
struct Slot<float> {
    static constexpr Type type = Type::Single;
    static float hold(const Value& v) { return static_cast<float>(v.toDouble()); }
    static float& pass(float& h) { return h; }
    static Value back(float h) { return Value(static_cast<double>(h)); }
};
template <>
struct Slot<double> {
    static constexpr Type type = Type::Double;
    static double hold(const Value& v) { return v.toDouble(); }
    static double& pass(double& h) { return h; }
    static Value back(double h) { return Value(h); }
};
template <>
struct Slot<bool> {
    static constexpr Type type = Type::Boolean;
    static bool hold(const Value& v) { return v.toBool(); }
    static bool& pass(bool& h) { return h; }
    static Value back(bool h) { return Value(h); }
};
template <>
struct Slot<Value> {
    static constexpr Type type = Type::Variant;
    static Value hold(const Value& v) { return v; }
    static Value& pass(Value& h) { return h; }
    static Value back(const Value& h) { return h; }
};

/// A grid cannot travel as text, so a grid argument is the statement that fills
/// it: the call fills a grid of its own with it as sFillTable does (running
/// numbers on); its failure is the call's. An empty text is no grid.
std::unique_ptr<FlexGrid> statementGrid(const std::string& statement);

template <>
struct Slot<FlexGrid> {
    static constexpr Type type = Type::Text;
    static std::unique_ptr<FlexGrid> hold(const Value& v) { return statementGrid(v.toText()); }
    static FlexGrid& pass(std::unique_ptr<FlexGrid>& h) { return *h; }
};
template <>
struct Slot<FlexGrid*> {
    static constexpr Type type = Type::Text;
    static std::unique_ptr<FlexGrid> hold(const Value& v) {
        return v.toText().empty() ? nullptr : statementGrid(v.toText());
    }
    static FlexGrid* pass(std::unique_ptr<FlexGrid>& h) { return h.get(); }
};

/// The table type of a result, and the result as a value.
template <class R>
constexpr Type resultType() {
    if constexpr (std::is_void_v<R>) {
        return Type::None;
    } else if constexpr (std::is_same_v<R, Value> || std::is_same_v<R, POINTAPI>) {
        return Type::Variant;
    } else {
        return Slot<R>::type;
    }
}
template <class R>
Value resultValue(R r) {
    return Value(r);
}
/// The record comes back as its text, "X=12,Y=34".
template <>
inline Value resultValue(POINTAPI pt) {
    return Value("X=" + std::to_string(pt.X) + ",Y=" + std::to_string(pt.Y));
}

template <class P>
using SlotOf = Slot<std::remove_cvref_t<P>>;

// A parameter the method may change: its value goes back to the caller's slot
// (a grid stays the statement it was).
template <class P>
constexpr bool changes = std::is_lvalue_reference_v<P> && !std::is_const_v<std::remove_reference_t<P>> &&
                         !std::is_same_v<std::remove_cvref_t<P>, FlexGrid>;

template <class C, class R, class... P, std::size_t... I>
Value invokeMember(R (C::*member)(P...), Args& a, std::index_sequence<I...>) {
    // braces: the arguments are made in order, so grids fill in parameter order
    std::tuple<decltype(SlotOf<P>::hold(a[I]))...> held{SlotOf<P>::hold(a[I])...};
    C object;
    Value result;
    if constexpr (std::is_void_v<R>) {
        (object.*member)(SlotOf<P>::pass(std::get<I>(held))...);
    } else {
        result = resultValue<R>((object.*member)(SlotOf<P>::pass(std::get<I>(held))...));
    }
    (
        [&] {
            if constexpr (changes<P>) a[I] = SlotOf<P>::back(std::get<I>(held));
        }(),
        ...);
    return result;
}

template <auto Member>
struct Bound;
template <class C, class R, class... P, R (C::*M)(P...)>
struct Bound<M> {
    static constexpr std::size_t arity = sizeof...(P);
    static Value invoke(Args& a) { return invokeMember(M, a, std::index_sequence_for<P...>{}); }
    static std::vector<Param> params(const std::vector<Arg>& args) {
        std::vector<Param> out;
        const Type types[] = {SlotOf<P>::type..., Type::None};
        for (std::size_t i = 0; i < args.size(); ++i) {
            const Arg& g = args[i];
            out.push_back(
                {g.name, types[i], g.byRef, g.defaultValue.has_value(), g.defaultValue.value_or(Value())});
        }
        return out;
    }
    static constexpr Type result = resultType<R>();
};

/// The table entry of a member function: the name and each parameter's name and
/// default are written by hand; types, conversions and the result come from the
/// member's signature.
template <auto Member, class... A>
Method bind(const char* name, A... args) {
    using B = Bound<Member>;
    static_assert(sizeof...(A) == B::arity, "name every parameter of the member function");
    return {name, B::result, B::params({Arg(args)...}), &B::invoke};
}

/// Converts an argument text to the type (errors 13 and 6 as the platform raises them).
Value convert(const std::string& argText, Type type, const char* paramName);

/// Converts the arguments, invokes the method and collects the by-reference
/// arguments it changed (the work of callByName once the method is found).
LateBoundResult call(const Method& method, const std::vector<std::optional<std::string>>& args);

/// Every registered table (tables.cpp).
const std::vector<const ClassTable*>& classTables();

}  // namespace Palvo::dispatch
