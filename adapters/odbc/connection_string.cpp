#include "adapters/odbc/connection_string.h"

#include <cctype>

#include "palvo/error.h"
#include "palvo/odbc.h"

namespace Palvo::odbc {

namespace detail {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && equalsNoCase(s.substr(s.size() - suffix.size()), suffix);
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
            out.push_back({std::string(trim(text.substr(start, eq - start))), {},
                           std::string(text.substr(start, eq - start)), false});
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

bool isSqlServerAlias(std::string_view driver) { return equalsNoCase(withoutBraces(driver), "sql server"); }

bool isFreeTdsDriver(std::string_view driver) {
    auto d = withoutBraces(driver);
    return equalsNoCase(d, "freetds") || endsWithNoCase(d, "libtdsodbc.so");
}

}  // namespace detail

std::string connectionStringFor(const std::string& server, const std::string& user, const std::string& password,
                                const std::string& database) {
    using detail::braced;
    return "driver={sql server};server=" + braced(server) + ";uid=" + braced(user) + ";pwd=" + braced(password) +
           ";database=" + braced(database) + ";";
}

std::string driverConnectionString(const std::string& connectionString, const std::string& user,
                                   const std::string& password) {
    using namespace detail;
    auto attrs = parseConnectionString(connectionString);
    bool freeTds = false;
    bool hasCharset = false;
    bool hasTdsVersion = false;
    std::vector<std::string> parts;
    for (const auto& a : attrs) {
        if (a.hasValue && equalsNoCase(a.key, "driver")) {
            if (isSqlServerAlias(a.value)) {
                freeTds = true;
                parts.push_back(a.key + "=FreeTDS");
                continue;
            }
            freeTds = freeTds || isFreeTdsDriver(a.value);
        }
        if (a.hasValue && (equalsNoCase(a.key, "clientcharset") || equalsNoCase(a.key, "client_charset")))
            hasCharset = true;
        if (a.hasValue && equalsNoCase(a.key, "tds_version")) hasTdsVersion = true;
        // Open's own user and password take the place of any in the string
        if (a.hasValue && !user.empty() && equalsNoCase(a.key, "uid")) continue;
        if (a.hasValue && !password.empty() && equalsNoCase(a.key, "pwd")) continue;
        parts.push_back(a.text);
    }
    if (!user.empty()) parts.push_back("UID=" + braced(user));
    if (!password.empty()) parts.push_back("PWD=" + braced(password));
    if (freeTds && !hasCharset) parts.push_back("ClientCharset=UTF-8");
    if (freeTds && !hasTdsVersion) parts.push_back("TDS_Version=7.4");
    std::string out;
    // every attribute ends with ';': FreeTDS reads a closing brace at the very end as part of the value
    for (const auto& p : parts) out += p + ";";
    return out;
}

}  // namespace Palvo::odbc
