#include "connection_string.h"

#include <cctype>

#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "palvo/text.h"

namespace Palvo::odbc {

namespace detail {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && base::equalsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::string_view withoutBraces(std::string_view v) {
    v = trim(v);
    if (v.size() >= 2 && v.front() == '{' && v.back() == '}') v = trim(v.substr(1, v.size() - 2));
    return v;
}

}  // namespace

std::vector<Attribute> parseConnectionString(std::string_view text) {
    std::vector<Attribute> out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ';' || std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        std::size_t eq = i;
        while (eq < text.size() && text[eq] != '=' && text[eq] != ';') ++eq;
        if (eq >= text.size() || text[eq] == ';') {
            // not an attribute; drivers skip such text, and so do we, keeping it as written
            out.push_back({std::string(trim(text.substr(start, eq - start))),
                           {},
                           std::string(text.substr(start, eq - start)),
                           false});
            i = eq;
            continue;
        }
        Attribute a;
        a.key = std::string(trim(text.substr(start, eq - start)));
        std::size_t v = eq + 1;
        while (v < text.size() && text[v] == ' ') ++v;
        if (v < text.size() && text[v] == '{') {
            std::size_t p = v + 1;
            bool closed = false;
            while (p < text.size()) {
                if (text[p] == '}') {
                    if (p + 1 < text.size() && text[p + 1] == '}') {
                        a.value += '}';
                        p += 2;
                        continue;
                    }
                    closed = true;
                    ++p;
                    break;
                }
                a.value += text[p++];
            }
            if (!closed) {
                throw Error(ErrorNumber::ConnectionFailed,
                            "Invalid connection string: the value of '" + a.key + "' has no closing brace.");
            }
            while (p < text.size() && text[p] == ' ') ++p;
            if (p < text.size() && text[p] != ';') {
                throw Error(ErrorNumber::ConnectionFailed,
                            "Invalid connection string: text follows the closing brace of '" + a.key + "'.");
            }
            a.text = std::string(text.substr(start, p - start));
            i = p;
        } else {
            std::size_t p = text.find(';', v);
            if (p == std::string_view::npos) p = text.size();
            a.value = std::string(trim(text.substr(v, p - v)));
            a.text = std::string(text.substr(start, p - start));
            i = p;
        }
        out.push_back(std::move(a));
    }
    return out;
}

std::string braced(std::string_view value) {
    std::string r = "{";
    for (char c : value) {
        r += c;
        if (c == '}') r += '}';
    }
    return r + "}";
}

bool isSqlServerAlias(std::string_view driver) {
    return base::equalsNoCase(withoutBraces(driver), "sql server");
}

bool isFreeTdsDriver(std::string_view driver) {
    auto d = withoutBraces(driver);
    return base::equalsNoCase(d, "freetds") || endsWithNoCase(d, "libtdsodbc.so");
}

}  // namespace detail

std::string connectionStringFor(const std::string& server, const std::string& user,
                                const std::string& password, const std::string& database) {
    using detail::braced;
    return "driver={sql server};server=" + braced(server) + ";uid=" + braced(user) +
           ";pwd=" + braced(password) + ";database=" + braced(database) + ";";
}

