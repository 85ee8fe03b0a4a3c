#include "indexes/index_step.h"

#include <algorithm>

#include "engine/dbengine.h"
#include "engine/tabledef.h"
#include "shell/actualiz.h"

namespace brenquil::index_step {

std::string CatalogueSelection(const std::string& table) {
  std::string literal;
  literal.reserve(table.size());
  for (char c : table) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return std::string("Select * from ") + kCatalogueTable + " where tabla = '" + literal + "'";
}

void SelectCatalogueRows(Actualiz& window, const std::string& table) {
  window.Data3.SetRecordSource(CatalogueSelection(table));
  window.Data3.Refresh();
}

HeldDatabase::HeldDatabase(const std::string& path, bool read_only)
    : db_(DBEngine::Instance().OpenDatabase(path, read_only)) {}

HeldDatabase::~HeldDatabase() {
  // Only reached without Close on the way out of a failure, which is the
  // error that matters; a second one from closing would hide it.
  try {
    Close();
  } catch (const Error&) {
  }
}

HeldDatabase& HeldDatabase::operator=(HeldDatabase&& other) noexcept {
  if (this != &other) {
    try {
      Close();
    } catch (const Error&) {
    }
    db_ = std::move(other.db_);
  }
  return *this;
}

void HeldDatabase::Close() {
  std::shared_ptr<Database> db = std::move(db_);
  if (db && db->IsOpen()) db->Close();
}

namespace {

bool SameFieldNames(Index& a, Index& b) {
  int count = a.Fields().Count();
  if (count != b.Fields().Count()) return false;
  for (int p = 0; p < count; ++p)
    if (!SameName(a.Fields()[p]->Name(), b.Fields()[p]->Name())) return false;
  return true;
}

bool SameSort(Index& a, Index& b) {
  for (int p = 0; p < a.Fields().Count(); ++p)
    if (a.Fields()[p]->Descending() != b.Fields()[p]->Descending()) return false;
  return true;
}

bool AllAscending(Index& index) {
  for (auto& field : index.Fields())
    if (field->Descending()) return false;
  return true;
}

}  // namespace

bool WouldComeBackTheSame(Index& old, Index& model) {
  // An index the model declares comes back as declared: the same only when
  // the whole declaration is (DESC, COLLATE, WHERE and expressions included).
  if (!model.Declaration().empty())
    return !old.Declaration().empty() && SameIndexDeclaration(old.Declaration(), model.Declaration()) &&
           old.Primary() == model.Primary();
  if (!SameFieldNames(old, model) || old.Unique() != model.Unique()) return false;
  if (old.Primary() == model.Primary() && SameSort(old, model)) return true;
  // The copy builds a plain index (never primary, every field ascending) with
  // the model's unique flag; an old index that already is one comes back as is.
  return !old.Primary() && AllAscending(old);
}

bool ModelIndexes::Open() {
  if (!tried_) {
    tried_ = true;
    try {
      db_ = HeldDatabase(path_, kReadOnly);
    } catch (const Error& error) {
      failure_ = error;
    }
  }
  return static_cast<bool>(db_);
}

std::shared_ptr<TableDef> ModelIndexes::ModelTable(const std::string& table) {
  // The step never changes the model: a table found once is the one to give
  // again, without a search of the model's tables for each of its indexes.
  auto it = tables_.find(table);
  if (it == tables_.end()) it = tables_.emplace(table, db_->TableDefs().Find(table)).first;
  return it->second;
}

bool ModelIndexes::HasTable(const std::string& table) {
  return Open() && ModelTable(table) != nullptr;
}

std::shared_ptr<Index> ModelIndexes::Find(const std::string& table, const std::string& name) {
  if (!Open()) return nullptr;
  auto model_table = ModelTable(table);
  return model_table ? model_table->Indexes().Find(name) : nullptr;
}

std::vector<std::string> FieldNames(Index& index) {
  std::vector<std::string> names;
  for (auto& field : index.Fields()) names.push_back(field->Name());
  return names;
}

BlockingRows RowsAgainst(Database& old, const std::string& table, bool unique,
                         const std::vector<std::string>& fields, const std::string& declaration) {
  // An expression, a collation or a WHERE only SQLite can judge.
  if (!declaration.empty()) return RowsRefusingIndex(old, table, declaration);
  if (!unique || std::find(fields.begin(), fields.end(), std::string()) != fields.end()) return {};
  return RowsRepeatingKey(old, table, fields);
}

bool ModelIndexes::Keeps(const std::string& table, Index& old) {
  if (!Open()) return false;
  auto model_table = ModelTable(table);
  if (!model_table) return false;
  auto model_index = model_table->Indexes().Find(old.Name());
  return model_index && WouldComeBackTheSame(old, *model_index);
}

}  // namespace brenquil::index_step
