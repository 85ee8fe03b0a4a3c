// The sample field procedures on the installation's Neptuno.mdb: "Añadir
// Campo", "Borrar Campos", "Llenar DBGRID" and AnexarEliminarCampo, through
// the window state.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbengine.h"
#include "shell/actualiz.h"
#include "shell/installation.h"
#include "tests/support/test_support.h"

namespace brenquil::test {
namespace {

const char* const kNotUpdatable = "¡TableDef no se puede actualizar! No se puede terminar la tarea.";

struct FieldShape {
  std::string name;
  int type;
  long size;
  bool allow_zero_length;
  bool operator==(const FieldShape&) const = default;
};

void PrintTo(const FieldShape& f, std::ostream* os) {
  *os << f.name << " type " << f.type << " size " << f.size << (f.allow_zero_length ? " azl" : "");
}

class SampleFields : public ::testing::Test {
 protected:
  SampleFields() {
    SetupInstallation(home_.Path());
    sample_ = Paths(home_.Path()).SampleDatabase();
  }

  // A window on the installation, its message boxes recorded instead of shown.
  std::unique_ptr<Actualiz> Window() {
    auto window = std::make_unique<Actualiz>(Paths(home_.Path()));
    window->MsgBox = [this](const std::string& text, const std::string& title) {
      messages_.emplace_back(title, text);
    };
    return window;
  }

  // "Empleados" as the engine sees it after the window let go of the file.
  std::vector<FieldShape> Fields() {
    auto db = DBEngine::Instance().OpenDatabase(sample_);
    std::vector<FieldShape> out;
    for (auto& f : db->TableDefs()["Empleados"]->Fields())
      out.push_back({f->Name(), f->Type(), f->Size(), f->AllowZeroLength()});
    db->Close();
    return out;
  }

  std::vector<std::vector<std::string>> Rows() {
    return RawQuery(sample_, "SELECT * FROM \"Empleados\" ORDER BY rowid");
  }

  void EngineChange(const std::function<void(TableDef&)>& change) {
    auto db = DBEngine::Instance().OpenDatabase(sample_);
    change(*db->TableDefs()["Empleados"]);
    db->Close();
  }

  TempDir home_;
  std::string sample_;
  std::vector<std::pair<std::string, std::string>> messages_;
};

std::vector<std::string> Names(const std::vector<FieldShape>& fields) {
  std::vector<std::string> out;
  for (auto& f : fields) out.push_back(f.name);
  return out;
}

std::vector<std::string> DataColumns(Actualiz& window) {
  std::vector<std::string> out;
  for (auto& f : window.Data2.Recordset().Fields()) out.push_back(f->Name());
  return out;
}

TEST_F(SampleFields, AddingAppendsTheThreeFieldsInOrderKeepingRows) {
  auto before = Fields();
  auto rows = Rows();
  ASSERT_FALSE(rows.empty()) << "the sample table should have rows";
  auto window = Window();

  EXPECT_FALSE(window->Press(4).has_value());

  auto after = Fields();
  ASSERT_EQ(after.size(), before.size() + 3);
  EXPECT_EQ(std::vector<FieldShape>(after.begin(), after.begin() + before.size()), before);
  EXPECT_EQ(after[before.size()], (FieldShape{"Correo", dbText, 50, true}));
  EXPECT_EQ(after[before.size() + 1], (FieldShape{"Http", dbText, 80, true}));
  EXPECT_EQ(after[before.size() + 2], (FieldShape{"Cuota", dbInteger, 2, false}));

  // The old rows keep their values; the new columns are empty.
  auto now = Rows();
  ASSERT_EQ(now.size(), rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::string> old_part(now[r].begin(), now[r].begin() + rows[r].size());
    EXPECT_EQ(old_part, rows[r]) << "row " << r;
    EXPECT_EQ(std::vector<std::string>(now[r].begin() + rows[r].size(), now[r].end()),
              (std::vector<std::string>{"NULL", "NULL", "NULL"}))
        << "row " << r;
  }

  // Data2 was reloaded with the new columns.
  ASSERT_TRUE(window->Data2.HasRecordset());
  EXPECT_EQ(DataColumns(*window), Names(after));
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(window->Journal.Empty());
  ASSERT_EQ(window->Report.Databases().size(), 1u);
  ASSERT_EQ(window->Report.Databases()[0].fields_added.size(), 1u);
  EXPECT_EQ(window->Report.Databases()[0].fields_added[0].second,
            (std::vector<std::string>{"Correo", "Http", "Cuota"}));
}

TEST_F(SampleFields, AddingAgainFailsOnCorreoAndChangesNothing) {
  auto window = Window();
  ASSERT_FALSE(window->Press(4).has_value());
  auto once = Fields();
  auto rows = Rows();

  auto error = window->Press(4);

  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), err::kFieldExists);
  EXPECT_NE(error->Text().find("Correo"), std::string::npos) << error->Text();
  EXPECT_EQ(Fields(), once);
  EXPECT_EQ(Rows(), rows);
  ASSERT_EQ(window->Journal.Entries().size(), 1u);
  EXPECT_EQ(window->Journal.Entries()[0].operation, "Command4_Click");
  EXPECT_EQ(window->Journal.Entries()[0].number, err::kFieldExists);
  EXPECT_EQ(window->Journal.Entries()[0].text, error->Text());
  // Nothing was added, so nothing new is reported.
  EXPECT_EQ(window->Report.Databases()[0].fields_added[0].second.size(), 3u);
}

