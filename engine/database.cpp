#include "engine/database.h"

#include "engine/connection.h"

namespace brenquil {

namespace {

using detail::Connection;

// The shared base of the stored collections: stale when the file changed.
template <class T>
class StoredBackend : public CollectionBackend<T> {
 public:
  explicit StoredBackend(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {}
  bool Stale() override { return connection_->Stamp() != loaded_; }

 protected:
  void Loaded() { loaded_ = connection_->Stamp(); }
  std::shared_ptr<Connection> connection_;

 private:
  std::uint64_t loaded_ = ~0ull;
};

class FieldsBackend : public StoredBackend<Field> {
 public:
  FieldsBackend(std::shared_ptr<Connection> c, std::string table)
      : StoredBackend(std::move(c)), table_(std::move(table)) {}
  std::vector<std::shared_ptr<Field>> Load() override {
    std::vector<std::shared_ptr<Field>> out;
    auto table = connection_->Table(table_);
    for (auto& f : table->fields) {
      auto field = std::make_shared<Field>(f.name);
      field->Load(f.type, f.size, f.attributes, f.allow_zero_length, f.required, "");
      field->LoadDeclaration(f.definition, f.default_text, f.check_text);
      field->MarkStored();
      out.push_back(field);
    }
    Loaded();
    return out;
  }
  void Append(Field& field) override {
    connection_->AddField(table_, field);
    field.MarkStored();
  }
  void Delete(const std::string& name) override { connection_->DeleteField(table_, name); }
  size_t AppendTogether(const std::vector<Field*>& fields) override {
    std::vector<const Field*> given(fields.begin(), fields.end());
    size_t count = 0;
    try {
      count = connection_->AddFieldsTogether(table_, given);
    } catch (const Error&) {
      return 0;  // each field then meets its error when appended alone
    }
    for (size_t i = 0; i < count; ++i) fields[i]->MarkStored();
    return count;
  }

 private:
  std::string table_;
};

class IndexesBackend : public StoredBackend<Index> {
 public:
  IndexesBackend(std::shared_ptr<Connection> c, std::string table)
      : StoredBackend(std::move(c)), table_(std::move(table)) {}
  std::vector<std::shared_ptr<Index>> Load() override {
    std::vector<std::shared_ptr<Index>> out;
    auto table = connection_->Table(table_);
    for (auto& i : table->indexes) {
      auto index = std::make_shared<Index>(i.name);
      index->Load(i.unique, i.primary, i.origin == 'c' ? i.declaration : std::string());
      for (auto& [name, descending] : i.fields) {
        auto field = index->CreateField(name);
        field->SetDescending(descending);
        index->Fields().Append(field);
      }
      index->MarkStored();
      out.push_back(index);
    }
    Loaded();
    return out;
  }
  void Append(Index& index) override {
    connection_->CreateIndex(table_, index);
    index.MarkStored();
  }
  void Delete(const std::string& name) override { connection_->DeleteIndex(table_, name); }

