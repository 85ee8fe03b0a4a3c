#include "jet/row_values.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/error.h"
#include "jet/jet_damage.h"
#include "jet/jet_values.h"
#include "jet/long_value.h"

namespace brenquil::jet {

namespace {

constexpr int kSqliteDigits = 15;

double Read8(const Bytes& b) {
  b.Check(0, 8, "un número");
  double d;
  std::memcpy(&d, b.data(), sizeof d);
  return d;
}

std::int64_t ReadInt8(const Bytes& b) {
  b.Check(0, 8, "un número");
  std::int64_t v;
  std::memcpy(&v, b.data(), sizeof v);
  return v;
}

// Exact decimal text bound as SQLite's numeric column keeps it: a whole
// number as an integer, otherwise the nearest double, counted when it has more
// significant digits than a double's text keeps.
void BindDecimal(sqlite3_stmt* st, int p, const std::string& text, ValueIssues& issues) {
  auto point = text.find('.');
  bool whole =
      point == std::string::npos || text.find_first_not_of('0', point + 1) == std::string::npos;
  if (whole) {
    std::string integer = text.substr(0, point);
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(integer.c_str(), &end, 10);
    if (errno == 0 && end && *end == '\0') {
      sqlite3_bind_int64(st, p, v);
      return;
    }
  }
  if (SignificantDigits(text) > kSqliteDigits) ++issues.rounded;
  sqlite3_bind_double(st, p, std::strtod(text.c_str(), nullptr));
}

}  // namespace

ValueBinder::ValueBinder(JetFile& file, const TableDefinition& table, const TablePlan& plan)
    : file_(file),
      plan_(plan),
      table_(table),
      text_(file.Jet3(), file.CodePage()),
      buffers_(plan.fields.size()) {}

bool ValueBinder::Bind(sqlite3_stmt* st, int p, std::size_t k, const RowCursor& row,
                       ValueIssues& issues) {
  const FieldPlan& f = plan_.fields[k];
  const JetColumn& c = table_.columns[f.column];
  FieldValue v = row.Field(f.column);
  if (f.storage == Storage::kBoolean) {
    sqlite3_bind_int(st, p, v.flag ? 1 : 0);
    return false;
  }
  if (v.null) {
    sqlite3_bind_null(st, p);
    return false;
  }
  const Bytes& b = v.bytes;
  std::string& buffer = buffers_[k];
  // A buffer that held one very long value gives its memory back.
  if (buffer.capacity() > kWholeLimit) std::string().swap(buffer);
  switch (f.storage) {
    case Storage::kBoolean: break;
    case Storage::kInteger:
      switch (c.type) {
        case kJetByte: sqlite3_bind_int(st, p, b.U8(0)); break;
        case kJetInteger: sqlite3_bind_int(st, p, static_cast<std::int16_t>(b.U16(0))); break;
        case kJetLong: sqlite3_bind_int(st, p, static_cast<std::int32_t>(b.U32(0))); break;
        default: sqlite3_bind_int64(st, p, ReadInt8(b)); break;
      }
      break;
    case Storage::kSingle: {
      b.Check(0, 4, "un número");
      float value;
      std::memcpy(&value, b.data(), sizeof value);
      sqlite3_bind_double(st, p, std::strtod(SingleText(value).c_str(), nullptr));
      break;
    }
    case Storage::kDouble: sqlite3_bind_double(st, p, Read8(b)); break;
    case Storage::kMoney: BindDecimal(st, p, MoneyText(ReadInt8(b)), issues); break;
    case Storage::kDecimal: BindDecimal(st, p, DecimalText(b, c.scale), issues); break;
    case Storage::kDate: {
      double days = Read8(b);
      if (auto text = DateText(days)) {
        sqlite3_bind_text64(st, p, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      } else {
        ++issues.undated;
        sqlite3_bind_double(st, p, days);
      }
      break;
    }
    case Storage::kGuid: {
      b.Check(0, 16, "un GUID");
      std::string text = GuidText(b);
      sqlite3_bind_text64(st, p, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
    case Storage::kText:
      buffer = text_.Decode(b.data(), b.size());
      if (text_.Replaced()) ++issues.replaced;
      sqlite3_bind_text64(st, p, buffer.data(), buffer.size(), SQLITE_STATIC, SQLITE_UTF8);
      break;
    case Storage::kBinary: sqlite3_bind_blob64(st, p, b.data(), b.size(), SQLITE_STATIC); break;
    case Storage::kMemo: {
      LongValue value(file_, b);
      buffer.clear();
      text_.Begin();
      value.Read(
          [&](const std::uint8_t* data, std::size_t size) { text_.Feed(data, size, buffer); });
      text_.Finish(buffer);
      if (text_.Replaced()) ++issues.replaced;
      sqlite3_bind_text64(st, p, buffer.data(), buffer.size(), SQLITE_STATIC, SQLITE_UTF8);
      break;
    }
    case Storage::kOle: {
      LongValue value(file_, b);
      if (value.Length() > kWholeLimit) {
        sqlite3_bind_zeroblob64(st, p, value.Length());
        return true;
      }
      buffer.clear();
      value.Read([&](const std::uint8_t* data, std::size_t size) {
        buffer.append(reinterpret_cast<const char*>(data), size);
      });
      sqlite3_bind_blob64(st, p, buffer.data(), buffer.size(), SQLITE_STATIC);
      break;
    }
  }
  return false;
}

void ValueBinder::WriteLongValue(sqlite3* db, const std::string& table, std::size_t k,
                                 const RowCursor& row, sqlite3_int64 rowid) {
  const FieldPlan& f = plan_.fields[k];
  FieldValue v = row.Field(f.column);
  LongValue value(file_, v.bytes);
  sqlite3_blob* blob = nullptr;
  auto fail = [&](int rc) {
    std::string message = sqlite3_errmsg(db);
    if (blob) sqlite3_blob_close(blob);
    throw MakeError(
        rc == SQLITE_FULL ? err::kDiskError : err::kEngine,
        "no se pudo escribir el campo '" + f.name + "' de la tabla '" + table + "': " + message);
  };
  int rc = sqlite3_blob_open(db, "main", table.c_str(), f.name.c_str(), rowid, 1, &blob);
  if (rc != SQLITE_OK) fail(rc);
  int offset = 0;
  value.Read([&](const std::uint8_t* data, std::size_t size) {
    int written = sqlite3_blob_write(blob, data, static_cast<int>(size), offset);
    if (written != SQLITE_OK) fail(written);
    offset += static_cast<int>(size);
  });
  rc = sqlite3_blob_close(blob);
  blob = nullptr;
  if (rc != SQLITE_OK) fail(rc);
}

}  // namespace brenquil::jet
