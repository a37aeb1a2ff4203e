#include "engine/sql_catalog.h"

#include <sqlite3.h>

#include <cstdio>
#include <initializer_list>
#include <variant>

namespace fmhost {
namespace {

// A runaway query (a recursive CTE without end) is cut off after this many virtual machine
// steps, counted in blocks of kProgressBlock; the host must never hang on a solution's SQL.
constexpr int kProgressBlock = 1000;
constexpr int kMaxProgressBlocks = 20000;
// Results past this size are refused like any other failed query.
constexpr std::size_t kMaxResultBytes = 64u << 20;

constexpr const char* kSchemaSql =
    "CREATE TABLE FileMaker_Tables (TableName TEXT, TableId INTEGER, BaseTableName TEXT, "
    "BaseFileName TEXT, ModCount INTEGER);"
    "CREATE TABLE FileMaker_Fields (TableName TEXT, FieldName TEXT, FieldType TEXT, "
    "FieldId INTEGER, FieldClass TEXT, FieldReps INTEGER, ModCount INTEGER);";

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

Statement Prepare(sqlite3* db, std::string_view sql, const char** tail) {
  sqlite3_stmt* raw = nullptr;
  if (sql.size() > static_cast<std::size_t>(INT32_MAX)) return Statement();
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, tail) != SQLITE_OK) {
    sqlite3_finalize(raw);
    return Statement();
  }
  return Statement(raw);
}

bool BindText(sqlite3_stmt* statement, int index, std::string_view text) {
  return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT,
                             SQLITE_UTF8) == SQLITE_OK;
}

using SqlCell = std::variant<std::string_view, sqlite3_int64>;

bool Insert(sqlite3* db, const char* sql, std::initializer_list<SqlCell> cells) {
  Statement statement = Prepare(db, sql, nullptr);
  if (!statement) return false;
  int index = 1;
  for (const SqlCell& cell : cells) {
    const bool bound =
        std::holds_alternative<sqlite3_int64>(cell)
            ? sqlite3_bind_int64(statement.get(), index, std::get<sqlite3_int64>(cell)) == SQLITE_OK
            : BindText(statement.get(), index, std::get<std::string_view>(cell));
    if (!bound) return false;
    ++index;
  }
  return sqlite3_step(statement.get()) == SQLITE_DONE;
}

bool Fill(sqlite3* db, const SolutionFile& file) {
  if (sqlite3_exec(db, kSchemaSql, nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  sqlite3_int64 tableId = 129; // FileMaker numbers a file's tables from 130
  for (const SolutionTable& table : file.tables) {
    ++tableId;
    if (!Insert(db, "INSERT INTO FileMaker_Tables VALUES (?, ?, ?, ?, 1)",
                {table.name, tableId, table.name, file.name})) {
      return false;
    }
    sqlite3_int64 fieldId = 0;
    for (const SolutionField& field : table.fields) {
      ++fieldId;
      if (!Insert(db, "INSERT INTO FileMaker_Fields VALUES (?, ?, ?, ?, ?, 1, 1)",
                  {table.name, field.name, field.type, fieldId, field.fieldClass})) {
        return false;
      }
    }
  }
  return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Once filled, the database answers SELECTs only: no writes, no ATTACH of real files, no PRAGMA.
int AuthorizeReadOnly(void*, int action, const char*, const char*, const char*, const char*) {
  switch (action) {
  case SQLITE_SELECT:
  case SQLITE_READ:
  case SQLITE_FUNCTION:
  case SQLITE_RECURSIVE:
    return SQLITE_OK;
  default:
    return SQLITE_DENY;
  }
}

int StopRunawayQuery(void* counter) {
  int& blocks = *static_cast<int*>(counter);
  return ++blocks > kMaxProgressBlocks ? 1 : 0;
}

void AppendColumn(std::string& out, sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
  case SQLITE_NULL:
    return;
  case SQLITE_INTEGER:
    out += std::to_string(sqlite3_column_int64(statement, column));
    return;
  case SQLITE_FLOAT: {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", sqlite3_column_double(statement, column));
    out += buffer;
    return;
  }
  default: {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
    const int size = sqlite3_column_bytes(statement, column);
    if (bytes != nullptr && size > 0) out.append(bytes, static_cast<std::size_t>(size));
    return;
  }
  }
}

bool OnlyBlanksOrSemicolons(const char* text, const char* end) {
  for (; text < end; ++text) {
    const char c = *text;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return false;
  }
  return true;
}

} // namespace

void SqliteCloser::operator()(sqlite3* db) const { sqlite3_close(db); }

std::unique_ptr<SqlCatalog> BuildSqlCatalog(const SolutionFile& file) {
  sqlite3* raw = nullptr;
  const int opened =
      sqlite3_open_v2(":memory:", &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  auto catalog = std::make_unique<SqlCatalog>();
  catalog->db.reset(raw);
  if (opened != SQLITE_OK || !Fill(raw, file)) return nullptr;
  sqlite3_set_authorizer(raw, AuthorizeReadOnly, nullptr);
  return catalog;
}

std::optional<std::string> RunSqlQuery(SqlCatalog& catalog, std::string_view sql,
                                       std::string_view fieldSeparator,
                                       std::string_view rowSeparator,
                                       const std::vector<std::string>& arguments) {
  sqlite3* db = catalog.db.get();
  const char* tail = nullptr;
  Statement statement = Prepare(db, sql, &tail);
  if (!statement || !sqlite3_stmt_readonly(statement.get())) return std::nullopt;
  if (tail != nullptr && !OnlyBlanksOrSemicolons(tail, sql.data() + sql.size())) {
    return std::nullopt;
  }
  if (sqlite3_bind_parameter_count(statement.get()) != static_cast<int>(arguments.size())) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (!BindText(statement.get(), static_cast<int>(i + 1), arguments[i])) return std::nullopt;
  }
  int blocks = 0;
  sqlite3_progress_handler(db, kProgressBlock, StopRunawayQuery, &blocks);
  std::string result;
  bool firstRow = true;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    if (!firstRow) result += rowSeparator;
    firstRow = false;
    const int columns = sqlite3_column_count(statement.get());
    for (int column = 0; column < columns; ++column) {
      if (column > 0) result += fieldSeparator;
      AppendColumn(result, statement.get(), column);
    }
    if (result.size() > kMaxResultBytes) break;
  }
  sqlite3_progress_handler(db, 0, nullptr, nullptr);
  if (step != SQLITE_DONE) return std::nullopt;
  return result;
}

} // namespace fmhost
