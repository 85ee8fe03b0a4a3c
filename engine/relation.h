// A Relation joins a primary table to a foreign table over field pairs in
// order (Field::Name on the primary table, Field::ForeignName on the foreign
// one). Unless flagged dbRelationDontEnforce, the engine enforces it on the
// data for every SQLite writer. Owned by its Database's Relations.
#pragma once

#include <memory>
#include <string>

#include "engine/collection.h"
#include "engine/field.h"
#include "engine/number.h"

namespace brenquil {

// True when two FOREIGN KEY clauses say the same up to blanks, comments and
// the quoting and letter case of names (string literals must match exactly).
bool SameRelationDeclaration(const std::string& a, const std::string& b);

// Relation attribute flags (DAO's RelationAttributeEnum).
inline constexpr long dbRelationUnique = 1;
inline constexpr long dbRelationDontEnforce = 2;
inline constexpr long dbRelationInherited = 4;
inline constexpr long dbRelationUpdateCascade = 256;
inline constexpr long dbRelationDeleteCascade = 4096;
inline constexpr long dbRelationLeft = 16777216;
inline constexpr long dbRelationRight = 33554432;
// The engine's own bits, for the actions SQLite declares and DAO has no flag
// for; a relation without them refuses (RESTRICT, NO ACTION) as DAO does.
inline constexpr long dbRelationDeleteSetNull = 65536;      // ON DELETE SET NULL
inline constexpr long dbRelationUpdateSetNull = 131072;     // ON UPDATE SET NULL
inline constexpr long dbRelationDeleteSetDefault = 262144;  // ON DELETE SET DEFAULT
inline constexpr long dbRelationUpdateSetDefault = 524288;  // ON UPDATE SET DEFAULT
// Checked when the transaction commits, not at each statement. Triggers
// cannot wait for the commit, so such a relation is stored as a FOREIGN KEY
// clause of its foreign table, which SQLite enforces for writers that turn
// foreign keys on.
inline constexpr long dbRelationDeferred = 1048576;         // DEFERRABLE INITIALLY DEFERRED
// Declared as a FOREIGN KEY clause of its foreign table (column-level
// REFERENCES or table-level FOREIGN KEY), as the sqlite3 shell and most tools
// write relations. SQLite holds to the clause only the writers that turn
// foreign keys on, so an enforced relation that is not deferred also has the
// engine's triggers; a file's clause and the engine's record of the same
// tables and field pairs are one relation. Every relation read from a clause
// carries this bit; a deferred relation is a clause whether or not it has it.
inline constexpr long dbRelationDeclared = 2097152;         // FOREIGN KEY clause

class Relation {
 public:
  Relation(std::string name, std::string table, std::string foreign_table,
           Number attributes = 0);

  const std::string& Name() const { return name_; }
  const std::string& Table() const { return table_; }
  const std::string& ForeignTable() const { return foreign_table_; }
  long Attributes() const { return attributes_; }

  Collection<Field>& Fields() { return fields_; }
  // A field pair not yet appended; set its ForeignName before appending the relation.
  std::shared_ptr<Field> CreateField(const std::string& name);

  // The FOREIGN KEY clause as the file declares it ("REFERENCES p (id) ON
  // DELETE CASCADE" on its column, or "FOREIGN KEY (a) REFERENCES p (id)");
  // empty for a relation that is not declared. A relation appended with a
  // declaration (and dbRelationDeclared or dbRelationDeferred) is declared by
  // it: on its column when it says REFERENCES, among the table's clauses when
  // it says FOREIGN KEY. Error 3219 once the relation is stored.
  const std::string& Declaration() const { return declaration_; }
  void SetDeclaration(std::string value);
  // A stored relation that is a FOREIGN KEY clause alone, with no record of
  // the engine's (a table another program declared): writers with foreign
  // keys off are not held to it. Database::CompleteRelation adds the rest.
  bool ClauseOnly() const { return clause_only_; }

  void MarkStored();
  bool Stored() const { return stored_; }
  // Engine side: what the file says of a stored relation.
  void Load(std::string declaration, bool clause_only);

 private:
  std::string name_;
  std::string table_;
  std::string foreign_table_;
  long attributes_;
  std::string declaration_;
  bool clause_only_ = false;
  bool stored_ = false;
  Collection<Field> fields_;
};

}  // namespace brenquil
