#include "pdf_text_map.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <iconv.h>
// qpdf's current interface: std::shared_ptr instead of its old PointerHolder
#define POINTERHOLDER_TRANSITION 4
#include <QChar>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <string_view>
#include <unordered_map>

#include "palvo/error.h"

namespace Palvo::qt {

void DrawnCharacters::add(const QString& text) {
    const auto n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[++i].unicode());
        }
        seen_[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
}

void DrawnCharacters::clear() { std::fill(seen_.begin(), seen_.end(), 0); }

namespace {

constexpr long kPrinterError = 482;

[[noreturn]] void cannot(const std::string& what, const std::string& path) {
    throw Error(kPrinterError, "打印失败：无法" + what + "：" + path);
}

// ---- the ToUnicode CMap: its bfchar and bfrange entries, and where they stand

struct Mapping {
    unsigned cid;
    std::u32string text;
};

struct CMap {
    std::vector<Mapping> entries;
    std::size_t bodyBegin = std::string::npos;  // the count before the first begin(bfchar|bfrange)
    std::size_t bodyEnd = 0;                    // just after the last end(bfchar|bfrange)
};

struct Token {
    std::string_view text;
    std::size_t at;
};

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    const auto delimiter = [](char c) {
        return std::string_view("<>[]()/%{} \t\r\n\f").find(c) != std::string_view::npos;
    };
    while (i < s.size()) {
        const char c = s[i];
        std::size_t j = i + 1;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
            ++i;
            continue;
        }
        if (c == '%') {
            while (j < s.size() && s[j] != '\n' && s[j] != '\r') ++j;
            i = j;
            continue;
        }
        if (c == '<' || c == '>') {
            if (j < s.size() && s[j] == c) {
                ++j;
            } else if (c == '<') {
                while (j < s.size() && s[j] != '>') ++j;
                j = std::min(j + 1, s.size());
            }
        } else if (c == '(') {
            for (int depth = 1; j < s.size() && depth > 0; ++j) {
                if (s[j] == '\\')
                    ++j;
                else if (s[j] == '(')
                    ++depth;
                else if (s[j] == ')')
                    --depth;
            }
        } else if (c != '[' && c != ']' && c != '{' && c != '}') {
            while (j < s.size() && !delimiter(s[j])) ++j;
        }
        tokens.push_back({s.substr(i, std::min(j, s.size()) - i), i});
        i = j;
    }
    return tokens;
}

bool isHexString(std::string_view t) {
    return t.size() >= 2 && t.front() == '<' && t.back() == '>' && t != "<<";
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A hex string's bytes as one number (a CID), or as UTF-16BE text.
unsigned hexNumber(std::string_view t) {
    unsigned v = 0;
    for (char c : t.substr(1, t.size() - 2)) {
        if (hexDigit(c) >= 0) v = v * 16 + static_cast<unsigned>(hexDigit(c));
    }
    return v;
}

std::u32string hexText(std::string_view t) {
    std::vector<char16_t> units;
    unsigned unit = 0;
    int digits = 0;
    for (char c : t.substr(1, t.size() - 2)) {
        if (hexDigit(c) < 0) continue;
        unit = unit * 16 + static_cast<unsigned>(hexDigit(c));
        if (++digits == 4) {
            units.push_back(static_cast<char16_t>(unit));
            unit = 0;
            digits = 0;
        }
    }
    std::u32string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (QChar::isHighSurrogate(units[i]) && i + 1 < units.size() && QChar::isLowSurrogate(units[i + 1])) {
            out += static_cast<char32_t>(QChar::surrogateToUcs4(units[i], units[i + 1]));
            ++i;
        } else {
            out += units[i];
        }
    }
    return out;
}

