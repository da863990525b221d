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
            // an action read from its own line reads the same (the line is kept without its
            // trailing blanks, and read again loses a line end, which a text may end in)
            const auto again = parseWindowScript(a.source);
            const bool blankEnd =
                !a.text.empty() && (a.text.back() == ' ' || a.text.back() == '\t' || a.text.back() == '\r');
            if (again.size() != 1 || again[0].kind != a.kind || again[0].control != a.control ||
                (!blankEnd && again[0].text != a.text) || again[0].index != a.index || again[0].key != a.key)
                __builtin_trap();
        }
    } catch (const Error& e) {
        if (e.number() != ErrorNumber::InvalidCall) __builtin_trap();
    }
    return 0;
}
