// The rows of a table found by the text one field holds, kept between record
// sets: a catalogue selected table by table ("where tabla = '...'") is then
// read once, not once per table.
#include <unordered_map>

#include "engine/connection.h"

namespace brenquil::detail {

namespace {

// Tables with more rows are left to SQLite: the lookup would hold too much.
constexpr long kMaxLookupRows = 50000;

// SQLite's TEXT affinity: a declared type that names no INT but CHAR, CLOB
// or TEXT. Only then is every value of the column text, NULL or a blob, and
// "= 'value'" compares the text itself.
bool TextAffinity(const std::string& declared) {
  std::string upper = Upper(declared);
  return !Contains(upper, "INT") && (Contains(upper, "CHAR") || Contains(upper, "CLOB") || Contains(upper, "TEXT"));
}

// A column that compares its texts byte for byte: no collation of its own.
bool BinaryCollation(const FieldInfo& field) {
  if (field.definition.empty()) return false;
  size_t i = 0;
  for (std::string token = NextToken(field.definition, i); !token.empty(); token = NextToken(field.definition, i))
    if (IEquals(token, "COLLATE")) return false;
  return true;
}

}  // namespace

struct Connection::RowLookup {
  std::string table;   // upper case
  std::string column;  // upper case
  std::uint64_t stamp = 0;
  std::int64_t changes = 0;
  std::int64_t version = 0;
  bool usable = false;
  std::unordered_map<std::string, std::vector<long long>> rows;  // text -> rowids in order
};

std::optional<std::vector<long long>> Connection::RowidsWhere(const std::string& table, const std::string& column,
                                                               const std::string& value) {
  const std::uint64_t stamp = Stamp();
  // What this connection wrote counts in its total of changes; what another
  // connection committed shows in data_version, read here and not once per
  // step, since the rows, unlike the schema, change within a step.
  const std::int64_t version = DataVersion();
  const std::int64_t changes = sqlite3_total_changes64(db_);
  const std::string upper_table = Upper(table), upper_column = Upper(column);
  RowLookup* lookup = row_lookup_.get();
  if (!lookup || lookup->table != upper_table || lookup->column != upper_column || lookup->stamp != stamp ||
      lookup->changes != changes || lookup->version != version || version < 0) {
    row_lookup_.reset();
    auto built = std::make_shared<RowLookup>();
    built->table = upper_table;
    built->column = upper_column;
    built->stamp = stamp;
    built->changes = changes;
    built->version = version;
    auto info = Table(table);
    const FieldInfo* field = info->FindField(column);
    bool exact = field && !info->without_rowid && TextAffinity(field->declared) && BinaryCollation(*field);
    if (exact) {
      // Texts are compared as the file stores them: byte for byte in UTF-8 only.
      Statement encoding(*this, "PRAGMA encoding");
      exact = encoding.Step() && encoding.Text(0).value_or("") == "UTF-8";
    }
    if (exact) {
      Statement st(*this, "SELECT rowid, " + QuoteId(field->name) + " FROM " + QuoteId(info->name) + " ORDER BY rowid");
      long count = 0;
      while (exact && st.Step()) {
        if (++count > kMaxLookupRows) {
          exact = false;
          built->rows.clear();
        } else if (sqlite3_column_type(st.Handle(), 1) == SQLITE_TEXT) {
          built->rows[*st.Text(1)].push_back(st.Int(0));
        }
      }
    }
    built->usable = exact;
    row_lookup_ = std::move(built);
    lookup = row_lookup_.get();
  }
  if (!lookup->usable) return std::nullopt;
  auto it = lookup->rows.find(value);
  return it == lookup->rows.end() ? std::vector<long long>() : it->second;
}

}  // namespace brenquil::detail
