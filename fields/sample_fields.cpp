#include "fields/sample_fields.h"

#include <memory>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"

namespace brenquil {

namespace {

constexpr const char* kSampleTable = "Empleados";
// The closing blank of the first sentence is part of the message.
constexpr const char* kNotUpdatable =
    "¡TableDef no se puede actualizar! No se puede terminar la tarea.";

struct SampleField {
  const char* name;
  short type;
  short size;
};

// Appended in this order and deleted in the same order.
constexpr SampleField kSampleFields[] = {
    {"Correo", dbText, 50},
    {"Http", dbText, 80},
    {"Cuota", dbInteger, 5},
};

// The sample database for one operation. Close ends the use on the way out;
// when an error leaves early, dropping the last reference releases the file.
class SampleDatabase {
 public:
  explicit SampleDatabase(const Actualiz& window)
      : path_(window.Installation().SampleDatabase()),
        database_(DBEngine::Instance().OpenDatabase(path_)),
        table_(database_->TableDefs()[kSampleTable]) {}

  const std::string& Path() const { return path_; }
  TableDef& Table() { return *table_; }
  void Close() {
    table_.reset();
    database_->Close();
  }

 private:
  std::string path_;
  std::shared_ptr<Database> database_;
  std::shared_ptr<TableDef> table_;
};

// AnexarEliminarCampo; true when the engine accepted a change.
bool ChangeField(Actualiz& window, TableDef& table, const std::string& command,
                 const std::string& name, short type, short size) {
  if (!table.Updatable()) {
    // The message box is the operator's; the journal keeps the refusal for
    // the command line, which shows no message boxes.
    JournalError(window, "AnexarEliminarCampo",
                 Error(err::kReadOnly, std::string(kNotUpdatable) + " ('" + table.Name() + "')"));
    if (window.MsgBox) window.MsgBox(kNotUpdatable, Actualiz::kTitle);
    return false;
  }
  if (command == "APPEND") {
    auto field = table.CreateField(name, type, size);
    if (type == dbText || type == dbMemo) field->SetAllowZeroLength(true);
    table.Fields().Append(field);
    return true;
  }
  if (command == "DELETE") {
    table.Fields().Delete(name);
    return true;
  }
  return false;
}

}  // namespace

void AppendOrDeleteField(Actualiz& window, TableDef& table, const std::string& command,
                         const std::string& name, short type, short size) {
  ChangeField(window, table, command, name, type, size);
}

void AppendSampleFields(Actualiz& window) {
  SampleDatabase sample(window);
  for (const auto& field : kSampleFields) {
    if (ChangeField(window, sample.Table(), "APPEND", field.name, field.type, field.size))
      window.Report.FieldAdded(sample.Path(), "", kSampleTable, field.name);
  }
  ReloadSampleData(window);
  sample.Close();
}

void DeleteSampleFields(Actualiz& window) {
  // Data2 may be showing the columns about to go. It is reloaded afterwards,
  // whether or not every field went, so it never shows a column that is gone.
  const bool showing = window.Data2.HasRecordset();
  auto reload = [&] {
    if (showing) ReloadSampleData(window);
  };
  try {
    SampleDatabase sample(window);
    for (const auto& field : kSampleFields)
      ChangeField(window, sample.Table(), "DELETE", field.name, 0, 0);
    sample.Close();
  } catch (const Error&) {
    // The deletion's error is the one the operator sees; a failed reload on
    // top of it still reaches the journal.
    RunStep(window, "Command5_Click", reload);
    throw;
  }
  reload();
}

void ReloadSampleData(Actualiz& window) {
  window.Data2.SetDatabaseName(window.Installation().SampleDatabase());
  window.Data2.Refresh();
}

}  // namespace brenquil
