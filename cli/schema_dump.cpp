#include "cli/schema_dump.h"

#include <memory>
#include <string>
#include <vector>

#include "engine/database.h"
#include "shell/type_names.h"

namespace brenquil {

namespace {

bool IsSystemName(const std::string& name) { return name.compare(0, 4, "MSys") == 0; }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

std::string TypeWithSize(const Field& field) {
  std::string text = TypeName(field.Type());
  if (text.empty()) text = "tipo " + std::to_string(field.Type());
  if (field.Type() == dbText || field.Type() == dbChar || field.Type() == dbBinary ||
      field.Type() == dbVarBinary) {
    // Not "(" + ...: GCC 12's -Wrestrict misfires on it in optimised builds.
    text += '(';
    text += std::to_string(field.Size());
    text += ')';
  }
  return text;
}

// The tables to show: the user's first, then the system tables when asked.
std::vector<std::shared_ptr<TableDef>> TablesToShow(Database& db, bool system) {
  std::vector<std::shared_ptr<TableDef>> user, internal;
  for (const auto& table : db.TableDefs())
    (IsSystemName(table->Name()) ? internal : user).push_back(table);
  if (system) user.insert(user.end(), internal.begin(), internal.end());
  return user;
}

}  // namespace

nlohmann::ordered_json SchemaJson(Database& db, bool system) {
  using Json = nlohmann::ordered_json;
  Json tables = Json::array();
  for (const auto& table : TablesToShow(db, system)) {
    Json fields = Json::array();
    for (const auto& f : table->Fields())
      fields.push_back({{"name", f->Name()},
                        {"type", f->Type()},
                        {"size", f->Size()},
                        {"attributes", f->Attributes()},
                        {"allowZeroLength", f->AllowZeroLength()},
                        {"required", f->Required()}});
    Json indexes = Json::array();
    for (const auto& index : table->Indexes()) {
      Json keys = Json::array();
      for (const auto& key : index->Fields())
        keys.push_back({{"name", key->Name()}, {"descending", key->Descending()}});
      indexes.push_back({{"name", index->Name()},
                         {"primary", index->Primary()},
                         {"unique", index->Unique()},
                         {"fields", std::move(keys)}});
    }
    tables.push_back({{"name", table->Name()},
                      {"system", IsSystemName(table->Name())},
                      {"fields", std::move(fields)},
                      {"indexes", std::move(indexes)}});
  }
  Json relations = Json::array();
  for (const auto& relation : db.Relations()) {
    Json pairs = Json::array();
    for (const auto& f : relation->Fields())
      pairs.push_back({{"name", f->Name()}, {"foreignName", f->ForeignName()}});
    relations.push_back({{"name", relation->Name()},
                         {"table", relation->Table()},
                         {"foreignTable", relation->ForeignTable()},
                         {"attributes", relation->Attributes()},
                         {"fields", std::move(pairs)}});
  }
  Json queries = Json::array();
  for (const auto& query : db.QueryDefs())
    queries.push_back({{"name", query->Name()}, {"sql", query->SQL()}});
  return Json{{"tables", std::move(tables)},
              {"relations", std::move(relations)},
              {"queries", std::move(queries)}};
}

void PrintSchema(Database& db, std::ostream& out, bool system) {
  out << "Base de datos " << db.Name() << "\n";
  for (const auto& table : TablesToShow(db, system)) {
    out << "Tabla " << Quoted(table->Name());
    if (IsSystemName(table->Name())) out << " (del sistema)";
    out << "\n";
    for (const auto& f : table->Fields()) {
      out << "  campo " << Quoted(f->Name()) << " " << TypeWithSize(*f);
      if (f->Attributes() & dbAutoIncrField) out << " autonumérico";
      if (f->Attributes() & ~dbAutoIncrField) out << " atributos=" << f->Attributes();
      if (f->AllowZeroLength()) out << " admite cadena vacía";
      if (f->Required()) out << " obligatorio";
      out << "\n";
    }
    for (const auto& index : table->Indexes()) {
      out << "  índice " << Quoted(index->Name());
      if (index->Primary())
        out << " principal";
      else if (index->Unique())
        out << " único";
      out << " (";
      const char* separator = "";
      for (const auto& key : index->Fields()) {
        out << separator << Quoted(key->Name()) << (key->Descending() ? " descendente" : "");
        separator = ", ";
      }
      out << ")\n";
    }
  }
  for (const auto& relation : db.Relations()) {
    out << "Relación " << Quoted(relation->Name()) << " " << Quoted(relation->Table()) << " -> "
        << Quoted(relation->ForeignTable()) << " ("
        << RelationAttributeNames(relation->Attributes()) << ") (";
    const char* separator = "";
    for (const auto& f : relation->Fields()) {
      out << separator << Quoted(f->Name()) << " = " << Quoted(f->ForeignName());
      separator = ", ";
    }
    out << ")\n";
  }
  for (const auto& query : db.QueryDefs()) {
    out << "Consulta " << Quoted(query->Name()) << "\n";
    // Line by line, so a query of several lines stays readable; a carriage
    // return before the line feed is not shown.
    std::string sql = query->SQL();
    size_t start = 0;
    while (start <= sql.size()) {
      size_t end = sql.find('\n', start);
      std::string line =
          sql.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out << "  " << line << "\n";
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
}

}  // namespace brenquil
