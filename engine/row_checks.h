// Checks of a database's rows against a constraint before it is added: how
// many rows a unique index, a relation or a required field would refuse, with
// a few of their keys, so that a step can keep what the file has instead of
// losing it, and a plan can say so before anything changes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace brenquil {

class Database;

struct BlockingRows {
  long count = 0;                     // rows the constraint would refuse
  std::vector<std::string> examples;  // up to five of their keys, as "a, b"
};

// Rows of `table` whose values of `fields` (all set) repeat another row's.
BlockingRows RowsRepeatingKey(Database& db, const std::string& table, const std::vector<std::string>& fields);

// Rows of `table` that the index `create_index` (a CREATE [UNIQUE] INDEX
// statement, of this table or of its namesake in another file) would refuse,
// judged by SQLite itself as the index judges them: its key expressions with
// their collations, only the rows its WHERE holds, a key with a null part
// never repeating; none for an index that is not unique. Error 3219 when the
// statement is not one this reader understands, and SQLite's own error when
// the table cannot take it (a field or a function it lacks): either way the
// index cannot be built on this table.
BlockingRows RowsRefusingIndex(Database& db, const std::string& table, const std::string& create_index);

// Rows of `child` whose `pairs` (parent field, child field), all set, have no
// row of `parent` to match.
BlockingRows RowsWithoutParent(Database& db, const std::string& parent, const std::string& child,
                               const std::vector<std::pair<std::string, std::string>>& pairs);

// Rows of `table` that a new required (NOT NULL) field would leave without a
// value: all of them, since a field added to a table is empty in every row.
// Their keys are the table's primary key fields, or the rowid.
BlockingRows RowsLeftEmpty(Database& db, const std::string& table);

// "3 filas lo impiden (claves: 1; 2)": the blocking rows, for a journal text.
std::string DescribeBlockingRows(const BlockingRows& rows);

}  // namespace brenquil
