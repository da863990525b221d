// The exact total of a grid column: every cell's leading number as val reads
// it, added on its decimal digits, so 0.1 + 0.2 is 0.3 and the total does not
// depend on the order of the rows. No running total can overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Palvo::grid {

class ExactTotal {
public:
    ExactTotal();

    /// Adds the leading number of a cell text as val reads it (a text without
    /// one adds 0). Raises Palvo::Error 6 where val does (a number beyond a double).
    void add(std::string_view text);

    /// The total in plain decimal digits: "-" when negative, no leading zeros,
    /// no trailing zeros after the point, so never more decimals than the
    /// addend with the most; "0" for zero.
    std::string text() const;

    /// The double nearest the total. Raises Palvo::Error 6 when that is beyond
    /// the largest double.
    double value() const;

private:
    __extension__ using Wide = __int128;
    // Short addends (at most 19 digits) are added into one wide sum per count of decimals.
    static constexpr int kShortDigits = 19;

    // A non-negative number of any size: base 10^9 limbs, least significant
    // first, the lowest fractionLimbs of them after the point.
    struct Magnitude {
        std::vector<std::uint32_t> limbs;
        std::size_t fractionLimbs = 0;
        void add(std::string_view digits, std::size_t decimals);
        void alignTo(std::size_t fraction);
        int compare(const Magnitude& other) const;  // both aligned
        void subtract(const Magnitude& smaller);    // both aligned, smaller <= *this
        std::string text(bool negative) const;
    };

    void addShort(bool negative, std::uint64_t digits, int decimals);
    void addLong(bool negative, std::string_view digits, std::size_t decimals);
    /// Moves a wide sum into the magnitudes.
    static void spill(Wide sum, int decimals, Magnitude& positive, Magnitude& negative);

    Wide shortSums_[kShortDigits + 1] = {};
    Magnitude positive_;
    Magnitude negative_;
};

}  // namespace Palvo::grid
