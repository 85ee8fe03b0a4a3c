// The relation step's tests: the shared installation with a model and an old
// database that hold the same three tables, and helpers to declare and read
// relations.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbengine.h"
#include "tests/support/installation_fixture.h"

namespace brenquil::test {

struct RelationShape {
  std::string name, table, foreign;
  long attributes = 0;
  std::vector<std::pair<std::string, std::string>> pairs;
  bool operator==(const RelationShape&) const = default;
};

inline void PrintTo(const RelationShape& r, std::ostream* os) {
  *os << r.name << " " << r.table << "->" << r.foreign << " [" << r.attributes << "]";
  for (auto& [a, b] : r.pairs) *os << " " << a << "=" << b;
}

// Clientes(Id, Sucursal, Nombre) keyed on both numbers; Pedidos(Num, ClienteId,
// ClienteSuc, Nota) keyed on Num; Lineas(Num, PedidoNum, Cantidad).
inline void MakeSchema(const std::string& path) {
  auto db = DBEngine::Instance().CreateDatabase(path);
  struct Table {
    const char* name;
    std::vector<std::pair<const char*, int>> fields;
    std::vector<const char*> key;
  };
  const Table tables[] = {
      {"Clientes", {{"Id", dbLong}, {"Sucursal", dbLong}, {"Nombre", dbText}}, {"Id", "Sucursal"}},
      {"Pedidos",
       {{"Num", dbLong}, {"ClienteId", dbLong}, {"ClienteSuc", dbLong}, {"Nota", dbText}},
       {"Num"}},
      {"Lineas", {{"Num", dbLong}, {"PedidoNum", dbLong}, {"Cantidad", dbLong}}, {"Num"}},
  };
  for (const Table& t : tables) {
    auto table = db->CreateTableDef(t.name);
    for (auto& [name, type] : t.fields)
      table->Fields().Append(table->CreateField(name, type, type == dbText ? 50 : 0));
    db->TableDefs().Append(table);
    auto key = db->TableDefs()[t.name]->CreateIndex("PrimaryKey");
    key->SetPrimary(true);
    for (const char* f : t.key) key->Fields().Append(key->CreateField(f));
    db->TableDefs()[t.name]->Indexes().Append(key);
  }
  db->Close();
}

inline void AddRelation(const std::string& path, const RelationShape& shape) {
  auto db = DBEngine::Instance().OpenDatabase(path);
  auto relation = db->CreateRelation(shape.name, shape.table, shape.foreign, shape.attributes);
  for (auto& [field, foreign] : shape.pairs) {
    auto f = relation->CreateField(field);
    f->SetForeignName(foreign);
    relation->Fields().Append(f);
  }
  db->Relations().Append(relation);
  db->Close();
}

// Every relation of the file, system ones included, in collection order.
inline std::vector<RelationShape> RelationsOf(const std::string& path) {
  auto db = DBEngine::Instance().OpenDatabase(path);
  std::vector<RelationShape> out;
  for (auto& r : db->Relations().Snapshot()) {
    RelationShape s{r->Name(), r->Table(), r->ForeignTable(), r->Attributes(), {}};
    for (auto& f : r->Fields().Snapshot()) s.pairs.emplace_back(f->Name(), f->ForeignName());
    out.push_back(std::move(s));
  }
  db->Close();
  return out;
}

inline std::vector<std::string> Names(const std::vector<RelationShape>& relations) {
  std::vector<std::string> out;
  for (auto& r : relations) out.push_back(r.name);
  return out;
}

// The shapes every test reuses.
inline RelationShape ClientePedidos(long attributes = 0) {
  return {"ClientePedidos", "Clientes", "Pedidos", attributes,
          {{"Id", "ClienteId"}, {"Sucursal", "ClienteSuc"}}};
}
inline RelationShape PedidoLineas(long attributes = 0) {
  return {"PedidoLineas", "Pedidos", "Lineas", attributes, {{"Num", "PedidoNum"}}};
}

class RelationStepTest : public ::testing::Test, public InstallationFixture {
 protected:
  void SetUp() override {
    MakeSchema(model);
    MakeSchema(old);
    PointAt(model, old);
  }

  // The catalogue's rows in stored order, every column as text.
  std::vector<std::vector<std::string>> Catalogue() const {
    return RawQuery(Installation().RelationCatalog(),
                    "SELECT nombrerel, tabla, tablafor, atributos, campo, campofor "
                    "FROM relacion ORDER BY rowid");
  }

  std::string model = Dir() / "modelo.mdb";
  std::string old = Dir() / "vieja.mdb";
};

}  // namespace brenquil::test
