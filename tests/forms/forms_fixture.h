// A session on a fresh embedded database with the host tables and the default
// look, and a counting connection in front of it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/clsForm.h"
#include "palvo/memory/form.h"
#include "palvo/memory/grid.h"
#include "src/data/host_tables.h"
#include "support/errors.h"
#include "support/sqlite_fixture.h"

namespace Palvo::testing {

// A grid of headings and rows of cells below them, the last row current.
inline memory::FlexGrid gridOf(const std::vector<std::string>& headings,
                               const std::vector<std::vector<std::string>>& rows) {
    memory::FlexGrid grid;
    grid.Cols(static_cast<int>(headings.size()));
    grid.Rows(static_cast<int>(rows.size()) + 1);
    for (std::size_t c = 0; c < headings.size(); ++c) grid.TextMatrix(0, static_cast<int>(c), headings[c]);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            grid.TextMatrix(static_cast<int>(r + 1), static_cast<int>(c), rows[r][c]);
    }
    grid.Row(static_cast<int>(rows.size()));
    return grid;
}

class FormsTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        data::createHostTables(*conn);
        counting = std::make_shared<CountingConnection>(conn);
        session().oConn = counting;
        form.mInit_Form();
    }

    std::shared_ptr<CountingConnection> counting;
    clsForm form;
};

}  // namespace Palvo::testing
