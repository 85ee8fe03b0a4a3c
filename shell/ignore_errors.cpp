#include "shell/ignore_errors.h"

#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/actualiz.h"
#include "shell/jet_advice.h"

namespace brenquil {

void JournalError(Actualiz& window, const std::string& operation, const Error& error) {
  // A Jet file is named as one, with the way to convert it.
  const Error shown = ExplainJetFile(error, {window.Text3.Text(), window.Text4.Text()},
                                     window.Installation().Home(), window.Dir1.Path());
  window.Journal.Add(JournalEntry{operation, window.Text3.Text(), window.Text4.Text(),
                                  shown.Number(), shown.Text()});
}

void JournalRunError(Actualiz& window, const std::string& operation, const Error& error) {
  window.Journal.Add(JournalEntry{operation, "", "", error.Number(), error.Text()});
}

bool IgnoreErrors::operator()(const std::function<void()>& statement) {
  if (!on_) {
    statement();
    return true;
  }
  try {
    statement();
    return true;
  } catch (const Error& error) {
    ++skipped_;
    JournalError(window_, operation_, error);
    return false;
  }
}

bool RunStep(Actualiz& window, const std::string& operation,
             const std::function<void()>& step) {
  DBEngine::Instance().NextStep();
  try {
    step();
    return true;
  } catch (const Error& error) {
    JournalError(window, operation, error);
    return false;
  }
}

}  // namespace brenquil
