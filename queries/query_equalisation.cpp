#include "queries/query_equalisation.h"

#include <string>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"

namespace brenquil {

namespace {

constexpr const char* kOperation = "Command23_Click";

// The open old database, or Error 91, so that every statement skipped for
// want of it shows in the journal under its query's name.
Database& Open(const std::shared_ptr<Database>& db, const std::string& path) {
  if (!db || !db->IsOpen())
    throw MakeError(err::kObjectNotSet, "la base de datos '" + path + "' no está abierta");
  return *db;
}

// Runs `statement` on behalf of the query `name`; an engine refusal is passed
// on with the query's name in front of the engine's reason.
template <class F>
void ForQuery(const std::string& what, const std::string& name, F&& statement) {
  try {
    statement();
  } catch (const Error& error) {
    throw Error(error.Number(), "Consulta '" + name + "' no " + what + ": " + error.Text());
  }
}

// The same query: the same text and, for views, the same declaration (a
// column-name list included).
bool SameQuery(QueryDef& a, QueryDef& b) {
  if (a.SQL() != b.SQL()) return false;
  if (a.Declaration().empty() || b.Declaration().empty()) return true;
  return SameViewDeclaration(a.Declaration(), b.Declaration());
}

}  // namespace

void EqualiseQueries(Actualiz& window) {
  IgnoreErrors ignore(window, kOperation);
  const std::string old_path = window.Text4.Text();
  std::shared_ptr<Database> old;
  auto record = [&](std::vector<std::string> DatabaseChanges::*list, const std::string& name) {
    (window.Report.For(old_path, window.Text3.Text()).*list).push_back(name);
  };

  ignore([&] { old = DBEngine::Instance().OpenDatabase(old_path); });
  // An old query that is the model's already (the same name and text) is
  // left in place, so a view keeps its triggers and nothing is rebuilt.
  std::shared_ptr<Database> model;
  try {
    model = DBEngine::Instance().OpenDatabase(window.Text3.Text(), kReadOnly);
  } catch (const Error&) {
  }
  auto same_as_model = [&](Database& db, const std::string& name) {
    auto current = db.QueryDefs().Find(name);
    auto wanted = model ? model->QueryDefs().Find(name) : nullptr;
    return current && wanted && SameQuery(*current, *wanted);
  };
  // A view the model lacks that an old trigger or view still uses stays:
  // nothing would take its place, and they would fail on every use.
  auto users_left_without = [&](Database& db, const std::string& name) {
    auto current = db.QueryDefs().Find(name);
    bool replaced = model && model->QueryDefs().Find(name);
    if (!current || current->Declaration().empty() || replaced) return std::vector<std::string>{};
    return db.UsersOf(name);
  };
  std::vector<std::string> in_use;
  ListBox& names = window.List11[1];
  const int count = names.ListCount();
  for (int i = 0; i < count; ++i) {
    ignore([&] { names.SetListIndex(i); });
    ignore([&] {
      const std::string name = names.Text();
      ForQuery("borrada", name, [&] {
        Database& db = Open(old, old_path);
        if (same_as_model(db, name)) {
          record(&DatabaseChanges::queries_kept, name);
          return;
        }
        if (!users_left_without(db, name).empty()) {
          in_use.push_back(name);
          return;
        }
        db.QueryDefs().Delete(name);
        record(&DatabaseChanges::queries_deleted, name);
      });
    });
  }
  // A view used only by views deleted since goes too; the rest stay, and the
  // journal says who uses them.
  for (bool progress = true; progress && !in_use.empty();) {
    progress = false;
    std::vector<std::string> still;
    for (const auto& name : in_use) {
      ignore([&] {
        ForQuery("borrada", name, [&] {
          Database& db = Open(old, old_path);
          std::vector<std::string> users = users_left_without(db, name);
          if (users.empty()) {
            db.QueryDefs().Delete(name);
            record(&DatabaseChanges::queries_deleted, name);
            progress = true;
            return;
          }
          still.push_back(name);
        });
      });
    }
    in_use = std::move(still);
  }
  for (const auto& name : in_use) {
    ignore([&] {
      Database& db = Open(old, old_path);
      std::vector<std::string> users = users_left_without(db, name);
      std::string list;
      for (const auto& user : users) list += (list.empty() ? "" : ", ") + user;
      record(&DatabaseChanges::queries_kept, name);
      throw MakeError(err::kInvalidOperation, "Consulta '" + name + "' no borrada: el modelo no la tiene, pero la usa " +
                                                  list + " de '" + old_path + "'");
    });
  }

  // A database that never opened has nothing to close.
  if (old) ignore([&] { old->Close(); });
  old.reset();

  // A catalogue that cannot be read here ends the operation.
  bool empty = true;
  if (!ignore([&] {
        DataRecordset& rows = window.Data5.Recordset();
        empty = rows.Eof() && rows.Bof();
      }) ||
      empty)
    return;

  ignore([&] { old = DBEngine::Instance().OpenDatabase(old_path); });
  struct Pending {
    std::string name, sql;
    Error error;
  };
  std::vector<Pending> pending;
  // Creates the catalogue's query `name`, declared as the model declares it
  // when the model's query of that name has this text.
  auto create = [&](const std::string& name, const std::string& sql) {
    ForQuery("creada", name, [&] {
      Database& db = Open(old, old_path);
      auto wanted = model ? model->QueryDefs().Find(name) : nullptr;
      auto query = db.CreateQueryDef(name, sql);
      if (wanted && wanted->SQL() == sql) query->SetDeclaration(wanted->Declaration());
      auto existing = db.QueryDefs().Find(name);
      if (existing && SameQuery(*existing, *query)) return;  // kept above
      db.QueryDefs().Append(query);
      record(&DatabaseChanges::queries_created, name);
    });
  };
  ignore([&] { window.Data5.Recordset().MoveFirst(); });
  ignore([&] { window.Data5.Recordset().MoveLast(); });
  ignore([&] { window.Data5.Recordset().MoveFirst(); });
  ignore([&] { window.Bar6.SetMax(static_cast<float>(window.Data5.Recordset().RecordCount())); });
  ignore([&] { window.Bar6.SetValue(0); });
  window.Frame13.Refresh();

  // The walk ends at the catalogue's end, and also as soon as the record set
  // fails to answer or to move: skipping those failures would loop for ever.
  for (;;) {
    bool at_end = true;
    if (!ignore([&] { at_end = window.Data5.Recordset().Eof(); }) || at_end) break;
    ignore([&] { window.Bar6.SetValue(window.Bar6.Value() + 1); });
    window.Frame13.Refresh();
    // Each row creates and appends its own query, so a refused row can never
    // offer the query of the row before it.
    ignore([&] {
      const std::string name = window.campocon[0].Text();
      const std::string sql = window.campocon[1].Text();
      try {
        create(name, sql);
      } catch (const Error& error) {
        // It may use a query that a later row creates: tried again below.
        pending.push_back({name, sql, error});
      }
    });
    if (!ignore([&] { window.Data5.Recordset().MoveNext(); })) break;
  }
  // Queries that use other queries are created whatever their order: the
  // refused ones are tried again while each round creates one more.
  for (bool progress = true; progress && !pending.empty();) {
    progress = false;
    std::vector<Pending> again;
    for (auto& p : pending) {
      try {
        create(p.name, p.sql);
        progress = true;
      } catch (const Error& error) {
        again.push_back({p.name, p.sql, error});
      }
    }
    pending = std::move(again);
  }
  for (auto& p : pending) JournalError(window, kOperation, p.error);
  if (model) ignore([&] { model->Close(); });
  if (old) ignore([&] { old->Close(); });
}

}  // namespace brenquil