TEST_F(SampleFields, AFailingAppendDoesNotAttemptTheFieldsAfterIt) {
  auto window = Window();
  ASSERT_FALSE(window->Press(4).has_value());
  window->Data2.Close();
  EngineChange([](TableDef& t) { t.Fields().Delete("Http"); });
  auto without_http = Fields();

  auto error = window->Press(4);

  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), err::kFieldExists);
  EXPECT_EQ(Fields(), without_http) << "Http must not be attempted after Correo failed";
  EXPECT_FALSE(window->Data2.HasRecordset()) << "Data2 is not reloaded after a failure";
}

TEST_F(SampleFields, DeletingRemovesTheThreeAndAgainFailsOnCorreo) {
  auto before = Fields();
  auto rows = Rows();
  auto window = Window();
  ASSERT_FALSE(window->Press(4).has_value());

  EXPECT_FALSE(window->Press(5).has_value());
  EXPECT_EQ(Fields(), before);
  EXPECT_EQ(Rows(), rows);

  auto error = window->Press(5);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), err::kItemNotFound);
  EXPECT_NE(error->Text().find("Correo"), std::string::npos) << error->Text();
  EXPECT_EQ(Fields(), before);
  ASSERT_EQ(window->Journal.Entries().size(), 1u);
  EXPECT_EQ(window->Journal.Entries()[0].operation, "Command5_Click");
  EXPECT_EQ(window->Journal.Entries()[0].number, err::kItemNotFound);
}

TEST_F(SampleFields, AFailingDeleteDoesNotAttemptTheFieldsAfterIt) {
  auto window = Window();
  EngineChange([](TableDef& t) { t.Fields().Append(t.CreateField("Http", dbText, 80)); });

  auto error = window->Press(5);

  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), err::kItemNotFound);
  EXPECT_EQ(Names(Fields()).back(), "Http");
}

TEST_F(SampleFields, DataShownByTheGridDoesNotBlockChangesAndFollowsThem) {
  auto before = Fields();
  auto window = Window();

  ASSERT_FALSE(window->Press(3).has_value());  // "Llenar DBGRID"
  ASSERT_TRUE(window->Data2.HasRecordset());
  EXPECT_EQ(window->Data2.DatabaseName(), sample_);
  EXPECT_EQ(DataColumns(*window), Names(before));
  window->Data2.Recordset().MoveLast();
  EXPECT_EQ(window->Data2.Recordset().RecordCount(), static_cast<long>(Rows().size()));

  ASSERT_FALSE(window->Press(4).has_value());
  EXPECT_EQ(DataColumns(*window).size(), before.size() + 3);
  ASSERT_FALSE(window->Press(5).has_value());
  ASSERT_TRUE(window->Data2.HasRecordset()) << "Borrar Campos reloads the data it closed";
  EXPECT_EQ(DataColumns(*window), Names(before));

  // A delete that fails still leaves Data2 showing the table.
  ASSERT_TRUE(window->Press(5).has_value());
  ASSERT_TRUE(window->Data2.HasRecordset());
  EXPECT_EQ(DataColumns(*window), Names(before));
}

TEST_F(SampleFields, MissingSampleDatabaseIsAnErrorAndTheWindowGoesOn) {
  std::filesystem::remove(sample_);
  auto window = Window();
  for (int button : {4, 5, 3}) {
    auto error = window->Press(button);
    ASSERT_TRUE(error.has_value()) << "button " << button;
    EXPECT_EQ(error->Number(), err::kFileNotFound) << "button " << button;
    EXPECT_NE(error->Text().find("Neptuno.mdb"), std::string::npos) << error->Text();
    EXPECT_FALSE(window->Data2.HasRecordset()) << "button " << button;
  }
  EXPECT_EQ(window->Journal.Entries().size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(sample_)) << "nothing may create the sample database";
}

