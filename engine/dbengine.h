// DBEngine is the engine object: created on first use, kept for the life of the
// program. It opens database files and shares one SQLite connection between
// all Database objects and record sets open on the same file.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/error.h"

#include "engine/database.h"

struct sqlite3;

namespace brenquil {

namespace detail {
class Connection;
}

// OpenDatabase's `read_only`: the file is only read (a model).
inline constexpr bool kReadOnly = true;

class DBEngine {
 public:
  static DBEngine& Instance();

  // Opens an existing database file, shared, for reading and writing (read
  // only when the file is write-protected). Throws Error 3024 (missing),
  // 3343 (not a database, empty, a folder), 3049 (damaged or truncated),
  // 3045 (locked by another process longer than the busy timeout). Writes
  // nothing to a file it refuses. A file is only called damaged from what a
  // read under SQLite's lock finds: another program writing it meanwhile
  // never makes it look so.
  //
  // With `read_only` (kReadOnly; DAO's ReadOnly argument) SQLite opens the
  // file for reading only, and every change is refused (3027): no byte of
  // the file or of its log changes, not even by a checkpoint when it closes;
  // a log another program left is read as it stands, through its
  // shared-memory index read-only when there is one (SQLite makes the index,
  // never the file, when there is none). A file that this process holds open
  // for writing at that moment is shared as it is, and one held only for
  // reading is shared read-only with a caller that would write.
  std::shared_ptr<Database> OpenDatabase(const std::string& path, bool read_only = false);

  // Creates a new, empty database file (Error 3204 analogue 3012 when the path
  // exists) with the engine's system tables.
  std::shared_ptr<Database> CreateDatabase(const std::string& path);

  // Engine side: the shared connection for `path`, opened when none is open
  // (see OpenDatabase for `read_only`).
  std::shared_ptr<detail::Connection> Connect(const std::string& path, bool read_only = false);

  // A file released by every Database stays open for a while (up to a few
  // files), so the steps that open the same pair again and again do not pay
  // for it each time. CloseIdle closes them all, writing every change into
  // the database file itself; the front ends call it after each operation,
  // and a file about to be copied is released with Release.
  void CloseIdle();
  void Release(const std::string& path);

  // A batch gathers the changes of one operation into one transaction per
  // file, committed when nobody holds the file any more or at EndBatch; a
  // crash loses the batch's changes to a file, never its validity. EndBatch
  // commits every file, closes the idle ones, and throws the first commit
  // that failed (that file keeps what it had before the batch).
  //
  // A plan (BeginBatch(true)) is a batch that keeps nothing: each file's
  // transaction is rolled back when the file is released or at EndBatch, the
  // file is never switched to WAL nor checkpointed, and its changes stay in
  // memory until then, so nothing a plan tries reaches the disk and every
  // file is byte for byte what it was.
  void BeginBatch(bool plan = false) {
    batch_ = true;
    plan_ = plan;
  }
  void EndBatch();
  bool InBatch() const { return batch_; }
  // Inside a batch, what other processes commit is looked for once per step
  // of the operation rather than at every read: a step works on what the
  // files held when it began (its own changes are known anyway), and the
  // driver calls NextStep before each step.
  void NextStep();
  std::uint64_t StepNumber() const { return step_; }
  bool InPlan() const { return batch_ && plan_; }

  // Told the path of a file just before a batch that is not a plan first
  // changes it (again after each commit of that file), while the file still
  // holds what it held before: the moment to copy it. An Error the hook
  // throws refuses that change, and the file stays as it was. The caller
  // sets it and clears it (an empty function) when it is done.
  void OnFirstChange(std::function<void(const std::string& path)> hook) { first_change_ = std::move(hook); }
  void AboutToChange(const std::string& path) {
    if (first_change_) first_change_(path);
  }

  // The files of `folder` are this process's own scratch copies, gone when
  // its work ends (a worker's catalogues): their changes are written without
  // syncing them to the disk, since a crash loses nothing kept. Empty: none.
  void SetScratchFolder(std::string folder) { scratch_folder_ = std::move(folder); }
  bool InScratchFolder(const std::string& path) const;

  // Commits that failed when a file was released (its batch rolled back):
  // the file's path and the error, oldest first. Taking them empties the list.
  void RecordCommitFailure(const std::string& path, const Error& error);
  std::vector<std::pair<std::string, Error>> TakeCommitFailures();

  // A check run ahead: its result, and its connection while it runs, so that
  // it can be stopped.
  struct AheadCheck {
    std::mutex mutex;
    sqlite3* db = nullptr;
    bool stopped = false;
    std::future<std::optional<std::string>> result;
  };

  // SQLite's integrity check of `path`, run on a connection of its own in
  // another thread while the caller works on another file; the connection
  // that first changes `path` takes the result instead of checking the file
  // itself (see Connection::CheckIntact). The check starts at once, or with
  // `after` when the file `after` is first about to change (StartCheckAhead):
  // a run that changes nothing starts no check after its first. Only a file
  // in rollback-journal mode, with no journal or log beside it, is checked
  // so: a read-only connection then writes nothing, not even a -shm file.
  // The check holds one read transaction throughout, so what other
  // programs commit meanwhile never shows to it as damage.
  // While one check runs, no other starts; the end of the batch stops them.
  void CheckIntegrityAhead(const std::string& path, const std::string& after = {});
  void StartCheckAhead(const std::string& changing);
  // The result of the check started for `path`, waited for; nullopt when
  // none was started or it could not run. Taking it forgets it.
  std::optional<std::string> TakeIntegrity(const std::string& path);

 private:
  DBEngine() = default;
  struct Entry {
    std::shared_ptr<detail::Connection> connection;
    unsigned long long device = 0, inode = 0;
    bool read_only = false;
    unsigned long long last_used = 0;
    std::uint64_t checked_step = 0;  // the step in which the file was last checked
  };
  void TrimIdle();
  // The key of `path` in open_: the file's canonical path. A copy: outside a
  // batch the cache behind it keeps one path at a time.
  std::string KeyOf(const std::string& path);
  std::map<std::string, Entry> open_;
  unsigned long long uses_ = 0;
  std::uint64_t step_ = 1;
  std::map<std::string, std::string> keys_;  // path -> KeyOf, during a batch
  bool batch_ = false;
  bool plan_ = false;
  std::vector<std::pair<std::string, Error>> commit_failures_;
  void StopChecksAhead();
  std::map<std::string, std::shared_ptr<AheadCheck>> integrity_ahead_;
  std::string check_ahead_;  // the file to check once check_after_ changes
  std::string check_after_;
  std::function<void(const std::string&)> first_change_;
  std::string scratch_folder_;
};

}  // namespace brenquil
