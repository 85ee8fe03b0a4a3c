// Start-up and browsing: the model and old database listings, the attribute
// reset, the data folder and its fallback, and the buttons that do nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/inicial.h"
#include "shell/installation.h"
#include "tests/support/test_support.h"

namespace brenquil {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteBytes;

bool OwnerWritable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR);
}

struct Installation {
  TempDir dir;
  std::string home = dir / "home";
  std::string data = dir / "datos";
  Installation() {
    SetupInstallation(home);
    fs::create_directory(data);
  }
};

TEST(StartUp, ListsModelsAndResetsTheirAttributes) {
  Installation inst;
  Paths paths(inst.home);
  for (const char* name : {"b.mdb", "A.MDB", "notas.txt"}) WriteBytes(paths.ModelPath(name), "x");
  WriteBytes(paths.ModelPath(".oculta.mdb"), "x");
  fs::create_directory(paths.ModelPath("carpeta.mdb"));
  chmod(paths.ModelPath("b.mdb").c_str(), 0444);
  chmod(paths.ModelPath(".oculta.mdb").c_str(), 0444);
  chmod(paths.IndexCatalog().c_str(), 0444);

  Actualiz main(paths, inst.data);
  Inicial start(main);
  int shown = 0;
  start.ShowMain = [&] {
    ++shown;
    main.Form_Activate();
  };
  start.Form_Activate();
  EXPECT_EQ(start.List1.Items(), (std::vector<std::string>{"A.MDB", "b.mdb", "carpeta.mdb"}));
  EXPECT_FALSE(start.List1.Visible());
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(OwnerWritable(paths.ModelPath("b.mdb"))) << "a read-only model is writable afterwards";
  EXPECT_FALSE(OwnerWritable(paths.ModelPath(".oculta.mdb"))) << "a hidden model is not found, so left alone";
  EXPECT_TRUE(OwnerWritable(paths.IndexCatalog()));
  EXPECT_EQ(main.List7.Items(), start.List1.Items());
  EXPECT_EQ(main.Dir1.Path(), inst.data);

  // Activating again lists the models a second time; the old list is redone.
  start.Form_Activate();
  EXPECT_EQ(main.List7.ListCount(), 6);
  EXPECT_EQ(start.List1.ListCount(), 6);
}

TEST(StartUp, MissingCatalogueEndsStartUpWithoutShowingTheWindow) {
  for (const char* missing : {"consulta.mdb", "indices.mdb", "relacion.mdb"}) {
    Installation inst;
    Paths paths(inst.home);
    fs::remove(paths.CatalogPath(missing));
    Actualiz main(paths, inst.data);
    Inicial start(main);
    bool shown = false;
    start.ShowMain = [&] { shown = true; };
    try {
      start.Form_Activate();
      ADD_FAILURE() << missing;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), err::kFileMissing) << missing;
      EXPECT_NE(e.Text().find(missing), std::string::npos) << e.Text();
    }
    EXPECT_FALSE(shown) << missing;
  }
}

TEST(StartUp, CataloguesOpenWithTheWholeTable) {
  Installation inst;
  Actualiz main{Paths(inst.home), inst.data};
  for (DataControl* data : {&main.Data3, &main.Data4, &main.Data5}) {
    ASSERT_TRUE(data->HasRecordset()) << data->Caption();
    EXPECT_TRUE(data->Recordset().Eof()) << data->Caption();
    EXPECT_EQ(data->Connect(), "Access");
  }
  EXPECT_EQ(main.Data5.Caption(), "Data1");
  EXPECT_TRUE(main.Data5.Visible());
  EXPECT_FALSE(main.Data3.Visible());
  EXPECT_EQ(main.Data3.RecordSource(), "indices");
  EXPECT_EQ(main.Data4.RecordSource(), "relacion");
  EXPECT_EQ(main.Data5.RecordSource(), "consulta");
  EXPECT_EQ(main.Data2.RecordSource(), "Empleados");
}

TEST(Browsing, FolderChangeListsDatabasesOnly) {
  Installation inst;
  for (const char* name : {"vieja.mdb", "OTRA.MDB", "x.Mdb", "leeme.txt", "vieja.mdb-wal"})
    WriteBytes(inst.data + "/" + name, "x");
  WriteBytes(inst.data + "/.escondida.mdb", "x");
  fs::create_directory(inst.data + "/sub.mdb");
  fs::create_directory(inst.data + "/otra");
  Actualiz main{Paths(inst.home), inst.data};
  main.List6.AddItem("antes");
  main.Dir1.SetPath(inst.data);
  EXPECT_EQ(main.List6.Items(), (std::vector<std::string>{"OTRA.MDB", "sub.mdb", "vieja.mdb", "x.Mdb"}));
  EXPECT_EQ(main.Dir1.SubFolders(), (std::vector<std::string>{"otra", "sub.mdb"}));
  main.Dir1.SetPath(inst.data + "/otra");
  EXPECT_TRUE(main.List6.Items().empty()) << "an empty folder empties the list";
  try {
    main.Dir1.SetPath(inst.data + "/no existe");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kPathNotFound);
  }
  EXPECT_EQ(main.Dir1.Path(), inst.data + "/otra") << "a refused path changes nothing";
}

