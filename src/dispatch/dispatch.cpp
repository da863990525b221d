#include "src/dispatch/dispatch.h"

#include <cctype>
#include <cfloat>
#include <cmath>

#include "palvo/dispatch.h"
#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo::dispatch {

namespace {

constexpr long kObjectDoesNotSupport = 438;
constexpr long kArgumentNotOptional = 449;
constexpr long kWrongNumberOfArguments = 450;

const char* typeName(Type t) {
    switch (t) {
        case Type::None:
            return "";
        case Type::Int16:
            return "Integer";
        case Type::Int32:
            return "Long";
        case Type::Single:
            return "Single";
        case Type::Double:
            return "Double";
        case Type::Boolean:
            return "Boolean";
        case Type::Text:
            return "String";
        case Type::Variant:
            return "Variant";
    }
    return "";
}

// "an Integer", "a Long"
std::string aTypeName(Type t) { return (t == Type::Int16 ? "an " : "a ") + std::string(typeName(t)); }

[[noreturn]] void mismatch(const std::string& argText, Type type, const char* paramName) {
    throw Error(ErrorNumber::TypeMismatch, std::string("Type mismatch: argument ") + paramName + " takes " +
                                               aTypeName(type) + ", not \"" + argText + "\"");
}

double number(const std::string& argText, Type type, const char* paramName) {
    auto value = base::readNumber(argText);
    if (!value) mismatch(argText, type, paramName);
    return *value;
}

// "True" and "False" in any case, or a number (non-zero is True), as the platform's CBool reads text.
bool booleanFrom(const std::string& argText, const char* paramName) {
    try {
        return Value(argText).toBool();
    } catch (const Error& e) {
        if (e.number() == ErrorNumber::TypeMismatch) mismatch(argText, Type::Boolean, paramName);
        throw;
    }
}

const ClassTable* findClass(std::string_view name) {
    if (name.size() > 6 && base::equalsNoCase(name.substr(0, 6), "Palvo.")) name.remove_prefix(6);
    for (const ClassTable* table : classTables()) {
        if (base::equalsNoCase(table->name, name)) return table;
    }
    return nullptr;
}

}  // namespace

Value convert(const std::string& argText, Type type, const char* paramName) {
    switch (type) {
        case Type::Int16:
        case Type::Int32: {
            double r = std::nearbyint(number(argText, type, paramName));  // half to even, as the platform
            double lo = type == Type::Int16 ? -32768.0 : -2147483648.0;
            double hi = type == Type::Int16 ? 32767.0 : 2147483647.0;
            if (r < lo || r > hi) {
                throw Error(ErrorNumber::Overflow, std::string("Overflow: argument ") + paramName +
                                                       " takes " + aTypeName(type) + ", and " + argText +
                                                       " is out of its range");
            }
            return Value(static_cast<long long>(r));
        }
        case Type::Single: {
            double d = number(argText, type, paramName);
            if (std::fabs(d) > FLT_MAX) {
                throw Error(ErrorNumber::Overflow, std::string("Overflow: argument ") + paramName +
                                                       " is out of the range of a Single");
            }
            return Value(static_cast<double>(static_cast<float>(d)));
        }
        case Type::Double:
            return Value(number(argText, type, paramName));
        case Type::Boolean:
            return Value(booleanFrom(argText, paramName));
        case Type::None:
        case Type::Text:
        case Type::Variant:
            break;
    }
    return Value(argText);
}

LateBoundResult call(const Method& method, const std::vector<std::optional<std::string>>& args) {
    if (args.size() > method.params.size()) {
        throw Error(kWrongNumberOfArguments,
                    "Wrong number of arguments or invalid property assignment: " + std::string(method.name) +
                        " takes at most " + std::to_string(method.params.size()));
    }
    Args values;
    values.reserve(method.params.size());
    for (std::size_t i = 0; i < method.params.size(); ++i) {
        const Param& p = method.params[i];
        if (i < args.size() && args[i]) {
            values.push_back(convert(*args[i], p.type, p.name));
        } else if (p.optional) {
            values.push_back(p.defaultValue);
        } else {
            throw Error(kArgumentNotOptional,
                        std::string("Argument not optional: ") + method.name + " needs " + p.name);
        }
    }
    Args before = values;
    LateBoundResult out;
    out.result = method.invoke(values);
    out.hasResult = method.result != Type::None;
    if (!out.hasResult) out.result = Value();
    for (std::size_t i = 0; i < method.params.size(); ++i) {
        bool passed = i < args.size() && args[i];
        if (method.params[i].byRef && passed && !(values[i] == before[i])) {
            out.changed.push_back({method.params[i].name, values[i]});
        }
    }
    return out;
}

}  // namespace Palvo::dispatch

namespace Palvo {

using namespace dispatch;

LateBoundResult callByName(std::string_view className, std::string_view methodName,
                           const std::vector<std::optional<std::string>>& args) {
    const ClassTable* table = findClass(className);
    const Method* method = nullptr;
    if (table) {
        for (const auto& m : table->methods) {
            if (base::equalsNoCase(m.name, methodName)) method = &m;
        }
    }
    if (!method) {
        throw Error(kObjectDoesNotSupport, "Object doesn't support this property or method: " +
                                               std::string(className) + "." + std::string(methodName));
    }
    return call(*method, args);
}

std::vector<std::string> lateBoundSignatures() {
    std::vector<std::string> lines;
    for (const ClassTable* table : classTables()) {
        for (const auto& m : table->methods) {
            std::string line = std::string(table->name) + "." + m.name + "(";
            for (std::size_t i = 0; i < m.params.size(); ++i) {
                const Param& p = m.params[i];
                if (i) line += ", ";
                if (p.optional) line += "[";
                line += p.byRef ? "ByRef " : "";
                line += std::string(p.name) + " As " + typeName(p.type);
                if (p.optional) {
                    const auto* t = p.defaultValue.text();
                    line += " = " + (t ? "\"" + *t + "\"" : p.defaultValue.toText()) + "]";
                }
            }
            line += ")";
            if (m.result != Type::None) line += std::string(" As ") + typeName(m.result);
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

}  // namespace Palvo
