#include "fields/field_reconciliation.h"

#include <cctype>
#include <string>
#include <unordered_map>

#include "engine/dbengine.h"
#include "engine/field.h"
#include "engine/row_checks.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"
#include "tables/table_names.h"

namespace brenquil {

namespace {

constexpr const char* kOperation = "Command12_Click";

void SelectRow(ControlArray<ListBox>& lists, int first, int row) {
  for (int e = first; e < first + 3; ++e) lists[e].SetListIndex(row);
}

// The first entry of List3 for each name as SQLite compares names (ASCII
// letters in upper case), worked out once for the whole step.
std::unordered_map<std::string, int> OldTablePlaces(Actualiz& window) {
  std::unordered_map<std::string, int> places;
  const auto& olds = window.List3.Items();
  for (int j = 0; j < static_cast<int>(olds.size()); ++j) places.emplace(SqlNameKey(olds[j]), j);
  return places;
}

// Selects in List3 the old table that is the model table selected in List2
// as SQLite names tables (letter case aside); false when there is none.
bool SelectNamesake(Actualiz& window, const std::unordered_map<std::string, int>& places) {
  auto found = places.find(SqlNameKey(window.List2.Text()));
  if (found == places.end()) return false;
  window.List3.SetListIndex(found->second);
  return true;
}

// A model table the old database lacks even in another letter case (table
// equalisation could not create it): its fields go to no other table.
Error NoNamesake(Actualiz& window) {
  std::string detail = "tabla '" + window.List2.Text() + "' sin homónima en " +
                       window.Text4.Text() + "; no se le añaden campos";
  for (const auto& old : window.List3.Items())
    if (SameTableName(old, window.List2.Text()))
      detail += " ('" + old + "' solo difiere en mayúsculas)";
  return MakeError(err::kObjectNotFound, detail);
}

// Fills the to-add rows (List1 3 to 5) with the model rows (List1 0 to 2)
// whose name no old field (List5 0) has. Each old name answers for one model
// field at most: a matched name is removed from the old name list.
void WorkOutMissingFields(Actualiz& window) {
  for (int e = 3; e <= 5; ++e) window.List1[e].Clear();
  ListBox& model_names = window.List1[0];
  ListBox& old_names = window.List5[0];
  int fields = model_names.ListCount();
  window.Bar3.SetValue(0);
  window.Bar3.SetMax(fields);
  for (int k = 0; k < fields; ++k) {
    window.Bar3.SetValue(k + 1);
    window.Frame13.Refresh();
    SelectRow(window.List1, 0, k);
    int olds = old_names.ListCount();
    int m = 0;
    while (m < olds) {
      old_names.SetListIndex(m);
      // A field that differs only in letter case is the same field for SQLite.
      if (SameSqlName(old_names.Text(), model_names.Text())) break;
      ++m;
    }
    if (m < olds) {
      old_names.RemoveItem(m);
    } else {
      window.List1[3].AddItem(model_names.Text());
      window.List1[4].AddItem(window.List1[1].Text());
      window.List1[5].AddItem(window.List1[2].Text());
    }
  }
}

// The journal entry for a field whose model definition the engine refused
// (the field is then added with its type alone). A field the model requires
// (NOT NULL) with no DEFAULT cannot arrive whole in a table with rows: each
// row would be left without a value. That entry counts the rows, with their
// keys; any other refusal is journaled as the engine gave it.
void JournalRefusedDefinition(Actualiz& window, Database& old, const std::string& table,
                              const Field* model_field, const Error& refused) {
  // DEFAULT NULL gives the rows no value either.
  auto no_default = [](const std::string& value) {
    std::string upper;
    for (char ch : value) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return upper.empty() || upper == "NULL";
  };
  if (model_field && model_field->Required() && no_default(model_field->DefaultValue())) {
    BlockingRows rows = RowsLeftEmpty(old, table);
    if (rows.count > 0) {
      JournalError(window, kOperation,
                   MakeError(err::kRequired, "el campo '" + model_field->Name() +
                                                 "' es obligatorio en el modelo y la tabla '" +
                                                 table + "' de '" + window.Text4.Text() +
                                                 "' ya tiene filas: " + DescribeBlockingRows(rows) +
                                                 "; se añade sin exigir valor"));
      return;
    }
  }
  JournalError(window, kOperation,
               Error(refused.Number(), refused.Text() + "; se añade solo con su tipo"));
}

// Creates the to-add rows in the old table selected in List3. A field the
// engine refuses is journaled and the next one is tried.
void AddMissingFields(Actualiz& window) {
  auto old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
  const std::string table_name = window.List3.Text();
  auto table = old->TableDefs().Item(table_name);
  // The model's table, for each field's definition as the model declares it.
  std::shared_ptr<TableDef> model_table;
  try {
    model_table = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly)->TableDefs().Find(window.List2.Text());
  } catch (const Error&) {
  }
  ListBox& names = window.List1[3];
  ListBox& types = window.List1[4];
  ListBox& sizes = window.List1[5];
  // The field of the row selected in the lists, as the model declares it
  // (`declared`) or with its type alone.
  auto make = [&](bool declared) {
    auto model_field = model_table ? model_table->Fields().Find(names.Text()) : nullptr;
    auto field = table->CreateField(names.Text(), types.Text(), sizes.Text());
    long type = Number(types.Text()).Value();
    if (type == dbText || type == dbMemo) field->SetAllowZeroLength(true);
    // The jobs table numbers its rows itself.
    if (table_name == "trabajos" && names.Text() == "clave") field->SetAttributes(dbAutoIncrField);
    if (model_field && (model_field->Attributes() & dbAutoIncrField)) field->SetAttributes(dbAutoIncrField);
    if (declared && model_field) field->SetDefinition(model_field->Definition());
    return field;
  };
  auto added = [&](const Field& field) {
    window.Report.FieldAdded(window.Text4.Text(), window.Text3.Text(), table_name, field.Name());
  };
  // Fields from row `first` on that the engine takes together, in one change
  // of the table; how many.
  auto add_together = [&](int first, int count) -> int {
    std::vector<std::shared_ptr<Field>> fields;
    try {
      for (int f = first; f < count; ++f) {
        SelectRow(window.List1, 3, f);
        fields.push_back(make(true));
      }
    } catch (const Error&) {
      // The rows before the one that cannot make a field still go together.
    }
    size_t together = 0;
    try {
      together = table->Fields().AppendTogether(fields);
    } catch (const Error&) {
      together = 0;
    }
    for (size_t i = 0; i < together; ++i) {
      SelectRow(window.List1, 3, first + static_cast<int>(i));
      added(*fields[i]);
    }
    return static_cast<int>(together);
  };
  IgnoreErrors ignore(window, kOperation);
  int count = names.ListCount();
  for (int f = 0; f < count; ++f) {
    f = static_cast<int>(f + add_together(f, count));
    if (f >= count) break;
    SelectRow(window.List1, 3, f);
    ignore([&] {
      auto field = make(true);
      try {
        table->Fields().Append(field);
      } catch (const Error& error) {
        if (field->Definition().empty()) throw;
        // The model's definition cannot be carried whole: the field is added
        // with its type alone, and the journal says what did not arrive.
        auto model_field = model_table ? model_table->Fields().Find(names.Text()) : nullptr;
        JournalRefusedDefinition(window, *old, table_name, model_field.get(), error);
        field = make(false);
        table->Fields().Append(field);
      }
      added(*field);
    });
  }
  old->Close();
}

}  // namespace

void ReconcileFields(Actualiz& window) {
  int tables = window.List2.ListCount();
  window.Bar2.SetValue(0);
  window.Bar2.SetMax(tables);
  const auto places = OldTablePlaces(window);
  // A table that cannot be worked on is journaled and the run goes on with the
  // next one, whatever the tables before it needed.
  for (int i = 0; i < tables; ++i) {
    window.Bar2.SetValue(i + 1);
    window.Frame13.Refresh();
    window.List2.SetListIndex(i);
    if (!SelectNamesake(window, places)) {
      JournalError(window, kOperation, NoNamesake(window));
      continue;
    }
    // Without the old table's rows the comparison would add fields it has.
    if (!RunStep(window, "Command11_Click", [&] { window.Command11_Click(); })) continue;
    // Journals its own failures and leaves the model rows empty: nothing to add.
    if (!RunStep(window, "Command10_Click", [&] { window.Command10_Click(); })) continue;
    WorkOutMissingFields(window);
    if (window.List1[3].ListCount() > 0)
      RunStep(window, kOperation, [&] { AddMissingFields(window); });
  }
}

}  // namespace brenquil