TEST(Browsing, DefaultDataFolderFallsBackToTheRoot) {
  Installation inst;
  Actualiz main{Paths(inst.home)};
  main.Form_Activate();
  std::error_code ec;
  if (fs::is_directory(Paths::DefaultDataFolder(), ec))
    EXPECT_EQ(main.Dir1.Path(), Paths::DefaultDataFolder());
  else
    EXPECT_EQ(main.Dir1.Path(), Paths::FallbackDataFolder());
  main.Drive1.SetDrive("/");
  main.Drive1_Change();
  EXPECT_EQ(main.Dir1.Path(), "/");
  EXPECT_EQ(Paths::Join("/", "vieja.mdb"), "/vieja.mdb") << "no doubled separator at a root";
  EXPECT_EQ(Paths::Join("/datos", "vieja.mdb"), "/datos/vieja.mdb");
}

TEST(Buttons, EveryButtonHasItsCaptionAndTheEmptyOnesChangeNothing) {
  Installation inst;
  Actualiz main{Paths(inst.home), inst.data};
  const std::map<int, std::string> captions = {
      {1, "SEL"}, {2, "Lista de Campos"}, {3, "Llenar DBGRID"}, {4, "Añadir Campo"}, {5, "Borrar Campos"},
      {6, "Lista de Tablas"}, {7, "SELECCIONAR"}, {8, "Igualar BBDD"}, {9, "Crear Tabla"},
      {10, "Lista Campos Origen"}, {11, "Lista Campos Destino"}, {12, "Recorrer Tablas"}, {13, "Transformar"},
      {14, "Salir"}, {15, "Bases Añadir"}, {16, "Copia los indices"}, {17, "Lista de Indices Destino"},
      {18, "Borra los indices"}, {19, "Lista de Indices Modelo"}, {20, "Borrar Relacion"}, {21, "Crea Relacion"},
      {22, "Lista Relaciones"}, {23, "Iguala Consultas"}, {24, "Lista de Consultas"}};
  for (auto& [n, caption] : captions) {
    EXPECT_EQ(main.Command[n].Caption(), caption) << n;
    EXPECT_EQ(main.Command[n].Operation(), "Command" + std::to_string(n) + "_Click");
  }
  EXPECT_FALSE(main.Command[12].Visible());
  EXPECT_EQ(main.Text3.Text(), "c:\\Quenbrax\\modelos\\mobe.mdb");
  EXPECT_EQ(main.Text4.Text(), "c:\\quenbrax\\viejas\\mobe.mdb");
  for (int n : {1, 7, 9}) EXPECT_FALSE(main.Press(n).has_value()) << n;
  EXPECT_EQ(main.Text3.Text(), "c:\\Quenbrax\\modelos\\mobe.mdb");
  EXPECT_TRUE(main.Journal.Empty());
  bool ended = false;
  main.EndProgram = [&] { ended = true; };
  main.Press(14);
  EXPECT_TRUE(ended);
}

TEST(Buttons, AnErrorReachingAButtonIsReturnedAndJournaled) {
  Installation inst;
  Actualiz main{Paths(inst.home), inst.data};
  main.Text3.SetText(inst.dir / "no-existe.mdb");
  main.Text4.SetText(inst.dir / "tampoco.mdb");
  auto error = main.Press(11);  // lists the old table: handles no errors
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), err::kFileNotFound);
  ASSERT_EQ(main.Journal.Entries().size(), 1u);
  EXPECT_EQ(main.Journal.Entries()[0].operation, "Command11_Click");
  EXPECT_EQ(main.Journal.Entries()[0].number, err::kFileNotFound);
  EXPECT_FALSE(main.Press(1).has_value()) << "the window goes on";
}

TEST(Controls, ListsKeepOrderAndSelection) {
  ListBox list;
  EXPECT_EQ(list.Text(), "");
  list.AddItem("b");
  list.AddItem("a");
  list.AddItem("b");
  EXPECT_EQ(list.ListCount(), 3);
  list.SetListIndex(2);
  EXPECT_EQ(list.Text(), "b");
  list.RemoveItem(0);
  EXPECT_EQ(list.ListIndex(), 1) << "the selection follows its entry";
  EXPECT_EQ(list.Text(), "b");
  try {
    list.SetListIndex(5);
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kInvalidPropertyIndex);
  }
  list.Clear();
  EXPECT_EQ(list.ListIndex(), -1);
  ProgressBar bar;
  bar.SetValue(5);
  bar.SetMax(3);  // a maximum below the value is accepted
  EXPECT_EQ(bar.Max(), 3.0f);
  ControlArray<ListBox> lists;
  lists.Add(0);
  lists.Add(3);
  EXPECT_THROW(lists[2], Error);
}

}  // namespace
}  // namespace brenquil
