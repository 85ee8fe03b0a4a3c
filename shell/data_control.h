// A data control: a database name and a record source, and the record set they
// give after Refresh, whose current row is shown in the bound text boxes.
// Saving a new row (AddNew, set the boxes' texts, Update) stores the boxes'
// texts. Owned by its window; it keeps its database open while it has a
// record set.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/database.h"
#include "shell/controls.h"

namespace brenquil {

class DataControl;

// The record set as the window's operations see it: the engine's record set
// plus the bound text boxes kept on the current row.
class DataRecordset {
 public:
  explicit DataRecordset(DataControl& owner) : owner_(owner) {}
  bool Eof() const;
  bool Bof() const;
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  long RecordCount() const;
  void Delete();
  // Begins a new row and empties the bound boxes.
  void AddNew();
  // Stores the bound boxes' texts into the row begun by AddNew.
  void Update();
  Collection<Field>& Fields();
  Recordset& Engine() const;

 private:
  DataControl& owner_;
};

class DataControl : public Control {
 public:
  DataControl(std::string caption, std::string database_name, std::string record_source);

  const std::string& Caption() const { return caption_; }
  const std::string& Connect() const { return connect_; }
  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(const std::string& path) { database_name_ = path; }
  const std::string& RecordSource() const { return record_source_; }
  void SetRecordSource(const std::string& source) { record_source_ = source; }
  // The data control's ReadOnly: Refresh opens the database for reading only
  // (see DBEngine::OpenDatabase).
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

  // Opens the database and runs the record source. On failure the control
  // keeps no record set and the error passes on.
  void Refresh();
  bool HasRecordset() const { return recordset_ != nullptr; }
  // Error 91 when Refresh has not succeeded.
  DataRecordset& Recordset();
  // Binds `box` to `column`: it shows that column of the current row.
  void Bind(TextBox& box, std::string column);
  // Releases the record set and the database.
  void Close();

  // Used by DataRecordset.
  brenquil::Recordset& EngineRecordset();
  void ShowCurrentRow();
  void StoreBoundBoxes();
  void ClearBoundBoxes();

 private:
  struct Binding {
    TextBox* box;
    std::string column;
  };
  std::string caption_;
  std::string connect_ = "Access";
  std::string database_name_;
  std::string record_source_;
  bool read_only_ = false;
  std::shared_ptr<Database> database_;
  std::unique_ptr<brenquil::Recordset> recordset_;
  DataRecordset facade_{*this};
  std::vector<Binding> bindings_;
  // The column of each binding in the record set `columns_of_` (-1: it has
  // none), looked up once per record set.
  const std::vector<int>& BoundColumns();
  std::vector<int> columns_;
  const brenquil::Recordset* columns_of_ = nullptr;
};

}  // namespace brenquil
