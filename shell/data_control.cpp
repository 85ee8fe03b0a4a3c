#include "shell/data_control.h"

#include "engine/dbengine.h"

namespace brenquil {

DataControl::DataControl(std::string caption, std::string database_name,
                         std::string record_source)
    : caption_(std::move(caption)),
      database_name_(std::move(database_name)),
      record_source_(std::move(record_source)) {}

void DataControl::Refresh() {
  // The new record set is made before the old one goes, so a refresh of the
  // same file keeps its connection; on failure the control has none.
  std::unique_ptr<brenquil::Recordset> old = std::move(recordset_);
  std::shared_ptr<Database> old_db = std::move(database_);
  columns_of_ = nullptr;
  try {
    if (database_name_.empty())
      throw MakeError(err::kFileNotFound, "'' (" + caption_ + " sin base de datos)");
    auto db = DBEngine::Instance().OpenDatabase(database_name_, read_only_);
    auto rs = db->OpenRecordset(record_source_);
    database_ = std::move(db);
    recordset_ = std::move(rs);
  } catch (...) {
    old.reset();
    old_db.reset();
    ShowCurrentRow();
    Notify();
    throw;
  }
  ShowCurrentRow();
  Notify();
}

DataRecordset& DataControl::Recordset() {
  if (!recordset_)
    throw MakeError(err::kObjectNotSet, caption_ + " no tiene conjunto de registros");
  return facade_;
}

brenquil::Recordset& DataControl::EngineRecordset() {
  if (!recordset_)
    throw MakeError(err::kObjectNotSet, caption_ + " no tiene conjunto de registros");
  return *recordset_;
}

void DataControl::Bind(TextBox& box, std::string column) {
  bindings_.push_back(Binding{&box, std::move(column)});
  columns_of_ = nullptr;
}

const std::vector<int>& DataControl::BoundColumns() {
  if (columns_of_ != recordset_.get() || columns_.size() != bindings_.size()) {
    columns_.clear();
    for (const auto& b : bindings_) columns_.push_back(recordset_ ? recordset_->ColumnIndex(b.column) : -1);
    columns_of_ = recordset_.get();
  }
  return columns_;
}

void DataControl::Close() {
  recordset_.reset();
  database_.reset();
  columns_of_ = nullptr;
  ShowCurrentRow();
  Notify();
}

void DataControl::ShowCurrentRow() {
  // Without a bound box nothing shows the row: none is read for it.
  if (bindings_.empty()) return;
  bool current = recordset_ && !recordset_->Eof() && !recordset_->Bof();
  // A box's observer may refresh this control while the row is shown: the
  // refresh has then shown its own row, and this one stops.
  const brenquil::Recordset* shown = recordset_.get();
  const std::vector<int> columns = BoundColumns();
  for (size_t i = 0; i < bindings_.size() && recordset_.get() == shown; ++i) {
    std::string text;
    // A column the record source does not have shows nothing.
    if (current && columns[i] >= 0) {
      try {
        text = recordset_->Value(columns[i]).value_or("");
      } catch (const Error&) {
        // The row is gone: nothing to show.
      }
    }
    TextBox& box = *bindings_[i].box;
    if (box.Text() != text) box.SetText(text);
  }
}

void DataControl::StoreBoundBoxes() {
  brenquil::Recordset& rows = EngineRecordset();
  const std::vector<int>& columns = BoundColumns();
  for (size_t i = 0; i < bindings_.size(); ++i) {
    if (columns[i] < 0)
      rows.SetValue(bindings_[i].column, bindings_[i].box->Text());  // refused, naming the column
    else
      rows.SetValue(columns[i], bindings_[i].box->Text());
  }
}

void DataControl::ClearBoundBoxes() {
  for (auto& b : bindings_)
    if (!b.box->Text().empty()) b.box->SetText("");
}

bool DataRecordset::Eof() const { return owner_.EngineRecordset().Eof(); }
bool DataRecordset::Bof() const { return owner_.EngineRecordset().Bof(); }
long DataRecordset::RecordCount() const { return owner_.EngineRecordset().RecordCount(); }
Recordset& DataRecordset::Engine() const { return owner_.EngineRecordset(); }
Collection<Field>& DataRecordset::Fields() { return owner_.EngineRecordset().Fields(); }

void DataRecordset::MoveFirst() {
  owner_.EngineRecordset().MoveFirst();
  owner_.ShowCurrentRow();
}
void DataRecordset::MoveLast() {
  owner_.EngineRecordset().MoveLast();
  owner_.ShowCurrentRow();
}
void DataRecordset::MoveNext() {
  owner_.EngineRecordset().MoveNext();
  owner_.ShowCurrentRow();
}
void DataRecordset::MovePrevious() {
  owner_.EngineRecordset().MovePrevious();
  owner_.ShowCurrentRow();
}
void DataRecordset::Delete() {
  // The deleted row stays current (and shown) until the next move.
  owner_.EngineRecordset().Delete();
}
void DataRecordset::AddNew() {
  owner_.EngineRecordset().AddNew();
  owner_.ClearBoundBoxes();
}
void DataRecordset::Update() {
  owner_.StoreBoundBoxes();
  owner_.EngineRecordset().Update();
  owner_.ShowCurrentRow();
}

}  // namespace brenquil
