// Start-up of the desktop program: both windows with their captions and
// controls, and a start-up that cannot succeed.
#include <filesystem>
#include <set>

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "shell/inicial.h"
#include "tests/gui/desktop_fixture.h"

namespace brenquil::test {
namespace {

TEST_F(DesktopTest, BothWindowsOpenWithTheirCaptions) {
  auto& desktop = Start();
  EXPECT_EQ(desktop.First().windowTitle(), QString::fromUtf8("Actualiza Bases de Datos"));
  EXPECT_EQ(Main().windowTitle(), QString::fromUtf8("Transformación Bases de Datos según Modelo"));
  EXPECT_TRUE(desktop.First().isVisible()) << "the start-up form stays open behind";
  EXPECT_TRUE(Main().isVisible());

  auto* image = Child<QLabel>(desktop.First(), "Image1");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->pixmap().size(), QSize(249, 78));
  auto* models = Child<QListWidget>(desktop.First(), "List1");
  ASSERT_NE(models, nullptr);
  EXPECT_FALSE(models->isVisible()) << "the start-up form's model list is hidden";
  ASSERT_EQ(models->count(), 1);
  EXPECT_EQ(models->item(0)->text(), "Clientes.mdb");
}

TEST_F(DesktopTest, EveryButtonShowsItsCaptionAndOnlyRecorrerTablasIsHidden) {
  const char* captions[25] = {nullptr,
                              "SEL",
                              "Lista de Campos",
                              "Llenar DBGRID",
                              "Añadir Campo",
                              "Borrar Campos",
                              "Lista de Tablas",
                              "SELECCIONAR",
                              "Igualar BBDD",
                              "Crear Tabla",
                              "Lista Campos Origen",
                              "Lista Campos Destino",
                              "Recorrer Tablas",
                              "Transformar",
                              "Salir",
                              "Bases Añadir",
                              "Copia los indices",
                              "Lista de Indices Destino",
                              "Borra los indices",
                              "Lista de Indices Modelo",
                              "Borrar Relacion",
                              "Crea Relacion",
                              "Lista Relaciones",
                              "Iguala Consultas",
                              "Lista de Consultas"};
  Start();
  for (int n = 1; n <= 24; ++n) {
    auto* button = Child<QPushButton>(Main(), QStringLiteral("Command%1").arg(n));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8(captions[n])) << "Command" << n;
    EXPECT_EQ(button->isVisible(), n != 12) << "Command" << n;
  }
}

TEST_F(DesktopTest, EveryFrameShowsItsCaption) {
  Start();
  std::multiset<QString> titles;
  for (auto* box : Main().findChildren<QGroupBox*>()) titles.insert(box->title());
  const char* expected[] = {"Bases Viejas",       "Bases Modelo",       "Bases Añadir",
                            "Base de Datos Origen", "Directorio de Datos", "Tablas Origen",
                            "Tablas Destino",     "Añadir Nueva",       "Campos Base Origen",
                            "Campos Para Añadir", "Campos Base Destino", "BBDD Indices",
                            "Relaciones Origen",  "Relaciones Destno",  "BBDD Rel",
                            "Consultas Origen",   "Consultas Destino",  "Campos Consulta Modelo",
                            "Estado Transformación", "Resultados", "Errores (0)"};
  for (const char* caption : expected)
    EXPECT_EQ(titles.count(QString::fromUtf8(caption)), caption == std::string("Tablas Origen") ? 2u : 1u)
        << caption;
  // The visible data control shows "Data1" between its arrows.
  auto* data = Child<QLabel>(Main(), "Data1Caption");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->text(), "Data1");
  EXPECT_TRUE(data->isVisible());
}

TEST_F(DesktopTest, StartUpListsTheModelsAndTheDataFolder) {
  Start();
  auto* models = Child<QListWidget>(Main(), "List7");
  auto* old = Child<QListWidget>(Main(), "List6");
  ASSERT_TRUE(models && old);
  ASSERT_EQ(models->count(), 1);
  EXPECT_EQ(models->item(0)->text(), "Clientes.mdb");
  ASSERT_EQ(old->count(), 1);
  EXPECT_EQ(old->item(0)->text(), "raiz.mdb");
  EXPECT_EQ(State().Dir1.Path(), data_.Path());
}

