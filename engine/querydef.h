// A QueryDef is a stored query: a name and its SQL text, kept exactly
// (line breaks included). A stored SELECT is also an SQLite view of that name.
// Owned by its Database's QueryDefs.
#pragma once

#include <string>

namespace brenquil {

class QueryDef {
 public:
  QueryDef(std::string name, std::string sql);
  const std::string& Name() const { return name_; }
  const std::string& SQL() const { return sql_; }
  // Raises Error 3219 once the query is stored.
  void SetSQL(std::string sql);
  // For a query that is a view: its CREATE VIEW statement as the file stores
  // it (a column-name list included). A query appended with one is created by
  // it, when its SELECT is the query's SQL.
  const std::string& Declaration() const { return declaration_; }
  void SetDeclaration(std::string value);

  void MarkStored() { stored_ = true; }
  bool Stored() const { return stored_; }

 private:
  std::string name_;
  std::string sql_;
  std::string declaration_;
  bool stored_ = false;
};

}  // namespace brenquil
