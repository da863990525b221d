// Field values: the variant every recordset field, grid cell source and
// late-bound argument travels in. Null stays distinct from "".
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "palvo/export.h"

namespace Palvo {

/// A calendar date with a time of day, as the database hands it over.
struct PALVO_API DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool hasTime() const { return hour != 0 || minute != 0 || second != 0 || millisecond != 0; }
    /// "YYYY-MM-DD", followed by " HH:MM:SS" when there is a time of day.
    std::string toText() const;
    /// "YYYY-MM-DD HH:MM:SS.mmm", the form the embedded database stores.
    std::string toIso() const;
    /// Reads "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" (also with 'T' or '/'); nullopt otherwise.
    static std::optional<DateTime> parse(std::string_view text);
    /// Whether the fields name a real calendar date and time.
    bool valid() const;
    /// The local date and time now.
    static DateTime now();
    auto operator<=>(const DateTime&) const = default;
};

/// An exact decimal number kept as its canonical text ("12.50" stays "12.50").
struct PALVO_API Decimal {
    std::string text;
    bool operator==(const Decimal&) const = default;
};

/// Raw bytes of a binary or image column.
struct PALVO_API Bytes {
    std::vector<unsigned char> data;
    bool operator==(const Bytes&) const = default;
};

/// A field value: Null, boolean, integer, double, decimal, date-time, text or bytes.
class PALVO_API Value {
public:
    enum class Kind { Null, Boolean, Integer, Double, Decimal, DateTime, Text, Bytes };

    Value() = default;
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(Palvo::Decimal d) : v_(std::move(d)) {}
    Value(Palvo::DateTime d) : v_(d) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::in_place_type<std::string>, s) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(Palvo::Bytes b) : v_(std::move(b)) {}

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return v_.index() == 0; }

    /// The text a user sees: "" for Null, numbers in shortest decimal form,
    /// booleans as True/False, dates as YYYY-MM-DD[ HH:MM:SS].
    std::string toText() const;
    /// Like toText(), but Null raises error 94 ("Invalid use of Null").
    std::string toTextStrict() const;
    /// Numeric value; text is read as a whole number or decimal.
    /// Throws Palvo::Error 13 (type mismatch) when the value is not a number; Null raises 94.
    double toDouble() const;
    /// Whole number, rounded half to even as the host platform does; same errors as toDouble.
    std::int64_t toInt64() const;
    bool toBool() const;

    /// Makes the value the text, in the room of the text it holds when it holds one
    /// (a reader that fills the same values row after row allocates once).
    void assignText(std::string_view s) {
        if (auto* t = std::get_if<std::string>(&v_))
            t->assign(s);
        else
            v_.emplace<std::string>(s);
    }

    const std::string* text() const { return std::get_if<std::string>(&v_); }
    const Palvo::DateTime* dateTime() const { return std::get_if<Palvo::DateTime>(&v_); }
    const Palvo::Bytes* bytes() const { return std::get_if<Palvo::Bytes>(&v_); }
    const Palvo::Decimal* decimal() const { return std::get_if<Palvo::Decimal>(&v_); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&v_); }
    const double* real() const { return std::get_if<double>(&v_); }
    const bool* boolean() const { return std::get_if<bool>(&v_); }

    bool operator==(const Value& o) const = default;

private:
    std::variant<std::monostate, bool, std::int64_t, double, Palvo::Decimal, Palvo::DateTime, std::string,
                 Palvo::Bytes>
        v_;
};

/// Shortest decimal text that reads back as the same double (7.5, 12, 1.1).
PALVO_API std::string formatNumber(double d);

}  // namespace Palvo
