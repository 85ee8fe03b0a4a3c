#include "shell/transformation.h"

#include <memory>
#include <set>
#include <string>

#include "engine/database_copy.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/actualiz.h"
#include "shell/backups.h"
#include "shell/ignore_errors.h"
#include "shell/paths.h"
#include "tables/trigger_copy.h"
#include "shell/run_lock.h"

namespace brenquil {

namespace {

constexpr const char* kOperation = "Command13_Click";

// Keeps the hourglass up for the whole run and puts the default pointer back
// however the run ends.
class Hourglass {
 public:
  explicit Hourglass(Actualiz& window) : window_(window) {
    window_.SetMousePointer(kPointerHourglass);
  }
  ~Hourglass() { window_.SetMousePointer(kPointerDefault); }
  Hourglass(const Hourglass&) = delete;
  Hourglass& operator=(const Hourglass&) = delete;

 private:
  Actualiz& window_;
};

struct Step {
  const char* operation;
  void (Actualiz::*run)();
};

// The steps that follow each table listing; the later steps call their own
// later parts.
constexpr Step kAfterFirstListing[] = {{"Command8_Click", &Actualiz::Command8_Click}};
constexpr Step kAfterSecondListing[] = {
    {"Command12_Click", &Actualiz::Command12_Click},
    {"Command17_Click", &Actualiz::Command17_Click},
    {"Command22_Click", &Actualiz::Command22_Click},
    {"Command24_Click", &Actualiz::Command24_Click},
};

// Runs the table listing; when it fails, the pair's later steps would read
// the lists another pair left, so they are skipped, and the journal says so.
bool ListTablesOrSkip(Actualiz& window, const std::string& skipped) {
  DBEngine::Instance().NextStep();
  try {
    window.Command6_Click();
    return true;
  } catch (const Error& error) {
    JournalError(window, "Command6_Click", error);
    JournalError(window, kOperation,
                 Error(error.Number(), "no se ejecutan " + skipped +
                                           ": la lista de tablas de la pareja falló"));
    return false;
  }
}


// Holds the pair's two files open while its steps run. Each step still opens
// and releases them by path, but the engine then reuses the open connection
// instead of opening, checkpointing and syncing the file again for every
// table. A file that does not open is left to the first step, which meets
// the same error and journals it.
class KeepOpen {
 public:
  explicit KeepOpen(const std::string& path) {
    try {
      database_ = DBEngine::Instance().OpenDatabase(path);
    } catch (const Error&) {
    }
  }
  Database* operator->() const { return database_.get(); }
  explicit operator bool() const { return database_ != nullptr; }

