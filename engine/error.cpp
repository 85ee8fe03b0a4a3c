#include "engine/error.h"

#include <algorithm>
#include <map>

namespace brenquil {

Error::Error(int number, std::string text)
    : std::runtime_error(std::to_string(number) + ": " + text),
      number_(number),
      text_(std::move(text)) {}

const char* ErrorDescription(int number) {
  static const std::map<int, const char*> kTexts = {
      {err::kInvalidProcedureCall, "Llamada a procedimiento o argumento no válido:"},
      {err::kFileMissing, "No se encontró el archivo:"},
      {err::kFileAlreadyExists, "El archivo ya existe:"},
      {err::kFileAccess, "Error de acceso a la ruta o al archivo:"},
      {err::kPathNotFound, "No se encontró la ruta de acceso:"},
      {err::kObjectNotSet, "Variable de objeto no establecida:"},
      {err::kNoSuchControl, "El elemento de la matriz de controles no existe:"},
      {err::kInvalidValue, "Valor de propiedad no válido:"},
      {err::kInvalidPropertyIndex, "Índice de matriz de propiedades no válido:"},
      {err::kEngine, "Error del motor de base de datos:"},
      {err::kTableExists, "La tabla ya existe:"},
      {err::kObjectNotFound, "No se encuentra el objeto:"},
      {err::kObjectExists, "El objeto ya existe:"},
      {err::kUpdateWithoutAddNew, "Update o CancelUpdate sin AddNew ni Edit:"},
      {err::kNoCurrentRecord, "No hay un registro activo:"},
      {err::kDuplicateValue, "Valores duplicados en el índice, la clave principal o la relación:"},
      {err::kFileNotFound, "No se encuentra el archivo:"},
      {err::kNotValidPassword, "No es una contraseña válida:"},
      {err::kReadOnly, "No se puede actualizar. La base de datos o el objeto es de sólo lectura:"},
      {err::kDiskError, "Error de disco o de red:"},
      {err::kFileInUse, "No se puede usar el archivo; ya está en uso:"},
      {err::kCannotOpen, "No se puede abrir la base de datos; puede que el archivo esté dañado:"},
      {err::kInputNotFound, "No se encuentra la tabla o consulta de entrada:"},
      {err::kInvalidName, "No es un nombre válido:"},
      {err::kInvalidSql, "Instrucción SQL no válida:"},
      {err::kFieldExists, "El campo ya está definido:"},
      {err::kRelatedRecords, "No se puede eliminar o cambiar el registro porque hay registros relacionados:"},
      {err::kRelatedRecordRequired, "Se necesita un registro relacionado:"},
      {err::kDatabaseExists, "La base de datos ya existe:"},
      {err::kLocked, "No se puede actualizar; bloqueado actualmente:"},
      {err::kInvalidOperation, "Operación no válida:"},
      {err::kInvalidFieldType, "Tipo de datos de campo no válido:"},
      {err::kNoFields, "No hay campos definidos; no se puede anexar:"},
      {err::kItemNotFound, "Elemento no encontrado en esta colección:"},
      {err::kFieldInIndex, "No se puede eliminar un campo que forma parte de un índice:"},
      {err::kPrimaryKeyExists, "Ya existe una clave principal:"},
      {err::kIndexExists, "El índice ya existe:"},
      {err::kInRelationship, "No se puede eliminar; forma parte de una o más relaciones:"},
      {err::kRequired, "El campo no puede contener un valor nulo:"},
      {err::kZeroLength, "El campo no puede ser una cadena de longitud cero:"},
      {err::kValidationRule, "Una regla de validación impide el cambio:"},
      {err::kUnrecognisedFormat, "Formato de base de datos no reconocido:"},
      {err::kRelationNoFields, "No se puede anexar una relación sin campos:"},
      {err::kConversion, "Error de conversión de tipo de datos:"},
  };
  auto it = kTexts.find(number);
  return it == kTexts.end() ? "Error de la aplicación:" : it->second;
}

Error MakeError(int number, const std::string& detail) {
  std::string text = ErrorDescription(number);
  if (!detail.empty()) text += " " + detail;
  return Error(number, text);
}

std::string DetailOf(const Error& error) {
  std::string description = ErrorDescription(error.Number());
  const std::string& text = error.Text();
  if (text.rfind(description, 0) == 0) return text.substr(std::min(text.size(), description.size() + 1));
  return text;
}

}  // namespace brenquil
