// The Chinese collation of text columns and text comparisons. ICU decides;
// strings that are ASCII up to their first difference are decided by a table
// of ICU's own primary order, built once per process and used only where it
// provably gives ICU's answer (checked against this ICU's data when built).
#ifdef PALVO_TSQL_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#include <unicode/ucol.h>
#include <unicode/uset.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "collation.h"

namespace Palvo::sqlite {

namespace {

UCollator* openIcu(UErrorCode& status) {
    UCollator* c = ucol_open("zh", &status);
    if (U_FAILURE(status)) return nullptr;
    if (status == U_USING_DEFAULT_WARNING) {  // no Chinese data: root order has no pinyin
        ucol_close(c);
        status = U_MISSING_RESOURCE_ERROR;
        return nullptr;
    }
    // CI_AS: case and width are tertiary differences, accents secondary.
    ucol_setAttribute(c, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    // ICU's Chinese order puts Han before Latin; SQL Server sorts Latin letters first.
    const int32_t none = UCOL_REORDER_CODE_NONE;
    ucol_setReorderCodes(c, &none, 1, &status);
    if (U_FAILURE(status)) {
        ucol_close(c);
        return nullptr;
    }
    return c;
}

// rank[c] for ASCII c: ICU's primary order of the single character (equal ranks
// for equal primaries, 'a' and 'A'); 0 for a character ICU ignores.
struct AsciiTable {
    std::array<std::uint8_t, 128> rank{};
    bool usable = false;
};

// The table equals ICU on ASCII text only if every ASCII character has one
// collation element with the common secondary weight, none expands, and no
// contraction or context rule starts with two ASCII characters. Then, up to
// the first character that is not ASCII or is followed by one that is not,
// ICU compares the primary weights character by character, as the table does.
AsciiTable buildTable(const UCollator* c) {
    AsciiTable t;
    UErrorCode status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    USet* expansions = uset_openEmpty();
    USet* ascii = uset_open(0, 0x7F);
    ucol_getContractionsAndExpansions(c, contractions, expansions, true, &status);
    bool ok = U_SUCCESS(status) && !uset_containsSome(expansions, ascii);
    for (int32_t k = 0; ok && k < uset_getItemCount(contractions); ++k) {
        UChar32 start = 0, end = 0;
        std::array<UChar, 64> s{};
        UErrorCode itemStatus = U_ZERO_ERROR;
        const int32_t len = uset_getItem(contractions, k, &start, &end, s.data(), s.size(), &itemStatus);
        if (U_FAILURE(itemStatus))
            ok = false;
        else if (len == 0)
            ok = start > 0x7F;
        else
            ok = len < 2 || s[0] > 0x7F || s[1] > 0x7F;
    }
    uset_close(contractions);
    uset_close(expansions);
    uset_close(ascii);
    if (!ok) return t;

    std::vector<std::pair<std::string, int>> primaries;  // primary key bytes, character
    std::string commonSecondary;
    for (int ch = 0; ch < 128; ++ch) {
        const UChar u = static_cast<UChar>(ch);
        std::array<std::uint8_t, 64> key{};
        const int32_t n = ucol_getSortKey(c, &u, 1, key.data(), key.size());
        if (n <= 0 || n > static_cast<int32_t>(key.size())) return t;
        // A secondary-strength key: primary bytes, 01, secondary bytes, 00.
        const auto sep = std::find(key.begin(), key.begin() + n, std::uint8_t{1});
        if (sep == key.begin() + n) return t;
        std::string primary(key.begin(), sep);
        std::string secondary(sep + 1, key.begin() + n);
        if (!secondary.empty() && secondary.back() == '\0') secondary.pop_back();
        if (primary.empty()) {
            if (!secondary.empty()) return t;  // an accent-like ASCII character: leave it to ICU
            continue;                          // ignorable: rank 0
        }
        if (commonSecondary.empty()) commonSecondary = secondary;
        if (secondary != commonSecondary) return t;
        primaries.emplace_back(std::move(primary), ch);
    }
    std::sort(primaries.begin(), primaries.end());
    int rank = 0;
    for (std::size_t k = 0; k < primaries.size(); ++k) {
        if (k == 0 || primaries[k].first != primaries[k - 1].first) ++rank;
        t.rank[static_cast<std::size_t>(primaries[k].second)] = static_cast<std::uint8_t>(rank);
    }
    t.usable = rank > 0 && rank < 256;
    return t;
}

const AsciiTable& asciiTable() {
    static const AsciiTable table = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = openIcu(status);
        if (!c) return AsciiTable{};
        AsciiTable t = buildTable(c);
        ucol_close(c);
        return t;
    }();
    return table;
}

std::string_view withoutTrailingBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool nonAscii(std::string_view s, std::size_t i) {
    return i < s.size() && (static_cast<unsigned char>(s[i]) & 0x80);
}

// Decides when both texts are ASCII up to their first difference and nothing after
// it can join a compared character into a contraction; false leaves it to ICU.
bool tableCompare(const std::uint8_t* rank, std::string_view a, std::string_view b, int& result) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if ((x | y) & 0x80) return false;
        const int rx = rank[x], ry = rank[y];
        if (rx == 0 || ry == 0) return false;
        if (rx != ry) {
            if (nonAscii(a, i + 1) || nonAscii(b, i + 1)) return false;  // an accent may follow
            result = rx < ry ? -1 : 1;
            return true;
        }
    }
    // Equal so far: the longer text is greater when the rest is plain ASCII.
    const std::string_view rest = a.size() > n ? a.substr(n) : b.substr(n);
    for (unsigned char c : rest) {
        if ((c & 0x80) || rank[c] == 0) return false;
    }
    result = a.size() == b.size() ? 0 : a.size() > b.size() ? 1 : -1;
    return true;
}

