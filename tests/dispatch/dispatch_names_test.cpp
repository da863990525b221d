// The late-bound tables write each parameter's name and default by hand; the
// class headers are where they are declared. Every entry is read against the
// declaration of its member function in include/palvo/<class>.h.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "src/dispatch/dispatch.h"

namespace Palvo {
namespace {

std::string headerText(const std::string& className) {
    std::ifstream in(std::string(PALVO_INCLUDE_DIR) + "/palvo/" + className + ".h");
    std::string text;
    for (std::string line; std::getline(in, line);) text += line.substr(0, line.find("//")) + "\n";
    return text;
}

// The parameters of each declaration of the method, split at their top-level commas.
std::vector<std::vector<std::string>> declarations(const std::string& header, const std::string& method) {
    std::vector<std::vector<std::string>> found;
    for (auto at = header.find(method + "("); at != std::string::npos;
         at = header.find(method + "(", at + 1)) {
        const char before = at > 0 ? header[at - 1] : ' ';
        if (std::isalnum(static_cast<unsigned char>(before)) || before == '_') continue;
        std::vector<std::string> params(1);
        int depth = 0;
        bool quoted = false;
        for (std::size_t i = at + method.size() + 1; i < header.size(); ++i) {
            const char c = header[i];
            if (c == '"') quoted = !quoted;
            if (!quoted && (c == '(' || c == '<' || c == '{')) ++depth;
            if (!quoted && (c == '>' || c == '}')) --depth;
            if (!quoted && c == ')' && depth-- == 0) break;
            if (!quoted && c == ',' && depth == 0)
                params.emplace_back();
            else
                params.back() += c;
        }
        if (params.size() == 1 && params[0].find_first_not_of(" \n") == std::string::npos) params.clear();
        found.push_back(params);
    }
    return found;
}

std::string trimmed(std::string s) {
    s.erase(0, s.find_first_not_of(" \n"));
    s.erase(s.find_last_not_of(" \n") + 1);
    return s;
}

// Whether each default is the header's is DispatchDefaults' to tell, by calling both ways.
TEST(LateBoundNames, EveryNameIsTheClassHeaders) {
    int methods = 0;
    for (const auto* table : dispatch::classTables()) {
        const std::string header = headerText(table->name);
        ASSERT_FALSE(header.empty()) << table->name;
        for (const auto& m : table->methods) {
            ++methods;
            const std::string where = std::string(table->name) + "." + m.name;
            const auto found = declarations(header, m.name);
            const std::vector<std::string>* decl = nullptr;
            bool shorterOverload = false;
            for (const auto& d : found) {
                if (d.size() == m.params.size()) decl = &d;
                if (d.size() < m.params.size()) shorterOverload = true;
            }
            ASSERT_NE(decl, nullptr) << where << " has no declaration with " << m.params.size()
                                     << " parameters";
            for (std::size_t i = 0; i < m.params.size(); ++i) {
                const dispatch::Param& p = m.params[i];
                const std::string& text = (*decl)[i];
                const auto eq = text.find('=');
                std::string left = trimmed(text.substr(0, eq));
                const std::size_t nameStart =
                    left.find_last_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_");
                EXPECT_EQ(left.substr(nameStart + 1), p.name) << where << " parameter " << i + 1;
                if (eq == std::string::npos) {
                    // a default the header gives through an overload that leaves the parameter out
                    EXPECT_TRUE(!p.optional || shorterOverload)
                        << where << " " << p.name << " has no default";
                } else {
                    EXPECT_TRUE(p.optional) << where << " " << p.name << " leaves out the header's default";
                }
            }
        }
    }
    EXPECT_EQ(methods, 37);

    // the reader itself: a declaration it splits wrongly would let a wrong table pass
    const auto found =
        declarations("int f(int a, const std::pair<int, int>& b = {1, 2});\nint gf(int x);", "f");
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(found[0].size(), 2u);
    EXPECT_EQ(trimmed(found[0][1]), "const std::pair<int, int>& b = {1, 2}");
}

}  // namespace
}  // namespace Palvo
