// An Index of a table: a name (unique within its table), its key fields in
// order, and the unique and primary flags. A stored index is a real SQLite
// index, or the table's own primary key. Owned by its TableDef's Indexes.
#pragma once

#include <memory>
#include <string>

#include "engine/collection.h"
#include "engine/field.h"

namespace brenquil {

// True when two CREATE INDEX statements build the same index, whatever the
// indexes' own names, their table's spelling, blanks and the quoting of names.
bool SameIndexDeclaration(const std::string& a, const std::string& b);

class Index {
 public:
  explicit Index(std::string name);

  const std::string& Name() const { return name_; }
  bool Unique() const { return unique_ || primary_; }
  bool Primary() const { return primary_; }
  // Setters raise Error 3219 once the index is stored.
  void SetUnique(bool value);
  void SetPrimary(bool value);
  // The CREATE INDEX statement as the file stores it (DESC, COLLATE, WHERE and
  // expressions included); empty for a table's own key and for an index not
  // read from a file. An index appended with a declaration is built from it.
  const std::string& Declaration() const { return declaration_; }
  void SetDeclaration(std::string value);

  Collection<Field>& Fields() { return fields_; }
  // A key field not yet appended to Fields.
  std::shared_ptr<Field> CreateField(const std::string& name);

  // Engine side.
  void MarkStored();
  bool Stored() const { return stored_; }
  void Load(bool unique, bool primary, std::string declaration = {});

 private:
  std::string name_;
  bool unique_ = false;
  bool primary_ = false;
  std::string declaration_;
  bool stored_ = false;
  Collection<Field> fields_;
};

}  // namespace brenquil
