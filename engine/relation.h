// A Relation joins a primary table to a foreign table over field pairs in
// order (Field::Name on the primary table, Field::ForeignName on the foreign
// one). Unless flagged dbRelationDontEnforce, it is stored as a FOREIGN KEY
// clause of the foreign table, so that SQLite holds every writer that turns
// foreign keys on to it, exactly as to a clause written by hand; the engine's
// own record keeps its name and attributes. Owned by its Database's
// Relations.
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
// Checked when the transaction commits, not at each statement.
inline constexpr long dbRelationDeferred = 1048576;         // DEFERRABLE INITIALLY DEFERRED
// Read from a FOREIGN KEY clause that another program wrote (column-level
// REFERENCES or table-level FOREIGN KEY, as the sqlite3 shell and most tools
// write relations), with no record of the engine's: the relation carries the
// bit from then on, through the relation catalogue too. Every enforced
// relation is a clause with or without it; the bit only says where the
// relation came from, so that attributes read back are the ones appended. A
// file's clause and the engine's record of the same tables, field pairs and
// actions are one relation.
inline constexpr long dbRelationDeclared = 2097152;         // FOREIGN KEY clause
// The attribute bits a FOREIGN KEY clause itself says: its actions and its
// deferral.
inline constexpr long kClauseAttributes = dbRelationUpdateCascade | dbRelationDeleteCascade |
                                          dbRelationDeleteSetNull | dbRelationUpdateSetNull |
                                          dbRelationDeleteSetDefault | dbRelationUpdateSetDefault |
                                          dbRelationDeferred;

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
  // empty for a relation that is not enforced, and for one an earlier version
  // kept without a clause (NeedsCompleting). An enforced relation appended
  // with a declaration is declared by it: on its column when it says
  // REFERENCES, among the table's clauses when it says FOREIGN KEY; without
  // one, the engine writes a table clause. Error 3219 once the relation is
  // stored.
  const std::string& Declaration() const { return declaration_; }
  void SetDeclaration(std::string value);
  // A stored relation that is a FOREIGN KEY clause alone, with no record of
  // the engine's (a table another program declared). It needs none: its
  // name is made from its tables, its attributes from the clause.
  bool ClauseOnly() const { return clause_only_; }
  // A stored relation that an earlier version of the engine kept as its
  // record and row triggers (no clause, or a clause and those triggers).
  // Database::CompleteRelation brings it to its clause.
  bool NeedsCompleting() const { return needs_completing_; }

  void MarkStored();
  bool Stored() const { return stored_; }
  // Engine side: what the file says of a stored relation.
  void Load(std::string declaration, bool clause_only, bool needs_completing);

 private:
  std::string name_;
  std::string table_;
  std::string foreign_table_;
  long attributes_;
  std::string declaration_;
  bool clause_only_ = false;
  bool needs_completing_ = false;
  bool stored_ = false;
  Collection<Field> fields_;
};

}  // namespace brenquil
