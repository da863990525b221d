// Feeds arbitrary text to the window script reader of `palvo call --script`:
// it reads the actions or names the bad line with error 5.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "palvo/error.h"
#include "palvo/window_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Palvo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        int line = 0;
        for (const ScriptAction& a : parseWindowScript(text)) {
            if (a.line <= line || a.index < 0 || a.col < 0) __builtin_trap();
            line = a.line;
            // an action read from its own line reads the same, but for what the line kept for
            // messages loses: trailing blanks, and read again a carriage return at its end
            const auto again = parseWindowScript(a.source);
            const bool crEnd = !a.source.empty() && a.source.back() == '\r';
            const bool blankEnd = !a.text.empty() && (a.text.back() == ' ' || a.text.back() == '\t');
            if (!crEnd && (again.size() != 1 || again[0].kind != a.kind || again[0].control != a.control ||
                           (!blankEnd && again[0].text != a.text) || again[0].index != a.index ||
                           again[0].key != a.key))
                __builtin_trap();
        }
    } catch (const Error& e) {
        if (e.number() != ErrorNumber::InvalidCall) __builtin_trap();
    }
    return 0;
}
