// brenquil-bench-floor: what the transformation's schema changes cost with the
// SQLite library alone. For every old database of an installation and its
// model, it works out by SQLite's own pragmas the statements the
// transformation makes (CREATE TABLE and ALTER TABLE ADD COLUMN; with
// --indexes the index step's DROP INDEX and CREATE INDEX; with --all both, and
// the views: DROP VIEW for an old view the model lacks or declares otherwise,
// CREATE VIEW for a model view the old database lacks as declared) and applies
// them in one transaction per database. Nothing of the engine is used.
//
// The floor that knows its statements in advance is two runs: --emit FILE
// works them out and writes them, changing nothing (untimed), and --apply FILE
// on a fresh copy of the same installation only opens each old database, runs
// its statements in one transaction and commits (timed).
#include <sqlite3.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

class Query {
 public:
  Query(sqlite3* db, const std::string& sql) : db_(db) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
    st_.reset(st);
  }
  Query& Reset() {
    sqlite3_reset(st_.get());
    return *this;
  }
  Query& Bind(int i, const std::string& text) {
    sqlite3_bind_text(st_.get(), i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  bool Step() {
    int rc = sqlite3_step(st_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error(sqlite3_errmsg(db_));
  }
  std::string Text(int c) {
    auto p = sqlite3_column_text(st_.get(), c);
    return p ? reinterpret_cast<const char*>(p) : "";
  }
  int Int(int c) { return sqlite3_column_int(st_.get(), c); }

 private:
  sqlite3* db_;
  std::unique_ptr<sqlite3_stmt, StatementFinalizer> st_;
};

std::string QuoteId(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool IsSystem(const std::string& name) { return name.compare(0, 4, "MSys") == 0; }

// ---- schema as SQLite reports it

struct Column {
  std::string name, type;
};
struct IndexDef {
  std::string name;  // SQLite's name of the index
  bool unique = false;
  std::vector<std::pair<std::string, bool>> keys;  // column, descending
  std::string sql;
  std::string given;  // the name the index goes by in its table (below)
  bool SameAs(const IndexDef& other) const {
    return given == other.given && unique == other.unique && keys == other.keys;
  }
};

// SQLite's index names are one namespace per file, so the program stores an
// index named N of table T as "T_N" or as "N", followed by "_2", "_3", ... when
// that is taken: two files that hold the same index may name it differently.
// The name it goes by is SQLite's without those additions.
std::string GivenName(const std::string& table, std::string name) {
  const std::string prefix = Upper(table) + "_";
  if (name.size() > prefix.size() && Upper(name.substr(0, prefix.size())) == prefix) name.erase(0, prefix.size());
  const auto underscore = name.rfind('_');
  if (underscore != std::string::npos && underscore > 0 && underscore + 1 < name.size() &&
      name.find_first_not_of("0123456789", underscore + 1) == std::string::npos)
    name.erase(underscore);
  return name;
}
struct Table {
  std::string name;
  std::vector<Column> columns;
  std::vector<IndexDef> indexes;  // made by CREATE INDEX; keys of the table itself are not offered
};
using Schema = std::vector<Table>;
struct View {
  std::string name, sql;  // the declaration as SQLite keeps it
};
using Views = std::vector<View>;

// One pass over sqlite_master gives the tables, their indexes' texts and the
// views; the pragmas give columns, unique flags, origins and keys.
Schema ReadSchema(sqlite3* db, Views& views) {
  Schema schema;
  std::map<std::string, std::string> index_sql;
  Query master(db,
               "SELECT type, name, sql FROM sqlite_master WHERE type IN ('table', 'index', 'view')"
               " AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
  while (master.Step()) {
    std::string type = master.Text(0), name = master.Text(1);
    if (type == "index")
      index_sql[name] = master.Text(2);
    else if (IsSystem(name))
      continue;
    else if (type == "view")
      views.push_back({name, master.Text(2)});
    else
      schema.push_back({name, {}, {}});
  }
  Query columns(db, "SELECT name, type FROM pragma_table_info(?1)");
  Query indexes(db, "SELECT name, \"unique\" FROM pragma_index_list(?1) WHERE origin = 'c'");
  Query keys(db, "SELECT name, desc FROM pragma_index_xinfo(?1) WHERE key");
  for (auto& table : schema) {
    columns.Reset().Bind(1, table.name);
    while (columns.Step()) table.columns.push_back({columns.Text(0), columns.Text(1)});
    indexes.Reset().Bind(1, table.name);
    while (indexes.Step()) {
      IndexDef index{indexes.Text(0), indexes.Int(1) != 0, {}, {}, {}};
      index.sql = index_sql[index.name];
      index.given = GivenName(table.name, index.name);
      keys.Reset().Bind(1, index.name);
      while (keys.Step()) index.keys.emplace_back(keys.Text(0), keys.Int(1) != 0);
      table.indexes.push_back(std::move(index));
    }
    // pragma_index_list gives the newest first; creation order reads better.
    std::reverse(table.indexes.begin(), table.indexes.end());
  }
  return schema;
}

const Table* FindExact(const Schema& schema, const std::string& name) {
  for (const auto& t : schema)
    if (t.name == name) return &t;
  return nullptr;
}

const Table* FindUpper(const Schema& schema, const std::string& name) {
  const std::string wanted = Upper(name);
  for (const auto& t : schema)
    if (Upper(t.name) == wanted) return &t;
  return nullptr;
}

// ---- the statements

struct Counts {
  long databases = 0, copies = 0, tables = 0, fields = 0, dropped = 0, created = 0, failed = 0;
  long views_dropped = 0, views_created = 0;
  double read_s = 0, tables_s = 0, indexes_s = 0, views_s = 0, commit_s = 0;
};

// The statements of one old database, or a model to copy into the data
// folder, as --emit writes them and --apply reads them back.
struct Block {
  std::string database;  // a file name in the data folder (or in modelos/ to copy)
  bool copy = false;
  std::vector<std::string> statements;
};

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class Pair {
 public:
  // With `emitted` set, the statements are kept there instead of run.
  Pair(sqlite3* old, bool dry_run, Counts& counts, std::vector<std::string>* emitted = nullptr)
      : old_(old), dry_run_(dry_run), counts_(counts), emitted_(emitted) {}

  // The tables the old database lacks (names compared in upper case), then the
  // fields its tables lack (names compared exactly). Returns the old schema as
  // the statements leave it, without reading it again.
  Schema Tables(const Schema& model, const Schema& old) {
    Schema after = old;
    for (const auto& table : model) {
      const Table* namesake = FindUpper(old, table.name);
      if (!namesake) {
        std::string sql = "CREATE TABLE " + QuoteId(table.name) + " (";
        for (size_t c = 0; c < table.columns.size(); ++c)
          sql += (c ? ", " : "") + Definition(table.columns[c]);
        if (Run(sql + ")")) {
          ++counts_.tables;
          after.push_back({table.name, table.columns, {}});
        }
        continue;
      }
      const Table* target = FindExact(old, table.name);
      if (!target) continue;
      for (const auto& column : table.columns) {
        bool present = std::any_of(target->columns.begin(), target->columns.end(),
                                   [&](const Column& c) { return c.name == column.name; });
        if (!present && Run("ALTER TABLE " + QuoteId(table.name) + " ADD COLUMN " + Definition(column)))
          ++counts_.fields;
      }
    }
    return after;
  }

  // Every index of the old tables goes, but one that the model's table of the
  // same name has alike; then the model's indexes that are not there yet come.
  void Indexes(const Schema& model, const Schema& old) {
    for (const auto& table : old) {
      const Table* source = FindExact(model, table.name);
      for (const auto& index : table.indexes) {
        if (source && Kept(*source, index)) continue;
        if (Run("DROP INDEX " + QuoteId(index.name))) ++counts_.dropped;
      }
    }
    for (const auto& table : model) {
      const Table* target = FindExact(old, table.name);
      if (!target) continue;
      for (const auto& index : table.indexes) {
        if (Kept(*target, index)) continue;
        if (Run(index.sql)) ++counts_.created;
      }
    }
  }

  // An old view stays when the model declares a view of that name in the same
  // words; every other old view goes first, before the tables change, and the
  // model's views that are missing come last, over the finished tables.
  void DropViews(const Views& model, const Views& old) {
    for (const auto& view : old)
      if (!Same(model, view) && Run("DROP VIEW " + QuoteId(view.name))) ++counts_.views_dropped;
  }
  void CreateViews(const Views& model, const Views& old) {
    for (const auto& view : model)
      if (!Same(old, view) && Run(view.sql)) ++counts_.views_created;
  }

 private:
  static bool Same(const Views& views, const View& view) {
    return std::any_of(views.begin(), views.end(),
                       [&](const View& v) { return v.name == view.name && v.sql == view.sql; });
  }

  static bool Kept(const Table& other, const IndexDef& index) {
    return std::any_of(other.indexes.begin(), other.indexes.end(),
                       [&](const IndexDef& i) { return i.SameAs(index); });
  }

  static std::string Definition(const Column& c) {
    return QuoteId(c.name) + (c.type.empty() ? "" : " " + c.type);
  }

  bool Run(const std::string& sql) {
    if (emitted_) emitted_->push_back(sql);
    if (dry_run_) return true;
    char* message = nullptr;
    if (sqlite3_exec(old_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    std::cerr << "brenquil-bench-floor: " << sql << ": " << (message ? message : "?") << "\n";
    sqlite3_free(message);
    ++counts_.failed;
    return false;
  }

  sqlite3* old_;
  bool dry_run_;
  Counts& counts_;
  std::vector<std::string>* emitted_;
};

SqliteHandle Open(const std::string& path, bool write) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
  SqliteHandle handle(db);
  if (rc != SQLITE_OK) throw std::runtime_error("open " + path + ": " + sqlite3_errmsg(db));
  return handle;
}

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sql) + ": " + sqlite3_errmsg(db));
}

struct Options {
  std::string home, data;
  bool tables = true, indexes = false, views = false, dry_run = false;
  std::string emit, apply;  // --emit FILE (implies dry_run), --apply FILE
};

// Works out (and, unless dry_run, runs) one old database's statements; with
// `emitted` set they are kept there too.
void Transform(const std::string& model_path, const std::string& old_path, const Options& o, Counts& n,
               std::vector<std::string>* emitted = nullptr) {
  auto start = Clock::now();
  Views model_views, old_views;
  Schema model = ReadSchema(Open(model_path, false).get(), model_views);
  SqliteHandle old = Open(old_path, !o.dry_run);
  if (!o.dry_run) Exec(old.get(), "BEGIN IMMEDIATE");
  Schema before = ReadSchema(old.get(), old_views);
  n.read_s += Since(start);
  Pair pair(old.get(), o.dry_run, n, emitted);
  if (o.views) {
    start = Clock::now();
    pair.DropViews(model_views, old_views);
    n.views_s += Since(start);
  }
  if (o.tables) {
    start = Clock::now();
    // The index step sees the tables that the table step has just made.
    before = pair.Tables(model, before);
    n.tables_s += Since(start);
  }
  if (o.indexes) {
    start = Clock::now();
    pair.Indexes(model, before);
    n.indexes_s += Since(start);
  }
  if (o.views) {
    start = Clock::now();
    pair.CreateViews(model_views, old_views);
    n.views_s += Since(start);
  }
  start = Clock::now();
  if (!o.dry_run) Exec(old.get(), "COMMIT");
  old.reset();
  n.commit_s += Since(start);
  ++n.databases;
}

bool IsDatabaseName(const fs::path& p) {
  std::string name = p.filename().string();
  return name.size() > 4 && name[0] != '.' && Upper(name.substr(name.size() - 4)) == ".MDB";
}

std::vector<std::string> DatabaseNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && IsDatabaseName(entry.path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ---- the statements file of --emit and --apply
//
//   -- database: Base 001.mdb
//   DROP VIEW "Consulta 02";
//   CREATE TABLE "Tabla 02" (...);
//   -- copy: Nueva 001.mdb
//
// A statement may span lines (a view's text as its model declares it), so a
// line that looks like a heading starts a block only where the statements
// before it are complete.

constexpr const char* kDatabaseHeading = "-- database: ";
constexpr const char* kCopyHeading = "-- copy: ";

void WriteBlocks(const std::string& path, const std::vector<Block>& blocks) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "-- brenquil-bench-floor: the statements that bring each old database to its model, one transaction a "
         "database\n";
  for (const auto& block : blocks) {
    out << (block.copy ? kCopyHeading : kDatabaseHeading) << block.database << "\n";
    for (const auto& sql : block.statements) out << sql << ";\n";
  }
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::vector<Block> ReadBlocks(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<Block> blocks;
  std::string line, pending;  // the lines of a statement not yet complete
  while (std::getline(in, line)) {
    const bool heading = StartsWith(line, kDatabaseHeading) || StartsWith(line, kCopyHeading);
    if (heading && pending.empty()) {
      const bool copy = StartsWith(line, kCopyHeading);
      blocks.push_back({line.substr(std::string(copy ? kCopyHeading : kDatabaseHeading).size()), copy, {}});
      continue;
    }
    if (pending.empty() && (line.empty() || StartsWith(line, "--"))) continue;
    if (blocks.empty() || blocks.back().copy) throw std::runtime_error(path + ": a statement outside a database");
    pending += pending.empty() ? line : "\n" + line;
    if (sqlite3_complete(pending.c_str())) {
      pending.pop_back();  // its semicolon
      blocks.back().statements.push_back(std::move(pending));
      pending.clear();
    }
  }
  if (!pending.empty()) throw std::runtime_error(path + ": the last statement is not complete");
  return blocks;
}

// What a statement is, for the summary: its first words.
void Tally(const std::string& sql, Counts& n) {
  const std::string head = Upper(sql.substr(0, 20));
  if (StartsWith(head, "CREATE TABLE"))
    ++n.tables;
  else if (StartsWith(head, "ALTER TABLE"))
    ++n.fields;
  else if (StartsWith(head, "DROP INDEX"))
    ++n.dropped;
  else if (StartsWith(head, "CREATE INDEX") || StartsWith(head, "CREATE UNIQUE INDEX"))
    ++n.created;
  else if (StartsWith(head, "DROP VIEW"))
    ++n.views_dropped;
  else if (StartsWith(head, "CREATE VIEW"))
    ++n.views_created;
}

// The floor that knows its statements: each old database opened, its
// statements run in one transaction, committed; the models to copy copied.
// Statements are read before the first database is opened.
void Apply(const Options& o, Counts& n) {
  const auto blocks = ReadBlocks(o.apply);
  const fs::path models = fs::path(o.home) / "modelos";
  for (const auto& block : blocks) {
    if (block.copy) {
      fs::copy_file(models / block.database, fs::path(o.data) / block.database);
      ++n.copies;
      continue;
    }
    auto start = Clock::now();
    SqliteHandle old = Open((fs::path(o.data) / block.database).string(), true);
    Exec(old.get(), "BEGIN IMMEDIATE");
    n.read_s += Since(start);
    start = Clock::now();
    bool ok = true;
    for (const auto& sql : block.statements) {
      char* message = nullptr;
      if (sqlite3_exec(old.get(), sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
        Tally(sql, n);
        continue;
      }
      std::cerr << "brenquil-bench-floor: " << block.database << ": " << sql << ": " << (message ? message : "?")
                << "\n";
      sqlite3_free(message);
      ++n.failed;
      ok = false;
      break;
    }
    n.tables_s += Since(start);
    start = Clock::now();
    Exec(old.get(), ok ? "COMMIT" : "ROLLBACK");
    old.reset();
    n.commit_s += Since(start);
    ++n.databases;
  }
}

void Summary(const char* what, const Counts& n) {
  std::cout << what << ": " << n.databases << " databases, " << n.tables << " tables created, " << n.fields
            << " fields added, " << n.dropped << " indexes dropped, " << n.created << " indexes created, "
            << n.views_dropped << " views dropped, " << n.views_created << " views created, " << n.copies
            << " databases copied, " << n.failed << " failed\n";
}

int Main(const Options& o) {
  const auto start = Clock::now();
  Counts n;
  if (!o.apply.empty()) {
    Apply(o, n);
    Summary("floor", n);
    std::cout << "seconds: total " << Since(start) << ", opening " << n.read_s << ", statements " << n.tables_s
              << ", commits " << n.commit_s << "\n";
    return n.failed ? 1 : 0;
  }
  const fs::path models = fs::path(o.home) / "modelos";
  const auto old_names = DatabaseNames(o.data);
  std::vector<Block> blocks;
  for (const auto& name : old_names) {
    const fs::path model = models / name;
    if (!fs::exists(model)) continue;
    Block block{name, false, {}};
    Transform(model.string(), (fs::path(o.data) / name).string(), o, n,
              o.emit.empty() ? nullptr : &block.statements);
    if (!block.statements.empty()) blocks.push_back(std::move(block));
  }
  if (o.tables) {
    for (const auto& name : DatabaseNames(models.string())) {
      if (std::binary_search(old_names.begin(), old_names.end(), name)) continue;
      if (!o.dry_run) fs::copy_file(models / name, fs::path(o.data) / name);
      blocks.push_back({name, true, {}});
      ++n.copies;
    }
  }
  if (!o.emit.empty()) WriteBlocks(o.emit, blocks);
  Summary(o.dry_run ? "statements needed" : "floor", n);
  std::cout << "seconds: total " << Since(start) << ", reading " << n.read_s << ", tables and fields "
            << n.tables_s << ", indexes " << n.indexes_s << ", views " << n.views_s << ", commits "
            << n.commit_s << "\n";
  return n.failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  bool indexes_only = false, all = false;
  CLI::App app{
      "Applies the transformation's schema statements with SQLite alone, one transaction per old database."};
  app.add_option("--home", o.home, "installation folder (models in HOME/modelos)")->required();
  app.add_option("--data", o.data, "folder of the old databases")->required();
  auto* idx = app.add_flag("--indexes", indexes_only, "the index step's statements only");
  app.add_flag("--all", all, "the whole transformation: views that differ dropped, tables and fields, indexes, "
               "the model's views created")
      ->excludes(idx);
  auto* dry = app.add_flag("--dry-run", o.dry_run, "count the statements needed, change nothing");
  auto* emit = app.add_option("--emit", o.emit,
                              "write the statements needed to FILE, one block a database, changing nothing")
                   ->excludes(dry);
  app.add_option("--apply", o.apply,
                 "run the statements of FILE (written by --emit on a copy of the same installation), one "
                 "transaction a database, reading no schema")
      ->excludes(dry)
      ->excludes(emit)
      ->excludes(idx);
  CLI11_PARSE(app, argc, argv);
  if (!o.emit.empty()) o.dry_run = true;
  o.tables = !indexes_only;
  o.indexes = indexes_only || all;
  o.views = all;
  try {
    return Main(o);
  } catch (const std::exception& e) {
    std::cerr << "brenquil-bench-floor: " << e.what() << "\n";
    return 2;
  }
}
