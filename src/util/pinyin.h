// Filtering names by pinyin: the text a user types (cqs, chongqing) against the
// pinyin initials and the full toneless pinyin of a name (重庆市), every reading
// of a character counting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Palvo::util {

/// Whether a typed filter takes the pinyin path: ASCII letters and digits
/// only, at least one letter (cqs, CQS, a4z). Digits alone, Chinese, blanks,
/// punctuation or any other character keep the filter as written.
bool isPinyinFilter(std::string_view typed);

/// Every toneless reading of a character (ü written v), sorted; none for a
/// character the table does not know.
std::vector<std::string_view> pinyinReadings(char32_t cp);

/// A pinyin filter for one typed text. A name matches when the text, in any
/// case, occurs in the name written out with, for each Chinese character,
/// either the initial of one of its readings throughout (cqs in 重庆市), or one
/// of its full readings throughout (qingshi in 重庆市); ASCII letters and digits
/// of the name stand for themselves (a4z in A4纸), so a name holding the text
/// as written matches too. Any other character breaks the name in parts. The
/// readings are chosen per character: the match is a small automaton run over
/// the name, never an enumeration of its spellings. Not shared between threads.
class PinyinFilter {
public:
    explicit PinyinFilter(std::string_view typed);
    bool matches(std::string_view name) const;

private:
    // What one spelling of a character does to the automaton's states, as bit
    // masks of states (texts of up to 64 letters): the states it moves on by its
    // length, the states it completes the text from, the states a match starting
    // inside it reaches, and whether the whole text lies inside it.
    struct Step {
        std::uint64_t advance = 0;
        std::uint64_t done = 0;
        std::uint64_t start = 0;
        unsigned length = 1;
        bool inside = false;
    };
    Step stepOf(std::string_view spelling) const;
    bool matchesLong(std::string_view name) const;

    std::string text_;
    std::vector<Step> ascii_;      // by lower-case ASCII letter or digit
    std::vector<Step> syllables_;  // by syllable of the table
    // longer texts: the states as flags
    mutable std::vector<unsigned char> initials_, full_, nextInitials_, nextFull_;
};

}  // namespace Palvo::util
