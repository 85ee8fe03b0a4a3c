// An installation with one model and a data folder, and the desktop program
// started on it, for the desktop tests.
#pragma once

#include <gtest/gtest.h>

#include <QTableWidget>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/dbengine.h"
#include "gui/desktop.h"
#include "shell/installation.h"
#include "tests/gui/qt_support.h"
#include "tests/support/test_support.h"

namespace brenquil::test {

class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() {
    App();
    SetupInstallation(home_.Path());
    DBEngine::Instance().CreateDatabase(Paths(home_.Path()).ModelPath("Clientes.mdb"))->Close();
    std::filesystem::create_directories(data_.Path() + "/viejas");
    for (const char* name : {"viejas/Clientes.mdb", "viejas/PEDIDOS.MDB", "raiz.mdb"})
      DBEngine::Instance().CreateDatabase(data_ / name)->Close();
    WriteBytes(data_ / "viejas/notas.txt", "no es una base");
  }

  // Starts the program as `brenquil --home HOME --data DATA`; fails the test
  // when start-up does not succeed.
  gui::Desktop& Start() {
    int code = -1;
    desktop_ = gui::StartDesktop(Arguments(), code);
    EXPECT_EQ(code, 0);
    if (!desktop_) throw std::runtime_error("start-up failed");
    return *desktop_;
  }

  QStringList Arguments() const {
    return {"brenquil", "--home", QString::fromStdString(home_.Path()), "--data",
            QString::fromStdString(data_.Path())};
  }

  gui::ActualizWindow& Main() { return desktop_->Main(); }
  Actualiz& State() { return desktop_->State(); }

  TempDir home_;
  TempDir data_;
  std::unique_ptr<gui::Desktop> desktop_;
};

// The folder "viejas" as a run meets it: models Clientes.mdb (one table more
// than its old namesake), Roto.mdb (its old namesake is damaged) and
// Nuevo.mdb (no old namesake: copied); PEDIDOS.MDB has no model.
class ViejasTest : public DesktopTest {
 protected:
  ViejasTest() {
    Paths paths(home_.Path());
    RawExec(paths.ModelPath("Clientes.mdb"), "CREATE TABLE Facturas (Numero INTEGER, Importe REAL)");
    DBEngine::Instance().CreateDatabase(paths.ModelPath("Roto.mdb"))->Close();
    DBEngine::Instance().CreateDatabase(paths.ModelPath("Nuevo.mdb"))->Close();
    WriteBytes(Viejas() + "/Roto.mdb", std::string(4096, 'x'));
  }

  std::string Viejas() const { return data_.Path() + "/viejas"; }

  // Starts the program and points the folder list at "viejas".
  void StartOnViejas() {
    Start();
    State().Dir1.SetPath(Viejas());
  }

  // The results table as file name -> outcome.
  std::map<std::string, std::string> Results() {
    std::map<std::string, std::string> rows;
    auto* table = Child<QTableWidget>(Main(), "Resultados");
    for (int r = 0; table && r < table->rowCount(); ++r)
      rows[table->item(r, 0)->text().toStdString()] = table->item(r, 1)->text().toStdString();
    return rows;
  }
};

}  // namespace brenquil::test
