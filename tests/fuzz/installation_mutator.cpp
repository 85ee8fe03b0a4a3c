#include "tests/fuzz/installation_mutator.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "engine/dbengine.h"
#include "shell/installation.h"
#include "shell/paths.h"
#include "tests/support/test_support.h"

namespace brenquil::fuzz {

namespace fs = std::filesystem;
using test::RawExec;
using test::ReadBytes;
using test::WriteBytes;

namespace {

void Table(Database& db, const std::string& name,
           const std::vector<std::pair<std::string, int>>& fields) {
  auto table = db.CreateTableDef(name);
  for (auto& [field, type] : fields) {
    auto f = table->CreateField(field, type, type == dbText ? 50 : 0);
    if (type == dbText || type == dbMemo) f->SetAllowZeroLength(true);
    table->Fields().Append(f);
  }
  db.TableDefs().Append(table);
}

void Index(Database& db, const std::string& table, const std::string& name,
           const std::vector<std::string>& fields, bool primary) {
  auto t = db.TableDefs()[table];
  auto index = t->CreateIndex(name);
  index->SetPrimary(primary);
  for (auto& f : fields) index->Fields().Append(index->CreateField(f));
  t->Indexes().Append(index);
}

// The engine's own kind of file: the model has two fields, two indexes (one
// of two fields), a relation and a query more than the old database.
void MakeEngineModel(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  Table(*db, "Clientes", {{"Id", dbLong}, {"Nombre", dbText}, {"Alta", dbDate}});
  Table(*db, "Pedidos",
        {{"Num", dbLong}, {"ClienteId", dbLong}, {"Nota", dbMemo}, {"Importe", dbDouble}});
  Table(*db, "Líneas", {{"Pedido", dbLong}, {"Artículo", dbText}, {"Cantidad", dbInteger}});
  Index(*db, "Clientes", "PrimaryKey", {"Id"}, true);
  Index(*db, "Pedidos", "PrimaryKey", {"Num"}, true);
  Index(*db, "Pedidos", "PorCliente", {"ClienteId", "Num"}, false);
  auto relation =
      db->CreateRelation("ClientesPedidos", "Clientes", "Pedidos", dbRelationUpdateCascade);
  auto pair = relation->CreateField("Id");
  pair->SetForeignName("ClienteId");
  relation->Fields().Append(pair);
  db->Relations().Append(relation);
  db->QueryDefs().Append(
      db->CreateQueryDef("Grandes", "SELECT *\r\nFROM Pedidos\r\nWHERE Importe > 100"));
  db->Close();
}

void MakeEngineOld(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  Table(*db, "Clientes", {{"Id", dbLong}, {"Nombre", dbText}});
  Table(*db, "Pedidos", {{"Num", dbLong}, {"ClienteId", dbLong}});
  Index(*db, "Clientes", "PorNombre", {"Nombre"}, false);
  db->QueryDefs().Append(db->CreateQueryDef("Vieja", "SELECT Nombre FROM Clientes"));
  db->Close();
  std::string rows = "INSERT INTO Clientes VALUES (1, 'Ana'), (2, 'Íñigo'), (3, NULL);";
  for (int i = 0; i < 60; ++i)
    rows += "INSERT INTO Pedidos VALUES (" + std::to_string(i) + ", " + std::to_string(1 + i % 3) +
            ");";
  RawExec(path, rows);
}

// Files written by another program with SQLite alone.
void MakePlainModel(const std::string& path) {
  RawExec(
      path,
      "CREATE TABLE padre (id INTEGER PRIMARY KEY, nombre VARCHAR(30) NOT NULL, saldo "
      "DECIMAL(10,2));"
      "CREATE TABLE hijo (id INTEGER PRIMARY KEY, pid INTEGER REFERENCES padre(id) ON DELETE "
      "CASCADE,"
      " nota TEXT DEFAULT '', foto BLOB);"
      "CREATE UNIQUE INDEX padre_nombre ON padre(nombre);"
      "CREATE INDEX hijo_pid ON hijo(pid, nota);"
      "CREATE VIEW resumen AS SELECT p.nombre, count(h.id) AS hijos FROM padre p LEFT JOIN hijo h"
      " ON h.pid = p.id GROUP BY p.id;");
}

void MakePlainOld(const std::string& path) {
  std::string sql =
      "CREATE TABLE padre (id INTEGER PRIMARY KEY, nombre VARCHAR(30));"
      "CREATE TABLE \"otra tabla\" (\"a b\" TEXT, c REAL);"
      "CREATE TRIGGER sello AFTER INSERT ON padre BEGIN UPDATE padre SET nombre = upper(nombre) "
      "WHERE id = new.id; END;";
  for (int i = 0; i < 40; ++i)
    sql += "INSERT INTO padre (nombre) VALUES ('nombre " + std::to_string(i) +
           std::string(i * 7, 'x') + "');";
  RawExec(path, sql);
}

// ---- damage

using Rng = std::mt19937_64;

std::size_t Pick(Rng& rng, std::size_t n) {
  return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
}
bool Chance(Rng& rng, double p) { return std::bernoulli_distribution(p)(rng); }

unsigned PageSize(const std::string& bytes) {
  if (bytes.size() < 100) return 4096;
  unsigned page =
      (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
  if (page == 1) page = 65536;
  return page >= 512 && (page & (page - 1)) == 0 ? page : 4096;
}

void PutBig32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xff);
}

std::string FlipBits(Rng& rng, std::string& bytes) {
  if (bytes.empty()) return "sin bytes que cambiar";
  std::string what = "bits cambiados en";
  std::size_t flips = 1 + Pick(rng, 16);
  for (std::size_t i = 0; i < flips; ++i) {
    std::size_t at = Chance(rng, 0.2) ? Pick(rng, std::min<std::size_t>(100, bytes.size()))
                                      : Pick(rng, bytes.size());
    int bit = static_cast<int>(Pick(rng, 8));
    bytes[at] = static_cast<char>(bytes[at] ^ (1 << bit));
    what += " " + std::to_string(at) + ":" + std::to_string(bit);
  }
  return what;
}

std::string Truncate(Rng& rng, std::string& bytes) {
  unsigned page = PageSize(bytes);
  std::size_t pages = bytes.size() / page;
  if (pages > 1 && Chance(rng, 0.5)) {
    // Whole pages, with a header that agrees: the file looks complete.
    std::size_t keep = 1 + Pick(rng, pages - 1);
    bytes.resize(keep * page);
    PutBig32(bytes, 28, static_cast<std::uint32_t>(keep));
    return "cortado a " + std::to_string(keep) + " páginas, cabecera de acuerdo";
  }
  std::size_t keep = Pick(rng, bytes.size());
  bytes.resize(keep);
  return "cortado a " + std::to_string(keep) + " bytes";
}

std::string SwapPages(Rng& rng, std::string& bytes) {
  unsigned page = PageSize(bytes);
  std::size_t pages = bytes.size() / page;
  if (pages < 2) return FlipBits(rng, bytes);
  std::size_t a = Chance(rng, 0.1) ? 0 : 1 + Pick(rng, pages - 1);
  std::size_t b = 1 + Pick(rng, pages - 1);
  if (a == b) b = (b + 1) % pages;
  for (unsigned i = 0; i < page; ++i) std::swap(bytes[a * page + i], bytes[b * page + i]);
  return "páginas " + std::to_string(a + 1) + " y " + std::to_string(b + 1) + " intercambiadas";
}

const char* const kNames[] = {
    "",         " ",      "a b",      "\"",       "'",     "[x]",        "MSysFalsa", "msys",
    "ñandú",    "SELECT", "Clientes", "CLIENTES", "padre", "PrimaryKey", "x\x01y",    "tabla;DROP",
    "sqlite_x", "ÄÖÜ ß",  "\xff\xfe", "0",        "rowid", "oid"};
const char* const kTypes[] = {"",
                              "INTEGER",
                              "TEXT",
                              "VARCHAR(-5)",
                              "VARCHAR(99999999999)",
                              "DECIMAL(10,",
                              "BLOB",
                              "REAL",
                              "DATETIME",
                              "BOOLEAN",
                              "CHAR(0)",
                              "MEMO",
                              "LONGBINARY",
                              "NUMERIC(3,2)",
                              "INT PRIMARY KEY",
                              "ANY",
                              "TEXT COLLATE nocase"};
const char* const kTokens[] = {",",
                               "(",
                               ")",
                               " PRIMARY KEY",
                               " REFERENCES nohay(x)",
                               " COLLATE nocase",
                               " GENERATED ALWAYS AS (1)",
                               " CHECK(",
                               " WITHOUT ROWID",
                               " DEFAULT",
                               " UNIQUE",
                               " NOT NULL",
                               "--",
                               "/*",
                               "\"",
                               "'",
                               " ON DELETE CASCADE",
                               " AS SELECT 1"};

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string RandomTable(Rng& rng) {
  std::string sql =
      "CREATE TABLE " +
      Quoted(std::string(kNames[Pick(rng, std::size(kNames))]) + std::to_string(Pick(rng, 100))) +
      " (";
  std::size_t columns = 1 + Pick(rng, 5);
  for (std::size_t i = 0; i < columns; ++i) {
    if (i) sql += ", ";
    sql += Quoted(std::string(kNames[Pick(rng, std::size(kNames))]) + std::to_string(i)) + " " +
           kTypes[Pick(rng, std::size(kTypes))];
  }
  sql += ")";
  if (Chance(rng, 0.2)) sql += " WITHOUT ROWID";
  return sql;
}

// Changes one schema entry's text behind SQLite's back (or adds an odd but
// valid object): the file then holds a schema no program wrote.
std::string SchemaText(Rng& rng, const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "esquema: el archivo no abre";
  }
  std::vector<std::pair<long long, std::string>> entries;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT rowid, sql FROM sqlite_master WHERE sql IS NOT NULL", -1, &st,
                         nullptr) == SQLITE_OK)
    while (sqlite3_step(st) == SQLITE_ROW)
      entries.emplace_back(sqlite3_column_int64(st, 0),
                           reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
  sqlite3_finalize(st);
  std::string what;
  if (entries.empty() || Chance(rng, 0.3)) {
    // A valid statement SQLite itself runs: odd names and types.
    std::string sql = RandomTable(rng);
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    what = "esquema: " + sql + (rc == SQLITE_OK ? "" : " (rechazada)");
  } else {
    auto& [rowid, text] = entries[Pick(rng, entries.size())];
    std::string sql = text;
    switch (Pick(rng, 4)) {
      case 0: {
        std::size_t at = Pick(rng, sql.size() + 1);
        sql.insert(at, kTokens[Pick(rng, std::size(kTokens))]);
        break;
      }
      case 1: {
        std::size_t at = Pick(rng, sql.size());
        sql.erase(at, 1 + Pick(rng, 12));
        break;
      }
      case 2: {
        std::size_t at = Pick(rng, sql.size() + 1);
        sql.insert(at, std::string(" ") + kTypes[Pick(rng, std::size(kTypes))] + " ");
        break;
      }
      default: sql = RandomTable(rng);
    }
    sqlite3_exec(db, "PRAGMA writable_schema = ON", nullptr, nullptr, nullptr);
    sqlite3_stmt* up = nullptr;
    int rc = sqlite3_prepare_v2(db, "UPDATE sqlite_master SET sql = ? WHERE rowid = ?", -1, &up,
                                nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_text(up, 1, sql.c_str(), static_cast<int>(sql.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int64(up, 2, rowid);
      rc = sqlite3_step(up);
    }
    sqlite3_finalize(up);
    what = "esquema: fila " + std::to_string(rowid) + " ahora «" + sql + "»" +
           (rc == SQLITE_DONE ? "" : " (no escrita)");
  }
  sqlite3_close(db);
  return what;
}

// ---- odd names

// Names SQLite accepts: the empty one, blanks only, the engine's own table
// names in other letters (and one exactly), control characters, quotes.
const char* const kOddNames[] = {"",           " ",           "   ",          "\t",         "msysfields",
                                 "MSYSINDEXES", "MsysQueries", "mSysRelations", "MSysRelationFields",
                                 "MSysFields", "msys",        "MSys ",        "a\x01b",     "\x1f",
                                 "línea\nnueva", "\r\n",      "\"",           "'",           "[]",
                                 "sqlite_",    "Clientes",    "padre",        "t"};

std::string OddName(Rng& rng) {
  // Now and then a name of thousands of letters.
  if (Chance(rng, 0.1)) return std::string(1000 + Pick(rng, 3000), static_cast<char>('a' + Pick(rng, 26)));
  return kOddNames[Pick(rng, std::size(kOddNames))];
}

std::string OddObject(Rng& rng) {
  const std::string table = Quoted(OddName(rng));
  switch (Pick(rng, 4)) {
    case 0: {
      std::string sql = "CREATE TABLE " + table + " (";
      const std::size_t columns = 1 + Pick(rng, 3);
      for (std::size_t i = 0; i < columns; ++i)
        sql += (i ? ", " : "") + Quoted(OddName(rng) + (i ? std::to_string(i) : "")) + " " +
               (Chance(rng, 0.5) ? "INTEGER" : "TEXT");
      return sql + ")";
    }
    case 1: return "CREATE INDEX " + Quoted(OddName(rng) + "_i") + " ON " + table + " (" + Quoted(OddName(rng)) + ")";
    case 2: return "CREATE VIEW " + Quoted(OddName(rng)) + " AS SELECT * FROM " + table;
    default:
      return "CREATE TRIGGER " + Quoted(OddName(rng) + "_d") + " AFTER INSERT ON " + table + " BEGIN SELECT 1; END";
  }
}

}  // namespace

const std::vector<FileImage>& ValidInstallation() {
  static const std::vector<FileImage> images = [] {
    test::TempDir dir;
    const std::string home = dir / "home", data = dir / "datos";
    SetupInstallation(home);
    fs::create_directories(data);
    Paths paths(home);
    MakeEngineModel(paths.ModelPath("base.mdb"));
    MakeEngineOld(Paths::Join(data, "base.mdb"));
    MakePlainModel(paths.ModelPath("plana.mdb"));
    MakePlainOld(Paths::Join(data, "plana.mdb"));
    MakeEngineModel(paths.ModelPath("nueva.mdb"));
    DBEngine::Instance().CloseIdle();
    std::vector<FileImage> out;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
      if (!entry.is_regular_file()) continue;
      std::string relative = fs::relative(entry.path(), dir.Path()).string();
      if (relative.find(".mdb-") != std::string::npos)
        throw std::runtime_error("the valid installation left " + relative + " behind");
      out.push_back({relative, ReadBytes(entry.path().string())});
    }
    std::sort(out.begin(), out.end(),
              [](const FileImage& a, const FileImage& b) { return a.path < b.path; });
    return out;
  }();
  return images;
}

