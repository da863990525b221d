#include "palvo/dialect/server_errors.h"

#include <algorithm>
#include <stdexcept>

#include "palvo/text.h"

namespace Palvo::dialect {

namespace {

// SQL Server's words for each error, %1, %2, ... standing for its arguments:
// English as us_english sessions get them, Chinese as 简体中文 sessions do.
struct Entry {
    long number;
    std::string_view english;
    std::string_view chinese;
};

constexpr Entry kErrors[] = {
    {102, "Incorrect syntax near '%1'.", "'%1' 附近有语法错误。"},
    {131, "The size (%1) given to the type '%2' exceeds the maximum allowed for any data type (%3).",
     "为类型 '%2' 指定的大小(%1)超出了任意数据类型所允许的最大值(%3)。"},
    {131, "The size (%1) given to the column '%2' exceeds the maximum allowed for any data type (%3).",
     "为列 '%2' 指定的大小(%1)超出了任意数据类型所允许的最大值(%3)。"},
    {134,
     "The variable name '%1' has already been declared. Variable names must be unique within a query batch "
     "or "
     "stored procedure.",
     "变量名 '%1' 已声明。变量名在查询批次或存储过程内部必须唯一。"},
    {135, "Cannot use a BREAK statement outside the scope of a WHILE statement.",
     "不能在 WHILE 语句的作用域之外使用 BREAK 语句。"},
    {136, "Cannot use a CONTINUE statement outside the scope of a WHILE statement.",
     "不能在 WHILE 语句的作用域之外使用 CONTINUE 语句。"},
    {137, "Must declare the scalar variable \"%1\".", "必须声明标量变量 \"%1\"。"},
    {1087, "Must declare the table variable \"%1\".", "必须声明表变量 \"%1\"。"},
    {141,
     "A SELECT statement that assigns a value to a variable must not be combined with data-retrieval "
     "operations.",
     "向变量赋值的 SELECT 语句不能与数据检索操作结合使用。"},
    {156, "Incorrect syntax near the keyword '%1'.", "关键字 '%1' 附近有语法错误。"},
    {119,
     "Must pass parameter number %1 and subsequent parameters as '@name = value'. After the form '@name = "
     "value' has been used, all subsequent parameters must be passed in the form '@name = value'.",
     "必须传递参数数目 %1，并以 '@name = value' 的形式传递后续的参数。一旦使用了 '@name = value' "
     "形式之后，所有后续的参数就必须以 '@name = value' 的形式传递。"},
    {201, "Procedure or function '%1' expects parameter '%2', which was not supplied.",
     "过程或函数 '%1' 需要参数 '%2'，但未提供该参数。"},
    {217, "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit %1).",
     "超出了存储过程、函数、触发器或视图的最大嵌套层数(最大层数为 %1)。"},
    {8144, "Procedure or function %1 has too many arguments specified.",
     "为过程或函数 %1 指定了过多的参数。"},
    {8145, "%1 is not a parameter for procedure %2.", "%1 不是过程 %2 的参数。"},
    {111, "'%1' must be the first statement in a query batch.", "'%1' 必须是查询批次中的第一个语句。"},
    {178, "A RETURN statement with a return value cannot be used in this context.",
     "在此上下文中不能使用带有返回值的 RETURN 语句。"},
    {2809, "The request for procedure '%1' failed because '%2' is a %3 object.",
     "对过程 '%1' 的请求失败，因为 '%2' 是 %3 对象。"},
    {2812, "Could not find stored procedure '%1'.", "找不到存储过程 '%1'。"},
    {266,
     "Transaction count after EXECUTE indicates a mismatching number of BEGIN and COMMIT statements. "
     "Previous "
     "count = %1, current count = %2.",
     "EXECUTE 后的事务计数指示 BEGIN 和 COMMIT 语句的数目不匹配。上一计数 = %1，当前计数 = %2。"},
    {8162,
     "The formal parameter \"%1\" was not declared as an OUTPUT parameter, but the actual parameter passed "
     "in "
     "requested output.",
     "形参 \"%1\" 未声明为 OUTPUT 参数，但为其传递的实参请求了输出。"},
    {15009, "The object '%1' does not exist in database '%2' or is invalid for this operation.",
     "对象 '%1' 不存在于数据库 '%2' 中，或者对此操作无效。"},
    {207, "Invalid column name '%1'.", "列名 '%1' 无效。"},
    {208, "Invalid object name '%1'.", "对象名 '%1' 无效。"},
    // the first of 3701's is the one englishText gives: DROP TABLE's, which the connection reports
    {3701, "Cannot drop the table '%1', because it does not exist or you do not have permission.",
     "无法对 表 '%1' 执行 删除，因为它不存在，或者您没有所需的权限。"},
    {3701, "Cannot drop the view '%1', because it does not exist or you do not have permission.",
     "无法对 视图 '%1' 执行 删除，因为它不存在，或者您没有所需的权限。"},
    {3701, "Cannot drop the index '%1', because it does not exist or you do not have permission.",
     "无法对 索引 '%1' 执行 删除，因为它不存在，或者您没有所需的权限。"},
    {3701, "Cannot drop the procedure '%1', because it does not exist or you do not have permission.",
     "无法对 过程 '%1' 执行 删除，因为它不存在，或者您没有所需的权限。"},
    {3701, "Cannot drop the function '%1', because it does not exist or you do not have permission.",
     "无法对 函数 '%1' 执行 删除，因为它不存在，或者您没有所需的权限。"},
    {220, "Arithmetic overflow error for data type %1, value = %2.", "数据类型 %1 的算术溢出错误，值 = %2。"},
    {271,
     "The column \"%1\" cannot be modified because it is either a computed column or is the result of a "
     "UNION operator.",
     "无法修改列\"%1\"，因为它是计算列，或者是 UNION 运算符的结果。"},
    {241, "Conversion failed when converting date and/or time from character string.",
     "从字符串转换日期和/或时间时，转换失败。"},
    {242, "The conversion of a %1 data type to a %2 data type resulted in an out-of-range value.",
     "从 %1 数据类型到 %2 数据类型的转换产生一个超出范围的值。"},
    {245, "Conversion failed when converting the %1 value '%2' to data type %3.",
     "在将 %1 值 '%2' 转换成数据类型 %3 时失败。"},
    {506, "The invalid escape character \"%1\" was specified in a LIKE predicate.",
     "在 LIKE 谓词中指定了无效的转义字符 \"%1\"。"},
    {515, "Cannot insert the value NULL into column '%1', table '%2'; column does not allow nulls. %3 fails.",
     "不能将值 NULL 插入列 '%1'，表 '%2'；列不允许有 Null 值。%3 失败。"},
    {547,
     "The %1 statement conflicted with the CHECK constraint \"%2\". The conflict occurred in database "
     "\"%3\", "
     "table \"%4\".",
     "%1 语句与 CHECK 约束\"%2\"冲突。该冲突发生于数据库\"%3\"，表\"%4\"。"},
    {547,
     "The %1 statement conflicted with the %2 constraint \"%3\". The conflict occurred in database \"%4\", "
     "table \"%5\", column '%6'.",
     "%1 语句与 %2 约束\"%3\"冲突。该冲突发生于数据库\"%4\"，表\"%5\", column '%6'。"},
    {1007, "The number '%1' is out of the range for numeric representation (maximum precision 38).",
     "数字 '%1' 超出了数值表示形式的范围(最大精度为 38)。"},
    {1205,
     "Transaction (Process ID %1) was deadlocked on %2 resources with another process and has been chosen "
     "as the deadlock victim. Rerun the transaction.",
     "事务(进程 ID %1)与另一个进程被死锁在 %2 资源上，并且已被选作死锁牺牲品。请重新运行该事务。"},
    {1222, "Lock request time out period exceeded.", "已超过了锁请求超时时段。"},
    {2601, "Cannot insert duplicate key row in object '%1' with unique index '%2'.",
     "不能在具有唯一索引 '%2' 的对象 '%1' 中插入重复键的行。"},
    {2627, "Violation of %1 constraint '%2'. Cannot insert duplicate key in object '%3'.",
     "违反了 %1 约束 '%2'。不能在对象 '%3' 中插入重复键。"},
    {2714, "There is already an object named '%1' in the database.", "数据库中已存在名为 '%1' 的对象。"},
    {2715, "Column, parameter, or variable #%1: Cannot find data type %2.",
     "第 %1 个列、参数或变量: 找不到数据类型 %2。"},
    {2739, "The text, ntext, and image data types are invalid for local variables.",
     "text、ntext 和 image 数据类型对于局部变量无效。"},
    {3726, "Could not drop object '%1' because it is referenced by a FOREIGN KEY constraint.",
     "无法删除对象 '%1'，因为该对象正由一个 FOREIGN KEY 约束引用。"},
    {3623, "An invalid floating point operation occurred.", "出现无效的浮点运算。"},
    {4902, "Cannot find the object \"%1\" because it does not exist or you do not have permissions.",
     "找不到对象\"%1\"，因为它不存在或者您没有所需的权限。"},
    {4924, "ALTER TABLE %1 COLUMN failed because column '%2' does not exist in table '%3'.",
     "ALTER TABLE %1 COLUMN 失败，因为表 '%3' 中不存在列 '%2'。"},
    {5074,
     "The index '%1' is dependent on column '%2'. ALTER TABLE DROP COLUMN %3 failed because one or more "
     "objects access this column.",
     "索引 '%1' 依赖于 列 '%2'。由于一个或多个对象访问此列，ALTER TABLE DROP COLUMN %3 失败。"},
    {8114, "Error converting data type %1 to %2.", "从数据类型 %1 转换为 %2 时出错。"},
    {8115, "Arithmetic overflow error converting %1 to data type %2.",
     "将 %1 转换为数据类型 %2 时出现算术溢出错误。"},
    {8117, "Operand data type %1 is invalid for %2 operator.", "操作数数据类型 %1 对于 %2 运算符无效。"},
    {8134, "Divide by zero error encountered.", "遇到以零作除数错误。"},
    {8152, "String or binary data would be truncated.", "将截断字符串或二进制数据。"},
    {8178, "The parameterized query '%1' expects the parameter '%2', which was not supplied.",
     "参数化查询 '%1' 需要参数 '%2'，但未提供该参数。"},
    {9828,
     "The second and third arguments of the TRANSLATE built-in function must contain an equal number of "
     "characters.",
     "TRANSLATE 内置函数的第二个和第三个参数必须包含相同数目的字符。"},
    {15248, "Either the parameter @objname is ambiguous or the claimed @objtype (%1) is wrong.",
     "参数 @objname 不明确或所声明的 @objtype (%1)有误。"},
    {15335,
     "Error: The new name '%1' is already in use as a %2 name and would cause a duplicate that is not "
     "permitted.",
     "错误: 新名称 '%1' 已作为 %2 名称使用，这将导致不允许的重复。"},
    // IDENTITY_INSERT
    {1088, "Cannot find the object \"%1\" because it does not exist or you do not have permissions.",
     "找不到对象\"%1\"，因为它不存在或者您没有所需的权限。"},
    {544,
     "Cannot insert explicit value for identity column in table '%1' when IDENTITY_INSERT is set to OFF.",
     "当 IDENTITY_INSERT 设置为 OFF 时，不能为表 '%1' 中的标识列插入显式值。"},
    {8101,
     "An explicit value for the identity column in table '%1' can only be specified when a column list is "
     "used "
     "and IDENTITY_INSERT is ON.",
     "仅当使用了列列表并且 IDENTITY_INSERT 为 ON 时，才能为表'%1'中的标识列指定显式值。"},
    {8107, "IDENTITY_INSERT is already ON for table '%1'. Cannot perform SET operation for table '%2'.",
     "表 '%1' 的 IDENTITY_INSERT 已经为 ON。无法对表 '%2' 执行 SET 操作。"},
    // MERGE (its Chinese words are not known here: English in either language, see below)
    {8672,
     "The MERGE statement attempted to UPDATE or DELETE the same row more than once. This happens when a "
     "target row matches more than one source row. A MERGE statement cannot UPDATE/DELETE the same row of "
     "the target table multiple times. Refine the ON clause to ensure a target row matches at most one "
     "source "
     "row, or use the GROUP BY clause to group the source rows.",
     ""},
    // dates and FORMAT
    {289, "Cannot construct data type %1, some of the arguments have values which are not valid.",
     "无法构造数据类型 %1，某些参数的值无效。"},
    {517, "Adding a value to a '%1' column caused an overflow.", "将值添加到 '%1' 列导致溢出。"},
    {8116, "Argument data type %1 is invalid for argument %2 of %3 function.",
     "参数数据类型 %1 对于 %3 函数的参数 %2 无效。"},
    {9818, "The culture parameter '%1' provided in the function call is not supported.",
     "函数调用中提供的区域性参数 '%1' 不受支持。"},
    // STRING_SPLIT's separator
    {214, "Procedure expects parameter '%1' of type '%2'.", "过程需要类型为 '%2' 的参数 '%1'。"},
    // the counts of TOP, OFFSET and FETCH and the offsets of LAG and LEAD
    {127, "A TOP N value may not be negative.", "TOP N 值不能为负数。"},
    {1031, "Percent values must be between 0 and 100.", "百分比值必须介于 0 和 100 之间。"},
    {8730, "Offset parameter for Lag and Lead functions cannot be a negative value.",
     "Lag 和 Lead 函数的偏移量参数不能为负值。"},
    {10742, "The offset specified in an OFFSET clause may not be negative.",
     "OFFSET 子句中指定的偏移量不能为负数。"},
    {10743, "The number of rows provided for an OFFSET clause must be an integer.",
     "为 OFFSET 子句提供的行数必须是整数。"},
    {10744, "The number of rows provided for a FETCH clause must be greater then zero.",
     "为 FETCH 子句提供的行数必须大于零。"},
    // transactions and errors in a batch
    {3902, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.",
     "COMMIT TRANSACTION 请求没有对应的 BEGIN TRANSACTION。"},
    {3903, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.",
     "ROLLBACK TRANSACTION 请求没有对应的 BEGIN TRANSACTION。"},
    {6401, "Cannot roll back %1. No transaction or savepoint of that name was found.",
     "无法回滚 %1。找不到该名称的事务或保存点。"},
    {628, "Cannot issue SAVE TRANSACTION when there is no active transaction.",
     "当没有活动事务时，不能发出 SAVE TRANSACTION。"},
    {3930,
     "The current transaction cannot be committed and cannot support operations that write to the log file. "
     "Roll back the transaction.",
     "当前事务无法提交，而且无法支持写入日志文件的操作。请回滚该事务。"},
    {3998, "Uncommittable transaction is detected at the end of the batch. The transaction is rolled back.",
     "在批处理结束时检测到不可提交的事务。该事务将回滚。"},
    {2786,
     "The data type of substitution parameter %1 does not match the expected type of the format "
     "code.",
     "替换参数 %1 的数据类型与格式规范的预期类型不匹配。"},
    {2787, "Too many substitution parameters for RAISERROR. Cannot exceed 20 substitution parameters.",
     "RAISERROR 的替换参数太多。替换参数不能超过 20 个。"},
    {2754,
     "Error severity levels greater than 18 can only be specified by members of the sysadmin role, using the "
     "WITH LOG option.",
     "只有 sysadmin 角色的成员才能使用 WITH LOG 选项来指定大于 18 的错误严重级别。"},
    {35100,
     "Error number %1 in the THROW statement is outside the valid range. Specify an error number in the "
     "valid "
     "range of 50000 to 2147483647.",
     "THROW 语句中的错误号 %1 超出了有效范围。请指定一个介于 50000 和 2147483647 之间的有效错误号。"},
    {148, "Incorrect time syntax in time string '%1' used with WAITFOR.",
     "与 WAITFOR 一起使用的时间字符串 '%1' 中的时间语法不正确。"},
    {10704, "To rethrow an error, a THROW statement must be used inside a CATCH block.",
     "若要重新引发错误，THROW 语句必须在 CATCH 块内使用。"},
    // cursors
    {16915, "A cursor with the name '%1' already exists.", "名为 '%1' 的游标已存在。"},
    {16916, "A cursor with the name '%1' does not exist.", "名为 '%1' 的游标不存在。"},
    {16917, "Cursor is not open.", "游标未打开。"},
    {16905, "The cursor is already open.", "游标已打开。"},
    {16911, "%1: The fetch type %2 cannot be used with forward only cursors.",
     "%1: 提取类型 %2 不能用于只进游标。"},
    {16924,
     "Cursorfetch: The number of variables declared in the INTO list must match that of selected columns.",
     "Cursorfetch: INTO 列表中声明的变量数必须与所选列数相同。"},
};

bool isPlaceholder(std::string_view p, std::size_t i) {
    return p[i] == '%' && i + 1 < p.size() && p[i + 1] >= '1' && p[i + 1] <= '9';
}

// Whether `text` has the shape of `pattern`, each placeholder standing for at
// least one character; the shortest reading wins, so a closing quote in a value
// ("it's") is left to the literal after it only where nothing else fits.
bool match(std::string_view pattern, std::string_view text, std::vector<std::string_view>& args) {
    std::size_t i = 0;
    while (i < pattern.size() && !isPlaceholder(pattern, i)) ++i;
    if (!text.starts_with(pattern.substr(0, i))) return false;
    text.remove_prefix(i);
    if (i == pattern.size()) return text.empty();
    const auto slot = static_cast<std::size_t>(pattern[i + 1] - '1');
    if (args.size() <= slot) args.resize(slot + 1);
    const std::string_view rest = pattern.substr(i + 2);
    if (rest.empty()) {
        args[slot] = text;
        return !text.empty();
    }
    // the placeholder ends where the literal after it next begins
    std::size_t literal = 0;
    while (literal < rest.size() && !isPlaceholder(rest, literal)) ++literal;
    const std::string_view next = rest.substr(0, literal);
    for (std::size_t n = text.find(next, 1); n != std::string_view::npos; n = text.find(next, n + 1)) {
        args[slot] = text.substr(0, n);
        if (match(rest, text.substr(n), args)) return true;
    }
    return false;
}

template <class Text>
std::string fill(std::string_view pattern, const std::vector<Text>& args) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (isPlaceholder(pattern, i)) {
            const auto slot = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (slot < args.size()) out += args[slot];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace

std::optional<Language> languageNamed(std::string_view name) {
    std::string n(base::trimBlanks(name));
    if (n.size() >= 2 && (n.front() == '[' || n.front() == '\'' || n.front() == '"')) {
        const char close = n.front() == '[' ? ']' : n.front();
        if (n.back() == close) n = n.substr(1, n.size() - 2);
    } else if (n.size() >= 3 && (n[0] == 'N' || n[0] == 'n') && n[1] == '\'' && n.back() == '\'') {
        n = n.substr(2, n.size() - 3);
    }
    const std::string lower = base::asciiLower(n);
    if (lower == "简体中文" || lower == "simplified chinese") return Language::Chinese;
    if (lower == "us_english" || lower == "english") return Language::English;
    return std::nullopt;
}

std::optional<ServerError> serverError(std::string_view english, Language language, long number) {
    std::vector<std::string_view> args;
    std::optional<ServerError> first;
    for (const Entry& e : kErrors) {
        args.clear();
        if (match(e.english, english, args)) {
            // one text under several numbers (1088 and 4902): the number the error has
            // an entry without its Chinese words gives the English in either language
            ServerError found{
                e.number,
                fill(language == Language::Chinese && !e.chinese.empty() ? e.chinese : e.english, args)};
            if (e.number == number) return found;
            if (!first) first = std::move(found);
        }
    }
    return first;
}

namespace {

// The number of arguments a text takes (its highest placeholder).
std::size_t arguments(std::string_view pattern) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (isPlaceholder(pattern, i)) n = std::max(n, static_cast<std::size_t>(pattern[i + 1] - '0'));
    }
    return n;
}

}  // namespace

std::string englishText(long number, const std::vector<std::string>& args) {
    // one number may have several texts (547: a CHECK, a foreign key): the one taking these arguments
    for (const Entry& e : kErrors) {
        if (e.number == number && arguments(e.english) == args.size()) return fill(e.english, args);
    }
    for (const Entry& e : kErrors) {
        if (e.number == number) return fill(e.english, args);
    }
    throw std::out_of_range("no text for error " + std::to_string(number));
}

bool isReservedWord(std::string_view word) {
    // SQL Server's reserved keywords, each between blanks
    static constexpr std::string_view kWords =
        " add all alter and any as asc authorization backup begin between break browse bulk by cascade case "
        " check checkpoint close clustered coalesce collate column commit compute constraint contains "
        " containstable continue convert create cross current current_date current_time current_timestamp "
        " current_user cursor database dbcc deallocate declare default delete deny desc disk distinct "
        " distributed double drop dump else end errlvl escape except exec execute exists exit external fetch "
        " file fillfactor for foreign freetext freetexttable from full function goto grant group having "
        " holdlock identity identity_insert identitycol if in index inner insert intersect into is join key "
        " kill left like lineno load merge national nocheck nonclustered not null nullif of off offsets on "
        " open opendatasource openquery openrowset openxml option or order outer over percent pivot plan "
        " precision primary print proc procedure public raiserror read readtext reconfigure references "
        " replication restore restrict return revert revoke right rollback rowcount rowguidcol rule save "
        " schema securityaudit select session_user set setuser shutdown some statistics system_user table "
        " tablesample textsize then to top tran transaction trigger truncate try_convert tsequal union "
        " unique unpivot update updatetext use user values varying view waitfor when where while with "
        " writetext ";
    if (word.empty() || word.find(' ') != std::string_view::npos) return false;
    return kWords.find(" " + base::asciiLower(word) + " ") != std::string_view::npos;
}

}  // namespace Palvo::dialect