CMap parseCMap(std::string_view s) {
    CMap map;
    const std::vector<Token> t = tokenize(s);
    for (std::size_t i = 0; i < t.size(); ++i) {
        const bool chars = t[i].text == "beginbfchar";
        if (!chars && t[i].text != "beginbfrange") continue;
        if (map.bodyBegin == std::string::npos) map.bodyBegin = i > 0 ? t[i - 1].at : t[i].at;
        const std::string_view end = chars ? "endbfchar" : "endbfrange";
        std::size_t k = i + 1;
        while (k < t.size() && t[k].text != end) {
            if (chars) {
                if (k + 1 < t.size() && isHexString(t[k].text) && isHexString(t[k + 1].text))
                    map.entries.push_back({hexNumber(t[k].text), hexText(t[k + 1].text)});
                k += 2;
                continue;
            }
            if (k + 2 >= t.size() || !isHexString(t[k].text) || !isHexString(t[k + 1].text)) {
                ++k;
                continue;
            }
            const unsigned lo = hexNumber(t[k].text), hi = hexNumber(t[k + 1].text);
            if (t[k + 2].text == "[") {
                k += 3;
                for (unsigned cid = lo; k < t.size() && t[k].text != "]"; ++k, ++cid) {
                    if (isHexString(t[k].text)) map.entries.push_back({cid, hexText(t[k].text)});
                }
                ++k;
            } else {
                std::u32string first = hexText(t[k + 2].text);
                for (unsigned cid = lo; cid <= hi && cid >= lo && !first.empty(); ++cid) {
                    std::u32string text = first;
                    text.back() += cid - lo;
                    map.entries.push_back({cid, text});
                }
                k += 3;
            }
        }
        if (k < t.size()) map.bodyEnd = t[k].at + t[k].text.size();
        i = k;
    }
    return map;
}

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}

std::string utf16Hex(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if (c > 0xFFFF) {
            out += hex4(QChar::highSurrogate(c));
            out += hex4(QChar::lowSurrogate(c));
        } else {
            out += hex4(c);
        }
    }
    return out;
}

// The stream with its entries given again as bfchar blocks of at most 100 (the CMap limit).
std::string rewrite(std::string_view original, const CMap& map) {
    std::string body;
    for (std::size_t i = 0; i < map.entries.size(); i += 100) {
        const std::size_t n = std::min<std::size_t>(100, map.entries.size() - i);
        body += std::to_string(n) + " beginbfchar\n";
        for (std::size_t k = i; k < i + n; ++k) {
            body += "<" + hex4(map.entries[k].cid) + "> <" + utf16Hex(map.entries[k].text) + ">\n";
        }
        body += "endbfchar";
        if (i + n < map.entries.size()) body += "\n";
    }
    return std::string(original.substr(0, map.bodyBegin)) + body + std::string(original.substr(map.bodyEnd));
}

// ---- which characters a glyph stands for in the font the PDF names

struct FontFile {
    std::string path;
    int index;
};

