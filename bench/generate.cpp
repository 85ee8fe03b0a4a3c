// brenquil-bench-gen: makes an installation to benchmark the transformation
// on: DIR/home (models in home/modelos) and DIR/datos (old databases). The
// structure of a model and of an old database is made through the engine, as
// the program makes it, the old rows with SQLite directly; the other pairs are
// copies of those two files.
#include <sqlite3.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "shell/installation.h"
#include "shell/paths.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;

struct Sizes {
  int pairs = 100;
  int tables = 30;   // tables of an old database
  int fields = 12;   // fields of an old table
  long rows = 1000;  // rows of an old table
  long big_rows = 10000;
  int big_tables = 3;  // old tables per database holding big_rows
  int new_tables = 5;  // tables the model adds
  int new_fields = 3;  // fields the model adds to every table
  int new_databases = 0;  // models without an old namesake
  int views = 0;          // stored queries (views) of a model
  bool indexes = true;
  // Old databases that already have every table and field of their model, so
  // that a run has only index work to do.
  bool same_structure = false;
};

std::string QuoteId(const std::string& name);

// True for `n` of the `total` positions, spread evenly, never position 0 when
// n < total: the model's additions stand between the old tables and fields,
// not in one block at the end.
bool Spread(int i, int n, int total) {
  return total > 0 && ((i + 1) * n) / total > (i * n) / total;
}

struct FieldPlan {
  std::string name;
  int type;
  long size;
  bool in_old;
};

struct IndexPlan {
  std::string name;
  std::vector<std::string> fields;
  bool primary = false;
  bool unique = false;
};

struct ViewPlan {
  std::string name;
  std::string model_sql;
  std::string old_sql;  // empty: the old database lacks the view
};

struct TablePlan {
  std::string name;
  bool in_old;
  long rows;  // old rows
  std::vector<FieldPlan> fields;
  std::vector<IndexPlan> model_indexes;
  std::vector<IndexPlan> old_indexes;
};

// The field types of a table cycle through the kinds an Access database holds.
struct TypeSpec {
  int type;
  long size;
};
constexpr TypeSpec kTypes[] = {
    {dbText, 50}, {dbLong, 0},     {dbDate, 0},    {dbDouble, 0},   {dbText, 20}, {dbCurrency, 0},
    {dbBoolean, 0}, {dbMemo, 0},   {dbInteger, 0}, {dbText, 100},   {dbSingle, 0},
};
constexpr int kTypeCount = sizeof(kTypes) / sizeof(kTypes[0]);

std::string Numbered(const char* pattern, int n) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, n);
  return buffer;
}

// The tables of every pair: all pairs share one layout, which keeps the
// per-database work the same and the figures comparable between runs.
std::vector<TablePlan> PlanTables(const Sizes& s) {
  const int total_tables = s.tables + s.new_tables;
  const int total_fields = s.fields + s.new_fields;
  std::vector<TablePlan> plan;
  int old_ordinal = 0;
  for (int t = 0; t < total_tables; ++t) {
    TablePlan table;
    table.name = Numbered("Tabla %02d", t + 1);
    table.in_old = s.same_structure || !Spread(t, s.new_tables, total_tables);
    table.rows = 0;
    if (table.in_old) {
      table.rows = Spread(old_ordinal, s.big_tables, s.same_structure ? total_tables : s.tables)
                       ? s.big_rows
                       : s.rows;
      ++old_ordinal;
    }
    std::vector<std::string> old_fields;  // names, in order, that the old table has
    for (int f = 0; f < total_fields; ++f) {
      FieldPlan field;
      const bool added = f > 0 && Spread(f, s.new_fields, total_fields);
      field.in_old = s.same_structure || !added;
      field.name = f == 0 ? "Id" : Numbered("Campo %02d", f);
      const TypeSpec& spec = f == 0 ? TypeSpec{dbLong, 0} : kTypes[(f - 1) % kTypeCount];
      field.type = spec.type;
      field.size = spec.size;
      if (!added) old_fields.push_back(field.name);
      table.fields.push_back(field);
    }
    if (s.indexes) {
      // Over fields every old table has: the key, a pair and a single field.
      IndexPlan key{"PrimaryKey", {old_fields[0]}, true, true};
      IndexPlan pair{"Índice doble", {old_fields[1], old_fields[2]}};
      IndexPlan single{"Índice " + old_fields[3], {old_fields[3]}};
      table.model_indexes = {key, pair, single};
      // A quarter of the old tables carry the model's indexes already; the
      // others differ in the ways an old database drifts from its model.
      switch (t % 4) {
        case 0: table.old_indexes = {key, pair, single}; break;
        case 1: table.old_indexes = {key, {pair.name, {old_fields[2], old_fields[1]}}, single}; break;
        case 2: table.old_indexes = {key, pair, {"Índice viejo", {old_fields[3]}}}; break;
        case 3: table.old_indexes = {key, pair}; break;
      }
    }
    plan.push_back(std::move(table));
  }
  return plan;
}

