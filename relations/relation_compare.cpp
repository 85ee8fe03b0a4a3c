#include "relations/relation_compare.h"

#include "tables/table_names.h"

namespace brenquil {

bool SameRelation(Relation& a, Relation& b) {
  if (!SameSqlName(a.Name(), b.Name()) || !SameSqlName(a.Table(), b.Table()) ||
      !SameSqlName(a.ForeignTable(), b.ForeignTable()) || a.Attributes() != b.Attributes())
    return false;
  const int pairs = a.Fields().Count();
  if (pairs != b.Fields().Count()) return false;
  for (int p = 0; p < pairs; ++p) {
    auto fa = a.Fields()[p];
    auto fb = b.Fields()[p];
    if (!SameSqlName(fa->Name(), fb->Name()) || !SameSqlName(fa->ForeignName(), fb->ForeignName())) return false;
  }
  // A relation declared as a clause is the same only when its clause is,
  // blanks and the quoting of names aside.
  return a.Declaration().empty() || b.Declaration().empty() ||
         SameRelationDeclaration(a.Declaration(), b.Declaration());
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
