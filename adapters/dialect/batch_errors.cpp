// Transactions, RAISERROR and THROW in a batch, and which errors end what.
#include "batch_errors.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "palvo/error.h"

namespace Palvo::dialect {

namespace {}  // namespace

bool readTran(const Nodes& ns, std::size_t b, std::size_t e, TranStatement& out) {
    if (b >= e) return false;
    const Node& first = ns[b];
    std::size_t k = b + 1;
    using Kind = TranStatement::Kind;
    if (first.word("begin")) {
        if (k < e && ns[k].word("distributed")) unsupported("BEGIN DISTRIBUTED TRANSACTION");
        if (k >= e || !(ns[k].word("tran") || ns[k].word("transaction"))) return false;
        out.kind = Kind::Begin;
        ++k;
    } else if (first.word("commit") || first.word("rollback") || first.word("save")) {
        out.kind = first.word("commit") ? Kind::Commit : first.word("save") ? Kind::Save : Kind::Rollback;
        if (k < e && ns[k].word("work") && out.kind != Kind::Save) {
            ++k;
        } else if (k < e && (ns[k].word("tran") || ns[k].word("transaction"))) {
            ++k;
        } else if (out.kind == Kind::Save) {
            syntaxNear(first);
        }
    } else {
        return false;
    }
    out.name.clear();
    if (k < e && !ns[k].group && ns[k].tok.kind == TokenKind::Variable)
        unsupported("a transaction or savepoint name in a variable");
    if (k < e && ns[k].isName() && !ns[k].word("with")) out.name = ns[k++].tok.text;
    if (k < e && ns[k].word("with")) {
        unsupported(out.kind == Kind::Begin ? "BEGIN TRANSACTION ... WITH MARK"
                                            : upper(first.tok.text) + " ... WITH (DELAYED_DURABILITY)");
    }
    if (k < e) syntaxNear(ns[k]);
    if (out.kind == Kind::Save && out.name.empty()) syntaxNear(ns[e - 1]);
    return true;
}

bool readSetting(const Nodes& ns, std::size_t b, std::size_t e, Setting& out) {
    const std::size_t k = b + 1;
    if (k >= e || ns[k].group) return false;
    const Node& what = ns[k];
    using Kind = Setting::Kind;
    const bool onOff = k + 2 == e && (ns[k + 1].word("on") || ns[k + 1].word("off"));
    if (what.word("ansi_nulls") && onOff) {
        out.kind = Kind::AnsiNulls;
        out.on = ns[k + 1].word("on");
        return true;
    }
    if (what.word("xact_abort") && onOff) {
        out.kind = Kind::XactAbort;
        out.on = ns[k + 1].word("on");
        return true;
    }
    if (what.word("language")) {
        if (k + 2 != e || ns[k + 1].group) syntaxNear(ns[e - 1]);
        out.kind = Kind::Language;
        out.name = ns[k + 1].tok.text;
        return true;
    }
    if (what.word("lock_timeout")) {
        std::size_t j = k + 1;
        const bool minus = j < e && ns[j].op("-");
        if (minus) ++j;
        if (j + 1 != e || ns[j].group || ns[j].tok.kind != TokenKind::Number ||
            ns[j].tok.text.find_first_not_of("0123456789") != std::string::npos || ns[j].tok.text.size() > 9)
            syntaxNear(ns[e - 1]);
        out.kind = Kind::LockTimeout;
        out.value = minus ? -1 : std::stoll(ns[j].tok.text);
        return true;
    }
    out.kind = Kind::Kept;
    if (what.word("transaction")) {
        // the embedded database's transactions are serializable: every level gets at least what it asks
        static const char* const levels[][2] = {{"read", "uncommitted"},
                                                {"read", "committed"},
                                                {"repeatable", "read"},
                                                {"snapshot", nullptr},
                                                {"serializable", nullptr}};
        if (k + 2 < e && ns[k + 1].word("isolation") && ns[k + 2].word("level")) {
            for (const auto& l : levels) {
                const std::size_t n = l[1] ? 2 : 1;
                if (k + 3 + n == e && ns[k + 3].word(l[0]) && (!l[1] || ns[k + 4].word(l[1]))) return true;
            }
        }
        syntaxNear(ns[e - 1]);
    }
    // the values the embedded database keeps (SQL Server's us_english ones)
    if (what.word("datefirst")) {
        const std::size_t j = k + 1;
        if (j + 1 != e || ns[j].group || ns[j].tok.kind != TokenKind::Number || ns[j].tok.text.size() != 1 ||
            ns[j].tok.text[0] < '1' || ns[j].tok.text[0] > '7')
            unsupported("SET DATEFIRST other than a day from 1 to 7");
        out.kind = Kind::DateFirst;
        out.value = ns[j].tok.text[0] - '0';
        return true;
    }
    if (what.word("dateformat") || what.word("rowcount")) {
        const bool order = what.word("dateformat");
        out.kind = order ? Kind::DateFormat : Kind::RowCount;
        const std::size_t j = k + 1;
        if (j + 1 != e || ns[j].group) syntaxNear(ns[e - 1]);
        const Token& t = ns[j].tok;
        if (t.kind == TokenKind::Variable && !t.text.starts_with("@@")) {
            out.from = j;
        } else if (order) {
            out.name = dateOrderNamed(t.text);  // a word, or a text unquoted
        } else if (t.kind == TokenKind::Number &&
                   t.text.find_first_not_of("0123456789") == std::string::npos && t.text.size() <= 10) {
            out.value = std::stoll(t.text);
            if (out.value > INT32_MAX) syntaxNear(ns[j]);
        } else {
            syntaxNear(ns[j]);
        }
        return true;
    }
    return false;
}

std::string dateOrderNamed(const std::string& written) {
    std::string order;
    for (const char c : written) order += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    static const char* const orders[] = {"mdy", "dmy", "ymd", "ydm", "myd", "dym"};
    if (std::find(std::begin(orders), std::end(orders), order) == std::end(orders))
        unsupported("SET DATEFORMAT " + written + " (the orders are mdy, dmy, ymd, ydm, myd and dym)");
    return order;
}

long long waitMilliseconds(const std::string& text) {
    // hh:mm[:ss[.fff]], as a time of day: at most 23:59:59.997
    long long parts[3] = {0, 0, 0};
    long long millis = 0;
    std::size_t i = 0, part = 0;
    const std::string t(
        text.begin() + static_cast<std::ptrdiff_t>(std::min(text.find_first_not_of(' '), text.size())),
        text.end());
    bool ok = !t.empty();
    while (ok && i < t.size() && part < 3) {
        std::size_t digits = 0;
        long long v = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && digits < 3) {
            v = v * 10 + (t[i++] - '0');
            ++digits;
        }
        ok = digits > 0;
        parts[part++] = v;
        if (i < t.size() && t[i] == ':' && part < 3) {
            ++i;
        } else {
            break;
        }
    }
    if (ok && part == 3 && i < t.size() && t[i] == '.') {
        ++i;
        long long scale = 100;
        std::size_t digits = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            if (digits++ < 3) millis += (t[i] - '0') * scale;
            scale /= 10;
            ++i;
        }
        ok = digits > 0;
    }
    while (ok && i < t.size() && t[i] == ' ') ++i;
    ok = ok && i == t.size() && part >= 2 && parts[0] < 24 && parts[1] < 60 && parts[2] < 60;
    if (!ok) {
        throw Error(ErrorNumber::Database,
                    "Incorrect time syntax in time string '" + text + "' used with WAITFOR.", 148);
    }
    return ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + millis;
}

