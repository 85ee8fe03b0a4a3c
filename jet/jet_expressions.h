// Jet's DefaultValue and ValidationRule expressions in SQLite's SQL, where
// SQLite means exactly the same by them; anything else is refused with the
// reason, never translated loosely. A default is one literal (number, text,
// #date#, Yes/No, Null) or Date(), Now(), Time(), GenGUID(). A rule is a
// comparison, Between, In, Like (with * and ?), Is [Not] Null, joined by
// And, Or, Not and parentheses, over literals and the table's fields; a
// field's rule may leave out its field (">0"). Dates are compared as the
// "YYYY-MM-DD HH:MM:SS" text the import stores, Yes/No as 1 and 0, and text
// without regard to the case of ASCII letters, as Jet compares text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace brenquil::jet {

// What the translation knows of the table's fields.
struct ExpressionContext {
  struct Field {
    std::string name;  // as stored
    std::string kind;  // "boolean", "text", "date", "number", or "other" (binary: never compared)
  };
  // The field called `name` in any letter case, or nullopt.
  std::function<std::optional<Field>(const std::string&)> field;
  // How a field is written in the SQL; its quoted name when not given.
  std::function<std::string(const std::string&)> reference;
};

struct ExpressionTranslation {
  std::string sql;     // empty when refused
  std::string reason;  // Spanish: why it was refused
  bool ok() const { return !sql.empty(); }
};

// The DEFAULT clause's value for a field of type `kind` ("boolean", "text",
// "date", "number", "guid", "binary"): "0", "'abc'", "(datetime('now',
// 'localtime'))".
ExpressionTranslation TranslateDefault(const std::string& jet, const std::string& kind);

// The CHECK expression of a rule. `field`: the field whose rule it is (its
// stored name), or empty for a table's rule.
ExpressionTranslation TranslateRule(const std::string& jet, const std::string& field,
                          const ExpressionContext& context);

// `name` as an SQLite identifier in double quotes; `text` as a string literal.
std::string QuoteName(const std::string& name);
std::string QuoteText(const std::string& text);

// "YYYY-MM-DD HH:MM:SS" for the text between the #s of a Jet date literal
// (m/d/y as Jet reads it, or y-m-d, with an optional time); nullopt when it
// is not a date.
std::optional<std::string> JetDateLiteral(const std::string& text);

// SQLite's expression for a new GUID in the "{8-4-4-4-12}" form.
std::string NewGuidSql();

}  // namespace brenquil::jet
