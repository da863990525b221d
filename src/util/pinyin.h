// Filtering names by pinyin: the text a user types (cqs, chongqing) against the
// pinyin initials and the full toneless pinyin of a name (重庆市), every reading
// of a character counting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Palvo::util {

/// Whether a typed filter takes the pinyin path: ASCII letters, digits and
/// Chinese characters that have a reading, at least one letter (cqs, CQS, a4z,
/// 重q). Digits alone, Chinese alone, blanks, punctuation or any other
/// character keep the filter as written.
bool isPinyinFilter(std::string_view typed);

/// Every toneless reading of a character (ü written v), sorted; none for a
/// character the table does not know.
std::vector<std::string_view> pinyinReadings(char32_t cp);

/// A pinyin filter for one typed text. A name matches when the text, in any
/// case, occurs in the name written out with, for each Chinese character,
/// either the initial of one of its readings throughout (cqs in 重庆市), or one
/// of its full readings throughout (qingshi in 重庆市); ASCII letters and digits
/// of the name stand for themselves (a4z in A4纸), and so does a Chinese
/// character of the text (重q in 重庆市), so a name holding the text as written
/// matches too. Any other character breaks the name in parts. The readings
/// are chosen per character: the match is a small automaton run over the name,
/// never an enumeration of its spellings, in time linear in the name's length
/// and the text's. A text longer than any spelling of a name (two letters a
/// byte of UTF-8 at most) fails it at once. Not shared between threads.
class PinyinFilter {
public:
    explicit PinyinFilter(std::string_view typed);
    bool matches(std::string_view name) const;

private:
    // What one spelling of a character does to the automaton's states, as bit
    // masks of states (texts of up to 64 bytes): the states it moves on by its
    // length, the states it completes the text from, the states a match starting
    // inside it reaches, and whether the whole text lies inside it.
    struct Step {
        std::uint64_t advance = 0;
        std::uint64_t done = 0;
        std::uint64_t start = 0;
        unsigned length = 1;
        bool inside = false;
    };
    // The same for longer texts, the masks of `words_` words each at `at` in wide_.
    struct WideStep {
        std::size_t at = 0;
        unsigned length = 1;
        bool inside = false;
    };
    bool markStep(std::string_view spelling, std::uint64_t* advance, std::uint64_t* done,
                  std::uint64_t* start) const;
    Step stepOf(std::string_view spelling) const;
    WideStep wideStepOf(std::string_view spelling) const;
    const Step* literalStep(char32_t cp) const;
    const WideStep* wideLiteralStep(char32_t cp) const;
    void prepareWide() const;
    bool matchesWide(std::string_view name) const;

    std::string text_;                                 // lower-case ASCII, other characters as UTF-8
    std::vector<Step> ascii_;                          // by lower-case ASCII letter or digit
    std::vector<Step> syllables_;                      // by syllable of the table
    std::vector<std::pair<char32_t, Step>> literals_;  // the text's own characters beyond ASCII
    // longer texts: built for the first name that could match
    mutable std::size_t words_ = 0;
    mutable std::vector<std::uint64_t> wide_;
    mutable std::vector<WideStep> wideAscii_, wideSyllables_;
    mutable std::vector<std::pair<char32_t, WideStep>> wideLiterals_;
    mutable std::vector<std::uint64_t> initials_, full_, nextInitials_, nextFull_;
};

}  // namespace Palvo::util
