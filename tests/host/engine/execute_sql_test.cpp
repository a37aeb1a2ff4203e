// ExecuteSQL over FileMaker's system tables of the context file.
#include <sstream>

#include "engine_fixture.h"

namespace fmhost {
namespace {

class ExecuteSqlTest : public EngineTest {
protected:
  // ExecuteSQL of a query passed in $sql, followed by the given separators and arguments.
  std::string Sql(const std::string& sql, const std::string& rest = "\"\" ; \"\"",
                  const std::string& file = "") {
    variables["$sql"] = CalcValue{sql, false};
    return Text("ExecuteSQL ( $sql ; " + rest + " )", file);
  }
};

TEST_F(ExecuteSqlTest, FieldNamesOfOneTableWithDefaultSeparators) {
  EXPECT_EQ("Payments,Amount,decimal,Normal\rPayments,Id,decimal,Normal",
            Sql("SELECT TableName, FieldName, FieldType, FieldClass FROM FileMaker_Fields WHERE "
                "TableName = 'Payments' AND FieldName IN ('Id', 'Amount') ORDER BY FieldName"));
  EXPECT_EQ("Total,Calculated", Sql("SELECT FieldName, FieldClass FROM FileMaker_Fields WHERE "
                                    "FieldName = 'Total'"));
}

TEST_F(ExecuteSqlTest, LikeIgnoresAsciiCaseAndArgumentsBindToQuestionMarks) {
  EXPECT_EQ("17", Sql("SELECT COUNT(*) FROM FileMaker_Fields WHERE TableName LIKE 'invoice%'"));
  EXPECT_EQ("2", Sql("SELECT COUNT(*) FROM FileMaker_Fields WHERE TableName = ? AND FieldType = ?",
                     "\"\" ; \"\" ; \"Invoices\" ; \"date\""));
  EXPECT_EQ("Invoices 130",
            Sql("SELECT TableName, TableId FROM FileMaker_Tables WHERE BaseFileName = ? AND "
                "TableId = ?",
                "\" \" ; \"\" ; \"Sales\" ; 130"));
  const char* byTable = "SELECT FieldName FROM FileMaker_Fields WHERE TableName = ?";
  EXPECT_EQ("", Sql(byTable, "\"\" ; \"\" ; \"Nothing'; DROP TABLE FileMaker_Fields; --\""));
  EXPECT_EQ("?", Sql(byTable));
  EXPECT_EQ("?", Sql("SELECT 1", "\"\" ; \"\" ; \"extra\""));
}

TEST_F(ExecuteSqlTest, EachFileQueriesItsOwnFieldsAndNullsReadEmpty) {
  EXPECT_EQ("People|Companies|Addresses",
            Sql("SELECT TableName FROM FileMaker_Tables", "\"\" ; \"|\"", "Contacts"));
  EXPECT_EQ("a--2.5", Sql("SELECT 'a', NULL, 2.5", "\"-\" ; \"\""));
}

TEST_F(ExecuteSqlTest, BadOrHarmfulQueriesAnswerQuestionMarkAndChangeNothing) {
  // One query per '|'.
  std::istringstream refused(
      "SELEC 1||SELECT * FROM NoSuchTable|DELETE FROM FileMaker_Fields|DROP TABLE FileMaker_Fields|"
      "INSERT INTO FileMaker_Tables (TableName) VALUES ('x')|"
      "ATTACH DATABASE 'tideloom_engine_attach.db' AS other|PRAGMA table_info(FileMaker_Fields)|"
      "SELECT 1; DELETE FROM FileMaker_Fields|"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT COUNT(*) FROM c");
  for (std::string sql; std::getline(refused, sql, '|');)
    EXPECT_EQ("?", Sql(sql)) << sql;
  EXPECT_EQ("24", Sql("SELECT COUNT(*) FROM FileMaker_Fields"));
}

TEST_F(ExecuteSqlTest, QuestionMarkListArgumentCountAndTheCache) {
  solution->files[0].questionMark = {"executesql"};
  EXPECT_EQ("?", Sql("SELECT 1"));
  EXPECT_EQ("1", Sql("SELECT 1", "\"\" ; \"\"", "Contacts"));
  EXPECT_EQ(kCalcErrorArgumentCount, Error("ExecuteSQL ( \"SELECT 1\" ; \"\" )"));

  // Changed fields show only after the cache is dropped.
  const char* count = "SELECT COUNT(*) FROM FileMaker_Fields";
  EXPECT_EQ("12", Sql(count, "\"\" ; \"\"", "Inventory"));
  solution->files[2].tables[0].fields.push_back({"Weight", "decimal", "Normal"});
  EXPECT_EQ("12", Sql(count, "\"\" ; \"\"", "Inventory"));
  engine.ForgetCachedQueries();
  EXPECT_EQ("13", Sql(count, "\"\" ; \"\"", "Inventory"));
}

} // namespace
} // namespace fmhost