RaiseStatement readRaise(const Nodes& ns, std::size_t b, std::size_t e) {
    RaiseStatement r;
    std::size_t k = b + 1;
    if (k >= e || !ns[k].group) syntaxNear(ns[k < e ? k : e - 1]);
    const Nodes& args = ns[k].kids;
    for (const Span& s : splitCommas(args, 0, args.size())) {
        if (s.first >= s.second) syntaxNear(ns[k]);
        r.values.push_back(s);
    }
    if (r.values.size() < 3) syntaxNear(ns[k]);
    if (r.values.size() > 23)
        throw Error(
            ErrorNumber::Database,
            "Too many substitution parameters for RAISERROR. Cannot exceed 20 substitution parameters.",
            2787);
    const Node& msg = args[r.values[0].first];
    if (r.values[0].second == r.values[0].first + 1 && msg.tok.kind == TokenKind::Number)
        unsupported("RAISERROR with a message number (sp_addmessage)");
    ++k;
    if (k < e) {
        if (!ns[k].word("with")) syntaxNear(ns[k]);
        for (++k; k < e; ++k) {
            if (ns[k].op(",")) continue;
            if (ns[k].word("nowait") || ns[k].word("log")) continue;
            if (ns[k].word("seterror")) unsupported("RAISERROR ... WITH SETERROR");
            syntaxNear(ns[k]);
        }
    }
    return r;
}

ThrowStatement readThrow(const Nodes& ns, std::size_t b, std::size_t e) {
    ThrowStatement t;
    if (b + 1 == e) return t;
    for (const Span& s : splitCommas(ns, b + 1, e)) {
        if (s.first >= s.second) syntaxNear(ns[b]);
        t.values.push_back(s);
    }
    if (t.values.size() != 3) syntaxNear(ns[e - 1]);
    return t;
}

namespace {

bool integral(const Value& v) { return v.kind() == Value::Kind::Integer || v.kind() == Value::Kind::Boolean; }

[[noreturn]] void wrongKind(std::size_t argument) {
    throw Error(ErrorNumber::Database,
                "The data type of substitution parameter " + std::to_string(argument) +
                    " does not match the expected type of the format code.",
                2786);
}

}  // namespace

