#include "shell/new_databases.h"

#include <string>
#include <unordered_set>

#include "shell/actualiz.h"

namespace brenquil {

void ListNewDatabases(Actualiz& window) {
  window.List8.Clear();
  const int models = window.List7.ListCount();
  const int olds = window.List6.ListCount();
  // The old databases' names are gathered once, rather than walked again for
  // each model: ten thousand pairs would compare a hundred million names
  // while the window waits. A name pairs exactly.
  const std::vector<std::string>& old_names = window.List6.Items();
  const std::unordered_set<std::string> present(old_names.begin(), old_names.end());
  for (int i = 0; i < models; ++i) {
    const std::string& name = window.List7.List(i);
    if (present.count(name) == 0) window.List8.AddItem(name);
  }
  // The selections a walk through both lists leaves: the last model, and
  // the last old database once a model was looked for.
  if (models > 0) {
    window.List7.SetListIndex(models - 1);
    if (olds > 0) window.List6.SetListIndex(olds - 1);
  }
}

}  // namespace brenquil
