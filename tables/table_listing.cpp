#include "tables/table_listing.h"

#include <string>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "tables/table_names.h"

namespace brenquil {

namespace {

void AppendUserTables(Database& database, ListBox& list) {
  for (auto& table : database.TableDefs())
    if (!IsSystemObject(table->Name())) list.AddItem(table->Name());
}

}  // namespace

void ListTables(Actualiz& window) {
  // The model is opened before anything is cleared: a model that does not
  // open leaves the three lists as they were.
  auto model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  window.List2.Clear();
  window.List3.Clear();
  window.List4.Clear();
  // The count takes in the system tables too, so it exceeds List2's.
  window.Text2.SetText(std::to_string(model->TableDefs().Count()) + " en " + model->Name());
  AppendUserTables(*model, window.List2);
  model.reset();

  auto old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
  AppendUserTables(*old, window.List3);
}

}  // namespace brenquil
