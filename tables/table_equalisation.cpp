#include "tables/table_equalisation.h"

#include <string>
#include <unordered_set>

#include "engine/dbengine.h"
#include "engine/field.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"
#include "tables/table_names.h"

namespace brenquil {

namespace {

// Text and Memo fields accept zero-length text, as the old database's
// programs expect of every text field.
bool AcceptsZeroLength(const std::string& type) {
  long code = Number(type).Value();
  return code == dbText || code == dbMemo;
}

// Appends to List4, in List2's order, every model table that no old table
// names in any letter case. Each search answers for the whole of List3, and
// leaves List3 on its last entry as a walk over it would; the old names are
// put in their compared form once, so that a list of tens of thousands of
// tables is not walked once per model table.
void FindMissingTables(Actualiz& window) {
  std::unordered_set<std::string> olds;
  for (const auto& name : window.List3.Items()) olds.insert(UpperCase(name));
  const int models = window.List2.ListCount();
  const int last_old = window.List3.ListCount() - 1;
  for (int i = 0; i < models; ++i) {
    window.List2.SetListIndex(i);
    if (last_old >= 0) window.List3.SetListIndex(last_old);
    if (!olds.count(UpperCase(window.List2.Text()))) window.List4.AddItem(window.List2.Text());
  }
}

// The table selected in List4, with the field rows that Command2_Click has
// just listed, as a table definition not yet stored. It carries the model's
// own declaration, so the table arrives with its keys, defaults, checks,
// collations, generated columns and options as the model declares them; the
// engine uses it when its columns are these field rows.
std::shared_ptr<TableDef> NewTableFromRows(Actualiz& window, Database& old, Database* model) {
  auto table = old.CreateTableDef(window.List4.Text());
  std::shared_ptr<TableDef> model_table = model ? model->TableDefs().Find(window.List4.Text()) : nullptr;
  if (model_table) table->SetDeclaration(model_table->Declaration());
  ListBox& names = window.List1[0];
  ListBox& types = window.List1[1];
  ListBox& sizes = window.List1[2];
  int count = names.ListCount();
  for (int m = 0; m < count; ++m) {
    names.SetListIndex(m);
    types.SetListIndex(m);
    sizes.SetListIndex(m);
    auto field = table->CreateField(names.Text(), types.Text(), sizes.Text());
    if (AcceptsZeroLength(types.Text())) field->SetAllowZeroLength(true);
    // A counter numbers its rows in the new table as in the model.
    if (model_table)
      if (auto model_field = model_table->Fields().Find(names.Text()))
        if (model_field->Attributes() & dbAutoIncrField) field->SetAttributes(dbAutoIncrField);
    table->Fields().Append(field);
  }
  return table;
}

// The old view that holds the name of the model table `name` goes, so that
// the table arrives in this run; it is returned so that it can come back if
// the table cannot be made. A view that old triggers or views use stays, and
// the table is not made (Error 3010 saying who uses it).
std::shared_ptr<QueryDef> ClearViewNamed(Actualiz& window, Database& old, const std::string& name) {
  auto view = old.QueryDefs().Find(name);
  // A stored query that is no view holds no name in SQLite's schema.
  if (!view || view->Declaration().empty()) return nullptr;
  std::vector<std::string> users = old.UsersOf(view->Name());
  if (!users.empty()) {
    std::string list;
    for (const auto& user : users) list += (list.empty() ? "" : ", ") + user;
    throw MakeError(err::kTableExists, "la tabla '" + name + "' del modelo no se crea: la consulta '" + view->Name() +
                                           "' de '" + window.Text4.Text() + "' tiene su nombre y la usa " + list);
  }
  auto copy = old.CreateQueryDef(view->Name(), view->SQL());
  copy->SetDeclaration(view->Declaration());
  old.QueryDefs().Delete(view->Name());
  return copy;
}

void PutViewBack(Actualiz& window, Database& old, const std::shared_ptr<QueryDef>& view) {
  try {
    old.QueryDefs().Append(view);
  } catch (const Error& error) {
    JournalError(window, "Command8_Click",
                 Error(error.Number(), "la consulta '" + view->Name() + "' no se pudo restaurar: " + error.Text()));
  }
}

}  // namespace

void EqualiseTables(Actualiz& window) {
  // The missing tables are worked out whatever the two counts: an old
  // database may hold tables of its own and still lack some of the model's.
  window.Text5.SetText(window.Text3.Text());
  FindMissingTables(window);
  int missing = window.List4.ListCount();
  if (missing == 0) return;

  auto old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
  // The model, for its declarations; a model that does not open leaves the
  // tables to be built from the field rows alone.
  std::shared_ptr<Database> model;
  try {
    model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  } catch (const Error&) {
  }
  // A table the engine refuses (or whose model fields cannot be listed) is
  // journaled and the next missing table is still created, as the field step
  // does with fields.
  IgnoreErrors ignore(window, "Command8_Click");
  for (int k = 0; k < missing; ++k) {
    window.List4.SetListIndex(k);
    // Without this table's own rows, List1 would hold the previous table's.
    if (!ignore([&] { window.Command2_Click(); })) continue;
    ignore([&] {
      // The definition is stored whole by the append below; a failure before
      // it leaves no half-made table behind.
      auto table = NewTableFromRows(window, *old, model.get());
      std::shared_ptr<QueryDef> view = ClearViewNamed(window, *old, table->Name());
      try {
        old->TableDefs().Append(table);
      } catch (const Error&) {
        // Nothing took the view's place: it comes back as it was.
        if (view) PutViewBack(window, *old, view);
        throw;
      }
      auto& report = window.Report.For(window.Text4.Text(), window.Text3.Text());
      if (view) report.queries_deleted.push_back(view->Name());
      report.tables_created.push_back(table->Name());
    });
  }
  old->Close();
}

}  // namespace brenquil