TEST_F(SampleFields, WriteProtectedSampleShowsTheMessageOncePerFieldAndChangesNothing) {
  auto before = Fields();
  ASSERT_EQ(::chmod(sample_.c_str(), 0444), 0);
  auto window = Window();

  for (int button : {4, 5}) {
    messages_.clear();
    window->Journal.Clear();
    EXPECT_FALSE(window->Press(button).has_value()) << "button " << button;
    ASSERT_EQ(messages_.size(), 3u) << "button " << button;
    for (auto& [title, text] : messages_) {
      EXPECT_EQ(title, Actualiz::kTitle);
      EXPECT_EQ(text, kNotUpdatable);
    }
    // The refusals reach the journal too, for the command line: the three
    // have one cause, and the journal says it once.
    ASSERT_EQ(window->Journal.Entries().size(), 1u) << "button " << button;
    for (auto& entry : window->Journal.Entries()) {
      EXPECT_EQ(entry.number, err::kReadOnly);
      EXPECT_EQ(entry.operation, "AnexarEliminarCampo");
      EXPECT_EQ(entry.text.rfind(kNotUpdatable, 0), 0u) << entry.text;
    }
  }
  // "Añadir Campo" still reloaded Data2, as it goes on to its end.
  EXPECT_TRUE(window->Data2.HasRecordset());
  window->Data2.Close();
  EXPECT_EQ(Fields(), before);
  EXPECT_TRUE(window->Report.Databases().empty());
}

struct CommandCase {
  const char* command;
  bool adds;
};

TEST_F(SampleFields, OnlyTheExactCommandsChangeTheTable) {
  const CommandCase cases[] = {
      {"APPEND", true}, {"append", false}, {"Append", false}, {" APPEND", false},
      {"APPEND ", false}, {"", false}, {"INSERT", false},
  };
  auto window = Window();
  for (const auto& c : cases) {
    auto before = Fields();
    messages_.clear();
    EngineChange([&](TableDef& t) { window->AnexarEliminarCampo(t, c.command, "Extra", dbText, 20); });
    EXPECT_EQ(Fields().size(), before.size() + (c.adds ? 1 : 0)) << "'" << c.command << "'";
    EXPECT_TRUE(messages_.empty()) << "'" << c.command << "'";
  }
  for (const char* command : {"delete", "Delete", "DELETE "}) {
    auto before = Fields();
    EngineChange([&](TableDef& t) { window->AnexarEliminarCampo(t, command, "Extra", 0, 0); });
    EXPECT_EQ(Fields(), before) << "'" << command << "'";
  }
  EngineChange([&](TableDef& t) { window->AnexarEliminarCampo(t, "DELETE", "Extra", 0, 0); });
  auto names = Names(Fields());
  EXPECT_EQ(std::count(names.begin(), names.end(), "Extra"), 0);
  EXPECT_TRUE(window->Journal.Empty());
}

TEST_F(SampleFields, ANonUpdatableTableShowsTheMessageEvenForAnUnknownCommand) {
  ASSERT_EQ(::chmod(sample_.c_str(), 0444), 0);
  auto window = Window();
  for (const char* command : {"APPEND", "append", "DELETE", "nada"}) {
    messages_.clear();
    EngineChange([&](TableDef& t) { window->AnexarEliminarCampo(t, command, "Extra", dbText, 20); });
    ASSERT_EQ(messages_.size(), 1u) << command;
    EXPECT_EQ(messages_[0], std::make_pair(std::string(Actualiz::kTitle), std::string(kNotUpdatable)));
  }
}

struct ZeroLengthCase {
  const char* name;
  short type;
  short size;
  FieldShape stored;
};

TEST_F(SampleFields, TextAndMemoFieldsAllowZeroLengthAndOthersDoNot) {
  const ZeroLengthCase cases[] = {
      {"Texto", dbText, 20, {"Texto", dbText, 20, true}},
      {"Notas", dbMemo, 0, {"Notas", dbMemo, 0, true}},
      {"Entero", dbInteger, 5, {"Entero", dbInteger, 2, false}},
      {"Largo", dbLong, 0, {"Largo", dbLong, 4, false}},
      {"Fecha", dbDate, 0, {"Fecha", dbDate, 8, false}},
  };
  auto window = Window();
  for (const auto& c : cases) {
    EngineChange([&](TableDef& t) { window->AnexarEliminarCampo(t, "APPEND", c.name, c.type, c.size); });
    EXPECT_EQ(Fields().back(), c.stored) << c.name;
  }
}

}  // namespace
}  // namespace brenquil::test