std::string MakeCase(std::uint64_t seed, const std::string& folder) {
  Rng rng(seed);
  const auto& images = ValidInstallation();
  for (const auto& image : images) {
    fs::create_directories(fs::path(folder + "/" + image.path).parent_path());
    WriteBytes(folder + "/" + image.path, image.bytes);
  }
  // The databases a run reads or changes: models and old databases mostly,
  // now and then a catalogue or the sample.
  std::vector<std::string> targets, catalogues;
  for (const auto& image : images) {
    if (image.path.rfind("datos/", 0) == 0 || image.path.rfind("home/modelos/", 0) == 0)
      targets.push_back(image.path);
    else if (image.path.find("Neptuno") == std::string::npos)
      catalogues.push_back(image.path);
  }
  std::string what;
  std::size_t changes = 1 + Pick(rng, 3);
  for (std::size_t i = 0; i < changes; ++i) {
    std::string target = Chance(rng, 0.1) ? catalogues[Pick(rng, catalogues.size())]
                                          : targets[Pick(rng, targets.size())];
    std::string path = folder + "/" + target;
    std::string line;
    std::size_t kind = Pick(rng, 4);
    if (kind == 3) {
      line = SchemaText(rng, path);
    } else {
      std::string bytes = ReadBytes(path);
      line = kind == 0   ? FlipBits(rng, bytes)
             : kind == 1 ? Truncate(rng, bytes)
                         : SwapPages(rng, bytes);
      WriteBytes(path, bytes);
    }
    what += target + ": " + line + "\n";
  }
  return what;
}

}  // namespace brenquil::fuzz

