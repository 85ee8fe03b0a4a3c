// Start here for the program. Actualiz is the main window's state: every
// control the steps share, and the operations (buttons, events, procedures)
// by their window names. The operations exchange data only through these
// controls; each delegates to its step's folder. No Qt: the desktop window
// and the command line both drive this object.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/tabledef.h"
#include "shell/controls.h"
#include "shell/data_control.h"
#include "shell/error_journal.h"
#include "shell/paths.h"
#include "shell/run_report.h"
#include "shell/run_sharing.h"

namespace brenquil {

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

class Actualiz {
 public:
  // `paths` gives the home folder; `data_folder`, when set, replaces the
  // default data folder that activation points the folder list at.
  explicit Actualiz(Paths paths, std::optional<std::string> data_folder = {});
  // Closing the window closes every file its controls hold.
  ~Actualiz();
  Actualiz(const Actualiz&) = delete;
  Actualiz& operator=(const Actualiz&) = delete;

  static constexpr const char* kCaption = "Transformación Bases de Datos según Modelo";
  static constexpr const char* kTitle = "Actualiza";  // the program's title

  const Paths& Installation() const { return paths_; }

  // ---- Database selection
  DriveList Drive1;
  DirList Dir1;
  Frame Frame7{"Bases Viejas"};
  ListBox List6;
  Frame Frame8{"Bases Modelo"};
  ListBox List7;
  Frame Frame10{"Bases Añadir"};
  ListBox List8;
  ControlArray<Frame> Frame1;  // [0] "Base de Datos Origen", [1] "Directorio de Datos"
  TextBox Text3{"c:\\Quenbrax\\modelos\\mobe.mdb"};
  TextBox Text4{"c:\\quenbrax\\viejas\\mobe.mdb"};
  TextBox Text5;
  TextBox Text2;

  // ---- Tables and fields
  Frame Frame4{"Tablas Origen"};
  ListBox List2;
  Frame Frame5{"Tablas Destino"};
  ListBox List3;
  Frame Frame6{"Añadir Nueva"};
  ListBox List4;
  // [0] "Campos Base Origen", [1] "Campos Para Añadir", [2] "BBDD Indices", [3] "BBDD Rel"
  ControlArray<Frame> Frame2;
  ControlArray<ListBox> List1;  // [0..2] model fields, [3..5] fields to add
  Frame Frame3{"Campos Base Destino"};
  ControlArray<ListBox> List5;  // [0..2] old fields
  Frame Frame12{"Tablas Origen"};
  ListBox List10;

  // ---- Relations and queries
  // [0] "Relaciones Origen", [1] "Relaciones Destno", [2] "Consultas Destino",
  // [3] "Campos Consulta Modelo", [4] "Consultas Origen"
  ControlArray<Frame> Frame11;
  ControlArray<ListBox> List9;   // [0] model relations, [1] old relations
  ControlArray<ListBox> List11;  // [0], [1] old queries, [3]; no element 2

  // ---- Catalogue text boxes
  ControlArray<TextBox> Text1;     // nombreind, tabla, campo, unico
  ControlArray<TextBox> Text6;     // nombrerel, tabla, tablafor, atributos, campo, campofor
  ControlArray<TextBox> campocon;  // nombrecon, consulta

  // ---- Data controls
  DataControl Data1{"Data1", "", ""};
  DataControl Data2{"Data2", "", "Empleados"};
  DataControl Data3;
  DataControl Data4;
  DataControl Data5;

  // ---- Progress and status
  Frame Frame9{"Estado Transformación"};
  Frame Frame13;
  ProgressBar Bar1, Bar2, Bar3, Bar4, Bar5, Bar6;
  Label Label1{"Bases:"}, Label2{"Tablas:"}, Label3{"Campos:"};
  Label Label6{"Indices:"}, Label7{"Relac.:"}, Label8{"Consul.:"};
  Label Label4;

  // ---- Buttons
  ControlArray<CommandButton> Command;  // Command[1] .. Command[24]

  // ---- Mouse pointer (0 default, 11 hourglass)
  int MousePointer() const { return mouse_pointer_; }
  void SetMousePointer(int pointer);
  void OnMousePointer(std::function<void(int)> observer) { pointer_observer_ = std::move(observer); }

  // ---- What the front ends show besides the controls
  ErrorJournal Journal;
  RunReport Report;
  // "Copia de seguridad": the folder that receives a copy of each old
  // database just before "Transformar" first changes it (see RunBackups);
  // empty, none.
  std::string BackupFolder;
  // How "Transformar" shares its old databases among processes; by default
  // it runs them all itself.
  RunSharing Sharing;
  // Shows a message with an OK button and a title; set by the front end.
  std::function<void(const std::string& text, const std::string& title)> MsgBox;
  // Ends the program ("Salir"); set by the front end.
  std::function<void()> EndProgram;

