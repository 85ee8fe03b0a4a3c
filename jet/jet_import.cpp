#include "jet/jet_import.h"

#include <sqlite3.h>

#include <memory>
#include <optional>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "jet/catalog.h"
#include "jet/jet_damage.h"
#include "jet/jet_file.h"
#include "jet/pending_file.h"
#include "jet/properties.h"
#include "jet/query_import.h"
#include "jet/row_copy.h"
#include "jet/row_scan.h"
#include "jet/table_plan.h"

namespace brenquil::jet {

namespace {

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using RawDb = std::unique_ptr<sqlite3, CloseDb>;

RawDb OpenRaw(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  RawDb held(db);
  if (rc != SQLITE_OK)
    throw MakeError(err::kEngine, "no se pudo abrir la base nueva '" + path +
                                      "': " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
  sqlite3_busy_timeout(db, 1000);
  return held;
}

struct Table {
  TableDefinition definition;
  TablePlan plan;
  bool created = false;
};

// Relation attributes: grbit holds DAO's own flags; Access's "cascade to
// Null" (0x2000) is the engine's ON DELETE SET NULL.
constexpr std::uint32_t kDaoRelationFlags = dbRelationUnique | dbRelationDontEnforce |
                                            dbRelationUpdateCascade | dbRelationDeleteCascade |
                                            dbRelationLeft | dbRelationRight;
constexpr std::uint32_t kCascadeNull = 0x2000;

class Importer {
 public:
  Importer(const std::string& jet_path, PendingFile& out) : file_(jet_path), out_(out) {
    report_.source = jet_path;
    report_.output = out.FinalPath();
    report_.format = VersionName(file_.Fmt().version);
  }

  ImportReport Run() {
    catalog_ = ReadCatalog(file_);
    PlanTables();
    auto& engine = DBEngine::Instance();
    // Each phase of the engine's is one batch: one transaction on the file,
    // not one commit per table, index and relation.
    engine.BeginBatch();
    {
      auto db = engine.CreateDatabase(out_.TempPath());
      CreateTables(*db);
      db->Close();
    }
    engine.EndBatch();
    engine.Release(out_.TempPath());
    {
      RawDb raw = OpenRaw(out_.TempPath());
      // The file is not the import's result until it is renamed: a crash
      // before that leaves only the temporary file, so no sync is owed here.
      sqlite3_exec(raw.get(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
      for (auto& t : tables_)
        if (t.created) CopyTable(t, raw.get());
    }
    engine.BeginBatch();
    {
      auto db = engine.OpenDatabase(out_.TempPath());
      for (auto& t : tables_)
        if (t.created) CreateIndexes(*db, t);
      CreateRelations(*db);
      // ---- Stored queries: last, since views may name every table above.
      ImportStoredQueries(file_, *db, report_);
      db->Close();
    }
    engine.EndBatch();
    engine.Release(out_.TempPath());
    CheckIntegrity();
    return std::move(report_);
  }

 private:
  void PlanTables() {
    TextDecoder text(file_.Jet3(), file_.CodePage());
    for (const auto& object : catalog_) {
      if (object.LinkedTable() && !object.System()) {
        report_.LeaveOut("tabla", object.name,
                         "es una tabla vinculada: sus filas están en otro archivo o servidor");
        continue;
      }
      if (!object.Table() || object.System()) continue;
      if (object.name.rfind("MSys", 0) == 0) {
        report_.LeaveOut("tabla", object.name,
                         "los nombres que empiezan por MSys son de las tablas del sistema");
        continue;
      }
      Table t;
      t.definition = ReadTableDefinition(file_, object.DefinitionPage());
      PropertyMaps properties;
      try {
        properties = ParseProperties(object.properties, text);
      } catch (const JetDamage& e) {
        report_.LeaveOut("propiedad", object.name,
                         std::string("sus propiedades no se pudieron leer: ") + e.what());
      }
      t.plan = PlanTable(object.name, t.definition, properties, file_.Jet3(), report_);
      if (t.plan.fields.empty()) {
        report_.LeaveOut("tabla", object.name, "ninguno de sus campos puede llegar");
        continue;
      }
      DropBrokenConstraints(file_, t.definition, t.plan, report_);
      tables_.push_back(std::move(t));
    }
  }

  void CreateTables(Database& db) {
    for (auto& t : tables_) {
      try {
        auto table = db.CreateTableDef(t.plan.name);
        for (const auto& f : t.plan.fields) {
          auto field = table->CreateField(f.name, f.dao_type, f.size);
          field->SetRequired(f.required);
          field->SetAllowZeroLength((f.storage == Storage::kText || f.storage == Storage::kMemo) &&
                                    !f.refuse_empty);
          field->SetAttributes(f.counter ? dbAutoIncrField : 0);
          table->Fields().Append(field);
        }
        table->SetDeclaration(t.plan.Declaration());
        db.TableDefs().Append(table);
        t.created = true;
      } catch (const Error& e) {
        report_.LeaveOut("tabla", t.plan.name, DetailOf(e));
      }
    }
  }

  void CopyTable(Table& t, sqlite3* raw) {
    ImportedTable imported;
    imported.name = t.plan.name;
    imported.fields = static_cast<int>(t.plan.fields.size());
    try {
      imported.rows = CopyRows(file_, t.definition, t.plan, raw, report_);
    } catch (const Error& e) {
      report_.LeaveOut("tabla", t.plan.name, "sus filas no llegaron: " + DetailOf(e));
    }
    report_.tables.push_back(imported);
  }

  void CreateIndexes(Database& db, const Table& t) {
    const TableDefinition& def = t.definition;
    auto table = db.TableDefs().Item(t.plan.name);
    for (const auto& index : def.logical_indexes) {
      const std::string where = t.plan.name + "." + index.name;
      // Jet's own index behind a relationship: the relation itself arrives.
      if (index.ForeignKey()) continue;
      if (index.real_index < 0 ||
          static_cast<std::size_t>(index.real_index) >= def.real_indexes.size() ||
          def.real_indexes[static_cast<std::size_t>(index.real_index)].keys.empty()) {
        report_.LeaveOut("índice", where,
                         "su definición no se pudo leer entera (faltan sus campos)");
        continue;
      }
      const RealIndex& real = def.real_indexes[static_cast<std::size_t>(index.real_index)];
      std::vector<std::pair<const FieldPlan*, bool>> keys;
      std::string missing;
      for (const auto& key : real.keys) {
        const JetColumn* column = def.ColumnNumbered(key.column_number);
        const FieldPlan* field = nullptr;
        if (column)
          for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (&def.columns[i] == column) field = t.plan.FieldFor(i);
        if (!field) {
          missing = column ? "su campo '" + column->name + "' no llegó"
                           : "su definición no se pudo leer entera (nombra la columna " +
                                 std::to_string(key.column_number) + ", que la tabla no tiene)";
          break;
        }
        keys.emplace_back(field, key.ascending);
      }
      if (!missing.empty()) {
        report_.LeaveOut("índice", where, missing);
        continue;
      }
      if (real.flags & kIndexIgnoreNulls)
        report_.Note(
            "índice", where,
            "Ignorar nulos: SQLite no guarda la propiedad; su índice admite, como Jet con ella, "
            "cualquier número de filas con Null");
      // The table's rowid already is this key, declared with the table.
      if (index.Primary() && keys.size() == 1 && keys[0].first->rowid_key) {
        report_.indexes.push_back(where);
        continue;
      }
      try {
        auto created = table->CreateIndex(index.name);
        created->SetPrimary(index.Primary());
        created->SetUnique(index.Primary() || (real.flags & kIndexUnique) != 0);
        for (const auto& [field, ascending] : keys) {
          auto key = created->CreateField(field->name);
          key->SetDescending(!ascending);
          created->Fields().Append(key);
        }
        table->Indexes().Append(created);
        report_.indexes.push_back(where);
      } catch (const Error& e) {
        report_.LeaveOut("índice", where, DetailOf(e));
      }
    }
  }

  const Table* Arrived(const std::string& name) const {
    for (const auto& t : tables_)
      if (t.created && SameName(t.plan.name, name)) return &t;
    return nullptr;
  }

  void CreateRelations(Database& db) {
    for (const auto& r : ReadRelationships(file_, catalog_)) {
      // Access's own relationships between its system tables (the navigation pane's).
      if (r.table.rfind("MSys", 0) == 0 || r.foreign_table.rfind("MSys", 0) == 0) continue;
      const Table* primary = Arrived(r.table);
      const Table* foreign = Arrived(r.foreign_table);
      std::string why;
      if (!primary)
        why = "la tabla '" + r.table + "' no llegó";
      else if (!foreign)
        why = "la tabla '" + r.foreign_table + "' no llegó";
      else if (r.fields.empty() || (r.declared_fields > 0 &&
                                    r.fields.size() != static_cast<std::size_t>(r.declared_fields)))
        why = "sus pares de campos no se pudieron leer enteros";
      for (const auto& [p, f] : r.fields) {
        if (!why.empty()) break;
        if (!primary->plan.FieldNamed(p))
          why = "el campo '" + r.table + "." + p + "' no llegó";
        else if (!foreign->plan.FieldNamed(f))
          why = "el campo '" + r.foreign_table + "." + f + "' no llegó";
      }
      if (!why.empty()) {
        report_.LeaveOut("relación", r.name, why);
        continue;
      }
      long attributes = static_cast<long>(r.flags & kDaoRelationFlags);
      if (r.flags & kCascadeNull) attributes |= dbRelationDeleteSetNull;
      try {
        auto relation =
            db.CreateRelation(r.name, primary->plan.name, foreign->plan.name, attributes);
        for (const auto& [p, f] : r.fields) {
          auto pair = relation->CreateField(primary->plan.FieldNamed(p)->name);
          pair->SetForeignName(foreign->plan.FieldNamed(f)->name);
          relation->Fields().Append(pair);
        }
        db.Relations().Append(relation);
        report_.relations.push_back(r.name);
      } catch (const Error& e) {
        report_.LeaveOut("relación", r.name, DetailOf(e));
      }
    }
  }

  void CheckIntegrity() {
    RawDb raw = OpenRaw(out_.TempPath());
    sqlite3_stmt* st = nullptr;
    std::string problems;
    if (sqlite3_prepare_v2(raw.get(), "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(st, 0);
        std::string line = text ? reinterpret_cast<const char*>(text) : "";
        if (line != "ok") problems += (problems.empty() ? "" : "; ") + line;
      }
    } else {
      problems = sqlite3_errmsg(raw.get());
    }
    sqlite3_finalize(st);
    if (!problems.empty())
      throw MakeError(
          err::kEngine,
          "la base importada no pasa la comprobación de integridad de SQLite: " + problems);
  }

  JetFile file_;
  PendingFile& out_;
  ImportReport report_;
  std::vector<CatalogObject> catalog_;
  std::vector<Table> tables_;
};

}  // namespace

ImportReport ImportJet(const std::string& jet_path, const std::string& out_path) {
  auto& engine = DBEngine::Instance();
  if (engine.InBatch())
    throw MakeError(err::kInvalidOperation,
                    "la importación de '" + jet_path + "' no puede hacerse dentro de un lote");
  PendingFile out(out_path);
  ImportReport report;
  try {
    report = Importer(jet_path, out).Run();
  } catch (...) {
    // The engine may still hold the unfinished file: let it go before it is removed.
    try {
      if (engine.InBatch()) engine.EndBatch();
    } catch (...) {
    }
    try {
      engine.Release(out.TempPath());
    } catch (...) {
    }
    try {
      throw;
    } catch (const JetDamage& e) {
      throw MakeError(err::kCannotOpen, "'" + jet_path + "' está dañado: " + e.what());
    }
  }
  out.Publish();
  return report;
}

}  // namespace brenquil::jet