 private:
  std::string table_;
};

void Attach(TableDef& table, const std::shared_ptr<Connection>& connection) {
  table.Fields().SetBackend(std::make_unique<FieldsBackend>(connection, table.Name()));
  table.Indexes().SetBackend(std::make_unique<IndexesBackend>(connection, table.Name()));
  table.MarkStored(!connection->ReadOnly());
  std::weak_ptr<Connection> weak = connection;
  std::string name = table.Name();
  table.SetDeclarationSource([weak, name] {
    auto c = weak.lock();
    return c ? c->Declaration(name) : std::string();
  });
}

class TableDefsBackend : public StoredBackend<TableDef> {
 public:
  using StoredBackend::StoredBackend;
  std::vector<std::shared_ptr<TableDef>> Load() override {
    std::vector<std::shared_ptr<TableDef>> out;
    auto names = connection_->TableNames();
    for (auto& name : *names) {
      auto table = std::make_shared<TableDef>(name);
      Attach(*table, connection_);
      out.push_back(table);
    }
    Loaded();
    return out;
  }
  void Append(TableDef& table) override {
    connection_->CreateTable(table);
    for (auto& index : table.Indexes()) index->MarkStored();
    Attach(table, connection_);
  }
  void Delete(const std::string& name) override { connection_->DeleteTable(name); }
};

class RelationsBackend : public StoredBackend<Relation> {
 public:
  using StoredBackend::StoredBackend;
  std::vector<std::shared_ptr<Relation>> Load() override {
    std::vector<std::shared_ptr<Relation>> out;
    auto relations = connection_->Relations();
    for (auto& r : *relations) {
      auto relation = std::make_shared<Relation>(r.name, r.table, r.foreign_table, r.attributes);
      for (auto& [name, foreign] : r.fields) {
        auto field = relation->CreateField(name);
        field->SetForeignName(foreign);
        relation->Fields().Append(field);
      }
      const bool enforced = (r.attributes & dbRelationDontEnforce) == 0;
      relation->Load(r.declaration, r.foreign_key_id >= 0 && !r.recorded,
                     r.recorded && ((enforced && r.foreign_key_id < 0) || r.legacy_triggers));
      relation->MarkStored();
      out.push_back(relation);
    }
    Loaded();
    return out;
  }
  void Append(Relation& relation) override {
    connection_->CreateRelation(relation);
    relation.MarkStored();
  }
  void Delete(const std::string& name) override { connection_->DeleteRelation(name); }
};

class QueryDefsBackend : public StoredBackend<QueryDef> {
 public:
  using StoredBackend::StoredBackend;
  std::vector<std::shared_ptr<QueryDef>> Load() override {
    std::vector<std::shared_ptr<QueryDef>> out;
    auto queries = connection_->Queries();
    for (auto& q : *queries) {
      auto query = std::make_shared<QueryDef>(q.name, q.sql);
      query->SetDeclaration(q.declaration);
      query->MarkStored();
      out.push_back(query);
    }
    Loaded();
    return out;
  }
  void Append(QueryDef& query) override {
    connection_->CreateQuery(query);
    query.MarkStored();
  }
  void Delete(const std::string& name) override { connection_->DeleteQuery(name); }
};

}  // namespace

Database::Database(std::string name, std::shared_ptr<detail::Connection> connection)
    : name_(std::move(name)),
      connection_(std::move(connection)),
      tabledefs_("TableDefs", err::kTableExists),
      relations_("Relations", err::kObjectExists),
      querydefs_("QueryDefs", err::kObjectExists) {
  tabledefs_.SetBackend(std::make_unique<TableDefsBackend>(connection_));
  relations_.SetBackend(std::make_unique<RelationsBackend>(connection_));
  querydefs_.SetBackend(std::make_unique<QueryDefsBackend>(connection_));
}

Database::~Database() = default;

const std::shared_ptr<detail::Connection>& Database::Connection() const {
  if (!connection_) throw MakeError(err::kInvalidOperation, "la base de datos '" + name_ + "' está cerrada");
  return connection_;
}

bool Database::Updatable() const { return !Connection()->ReadOnly(); }

void Database::CheckIntact() { Connection()->CheckIntact(); }
bool Database::FoundDamaged() { return Connection()->FoundDamaged(); }
void Database::KeepReadAcrossSteps(bool keep) { Connection()->KeepReadAcrossSteps(keep); }
void Database::CheckEngineTables() { Connection()->CheckEngineTables(); }
std::vector<std::string> Database::UsersOf(const std::string& name) { return Connection()->UsersOf(name); }
bool Database::HeldByAnotherProcess() { return Connection()->HeldByAnotherProcess(); }

Collection<TableDef>& Database::TableDefs() {
  Connection();
  return tabledefs_;
}
Collection<Relation>& Database::Relations() {
  Connection();
  return relations_;
}
Collection<QueryDef>& Database::QueryDefs() {
  Connection();
  return querydefs_;
}

std::shared_ptr<TableDef> Database::CreateTableDef(const std::string& name) {
  return std::make_shared<TableDef>(name);
}

std::shared_ptr<Relation> Database::CreateRelation(const std::string& name, const std::string& table,
                                                   const std::string& foreign_table, Number attributes) {
  return std::make_shared<Relation>(name, table, foreign_table, attributes);
}

bool Database::CompleteRelation(const std::string& name, const std::string& declaration) {
  bool completed = Connection()->CompleteRelation(name, declaration);
  if (completed) relations_.Reload();
  return completed;
}

std::shared_ptr<QueryDef> Database::CreateQueryDef(const std::string& name, const std::string& sql) {
  return std::make_shared<QueryDef>(name, sql);
}

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& source) {
  return std::make_unique<Recordset>(Connection(), source);
}

void Database::Close() {
  connection_.reset();
  tabledefs_ = Collection<TableDef>("TableDefs", err::kTableExists);
  relations_ = Collection<Relation>("Relations", err::kObjectExists);
  querydefs_ = Collection<QueryDef>("QueryDefs", err::kObjectExists);
}

}  // namespace brenquil
