#include "cli/transform_jobs.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/database_copy.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/actualiz.h"
#include "shell/backups.h"
#include "shell/paths.h"

extern char** environ;

namespace brenquil {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kOperation = "Command13_Click";
// The entries a worker holds at once: the one in its hands and the next.
constexpr size_t kAhead = 2;

// What a worker is started with besides the handed entries.
struct WorkerOptions {
  std::string home;
  std::string data;
  bool plan = false;
  std::string backup;
};

std::string& Program() {
  static std::string program;
  return program;
}

// ---- what travels between a worker and its parent
//
// Names come from the data folder and from database files: any byte but NUL
// may be in them, a line break or bytes that are not UTF-8 included. Each
// crosses the pipes as it is, by two reversible encodings: a handed entry is
// one line, its name with '\' and line breaks escaped; a worker's line is
// JSON, which carries only UTF-8, so every text in it has '%' and the bytes
// from 0x80 up written as %XX.

std::string EscapeLineBreaks(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string UnescapeLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      out += text[i] == 'n' ? '\n' : text[i];
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string PercentEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '%' || byte >= 0x80) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int high = -1, low = -1;
    if (text[i] == '%' && i + 2 < text.size() && (high = HexValue(text[i + 1])) >= 0 &&
        (low = HexValue(text[i + 2])) >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Applies `change` to every text of `value` (the keys are the program's own).
template <class Change>
void EachText(json& value, const Change& change) {
  if (value.is_string()) {
    value = change(value.get_ref<const std::string&>());
  } else if (value.is_structured()) {
    for (auto& item : value) EachText(item, change);
  }
}

json EntriesJson(const std::vector<JournalEntry>& entries) {
  json list = json::array();
  for (const auto& e : entries) list.push_back({e.operation, e.model, e.old, e.number, e.text});
  return list;
}

json IndexesJson(const std::vector<IndexEntry>& indexes) {
  json list = json::array();
  for (const auto& i : indexes) list.push_back({i.table, i.name});
  return list;
}

std::vector<IndexEntry> IndexesFrom(const json& list) {
  std::vector<IndexEntry> indexes;
  for (const auto& i : list) indexes.push_back({i[0].get<std::string>(), i[1].get<std::string>()});
  return indexes;
}

json ChangesJson(const DatabaseChanges& d) {
  json fields = json::array();
  for (const auto& [table, added] : d.fields_added) fields.push_back({table, added});
  return {{"old", d.old},
          {"model", d.model},
          {"tables_created", d.tables_created},
          {"fields_added", fields},
          {"indexes_deleted", IndexesJson(d.indexes_deleted)},
          {"indexes_created", IndexesJson(d.indexes_created)},
          {"indexes_kept", IndexesJson(d.indexes_kept)},
          {"relations_deleted", d.relations_deleted},
          {"relations_created", d.relations_created},
          {"relations_kept", d.relations_kept},
          {"relations_changed", d.relations_changed},
          {"queries_deleted", d.queries_deleted},
          {"queries_created", d.queries_created},
          {"queries_kept", d.queries_kept},
          {"triggers_created", d.triggers_created},
          {"triggers_replaced", d.triggers_replaced},
          {"backup", d.backup},
          {"rolled_back", d.rolled_back}};
}

DatabaseChanges ChangesFrom(const json& j) {
  DatabaseChanges d;
  d.old = j.at("old");
  d.model = j.at("model");
  d.tables_created = j.at("tables_created").get<std::vector<std::string>>();
  for (const auto& f : j.at("fields_added"))
    d.fields_added.emplace_back(f[0].get<std::string>(), f[1].get<std::vector<std::string>>());
  d.indexes_deleted = IndexesFrom(j.at("indexes_deleted"));
  d.indexes_created = IndexesFrom(j.at("indexes_created"));
  d.indexes_kept = IndexesFrom(j.at("indexes_kept"));
  d.relations_deleted = j.at("relations_deleted").get<std::vector<std::string>>();
  d.relations_created = j.at("relations_created").get<std::vector<std::string>>();
  d.relations_kept = j.at("relations_kept").get<std::vector<std::string>>();
  d.relations_changed = j.at("relations_changed").get<std::vector<std::string>>();
  d.queries_deleted = j.at("queries_deleted").get<std::vector<std::string>>();
  d.queries_created = j.at("queries_created").get<std::vector<std::string>>();
  d.queries_kept = j.at("queries_kept").get<std::vector<std::string>>();
  d.triggers_created = j.at("triggers_created").get<std::vector<std::string>>();
  d.triggers_replaced = j.at("triggers_replaced").get<std::vector<std::string>>();
  d.backup = j.at("backup");
  d.rolled_back = j.at("rolled_back");
  return d;
}

// What the window's journal and report hold now, as one line; both are
// emptied for the next entry.
std::string TakeResults(Actualiz& window, json line) {
  line["journal"] = EntriesJson(window.Journal.Entries());
  json databases = json::array();
  for (const auto& d : window.Report.Databases()) databases.push_back(ChangesJson(d));
  line["databases"] = databases;
  line["skipped"] = window.Report.SkippedDatabases();
  line["not_reached"] = window.Report.NotReachedDatabases();
  window.Journal.Clear();
  window.Report.Clear(window.Report.Plan());
  EachText(line, PercentEncoded);
  return line.dump() + "\n";
}

// Adds a worker's line to the parent's journal and report.
void AddResults(Actualiz& window, const json& line) {
  for (const auto& d : line.at("databases")) {
    DatabaseChanges changes = ChangesFrom(d);
    DatabaseChanges& entry = window.Report.For(changes.old, changes.model);
    entry = std::move(changes);
  }
  for (const auto& path : line.at("skipped")) window.Report.Skipped(path);
  for (const auto& path : line.at("not_reached")) window.Report.NotReached(path);
  for (const auto& e : line.at("journal"))
    window.Journal.Add(JournalEntry{e[0], e[1], e[2], e[3].get<int>(), e[4]});
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the parent is gone: nothing left to tell
    done += static_cast<size_t>(n);
  }
}

// ---- the parent

// A folder made in the system's temporary folder (TMPDIR, else /tmp),
// removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder() = default;
  ~TemporaryFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // Throws, naming each folder tried and why it would not do.
  void Make() {
    std::vector<std::string> places;
    std::error_code ec;
    const fs::path system = fs::temp_directory_path(ec);
    if (!ec) places.push_back(system.string());
    if (std::find(places.begin(), places.end(), "/tmp") == places.end()) places.push_back("/tmp");
    std::string failures;
    for (const auto& place : places) {
      std::string pattern = (fs::path(place) / "brenquil-jobs-XXXXXX").string();
      if (::mkdtemp(pattern.data())) {
        path_ = pattern;
        return;
      }
      failures += (failures.empty() ? "" : "; ") + ("'" + place + "': " + std::strerror(errno));
    }
    if (ec) failures = "TMPDIR: " + ec.message() + "; " + failures;
    throw MakeError(err::kFileAccess, "no se pudo crear una carpeta temporal para los procesos de trabajo (" +
                                          failures + ")");
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

struct Worker {
  pid_t pid = -1;
  int to = -1;    // its standard input
  int from = -1;  // its standard output
  std::string pending;  // what it wrote after its last full line
  // The entries handed to it and not yet answered, in order: the one it
  // works on, and the next, already waiting in its input, so that it never
  // waits for the parent between two databases.
  std::deque<int> entries;
  bool alive() const { return from >= 0; }
};

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

class SharedRun {
 public:
  // The workers run what this run is: a plan or not, on the data folder and
  // with the backup folder it has now (a plan backs up nothing).
  SharedRun(Actualiz& window, RunBackups& backups, int jobs, std::ostream& notes)
      : window_(window),
        backups_(backups),
        jobs_(jobs),
        notes_(notes),
        options_{window.Installation().Home(), window.Dir1.Path(), window.Planning(),
                 window.Planning() ? std::string() : window.BackupFolder} {}

  // False, with the reason told to `notes`, when not even one worker could be
  // started: nothing was run, and the caller runs the list itself.
  bool Run() {
    const int olds = window_.List6.ListCount();
    if (olds == 0) return true;
    // A worker's standard input closed under it must not end the parent.
    struct sigaction ignore{}, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    try {
      temp_.Make();
      if (backups_.Wanted()) backup_folder_ = backups_.MakeRunFolder();
      const int wanted = std::min(jobs_, olds);
      for (int w = 0; w < wanted; ++w) {
        try {
          Start();
        } catch (const Error&) {
          if (workers_.empty()) throw;
          break;  // fewer workers do the same work
        }
      }
    } catch (const Error& error) {
      ::sigaction(SIGPIPE, &previous, nullptr);
      if (backups_.Wanted() && !backup_folder_.empty()) backups_.RemoveRunFolderIfEmpty();
      notes_ << program_invocation_short_name << ": " << error.Text()
             << "; las bases viejas se transforman una tras otra en este proceso" << std::endl;
      return false;
    }
    window_.Bar1.SetValue(0);
    window_.Bar1.SetMax(static_cast<float>(olds));
    results_.resize(olds);
    Loop(olds);
    // No more entries: each worker ends after its last line.
    for (auto& worker : workers_) CloseFd(worker.to);
    while (AnyAlive()) Read(olds);
    for (auto& worker : workers_)
      if (worker.pid > 0) ::waitpid(worker.pid, nullptr, 0);
    ::sigaction(SIGPIPE, &previous, nullptr);
    for (const auto& line : tails_) AddResults(window_, line);
    if (backups_.Wanted()) backups_.RemoveRunFolderIfEmpty();
    return true;
  }

 private:
  void Loop(int olds) {
    bool stopping = false;
    while (frontier_ < olds) {
      // The front end repaints (at most as often as it wants) and takes a
      // click on "Detener" while the workers work.
      window_.Frame13.Refresh();
      if (!stopping && window_.StopRequested()) stopping = true;
      for (auto& worker : workers_) {
        while (worker.alive() && worker.to >= 0 && worker.entries.size() < Holds(olds)) {
          if (stopping || next_ >= olds) {
            CloseFd(worker.to);
            break;
          }
          worker.entries.push_back(next_);
          WriteAll(worker.to, std::to_string(next_) + "\t" + EscapeLineBreaks(window_.List6.List(next_)) + "\n");
          ++next_;
        }
      }
      const bool in_hand = std::any_of(workers_.begin(), workers_.end(),
                                       [](const Worker& w) { return w.alive() && !w.entries.empty(); });
      if (stopping && !in_hand) break;
      if (!stopping && next_ < olds && !in_hand &&
          std::none_of(workers_.begin(), workers_.end(), [](const Worker& w) { return w.alive() && w.to >= 0; })) {
        // Every worker ended: a new one takes the rest, unless they keep
        // ending before any work.
        if (restarts_ >= jobs_ + 2) {
          for (int rest = next_; rest < olds; ++rest) NotRun(rest, "los procesos de trabajo terminaron antes de tiempo");
          next_ = olds;
          Advance();
          break;
        }
        ++restarts_;
        try {
          Start();
        } catch (const Error& error) {
          for (int rest = next_; rest < olds; ++rest) NotRun(rest, error.Text());
          next_ = olds;
          Advance();
          break;
        }
        continue;
      }
      Read(olds);
    }
    if (stopping) {
      window_.Report.Stop();
      for (int rest = frontier_; rest < olds; ++rest)
        window_.Report.NotReached(Paths::Join(window_.Dir1.Path(), window_.List6.List(rest)));
    }
  }

  // What a worker may hold: the entry it works on and the next while more
  // entries are left to hand out than all the workers could hold; then one,
  // so that the last entries go to whichever worker is free first rather
  // than wait behind another's while a worker has nothing.
  size_t Holds(int olds) const {
    return static_cast<size_t>(olds - next_) > workers_.size() * kAhead ? kAhead : 1;
  }

  bool AnyAlive() const {
    return std::any_of(workers_.begin(), workers_.end(), [](const Worker& w) { return w.alive(); });
  }

  void Start() {
    const std::string catalogues = Paths::Join(temp_.Path(), "w" + std::to_string(workers_.size()));
    fs::create_directories(catalogues);
    const Paths& home = window_.Installation();
    for (const std::string& from : {home.IndexCatalog(), home.RelationCatalog(), home.QueryCatalog()})
      CopyScratchDatabase(from, Paths::Join(catalogues, fs::path(from).filename().string()));

    std::vector<std::string> args = {WorkerProgram(), "transform", "--home", options_.home,
                                     "--data",        options_.data, "--quiet", "--jobs", "1"};
    if (options_.plan) args.push_back("--plan");
    if (!options_.backup.empty()) {
      args.push_back("--backup");
      args.push_back(options_.backup);
    }
    std::vector<std::string> env_text;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      if (entry.rfind(std::string(kWorkerVariable) + "=", 0) == 0 ||
          entry.rfind(std::string(kWorkerBackupsVariable) + "=", 0) == 0)
        continue;
      env_text.push_back(entry);
    }
    env_text.push_back(std::string(kWorkerVariable) + "=" + catalogues);
    if (!backup_folder_.empty()) env_text.push_back(std::string(kWorkerBackupsVariable) + "=" + backup_folder_);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);

    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) throw MakeError(err::kFileAccess, "no se pudo crear un proceso de trabajo.");
    if (::pipe2(out, O_CLOEXEC) != 0) {
      ::close(in[0]);
      ::close(in[1]);
      throw MakeError(err::kFileAccess, "no se pudo crear un proceso de trabajo.");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = -1;
    int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (failed != 0) {
      ::close(in[1]);
      ::close(out[0]);
      throw MakeError(err::kFileAccess, "no se pudo iniciar el proceso de trabajo '" + WorkerProgram() + "'.");
    }
    Worker worker;
    worker.pid = pid;
    worker.to = in[1];
    worker.from = out[0];
    workers_.push_back(worker);
  }

  // Waits for what the workers write and takes every full line.
  void Read(int olds) {
    std::vector<pollfd> fds;
    std::vector<Worker*> owners;
    for (auto& worker : workers_) {
      if (!worker.alive()) continue;
      fds.push_back({worker.from, POLLIN, 0});
      owners.push_back(&worker);
    }
    if (fds.empty()) return;
    // A stop is looked for at least ten times a second.
    if (::poll(fds.data(), fds.size(), 100) <= 0) return;
    for (size_t k = 0; k < fds.size(); ++k) {
      if (!fds[k].revents) continue;
      Worker& worker = *owners[k];
      char buffer[65536];
      ssize_t n = ::read(worker.from, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        worker.pending.append(buffer, static_cast<size_t>(n));
        size_t end;
        while ((end = worker.pending.find('\n')) != std::string::npos) {
          Take(worker, worker.pending.substr(0, end), olds);
          worker.pending.erase(0, end + 1);
        }
        continue;
      }
      Ended(worker);
    }
    Advance();
  }

  void Take(Worker& worker, const std::string& text, int olds) {
    json line = json::parse(text, nullptr, false);
    if (line.is_discarded() || !line.is_object()) return;
    EachText(line, PercentDecoded);
    if (line.contains("entry")) {
      const int entry = line["entry"].get<int>();
      if (entry >= 0 && entry < olds && !worker.entries.empty() && entry == worker.entries.front()) {
        results_[entry] = std::move(line);
        worker.entries.pop_front();
      }
    } else if (line.contains("end")) {
      tails_.push_back(std::move(line));
    }
  }

  // The worker's output closed: it ended. The entry in its hands, if any, is
  // journaled, its database opened again (which rolls back what the worker
  // left unfinished) and checked.
  void Ended(Worker& worker) {
    CloseFd(worker.from);
    CloseFd(worker.to);
    int status = 0;
    if (worker.pid > 0 && ::waitpid(worker.pid, &status, 0) == worker.pid) worker.pid = -1;
    std::string how = WIFSIGNALED(status) ? "por la señal " + std::to_string(WTERMSIG(status))
                                          : "con el código " + std::to_string(WEXITSTATUS(status));
    for (int entry : worker.entries) NotRun(entry, "el proceso de trabajo terminó " + how + " antes de acabarla");
    worker.entries.clear();
  }

  void NotRun(int entry, const std::string& why) {
    const std::string name = window_.List6.List(entry);
    const std::string old = Paths::Join(window_.Dir1.Path(), name);
    const std::string model = window_.Installation().ModelPath(name);
    std::string state;
    try {
      auto db = DBEngine::Instance().OpenDatabase(old, false);
      db->CheckIntact();
      db->Close();
      DBEngine::Instance().CloseIdle();
      // The worker may have committed the database and ended before it said
      // so: the parent knows only that the file is whole, with all of the
      // pair's changes (one transaction) or none.
      state = "; el archivo está íntegro, con todos los cambios de esta base o con ninguno: "
              "vuelva a transformar para dejarla al día";
    } catch (const Error& error) {
      state = "; al abrirla de nuevo: " + error.Text();
    }
    json line = {{"entry", entry},
                 {"journal", json::array({{kOperation, model, old, err::kInvalidOperation,
                                          "no se transformó '" + old + "': " + why + state}})},
                 {"databases", json::array()},
                 {"skipped", json::array()},
                 {"not_reached", json::array()}};
    results_[entry] = std::move(line);
  }

  // Adds the finished entries at the head of the list, in its order.
  void Advance() {
    while (frontier_ < static_cast<int>(results_.size()) && results_[frontier_]) {
      AddResults(window_, *results_[frontier_]);
      results_[frontier_].reset();
      ++frontier_;
      // The progress as a run of one process shows it: the entry's number,
      // then, for a pair, its model and the two files.
      window_.Bar1.SetValue(static_cast<float>(frontier_));
      const std::string name = window_.List6.List(frontier_ - 1);
      if (!Paired(name)) continue;
      window_.Label4.SetCaption(name);
      window_.Text3.SetText(window_.Installation().ModelPath(name));
      window_.Text4.SetText(Paths::Join(window_.Dir1.Path(), name));
    }
  }

  // True when a model of List7 has that name (a set made once: the list
  // may hold tens of thousands).
  bool Paired(const std::string& name) {
    if (models_.empty())
      for (const auto& model : window_.List7.Items()) models_.insert(model);
    return models_.count(name) != 0;
  }

  Actualiz& window_;
  RunBackups& backups_;
  const int jobs_;
  std::ostream& notes_;
  std::unordered_set<std::string> models_;
  const WorkerOptions options_;
  TemporaryFolder temp_;
  std::string backup_folder_;
  std::vector<Worker> workers_;
  std::vector<std::optional<json>> results_;
  std::vector<json> tails_;
  int next_ = 0;
  int frontier_ = 0;
  int restarts_ = 0;
};

// ---- the worker

// Reads one "INDEX\tNAME" line from the standard input, a byte at a time
// (nothing past the line is taken from the parent), the name's line breaks
// escaped. False at its end.
bool ReadHanded(int& entry, std::string& name) {
  std::string line;
  char c;
  while (true) {
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') break;
    line += c;
  }
  const size_t tab = line.find('\t');
  if (tab == std::string::npos) return false;
  try {
    entry = std::stoi(line.substr(0, tab));
  } catch (const std::exception&) {
    return false;
  }
  name = UnescapeLineBreaks(line.substr(tab + 1));
  return true;
}

}  // namespace

