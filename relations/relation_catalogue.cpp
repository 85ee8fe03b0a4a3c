#include "relations/relation_catalogue.h"

#include <cstdint>
#include <string>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/installation.h"

namespace brenquil {

namespace {

// Relations whose names begin with "MSys" belong to the engine; a shorter
// name cannot match.
bool IsSystemRelation(const std::string& name) { return name.rfind("MSys", 0) == 0; }

// The catalogue carries DAO's Long: the attribute bits as a signed 32-bit
// decimal, so a value with the top bit set reads as a negative number.
std::string AttributesText(long attributes) {
  return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(attributes)));
}

// Removes every row of the catalogue table. The creation step leaves Data4 on
// the rows of a single relation, so the whole table is selected again first;
// emptying only that selection would leave the other relations' rows behind.
void EmptyCatalogue(Actualiz& window) {
  window.Data4.SetRecordSource(RelationCatalogueLayout().table);
  window.Data4.Refresh();
  DataRecordset& rows = window.Data4.Recordset();
  if (rows.Eof() && rows.Bof()) return;
  rows.MoveFirst();
  while (!rows.Eof()) {
    rows.Delete();
    if (!rows.Eof()) rows.MoveNext();
  }
}

// One catalogue row per field pair, in the relation's field order.
void RecordRelation(Actualiz& window, Relation& relation) {
  DataRecordset& rows = window.Data4.Recordset();
  const int pairs = relation.Fields().Count();
  for (int p = 0; p < pairs; ++p) {
    std::shared_ptr<Field> pair = relation.Fields()[p];
    rows.AddNew();
    window.Text6[0].SetText(relation.Name());
    window.Text6[1].SetText(relation.Table());
    window.Text6[2].SetText(relation.ForeignTable());
    window.Text6[3].SetText(AttributesText(relation.Attributes()));
    window.Text6[4].SetText(pair->Name());
    window.Text6[5].SetText(pair->ForeignName());
    rows.Update();
  }
}

}  // namespace

void ListRelations(Actualiz& window) {
  // The model is opened before anything is touched, so a model that does not
  // open leaves the catalogue and both lists as they were.
  std::shared_ptr<Database> model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);

  EmptyCatalogue(window);
  window.List9[0].Clear();
  window.List9[1].Clear();

  for (const std::shared_ptr<Relation>& relation : model->Relations().Snapshot()) {
    if (IsSystemRelation(relation->Name())) continue;
    window.List9[0].AddItem(relation->Name());
    RecordRelation(window, *relation);
  }
  window.Data4.Refresh();
  model.reset();

  {
    std::shared_ptr<Database> old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
    for (const std::shared_ptr<Relation>& relation : old->Relations().Snapshot())
      if (!IsSystemRelation(relation->Name())) window.List9[1].AddItem(relation->Name());
  }

  window.Command20_Click();
  window.Command21_Click();
}

}  // namespace brenquil
