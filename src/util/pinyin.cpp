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
    for (std::size_t i = 0; i < typed.size();) {
        const char c = typed[i];
        if (isAsciiLetter(c)) {
            letter = true;
            ++i;
        } else if (isAsciiDigit(c)) {
            ++i;
        } else if (static_cast<unsigned char>(c) < 0x80 || setOf(next(typed, i)) == 0) {
            return false;  // a sign, a blank, or a character without a reading
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

namespace {

void setBit(std::uint64_t* words, std::size_t bit) {
    words[bit / kMaskBits] |= std::uint64_t{1} << (bit % kMaskBits);
}

std::string utf8(char32_t cp) {
    std::string out;
    if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (cp & 0x3F));
    return out;
}

// The text's characters beyond ASCII, each once, in order.
std::vector<char32_t> literalsOf(std::string_view text) {
    std::vector<char32_t> found;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const char32_t cp = next(text, i);
        if (cp != 0xFFFD && std::find(found.begin(), found.end(), cp) == found.end()) found.push_back(cp);
    }
    return found;
}

}  // namespace

PinyinFilter::PinyinFilter(std::string_view typed) {
    text_.reserve(typed.size());
    for (const char c : typed) text_ += lower(c);
    if (text_.size() > kMaskBits) return;  // the wide steps wait for a name that could match
    ascii_.resize(128);
    for (int c = 0; c < 128; ++c) {
        const char ch = static_cast<char>(c);
        if ((ch >= 'a' && ch <= 'z') || isAsciiDigit(ch))
            ascii_[static_cast<std::size_t>(c)] = stepOf({&ch, 1});
    }
    syllables_.reserve(table::kSyllableCount);
    for (std::size_t k = 0; k < table::kSyllableCount; ++k)
        syllables_.push_back(stepOf(syllable(static_cast<std::uint16_t>(k))));
    for (const char32_t cp : literalsOf(text_)) literals_.emplace_back(cp, stepOf(utf8(cp)));
}

// State j: the first j bytes of the text are matched and the name goes on at
// a character boundary; state 0, a fresh start, is always there. Sets the
// step's bits in masks of enough words; returns whether the text lies inside
// the spelling.
bool PinyinFilter::markStep(std::string_view s, std::uint64_t* advance, std::uint64_t* done,
                            std::uint64_t* start) const {
    const std::string_view t = text_;
    const std::size_t m = t.size();
    for (std::size_t j = 0; j < m; ++j) {
        const std::size_t rest = m - j;
        if (s.size() < rest) {
            if (t.compare(j, s.size(), s) == 0) setBit(advance, j);
        } else if (j > 0 && s.compare(0, rest, t, j, rest) == 0) {
            setBit(done, j);
        }
    }
    // a match may start inside a full reading, with its end
    for (std::size_t from = 1; from < s.size(); ++from) {
        const std::string_view tail = s.substr(from);
        if (tail.size() < m && t.starts_with(tail)) setBit(start, tail.size());
    }
    return s.find(t) != std::string_view::npos;
}

PinyinFilter::Step PinyinFilter::stepOf(std::string_view s) const {
    Step step;
    step.length = static_cast<unsigned>(s.size());
    step.inside = markStep(s, &step.advance, &step.done, &step.start);
    return step;
}

PinyinFilter::WideStep PinyinFilter::wideStepOf(std::string_view s) const {
    WideStep step;
    step.at = wide_.size();
    step.length = static_cast<unsigned>(s.size());
    wide_.resize(wide_.size() + 3 * words_, 0);
    std::uint64_t* bits = wide_.data() + step.at;
    step.inside = markStep(s, bits, bits + words_, bits + 2 * words_);
    return step;
}

const PinyinFilter::Step* PinyinFilter::literalStep(char32_t cp) const {
    for (const auto& [c, step] : literals_) {
        if (c == cp) return &step;
    }
    return nullptr;
}

const PinyinFilter::WideStep* PinyinFilter::wideLiteralStep(char32_t cp) const {
    for (const auto& [c, step] : wideLiterals_) {
        if (c == cp) return &step;
    }
    return nullptr;
}

