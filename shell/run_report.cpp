#include "shell/run_report.h"

#include <algorithm>

namespace brenquil {

DatabaseChanges& RunReport::For(const std::string& old, const std::string& model) {
  auto it = std::find_if(databases_.begin(), databases_.end(),
                         [&](const DatabaseChanges& d) { return d.old == old; });
  if (it != databases_.end()) return *it;
  databases_.push_back(DatabaseChanges{old, model, {}, {}, {}, {}, {}, {}, {}, {}});
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

void RunReport::Clear() {
  databases_.clear();
  new_databases_.clear();
}

}  // namespace brenquil
