// FOR XML PATH with elements: tsql_xml_rows(row, root, name1, value1, name2, value2, ...)
// writes each row as <row><name1>value1</name1>...</row> (no row element for row '',
// the bare text for a name ''), Null values left out, all rows inside <root> when one
// is named; Null without rows. What SQL Server writes in forms of its own (numbers
// with a fraction, dates, binary data, empty elements) fails by name rather than
// come out differently.
#include <cstdio>
#include <memory>
#include <string>

#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace {

using tsql::resultError;
using tsql::textOf;

constexpr const char* kRefused = "Not supported by the embedded database: FOR XML PATH ";

// Element text: &, < and > as entities, and the control characters XML cannot hold
// bare (all but tab and line feed) as character references.
void appendEscaped(std::string& out, std::string_view s) {
    for (char c : s) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "&#x%02X;", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += c;
        }
    }
}

// A text in the stored shape of a date or datetime: SQL Server writes those as 2024-01-03T00:00:00.
bool dateShaped(std::string_view s) {
    auto digits = [&](std::size_t at, std::size_t n) {
        if (at + n > s.size()) return false;
        for (std::size_t k = at; k < at + n; ++k)
            if (s[k] < '0' || s[k] > '9') return false;
        return true;
    };
    return s.size() >= 10 && digits(0, 4) && s[4] == '-' && digits(5, 2) && s[7] == '-' && digits(8, 2) &&
           (s.size() == 10 || s[10] == ' ' || s[10] == 'T');
}

struct Written {
    std::string text, root;
};
struct XmlRows {
    Written* written;  // null until the first row
};

void rowsStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* rows = static_cast<XmlRows*>(sqlite3_aggregate_context(ctx, sizeof(XmlRows)));
    if (!rows) return sqlite3_result_error_nomem(ctx);
    if (!rows->written) {
        rows->written = new Written;
        rows->written->root = std::string(textOf(argv[1]));
    }
    std::string& out = rows->written->text;
    const std::string_view row = textOf(argv[0]);
    if (!row.empty()) out.append("<").append(row).append(">");
    const std::size_t start = out.size();
    for (int k = 2; k + 1 < argc; k += 2) {
        const std::string_view name = textOf(argv[k]);
        sqlite3_value* v = argv[k + 1];
        const int type = sqlite3_value_type(v);
        if (type == SQLITE_NULL) continue;
        if (type == SQLITE_FLOAT)
            return resultError(ctx, std::string(kRefused) + "of a number with a fraction.");
        if (type == SQLITE_BLOB) return resultError(ctx, std::string(kRefused) + "of binary data.");
        const std::string_view text = textOf(v);
        if (type == SQLITE_TEXT && dateShaped(text))
            return resultError(ctx, std::string(kRefused) + "of a date or time.");
        if (!name.empty() && text.empty())
            return resultError(ctx, std::string(kRefused) + "of an empty text in an element.");
        if (!name.empty()) out.append("<").append(name).append(">");
        appendEscaped(out, text);
        if (!name.empty()) out.append("</").append(name).append(">");
    }
    if (!row.empty() && out.size() == start)
        return resultError(ctx, std::string(kRefused) + "of a row whose columns are all Null.");
    if (!row.empty()) out.append("</").append(row).append(">");
}

void rowsFinal(sqlite3_context* ctx) {
    auto* rows = static_cast<XmlRows*>(sqlite3_aggregate_context(ctx, 0));
    if (!rows || !rows->written) return sqlite3_result_null(ctx);
    std::unique_ptr<Written> w(rows->written);
    rows->written = nullptr;
    std::string& root = w->root;
    const std::string text =
        root.empty() ? std::move(w->text) : "<" + root + ">" + w->text + "</" + root + ">";
    if (tsql::roomForText(ctx, text.size())) tsql::resultText(ctx, text);
}

}  // namespace

int registerXmlRows(sqlite3* db) {
    return sqlite3_create_function_v2(db, "tsql_xml_rows", -1, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr,
                                      nullptr, rowsStep, rowsFinal, nullptr);
}

}  // namespace Palvo::sqlite
