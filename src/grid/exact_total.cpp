#include "src/grid/exact_total.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo::grid {

namespace {

constexpr std::uint32_t kLimbBase = 1'000'000'000;
constexpr std::size_t kLimbDigits = 9;

__extension__ using UWide = unsigned __int128;

std::string digitsOf(UWide v) {
    std::string out;
    do {
        out += static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v != 0);
    std::reverse(out.begin(), out.end());
    return out;
}

}  // namespace

ExactTotal::ExactTotal() = default;

void ExactTotal::add(std::string_view text) {
    if (text.empty()) return;
    // The common cell, a plain decimal of at most 19 digits ("-2228.93"), is read here;
    // anything else (blanks, exponents, "&H", long digits, trailing text) as val reads it.
    std::size_t i = text[0] == '-' ? 1 : 0;
    const bool negative = i == 1;
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = -1;
    bool plain = i < text.size();
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > kShortDigits) {
                plain = false;
                break;
            }
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            if (decimals >= 0) ++decimals;
        } else if (c == '.' && decimals < 0) {
            decimals = 0;
        } else {
            plain = false;
            break;
        }
    }
    if (plain && count > 0) {
        addShort(negative, digits, std::max(decimals, 0));
        return;
    }
    const auto parts = base::valDecimal(text);
    if (!parts) return;
    const std::string all = parts->whole + parts->fraction;
    if (all.empty()) return;
    if (all.size() <= static_cast<std::size_t>(kShortDigits)) {
        addShort(parts->negative, std::strtoull(all.c_str(), nullptr, 10),
                 static_cast<int>(parts->fraction.size()));
    } else {
        addLong(parts->negative, all, parts->fraction.size());
    }
}

void ExactTotal::addShort(bool negative, std::uint64_t digits, int decimals) {
    const Wide v = negative ? -static_cast<Wide>(digits) : static_cast<Wide>(digits);
    Wide& sum = shortSums_[decimals];
    Wide next;
    if (__builtin_add_overflow(sum, v, &next)) {
        spill(sum, decimals, positive_, negative_);
        next = v;
    }
    sum = next;
}

void ExactTotal::addLong(bool negative, std::string_view digits, std::size_t decimals) {
    (negative ? negative_ : positive_).add(digits, decimals);
}

void ExactTotal::spill(Wide sum, int decimals, Magnitude& positive, Magnitude& negative) {
    if (sum == 0) return;
    const bool below = sum < 0;
    const UWide magnitude = below ? UWide(0) - static_cast<UWide>(sum) : static_cast<UWide>(sum);
    (below ? negative : positive).add(digitsOf(magnitude), static_cast<std::size_t>(decimals));
}

std::string ExactTotal::text() const {
    Magnitude up = positive_;
    Magnitude down = negative_;
    for (int d = 0; d <= kShortDigits; ++d) spill(shortSums_[d], d, up, down);
    const std::size_t fraction = std::max(up.fractionLimbs, down.fractionLimbs);
    up.alignTo(fraction);
    down.alignTo(fraction);
    if (up.compare(down) >= 0) {
        up.subtract(down);
        return up.text(false);
    }
    down.subtract(up);
    return down.text(true);
}

double ExactTotal::value() const {
    // strtod rounds a decimal text of any length to the nearest double
    const double v = std::strtod(text().c_str(), nullptr);
    if (!std::isfinite(v)) throw Error(ErrorNumber::Overflow, "Overflow");
    return v;
}

void ExactTotal::Magnitude::alignTo(std::size_t fraction) {
    if (fraction <= fractionLimbs) return;
    limbs.insert(limbs.begin(), fraction - fractionLimbs, 0);
    fractionLimbs = fraction;
}

void ExactTotal::Magnitude::add(std::string_view digits, std::size_t decimals) {
    alignTo((decimals + kLimbDigits - 1) / kLimbDigits);
    // the digits as they stand against the limbs: zeros after them up to the limbs' point
    const std::size_t length = digits.size() + fractionLimbs * kLimbDigits - decimals;
    const std::size_t count = (length + kLimbDigits - 1) / kLimbDigits;
    if (limbs.size() < count) limbs.resize(count, 0);
    std::uint64_t carry = 0;
    std::size_t i = 0;
    for (; i < count; ++i) {
        const std::size_t end = length - i * kLimbDigits;
        const std::size_t start = end > kLimbDigits ? end - kLimbDigits : 0;
        std::uint32_t v = 0;
        for (std::size_t p = start; p < end; ++p)
            v = v * 10 + (p < digits.size() ? static_cast<std::uint32_t>(digits[p] - '0') : 0);
        const std::uint64_t s = std::uint64_t{limbs[i]} + v + carry;
        limbs[i] = static_cast<std::uint32_t>(s % kLimbBase);
        carry = s / kLimbBase;
    }
    for (; carry != 0; ++i) {
        if (i == limbs.size()) limbs.push_back(0);
        const std::uint64_t s = std::uint64_t{limbs[i]} + carry;
        limbs[i] = static_cast<std::uint32_t>(s % kLimbBase);
        carry = s / kLimbBase;
    }
}

int ExactTotal::Magnitude::compare(const Magnitude& other) const {
    const auto top = [](const std::vector<std::uint32_t>& l) {
        std::size_t n = l.size();
        while (n > 0 && l[n - 1] == 0) --n;
        return n;
    };
    const std::size_t a = top(limbs);
    const std::size_t b = top(other.limbs);
    if (a != b) return a < b ? -1 : 1;
    for (std::size_t i = a; i-- > 0;) {
        if (limbs[i] != other.limbs[i]) return limbs[i] < other.limbs[i] ? -1 : 1;
    }
    return 0;
}

void ExactTotal::Magnitude::subtract(const Magnitude& smaller) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs.size(); ++i) {
        std::int64_t d = std::int64_t{limbs[i]} - borrow - (i < smaller.limbs.size() ? smaller.limbs[i] : 0);
        borrow = d < 0 ? 1 : 0;
        if (d < 0) d += kLimbBase;
        limbs[i] = static_cast<std::uint32_t>(d);
    }
}

std::string ExactTotal::Magnitude::text(bool negative) const {
    std::string all;
    all.reserve(limbs.size() * kLimbDigits);
    for (std::size_t i = limbs.size(); i-- > 0;) {
        const std::string limb = std::to_string(limbs[i]);
        all.append(kLimbDigits - limb.size(), '0').append(limb);
    }
    const std::size_t point = all.size() - fractionLimbs * kLimbDigits;
    std::string_view whole = std::string_view(all).substr(0, point);
    std::string_view fraction = std::string_view(all).substr(point);
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
    const std::size_t lastDigit = fraction.find_last_not_of('0');
    fraction = fraction.substr(0, lastDigit == std::string_view::npos ? 0 : lastDigit + 1);
    if (whole.empty() && fraction.empty()) return "0";
    std::string out = negative ? "-" : "";
    out += whole.empty() ? std::string_view("0") : whole;
    if (!fraction.empty()) out.append(1, '.').append(fraction);
    return out;
}

}  // namespace Palvo::grid
