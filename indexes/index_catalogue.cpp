#include "indexes/index_catalogue.h"

#include <string>

#include "indexes/index_step.h"
#include "shell/actualiz.h"

namespace brenquil {

namespace {

using index_step::HeldDatabase;

// Removes every row of table indices, row by row through Data3. Data3 may be
// left on the selection of one table by the copy or the deletion, so the rows
// are deleted through a record set of the whole table and the record source is
// given back afterwards; the new rows then go into the same record set.
void EmptyCatalogue(Actualiz& window) {
  DataControl& data = window.Data3;
  const std::string source = data.RecordSource();
  struct GiveBack {
    DataControl& data;
    const std::string& source;
    ~GiveBack() { data.SetRecordSource(source); }
  } give_back{data, source};

  data.SetRecordSource(index_step::kCatalogueTable);
  data.Refresh();
  DataRecordset& rows = data.Recordset();
  if (rows.Eof() && rows.Bof()) return;
  rows.MoveFirst();
  while (!rows.Eof()) {
    rows.Delete();
    if (!rows.Eof()) rows.MoveNext();
  }
}

void SetRowTexts(Actualiz& window, const std::string& index, const std::string& table,
                 const std::string& field, bool unique) {
  window.Text1[0].SetText(index);
  window.Text1[1].SetText(table);
  window.Text1[2].SetText(field);
  window.Text1[3].SetText(unique ? index_step::kUniqueText : index_step::kNotUniqueText);
}

bool IsSystemTable(const std::string& name) { return name.compare(0, 4, "MSys") == 0; }

enum class Listed { kModel, kOld };

// The catalogue listing shared by Command19_Click (the model) and
// Command17_Click (the old database). They differ only in the path read and
// in when List10 is cleared, which shows when the database does not open:
// the model's listing leaves List10 as it was, the old one's leaves it empty.
void ListIndexes(Actualiz& window, Listed which) {
  EmptyCatalogue(window);
  if (which == Listed::kOld) window.List10.Clear();
  HeldDatabase db(which == Listed::kModel ? window.Text3.Text() : window.Text4.Text(), which == Listed::kModel);
  if (which == Listed::kModel) window.List10.Clear();

  for (auto& table : db->TableDefs().Snapshot())
    if (!IsSystemTable(table->Name())) window.List10.AddItem(table->Name());

  DataRecordset& rows = window.Data3.Recordset();
  const int tables = window.List10.ListCount();
  for (int i = 0; i < tables; ++i) {
    window.List10.SetListIndex(i);
    const std::string table_name = window.List10.Text();
    auto table = db->TableDefs()[table_name];
    for (auto& index : table->Indexes().Snapshot()) {
      const int fields = index->Fields().Count();
      for (int p = 0; p < fields; ++p) {
        rows.AddNew();
        SetRowTexts(window, index->Name(), table_name, index->Fields()[p]->Name(),
                    index->Unique());
        rows.Update();
      }
    }
  }
  db.Close();
  window.Data3.Refresh();
}

}  // namespace

void ListModelIndexes(Actualiz& window) {
  ListIndexes(window, Listed::kModel);
  window.Command16_Click();
}

void ListOldIndexes(Actualiz& window) {
  ListIndexes(window, Listed::kOld);
  window.Command18_Click();
}

}  // namespace brenquil
