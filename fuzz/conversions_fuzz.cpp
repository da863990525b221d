// Feeds arbitrary bytes to the conversions every module relies on. The first
// byte picks how the rest is split into a text and a pattern.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "palvo/clsFunction.h"
#include "palvo/convert.h"
#include "palvo/error.h"
#include "palvo/memory/msgbox.h"
#include "palvo/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Palvo;
    static auto box = std::make_shared<memory::ScriptedMessageBox>();
    static const bool installed = (installMessageBox(box), true);
    (void)installed;
    box->clear();
    clsFunction fn;
    if (size == 0) return 0;

    const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = data[0] % (all.size() + 1);
    const std::string_view text = all.substr(0, cut);
    const std::string_view pattern = all.substr(cut);

    try {
        base::val(all);
    } catch (const Error& e) {
        if (e.number() != ErrorNumber::Overflow) __builtin_trap();  // 1e400 overflows, as documented
    }
    if (auto n = base::readNumber(all)) {
        if (!base::isNumeric(all)) __builtin_trap();  // the two must agree
        fn.sConvertMoneyX(*n);
    }
    if (auto d = base::parseDate(all)) {
        if (!d->valid()) __builtin_trap();
        const std::string formatted = base::formatDate(*d, "YYYY-MM-DD hh:mm:ss");
        if (base::parseDate(formatted) != d && d->millisecond == 0) __builtin_trap();
        std::string copy(all);
        fn.sUserDate(copy, "yyyy-mm");
    }
    try {
        base::like(text, pattern);
    } catch (const Error& e) {
        if (e.number() != 93) __builtin_trap();  // only a bad pattern may raise
    }
    fn.lGetLenthStr(std::string(all));
    if (fn.sSetPwd(fn.sSetPwd(std::string(all), true), true) != all) __builtin_trap();

    if (size >= 8) {
        double je;
        std::memcpy(&je, data, sizeof je);
        fn.sConvertMoneyX(je);
    }
    return 0;
}
