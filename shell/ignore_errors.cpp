#include "shell/ignore_errors.h"

#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/actualiz.h"

namespace brenquil {

void JournalError(Actualiz& window, const std::string& operation, const Error& error) {
  window.Journal.Add(JournalEntry{operation, window.Text3.Text(), window.Text4.Text(),
                                  error.Number(), error.Text()});
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