 private:
  std::shared_ptr<Database> database_;
};

// A damaged old database is never written to: the engine checks it before
// its first change and refuses that change and every later one. The step that
// met the damage has journaled it; the pair's later steps do not run.
bool DamagedAndStopped(Actualiz& window, const KeepOpen& old, const char* after) {
  if (!old || !old->FoundDamaged()) return false;
  JournalError(window, kOperation,
               Error(err::kCannotOpen, "'" + window.Text4.Text() + "' está dañado; no se ejecutan los pasos de la "
                                       "pareja que siguen a " + after));
  return true;
}

// An old database another program held while a step needed it gets none of
// the pair's changes: the engine refuses them all from then on (see
// Database::HeldByAnotherProcess). The pair's later steps do not run, and the
// journal says to try again.
bool HeldAndStopped(Actualiz& window, const KeepOpen& old, const char* after) {
  if (!old || !old->HeldByAnotherProcess()) return false;
  JournalError(window, kOperation,
               MakeError(err::kFileInUse, "'" + window.Text4.Text() + "' lo tiene bloqueado otro proceso; no se "
                                          "ejecutan los pasos de la pareja que siguen a " + after +
                                          ": vuelva a intentarlo cuando lo suelte"));
  return true;
}

// False when the old database turned out damaged or held by another program
// and the rest was skipped.
bool RunSteps(Actualiz& window, const KeepOpen& old, const auto& steps) {
  for (const Step& step : steps) {
    RunStep(window, step.operation, [&] { (window.*step.run)(); });
    if (DamagedAndStopped(window, old, step.operation) || HeldAndStopped(window, old, step.operation))
      return false;
  }
  return true;
}

// A commit that failed when a file was released took back every change of the
// operation to that file: the journal says so, and the report keeps nothing
// of it.
void JournalFailedCommits(Actualiz& window) {
  for (auto& [path, error] : DBEngine::Instance().TakeCommitFailures()) {
    window.Journal.Add(JournalEntry{kOperation, window.Text3.Text(), path, error.Number(), error.Text()});
    window.Report.Discard(path);
  }
}

// With backups wanted, the old database is copied before its first step; a
// database that could not be copied is not changed, and the journal says so.
bool BackedUpOrSkip(Actualiz& window, RunBackups& backups) {
  if (!backups.Wanted()) return true;
  try {
    window.Report.For(window.Text4.Text(), window.Text3.Text()).backup = backups.Copy(window.Text4.Text());
    return true;
  } catch (const Error& error) {
    JournalError(window, kOperation,
                 Error(error.Number(), "sin copia de seguridad de '" + window.Text4.Text() + "': " + error.Text() +
                                           "; no se ejecutan los pasos de la pareja"));
    return false;
  }
}

// The names of the triggers a database holds; the report names those the
// pair's steps made (the relations' and the counters').
std::set<std::string> TriggerNames(const KeepOpen& db) {
  std::set<std::string> names;
  if (!db) return names;
  try {
    auto rows = db->OpenRecordset("SELECT name FROM sqlite_master WHERE type = 'trigger'");
    for (; !rows->Eof(); rows->MoveNext()) names.insert(rows->Value(0).value_or(""));
  } catch (const Error&) {
  }
  return names;
}

void RunPairSteps(Actualiz& window, const KeepOpen& old) {
  if (!ListTablesOrSkip(window, "Command8_Click, Command6_Click, Command12_Click, "
                                "Command17_Click, Command22_Click y Command24_Click"))
    return;
  if (!RunSteps(window, old, kAfterFirstListing)) return;
  if (!ListTablesOrSkip(window, "Command12_Click, Command17_Click, Command22_Click y "
                                "Command24_Click"))
    return;
  if (!RunSteps(window, old, kAfterSecondListing)) return;
  // The model's triggers, once the tables and views they are on exist.
  RunStep(window, "CopyTriggers", [&] { CopyTriggers(window); });
}

void TransformPairSteps(Actualiz& window, RunBackups& backups) {
  window.Label4.SetCaption(window.List7.Text());
  window.Text3.SetText(window.Installation().ModelPath(window.List7.Text()));
  window.Text4.SetText(Paths::Join(window.Dir1.Path(), window.List6.Text()));
  // Every pair has an entry in the report, changed or not.
  window.Report.For(window.Text4.Text(), window.Text3.Text());
  if (!BackedUpOrSkip(window, backups)) return;
  KeepOpen model(window.Text3.Text());
  KeepOpen old(window.Text4.Text());

  const auto triggers_before = TriggerNames(old);
  RunPairSteps(window, old);
  // Read before the file is released: a plan's changes go with it.
  auto& report = window.Report.For(window.Text4.Text(), window.Text3.Text());
  for (const auto& name : TriggerNames(old))
    if (!triggers_before.count(name)) report.triggers_created.push_back(name);
}

// Once a pair is done, the files nobody holds any more are closed: the run
// does not come back to them (a model listed twice is opened again), and
// what the engine and SQLite hold of their schemas would otherwise stay in
// memory beside the next pairs'. The catalogues stay open: their data
// controls hold them.
void TransformPair(Actualiz& window, RunBackups& backups) {
  struct CloseWhenDone {
    ~CloseWhenDone() { DBEngine::Instance().CloseIdle(); }
  } close_when_done;
  TransformPairSteps(window, backups);
}

// The next old database that has a model is checked for damage in the
// background (see DBEngine::CheckIntegrityAhead) once the database before it
// changes, while that pair's steps run. The first one is checked before its
// own first change, on the run's thread: a check started with the run would
// share the processor with every listing even when nothing is to change (an
// installation already up to date), for a tenth of that run's time.
void CheckNextAhead(Actualiz& window, short current) {
  try {
    for (short next = current + 1; next < window.List6.ListCount(); ++next) {
      const std::string& name = window.List6.List(next);
      for (short j = 0; j < window.List7.ListCount(); ++j)
        if (window.List7.List(j) == name) {
          DBEngine::Instance().CheckIntegrityAhead(
              Paths::Join(window.Dir1.Path(), name),
              Paths::Join(window.Dir1.Path(), window.List6.List(current)));
          return;
        }
    }
  } catch (const Error&) {
    // Only time is lost: the file is checked before its first change anyway.
  }
}

// The driver's own statements run in ignore-errors mode: one that fails is
// journaled and the next runs, so a list that changes under the run (an
// observer of a control may change it) never ends the run early. An entry that
// can no longer be selected is passed over rather than run with the selection
// another entry left.
void TransformOldDatabases(Actualiz& window, IgnoreErrors& ignore, RunBackups& backups) {
  short olds = window.List6.ListCount();
  if (olds == 0) return;
  ignore([&] { window.Bar1.SetValue(0); });
  ignore([&] { window.Bar1.SetMax(olds); });
  for (short i = 0; i < olds; ++i) {
    ignore([&] { window.Bar1.SetValue(i + 1); });
    ignore([&] { window.Label4.SetCaption(window.List7.Text()); });
    ignore([&] { window.Frame13.Refresh(); });
    if (!ignore([&] { window.List6.SetListIndex(i); })) continue;
    CheckNextAhead(window, i);
    // Every model is compared, so a model listed twice pairs twice.
    short models = window.List7.ListCount();
    bool paired = false;
    for (short j = 0; j < models; ++j) {
      if (!ignore([&] { window.List7.SetListIndex(j); })) continue;
      if (window.List7.Text() == window.List6.Text()) {
        paired = true;
        ignore([&] { TransformPair(window, backups); });
        JournalFailedCommits(window);
      }
    }
    // A database without a model is left as it is; the report says so.
    if (!paired) window.Report.Skipped(Paths::Join(window.Dir1.Path(), window.List6.Text()));
  }
}

// Copies into the data folder the models that List8 names, each as the
// database it holds (see CopyDatabase); a model that does not open as a
// database is journaled and not copied. A name that an entry of the data
// folder holds in another letter case, or hidden, is not copied either: the
// copy could replace or shadow a database of the installation. A plan copies
// nothing and removes nothing: it lists the models that would be copied,
// after the checks a copy makes of its source.
void CopyNewDatabases(Actualiz& window, IgnoreErrors& ignore) {
  const std::string folder = window.Dir1.Path();
  const bool plan = window.Planning();
  // What a run ended midway left behind goes before anything is copied.
  try {
    if (!plan) RemoveStaleCopies(folder);
  } catch (const Error& error) {
    window.Journal.Add(JournalEntry{kOperation, "", folder, error.Number(), error.Text()});
  }
  std::set<std::string> handled;
  short count = window.List8.ListCount();
  for (short k = 0; k < count; ++k) {
    if (!ignore([&] { window.List8.SetListIndex(k); })) continue;
    const std::string name = window.List8.Text();
    // A model listed twice is copied once.
    if (!handled.insert(name).second) continue;
    const std::string from = window.Installation().ModelPath(name);
    const std::string to = Paths::Join(folder, name);
    try {
      if (NameTakenInFolder(folder, name))
        throw MakeError(err::kFileAlreadyExists,
                        "'" + name + "' ya existe en " + folder +
                            " (en otras mayúsculas u oculto); no se copia el modelo");
      if (plan)
        DBEngine::Instance().OpenDatabase(from)->CheckIntact();
      else
        CopyDatabase(from, to);
      window.Report.NewDatabase(to);
    } catch (const Error& error) {
      window.Journal.Add(JournalEntry{kOperation, from, to, error.Number(), error.Text()});
    }
  }
}

}  // namespace

void Transform(Actualiz& window) {
  // A second run on the same installation is refused before it touches
  // anything; the one under way goes on.
  RunLock lock(window.Installation().Home());
  Hourglass hourglass(window);
  // A plan changes nothing, so it needs no way back.
  RunBackups backups(window.Planning() ? "" : window.BackupFolder);
  // Every failure below is journaled by the step that meets it or here, and
  // the run always goes on to its closing status.
  IgnoreErrors ignore(window, kOperation);
  TransformOldDatabases(window, ignore, backups);
  ignore([&] { window.Label4.SetCaption("Añadiendo bases de datos nuevas"); });
  RunStep(window, "Command15_Click", [&] { window.Command15_Click(); });
  CopyNewDatabases(window, ignore);
  ignore([&] { window.Label4.SetCaption("Proceso Terminado"); });
}

}  // namespace brenquil
