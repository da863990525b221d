// Build-time generator of the pinyin table: reads Unihan_Readings.txt.bz2 (Debian's
// unicode-data), keeps every Mandarin reading of every character from the fields
// kMandarin, kHanyuPinyin, kHanyuPinlu, kXHC1983 and kTGHZ2013, strips the tones
// and writes the readings as plain arrays for the core (src/util/pinyin_table.h).
//   pinyin_table_gen IN.txt.bz2 OUT.cpp
#include <bzlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char32_t kDenseFirst = 0x3400;
constexpr char32_t kDenseLast = 0x9FFF;

std::string readBzip2(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) throw std::runtime_error(std::string("cannot open ") + path);
    int error = BZ_OK;
    BZFILE* bz = BZ2_bzReadOpen(&error, f, 0, 0, nullptr, 0);
    std::string out;
    char buffer[1 << 16];
    while (error == BZ_OK) {
        const int n = BZ2_bzRead(&error, bz, buffer, sizeof buffer);
        if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
    }
    BZ2_bzReadClose(nullptr, bz);
    std::fclose(f);
    if (error != BZ_STREAM_END) throw std::runtime_error(std::string("cannot decompress ") + path);
    return out;
}

// The next code point of UTF-8 text at i; 0xFFFD for a malformed byte.
char32_t decode(const std::string& s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    char32_t cp = b & (0x3F >> extra);
    for (int k = 0; k < extra && i < s.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

// The toneless reading in lower-case ASCII, ü written v; "" when a letter is unknown.
std::string toneless(const std::string& reading) {
    static const std::map<char32_t, char> letters = {
        {U'ā', 'a'}, {U'á', 'a'}, {U'ǎ', 'a'}, {U'à', 'a'}, {U'ē', 'e'}, {U'é', 'e'}, {U'ě', 'e'},
        {U'è', 'e'}, {U'ê', 'e'}, {U'ế', 'e'}, {U'ề', 'e'}, {U'ī', 'i'}, {U'í', 'i'}, {U'ǐ', 'i'},
        {U'ì', 'i'}, {U'ō', 'o'}, {U'ó', 'o'}, {U'ǒ', 'o'}, {U'ò', 'o'}, {U'ū', 'u'}, {U'ú', 'u'},
        {U'ǔ', 'u'}, {U'ù', 'u'}, {U'ü', 'v'}, {U'ǖ', 'v'}, {U'ǘ', 'v'}, {U'ǚ', 'v'}, {U'ǜ', 'v'},
        {U'ń', 'n'}, {U'ň', 'n'}, {U'ǹ', 'n'}, {U'ḿ', 'm'}};
    std::string out;
    for (std::size_t i = 0; i < reading.size();) {
        const char32_t cp = decode(reading, i);
        if (cp >= 'a' && cp <= 'z') {
            out += static_cast<char>(cp);
        } else if (cp >= 'A' && cp <= 'Z') {
            out += static_cast<char>(cp - 'A' + 'a');
        } else if (cp >= 0x300 && cp <= 0x36F) {
            continue;  // a combining tone mark (ê̄, m̀)
        } else if (auto it = letters.find(cp); it != letters.end()) {
            out += it->second;
        } else {
            return "";
        }
    }
    return out;
}

void addReadings(const std::string& field, const std::string& value, std::set<std::string>& into,
                 long& unknown) {
    std::istringstream words(value);
    std::string word;
    while (words >> word) {
        if (field != "kMandarin") {
            if (const auto colon = word.rfind(':'); colon != std::string::npos) word.erase(0, colon + 1);
        }
        if (const auto paren = word.find('('); paren != std::string::npos) word.erase(paren);  // kHanyuPinlu
        std::istringstream readings(word);
        std::string reading;
        while (std::getline(readings, reading, ',')) {
            const std::string plain = toneless(reading);
            if (plain.empty()) {
                ++unknown;
            } else {
                into.insert(plain);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: pinyin_table_gen Unihan_Readings.txt.bz2 OUT.cpp\n";
        return 2;
    }
    try {
        const std::string text = readBzip2(argv[1]);
        const std::set<std::string> fields = {"kMandarin", "kHanyuPinyin", "kHanyuPinlu", "kXHC1983",
                                              "kTGHZ2013"};
        std::map<char32_t, std::set<std::string>> readings;
        long unknown = 0;
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("U+", 0) != 0) continue;
            const auto tab1 = line.find('\t');
            const auto tab2 = line.find('\t', tab1 + 1);
            if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
            const std::string field = line.substr(tab1 + 1, tab2 - tab1 - 1);
            if (!fields.contains(field)) continue;
            const auto cp = static_cast<char32_t>(std::stoul(line.substr(2, tab1 - 2), nullptr, 16));
            addReadings(field, line.substr(tab2 + 1), readings[cp], unknown);
        }
        if (readings.size() < 20000) throw std::runtime_error("too few characters with readings");

        std::map<std::string, int> syllableIds;
        for (const auto& [cp, set] : readings) {
            for (const auto& s : set) syllableIds.emplace(s, 0);
        }
        int next = 0;
        for (auto& [s, id] : syllableIds) id = next++;

        // each distinct set of readings once; set 0 is the empty one
        std::map<std::vector<int>, int> setIds;
        std::vector<std::vector<int>> sets = {{}};
        std::map<char32_t, int> setOf;
        for (const auto& [cp, set] : readings) {
            if (set.empty()) continue;
            std::vector<int> ids;
            for (const auto& s : set) ids.push_back(syllableIds.at(s));
            auto [it, added] = setIds.emplace(ids, static_cast<int>(sets.size()));
            if (added) sets.push_back(ids);
            setOf[cp] = it->second;
        }

        std::ofstream out(argv[2]);
        out << "// Generated by pinyin_table_gen; do not edit. Modified from Unihan_Readings.txt of the\n"
               "// Unicode Character Database (Debian's unicode-data): the Mandarin readings of the\n"
               "// fields kMandarin, kHanyuPinyin, kHanyuPinlu, kXHC1983 and kTGHZ2013 merged, their\n"
               "// tones stripped. Copyright (c) Unicode, Inc., distributed under the\n"
               "// Unicode terms of use (https://www.unicode.org/copyright.html); the copyright\n"
               "// and permission notice is in docs/windows.md, \"Pinyin filters\".\n"
               "#include \"src/util/pinyin_table.h\"\n\nnamespace Palvo::util::pinyin_table {\n\n";
        out << "const char kSyllableText[] =\n    \"";
        std::vector<int> starts;
        int offset = 0;
        for (const auto& [s, id] : syllableIds) {
            starts.push_back(offset);
            offset += static_cast<int>(s.size());
            out << s;
        }
        starts.push_back(offset);
        out << "\";\n";
        const auto array = [&out](const char* type, const char* name, const auto& values) {
            out << "const " << type << " " << name << "[] = {";
            std::size_t n = 0;
            for (const auto v : values) out << (n++ % 16 == 0 ? "\n    " : " ") << v << ",";
            out << "\n};\n";
        };
        array("std::uint16_t", "kSyllableStart", starts);
        out << "const std::size_t kSyllableCount = " << syllableIds.size() << ";\n";
        std::vector<std::uint32_t> setStart;
        std::vector<int> setSyllables;
        for (const auto& set : sets) {
            setStart.push_back(static_cast<std::uint32_t>(setSyllables.size()));
            setSyllables.insert(setSyllables.end(), set.begin(), set.end());
        }
        setStart.push_back(static_cast<std::uint32_t>(setSyllables.size()));
        array("std::uint32_t", "kSetStart", setStart);
        array("std::uint16_t", "kSetSyllables", setSyllables);
        std::vector<int> dense;
        for (char32_t cp = kDenseFirst; cp <= kDenseLast; ++cp) {
            const auto it = setOf.find(cp);
            dense.push_back(it == setOf.end() ? 0 : it->second);
        }
        array("std::uint16_t", "kDenseSet", dense);
        std::vector<std::uint32_t> sparseCps;
        std::vector<int> sparseSets;
        for (const auto& [cp, set] : setOf) {
            if (cp >= kDenseFirst && cp <= kDenseLast) continue;
            sparseCps.push_back(static_cast<std::uint32_t>(cp));
            sparseSets.push_back(set);
        }
        array("std::uint32_t", "kSparseCodePoint", sparseCps);
        array("std::uint16_t", "kSparseSet", sparseSets);
        out << "const std::size_t kSparseCount = " << sparseCps.size()
            << ";\n\n}  // namespace Palvo::util::pinyin_table\n";
        out.close();
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
        std::cout << "pinyin table: " << setOf.size() << " characters, " << syllableIds.size()
                  << " syllables, " << sets.size() << " reading sets, " << sparseCps.size()
                  << " outside U+3400-U+9FFF, " << unknown << " readings skipped\n";
    } catch (const std::exception& e) {
        std::cerr << "pinyin_table_gen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
