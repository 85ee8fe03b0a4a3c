#include "relations/relation_creation.h"

#include <string>

#include "engine/dbengine.h"
#include "relations/relation_compare.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"
#include "shell/installation.h"

namespace brenquil {

namespace {

// The catalogue rows of one relation. Apostrophes are doubled so that any
// name stays a single literal of the selection.
std::string SelectionFor(const std::string& name) {
  std::string quoted;
  for (char c : name) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return std::string("Select * from ") + RelationCatalogueLayout().table +
         " where nombrerel = '" + quoted + "'";
}

// Builds the relation from the selected rows (name, tables and flags from the
// first row, one field pair per row in row order), not yet stored.
std::shared_ptr<Relation> BuildRelation(Actualiz& window, Database& old) {
  DataRecordset& rows = window.Data4.Recordset();
  rows.MoveFirst();
  rows.MoveLast();
  rows.MoveFirst();
  window.Bar5.SetMax(static_cast<float>(rows.RecordCount()));
  window.Bar5.SetValue(0);

  std::shared_ptr<Relation> relation =
      old.CreateRelation(window.Text6[0].Text(), window.Text6[1].Text(),
                         window.Text6[2].Text(), Number(window.Text6[3].Text()));
  while (!rows.Eof()) {
    window.Bar5.SetValue(window.Bar5.Value() + 1);
    window.Frame13.Refresh();
    const std::string field = window.Text6[4].Text();
    relation->Fields().Append(relation->CreateField(field));
    relation->Fields()[field]->SetForeignName(window.Text6[5].Text());
    rows.MoveNext();
  }
  return relation;
}

}  // namespace

void CreateRelations(Actualiz& window) {
  std::shared_ptr<Database> old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
  // The model, for the FOREIGN KEY clauses its relations are declared by; a
  // model that does not open leaves the engine to write the clauses.
  std::shared_ptr<Database> model;
  try {
    model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  } catch (const Error&) {
  }

  ListBox& names = window.List9[0];
  const int count = names.ListCount();
  for (int i = 0; i < count; ++i) {
    names.SetListIndex(i);
    const std::string name = names.Text();
    // A selection that cannot run means the catalogue itself is unusable:
    // that ends the operation.
    window.Data4.SetRecordSource(SelectionFor(name));
    window.Data4.Refresh();
    DataRecordset& rows = window.Data4.Recordset();
    if (rows.Eof() && rows.Bof()) continue;

    // A relation the engine refuses (a missing table or field, a name in use,
    // old rows that break it) is journaled under its name, and the relations
    // after it are still created: the old ones are already gone.
    try {
      std::shared_ptr<Relation> relation = BuildRelation(window, *old);
      // The model's relation arrives as the model declares it when the
      // catalogue rows are that relation.
      auto declared = model ? model->Relations().Find(name) : nullptr;
      if (declared && !declared->Declaration().empty() && SameRelation(*declared, *relation))
        relation->SetDeclaration(declared->Declaration());
      auto existing = old->Relations().Find(relation->Name());
      // Left in place by the deletion because it is the model's already. One
      // an earlier version kept as its record and row triggers becomes the
      // model's clause.
      const bool same = existing && SameRelation(*existing, *relation);
      if (same && !existing->NeedsCompleting()) continue;
      BlockingRows blocking = RowsAgainst(*old, *relation);
      if (blocking.count > 0)
        throw MakeError(err::kRelatedRecordRequired,
                        "filas de la tabla '" + relation->ForeignTable() + "' sin registro relacionado en la tabla '" +
                            relation->Table() + "': " + DescribeBlockingRows(blocking) +
                            (existing ? "; se conserva la relación anterior" : ""));
      auto& report = window.Report.For(window.Text4.Text(), window.Text3.Text());
      if (same) {
        try {
          if (old->CompleteRelation(existing->Name(), relation->Declaration()))
            report.relations_changed.push_back(name);
        } catch (const Error& error) {
          JournalError(window, "Command21_Click",
                       Error(error.Number(), "Relación '" + name + "' no puesta como cláusula FOREIGN KEY: " +
                                                 error.Text() + "; se conserva como estaba"));
        }
        continue;
      }
      old->Relations().Append(relation);
      report.relations_created.push_back(name);
    } catch (const Error& error) {
      JournalError(window, "Command21_Click",
                   Error(error.Number(), "Relación '" + name + "' no creada: " + error.Text()));
    }
  }
  if (model) model->Close();
  old->Close();
}

}  // namespace brenquil
