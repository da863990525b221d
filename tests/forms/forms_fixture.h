// A session on a fresh embedded database with the host tables and the default
// look, and a counting connection in front of it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/clsForm.h"
#include "palvo/memory/form.h"
#include "src/data/host_tables.h"
#include "support/errors.h"
#include "support/sqlite_fixture.h"

namespace Palvo::testing {

class FormsTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        query::createHostTables(*conn);
        counting = std::make_shared<CountingConnection>(conn);
        session().oConn = counting;
        form.mInit_Form();
    }

    std::shared_ptr<CountingConnection> counting;
    clsForm form;
};

}  // namespace Palvo::testing
