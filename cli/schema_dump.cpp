#include "cli/schema_dump.h"

#include <string>

#include "engine/database.h"

namespace brenquil {

namespace {

bool IsSystemName(const std::string& name) { return name.compare(0, 4, "MSys") == 0; }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

std::string TypeWithSize(const Field& field) {
  std::string text = TypeName(field.Type());
  if (field.Type() == dbText || field.Type() == dbChar || field.Type() == dbBinary ||
      field.Type() == dbVarBinary) {
    // Not "(" + ...: GCC 12's -Wrestrict misfires on it in optimised builds.
    text += '(';
    text += std::to_string(field.Size());
    text += ')';
  }
  return text;
}

}  // namespace

std::string TypeName(int type) {
  switch (type) {
    case dbBoolean: return "Boolean";
    case dbByte: return "Byte";
    case dbInteger: return "Integer";
    case dbLong: return "Long";
    case dbCurrency: return "Currency";
    case dbSingle: return "Single";
    case dbDouble: return "Double";
    case dbDate: return "Date";
    case dbBinary: return "Binary";
    case dbText: return "Text";
    case dbLongBinary: return "LongBinary";
    case dbMemo: return "Memo";
    case dbGUID: return "GUID";
    case dbBigInt: return "BigInt";
    case dbVarBinary: return "VarBinary";
    case dbChar: return "Char";
    case dbNumeric: return "Numeric";
    case dbDecimal: return "Decimal";
    case dbFloat: return "Float";
    case dbTime: return "Time";
    case dbTimeStamp: return "TimeStamp";
    default: return std::to_string(type);
  }
}

nlohmann::ordered_json SchemaJson(Database& db) {
  using Json = nlohmann::ordered_json;
  Json tables = Json::array();
  for (const auto& table : db.TableDefs()) {
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

void PrintSchema(Database& db, std::ostream& out) {
  out << "Database " << db.Name() << "\n";
  for (const auto& table : db.TableDefs()) {
    out << "Table " << Quoted(table->Name());
    if (IsSystemName(table->Name())) out << " (system)";
    out << "\n";
    for (const auto& f : table->Fields()) {
      out << "  field " << Quoted(f->Name()) << " " << TypeWithSize(*f);
      if (f->Attributes()) out << " attributes=" << f->Attributes();
      if (f->Attributes() & dbAutoIncrField) out << " (auto-increment)";
      if (f->AllowZeroLength()) out << " allowZeroLength";
      if (f->Required()) out << " required";
      out << "\n";
    }
    for (const auto& index : table->Indexes()) {
      out << "  index " << Quoted(index->Name());
      if (index->Primary())
        out << " primary";
      else if (index->Unique())
        out << " unique";
      out << " (";
      const char* separator = "";
      for (const auto& key : index->Fields()) {
        out << separator << Quoted(key->Name()) << (key->Descending() ? " desc" : "");
        separator = ", ";
      }
      out << ")\n";
    }
  }
  for (const auto& relation : db.Relations()) {
    out << "Relation " << Quoted(relation->Name()) << " " << Quoted(relation->Table()) << " -> "
        << Quoted(relation->ForeignTable()) << " attributes=" << relation->Attributes() << " (";
    const char* separator = "";
    for (const auto& f : relation->Fields()) {
      out << separator << Quoted(f->Name()) << " = " << Quoted(f->ForeignName());
      separator = ", ";
    }
    out << ")\n";
  }
  for (const auto& query : db.QueryDefs()) {
    out << "Query " << Quoted(query->Name()) << "\n";
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
