// The forms of the statements that change data the translator refuses by name
// (what it renders is checked by its answers, tests/dataaccess/tsql_dml_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "palvo/dialect/target.h"
#include "palvo/dialect/translator.h"
#include "support/errors.h"
#include "translation_cases.h"

namespace {

using Palvo::testing::Refusal;
using Palvo::testing::Refuses;

INSTANTIATE_TEST_SUITE_P(
    JoinsAndTop, Refuses,
    ::testing::Values(
        Refusal{"set identity_insert T on", "SET IDENTITY_INSERT"},
        Refusal{"update top (2) T set a = 1 from T join X on T.k = X.k", "UPDATE TOP with FROM"},
        Refusal{"delete top (10) percent from T", "DELETE TOP ... PERCENT"},
        Refusal{"delete U from T join X on T.k = X.k", "DELETE of U, which its FROM does not name"},
        Refusal{"update T set c = 1 from T left join X on T.k = X.k join Y on Y.k = X.k",
                "outer join on the updated table among more than two tables"}));

INSTANTIATE_TEST_SUITE_P(
    Merge, Refuses,
    ::testing::Values(
        Refusal{"merge T using (select 1 k) s on T.k = s.k when matched then delete",
                "MERGE with a source that is no table"},
        Refusal{"merge T using S on T.k = S.k when matched then delete output deleted.k", "MERGE ... OUTPUT"},
        Refusal{"merge T using S on T.k = S.k when matched then update set a = 1 when matched then delete",
                "MERGE with a first WHEN clause of two without AND"},
        Refusal{"merge T using S on T.k = S.k when not matched then insert default values",
                "MERGE ... THEN INSERT without VALUES (...)"}));

INSTANTIATE_TEST_SUITE_P(
    Output, Refuses,
    ::testing::Values(Refusal{"update t set a = 1 output deleted.a", "OUTPUT deleted in UPDATE"},
                      Refusal{"insert into t (a) output deleted.a values (1)", "OUTPUT deleted in INSERT"},
                      Refusal{"delete from t output inserted.a", "OUTPUT inserted in DELETE"},
                      Refusal{"update t set a = 1 output u.a from t join u on t.k = u.k",
                              "OUTPUT of the columns of u"},
                      Refusal{"insert into t (a) output inserted.a, ? values (1)", "a parameter in OUTPUT"},
                      Refusal{"with c as (select 1 a) insert into t (a) output inserted.a select a from c",
                              "OUTPUT after WITH"}));

// A host that runs the statements alone would get the rowids (or the deleted rows), not the rows kept.
TEST(OutputElsewhere, OutputReadBackByTheConnectionIsRefusedToAHostRunningTheTextAlone) {
    Palvo::dialect::Translator translator(Palvo::dialect::sqliteTarget());
    const std::pair<const char*, const char*> cases[] = {
        {"update t set a = 1 output inserted.a", "OUTPUT inserted"},
        {"delete from t output deleted.a into u where k = 1", "DELETE ... OUTPUT ... INTO"},
    };
    for (const auto& [tsql, says] : cases) {
        SCOPED_TRACE(tsql);
        const auto [number, text] = Palvo::testing::errorOf([&] { translator.translate(tsql); });
        EXPECT_EQ(number, static_cast<long>(Palvo::ErrorNumber::NotSupported));
        EXPECT_NE(text.find(says), std::string::npos) << text;
    }
}

}  // namespace
