#include "src/util/pinyin.h"

#include <algorithm>
#include <cstdint>

#include "src/util/pinyin_table.h"

namespace Palvo::util {

namespace {

namespace table = pinyin_table;

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::uint16_t setOf(char32_t cp) {
    if (cp >= table::kDenseFirst && cp <= table::kDenseLast) return table::kDenseSet[cp - table::kDenseFirst];
    const std::uint32_t* end = table::kSparseCodePoint + table::kSparseCount;
    const std::uint32_t* it = std::lower_bound(table::kSparseCodePoint, end, static_cast<std::uint32_t>(cp));
    return it != end && *it == cp ? table::kSparseSet[it - table::kSparseCodePoint] : 0;
}

std::string_view syllable(std::uint16_t id) {
    const std::uint16_t from = table::kSyllableStart[id];
    return {table::kSyllableText + from, static_cast<std::size_t>(table::kSyllableStart[id + 1] - from)};
}

// The next code point of UTF-8 text at i, or 0xFFFD for a malformed sequence.
char32_t next(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : -1;
    if (extra < 0 || b > 0xF4) return 0xFFFD;
    char32_t cp = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

}  // namespace

bool isPinyinFilter(std::string_view typed) {
    bool letter = false;
    for (const char c : typed) {
        if (isAsciiLetter(c)) {
            letter = true;
        } else if (!isAsciiDigit(c)) {
            return false;
        }
    }
    return letter;
}

std::vector<std::string_view> pinyinReadings(char32_t cp) {
    const std::uint16_t set = setOf(cp);
    std::vector<std::string_view> out;
    for (std::uint32_t k = table::kSetStart[set]; k < table::kSetStart[set + 1]; ++k)
        out.push_back(syllable(table::kSetSyllables[k]));
    return out;
}

constexpr std::size_t kMaskBits = 64;

PinyinFilter::PinyinFilter(std::string_view typed) {
    text_.reserve(typed.size());
    for (const char c : typed) text_ += lower(c);
    if (text_.size() > kMaskBits) {
        for (auto* states : {&initials_, &full_, &nextInitials_, &nextFull_})
            states->assign(text_.size() + 1, 0);
        return;
    }
    ascii_.resize(128);
    for (int c = 0; c < 128; ++c) {
        const char ch = static_cast<char>(c);
        if ((ch >= 'a' && ch <= 'z') || isAsciiDigit(ch))
            ascii_[static_cast<std::size_t>(c)] = stepOf({&ch, 1});
    }
    syllables_.reserve(table::kSyllableCount);
    for (std::size_t k = 0; k < table::kSyllableCount; ++k)
        syllables_.push_back(stepOf(syllable(static_cast<std::uint16_t>(k))));
}

// State j: the first j letters of the text are matched and the name goes on at
// a character boundary; state 0, a fresh start, is always there.
PinyinFilter::Step PinyinFilter::stepOf(std::string_view s) const {
    const std::string_view t = text_;
    const std::size_t m = t.size();
    Step step;
    step.length = static_cast<unsigned>(s.size());
    step.inside = s.find(t) != std::string_view::npos;
    for (std::size_t j = 0; j < m; ++j) {
        const std::size_t rest = m - j;
        if (s.size() < rest) {
            if (t.compare(j, s.size(), s) == 0) step.advance |= std::uint64_t{1} << j;
        } else if (j > 0 && s.compare(0, rest, t, j, rest) == 0) {
            step.done |= std::uint64_t{1} << j;
        }
    }
    // a match may start inside a full reading, with its end
    for (std::size_t from = 1; from < s.size(); ++from) {
        const std::string_view tail = s.substr(from);
        if (tail.size() < m && t.starts_with(tail)) step.start |= std::uint64_t{1} << tail.size();
    }
    return step;
}

// Two automata run side by side over the name: one reads each Chinese
// character as the initial of one of its readings, the other as one of its
// full readings (which may also start the match part-way). ASCII letters and
// digits read as themselves in both; any other character resets them.
bool PinyinFilter::matches(std::string_view name) const {
    if (text_.empty()) return true;
    if (text_.size() > kMaskBits) return matchesLong(name);
    std::uint64_t initials = 1;
    std::uint64_t full = 1;
    for (std::size_t i = 0; i < name.size();) {
        const char32_t cp = next(name, i);
        std::uint64_t nextInitials = 1;
        std::uint64_t nextFull = 1;
        if (cp < 0x80) {
            const Step& step = ascii_[static_cast<std::size_t>(lower(static_cast<char>(cp)))];
            if (step.inside || ((initials | full) & step.done)) return true;
            nextInitials |= (initials & step.advance) << 1;
            nextFull |= (full & step.advance) << 1;
        } else {
            const std::uint16_t set = setOf(cp);
            for (std::uint32_t k = table::kSetStart[set]; k < table::kSetStart[set + 1]; ++k) {
                const std::uint16_t id = table::kSetSyllables[k];
                const Step& initial =
                    ascii_[static_cast<std::size_t>(table::kSyllableText[table::kSyllableStart[id]])];
                if (initial.inside || (initials & initial.done)) return true;
                nextInitials |= (initials & initial.advance) << 1;
                const Step& step = syllables_[id];
                if (step.inside || (full & step.done)) return true;
                nextFull |= ((full & step.advance) << step.length) | step.start;
            }
        }
        initials = nextInitials;
        full = nextFull;
    }
    return false;
}

// The same automata for texts longer than a mask, with a flag per state.
bool PinyinFilter::matchesLong(std::string_view name) const {
    const std::string_view t = text_;
    const std::size_t m = t.size();
    std::fill(initials_.begin(), initials_.end(), 0);
    std::fill(full_.begin(), full_.end(), 0);
    initials_[0] = full_[0] = 1;

    for (std::size_t i = 0; i < name.size();) {
        const char32_t cp = next(name, i);
        std::fill(nextInitials_.begin(), nextInitials_.end(), 0);
        std::fill(nextFull_.begin(), nextFull_.end(), 0);
        nextInitials_[0] = nextFull_[0] = 1;
        if (cp < 0x80) {
            // an ASCII letter or digit stands for itself in both spellings; a blank or a sign
            // breaks the name, so that nothing matched goes past it
            const char c = lower(static_cast<char>(cp));
            if (isAsciiLetter(c) || isAsciiDigit(c)) {
                for (std::size_t j = 0; j < m; ++j) {
                    if (t[j] != c) continue;
                    if (j + 1 == m && (initials_[j] || full_[j])) return true;
                    nextInitials_[j + 1] = initials_[j];
                    nextFull_[j + 1] = full_[j];
                }
            }
        } else {
            const std::uint16_t set = setOf(cp);
            for (std::uint32_t k = table::kSetStart[set]; k < table::kSetStart[set + 1]; ++k) {
                const std::string_view s = syllable(table::kSetSyllables[k]);
                // initials: the reading's first letter
                for (std::size_t j = 0; j < m; ++j) {
                    if (!initials_[j] || t[j] != s[0]) continue;
                    if (j + 1 == m) return true;
                    nextInitials_[j + 1] = 1;
                }
                // full readings, from a state under way: the whole reading, or its start ending the text
                for (std::size_t j = 1; j < m; ++j) {
                    if (!full_[j]) continue;
                    const std::size_t rest = m - j;
                    if (s.size() >= rest) {
                        if (s.compare(0, rest, t, j, rest) == 0) return true;
                    } else if (t.compare(j, s.size(), s) == 0) {
                        nextFull_[j + s.size()] = 1;
                    }
                }
                // a fresh start inside the reading: the text within it, or the reading's end its start
                if (s.find(t) != std::string_view::npos) return true;
                for (std::size_t from = 0; from < s.size(); ++from) {
                    const std::string_view tail = s.substr(from);
                    if (tail.size() < m && t.starts_with(tail)) nextFull_[tail.size()] = 1;
                }
            }
        }
        std::swap(initials_, nextInitials_);
        std::swap(full_, nextFull_);
    }
    return false;
}

}  // namespace Palvo::util
