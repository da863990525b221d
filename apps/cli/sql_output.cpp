#include "sql_output.h"

#include <ostream>

namespace Palvo::cli {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void writeLine(std::ostream& out, const ResultTable& t, SqlFormat format, auto&& field) {
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (c) out << (format == SqlFormat::Csv ? "," : "\t");
        out << field(c);
    }
    out << (format == SqlFormat::Csv ? "\r\n" : "\n");
}

}  // namespace

std::string textField(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        const auto u = static_cast<unsigned char>(ch);
        switch (ch) {
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    out += "\\x";
                    out += kHex[u >> 4];
                    out += kHex[u & 0xF];
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

std::string csvField(std::string_view s) {
    if (!s.empty() && s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
    std::string out = "\"";
    for (char ch : s) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

void writeRows(std::ostream& out, const ResultTable& t, SqlFormat format, bool types) {
    const auto field = [format](std::string_view s) {
        return format == SqlFormat::Csv ? csvField(s) : textField(s);
    };
    writeLine(out, t, format, [&](std::size_t c) { return field(t.columns[c].name); });
    if (types) writeLine(out, t, format, [&](std::size_t c) { return std::to_string(t.columns[c].type); });
    for (std::size_t r = 0; r < t.rowCount(); ++r) {
        writeLine(out, t, format, [&](std::size_t c) {
            const Value& v = t.at(r, c);
            if (v.isNull()) return std::string(format == SqlFormat::Csv ? "" : "\\N");
            // a decimal or money shows every digit of its scale, as SQL Server's own tools show it
            return field(v.decimal() ? v.decimal()->text : v.toText());
        });
    }
}

}  // namespace Palvo::cli
