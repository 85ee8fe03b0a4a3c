#include "shell/transformation.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/database_copy.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/actualiz.h"
#include "shell/backups.h"
#include "shell/ignore_errors.h"
#include "shell/jet_advice.h"
#include "shell/paths.h"
#include "shell/run_lock.h"
#include "tables/trigger_copy.h"
#include "tables/virtual_table_copy.h"

namespace brenquil {

namespace {

constexpr const char* kOperation = "Command13_Click";
// The copy of the models without an old namesake, as the journal names it.
constexpr const char* kCopyOperation = "CopyNewDatabases";

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
// the lists another pair left, so they are skipped, and the listing's one
// journal line says so.
bool ListTablesOrSkip(Actualiz& window) {
  DBEngine::Instance().NextStep();
  try {
    window.Command6_Click();
    return true;
  } catch (const Error& error) {
    const Error shown = ExplainJetFile(error, {window.Text3.Text(), window.Text4.Text()},
                                       window.Installation().Home(), window.Dir1.Path());
    JournalError(window, "Command6_Click",
                 Error(shown.Number(), shown.Text() + "; no se hacen los demás pasos de esta base."));
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
  KeepOpen(const std::string& path, bool read_only) {
    try {
      database_ = DBEngine::Instance().OpenDatabase(path, read_only);
      // The model is read in one state for the whole pair.
      if (read_only) database_->KeepReadAcrossSteps(true);
    } catch (const Error&) {
    }
  }
  ~KeepOpen() {
    try {
      if (database_ && database_->IsOpen()) database_->KeepReadAcrossSteps(false);
    } catch (const Error&) {
    }
  }
  KeepOpen(const KeepOpen&) = delete;
  KeepOpen& operator=(const KeepOpen&) = delete;
  Database* operator->() const { return database_.get(); }
  Database& operator*() const { return *database_; }
  explicit operator bool() const { return database_ != nullptr; }

 private:
  std::shared_ptr<Database> database_;
};

// An old database that refuses every change is left after the step that met
// the refusal, which journaled it once: a damaged file (the engine checks it
// before its first change), a read-only one or one in a read-only folder,
// or one whose backup could not be made. Its later steps would only meet the
// same refusal, one journal line each.
struct PairRefusal {
  const KeepOpen& old;
  size_t first_entry;                 // the journal's size when the pair began
  const std::optional<Error>& backup;  // the backup that could not be made
};

bool Refused(Actualiz& window, const PairRefusal& pair) {
  if (pair.backup) return true;
  if (pair.old && pair.old->FoundDamaged()) return true;
  const auto& entries = window.Journal.Entries();
  for (size_t i = pair.first_entry; i < entries.size(); ++i)
    if (entries[i].old == window.Text4.Text() && entries[i].number == err::kReadOnly) return true;
  return false;
}

// Runs `check` on a file of the pair before any step: when it fails, the
// journal says why (`whose` names the file's role) and no step of the pair
// runs. A file that does not open is left to the first step, which meets the
// same error.
bool PassesBeforeTheSteps(Actualiz& window, const KeepOpen& db, const std::string& whose,
                          const std::function<void(Database&)>& check) {
  if (!db) return true;
  try {
    check(*db);
    return true;
  } catch (const Error& error) {
    JournalError(window, kOperation,
                 MakeError(error.Number(), whose + DetailOf(error) + "; no se ejecutan los pasos de la pareja"));
    return false;
  }
}

// A model is checked as an old database is before its first change: a
// damaged one would give its pair a wrong picture of what to add, keep and
// delete. One whose check cannot evaluate an index (a function of the
// program that wrote it) is read, and the steps say what of it cannot be built.
bool ModelIsSound(Actualiz& window, const KeepOpen& model) {
  return PassesBeforeTheSteps(window, model, "el modelo ", [](Database& db) {
    try {
      db.CheckIntact();
    } catch (const Error& error) {
      if (error.Number() != err::kInvalidSql) throw;
    }
  });
}

// An old database whose user tables hold an engine table's name in other
// letters is left untouched.
bool OldTakesChanges(Actualiz& window, const KeepOpen& old) {
  return PassesBeforeTheSteps(window, old, "", [](Database& db) { db.CheckEngineTables(); });
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

// False when the old database refused its changes (or another program held
// it) and the rest was skipped.
bool RunSteps(Actualiz& window, const PairRefusal& pair, const auto& steps) {
  for (const Step& step : steps) {
    RunStep(window, step.operation, [&] { (window.*step.run)(); });
    if (HeldAndStopped(window, pair.old, step.operation) || Refused(window, pair)) return false;
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

// With backups wanted, the old database is copied just before its first
// change (see DBEngine::OnFirstChange), so a database the run leaves as it
// was gets no copy. A copy that fails refuses that change and every later
// one of the pair, with the same journal line.
class BackupBeforeChange {
 public:
  BackupBeforeChange(Actualiz& window, RunBackups& backups) : window_(window), backups_(backups) {
    if (!backups_.Wanted()) return;
    old_ = window_.Text4.Text();
    DBEngine::Instance().OnFirstChange([this](const std::string& path) { BeforeChange(path); });
  }
  ~BackupBeforeChange() {
    if (backups_.Wanted()) DBEngine::Instance().OnFirstChange(nullptr);
  }
  BackupBeforeChange(const BackupBeforeChange&) = delete;
  BackupBeforeChange& operator=(const BackupBeforeChange&) = delete;

  const std::optional<Error>& Failure() const { return failure_; }

 private:
  void BeforeChange(const std::string& path) {
    // The catalogues change too; only the old database is copied.
    std::error_code ec;
    if (path != old_ && !std::filesystem::equivalent(path, old_, ec)) return;
    if (failure_) throw *failure_;
    try {
      window_.Report.For(old_, window_.Text3.Text()).backup = backups_.Copy(old_);
    } catch (const Error& error) {
      failure_ = Error(error.Number(), "no se cambia '" + old_ +
                                           "' porque no se pudo hacer su copia de seguridad: " +
                                           error.Text());
      throw *failure_;
    }
  }

  Actualiz& window_;
  RunBackups& backups_;
  std::string old_;
  std::optional<Error> failure_;
};

void RunPairSteps(Actualiz& window, const PairRefusal& pair) {
  if (!ListTablesOrSkip(window)) return;
  if (!RunSteps(window, pair, kAfterFirstListing)) return;
  // The model's virtual tables, which the table listing does not show, before
  // the views that may read them.
  RunStep(window, "CopyVirtualTables", [&] { CopyVirtualTables(window); });
  if (!ListTablesOrSkip(window)) return;
  if (!RunSteps(window, pair, kAfterSecondListing)) return;
  // The model's triggers, once the tables and views they are on exist.
  RunStep(window, "CopyTriggers", [&] { CopyTriggers(window); });
}

void TransformPairSteps(Actualiz& window, RunBackups& backups) {
  window.Label4.SetCaption(window.List7.Text());
  window.Text3.SetText(window.Installation().ModelPath(window.List7.Text()));
  window.Text4.SetText(Paths::Join(window.Dir1.Path(), window.List6.Text()));
  // Every pair has an entry in the report, changed or not.
  window.Report.For(window.Text4.Text(), window.Text3.Text());
  BackupBeforeChange backup(window, backups);
  KeepOpen model(window.Text3.Text(), kReadOnly);
  if (!ModelIsSound(window, model)) return;
  KeepOpen old(window.Text4.Text(), false);
  if (!OldTakesChanges(window, old)) return;

  RunPairSteps(window, PairRefusal{old, window.Journal.Entries().size(), backup.Failure()});
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
void CheckNextAhead(Actualiz& window, const std::string& current, const std::string& next) {
  if (next.empty()) return;
  try {
    DBEngine::Instance().CheckIntegrityAhead(Paths::Join(window.Dir1.Path(), next),
                                             Paths::Join(window.Dir1.Path(), current));
  } catch (const Error&) {
    // Only time is lost: the file is checked before its first change anyway.
  }
}

// For each entry of List6, the next entry after it that a model of List7
// pairs with (empty when none), worked out in one pass from the end: a data
// folder of tens of thousands of entries is not searched again for each.
std::vector<std::string> NextPairedOlds(Actualiz& window) {
  const auto& olds = window.List6.Items();
  const auto& models = window.List7.Items();
  const std::unordered_set<std::string> paired(models.begin(), models.end());
  std::vector<std::string> next(olds.size());
  std::string after;
  for (size_t i = olds.size(); i-- > 0;) {
    next[i] = after;
    if (paired.count(olds[i])) after = olds[i];
  }
  return next;
}

// The driver's own statements run in ignore-errors mode: one that fails is
// journaled and the next runs, so a list that changes under the run (an
// observer of a control may change it) never ends the run early. An entry that
// can no longer be selected is passed over rather than run with the selection
// another entry left.
void TransformEntry(Actualiz& window, IgnoreErrors& ignore, RunBackups& backups, int i,
                    const std::vector<std::string>& next_paired) {
  ignore([&] { window.Bar1.SetValue(i + 1); });
  ignore([&] { window.Label4.SetCaption(window.List7.Text()); });
  ignore([&] { window.Frame13.Refresh(); });
  if (!ignore([&] { window.List6.SetListIndex(i); })) return;
  if (static_cast<size_t>(i) < next_paired.size()) CheckNextAhead(window, window.List6.Text(), next_paired[i]);
  // Every model is compared, so a model listed twice pairs twice.
  int models = window.List7.ListCount();
  bool paired = false;
  for (int j = 0; j < models; ++j) {
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

void TransformOldDatabases(Actualiz& window, IgnoreErrors& ignore, RunBackups& backups) {
  if (window.Sharing.run_olds && window.Sharing.run_olds(window, backups)) return;
  int olds = window.List6.ListCount();
  if (olds == 0) return;
  ignore([&] { window.Bar1.SetValue(0); });
  ignore([&] { window.Bar1.SetMax(static_cast<float>(olds)); });
  // A worker does not know which entry it is handed next: it checks no file
  // ahead, which could be another worker's.
  const RunSharing& sharing = window.Sharing;
  const std::vector<std::string> next_paired = sharing.takes ? std::vector<std::string>{} : NextPairedOlds(window);
  for (int i = 0; i < olds; ++i) {
    if (sharing.takes && !sharing.takes(i)) continue;
    // A stop is honoured between databases: the one before is committed
    // (or rolled back) whole, and the rest are named, untouched.
    if (window.StopRequested()) {
      window.Report.Stop();
      for (int rest = i; rest < olds; ++rest)
        window.Report.NotReached(Paths::Join(window.Dir1.Path(), window.List6.List(rest)));
      return;
    }
    TransformEntry(window, ignore, backups, i, next_paired);
    if (sharing.done) sharing.done(i);
  }
}

// A copy of a model an earlier version of the engine wrote holds its
// relations as records and row triggers: each becomes its FOREIGN KEY clause
// at once, as the next run would make it. One the copy's rows refuse stays as
// it was, and the journal says why.
void BringRelationsToTheirClauses(Actualiz& window, const std::string& model, const std::string& copy) {
  try {
    auto db = DBEngine::Instance().OpenDatabase(copy);
    for (const auto& relation : db->Relations().Snapshot()) {
      if (!relation->NeedsCompleting()) continue;
      try {
        db->CompleteRelation(relation->Name());
      } catch (const Error& error) {
        window.Journal.Add(JournalEntry{kCopyOperation, model, copy, error.Number(),
                                        "Relación '" + relation->Name() + "' no puesta como cláusula FOREIGN KEY: " +
                                            error.Text() + "; se conserva como estaba"});
      }
    }
    db->Close();
  } catch (const Error& error) {
    window.Journal.Add(JournalEntry{kCopyOperation, model, copy, error.Number(), error.Text()});
  }
}

// Copies into the data folder the models that List8 names, each as the
// database it holds (see CopyDatabase); a model that does not open as a
// database is journaled and not copied. A name that an entry of the data
// folder holds in another letter case, or hidden, is not copied either: the
// copy could replace or shadow a database of the installation; nor is any
// model into a folder that is read-only (see FolderWritable). A plan copies
// nothing and removes nothing: it lists the models that would be copied,
// after the same checks, and journals those a run would refuse. After a
// stop, the models not yet copied are named as not reached.
void CopyNewDatabases(Actualiz& window, IgnoreErrors& ignore) {
  const std::string folder = window.Dir1.Path();
  const bool plan = window.Planning();
  const bool writable = FolderWritable(folder);
  // What a run ended midway left behind goes before anything is copied.
  try {
    if (!plan && writable) RemoveStaleCopies(folder);
  } catch (const Error& error) {
    window.Journal.Add(JournalEntry{kCopyOperation, "", folder, error.Number(), error.Text()});
  }
  std::set<std::string> handled;
  int count = window.List8.ListCount();
  for (int k = 0; k < count; ++k) {
    if (!ignore([&] { window.List8.SetListIndex(k); })) continue;
    const std::string name = window.List8.Text();
    // A model listed twice is copied once.
    if (!handled.insert(name).second) continue;
    const std::string from = window.Installation().ModelPath(name);
    const std::string to = Paths::Join(folder, name);
    if (window.Report.Stopped() || window.StopRequested()) {
      window.Report.Stop();
      window.Report.NotReached(to);
      continue;
    }
    try {
      if (!writable)
        throw MakeError(err::kFileAccess, "no se copia el modelo '" + name + "' en '" + folder +
                                              "': la carpeta es de sólo lectura.");
      if (NameTakenInFolder(folder, name))
        throw MakeError(err::kFileAlreadyExists,
                        "'" + name + "' ya existe en " + folder +
                            " (en otras mayúsculas u oculto); no se copia el modelo.");
      if (plan)
        CheckCopySource(from);
      else
        CopyDatabase(from, to, kReadOnly);
      window.Report.NewDatabase(to);
    } catch (const Error& raw) {
      const Error error = ExplainJetFile(raw, {from}, window.Installation().Home(), folder);
      window.Journal.Add(JournalEntry{kCopyOperation, from, to, error.Number(), error.Text()});
      continue;
    }
    if (!plan) BringRelationsToTheirClauses(window, from, to);
  }
}

const char* ClosingStatus(const Actualiz& window) {
  const bool stopped = window.Report.Stopped();
  if (window.Planning()) return stopped ? kStatusPlanStopped : kStatusPlanDone;
  return stopped ? kStatusStopped : kStatusDone;
}

}  // namespace

void Transform(Actualiz& window) {
  // Without a data folder the copies would land in the program's folder.
  if (window.Dir1.Path().empty())
    throw MakeError(err::kPathNotFound, "no hay carpeta de datos: elija la carpeta de las bases viejas "
                                        "antes de transformar.");
  // The installation's own folders hold no old databases: in its home the
  // catalogues would be taken for some (and changed, were a model called like
  // one) and the models copied in beside them; its models are what the run
  // reads.
  std::error_code ec;
  const Paths& installation = window.Installation();
  for (const auto& [folder, what] : {std::pair{installation.Home(), "la carpeta de la instalación"},
                                     std::pair{installation.ModelsFolder(), "la carpeta de los modelos"}})
    if (std::filesystem::equivalent(window.Dir1.Path(), folder, ec))
      throw MakeError(err::kInvalidOperation, "la carpeta de datos '" + window.Dir1.Path() + "' es " + what +
                                                  ": elija la carpeta de las bases viejas antes de transformar.");
  // A second run on the same installation is refused before it touches
  // anything; the one under way goes on. A plan takes the installation too,
  // without making the lock's file.
  // A worker of a shared run runs under its parent's lock.
  std::optional<RunLock> lock;
  if (!window.Sharing.worker) lock.emplace(window.Installation().Home(), window.Planning());
  // A plan changes nothing, so it needs no way back.
  RunBackups backups(window.Planning() ? "" : window.BackupFolder);
  if (backups.Wanted()) backups.Prepare();
  if (backups.Wanted() && window.Sharing.worker && !window.Sharing.backup_run_folder.empty())
    backups.UseRunFolder(window.Sharing.backup_run_folder);
  Hourglass hourglass(window);
  // Every failure below is journaled by the step that meets it or here, and
  // the run always goes on to its closing status.
  IgnoreErrors ignore(window, kOperation);
  TransformOldDatabases(window, ignore, backups);
  // The parent of a shared run lists and copies the new databases.
  if (window.Sharing.worker) return;
  if (!window.Report.Stopped())
    ignore([&] { window.Label4.SetCaption("Añadiendo bases de datos nuevas"); });
  RunStep(window, "Command15_Click", [&] { window.Command15_Click(); });
  CopyNewDatabases(window, ignore);
  ignore([&] { window.Label4.SetCaption(ClosingStatus(window)); });
}

}  // namespace brenquil