std::string raiseMessage(const std::string& format, const std::vector<Value>& args) {
    std::string out;
    std::size_t next = 0;  // the argument the next format code takes
    auto take = [&]() -> const Value* { return next < args.size() ? &args[next++] : nullptr; };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        std::string flags;
        while (j < format.size() && std::string_view("-+0# ").find(format[j]) != std::string_view::npos)
            flags += format[j++];
        auto number = [&](int& value) {
            value = -1;
            if (j < format.size() && format[j] == '*') {
                ++j;
                const std::size_t at = next + 1;
                const Value* v = take();
                if (v && !v->isNull() && !integral(*v)) wrongKind(at);
                value =
                    v && !v->isNull() ? static_cast<int>(std::clamp<std::int64_t>(v->toInt64(), 0, 8000)) : 0;
                return;
            }
            if (j < format.size() && format[j] >= '0' && format[j] <= '9') {
                value = 0;
                while (j < format.size() && format[j] >= '0' && format[j] <= '9')
                    value = std::min(value * 10 + (format[j++] - '0'), 8000);
            }
        };
        int width = -1, precision = -1;
        number(width);
        if (j < format.size() && format[j] == '.') {
            ++j;
            number(precision);
            if (precision < 0) precision = 0;
        }
        if (j < format.size() && (format[j] == 'h' || format[j] == 'l' || format[j] == 'I')) {
            if (format[j] == 'I' && format.compare(j, 3, "I64") == 0) j += 2;
            ++j;
        }
        if (j >= format.size() || std::string_view("disuxXo").find(format[j]) == std::string_view::npos) {
            // not a format code: kept as written, as SQL Server keeps it
            out += format.substr(i, j - i);
            i = j - 1;
            continue;
        }
        const char type = format[j];
        const std::size_t at = next + 1;
        const Value* v = take();
        std::string text;
        if (!v || v->isNull()) {
            text = "(null)";
            if (type == 's' && precision >= 0 && text.size() > static_cast<std::size_t>(precision))
                text.resize(static_cast<std::size_t>(precision));
        } else if (type == 's') {
            if (v->kind() != Value::Kind::Text) wrongKind(at);
            text = v->toText();
            if (precision >= 0 && text.size() > static_cast<std::size_t>(precision))
                text.resize(static_cast<std::size_t>(precision));
        } else {
            if (!integral(*v)) wrongKind(at);
            const std::int64_t n = v->toInt64();
            std::string code = "%" + flags;
            if (precision >= 0) code += "." + std::to_string(precision);
            char buf[64];
            if (type == 'd' || type == 'i') {
                code += "lld";
                std::snprintf(buf, sizeof buf, code.c_str(),
                              static_cast<long long>(static_cast<std::int32_t>(n)));
            } else {
                code += std::string("ll") + type;
                std::snprintf(buf, sizeof buf, code.c_str(),
                              static_cast<unsigned long long>(static_cast<std::uint32_t>(n)));
            }
            text = buf;
        }
        if (width > 0 && text.size() < static_cast<std::size_t>(width)) {
            const std::size_t pad = static_cast<std::size_t>(width) - text.size();
            const bool left = flags.find('-') != std::string::npos;
            const bool zeros = !left && type != 's' && flags.find('0') != std::string::npos;
            if (left) {
                text.append(pad, ' ');
            } else if (zeros) {
                const std::size_t sign =
                    !text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ');
                text.insert(sign, pad, '0');
            } else {
                text.insert(0, pad, ' ');
            }
        }
        out += text;
        i = j;
    }
    // at most 2,047 characters: a longer message keeps its first 2,044 and "..."
    std::size_t chars = 0, cut = 0;
    for (std::size_t k = 0; k < out.size(); ++k) {
        if ((static_cast<unsigned char>(out[k]) & 0xC0) == 0x80) continue;
        if (++chars == 2045) cut = k;
    }
    if (chars > 2047) out = out.substr(0, cut) + "...";
    return out;
}

ErrorEnds errorEnds(long number) {
    switch (number) {
        // constraints, NULL into NOT NULL, truncation, identity rules
        case 2627:
        case 2601:
        case 547:
        case 515:
        case 8152:
        case 2628:
        case 544:
        case 8101:
        case 8107:
        // arithmetic under ANSI_WARNINGS ON: overflow, divide by zero, domain
        case 8115:
        case 8134:
        case 220:
        case 232:
        case 517:
        case 3623:
        case 1007:
        // COMMIT, ROLLBACK, SAVE without their transaction or savepoint
        case 3902:
        case 3903:
        case 6401:
        case 628:
        case 3930:
        // another connection's lock waited for past LOCK_TIMEOUT
        case 1222:
        // RAISERROR's own mistakes
        case 2786:
        case 2754:
        // cursors: declared twice, missing, not open, open already, a fetch it cannot make
        case 16915:
        case 16916:
        case 16917:
        case 16905:
        case 16911:
        case 16924:
        // a procedure that is not there (resolved as the call runs), or not one
        case 2812:
        case 2809:
        case 266:
        case 3701:
        case 15009:
            return ErrorEnds::Statement;
        // conversions of values, a deadlock
        case 245:
        case 8114:
        case 241:
        case 242:
        case 1205:
            return ErrorEnds::BatchAndTransaction;
        default:
            return number >= 50000 ? ErrorEnds::Statement : ErrorEnds::Batch;
    }
}

int severityOf(long number) {
    if (number == 2627 || number == 2601) return 14;
    if (number == 1205) return 13;
    return 16;
}

}  // namespace Palvo::dialect
