#include "fields/field_listing.h"

#include <string>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"
#include "tables/table_names.h"

namespace brenquil {

namespace {

// Element `first`, `first` + 1 and `first` + 2 of a list array: names, type
// codes and sizes of one set of field rows.
struct FieldRows {
  ListBox& names;
  ListBox& types;
  ListBox& sizes;

  FieldRows(ControlArray<ListBox>& lists, int first)
      : names(lists[first]), types(lists[first + 1]), sizes(lists[first + 2]) {}

  void Clear() {
    names.Clear();
    types.Clear();
    sizes.Clear();
  }
};

// Points Data1 at `table` of the database at `path` and runs the selection.
// The name is quoted so that blanks, apostrophes and reserved words select the
// table they name; an empty selection gives an empty name, which the engine
// refuses like any table it does not have. A model is opened `read_only`.
void SelectTable(Actualiz& window, const std::string& path, const std::string& table, bool read_only) {
  window.Data1.SetReadOnly(read_only);
  window.Data1.SetDatabaseName(path);
  window.Data1.SetRecordSource("Select * from " + QuoteIdentifier(table));
  window.Data1.Refresh();
}

void AppendRow(FieldRows& rows, const Field& field) {
  rows.names.AddItem(field.Name());
  rows.types.AddItem(std::to_string(field.Type()));
  rows.sizes.AddItem(std::to_string(field.Size()));
}

void AppendAllRows(Actualiz& window, FieldRows& rows) {
  auto& fields = window.Data1.Recordset().Fields();
  int count = fields.Count();
  for (int i = 0; i < count; ++i) AppendRow(rows, *fields.Item(i));
}

}  // namespace

void ListModelFields(Actualiz& window) {
  FieldRows rows(window.List1, 0);
  rows.Clear();

  // From here on a failure is journaled and the listing goes on. Without a
  // record set every later statement could only fail on its absence, so a
  // failed selection ends the listing with the lists left empty.
  IgnoreErrors ignore(window, "Command10_Click");
  if (!ignore([&] { SelectTable(window, window.Text3.Text(), window.List2.Text(), kReadOnly); })) return;
  int count = 0;
  if (!ignore([&] { count = window.Data1.Recordset().Fields().Count(); })) return;
  for (int i = 0; i < count; ++i) {
    // One row per statement, so a skipped field never leaves the three lists
    // out of step.
    ignore([&] { AppendRow(rows, *window.Data1.Recordset().Fields().Item(i)); });
  }
}

void ListOldFields(Actualiz& window) {
  FieldRows rows(window.List5, 0);
  rows.Clear();
  SelectTable(window, window.Text4.Text(), window.List3.Text(), false);
  AppendAllRows(window, rows);
}

void ListNewTableFields(Actualiz& window) {
  // The lists are cleared only once the table is selected, so a failure leaves
  // what they held before.
  SelectTable(window, window.Text3.Text(), window.List4.Text(), kReadOnly);
  FieldRows rows(window.List1, 0);
  rows.Clear();
  AppendAllRows(window, rows);
}

}  // namespace brenquil