// The model's views, each over one old table; the old databases hold them as
// they drift: a third the same as the model's, a third an older text (fewer
// columns, no condition) that the run replaces, a third absent.
std::vector<ViewPlan> PlanViews(const Sizes& s, const std::vector<TablePlan>& tables) {
  std::vector<const TablePlan*> old_tables;
  for (const auto& t : tables)
    if (t.in_old) old_tables.push_back(&t);
  std::vector<ViewPlan> views;
  for (int v = 0; v < s.views && !old_tables.empty(); ++v) {
    const TablePlan& table = *old_tables[static_cast<size_t>(v) * old_tables.size() /
                                         static_cast<size_t>(s.views)];
    std::vector<std::string> old_fields, model_fields;
    for (const auto& f : table.fields) {
      if (f.in_old && old_fields.size() < 3) old_fields.push_back(f.name);
      // The model's text also shows the first field the model adds.
      if ((f.in_old && model_fields.size() < 3) || (!f.in_old && model_fields.size() == 3))
        model_fields.push_back(f.name);
    }
    auto select = [&](const std::vector<std::string>& fields) {
      std::string sql = "SELECT ";
      for (size_t f = 0; f < fields.size(); ++f) sql += (f ? ", " : "") + QuoteId(fields[f]);
      return sql + " FROM " + QuoteId(table.name);
    };
    ViewPlan view;
    view.name = Numbered("Consulta %02d", v + 1);
    view.model_sql = select(model_fields) + " WHERE " + QuoteId(model_fields[0]) + " > " + std::to_string(v);
    if (s.same_structure || v % 3 == 0)
      view.old_sql = view.model_sql;
    else if (v % 3 == 1)
      view.old_sql = select(old_fields);
    views.push_back(std::move(view));
  }
  return views;
}

// Makes one database through the engine: the model when `model` is set,
// otherwise the old database's structure (no rows).
void MakeStructure(const std::string& path, const std::vector<TablePlan>& plan,
                   const std::vector<ViewPlan>& views, bool model) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  for (const auto& table : plan) {
    if (!model && !table.in_old) continue;
    auto def = db->CreateTableDef(table.name);
    for (const auto& f : table.fields) {
      if (!model && !f.in_old) continue;
      auto field = def->CreateField(f.name, f.type, f.size);
      if (f.type == dbText || f.type == dbMemo) field->SetAllowZeroLength(true);
      def->Fields().Append(field);
    }
    db->TableDefs().Append(def);
    for (const auto& i : model ? table.model_indexes : table.old_indexes) {
      auto index = def->CreateIndex(i.name);
      index->SetPrimary(i.primary);
      index->SetUnique(i.unique);
      for (const auto& name : i.fields) index->Fields().Append(index->CreateField(name));
      db->TableDefs()[table.name]->Indexes().Append(index);
    }
  }
  for (const auto& view : views) {
    const std::string& sql = model ? view.model_sql : view.old_sql;
    if (!sql.empty()) db->QueryDefs().Append(db->CreateQueryDef(view.name, sql));
  }
  db->Close();
  DBEngine::Instance().Release(path);
}

// ---- rows, with SQLite alone

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

std::string QuoteId(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw std::runtime_error(what + ": " + sqlite3_errmsg(db));
}

void Exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db, sql);
}

// Values that look like an old database's: repeated names and amounts, dates
// over a year, and an Id that numbers the rows (the primary key).
void BindValue(sqlite3_stmt* st, int column, const FieldPlan& f, long row, int position) {
  const long r = row + 1;
  char text[96];
  switch (f.type) {
    case dbLong:
      if (f.name == "Id") {
        sqlite3_bind_int64(st, column, r);
        return;
      }
      sqlite3_bind_int64(st, column, (r * 7 + position) % 1000);
      return;
    case dbInteger: sqlite3_bind_int(st, column, static_cast<int>((r * 13 + position) % 300)); return;
    case dbBoolean: sqlite3_bind_int(st, column, static_cast<int>(r % 2)); return;
    case dbDouble:
    case dbSingle:
    case dbCurrency: sqlite3_bind_double(st, column, static_cast<double>(r % 5000) * 1.25 + position); return;
    case dbDate:
      std::snprintf(text, sizeof text, "2024-%02ld-%02ld 00:00:00", 1 + r % 12, 1 + r % 28);
      break;
    case dbMemo:
      std::snprintf(text, sizeof text, "Observaciones de la fila %ld: texto largo de ejemplo, campo %d", r,
                    position);
      break;
    default:
      std::snprintf(text, sizeof text, "Valor %ld-%d", r % 500, position);
      break;
  }
  std::string value(text);
  if (f.type == dbText && static_cast<long>(value.size()) > f.size) value.resize(static_cast<size_t>(f.size));
  sqlite3_bind_text(st, column, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

long FillRows(const std::string& path, const std::vector<TablePlan>& plan) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK) Fail(raw, "open " + path);
  Exec(db.get(), "BEGIN IMMEDIATE");
  long written = 0;
  for (const auto& table : plan) {
    if (!table.in_old || table.rows == 0) continue;
    std::vector<const FieldPlan*> columns;
    std::vector<int> positions;
    std::string names, marks;
    for (size_t f = 0; f < table.fields.size(); ++f) {
      if (!table.fields[f].in_old) continue;
      names += (columns.empty() ? "" : ", ") + QuoteId(table.fields[f].name);
      marks += columns.empty() ? "?" : ", ?";
      columns.push_back(&table.fields[f]);
      positions.push_back(static_cast<int>(f));
    }
    std::string sql = "INSERT INTO " + QuoteId(table.name) + " (" + names + ") VALUES (" + marks + ")";
    sqlite3_stmt* st_raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st_raw, nullptr) != SQLITE_OK) Fail(db.get(), sql);
    StatementHandle st(st_raw);
    for (long r = 0; r < table.rows; ++r) {
      for (size_t c = 0; c < columns.size(); ++c)
        BindValue(st.get(), static_cast<int>(c) + 1, *columns[c], r, positions[c]);
      if (sqlite3_step(st.get()) != SQLITE_DONE) Fail(db.get(), "insert into " + table.name);
      sqlite3_reset(st.get());
    }
    written += table.rows;
  }
  Exec(db.get(), "COMMIT");
  return written;
}

