// The pinyin readings of Chinese characters, generated at build time from
// Unicode's Unihan data (src/util/pinyin_gen/pinyin_table_gen.cpp): every
// reading without its tone, ü written v.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Palvo::util::pinyin_table {

/// The syllables, sorted, joined without separators; syllable i is
/// kSyllableText[kSyllableStart[i]] up to kSyllableStart[i + 1].
extern const char kSyllableText[];
extern const std::uint16_t kSyllableStart[];
extern const std::size_t kSyllableCount;

/// Reading set s holds the syllables kSetSyllables[kSetStart[s]] up to
/// kSetStart[s + 1]; set 0 is empty (a character without a reading).
extern const std::uint32_t kSetStart[];
extern const std::uint16_t kSetSyllables[];

/// The set of each code point from U+3400 to U+9FFF (Extension A and the unified block).
constexpr char32_t kDenseFirst = 0x3400;
constexpr char32_t kDenseLast = 0x9FFF;
extern const std::uint16_t kDenseSet[];

/// The other code points with readings, ascending, and their sets.
extern const std::uint32_t kSparseCodePoint[];
extern const std::uint16_t kSparseSet[];
extern const std::size_t kSparseCount;

}  // namespace Palvo::util::pinyin_table
