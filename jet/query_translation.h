// The translation of a Jet select or union query into an SQLite SELECT that
// prepares and returns the same rows, or the Spanish reason why none exists.
// It knows the columns of the file's tables and of the queries already made
// views, so it resolves every name as Jet would: a name that is no field is a
// parameter to Jet, and such a query is never a view.
//
// The engine's stored forms that the translation relies on: a Date/Time value
// is the text 'YYYY-MM-DD HH:MM:SS' (00:00:00 for a date alone, 1899-12-30 for
// a time alone); a Yes/No value is 1 for Yes and 0 for No (SQLite's TRUE and
// FALSE), where Jet's own True is -1, so a Yes/No field inside an expression
// reads as -field and the view computes what Jet computes, while a field
// shown as it is stays as stored. Text compares with SQLite's NOCASE collation:
// Jet's comparison ignores letter case, and NOCASE does for ASCII letters.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace brenquil::jet {

// What the translator knows of a value's type.
enum class ValueType {
  kUnknown,      // a mixture (IIf, Nz of a number) or a type it cannot tell
  kNull,         // the literal Null
  kText,         // Text, Memo
  kInteger,      // Byte, Integer, Long Integer, AutoNumber
  kCurrency,     // Currency
  kNumber,       // Single, Double, Decimal: numbers with a fraction
  kDate,         // Date/Time, stored as 'YYYY-MM-DD HH:MM:SS'
  kYesNoStored,  // a Yes/No field: 1 or 0 as stored
  kYesNo,        // a computed truth value: -1 or 0, as Jet computes it
  kOther,        // Binary, OLE Object, GUID: not used in expressions
};

struct Column {
  std::string name;
  ValueType type = ValueType::kUnknown;
};

// The tables of the file and the queries already translated, by name (letter
// case aside), with the queries that cannot be views and why.
class Catalogue {
 public:
  void AddTable(const std::string& name, std::vector<Column> columns);
  void AddView(const std::string& name, std::vector<Column> columns);
  void AddRefused(const std::string& name, const std::string& reason);

  struct Entry {
    std::string name;  // as the file spells it
    bool is_query = false;
    bool refused = false;
    std::string reason;
    std::vector<Column> columns;
  };
  const Entry* Find(std::string_view name) const;

 private:
  std::map<std::string, Entry> entries_;  // by folded name
};

struct Translation {
  std::string sqlite_sql;            // a SELECT; empty when refused
  std::string reason;                // Spanish: why there is none
  std::vector<Column> columns;       // the view's columns, named as Jet names them
  std::vector<std::string> queries;  // the catalogue's queries it reads
};

// Translates a Jet SELECT or UNION statement.
Translation TranslateQuery(const std::string& jet_sql, const Catalogue& catalogue);

// The names of the tables and queries a Jet SELECT or UNION statement reads,
// subqueries included, each once, as written; empty when it does not parse.
std::vector<std::string> SourceNames(const std::string& jet_sql);

// The stored form of a Jet #date# literal's text ("1/2/2003 10:30 PM" gives
// "2003-01-02 22:30:00"); empty when it is not a date Jet reads one way only.
std::string DateLiteral(std::string_view text);

}  // namespace brenquil::jet
