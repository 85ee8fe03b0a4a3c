// Internal to the engine. Quoting of names and literals written into SQL, and
// the light tokenising that reads stored statements back: view bodies, the
// kind of a query text, letter-case-blind name comparison.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brenquil::detail {

// "name" with inner quotes doubled: an identifier no text can break out of.
std::string QuoteId(std::string_view name);
// 'text' with inner apostrophes doubled.
std::string QuoteLiteral(std::string_view text);
// True when `name` starts with "MSys" exactly (the engine's own objects).
bool IsSystemName(std::string_view name);
// True when `name` is, in any letter case, the name of one of the engine's
// own tables (MSysFields, MSysIndexes, MSysRelations, MSysRelationFields,
// MSysQueries), which SQLite would take for the same table.
bool IsEngineTableName(std::string_view name);
// The exact spelling of that engine table, or empty.
std::string_view EngineTableName(std::string_view name);

// ASCII upper case, and comparison without regard to letter case, as SQLite
// compares names.
std::string Upper(std::string_view s);
bool IEquals(std::string_view a, std::string_view b);
// The same names in the same order, letter case aside.
bool SameNames(const std::vector<std::string>& a, const std::vector<std::string>& b);
bool Contains(std::string_view haystack, std::string_view needle);

// Skips blanks and SQL comments from `i`.
size_t SkipBlanks(std::string_view sql, size_t i);
// The token at `i` (a word, a quoted name or string, or one character); `i`
// moves past it. Empty at the end of the text.
std::string NextToken(std::string_view sql, size_t& i);
// Where the token that starts at `i` (not a blank) ends; `i` at the end.
size_t TokenEnd(std::string_view sql, size_t i);
// The first token of `sql`.
std::string NextTokenAt(std::string_view sql);
// A quoted name without its quotes ("a""b" gives a"b); other tokens as they are.
std::string Unquote(std::string_view token);

// A CREATE VIEW, INDEX or TRIGGER statement with its object's name replaced
// by `quoted_name` (and, for an index, its table's by `quoted_table` when
// given); empty when the text is not such a statement.
std::string WithObjectName(std::string_view create, const std::string& quoted_name,
                           const std::string& quoted_table = {});

// True when two CREATE statements say the same up to blanks, comments, the
// quoting and letter case of names, and the object's own name (and an
// index's table name): string literals must match exactly.
bool SameDeclaration(std::string_view a, std::string_view b);

// True when two texts say the same up to blanks, comments and the quoting and
// letter case of names: string literals must match exactly.
bool SameTokens(std::string_view a, std::string_view b);

// `create` with its object's name (and an index's table) set to `name` (and
// `table`), written as the statement writes them when they already are.
std::string Renamed(std::string_view create, const std::string& name, const std::string& table = {});

// The SELECT of "CREATE VIEW name [(columns)] AS select".
std::string ViewSelect(std::string_view create);
// True when the text is a SELECT, WITH or VALUES statement.
bool IsSelectText(std::string_view sql);
// True when nothing but blanks, comments and semicolons is left.
bool OnlyBlanksLeft(std::string_view sql);

}  // namespace brenquil::detail
