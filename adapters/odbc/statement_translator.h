// Where T-SQL is rewritten for databases other than SQL Server.
#pragma once

#include "palvo/dialect/target.h"
#include "palvo/dialect/translator.h"
#include "palvo/odbc/connection.h"

namespace Palvo::odbc::detail {

/// The translator of the connections to a database of `target`: one translator
/// (and its cache) shared by all of them; none for a target that passes T-SQL through.
StatementTranslator translatorFor(const dialect::Target& target);
/// That shared translator itself; nullptr for a target that passes T-SQL through.
dialect::Translator* sharedTranslator(const dialect::Target& target);

}  // namespace Palvo::odbc::detail
