#include "package/desktop_manual.h"

#include <sstream>

#include "gui/desktop.h"
#include "shell/actualiz.h"
#include "shell/demo.h"
#include "shell/inicial.h"

namespace brenquil::package {

std::vector<ManualExample> DesktopManualExamples(const std::string& demo_folder) {
  return {
      {"Abre la ventana sobre la instalación que dice INSTALACIÓN:", {{"brenquil"}}},
      {"Crea una demostración en " + demo_folder + " y abre la ventana sobre ella:",
       {{"brenquil-cli", "demo", demo_folder},
        {"brenquil", "--home", DemoHome(demo_folder), "--data", DemoData(demo_folder)}}},
  };
}

std::string DesktopManualPage() {
  ManualPage page("brenquil", "1", std::string("brenquil ") + BRENQUIL_VERSION);
  page.Section("NOMBRE");
  page.Markup(
      "brenquil \\- ventana que pone las bases de datos viejas al día con sus bases modelo");

  // The usage line, then the options as --help lists them.
  std::istringstream usage(gui::DesktopOptionsUsage().toStdString());
  std::string line;
  std::getline(usage, line);
  const std::string prefix = "Uso: brenquil";
  if (line.rfind(prefix, 0) == 0) line = line.substr(prefix.size());
  page.Section("SINOPSIS");
  page.Markup(Bold("brenquil") + TroffText(line));

  page.Section("DESCRIPCIÓN");
  page.Paragraph(std::string("Abre «") + Inicial::kCaption +
                 "», que prepara los catálogos y los modelos de la instalación, y la ventana «" +
                 Actualiz::kCaption +
                 "». En ella se elige la carpeta de datos, que guarda las bases viejas, y "
                 "«Transformar» añade a cada base vieja las tablas y campos de su modelo (la "
                 "base de la carpeta modelos de la instalación con el mismo nombre de archivo) "
                 "que le faltan, sustituye sus índices, relaciones y consultas por los del "
                 "modelo y copia en la carpeta de datos los modelos que no tienen base vieja. "
                 "Nunca copia filas de un modelo ni borra una tabla o un campo. Cada paso "
                 "tiene además su propio botón.");
  page.Paragraph("brenquil-cli hace lo mismo sin ventana.");

  page.Section("OPCIONES");
  std::string options, rest;
  while (std::getline(usage, rest)) options += rest + "\n";
  page.Example(options);

  InstallationSection(page);
  std::vector<ExitCodeItem> codes;
  for (const auto& exit : gui::kDesktopExitCodes) codes.push_back({exit.code, exit.meaning});
  ExitCodesSection(page, codes);
  ExamplesSection(page, DesktopManualExamples("/tmp/demo"));
  SeeAlsoSection(page, "brenquil-cli(1)");
  return page.Text();
}

}  // namespace brenquil::package
