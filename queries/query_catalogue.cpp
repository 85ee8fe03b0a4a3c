#include "queries/query_catalogue.h"

#include "engine/dbengine.h"
#include "shell/actualiz.h"

namespace brenquil {

namespace {

bool IsSystemQuery(const std::string& name) { return name.rfind("MSys", 0) == 0; }

// Removes every row of the catalogue. The record set is run again first, so
// rows written since it was last read are removed too.
void EmptyCatalogue(Actualiz& window) {
  window.Data5.Refresh();
  DataRecordset& rows = window.Data5.Recordset();
  if (rows.Eof() && rows.Bof()) return;
  rows.MoveFirst();
  while (!rows.Eof()) {
    rows.Delete();
    if (!rows.Eof()) rows.MoveNext();
  }
}

}  // namespace

void ListQueries(Actualiz& window) {
  // The catalogue is emptied before the model is opened, so a model that does
  // not open leaves it empty and the lists as they were.
  EmptyCatalogue(window);
  std::shared_ptr<Database> model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);

  window.List11[0].Clear();
  window.List11[1].Clear();
  window.List11[3].Clear();

  // The text is recorded as the model holds it, line breaks included: joining
  // the lines would let a "--" comment swallow the rest of the query and
  // would change string literals that span lines.
  DataRecordset& rows = window.Data5.Recordset();
  for (const std::shared_ptr<QueryDef>& query : model->QueryDefs().Snapshot()) {
    if (IsSystemQuery(query->Name())) continue;
    rows.AddNew();
    window.campocon[0].SetText(query->Name());
    window.campocon[1].SetText(query->SQL());
    rows.Update();
  }
  window.Data5.Refresh();
  model.reset();

  {
    std::shared_ptr<Database> old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
    for (const std::shared_ptr<QueryDef>& query : old->QueryDefs().Snapshot())
      if (!IsSystemQuery(query->Name())) window.List11[1].AddItem(query->Name());
  }

  window.Command23_Click();
}

}  // namespace brenquil
