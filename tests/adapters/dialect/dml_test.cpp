// Statements that change data as the translator renders them for SQLite, and
// the forms it refuses by name.
#include <gtest/gtest.h>

#include <string>

#include "palvo/dialect/target.h"
#include "palvo/dialect/translator.h"
#include "support/errors.h"
#include "translation_cases.h"

namespace {

using Palvo::testing::Case;
using Palvo::testing::Refusal;
using Palvo::testing::Refuses;
using Palvo::testing::Translates;

INSTANTIATE_TEST_SUITE_P(Output, Translates,
                         ::testing::Values(
                             // the changed rows' rowids; the connection reads the rows back by them
                             Case{"insert into t (a) output inserted.id, inserted.* values (1)",
                                  "insert into t (a) values (1) returning rowid"},
                             Case{"update t set a = 1 output inserted.a where k = 2",
                                  "update t set a = 1 where k = 2 returning rowid"},
                             // a deleted row is returned as it was stored
                             Case{"delete from t output deleted.*, deleted.a as b where k = 1",
                                  "delete from t where k = 1 returning *, a as b"}));

INSTANTIATE_TEST_SUITE_P(
    JoinsAndTop, Translates,
    ::testing::Values(
        // the rows a join or TOP picks go by their rowids
        Case{"delete T from T join X on T.a = X.a",
             "delete from T where rowid in (select T.rowid from T join X on T.a = X.a)"},
        Case{"delete from a from T a join X b on a.k = b.k where b.z = 1",
             "delete from T where rowid in (select a.rowid from T a join X b on a.k = b.k where b.z = 1)"},
        Case{"delete top (2) from T where k > 1",
             "delete from T where rowid in (select rowid from T where k > 1 limit 2)"},
        Case{"delete top 2 T", "delete from T where rowid in (select rowid from T limit 2)"},
        Case{"update top (2) T set a = 1 where k > 1",
             "update T set a = 1 where rowid in (select rowid from T where k > 1 limit 2)"},
        // the target named by its table, its FROM entry aliased
        Case{"update T set c = b.v from T a join X b on a.k = b.k",
             "update T as a set c = b.v from X b where (a.k = b.k)"},
        // an outer join keeping the target's unmatched rows: the join becomes a derived table
        Case{"update T set c = X.v from T left join X on T.k = X.k",
             "update T set c = X.v from (select T.rowid as palvo_rowid, X.* from T left join X on T.k = X.k) "
             "as X "
             "where T.rowid = X.palvo_rowid"},
        Case{"update a set c = b.v from X b right join T a on a.k = b.k where b.v is null",
             "update T as a set c = b.v from (select a.rowid as palvo_rowid, b.* from X b right join T a on "
             "a.k = b.k) as b where a.rowid = b.palvo_rowid and (b.v is null)"},
        // one keeping the other side's rows updates only matched ones: an inner join
        Case{"update a set c = b.v from T a right join X b on a.k = b.k",
             "update T as a set c = b.v from X b where (a.k = b.k)"}));

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
                      Refusal{"delete from t output deleted.a into u where k = 1", "OUTPUT ... INTO"},
                      Refusal{"update t set a = 1 output u.a from t join u on t.k = u.k",
                              "OUTPUT of the columns of u"},
                      Refusal{"insert into t (a) output inserted.a, ? values (1)", "a parameter in OUTPUT"},
                      Refusal{"with c as (select 1 a) insert into t (a) output inserted.a select a from c",
                              "OUTPUT after WITH"}));

// A host that runs the statements alone would get the rowids, not the rows.
TEST(OutputElsewhere, InsertOrUpdateWithOutputIsRefusedToAHostRunningTheTextAlone) {
    Palvo::dialect::Translator translator(Palvo::dialect::sqliteTarget());
    EXPECT_EQ(
        Palvo::testing::errorOf([&] { translator.translate("update t set a = 1 output inserted.a"); }).first,
        static_cast<long>(Palvo::ErrorNumber::NotSupported));
}

}  // namespace
