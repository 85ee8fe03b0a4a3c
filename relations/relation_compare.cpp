#include "relations/relation_compare.h"

#include "tables/table_names.h"

namespace brenquil {

namespace {

bool SamePairs(Relation& a, Relation& b) {
  const int pairs = a.Fields().Count();
  if (pairs != b.Fields().Count()) return false;
  for (int p = 0; p < pairs; ++p) {
    auto fa = a.Fields()[p];
    auto fb = b.Fields()[p];
    if (!SameSqlName(fa->Name(), fb->Name()) || !SameSqlName(fa->ForeignName(), fb->ForeignName())) return false;
  }
  return true;
}

}  // namespace

bool SameRelation(Relation& a, Relation& b) {
  if (!SameSqlName(a.Name(), b.Name()) || !SameSqlName(a.Table(), b.Table()) ||
      !SameSqlName(a.ForeignTable(), b.ForeignTable()) || a.Attributes() != b.Attributes() || !SamePairs(a, b))
    return false;
  // A relation declared as a clause is the same only when its clause is,
  // blanks and the quoting of names aside.
  return a.Declaration().empty() || b.Declaration().empty() ||
         SameRelationDeclaration(a.Declaration(), b.Declaration());
}

bool DeclaredBy(Relation& relation, Relation& clause) {
  if (!clause.ClauseOnly() || (relation.Attributes() & dbRelationDontEnforce) ||
      !SameSqlName(relation.Table(), clause.Table()) || !SameSqlName(relation.ForeignTable(), clause.ForeignTable()) ||
      (relation.Attributes() & kClauseAttributes) != (clause.Attributes() & kClauseAttributes) ||
      !SamePairs(relation, clause))
    return false;
  return relation.Declaration().empty() || SameRelationDeclaration(relation.Declaration(), clause.Declaration());
}

BlockingRows RowsAgainst(Database& old, Relation& relation) {
  if (relation.Attributes() & dbRelationDontEnforce) return {};
  std::vector<std::pair<std::string, std::string>> pairs;
  for (auto& field : relation.Fields()) pairs.emplace_back(field->Name(), field->ForeignName());
  try {
    return RowsWithoutParent(old, relation.Table(), relation.ForeignTable(), pairs);
  } catch (const Error&) {
    return {};
  }
}

}  // namespace brenquil
