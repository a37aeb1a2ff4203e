// ExecuteSQL's view of a file: an in-memory SQLite database holding FileMaker's system tables
// FileMaker_Tables and FileMaker_Fields, built from the solution and then read-only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/solution.h"

struct sqlite3;

namespace fmhost {

struct SqliteCloser {
  void operator()(sqlite3* db) const;
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

struct SqlCatalog {
  SqliteHandle db;
};

// Null when SQLite cannot build the database.
std::unique_ptr<SqlCatalog> BuildSqlCatalog(const SolutionFile& file);

// One SELECT with its `?` parameters bound, in order, to the arguments' texts. The rows joined
// by rowSeparator, their columns by fieldSeparator; nullopt for any error, where FileMaker
// answers "?".
std::optional<std::string> RunSqlQuery(SqlCatalog& catalog, std::string_view sql,
                                       std::string_view fieldSeparator,
                                       std::string_view rowSeparator,
                                       const std::vector<std::string>& arguments);

} // namespace fmhost