int collate(void* self, int n1, const void* s1, int n2, const void* s2) {
    return static_cast<const ChineseCollator*>(self)->compare(
        std::string_view(static_cast<const char*>(s1), static_cast<std::size_t>(n1)),
        std::string_view(static_cast<const char*>(s2), static_cast<std::size_t>(n2)));
}

void destroy(void* self) { delete static_cast<ChineseCollator*>(self); }

}  // namespace

ChineseCollator* ChineseCollator::open(std::string& error) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = openIcu(status);
    if (!c) {
        error = std::string("The Chinese collation is not available (ICU: ") + u_errorName(status) + ").";
        return nullptr;
    }
    return new ChineseCollator(c);
}

ChineseCollator::~ChineseCollator() { ucol_close(collator_); }

bool ChineseCollator::asciiTableInUse() { return asciiTable().usable; }

int ChineseCollator::compareWithIcu(std::string_view a, std::string_view b) const {
    a = withoutTrailingBlanks(a);
    b = withoutTrailingBlanks(b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                                static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status)) return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
    // Only on an ICU failure (memory): the byte order keeps the comparison total.
    const int m = a.compare(b);
    return (m > 0) - (m < 0);
}

int ChineseCollator::compare(std::string_view a, std::string_view b) const {
    // Built on the first comparison (reading ICU's contractions takes some milliseconds).
    const AsciiTable& t = asciiTable();
    if (t.usable) {
        int r = 0;
        if (tableCompare(t.rank.data(), withoutTrailingBlanks(a), withoutTrailingBlanks(b), r)) return r;
    }
    return compareWithIcu(a, b);
}

int registerChineseCollation(sqlite3* db, char** error) {
    std::string why;
    ChineseCollator* c = ChineseCollator::open(why);
    if (!c) {
        if (error) *error = sqlite3_mprintf("%s", why.c_str());
        return SQLITE_ERROR;
    }
    const int rc = sqlite3_create_collation_v2(db, kChineseCollationName, SQLITE_UTF8, c, collate, destroy);
    if (rc != SQLITE_OK) delete c;  // SQLite does not call destroy when registration fails
    return rc;
}

}  // namespace Palvo::sqlite