std::optional<FontFile> findFont(std::string name) {
    // a subset's name carries a tag: ABCDEF+Name
    if (name.size() > 7 && name[6] == '+') name.erase(0, 7);
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    std::optional<FontFile> found;
    FcChar8* file = nullptr;
    int index = 0;
    if (fonts && fonts->nfont > 0 &&
        FcPatternGetString(fonts->fonts[0], FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(fonts->fonts[0], FC_INDEX, 0, &index);
        found = FontFile{reinterpret_cast<const char*>(file), index};
    }
    if (fonts) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

// A font's cmap as Qt reads it: a tab and a no-break space the font lacks are
// drawn as its space. Knows the characters of the glyphs of `mapped` only.
class FontCmap {
public:
    FontCmap(FT_Library library, const FontFile& file, const std::vector<Mapping>& mapped) {
        if (FT_New_Face(library, file.path.c_str(), file.index, &face_) != 0) {
            face_ = nullptr;
            return;
        }
        for (const Mapping& m : mapped) {
            if (m.text.size() == 1) {
                if (const unsigned g = glyph(m.text[0]); g != 0) shared_.emplace(g, std::vector<char32_t>{});
            }
        }
        const auto add = [&](unsigned g, char32_t c) {
            if (auto it = shared_.find(g); it != shared_.end()) it->second.push_back(c);
        };
        FT_UInt g = 0;
        for (FT_ULong c = FT_Get_First_Char(face_, &g); g != 0; c = FT_Get_Next_Char(face_, c, &g))
            add(g, static_cast<char32_t>(c));
        for (char32_t c : {U'\t', U'\u00A0'}) {
            if (FT_Get_Char_Index(face_, c) == 0) add(glyph(c), c);
        }
    }
    ~FontCmap() {
        if (face_) FT_Done_Face(face_);
    }
    FontCmap(const FontCmap&) = delete;
    FontCmap& operator=(const FontCmap&) = delete;

    // The characters drawn with c's glyph, c among them.
    std::vector<char32_t> sharing(char32_t c) const {
        if (face_) {
            if (auto it = shared_.find(glyph(c)); it != shared_.end() && !it->second.empty())
                return it->second;
        }
        return {c};
    }

private:
    unsigned glyph(char32_t c) const {
        unsigned g = FT_Get_Char_Index(face_, c);
        if (g == 0 && (c == U'\t' || c == U'\u00A0')) g = FT_Get_Char_Index(face_, ' ');
        return g;
    }

    FT_Face face_ = nullptr;
    std::unordered_map<unsigned, std::vector<char32_t>> shared_;
};

// Which of a glyph's characters it reads back as, when the drawing does not tell.
class Preference {
public:
    Preference() : gb2312_(iconv_open("GB2312", "UTF-32LE")), gbk_(iconv_open("GBK", "UTF-32LE")) {}
    ~Preference() {
        for (iconv_t cd : {gb2312_, gbk_}) {
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
        }
    }
    Preference(const Preference&) = delete;
    Preference& operator=(const Preference&) = delete;

    char32_t best(const std::vector<char32_t>& choices) {
        return *std::min_element(choices.begin(), choices.end(), [this](char32_t a, char32_t b) {
            const int ra = rank(a), rb = rank(b);
            return ra != rb ? ra < rb : a < b;
        });
    }

private:
    int rank(char32_t c) {
        if (c >= 0x20 && c < 0x7F) return 0;
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 5;
        if (doubleByte(gb2312_, c)) return 1;
        if (doubleByte(gbk_, c)) return 2;
        if (c >= 0x4E00 && c <= 0x9FFF) return 3;
        return 4;
    }
    static bool doubleByte(iconv_t cd, char32_t c) {
        if (cd == reinterpret_cast<iconv_t>(-1)) return false;
        unsigned char in[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                               static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 24)};
        char out[8];
        char* inp = reinterpret_cast<char*>(in);
        char* outp = out;
        std::size_t inLeft = sizeof in, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1) && outp - out == 2;
    }

    iconv_t gb2312_, gbk_;
};

// What a glyph Qt mapped to `mapped` was drawn for.
std::u32string drawnText(char32_t mapped, const FontCmap* cmap, const DrawnCharacters& drawn,
                         Preference& preference) {
    const std::vector<char32_t> group = cmap ? cmap->sharing(mapped) : std::vector<char32_t>{mapped};
    std::vector<char32_t> seen;
    for (char32_t c : group) {
        if (drawn.contains(c)) seen.push_back(c);
    }
    if (!seen.empty()) return {seen.size() == 1 ? seen.front() : preference.best(seen)};
    // a ligature's glyph: the letters it joins
    const QString parts = QChar::decomposition(static_cast<char32_t>(mapped));
    if (!parts.isEmpty()) {
        std::u32string letters;
        for (char32_t c : parts.toUcs4()) letters += c;
        if (std::all_of(letters.begin(), letters.end(), [&](char32_t c) { return drawn.contains(c); }))
            return letters;
    }
    return {preference.best(group)};
}

// ---- the update appended to the file

std::string compressed(const std::string& data) {
    Pl_Buffer buffer("text map");
    Pl_Flate flate("text map", &buffer, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    flate.finish();
    std::unique_ptr<Buffer> out(buffer.getBuffer());
    return std::string(reinterpret_cast<const char*>(out->getBuffer()), out->getSize());
}

// The offset of the file's last cross-reference section: the number after the last startxref.
long long lastXref(std::istream& in) {
    in.seekg(0, std::ios::end);
    const long long size = in.tellg();
    const long long from = std::max(0LL, size - 1024);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    in.seekg(from);
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    const auto at = tail.rfind("startxref");
    if (at == std::string::npos) return -1;
    return std::atoll(tail.c_str() + at + 9);
}

bool classicXrefAt(std::istream& in, long long offset) {
    std::string word(4, '\0');
    in.seekg(offset);
    in.read(word.data(), 4);
    return in && word == "xref";
}

}  // namespace

