// The triggers that enforce a relation for every SQLite writer: a child row
// needs its parent; a parent with children is not deleted or changed, or its
// children follow it where the relation cascades.
#include "engine/connection.h"
#include "engine/relation_sql.h"
#include "engine/relation.h"

namespace brenquil::detail {

std::string RelationWhere(const RelationInfo& r, const std::string& parent_alias,
                          const std::string& child_alias) {
  std::string where;
  for (size_t i = 0; i < r.fields.size(); ++i)
    where += (i ? " AND " : "") + parent_alias + "." + QuoteId(r.fields[i].first) + " = " + child_alias +
             "." + QuoteId(r.fields[i].second);
  return where;
}
std::string AllSet(const RelationInfo& r, const std::string& alias) {
  std::string s;
  for (size_t i = 0; i < r.fields.size(); ++i)
    s += (i ? " AND " : "") + alias + "." + QuoteId(r.fields[i].second) + " IS NOT NULL";
  return s;
}
namespace {
const char* kTriggerKinds[] = {"_hijo_alta", "_hijo_cambio", "_padre_baja", "_padre_cambio"};
}  // namespace

void Connection::CreateRelationTriggers(const RelationInfo& r) {
  std::string p = QuoteId(r.table), c = QuoteId(r.foreign_table);
  std::string missing = QuoteLiteral("brenquil:" + std::to_string(err::kRelatedRecordRequired) +
                                     ":Se necesita un registro relacionado en la tabla '" + r.table +
                                     "' (relación '" + r.name + "')");
  std::string related = QuoteLiteral("brenquil:" + std::to_string(err::kRelatedRecords) +
                                     ":la tabla '" + r.foreign_table + "' tiene registros relacionados (relación '" +
                                     r.name + "')");
  std::string child_cols, parent_cols, changed;
  for (size_t i = 0; i < r.fields.size(); ++i) {
    child_cols += (i ? ", " : "") + QuoteId(r.fields[i].second);
    parent_cols += (i ? ", " : "") + QuoteId(r.fields[i].first);
    changed += (i ? " OR " : "") + std::string("OLD.") + QuoteId(r.fields[i].first) + " IS NOT NEW." +
               QuoteId(r.fields[i].first);
  }
  std::string orphan = AllSet(r, "NEW") + " AND NOT EXISTS (SELECT 1 FROM " + p + " AS brenquil_padre WHERE " +
                       RelationWhere(r, "brenquil_padre", "NEW") + ")";
  auto name = [&](int kind) { return QuoteId("MSysRel_" + r.name + kTriggerKinds[kind]); };
  Exec("CREATE TRIGGER " + name(0) + " BEFORE INSERT ON " + c + " WHEN " + orphan + " BEGIN SELECT RAISE(ABORT, " +
       missing + "); END");
  Exec("CREATE TRIGGER " + name(1) + " BEFORE UPDATE OF " + child_cols + " ON " + c + " WHEN " + orphan +
       " BEGIN SELECT RAISE(ABORT, " + missing + "); END");
  std::string children = "SELECT 1 FROM " + c + " AS brenquil_hijo WHERE " + RelationWhere(r, "OLD", "brenquil_hijo");
  std::string child_match;
  for (size_t i = 0; i < r.fields.size(); ++i)
    child_match += (i ? " AND " : "") + QuoteId(r.fields[i].second) + " = OLD." + QuoteId(r.fields[i].first);
  // SET NULL and SET DEFAULT give the children NULL or their column's DEFAULT.
  auto set_children = [&](bool to_default) {
    auto child = Table(r.foreign_table);
    std::string set;
    for (size_t i = 0; i < r.fields.size(); ++i) {
      const FieldInfo* f = child->FindField(r.fields[i].second);
      std::string value = to_default && f && !f->default_text.empty() ? f->default_text : "NULL";
      set += (i ? ", " : "") + QuoteId(r.fields[i].second) + " = " + value;
    }
    return set;
  };
  if (r.attributes & dbRelationDeleteCascade)
    Exec("CREATE TRIGGER " + name(2) + " AFTER DELETE ON " + p + " BEGIN DELETE FROM " + c + " WHERE " +
         child_match + "; END");
  else if (r.attributes & (dbRelationDeleteSetNull | dbRelationDeleteSetDefault))
    Exec("CREATE TRIGGER " + name(2) + " AFTER DELETE ON " + p + " BEGIN UPDATE " + c + " SET " +
         set_children((r.attributes & dbRelationDeleteSetDefault) != 0) + " WHERE " + child_match + "; END");
  else
    Exec("CREATE TRIGGER " + name(2) + " BEFORE DELETE ON " + p + " WHEN EXISTS (" + children +
         ") BEGIN SELECT RAISE(ABORT, " + related + "); END");
  if (r.attributes & dbRelationUpdateCascade) {
    std::string set;
    for (size_t i = 0; i < r.fields.size(); ++i)
      set += (i ? ", " : "") + QuoteId(r.fields[i].second) + " = NEW." + QuoteId(r.fields[i].first);
    Exec("CREATE TRIGGER " + name(3) + " AFTER UPDATE OF " + parent_cols + " ON " + p + " WHEN " + changed +
         " BEGIN UPDATE " + c + " SET " + set + " WHERE " + child_match + "; END");
  } else if (r.attributes & (dbRelationUpdateSetNull | dbRelationUpdateSetDefault)) {
    Exec("CREATE TRIGGER " + name(3) + " AFTER UPDATE OF " + parent_cols + " ON " + p + " WHEN " + changed +
         " BEGIN UPDATE " + c + " SET " + set_children((r.attributes & dbRelationUpdateSetDefault) != 0) +
         " WHERE " + child_match + "; END");
  } else {
    Exec("CREATE TRIGGER " + name(3) + " BEFORE UPDATE OF " + parent_cols + " ON " + p + " WHEN (" + changed +
         ") AND EXISTS (" + children + ") BEGIN SELECT RAISE(ABORT, " + related + "); END");
  }
}

void Connection::DropRelationTriggers(const std::string& name) {
  for (const char* kind : kTriggerKinds) Exec("DROP TRIGGER IF EXISTS " + QuoteId("MSysRel_" + name + kind));
}


}  // namespace brenquil::detail
