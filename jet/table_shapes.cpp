// A table's columns come from its definition page; the catalogue is read only
// when the caller has not read it, so the caller's entries stay valid.
#include "jet/table_shapes.h"

namespace brenquil::jet {

ValueType TypeOfJetColumn(int mdb_type) {
  switch (mdb_type) {
    case MDB_BOOL: return ValueType::kYesNoStored;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT: return ValueType::kInteger;
    case MDB_MONEY: return ValueType::kCurrency;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC: return ValueType::kNumber;
    case MDB_DATETIME: return ValueType::kDate;
    case MDB_TEXT:
    case MDB_MEMO: return ValueType::kText;
    default: return ValueType::kOther;
  }
}

std::vector<std::pair<std::string, std::vector<Column>>> ReadTableShapes(MdbHandle* mdb) {
  std::vector<std::pair<std::string, std::vector<Column>>> shapes;
  if (!mdb->catalog && !mdb_read_catalog(mdb, MDB_ANY)) return shapes;
  for (guint i = 0; i < mdb->catalog->len; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry)) continue;
    MdbTableDef* table = mdb_read_table(entry);
    if (!table) continue;
    if (mdb_read_columns(table)) {
      std::vector<Column> columns;
      for (guint c = 0; c < table->num_cols; ++c) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
        columns.push_back({column->name, TypeOfJetColumn(column->col_type)});
      }
      shapes.emplace_back(entry->object_name, std::move(columns));
    }
    mdb_free_tabledef(table);
  }
  return shapes;
}

}  // namespace brenquil::jet
