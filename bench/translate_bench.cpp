// T-SQL translation: a statement served from the cache, and typical statements translated afresh.
#include <benchmark/benchmark.h>

#include "palvo/dialect/target.h"
#include "palvo/dialect/translator.h"

namespace {

const char* const kSeed =
    "Insert Into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名)  select "
    "'T',name,1,colid,'C','N','U'  "
    "from   syscolumns where object_name(id)='T'      and (type_name(xtype) not "
    "in('binary','image','ntext','sql_variant','text','varbinary'))    and (name not in "
    "('编号','编号1','编号2'))  ";
const char* const kSelect =
    "select top 50 [编号],[名称],[金额(元)],[日期],Hand_Date +Hand_Time from [B_单位] where [单位编号]='01' "
    "order by [编号]";

void BM_TranslateCached(benchmark::State& state) {
    Palvo::dialect::Translator tr(Palvo::dialect::sqliteTarget());
    tr.translateStatements(kSelect);
    for (auto _ : state) benchmark::DoNotOptimize(tr.translateStatements(kSelect));
}
BENCHMARK(BM_TranslateCached);

void BM_TranslateSeedingStatement(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Palvo::dialect::translateUncached(kSeed));
}
BENCHMARK(BM_TranslateSeedingStatement);

void BM_TranslateSelectTopBrackets(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Palvo::dialect::translateUncached(kSelect));
}
BENCHMARK(BM_TranslateSelectTopBrackets);

}  // namespace

BENCHMARK_MAIN();
