// A TableDef describes one table of a Database: its fields and indexes.
// A stored table definition is an SQLite table; appending a Field or an Index
// to it changes the stored table at once (rows kept). Owned by its Database's
// TableDefs, or by the caller until appended.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/collection.h"
#include "engine/field.h"
#include "engine/index.h"
#include "engine/number.h"

namespace brenquil {

class TableDef {
 public:
  explicit TableDef(std::string name);

  const std::string& Name() const { return name_; }
  // False for a table that cannot be changed: the database was opened
  // read-only (the file is write-protected), or the object is a view.
  bool Updatable() const { return updatable_; }

  // The CREATE TABLE statement: as the file stores it for a stored table; for
  // a new one, the declaration it is to be created by (a model's), used when
  // its columns are the fields appended to it. Empty: built from the fields.
  std::string Declaration() const { return declaration_source_ ? declaration_source_() : declaration_; }
  void SetDeclaration(std::string value);

  Collection<Field>& Fields() { return fields_; }
  Collection<Index>& Indexes() { return indexes_; }

  // Factories: objects not yet stored. Numbers may arrive as decimal text.
  std::shared_ptr<Field> CreateField(const std::string& name, Number type = 0,
                                     Number size = 0);
  std::shared_ptr<Index> CreateIndex(const std::string& name);

  // Engine side.
  void MarkStored(bool updatable);
  void SetDeclarationSource(std::function<std::string()> source) { declaration_source_ = std::move(source); }
  bool Stored() const { return stored_; }

 private:
  std::string name_;
  bool updatable_ = true;
  bool stored_ = false;
  std::string declaration_;
  std::function<std::string()> declaration_source_;
  Collection<Field> fields_;
  Collection<Index> indexes_;
};

}  // namespace brenquil