TEST_F(DesktopTest, MissingCatalogueShowsTheErrorAndEnds) {
  std::filesystem::remove(Paths(home_.Path()).RelationCatalog());
  // What start-up raises, as the window state sees it.
  std::optional<Error> expected;
  {
    Actualiz state(Paths(home_.Path()), data_.Path());
    Inicial inicial(state);
    try {
      inicial.Form_Activate();
    } catch (const Error& error) {
      expected = error;
    }
  }
  ASSERT_TRUE(expected.has_value());

  int code = -1;
  std::unique_ptr<gui::Desktop> desktop;
  auto boxes = AnswerBoxes([&] { desktop = gui::StartDesktop(Arguments(), code); });

  EXPECT_EQ(desktop, nullptr);
  EXPECT_EQ(code, 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Actualiza");
  EXPECT_EQ(boxes[0].text, QStringLiteral("Error %1: %2")
                               .arg(expected->Number())
                               .arg(QString::fromStdString(expected->Text())));
  EXPECT_TRUE(boxes[0].text.contains("relacion.mdb")) << boxes[0].text.toStdString();
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_FALSE(w->isVisible()) << "no window stays open: " << w->objectName().toStdString();
}

struct OptionCase {
  QStringList arguments;
  int code;
  const char* shown;  // part of the message, or nullptr for none
};

TEST_F(DesktopTest, BadOptionsAreShownAndEnd) {
  const OptionCase cases[] = {
      {{"brenquil", "--hogar", "x"}, 2, "Opción desconocida: --hogar"},
      {{"brenquil", "--home"}, 2, "Falta la carpeta después de --home"},
      {{"brenquil", "--data"}, 2, "Falta la carpeta después de --data"},
      {{"brenquil", "--jobs", "0"}, 2, "--jobs pide un número entero de procesos de 1 a 256, no «0»"},
      {{"brenquil", "-j", "dos"}, 2, "-j pide un número entero de procesos de 1 a 256, no «dos»"},
      {{"brenquil", "--jobs", "257"}, 2, "no «257»"},
      {{"brenquil", "--jobs"}, 2, "Falta el número después de --jobs"},
  };
  for (const auto& c : cases) {
    int code = -1;
    std::unique_ptr<gui::Desktop> desktop;
    auto boxes = AnswerBoxes([&] { desktop = gui::StartDesktop(c.arguments, code); });
    EXPECT_EQ(desktop, nullptr) << c.shown;
    EXPECT_EQ(code, c.code) << c.shown;
    ASSERT_EQ(boxes.size(), 1u) << c.shown;
    EXPECT_TRUE(boxes[0].text.contains(QString::fromUtf8(c.shown))) << boxes[0].text.toStdString();
  }
  // A good count is taken; without one, a worker per processor.
  QString problem;
  auto options = gui::ParseDesktopOptions({"brenquil", "-j", "3", "--home", "h"}, problem);
  ASSERT_TRUE(options) << problem.toStdString();
  EXPECT_EQ(options->jobs, 3);
  EXPECT_EQ(options->home, "h");
  options = gui::ParseDesktopOptions({"brenquil"}, problem);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->jobs, DefaultJobs());
}

}  // namespace
}  // namespace brenquil::test

namespace brenquil::test {
namespace {

TEST_F(DesktopTest, ComingBackToTheStartUpFormRunsItsActivationAgain) {
  auto& desktop = Start();
  auto activate = [](QWidget& window) {
    window.activateWindow();
    for (int i = 0; i < 20 && QGuiApplication::focusWindow() != window.windowHandle(); ++i)
      QApplication::processEvents();
  };
  activate(Main());
  ASSERT_EQ(QGuiApplication::focusWindow(), Main().windowHandle()) << "the platform cannot activate";
  auto* models = Child<QListWidget>(Main(), "List7");
  ASSERT_NE(models, nullptr);
  ASSERT_EQ(models->count(), 1);

  activate(desktop.First());
  QApplication::processEvents();
  // Both model lists gain the models again, and the main window is in front.
  EXPECT_EQ(desktop.StartForm().List1.ListCount(), 2);
  EXPECT_EQ(models->count(), 2);
  EXPECT_EQ(QGuiApplication::focusWindow(), Main().windowHandle());

  // Going on to the main window runs no activation of its own.
  activate(Main());
  EXPECT_EQ(models->count(), 2);
}

}  // namespace
}  // namespace brenquil::test
