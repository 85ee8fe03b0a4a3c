#include "shell/new_databases.h"

#include "shell/actualiz.h"

namespace brenquil {

void ListNewDatabases(Actualiz& window) {
  window.List8.Clear();
  int models = window.List7.ListCount();
  for (int i = 0; i < models; ++i) {
    window.List7.SetListIndex(i);
    bool found = false;
    int olds = window.List6.ListCount();
    for (int j = 0; j < olds; ++j) {
      window.List6.SetListIndex(j);
      if (window.List7.Text() == window.List6.Text()) found = true;
    }
    if (!found) window.List8.AddItem(window.List7.Text());
  }
}

}  // namespace brenquil