std::string textMapUpdate(const std::string& path, const DrawnCharacters& drawn, const std::string& shownAs) {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    std::map<QPDFObjGen, std::string> mended;  // new stream data by object
    try {
        pdf.processFile(path.c_str());
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
        const std::unique_ptr<FT_LibraryRec_, FT_Error (*)(FT_Library)> libraryGuard(library,
                                                                                     FT_Done_FreeType);
        Preference preference;
        // Qt writes the fonts after the last page: walking back from the end of the
        // file to the last page reads a few objects, not every page's (2,500 pages
        // took a quarter of a second that way)
        std::vector<std::pair<qpdf_offset_t, QPDFObjGen>> objects;
        for (const auto& [object, entry] : pdf.getXRefTable()) {
            if (entry.getType() == 1) objects.emplace_back(entry.getOffset(), object);
        }
        std::sort(objects.rbegin(), objects.rend());
        for (const auto& [offset, object] : objects) {
            QPDFObjectHandle font = pdf.getObject(object);
            if (!font.isDictionary()) continue;
            QPDFObjectHandle type = font.getKey("/Type");
            if (type.isNameAndEquals("/Page")) break;
            if (!type.isNameAndEquals("/Font") || !font.getKey("/Subtype").isNameAndEquals("/Type0"))
                continue;
            QPDFObjectHandle map = font.getKey("/ToUnicode");
            if (!map.isStream() || !map.isIndirect() || mended.count(map.getObjGen())) continue;
            const std::shared_ptr<Buffer> data = map.getStreamData();
            const std::string_view text(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            CMap cmap = parseCMap(text);
            if (cmap.bodyBegin == std::string::npos || cmap.bodyEnd < cmap.bodyBegin) continue;
            std::unique_ptr<FontCmap> fontCmap;
            QPDFObjectHandle baseFont = font.getKey("/BaseFont");
            if (library && baseFont.isName()) {
                if (auto file = findFont(baseFont.getName().substr(1)))
                    fontCmap = std::make_unique<FontCmap>(library, *file, cmap.entries);
            }
            bool changed = false;
            for (Mapping& m : cmap.entries) {
                if (m.text.size() != 1 || m.text[0] == 0) continue;
                std::u32string read = drawnText(m.text[0], fontCmap.get(), drawn, preference);
                if (read != m.text) {
                    m.text = std::move(read);
                    changed = true;
                }
            }
            if (changed) mended[map.getObjGen()] = rewrite(text, cmap);
        }
    } catch (const std::exception&) {
        cannot("读取其中的文字", shownAs);
    }
    if (mended.empty()) return {};

    std::ifstream file(path, std::ios::in | std::ios::binary);
    const long long previous = file ? lastXref(file) : -1;
    if (previous < 0 || !classicXrefAt(file, previous)) cannot("读取其中的文字", shownAs);
    file.seekg(0, std::ios::end);
    const long long offset = file.tellg();
    std::string update = "\n";
    std::vector<std::pair<QPDFObjGen, long long>> offsets;
    for (const auto& [object, cmapText] : mended) {
        offsets.emplace_back(object, offset + static_cast<long long>(update.size()));
        const std::string data = compressed(cmapText);
        update += std::to_string(object.getObj()) + " " + std::to_string(object.getGen()) +
                  " obj\n<< /Length " + std::to_string(data.size()) + " /Filter /FlateDecode >>\nstream\n" +
                  data + "\nendstream\nendobj\n";
    }
    const long long xref = offset + static_cast<long long>(update.size());
    update += "xref\n";
    for (const auto& [object, at] : offsets) {
        char entry[48];
        std::snprintf(entry, sizeof entry, "%d 1\n%010lld %05d n \n", object.getObj(), at, object.getGen());
        update += entry;
    }
    update += "trailer\n<<";
    QPDFObjectHandle trailer = pdf.getTrailer();
    for (const std::string& key : trailer.getKeys()) {
        if (key != "/Prev" && key != "/XRefStm") update += " " + key + " " + trailer.getKey(key).unparse();
    }
    update += " /Prev " + std::to_string(previous) + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return update;
}

void mendTextMaps(const std::string& path, const DrawnCharacters& drawn) {
    const std::string update = textMapUpdate(path, drawn, path);
    if (update.empty()) return;
    std::ofstream file(path, std::ios::out | std::ios::app | std::ios::binary);
    file.write(update.data(), static_cast<std::streamsize>(update.size()));
    file.flush();
    if (!file) cannot("写入", path);
}

}  // namespace Palvo::qt
