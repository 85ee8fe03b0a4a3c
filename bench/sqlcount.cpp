// libbrenquil-sqlcount.so: counts the SQL statements a program runs through
// the shared SQLite library, without changing the program. Loaded with
// LD_PRELOAD, it puts a profile trace on every connection opened with
// sqlite3_open_v2 and counts the statements prepared with sqlite3_prepare_v2
// or _v3. At exit it writes, to the file named by BRENQUIL_SQLCOUNT (or to
// stderr), the totals and the statements that cost the most time and that ran
// most often. Statements are grouped by their text with names, literals and
// numbers made alike, so "DROP INDEX "a"" and "DROP INDEX "b"" are one line.
//
//   LD_PRELOAD=build/bench/bench/libbrenquil-sqlcount.so BRENQUIL_SQLCOUNT=sql.txt
//     build/bench/cli/brenquil-cli transform --home H --data D   (one command line)
#include <dlfcn.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Figures {
  long long runs = 0, prepares = 0, nanoseconds = 0;
};

struct Counter {
  std::mutex mutex;
  std::map<std::string, Figures> by_text;
  long long connections = 0;

  ~Counter() { Write(); }
  void Write();
};

Counter& Counts() {
  static Counter counter;
  return counter;
}

// The text with every quoted name or literal as ?, every number as N and runs
// of blanks as one space; long texts keep their start.
std::string Shape(const char* sql) {
  std::string out;
  if (!sql) return "(no text)";
  for (const char* p = sql; *p && out.size() < 160;) {
    const char c = *p;
    if (c == '"' || c == '\'' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      ++p;
      while (*p) {
        if (*p == close && p[1] == close && close != ']') {
          p += 2;
          continue;
        }
        if (*p++ == close) break;
      }
      out += c == '\'' ? "'?'" : "?";
    } else if (c >= '0' && c <= '9' && (out.empty() || !(std::isalnum(static_cast<unsigned char>(out.back())) ||
                                                           out.back() == '_'))) {
      while ((*p >= '0' && *p <= '9') || *p == '.') ++p;
      out += 'N';
    } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      while (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') ++p;
      if (!out.empty()) out += ' ';
    } else {
      out += c;
      ++p;
    }
  }
  return out;
}

int OnTrace(unsigned kind, void*, void* statement, void* nanoseconds) {
  if (kind != SQLITE_TRACE_PROFILE) return 0;
  const std::string shape = Shape(sqlite3_sql(static_cast<sqlite3_stmt*>(statement)));
  Counter& c = Counts();
  std::lock_guard<std::mutex> lock(c.mutex);
  Figures& f = c.by_text[shape];
  ++f.runs;
  f.nanoseconds += *static_cast<sqlite3_int64*>(nanoseconds);
  return 0;
}

void Counter::Write() {
  std::lock_guard<std::mutex> lock(mutex);
  const char* path = std::getenv("BRENQUIL_SQLCOUNT");
  FILE* out = path && *path ? std::fopen(path, "w") : stderr;
  if (!out) out = stderr;
  Figures total;
  std::vector<std::pair<std::string, Figures>> rows(by_text.begin(), by_text.end());
  for (const auto& [text, f] : rows) {
    total.runs += f.runs;
    total.prepares += f.prepares;
    total.nanoseconds += f.nanoseconds;
  }
  std::fprintf(out,
               "sqlcount: %lld connections, %lld statements prepared, %lld statement runs, %.3f s inside "
               "SQLite's statements (%zu kinds)\n",
               connections, total.prepares, total.runs, static_cast<double>(total.nanoseconds) / 1e9, rows.size());
  auto table = [&](const char* title, auto less) {
    std::sort(rows.begin(), rows.end(), less);
    std::fprintf(out, "\n%s\n%10s %10s %10s  %s\n", title, "runs", "prepared", "ms", "statement");
    for (size_t i = 0; i < rows.size() && i < 25; ++i)
      std::fprintf(out, "%10lld %10lld %10.1f  %s\n", rows[i].second.runs, rows[i].second.prepares,
                   static_cast<double>(rows[i].second.nanoseconds) / 1e6, rows[i].first.c_str());
  };
  table("by time inside SQLite:", [](const auto& a, const auto& b) { return a.second.nanoseconds > b.second.nanoseconds; });
  table("by runs:", [](const auto& a, const auto& b) { return a.second.runs > b.second.runs; });
  if (out != stderr) std::fclose(out);
}

template <class F>
F Real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void CountPrepare(int rc, sqlite3_stmt** statement, const char* sql) {
  const std::string shape = Shape(rc == SQLITE_OK && statement && *statement ? sqlite3_sql(*statement) : sql);
  Counter& c = Counts();
  std::lock_guard<std::mutex> lock(c.mutex);
  ++c.by_text[shape].prepares;
}

}  // namespace

extern "C" {

int sqlite3_open_v2(const char* filename, sqlite3** db, int flags, const char* vfs) {
  static auto real = Real<int (*)(const char*, sqlite3**, int, const char*)>("sqlite3_open_v2");
  Counts();  // made before the program's statics, so written after them
  const int rc = real(filename, db, flags, vfs);
  if (db && *db) {
    sqlite3_trace_v2(*db, SQLITE_TRACE_PROFILE, OnTrace, nullptr);
    std::lock_guard<std::mutex> lock(Counts().mutex);
    ++Counts().connections;
  }
  return rc;
}

int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** statement, const char** tail) {
  static auto real = Real<int (*)(sqlite3*, const char*, int, sqlite3_stmt**, const char**)>("sqlite3_prepare_v2");
  const int rc = real(db, sql, bytes, statement, tail);
  CountPrepare(rc, statement, sql);
  return rc;
}

int sqlite3_prepare_v3(sqlite3* db, const char* sql, int bytes, unsigned flags, sqlite3_stmt** statement,
                       const char** tail) {
  static auto real =
      Real<int (*)(sqlite3*, const char*, int, unsigned, sqlite3_stmt**, const char**)>("sqlite3_prepare_v3");
  const int rc = real(db, sql, bytes, flags, statement, tail);
  CountPrepare(rc, statement, sql);
  return rc;
}

}  // extern "C"
