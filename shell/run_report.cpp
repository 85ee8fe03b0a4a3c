#include "shell/run_report.h"

#include <algorithm>
#include <utility>

namespace brenquil {

DatabaseChanges& RunReport::For(const std::string& old, const std::string& model) {
  auto it = std::find_if(databases_.begin(), databases_.end(),
                         [&](const DatabaseChanges& d) { return d.old == old; });
  if (it != databases_.end()) return *it;
  DatabaseChanges entry;
  entry.old = old;
  entry.model = model;
  databases_.push_back(std::move(entry));
  return databases_.back();
}

void RunReport::FieldAdded(const std::string& old, const std::string& model,
                           const std::string& table, const std::string& field) {
  auto& fields = For(old, model).fields_added;
  auto it = std::find_if(fields.begin(), fields.end(),
                         [&](const auto& entry) { return entry.first == table; });
  if (it == fields.end()) {
    fields.emplace_back(table, std::vector<std::string>{});
    it = std::prev(fields.end());
  }
  it->second.push_back(field);
}

void RunReport::Discard(const std::string& old) {
  for (auto& d : databases_) {
    if (d.old != old) continue;
    DatabaseChanges emptied;
    emptied.old = d.old;
    emptied.model = d.model;
    emptied.rolled_back = true;
    emptied.backup = d.backup;  // the copy is still there
    d = std::move(emptied);
  }
}

void RunReport::Clear(bool plan) {
  plan_ = plan;
  stopped_ = false;
  databases_.clear();
  new_databases_.clear();
  skipped_.clear();
  not_reached_.clear();
}

}  // namespace brenquil
