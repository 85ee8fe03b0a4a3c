#include "shell/actualiz.h"

#include <algorithm>

#include "engine/dbengine.h"
#include "fields/field_listing.h"
#include "fields/field_reconciliation.h"
#include "fields/sample_fields.h"
#include "indexes/index_catalogue.h"
#include "indexes/index_copy.h"
#include "indexes/index_deletion.h"
#include "queries/query_catalogue.h"
#include "queries/query_equalisation.h"
#include "relations/relation_catalogue.h"
#include "relations/relation_creation.h"
#include "relations/relation_deletion.h"
#include "shell/ignore_errors.h"
#include "shell/new_databases.h"
#include "shell/transformation.h"
#include "tables/table_equalisation.h"
#include "tables/table_listing.h"

namespace brenquil {

namespace {
struct ButtonSpec {
  int number;
  const char* caption;
  void (Actualiz::*operation)();
};

// Every button of the window: number, caption, operation.
constexpr ButtonSpec kButtons[] = {
    {1, "SEL", &Actualiz::Command1_Click},
    {2, "Lista de Campos", &Actualiz::Command2_Click},
    {3, "Llenar DBGRID", &Actualiz::Command3_Click},
    {4, "Añadir Campo", &Actualiz::Command4_Click},
    {5, "Borrar Campos", &Actualiz::Command5_Click},
    {6, "Lista de Tablas", &Actualiz::Command6_Click},
    {7, "SELECCIONAR", &Actualiz::Command7_Click},
    {8, "Igualar BBDD", &Actualiz::Command8_Click},
    {9, "Crear Tabla", &Actualiz::Command9_Click},
    {10, "Lista Campos Origen", &Actualiz::Command10_Click},
    {11, "Lista Campos Destino", &Actualiz::Command11_Click},
    {12, "Recorrer Tablas", &Actualiz::Command12_Click},
    {13, "Transformar", &Actualiz::Command13_Click},
    {14, "Salir", &Actualiz::Command14_Click},
    {15, "Bases Añadir", &Actualiz::Command15_Click},
    {16, "Copia los indices", &Actualiz::Command16_Click},
    {17, "Lista de Indices Destino", &Actualiz::Command17_Click},
    {18, "Borra los indices", &Actualiz::Command18_Click},
    {19, "Lista de Indices Modelo", &Actualiz::Command19_Click},
    {20, "Borrar Relacion", &Actualiz::Command20_Click},
    {21, "Crea Relacion", &Actualiz::Command21_Click},
    {22, "Lista Relaciones", &Actualiz::Command22_Click},
    {23, "Iguala Consultas", &Actualiz::Command23_Click},
    {24, "Lista de Consultas", &Actualiz::Command24_Click},
};
}  // namespace

Actualiz::Actualiz(Paths paths, std::optional<std::string> data_folder)
    : Data3("Data3", paths.IndexCatalog(), "indices"),
      Data4("Data4", paths.RelationCatalog(), "relacion"),
      Data5("Data1", paths.QueryCatalog(), "consulta"),
      paths_(std::move(paths)),
      data_folder_(std::move(data_folder)) {
  Frame1.Add(0, "Base de Datos Origen");
  Frame1.Add(1, "Directorio de Datos");
  Frame2.Add(0, "Campos Base Origen");
  Frame2.Add(1, "Campos Para Añadir");
  Frame2.Add(2, "BBDD Indices");
  Frame2.Add(3, "BBDD Rel");
  Frame11.Add(0, "Relaciones Origen");
  Frame11.Add(1, "Relaciones Destno");
  Frame11.Add(2, "Consultas Destino");
  Frame11.Add(3, "Campos Consulta Modelo");
  Frame11.Add(4, "Consultas Origen");
  for (int i = 0; i <= 5; ++i) List1.Add(i);
  for (int i = 0; i <= 2; ++i) List5.Add(i);
  List9.Add(0);
  List9.Add(1);
  List11.Add(0);
  List11.Add(1);
  List11.Add(3);
  for (int i = 0; i <= 3; ++i) Text1.Add(i);
  for (int i = 0; i <= 5; ++i) Text6.Add(i);
  campocon.Add(0);
  campocon.Add(1);
  for (const auto& b : kButtons) {
    Command.Add(b.number, b.caption, "Command" + std::to_string(b.number) + "_Click");
  }
  Command[12].SetVisible(false);
  Data1.SetVisible(false);
  Data2.SetVisible(false);
  Data3.SetVisible(false);
  Data4.SetVisible(false);

  const char* index_columns[] = {"nombreind", "tabla", "campo", "unico"};
  for (int i = 0; i < 4; ++i) Data3.Bind(Text1[i], index_columns[i]);
  const char* relation_columns[] = {"nombrerel", "tabla", "tablafor", "atributos", "campo", "campofor"};
  for (int i = 0; i < 6; ++i) Data4.Bind(Text6[i], relation_columns[i]);
  Data5.Bind(campocon[0], "nombrecon");
  Data5.Bind(campocon[1], "consulta");

  // The catalogues open with the whole table when the window is made. A
  // missing catalogue is reported by the start-up form, which then does not
  // show this window; here it only leaves its data control closed.
  for (DataControl* data : {&Data3, &Data4, &Data5}) {
    try {
      data->Refresh();
    } catch (const Error&) {
    }
  }

  Dir1.OnChange([this] { Dir1_Change(); });
}

Actualiz::~Actualiz() {
  for (DataControl* data : {&Data1, &Data2, &Data3, &Data4, &Data5}) data->Close();
  DBEngine::Instance().CloseIdle();
}

void Actualiz::SetMousePointer(int pointer) {
  mouse_pointer_ = pointer;
  if (pointer_observer_) pointer_observer_(pointer);
}

void Actualiz::AppendX() { AppendSampleFields(*this); }

void Actualiz::AnexarEliminarCampo(TableDef& tdfTemp, const std::string& strComando,
                                   const std::string& strNombre, short TIPO, short size) {
  AppendOrDeleteField(*this, tdfTemp, strComando, strNombre, TIPO, size);
}

// The three buttons beside the path boxes and "Crear Tabla" have no action.
void Actualiz::Command1_Click() {}
void Actualiz::Command7_Click() {}
void Actualiz::Command9_Click() {}

void Actualiz::Command10_Click() {
  Track("Command10_Click", [&] { ListModelFields(*this); });
}
void Actualiz::Command11_Click() {
  Track("Command11_Click", [&] { ListOldFields(*this); });
}
void Actualiz::Command12_Click() {
  Track("Command12_Click", [&] { ReconcileFields(*this); });
}
void Actualiz::Command13_Click() {
  Track("Command13_Click", [&] { Transform(*this); });
}
void Actualiz::Command14_Click() {
  if (EndProgram) EndProgram();
}
void Actualiz::Command15_Click() {
  Track("Command15_Click", [&] { ListNewDatabases(*this); });
}
void Actualiz::Command16_Click() {
  Track("Command16_Click", [&] { CopyIndexes(*this); });
}
void Actualiz::Command17_Click() {
  Track("Command17_Click", [&] { ListOldIndexes(*this); });
}
void Actualiz::Command18_Click() {
  Track("Command18_Click", [&] { DeleteIndexes(*this); });
}
void Actualiz::Command19_Click() {
  Track("Command19_Click", [&] { ListModelIndexes(*this); });
}
void Actualiz::Command2_Click() {
  Track("Command2_Click", [&] { ListNewTableFields(*this); });
}
void Actualiz::Command20_Click() {
  Track("Command20_Click", [&] { DeleteRelations(*this); });
}
void Actualiz::Command21_Click() {
  Track("Command21_Click", [&] { CreateRelations(*this); });
}
void Actualiz::Command22_Click() {
  Track("Command22_Click", [&] { ListRelations(*this); });
}
void Actualiz::Command23_Click() {
  Track("Command23_Click", [&] { EqualiseQueries(*this); });
}
void Actualiz::Command24_Click() {
  Track("Command24_Click", [&] { ListQueries(*this); });
}
void Actualiz::Command3_Click() {
  Track("Command3_Click", [&] { ReloadSampleData(*this); });
}
void Actualiz::Command4_Click() {
  Track("Command4_Click", [&] { AppendX(); });
}
void Actualiz::Command5_Click() {
  Track("Command5_Click", [&] { DeleteSampleFields(*this); });
}
void Actualiz::Command6_Click() {
  Track("Command6_Click", [&] { ListTables(*this); });
}
void Actualiz::Command8_Click() {
  Track("Command8_Click", [&] { EqualiseTables(*this); });
}

void Actualiz::Dir1_Change() {
  std::string folder = Dir1.Path();
  auto names = SearchDatabases(folder);
  List6.Clear();
  for (const auto& name : names) List6.AddItem(name);
}

void Actualiz::Drive1_Change() { Dir1.SetPath(Drive1.Drive()); }

void Actualiz::Form_Activate() {
  // An activation in the middle of a run would list the models again and
  // point Dir1 elsewhere under the run's feet.
  if (busy_) return;
  // The model list is not cleared: a second activation lists the models again.
  for (const auto& name : SearchDatabases(paths_.ModelsFolder())) List7.AddItem(name);
  if (data_folder_) {
    // A folder the operator named is never replaced by another: the window
    // says it is missing and waits for the operator to pick one.
    try {
      Dir1.SetPath(Paths::CheckedDataFolder(data_folder_));
    } catch (const Error& error) {
      data_folder_problem_ = error;
    }
    return;
  }
  try {
    Dir1.SetPath(Paths::DefaultDataFolder());
  } catch (const Error&) {
    // The root is shown, but a run into it asks the operator first.
    Dir1.SetPath(Paths::FallbackDataFolder());
  }
}

std::optional<Error> Actualiz::TakeDataFolderProblem() {
  std::optional<Error> problem;
  problem.swap(data_folder_problem_);
  return problem;
}

void Actualiz::List6_Click() {
  const std::string name = List6.Text();
  if (name.empty()) return;
  const auto& models = List7.Items();
  if (std::find(models.begin(), models.end(), name) == models.end()) return;
  Text3.SetText(paths_.ModelPath(name));
  Text4.SetText(Paths::Join(Dir1.Path(), name));
}

void Actualiz::Track(const char* operation, const std::function<void()>& body) {
  std::string previous = current_operation_;
  SetOperation(operation);
  try {
    body();
  } catch (...) {
    SetOperation(std::move(previous));
    throw;
  }
  SetOperation(std::move(previous));
}

void Actualiz::SetOperation(std::string operation) {
  if (operation == current_operation_) return;
  current_operation_ = std::move(operation);
  for (auto& o : operation_observers_) o();
}

void Actualiz::SetBusy(bool busy) {
  busy_ = busy;
  for (auto& o : busy_observers_) o(busy);
}

std::optional<Error> Actualiz::EndBatch(const std::string& operation) {
  try {
    DBEngine::Instance().EndBatch();
    return std::nullopt;
  } catch (const Error& error) {
    JournalError(*this, operation, error);
    return error;
  }
}

std::optional<Error> Actualiz::RunBatch(const std::string& name, bool plan,
                                        void (Actualiz::*operation)()) {
  if (busy_) return std::nullopt;
  stop_requested_ = false;
  // A plan is reported on its own, and what it said never mixes with the
  // operation after it: both start with an empty journal and report.
  if (plan || Report.Plan()) {
    Journal.Clear();
    Report.Clear(plan);
  }
  struct BusyScope {
    Actualiz& window;
    explicit BusyScope(Actualiz& w) : window(w) { window.SetBusy(true); }
    ~BusyScope() { window.SetBusy(false); }
  } busy(*this);
  // Files the operation left open are closed when it ends, so every
  // change is in the database files themselves between operations.
  // The operation's changes reach each file in one transaction.
  DBEngine::Instance().BeginBatch(plan);
  std::optional<Error> failed;
  try {
    (this->*operation)();
  } catch (const Error& error) {
    EndBatch(name);
    // The driver journals what fails within a pair itself: what reaches here
    // failed the run as a whole, not the pair the boxes show from before.
    if (operation == &Actualiz::Command13_Click)
      JournalRunError(*this, name, error);
    else
      JournalError(*this, name, error);
    failed = error;
  }
  if (!failed) failed = EndBatch(name);
  // The run copied models into the data folder: listing it again shows
  // them as old databases, so the next run does not try to copy them again.
  if (operation == &Actualiz::Command13_Click && !plan && !Dir1.Path().empty()) {
    try {
      Dir1_Change();
    } catch (const Error& error) {
      JournalError(*this, "Dir1_Change", error);
      if (!failed) failed = error;
    }
  }
  return failed;
}

std::optional<Error> Actualiz::Press(int number) {
  for (const auto& b : kButtons)
    if (b.number == number) return RunBatch(Command[number].Operation(), false, b.operation);
  return MakeError(err::kNoSuchControl, "Command" + std::to_string(number));
}

std::optional<Error> Actualiz::Preview() {
  // Planning under a run would change what the run does midway.
  if (busy_) return std::nullopt;
  struct Planning {
    bool& flag;
    explicit Planning(bool& f) : flag(f) { flag = true; }
    ~Planning() { flag = false; }
  };
  std::optional<Error> error;
  {
    Planning planning(planning_);
    error = RunBatch(Command[13].Operation(), true, &Actualiz::Command13_Click);
  }
  // The rows the plan wrote into the catalogues were taken back with it.
  for (DataControl* data : {&Data3, &Data4, &Data5}) {
    if (!data->HasRecordset()) continue;
    try {
      data->Refresh();
    } catch (const Error&) {
    }
  }
  return error;
}

}  // namespace brenquil
