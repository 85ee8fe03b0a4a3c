#include "indexes/index_deletion.h"

#include <set>
#include <string>

#include "indexes/index_step.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"

namespace brenquil {

namespace {

// An old index stays when deleting it would leave the table with less than it
// has: the model brings it back the same; the model lacks the table, and the
// index is a key (unique or primary) that nothing would replace; or the
// model's index of that name cannot be built on the old rows, which the
// journal then says.
bool KeepsOldIndex(Actualiz& window, Database& old, index_step::ModelIndexes& model,
                   const std::string& table, Index& index) {
  if (model.Keeps(table, index)) return true;
  if (!model.HasTable(table)) return index.Unique();
  auto replacement = model.Find(table, index.Name());
  if (!replacement) return false;
  const std::string refused = "el índice '" + index.Name() + "' del modelo no se puede crear en la tabla '" + table +
                              "' de '" + window.Text4.Text() + "': ";
  try {
    BlockingRows rows = index_step::RowsAgainst(old, table, replacement->Unique(),
                                                index_step::FieldNames(*replacement), replacement->Declaration());
    if (rows.count == 0) return false;
    JournalError(window, "Command18_Click",
                 MakeError(err::kDuplicateValue,
                           refused + DescribeBlockingRows(rows) + "; se conserva el índice anterior"));
  } catch (const Error& error) {
    // The old table cannot take the model's index (a field or a function it
    // lacks): nothing would replace the old one.
    JournalError(window, "Command18_Click",
                 Error(error.Number(), refused + DetailOf(error) + "; se conserva el índice anterior"));
  }
  return true;
}

}  // namespace

void DeleteIndexes(Actualiz& window) {
  {
    index_step::HeldDatabase old(window.Text4.Text());
    // An old index is only deleted when the model that replaces it can be
    // read. A model that does not open deletes nothing here; the model's
    // listing called below meets the same failure and reports it, so the old
    // database keeps every index it had.
    index_step::ModelIndexes model(window.Text3.Text());
    const bool model_read = model.Open();

    const int tables = window.List10.ListCount();
    for (int i = 0; i < tables; ++i) {
      window.List10.SetListIndex(i);
      const std::string table_name = window.List10.Text();
      index_step::SelectCatalogueRows(window, table_name);
      DataRecordset& rows = window.Data3.Recordset();
      if (rows.Eof() && rows.Bof()) continue;
      // The later rows of an index over several fields name an index that its
      // first row has dealt with (deleted or left in place); they are passed over.
      std::set<std::string> dealt_with;
      std::shared_ptr<TableDef> table;  // looked up at the table's first index
      rows.MoveFirst();
      while (!rows.Eof()) {
        const std::string name = window.Text1[0].Text();
        if (model_read && dealt_with.insert(name).second) {
          if (!table) table = old->TableDefs()[table_name];
          auto index = table->Indexes().Find(name);
          auto& report = window.Report.For(window.Text4.Text(), window.Text3.Text());
          if (index && KeepsOldIndex(window, *old, model, table_name, *index)) {
            report.indexes_kept.push_back({table_name, index->Name()});
          } else {
            // An absent name is the engine's to refuse.
            table->Indexes().Delete(name);
            report.indexes_deleted.push_back({table_name, name});
          }
        }
        rows.MoveNext();
      }
    }
    model.Close();
    old.Close();
  }
  window.Command19_Click();
}

}  // namespace brenquil
