// Statements that change data as the translator renders them for SQLite, and
// the forms it refuses by name.
#include <gtest/gtest.h>

#include "translation_cases.h"

namespace {

using Palvo::testing::Case;
using Palvo::testing::Refusal;
using Palvo::testing::Refuses;
using Palvo::testing::Translates;

INSTANTIATE_TEST_SUITE_P(
    Output, Translates,
    ::testing::Values(
        // the changed rows' rowids; the connection reads the rows back by them
        Case{"insert into t (a) output inserted.id, inserted.* values (1)",
             "insert into t (a) values (1) returning rowid"},
        Case{"update t set a = 1 output inserted.a where k = 2", "update t set a = 1 where k = 2 returning rowid"},
        // a deleted row is returned as it was stored
        Case{"delete from t output deleted.*, deleted.a as b where k = 1",
             "delete from t where k = 1 returning *, a as b"}));

INSTANTIATE_TEST_SUITE_P(
    Output, Refuses,
    ::testing::Values(
        Refusal{"update t set a = 1 output deleted.a", "OUTPUT deleted in UPDATE"},
        Refusal{"insert into t (a) output deleted.a values (1)", "OUTPUT deleted in INSERT"},
        Refusal{"delete from t output inserted.a", "OUTPUT inserted in DELETE"},
        Refusal{"delete from t output deleted.a into u where k = 1", "OUTPUT ... INTO"},
        Refusal{"update t set a = 1 output u.a from t join u on t.k = u.k", "OUTPUT of the columns of u"},
        Refusal{"insert into t (a) output inserted.a, ? values (1)", "a parameter in OUTPUT"},
        Refusal{"with c as (select 1 a) insert into t (a) output inserted.a select a from c",
                "OUTPUT after WITH"}));

}  // namespace
