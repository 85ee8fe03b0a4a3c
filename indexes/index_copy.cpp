#include "indexes/index_copy.h"

#include <set>
#include <string>
#include <vector>

#include "indexes/index_step.h"
#include "shell/actualiz.h"
#include "shell/ignore_errors.h"

namespace brenquil {

namespace {

constexpr const char* kOperation = "Command16_Click";

struct CatalogueRow {
  std::string index;   // nombreind
  std::string field;   // campo
  std::string unique;  // unico
};

// The journal names the index and the table besides what the engine says.
Error InContext(const Error& error, const std::string& index, const std::string& table) {
  return Error(error.Number(),
               error.Text() + " (índice '" + index + "' de la tabla '" + table + "')");
}

class IndexCopy {
 public:
  explicit IndexCopy(Actualiz& window)
      : window_(window), ignore_(window, kOperation), model_(window.Text3.Text()) {}

  void Run() {
    ignore_([&] { old_ = index_step::HeldDatabase(window_.Text4.Text()); });
    const int tables = window_.List10.ListCount();
    for (int i = 0; i < tables; ++i) {
      window_.List10.SetListIndex(i);
      // Whatever fails here outside the creation of an index is the catalogue
      // itself; the operation then ends and creates nothing more.
      if (!ignore_([&] { CopyTable(window_.List10.Text()); })) break;
    }
    ignore_([&] { model_.Close(); });
    ignore_([&] { old_.Close(); });
  }

 private:
  void CopyTable(const std::string& table) {
    old_table_.reset();
    index_step::SelectCatalogueRows(window_, table);
    DataRecordset& rows = window_.Data3.Recordset();
    if (rows.Eof() && rows.Bof()) return;

    // An index over several fields is built from all its rows at its first
    // row, so the whole table's rows are read before the walk that builds.
    std::vector<CatalogueRow> catalogue;
    rows.MoveFirst();
    while (!rows.Eof()) {
      catalogue.push_back(
          {window_.Text1[0].Text(), window_.Text1[2].Text(), window_.Text1[3].Text()});
      rows.MoveNext();
    }

    rows.MoveFirst();
    rows.MoveLast();
    rows.MoveFirst();
    window_.Bar4.SetMax(static_cast<float>(rows.RecordCount()));
    window_.Bar4.SetValue(0);
    window_.Frame13.Refresh();

    std::set<std::string> offered;
    for (size_t k = 0; k < catalogue.size() && !rows.Eof(); ++k) {
      window_.Bar4.SetValue(window_.Bar4.Value() + 1);
      window_.Frame13.Refresh();
      const std::string& name = catalogue[k].index;
      // An old database that did not open has been journaled once; its rows
      // still move the bar, and nothing is offered to it.
      if (offered.insert(name).second && old_) {
        std::vector<std::string> fields;
        for (size_t r = k; r < catalogue.size(); ++r)
          if (catalogue[r].index == name) fields.push_back(catalogue[r].field);
        const bool unique = catalogue[k].unique == index_step::kUniqueText;
        ignore_([&] {
          try {
            CreateIndex(table, name, fields, unique);
          } catch (const Error& error) {
            throw InContext(error, name, table);
          }
        });
      }
      rows.MoveNext();
    }
  }

  void CreateIndex(const std::string& table_name, const std::string& name,
                   const std::vector<std::string>& fields, bool unique) {
    // The old table is looked up at its first index, not among all the
    // file's tables again for each.
    if (!old_table_) old_table_ = old_->TableDefs()[table_name];
    auto table = old_table_;
    if (auto existing = table->Indexes().Find(name)) {
      // Left in place by the deletion because it comes back the same, or
      // because the old rows refuse the model's (the deletion journaled it).
      if (model_.Keeps(table_name, *existing)) return;
      auto declared = model_.Find(table_name, name);
      try {
        if (index_step::RowsAgainst(*old_, table_name, unique, fields, declared ? declared->Declaration() : "")
                .count > 0)
          return;
      } catch (const Error&) {
        return;  // the old table cannot take the model's index either
      }
      if (model_.Failure() && !model_failure_journaled_) {
        JournalError(window_, kOperation, *model_.Failure());
        model_failure_journaled_ = true;
      }
    }
    auto index = table->CreateIndex(name);
    for (const auto& field : fields) index->Fields().Append(index->CreateField(field));
    index->SetUnique(unique);
    // The model's index arrives whole (sort, collation, WHERE, expressions,
    // the primary flag) when the catalogue rows are its fields.
    if (auto declared = model_.Find(table_name, name)) {
      std::vector<std::string> model_fields = index_step::FieldNames(*declared);
      bool same = model_fields.size() == fields.size() && declared->Unique() == unique;
      for (size_t f = 0; same && f < fields.size(); ++f) same = SameName(model_fields[f], fields[f]);
      if (same) {
        index->SetDeclaration(declared->Declaration());
        index->SetPrimary(declared->Primary());
      }
    }
    BlockingRows rows = index_step::RowsAgainst(*old_, table_name, unique, fields, index->Declaration());
    if (rows.count > 0)
      throw MakeError(err::kDuplicateValue, "las filas de la tabla '" + table_name + "' de '" + window_.Text4.Text() +
                                                "' repiten valores del índice único: " + DescribeBlockingRows(rows));
    table->Indexes().Append(index);
    window_.Report.For(window_.Text4.Text(), window_.Text3.Text())
        .indexes_created.push_back({table_name, name});
  }

  Actualiz& window_;
  IgnoreErrors ignore_;
  index_step::HeldDatabase old_;
  std::shared_ptr<TableDef> old_table_;  // the old table whose indexes are being copied
  index_step::ModelIndexes model_;
  bool model_failure_journaled_ = false;
};

}  // namespace

void CopyIndexes(Actualiz& window) { IndexCopy(window).Run(); }

}  // namespace brenquil