void SetWorkerProgram(std::string path) { Program() = std::move(path); }
const std::string& WorkerProgram() { return Program(); }

int DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

void ShareRun(Actualiz& window, int jobs, std::ostream& notes) {
  window.Sharing.run_olds = [jobs, &notes](Actualiz& w, RunBackups& backups) {
    return SharedRun(w, backups, jobs, notes).Run();
  };
}

void BecomeWorker(Actualiz& window) {
  struct Hand {
    int entry = -1;
    std::string name;
    bool ended = false;
  };
  auto hand = std::make_shared<Hand>();
  window.Sharing.worker = true;
  if (const char* folder = std::getenv(kWorkerBackupsVariable)) window.Sharing.backup_run_folder = folder;
  window.Sharing.takes = [hand, &window](int entry) {
    if (hand->entry < 0 && !hand->ended && !ReadHanded(hand->entry, hand->name)) hand->ended = true;
    // An entry whose name differs from the parent's list is not run: the
    // parent journals it when this worker ends with it in hand.
    return hand->entry == entry && window.List6.List(entry) == hand->name;
  };
  window.Sharing.done = [hand, &window](int entry) {
    WriteAll(STDOUT_FILENO, TakeResults(window, json{{"entry", entry}}));
    hand->entry = -1;
  };
}

void FinishWorker(Actualiz& window) {
  WriteAll(STDOUT_FILENO, TakeResults(window, json{{"end", true}}));
}

}  // namespace brenquil
