// The object model's plain members: fields, indexes, table definitions,
// relations and query definitions before and after they are stored.
#include "engine/field.h"
#include "engine/sql_text.h"
#include "engine/index.h"
#include "engine/querydef.h"
#include "engine/relation.h"
#include "engine/tabledef.h"

namespace brenquil {

namespace {
// Members of a stored object whose fields cannot change: appending or
// deleting one is refused.
template <class T>
class FrozenBackend : public CollectionBackend<T> {
 public:
  explicit FrozenBackend(std::vector<std::shared_ptr<T>> items) : items_(std::move(items)) {}
  std::vector<std::shared_ptr<T>> Load() override { return items_; }
  void Append(T& item) override {
    throw MakeError(err::kInvalidOperation, "'" + item.Name() + "': el objeto ya está guardado");
  }
  void Delete(const std::string& name) override {
    throw MakeError(err::kInvalidOperation, "'" + name + "': el objeto ya está guardado");
  }
  bool Stale() override { return false; }

 private:
  std::vector<std::shared_ptr<T>> items_;
};

template <class T>
void Freeze(Collection<T>& collection) {
  auto items = collection.Snapshot();
  for (auto& item : items) item->MarkStored();
  collection.SetBackend(std::make_unique<FrozenBackend<T>>(std::move(items)));
}
}  // namespace

bool SameIndexDeclaration(const std::string& a, const std::string& b) { return detail::SameDeclaration(a, b); }

bool SameViewDeclaration(const std::string& a, const std::string& b) { return detail::SameDeclaration(a, b); }
bool SameRelationDeclaration(const std::string& a, const std::string& b) { return detail::SameTokens(a, b); }

bool IsKnownType(int type) {
  return (type >= dbBoolean && type <= dbMemo) || (type >= dbGUID && type <= dbTimeStamp);
}

long SizeForType(int type, long given) {
  switch (type) {
    case dbBoolean: case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong: case dbSingle: return 4;
    case dbCurrency: case dbDouble: case dbDate: case dbBigInt: case dbFloat:
    case dbTime: case dbTimeStamp: return 8;
    case dbGUID: case dbDecimal: return 16;
    case dbNumeric: return 19;
    case dbText: case dbChar: case dbBinary: case dbVarBinary: return given == 0 ? 255 : given;
    case dbMemo: case dbLongBinary: return 0;
    default: return given;
  }
}

Field::Field(std::string name, Number type, Number size)
    : name_(std::move(name)),
      type_(static_cast<int>(type.Value())),
      size_(SizeForType(static_cast<int>(type.Value()), size.Value())) {}

void Field::CheckChangeable() const {
  if (stored_)
    throw MakeError(err::kInvalidOperation, "el campo '" + name_ + "' ya está guardado");
}
void Field::SetAllowZeroLength(bool value) { CheckChangeable(); allow_zero_length_ = value; }
void Field::SetAttributes(long value) { CheckChangeable(); attributes_ = value; }
void Field::SetRequired(bool value) { CheckChangeable(); required_ = value; }
void Field::SetForeignName(std::string value) { CheckChangeable(); foreign_name_ = std::move(value); }
void Field::SetDescending(bool value) { CheckChangeable(); descending_ = value; }
void Field::SetDefinition(std::string value) { CheckChangeable(); definition_ = std::move(value); }
void Field::LoadDeclaration(std::string definition, std::string default_value, std::string validation_rule) {
  definition_ = std::move(definition);
  default_value_ = std::move(default_value);
  validation_rule_ = std::move(validation_rule);
}

void Field::Load(int type, long size, long attributes, bool allow_zero_length, bool required,
                 std::string foreign_name, bool descending) {
  type_ = type;
  size_ = size;
  attributes_ = attributes;
  allow_zero_length_ = allow_zero_length;
  required_ = required;
  foreign_name_ = std::move(foreign_name);
  descending_ = descending;
}

Index::Index(std::string name) : name_(std::move(name)), fields_("Fields", err::kFieldExists) {}

void Index::SetUnique(bool value) {
  if (stored_) throw MakeError(err::kInvalidOperation, "el índice '" + name_ + "' ya está guardado");
  unique_ = value;
}
void Index::SetDeclaration(std::string value) {
  if (stored_) throw MakeError(err::kInvalidOperation, "el índice '" + name_ + "' ya está guardado");
  declaration_ = std::move(value);
}
void Index::SetPrimary(bool value) {
  if (stored_) throw MakeError(err::kInvalidOperation, "el índice '" + name_ + "' ya está guardado");
  primary_ = value;
}
std::shared_ptr<Field> Index::CreateField(const std::string& name) {
  return std::make_shared<Field>(name);
}
void Index::MarkStored() {
  if (stored_) return;
  stored_ = true;
  Freeze(fields_);
}
void Index::Load(bool unique, bool primary, std::string declaration) {
  unique_ = unique;
  primary_ = primary;
  declaration_ = std::move(declaration);
}

TableDef::TableDef(std::string name)
    : name_(std::move(name)),
      fields_("Fields", err::kFieldExists),
      indexes_("Indexes", err::kIndexExists) {}

std::shared_ptr<Field> TableDef::CreateField(const std::string& name, Number type, Number size) {
  return std::make_shared<Field>(name, type, size);
}
std::shared_ptr<Index> TableDef::CreateIndex(const std::string& name) {
  return std::make_shared<Index>(name);
}
void TableDef::SetDeclaration(std::string value) {
  if (stored_) throw MakeError(err::kInvalidOperation, "la tabla '" + name_ + "' ya está guardada");
  declaration_ = std::move(value);
}
void TableDef::MarkStored(bool updatable) {
  stored_ = true;
  updatable_ = updatable;
}

Relation::Relation(std::string name, std::string table, std::string foreign_table,
                   Number attributes)
    : name_(std::move(name)),
      table_(std::move(table)),
      foreign_table_(std::move(foreign_table)),
      attributes_(attributes.Value()),
      fields_("Fields", err::kFieldExists) {}

std::shared_ptr<Field> Relation::CreateField(const std::string& name) {
  return std::make_shared<Field>(name);
}
void Relation::SetDeclaration(std::string value) {
  if (stored_) throw MakeError(err::kInvalidOperation, "la relación '" + name_ + "' ya está guardada");
  declaration_ = std::move(value);
}
void Relation::Load(std::string declaration, bool clause_only, bool needs_completing) {
  declaration_ = std::move(declaration);
  clause_only_ = clause_only;
  needs_completing_ = needs_completing;
}
void Relation::MarkStored() {
  if (stored_) return;
  stored_ = true;
  Freeze(fields_);
}

QueryDef::QueryDef(std::string name, std::string sql) : name_(std::move(name)), sql_(std::move(sql)) {}
void QueryDef::SetDeclaration(std::string value) {
  if (stored_) throw MakeError(err::kInvalidOperation, "la consulta '" + name_ + "' ya está guardada");
  declaration_ = std::move(value);
}
void QueryDef::SetSQL(std::string sql) {
  if (stored_) throw MakeError(err::kInvalidOperation, "la consulta '" + name_ + "' ya está guardada");
  sql_ = std::move(sql);
}

}  // namespace brenquil
