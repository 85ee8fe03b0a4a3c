#include "engine/row_checks.h"

#include "engine/connection.h"
#include "engine/database.h"

namespace brenquil {

namespace {

using detail::QuoteId;

BlockingRows Collect(detail::Connection& c, const std::string& count_sql, const std::string& examples_sql) {
  BlockingRows out;
  {
    detail::Statement st(c, count_sql);
    if (st.Step()) out.count = static_cast<long>(st.Int(0));
  }
  if (out.count == 0) return out;
  detail::Statement st(c, examples_sql);
  while (st.Step() && out.examples.size() < 5) {
    std::string key;
    for (int col = 0; col < st.ColumnCount(); ++col)
      key += (col ? ", " : "") + st.Text(col).value_or("NULL");
    out.examples.push_back(key);
  }
  return out;
}

}  // namespace

BlockingRows RowsRepeatingKey(Database& db, const std::string& table, const std::vector<std::string>& fields) {
  if (fields.empty()) return {};
  std::string list, set;
  for (const auto& f : fields) {
    list += (list.empty() ? "" : ", ") + QuoteId(f);
    set += (set.empty() ? "" : " AND ") + QuoteId(f) + " IS NOT NULL";
  }
  std::string groups = "SELECT " + list + ", count(*) AS brenquil_n FROM " + QuoteId(table) + " WHERE " + set +
                       " GROUP BY " + list + " HAVING count(*) > 1";
  return Collect(*db.Connection(), "SELECT IFNULL(sum(brenquil_n), 0) FROM (" + groups + ")",
                 "SELECT " + list + " FROM (" + groups + ") LIMIT 5");
}

BlockingRows RowsWithoutParent(Database& db, const std::string& parent, const std::string& child,
                               const std::vector<std::pair<std::string, std::string>>& pairs) {
  if (pairs.empty()) return {};
  std::string set, match, keys;
  for (const auto& [p, c] : pairs) {
    set += (set.empty() ? "" : " AND ") + std::string("brenquil_hijo.") + QuoteId(c) + " IS NOT NULL";
    match += (match.empty() ? "" : " AND ") + std::string("brenquil_padre.") + QuoteId(p) + " = brenquil_hijo." +
             QuoteId(c);
    keys += (keys.empty() ? "" : ", ") + std::string("brenquil_hijo.") + QuoteId(c);
  }
  std::string from = " FROM " + QuoteId(child) + " AS brenquil_hijo WHERE " + set + " AND NOT EXISTS (SELECT 1 FROM " +
                     QuoteId(parent) + " AS brenquil_padre WHERE " + match + ")";
  return Collect(*db.Connection(), "SELECT count(*)" + from, "SELECT " + keys + from + " LIMIT 5");
}

BlockingRows RowsLeftEmpty(Database& db, const std::string& table) {
  detail::Connection& c = *db.Connection();
  std::string keys;
  {
    detail::Statement st(c, "SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk");
    st.Bind(1, table);
    while (st.Step()) keys += (keys.empty() ? "" : ", ") + QuoteId(st.Text(0).value_or(""));
  }
  if (keys.empty()) keys = "rowid";
  const std::string from = " FROM " + QuoteId(table);
  return Collect(c, "SELECT count(*)" + from, "SELECT " + keys + from + " LIMIT 5");
}

std::string DescribeBlockingRows(const BlockingRows& rows) {
  std::string text = std::to_string(rows.count) + (rows.count == 1 ? " fila lo impide" : " filas lo impiden");
  if (!rows.examples.empty()) {
    text += " (claves:";
    for (size_t i = 0; i < rows.examples.size(); ++i) text += (i ? "; " : " ") + rows.examples[i];
    text += ")";
  }
  return text;
}

}  // namespace brenquil
