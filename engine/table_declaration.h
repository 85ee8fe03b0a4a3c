// Internal to the engine. A table's CREATE TABLE text read as SQLite reads
// it: its columns and their constraints, its table constraints and options,
// each with its place in the text, so that a change can remove exactly one
// clause and keep every other character of the declaration.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenquil::detail {

// A part of the declaration text: [begin, end).
struct Span {
  size_t begin = 0;
  size_t end = 0;
};

enum class ClauseKind { kPrimaryKey, kUnique, kForeignKey, kCheck, kNotNull, kNull, kDefault, kCollate, kGenerated };

// One column or table constraint, its optional "CONSTRAINT name" included.
struct Clause {
  ClauseKind kind;
  Span span;
  std::vector<std::string> columns;         // key columns (unquoted); a column's own clause names it
  std::string parent;                       // FOREIGN KEY / REFERENCES: the parent table
  std::vector<std::string> parent_columns;  // as declared, possibly none
  bool autoincrement = false;
  bool deferred = false;  // FOREIGN KEY / REFERENCES: DEFERRABLE INITIALLY DEFERRED
};

struct ColumnDeclaration {
  std::string name;  // unquoted
  Span span;         // the whole column definition
  std::vector<Clause> clauses;
};

struct TableDeclaration {
  std::string text;  // the CREATE TABLE statement as stored
  Span name;         // the table's name token
  std::vector<ColumnDeclaration> columns;
  std::vector<Clause> table_clauses;
  // The comma-separated elements of the body, columns first, in text order.
  std::vector<Span> elements;
  bool without_rowid = false;
  bool strict = false;

  // Every PRIMARY KEY, UNIQUE or FOREIGN KEY clause, column and table level.
  std::vector<const Clause*> KeyClauses(ClauseKind kind) const;
};

// Reads a CREATE TABLE statement; nothing when it is not one this reader
// understands (the caller then refuses to change the table).
std::optional<TableDeclaration> ParseTableDeclaration(std::string_view create);

// The declaration without `clauses` (each a clause of `declaration`): a column
// clause is cut out with the blanks before it; a table clause with the comma
// before it. Everything else stays as written.
std::string WithoutClauses(const TableDeclaration& declaration, const std::vector<const Clause*>& clauses);

// The declaration with its table name replaced by `quoted_name`.
std::string WithName(std::string_view create, const TableDeclaration& declaration, const std::string& quoted_name);

}  // namespace brenquil::detail