namespace brenquil::fuzz {

std::string MakeNamesCase(std::uint64_t seed, const std::string& folder) {
  Rng rng(seed);
  const auto& images = ValidInstallation();
  std::vector<std::string> targets;
  for (const auto& image : images) {
    fs::create_directories(fs::path(folder + "/" + image.path).parent_path());
    WriteBytes(folder + "/" + image.path, image.bytes);
    if (image.path.rfind("datos/", 0) == 0 || image.path.rfind("home/modelos/", 0) == 0)
      targets.push_back(image.path);
  }
  std::string what;
  const std::size_t objects = 2 + Pick(rng, 6);
  for (std::size_t i = 0; i < objects; ++i) {
    std::string sql = OddObject(rng);
    std::vector<std::string> into = {targets[Pick(rng, targets.size())]};
    // The same object in a model and its old namesake now and then.
    const std::string& first = into.front();
    if (Chance(rng, 0.3)) {
      const std::string name = fs::path(first).filename().string();
      into.push_back(first.rfind("datos/", 0) == 0 ? "home/modelos/" + name : "datos/" + name);
    }
    for (const std::string& target : into) {
      sqlite3* db = nullptr;
      int rc = sqlite3_open_v2((folder + "/" + target).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
      if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
      sqlite3_close(db);
      what += target + ": " + sql + (rc == SQLITE_OK ? "" : " (rechazada)") + "\n";
    }
  }
  return what;
}

int AddUnpairedEntries(const std::string& data, int count) {
  char name[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "/sin modelo %05d.mdb", i);
    const std::string path = data + name;
    if (i % 97 == 0)
      fs::create_directory(path);
    else
      WriteBytes(path, i % 13 == 0 ? "no es una base de datos" : "");
  }
  return count;
}

}  // namespace brenquil::fuzz