int Generate(const std::string& dir, const Sizes& s) {
  const auto start = std::chrono::steady_clock::now();
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) {
    std::cerr << "brenquil-bench-gen: '" << dir << "' exists and is not empty\n";
    return 2;
  }
  const std::string home = Paths::Join(dir, "home");
  const std::string data = Paths::Join(dir, "datos");
  SetupInstallation(home);
  DBEngine::Instance().CloseIdle();
  fs::create_directories(data);
  Paths paths(home);

  const auto plan = PlanTables(s);
  const auto views = PlanViews(s, plan);
  // Every pair has one layout and the same rows, and nothing in a file depends
  // on its name: the first model and old database are made, and every other
  // file is a copy of one of them, byte for byte what making it would give.
  // 10 000 pairs take seconds instead of an hour.
  long rows = 0, table_rows = 0;
  std::string first_model, first_old;
  const auto made = [&](const std::string& path, std::string& first, bool model) {
    if (!first.empty()) {
      fs::copy_file(first, path);
      return false;
    }
    MakeStructure(path, plan, views, model);
    first = path;
    return true;
  };
  for (int p = 0; p < s.pairs; ++p) {
    const std::string name = Numbered(s.pairs > 999 ? "Base %05d.mdb" : "Base %03d.mdb", p + 1);
    const std::string old = Paths::Join(data, name);
    if (made(old, first_old, false)) table_rows = FillRows(old, plan);
    made(paths.ModelPath(name), first_model, true);
    rows += table_rows;
  }
  for (int n = 0; n < s.new_databases; ++n)
    made(paths.ModelPath(Numbered("Nueva %03d.mdb", n + 1)), first_model, true);
  DBEngine::Instance().CloseIdle();

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "home: " << home << "\ndata: " << data << "\n"
            << s.pairs << " pairs, " << s.new_databases << " new databases, " << rows << " old rows, "
            << seconds << " s\n";
  return 0;
}

}  // namespace
}  // namespace brenquil

int main(int argc, char** argv) {
  brenquil::Sizes s;
  std::string dir;
  CLI::App app{"Makes a benchmark installation: DIR/home with models, DIR/datos with old databases."};
  app.add_option("DIR", dir, "folder to make (absent or empty)")->required();
  app.add_option("--pairs", s.pairs, "model/old pairs")->capture_default_str()->check(CLI::NonNegativeNumber);
  app.add_option("--tables", s.tables, "tables of an old database")->capture_default_str()->check(CLI::PositiveNumber);
  app.add_option("--fields", s.fields, "fields of an old table (4 at least with indexes)")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--rows", s.rows, "rows of an old table")->capture_default_str()->check(CLI::NonNegativeNumber);
  app.add_option("--big-rows", s.big_rows, "rows of the largest old tables")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--big-tables", s.big_tables, "largest tables per old database")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--new-tables", s.new_tables, "tables the model adds")->capture_default_str()->check(CLI::NonNegativeNumber);
  app.add_option("--new-fields", s.new_fields, "fields the model adds to every table")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--new-databases", s.new_databases, "models without an old namesake")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--views", s.views, "stored queries (views) of a model; the old databases have a third as the "
                 "model does, a third in an older text, a third not at all")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  bool no_indexes = false;
  app.add_flag("--no-indexes", no_indexes, "make no index at all");
  app.add_flag("--same-structure", s.same_structure,
               "old databases already have every table and field of their model (only indexes differ)");
  CLI11_PARSE(app, argc, argv);
  s.indexes = !no_indexes;
  if (s.indexes && s.fields < 4) {
    std::cerr << "brenquil-bench-gen: the indexes need 4 fields at least (--fields, or --no-indexes)\n";
    return 2;
  }
  if (s.big_tables > s.tables) s.big_tables = s.tables;
  try {
    return brenquil::Generate(dir, s);
  } catch (const brenquil::Error& e) {
    std::cerr << "brenquil-bench-gen: error " << e.Number() << ": " << e.Text() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "brenquil-bench-gen: " << e.what() << "\n";
  }
  return 1;
}
