#include "tests/jet/jet_files.h"

#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace brenquil::test {

namespace fs = std::filesystem;

namespace {

const char kNull[] = "\x01NULO\x01";

void Spill(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("no se pudo escribir " + path);
}

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Run(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("no se pudo ejecutar " + command);
  std::string out;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(command + " falló");
  return out;
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string JetFolder() { return BRENQUIL_JET_FILES; }

bool HaveJetFiles() {
  std::error_code ec;
  return fs::exists(JetFolder() + "/testV1997.mdb", ec);
}

std::vector<std::string> JetFiles() {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(JetFolder()))
    if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string JetFile(const std::string& name) { return JetFolder() + "/" + name; }

bool HaveMdbExport() {
  std::string path = BRENQUIL_MDB_EXPORT;
  return !path.empty() && path.find("NOTFOUND") == std::string::npos;
}

std::vector<std::vector<std::optional<std::string>>> MdbExport(const std::string& file,
                                                               const std::string& table) {
  std::vector<std::vector<std::optional<std::string>>> rows;
  if (!HaveMdbExport()) return rows;
  std::string csv = Run(std::string(BRENQUIL_MDB_EXPORT) +
                        " -b hex -T '%Y-%m-%d %H:%M:%S' -D '%Y-%m-%d %H:%M:%S' -0 " +
                        Quoted(kNull) + " " + Quoted(file) + " " + Quoted(table) + " 2>/dev/null");
  // CSV: fields quoted with " (doubled inside) when text, lines end in \n.
  std::vector<std::optional<std::string>> row;
  std::string field;
  bool quoted = false, in_quotes = false, any = false;
  auto end_field = [&] {
    if (!quoted && field == kNull)
      row.push_back(std::nullopt);
    else if (quoted && field.empty())
      row.push_back(std::nullopt);
    else
      row.push_back(field);
    field.clear();
    quoted = false;
  };
  for (std::size_t i = 0; i < csv.size(); ++i) {
    char c = csv[i];
    any = true;
    if (in_quotes) {
      if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        in_quotes = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      in_quotes = quoted = true;
    } else if (c == ',') {
      end_field();
    } else if (c == '\n') {
      end_field();
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      field += c;
    }
  }
  if (any) {
    end_field();
    rows.push_back(std::move(row));
  }
  if (!rows.empty()) rows.erase(rows.begin());  // the header
  return rows;
}

std::vector<std::string> MdbTables(const std::string& file) {
  std::vector<std::string> tables;
  std::string path = BRENQUIL_MDB_EXPORT;
  std::string tool = fs::path(path).parent_path().string() + "/mdb-tables";
  std::istringstream lines(Run(Quoted(tool) + " -1 " + Quoted(file) + " 2>/dev/null"));
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) tables.push_back(line);
  return tables;
}

void CopyWithPatch(const std::string& source, const std::string& target, const std::string& find,
                   const std::string& replace) {
  std::string bytes = ReadBytes(source);
  std::size_t at = bytes.find(find);
  if (at == std::string::npos || find.size() != replace.size())
    throw std::runtime_error("el parche no tiene dónde ir en " + source);
  for (; at != std::string::npos; at = bytes.find(find, at + 1))
    bytes.replace(at, replace.size(), replace);
  Spill(target, bytes);
}

void CopyWithLongValue(const std::string& target, int pages, LongValueKind kind) {
  constexpr std::size_t kPage = 4096, kRowStart = 16, kChunk = kPage - kRowStart - 4;
  std::string bytes = ReadBytes(JetFile("test2V2000.mdb"));
  const std::uint32_t first = static_cast<std::uint32_t>(bytes.size() / kPage);
  // The values' 12-byte headers in their row. The OLE Object: length 22970
  // (0x59BA) on a chain of long-value pages (type 0x00) from row 0 of page
  // 0x35. The Memo: 696 bytes in one long-value row (type 0x40), row 0 of
  // page 0x3B.
  const std::string header = kind == LongValueKind::kOle
                                 ? std::string("\xBA\x59\x00\x00\x00\x35\x00\x00", 8)
                                 : std::string("\xB8\x02\x00\x40\x00\x3B\x00\x00", 8);
  std::size_t at = bytes.find(header);
  if (at == std::string::npos)
    throw std::runtime_error("test2V2000.mdb no tiene su valor largo donde se espera");
  PutU32(bytes, at, static_cast<std::uint32_t>(LongOleLength(pages)));  // type 0x00: a chain
  PutU32(bytes, at + 4, first << 8);  // row 0 of the first new page
  Spill(target, bytes);
  // The pages are appended one by one: a value of hundreds of MiB never sits
  // in memory here either.
  std::ofstream out(target, std::ios::binary | std::ios::app);
  long long i = 0;
  for (int p = 0; p < pages; ++p) {
    std::string page(kPage, '\0');
    page[0] = 0x01;  // a data page
    page[1] = 0x01;
    page.replace(4, 4, "LVAL");
    page[12] = 1;  // one row, from kRowStart to the end of the page
    page[14] = static_cast<char>(kRowStart);
    PutU32(page, kRowStart, p + 1 < pages ? (first + static_cast<std::uint32_t>(p) + 1) << 8 : 0);
    for (std::size_t k = 0; k < kChunk; ++k, ++i) {
      unsigned char byte =
          kind == LongValueKind::kOle
              ? LongValueByte(i)
              : static_cast<unsigned char>(LongMemoCharacter(i / 2) >> (8 * (i % 2)));
      page[kRowStart + 4 + k] = static_cast<char>(byte);
    }
    out << page;
  }
  if (!out) throw std::runtime_error("no se pudo escribir " + target);
}

}  // namespace brenquil::test
