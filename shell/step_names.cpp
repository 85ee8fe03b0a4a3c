#include "shell/step_names.h"

#include <string_view>

namespace brenquil {

namespace {

struct Named {
  std::string_view operation;
  const char* step;
};

constexpr Named kSteps[] = {
    {"Command1_Click", "Selección"},
    {"Command7_Click", "Selección"},
    {"Command2_Click", "Campos"},
    {"Command10_Click", "Campos"},
    {"Command11_Click", "Campos"},
    {"Command12_Click", "Campos"},
    {"Command3_Click", "Ejemplo Neptuno"},
    {"Command4_Click", "Ejemplo Neptuno"},
    {"Command5_Click", "Ejemplo Neptuno"},
    {"AppendX", "Ejemplo Neptuno"},
    {"AnexarEliminarCampo", "Ejemplo Neptuno"},
    {"Command6_Click", "Tablas"},
    {"Command8_Click", "Tablas"},
    {"Command9_Click", "Tablas"},
    {"CopyVirtualTables", "Tablas"},
    {"Command13_Click", "Transformación"},
    {"CopyNewDatabases", "Copia"},
    {"CopyTriggers", "Tablas"},
    {"Command14_Click", "Salida"},
    {"Command15_Click", "Bases nuevas"},
    {"Command16_Click", "Índices"},
    {"Command17_Click", "Índices"},
    {"Command18_Click", "Índices"},
    {"Command19_Click", "Índices"},
    {"Command20_Click", "Relaciones"},
    {"Command21_Click", "Relaciones"},
    {"Command22_Click", "Relaciones"},
    {"Command23_Click", "Consultas"},
    {"Command24_Click", "Consultas"},
    {"Dir1_Change", "Carpeta de datos"},
    {"Drive1_Change", "Unidad"},
    {"Form_Activate", "Arranque"},
    {"ImportJet", "Importar bases Jet"},
    {"Data1", "Catálogo de consultas"},
    {"Data5", "Catálogo de consultas"},
    {"DBGrid1", "Ejemplo Neptuno"},
};

constexpr const char* kDescriptions[25] = {
    nullptr,
    "No hace nada.",
    "Lista los campos de las tablas nuevas (\"Añadir Nueva\") en \"Campos Base Origen\". No cambia "
    "ninguna base.",
    "Vuelve a leer la tabla Empleados de Neptuno.mdb en la cuadrícula. No cambia ninguna base.",
    "Añade a Empleados de Neptuno.mdb los campos de ejemplo Correo, Http y Cuota.",
    "Borra de Empleados de Neptuno.mdb los campos de ejemplo Correo, Http y Cuota.",
    "Lista las tablas del modelo (Text3) y de la base vieja (Text4). No cambia ninguna base.",
    "No hace nada.",
    "Crea en la base vieja las tablas del modelo que le faltan, con sus campos. No borra nada.",
    "No hace nada.",
    "Lista los campos de la tabla elegida del modelo. No cambia ninguna base.",
    "Lista los campos de la tabla elegida de la base vieja. No cambia ninguna base.",
    "Añade a cada tabla de la base vieja los campos de su tabla modelo que le faltan.",
    "Pone cada base de la carpeta de datos al día con su modelo: tablas, campos, índices, "
    "relaciones y consultas; borra los índices, relaciones y consultas que no son del modelo, y "
    "copia los modelos que no tienen base vieja.",
    "Termina el programa.",
    "Lista los modelos que no tienen base vieja del mismo nombre. No copia nada.",
    "Crea en la base vieja los índices del catálogo indices.mdb.",
    "Lista los índices de la base vieja y sigue: borra los índices de la base vieja y crea los "
    "del modelo.",
    "Borra los índices de la base vieja y sigue: lista los del modelo y los crea en la base "
    "vieja.",
    "Anota los índices del modelo en indices.mdb (lo vacía antes) y los crea en la base vieja.",
    "Borra las relaciones de la base vieja.",
    "Crea en la base vieja las relaciones del catálogo relacion.mdb.",
    "Lista las relaciones de las dos bases y sigue: borra las relaciones de la base vieja y crea "
    "las del modelo.",
    "Borra las consultas de la base vieja y crea las del catálogo consulta.mdb.",
    "Anota las consultas del modelo en consulta.mdb (lo vacía antes) y sigue: borra las consultas "
    "de la base vieja y crea las del modelo.",
};

}  // namespace

std::string StepName(const std::string& operation) {
  for (const auto& named : kSteps)
    if (named.operation == operation) return named.step;
  return operation;
}

std::string ButtonDescription(int number) {
  if (number < 1 || number > 24) return {};
  return kDescriptions[number];
}

std::string ControlDescription(const std::string& name) {
  static constexpr struct {
    std::string_view name;
    const char* text;
  } kControls[] = {
      {"Previsualizar",
       "Hace la transformación entera y la deshace: muestra lo que cambiaría \"Transformar\" y lo "
       "que se rechazaría, sin cambiar ni crear ningún archivo."},
      {"Copia de seguridad",
       "Antes de cambiar cada base vieja, guarda una copia de ella en esta carpeta, en una "
       "subcarpeta con la fecha y la hora de la transformación. Para volver atrás, copie ese "
       "archivo sobre la base de la carpeta de datos."},
      {"ElegirCarpetaCopias", "Elige la carpeta de las copias de seguridad."},
      {"Detener",
       "Detiene la transformación después de la base que tiene entre manos; esa base queda "
       "terminada y las siguientes, sin tocar."},
      {"Drive1", "La unidad de la carpeta de datos: elegirla muestra sus carpetas."},
  };
  for (const auto& control : kControls)
    if (control.name == name) return control.text;
  return {};
}

}  // namespace brenquil
