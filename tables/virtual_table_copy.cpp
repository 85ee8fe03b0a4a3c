#include "tables/virtual_table_copy.h"

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"
#include "tables/table_names.h"

namespace brenquil {

void CopyVirtualTables(Actualiz& window) {
  auto model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  std::vector<VirtualTableDef> wanted = model->VirtualTables();
  model->Close();
  if (wanted.empty()) return;
  auto old = DBEngine::Instance().OpenDatabase(window.Text4.Text());
  std::vector<VirtualTableDef> present = old->VirtualTables();
  for (const auto& table : wanted) {
    bool held = old->TableDefs().Find(table.name) || old->QueryDefs().Find(table.name);
    for (const auto& p : present) held = held || SameSqlName(p.name, table.name);
    if (held) continue;
    try {
      old->CreateVirtualTable(table);
      window.Report.For(window.Text4.Text(), window.Text3.Text()).tables_created.push_back(table.name);
    } catch (const Error& error) {
      JournalError(window, "CopyVirtualTables", error);
    }
  }
  old->Close();
}

}  // namespace brenquil