  // ---- Operations, in the window's order
  void AppendX();
  void AnexarEliminarCampo(TableDef& tdfTemp, const std::string& strComando,
                           const std::string& strNombre, short TIPO, short size);
  void Command1_Click();
  void Command10_Click();
  void Command11_Click();
  void Command12_Click();
  void Command13_Click();
  void Command14_Click();
  void Command15_Click();
  void Command16_Click();
  void Command17_Click();
  void Command18_Click();
  void Command19_Click();
  void Command2_Click();
  void Command20_Click();
  void Command21_Click();
  void Command22_Click();
  void Command23_Click();
  void Command24_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();
  void Command8_Click();
  void Command9_Click();
  void Dir1_Change();
  void Drive1_Change();
  void Form_Activate();

  // Selecting an old database by hand: when "Bases Modelo" lists its
  // namesake, Text3 and Text4 take the pair's full paths, as a run sets them.
  void List6_Click();

  // Runs the operation of button `number` as the operator's press does: an
  // error that reaches the operation is journaled and returned, and the
  // window goes on. The journal and the report keep what earlier operations
  // put there, unless the last one was a plan. After "Transformar"
  // the data folder is listed again, so the copies show in List6. A press
  // while another operation runs is dropped: nothing runs, nullopt.
  std::optional<Error> Press(int number);
  // "Previsualizar": runs "Transformar" as a plan, as a press does. The
  // journal and the report start empty; every step runs on the real files
  // and the report (Plan() true) and journal fill as after a run, but every
  // change is rolled back
  // (DBEngine::BeginBatch), no database is copied and no file is written;
  // the data controls show the files again afterwards. Dropped, nullopt,
  // while another operation runs.
  std::optional<Error> Preview();
  // True while a plan runs: the driver copies nothing.
  bool Planning() const { return planning_; }

  // ---- Stopping a run ("Detener")
  // Asks the operation under way to stop: the transformation stops after the
  // database in hand (each database is changed in one transaction, so none is
  // left half done) and names the databases it did not reach. Each press
  // starts with no request.
  void RequestStop() { stop_requested_ = true; }
  // True once a stop was asked for, by RequestStop or by the stop source.
  // The source is asked first: it may call RequestStop itself.
  bool StopRequested() const {
    const bool from_source = stop_source_ && stop_source_();
    return from_source || stop_requested_;
  }
  // Another place a stop can come from, asked each time the driver looks
  // between databases: the command line's signal flag, or the window, which
  // handles a click on "Detener" waiting in its queue then. Empty: none.
  void SetStopSource(std::function<bool()> source) { stop_source_ = std::move(source); }

  // The data folder given at creation that did not exist when the window was
  // activated: the error to show the operator (Error 76, naming it). The
  // folder list then stays where it was, without a data folder at first,
  // until the operator picks one. Taking it forgets it.
  std::optional<Error> TakeDataFolderProblem();

  // ---- The operation under way
  // True from the start to the end of an operation started by Press or Preview.
  bool Busy() const { return busy_; }
  // Told true when a press starts its operation and false when it has ended.
  void OnBusy(std::function<void(bool)> observer) { busy_observers_.push_back(std::move(observer)); }
  // The innermost operation running ("Command18_Click"), empty between operations.
  const std::string& CurrentOperation() const { return current_operation_; }
  // Told each time CurrentOperation changes.
  void OnOperation(std::function<void()> observer) {
    operation_observers_.push_back(std::move(observer));
  }

 private:
  // Runs `body` as `operation`, so that CurrentOperation names it meanwhile.
  void Track(const char* operation, const std::function<void()>& body);
  void SetOperation(std::string operation);
  void SetBusy(bool busy);
  // Ends the engine's batch; a commit that failed is journaled and returned.
  std::optional<Error> EndBatch(const std::string& operation);
  // Runs `operation` in one batch (a plan when `plan`), as a press does.
  std::optional<Error> RunBatch(const std::string& name, bool plan, void (Actualiz::*operation)());
  Paths paths_;
  std::optional<std::string> data_folder_;
  int mouse_pointer_ = kPointerDefault;
  bool planning_ = false;
  bool stop_requested_ = false;
  std::function<bool()> stop_source_;
  std::optional<Error> data_folder_problem_;
  std::function<void(int)> pointer_observer_;
  bool busy_ = false;
  std::vector<std::function<void(bool)>> busy_observers_;
  std::string current_operation_;
  std::vector<std::function<void()>> operation_observers_;
};

}  // namespace brenquil