// Two automata run side by side over the name: one reads each Chinese
// character as the initial of one of its readings, the other as one of its
// full readings (which may also start the match part-way). ASCII letters and
// digits read as themselves in both, and so does a character the text holds;
// any other character resets them.
bool PinyinFilter::matches(std::string_view name) const {
    if (text_.empty()) return true;
    if (text_.size() > kMaskBits) return matchesWide(name);
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
            if (!literals_.empty()) {
                if (const Step* step = literalStep(cp)) {
                    if ((initials | full) & step->done) return true;
                    nextInitials |= (initials & step->advance) << step->length;
                    nextFull |= (full & step->advance) << step->length;
                }
            }
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

void PinyinFilter::prepareWide() const {
    if (words_ != 0) return;
    words_ = text_.size() / kMaskBits + 1;  // states 0 to m - 1, and room for a shift's carry
    wide_.assign(3 * words_, 0);            // the step of a character that breaks the name
    wideAscii_.assign(128, WideStep{});
    for (int c = 0; c < 128; ++c) {
        const char ch = static_cast<char>(c);
        if ((ch >= 'a' && ch <= 'z') || isAsciiDigit(ch))
            wideAscii_[static_cast<std::size_t>(c)] = wideStepOf({&ch, 1});
    }
    wideSyllables_.reserve(table::kSyllableCount);
    for (std::size_t k = 0; k < table::kSyllableCount; ++k)
        wideSyllables_.push_back(wideStepOf(syllable(static_cast<std::uint16_t>(k))));
    for (const char32_t cp : literalsOf(text_)) wideLiterals_.emplace_back(cp, wideStepOf(utf8(cp)));
    for (auto* states : {&initials_, &full_, &nextInitials_, &nextFull_}) states->assign(words_, 0);
}

namespace {

// Whether any state of `states` (words 0 to top) is one the step completes the text from.
bool completes(const std::uint64_t* states, const std::uint64_t* done, std::size_t top) {
    for (std::size_t w = 0; w <= top; ++w) {
        if (states[w] & done[w]) return true;
    }
    return false;
}

// to |= (from & advance) << by, over words 0 to top of from (by < 64).
void moveOn(std::uint64_t* to, const std::uint64_t* from, const std::uint64_t* advance, unsigned by,
            std::size_t top, std::size_t words) {
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w <= top; ++w) {
        const std::uint64_t moved = from[w] & advance[w];
        to[w] |= (moved << by) | carry;
        carry = by == 0 ? 0 : moved >> (kMaskBits - by);
    }
    if (top + 1 < words) to[top + 1] |= carry;
}

}  // namespace

// The same automata for texts longer than a mask, their states in several
// words. Only the words up to the highest state reached are touched: a state
// moves on by six bytes at most a character.
bool PinyinFilter::matchesWide(std::string_view name) const {
    // no spelling has more than two letters a byte: six for a character of three or four bytes
    if (text_.size() > 2 * name.size()) return false;
    prepareWide();
    const std::size_t words = words_;
    for (auto* states : {&initials_, &full_, &nextInitials_, &nextFull_})
        std::fill(states->begin(), states->end(), 0);
    initials_[0] = full_[0] = 1;
    std::size_t top = 0;      // the highest word of initials_ and full_ that may be set
    std::size_t nextTop = 0;  // the same of the next ones, left from the step before
    for (std::size_t i = 0; i < name.size();) {
        const char32_t cp = next(name, i);
        const std::size_t reach = std::min(words - 1, top + 1);
        const std::size_t clear = std::max(reach, nextTop);
        std::fill_n(nextInitials_.begin(), clear + 1, 0);
        std::fill_n(nextFull_.begin(), clear + 1, 0);
        nextInitials_[0] = nextFull_[0] = 1;
        std::uint64_t* ni = nextInitials_.data();
        std::uint64_t* nf = nextFull_.data();
        const std::uint64_t* in = initials_.data();
        const std::uint64_t* fu = full_.data();
        const auto both = [&](const WideStep& step) {
            const std::uint64_t* bits = wide_.data() + step.at;
            if (completes(in, bits + words, top) || completes(fu, bits + words, top)) return true;
            moveOn(ni, in, bits, step.length, top, words);
            moveOn(nf, fu, bits, step.length, top, words);
            return false;
        };
        if (cp < 0x80) {
            const WideStep& step = wideAscii_[static_cast<std::size_t>(lower(static_cast<char>(cp)))];
            if (step.at != 0 && both(step)) return true;
        } else {
            if (const WideStep* step = wideLiteralStep(cp); step && both(*step)) return true;
            const std::uint16_t set = setOf(cp);
            for (std::uint32_t k = table::kSetStart[set]; k < table::kSetStart[set + 1]; ++k) {
                const std::uint16_t id = table::kSetSyllables[k];
                const WideStep& initial =
                    wideAscii_[static_cast<std::size_t>(table::kSyllableText[table::kSyllableStart[id]])];
                const std::uint64_t* ib = wide_.data() + initial.at;
                if (completes(in, ib + words, top)) return true;
                moveOn(ni, in, ib, 1, top, words);
                const WideStep& step = wideSyllables_[id];
                const std::uint64_t* sb = wide_.data() + step.at;
                if (completes(fu, sb + words, top)) return true;
                moveOn(nf, fu, sb, step.length, top, words);
                nf[0] |= sb[2 * words];  // a start inside the reading reaches six bytes at most
            }
        }
        std::size_t reached = reach;
        while (reached > 0 && ni[reached] == 0 && nf[reached] == 0) --reached;
        nextTop = top;  // what the arrays swapped out still hold
        top = reached;
        std::swap(initials_, nextInitials_);
        std::swap(full_, nextFull_);
    }
    return false;
}

}  // namespace Palvo::util
