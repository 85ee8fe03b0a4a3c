// DAO type codes and sizes inferred from SQLite declared types, and back.
#include "engine/type_inference.h"

#include <cstdlib>

#include "engine/field.h"
#include "engine/sql_text.h"

namespace brenquil::detail {

std::pair<int, long> InferType(std::string_view declared) {
  std::string d = Upper(declared);
  long n = 0;
  if (auto open = d.find('('); open != std::string::npos) n = std::atol(d.c_str() + open + 1);
  auto has = [&](const char* word) { return Contains(d, word); };
  if (d.empty()) return {dbMemo, 0};
  if (has("BOOL") || d == "BIT" || d.rfind("BIT(", 0) == 0 || has("YESNO")) return {dbBoolean, 1};
  if (has("TINYINT") || has("BYTE")) return {dbByte, 1};
  if (has("SMALLINT") || has("SHORT")) return {dbInteger, 2};
  if (has("BIGINT")) return {dbBigInt, 8};
  if (has("INT") || has("COUNTER") || has("AUTOINCREMENT")) return {dbLong, 4};
  if (has("GUID") || has("UNIQUEIDENTIFIER")) return {dbGUID, 16};
  if (has("VARBINARY")) return {dbVarBinary, n > 0 ? n : 255};
  if (has("BINARY")) return {dbBinary, n > 0 ? n : 255};
  if (has("BLOB") || has("LONGBINARY") || has("IMAGE") || has("OLE")) return {dbLongBinary, 0};
  if (has("CHAR") || has("TEXT") || has("CLOB") || has("STRING")) {
    if (has("CHAR") && n > 0 && n <= 255) return {has("VARCHAR") || has("VARYING") ? dbText : (has("NCHAR") || d.rfind("CHAR", 0) == 0 ? dbChar : dbText), n};
    if (has("TEXT") && n > 0 && n <= 255) return {dbText, n};
    return {dbMemo, 0};
  }
  if (has("MEMO")) return {dbMemo, 0};
  if (has("CURRENCY") || has("MONEY")) return {dbCurrency, 8};
  if (has("SINGLE")) return {dbSingle, 4};
  if (has("FLOAT")) return {dbFloat, 8};
  if (has("DOUBLE") || has("REAL")) return {dbDouble, 8};
  if (has("TIMESTAMP")) return {dbTimeStamp, 8};
  if (has("DATE")) return {dbDate, 8};
  if (has("TIME")) return {dbTime, 8};
  if (has("DECIMAL")) return {dbDecimal, 16};
  if (has("NUMERIC") || has("NUMBER")) return {dbNumeric, 19};
  return {dbMemo, 0};
}

std::string DeclaredType(int type, long size) {
  switch (type) {
    case dbBoolean: return "BOOLEAN";
    case dbByte: return "TINYINT";
    case dbInteger: return "SMALLINT";
    case dbLong: return "INTEGER";
    case dbCurrency: return "CURRENCY";
    case dbSingle: return "SINGLE";
    case dbDouble: return "DOUBLE";
    case dbDate: return "DATETIME";
    case dbBinary: return "BINARY(" + std::to_string(size) + ")";
    case dbText: return "VARCHAR(" + std::to_string(size) + ")";
    case dbLongBinary: return "BLOB";
    case dbMemo: return "TEXT";
    case dbGUID: return "GUID";
    case dbBigInt: return "BIGINT";
    case dbVarBinary: return "VARBINARY(" + std::to_string(size) + ")";
    case dbChar: return "CHAR(" + std::to_string(size) + ")";
    case dbNumeric: return "NUMERIC";
    case dbDecimal: return "DECIMAL";
    case dbFloat: return "FLOAT";
    case dbTime: return "TIME";
    case dbTimeStamp: return "TIMESTAMP";
    default: return "TEXT";
  }
}

}  // namespace brenquil::detail