namespace detail {

namespace {

/// A value as FreeTDS reads it: up to ';', or in braces up to the first "};".
/// FreeTDS does not read "}}" as one brace, so braces inside are left single.
std::string freeTdsValue(const std::string& key, const std::string& value) {
    bool plain = value.find(';') == std::string::npos && (value.empty() || value.front() != '{') &&
                 (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain) return value;
    if (value.find("};") != std::string::npos) {
        throw Error(ErrorNumber::ConnectionFailed,
                    "The FreeTDS driver cannot take a value of '" + key + "' that contains \"};\".");
    }
    return "{" + value + "}";
}

}  // namespace

ResolvedConnectionString resolveConnectionString(const std::string& connectionString, const std::string& user,
                                                 const std::string& password) {
    auto attrs = parseConnectionString(connectionString);
    if (!user.empty() || !password.empty()) {
        // Open's own user and password take the place of any in the string
        std::erase_if(attrs, [&](const Attribute& a) {
            return a.hasValue && ((!user.empty() && base::equalsNoCase(a.key, "uid")) ||
                                  (!password.empty() && base::equalsNoCase(a.key, "pwd")));
        });
        if (!user.empty()) attrs.push_back({"UID", user, "UID=" + braced(user), true});
        if (!password.empty()) attrs.push_back({"PWD", password, "PWD=" + braced(password), true});
    }
    ResolvedConnectionString out;
    bool alias = false;
    bool hasCharset = false;
    bool hasTdsVersion = false;
    for (const auto& a : attrs) {
        if (!a.hasValue) continue;
        if (base::equalsNoCase(a.key, "driver")) {
            alias = alias || isSqlServerAlias(a.value);
            out.freeTds = out.freeTds || isSqlServerAlias(a.value) || isFreeTdsDriver(a.value);
        }
        hasCharset = hasCharset || base::equalsNoCase(a.key, "clientcharset") ||
                     base::equalsNoCase(a.key, "client_charset");
        hasTdsVersion = hasTdsVersion || base::equalsNoCase(a.key, "tds_version");
    }
    for (const auto& a : attrs) {
        if (!out.freeTds || !a.hasValue) {
            out.text += a.text;
        } else if (alias && base::equalsNoCase(a.key, "driver") && isSqlServerAlias(a.value)) {
            out.text += a.key + "=FreeTDS";
        } else {
            out.text += a.key + "=" + freeTdsValue(a.key, a.value);
        }
        // every attribute ends with ';': FreeTDS reads a closing brace at the very end as part of the value
        out.text += ";";
    }
    if (out.freeTds && !hasCharset) out.text += "ClientCharset=UTF-8;";
    if (out.freeTds && !hasTdsVersion) out.text += "TDS_Version=7.4;";
    return out;
}

std::u16string utf16FromUtf8(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    char32_t cp = 0;
    while (i < text.size()) {
        if (!base::nextUtf8(text, i, cp)) {
            out += u'\uFFFD';
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

}  // namespace detail

std::string driverConnectionString(const std::string& connectionString, const std::string& user,
                                   const std::string& password) {
    return detail::resolveConnectionString(connectionString, user, password).text;
}

std::string connectionTarget(std::string_view text) {
    std::string elsewhere;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t eq = text.find('=', start);
        if (eq == std::string_view::npos) break;
        std::string key;
        for (std::size_t k = start; k < eq; ++k)
            if (text[k] != ' ' && text[k] != '\t') key += text[k];
        if (base::equalsNoCase(key, "driver") || base::equalsNoCase(key, "dsn") ||
            base::equalsNoCase(key, "filedsn"))
            return key;
        if (elsewhere.empty() && (base::equalsNoCase(key, "provider") || base::equalsNoCase(key, "server")))
            elsewhere = key;
        // the value ends at the next ";" outside braces ("Driver={A;B}", "}}" inside them)
        std::size_t k = eq + 1;
        while (k < text.size() && text[k] == ' ') ++k;
        if (k < text.size() && text[k] == '{') {
            for (++k; k < text.size() && !(text[k] == '}' && (k + 1 == text.size() || text[k + 1] != '}'));
                 ++k)
                if (text[k] == '}') ++k;
        }
        const std::size_t semi = text.find(';', k);
        if (semi == std::string_view::npos) break;
        start = semi + 1;
    }
    return elsewhere;
}

std::string shownDatabase(std::string_view connectionString) {
    std::string database, dsn;
    try {
        for (const auto& a : detail::parseConnectionString(connectionString)) {
            if (base::equalsNoCase(a.key, "database")) database = a.value;
            if (base::equalsNoCase(a.key, "dsn")) dsn = a.value;
        }
    } catch (const Error&) {
        // a string the driver manager cannot read names nothing here
    }
    if (!database.empty()) return "the database " + database;
    return dsn.empty() ? std::string("the ODBC database") : "the data source " + dsn;
}

bool namesOdbcDriver(std::string_view text) {
    const std::string key = connectionTarget(text);
    return !key.empty() && !base::equalsNoCase(key, "provider") && !base::equalsNoCase(key, "server");
}

}  // namespace Palvo::odbc
