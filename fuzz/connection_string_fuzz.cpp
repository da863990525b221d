// Feeds arbitrary text to the ODBC connection string reader and quoting:
// values quoted by connectionStringFor read back as given, and a string the
// driver manager gets keeps every value its caller meant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "connection_string.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "palvo/text.h"

namespace {

using Palvo::odbc::detail::Attribute;

// The four parts of the input, split at NUL bytes.
std::vector<std::string> parts(std::string_view all, std::size_t n) {
    std::vector<std::string> out;
    while (out.size() + 1 < n) {
        const std::size_t cut = all.find('\0');
        if (cut == std::string_view::npos) break;
        out.emplace_back(all.substr(0, cut));
        all.remove_prefix(cut + 1);
    }
    out.emplace_back(all);
    out.resize(n);
    return out;
}

// How FreeTDS reads a value: up to ';', or from '{' up to the first "};" (or a final '}').
std::vector<std::pair<std::string, std::string>> freeTdsRead(std::string_view s) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t eq = s.find_first_of("=;", i);
        if (eq == std::string_view::npos || s[eq] == ';') {
            i = eq == std::string_view::npos ? s.size() : eq + 1;
            continue;
        }
        std::string key(Palvo::base::trim(std::string(s.substr(i, eq - i))));
        std::size_t v = eq + 1;
        std::string value;
        if (v < s.size() && s[v] == '{') {
            std::size_t end = s.find("};", v);
            if (end == std::string_view::npos) end = s.size() - 1;
            value = std::string(s.substr(v + 1, end - v - 1));
            i = end + 2;
        } else {
            std::size_t end = s.find(';', v);
            if (end == std::string_view::npos) end = s.size();
            value = std::string(s.substr(v, end - v));
            i = end + 1;
        }
        out.emplace_back(std::move(key), std::move(value));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Palvo::odbc;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const auto p = parts(all, 4);

    // what connectionStringFor quotes reads back exactly
    const auto attrs = detail::parseConnectionString(connectionStringFor(p[0], p[1], p[2], p[3]));
    if (attrs.size() != 5 || attrs[1].value != p[0] || attrs[2].value != p[1] || attrs[3].value != p[2] ||
        attrs[4].value != p[3])
        __builtin_trap();

    // any text: either refused with a Palvo::Error or passed on with its values intact
    const std::string text(all.substr(0, all.find('\0')));
    const std::string& user = p[1];
    try {
        const auto given = detail::parseConnectionString(text);
        const auto resolved = detail::resolveConnectionString(text, user, "");
        if (!resolved.freeTds) {
            const auto again = detail::parseConnectionString(resolved.text);
            std::vector<const Attribute*> kept;
            for (const Attribute& a : given)
                if (user.empty() || !a.hasValue || !Palvo::base::equalsNoCase(a.key, "uid"))
                    kept.push_back(&a);
            if (again.size() != kept.size() + (user.empty() ? 0 : 1)) __builtin_trap();
            for (std::size_t i = 0; i < kept.size(); ++i)
                if (again[i].key != kept[i]->key || again[i].value != kept[i]->value) __builtin_trap();
            if (!user.empty() && again.back().value != user) __builtin_trap();
        } else {
            // FreeTDS reads every value as given (blanks around a plain value aside)
            std::string wanted;
            for (const auto& [key, value] : freeTdsRead(resolved.text))
                if (Palvo::base::equalsNoCase(key, "uid")) wanted = value;
            if (!user.empty() && wanted != user) __builtin_trap();
        }
    } catch (const Palvo::Error&) {
    }
    return 0;
}
