#include "shell/type_names.h"

#include <charconv>

#include "engine/field.h"
#include "engine/relation.h"

namespace brenquil {

std::string TypeName(int type) {
  switch (type) {
    case dbBoolean: return "Sí/No";
    case dbByte: return "Byte";
    case dbInteger: return "Entero";
    case dbLong: return "Entero largo";
    case dbCurrency: return "Moneda";
    case dbSingle: return "Simple";
    case dbDouble: return "Doble";
    case dbDate: return "Fecha/Hora";
    case dbBinary: return "Binario";
    case dbText: return "Texto";
    case dbLongBinary: return "Objeto OLE";
    case dbMemo: return "Memo";
    case dbGUID: return "GUID";
    case dbBigInt: return "Entero grande";
    case dbVarBinary: return "Binario variable";
    case dbChar: return "Carácter";
    case dbNumeric: return "Numérico";
    case dbDecimal: return "Decimal";
    case dbFloat: return "Flotante";
    case dbTime: return "Hora";
    case dbTimeStamp: return "Marca de hora";
    default: return {};
  }
}

std::string TypeWithCode(const std::string& code) {
  int type = 0;
  auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), type);
  if (ec != std::errc() || end != code.data() + code.size()) return code;
  std::string name = TypeName(type);
  if (name.empty()) return code;
  name += " (";
  name += code;
  name += ')';
  return name;
}

std::string RelationAttributeNames(long attributes) {
  struct Flag {
    long bit;
    const char* name;
  };
  constexpr Flag kFlags[] = {
      {dbRelationUnique, "única"},
      {dbRelationDontEnforce, "no exigida"},
      {dbRelationInherited, "heredada"},
      {dbRelationUpdateCascade, "cascada al actualizar"},
      {dbRelationDeleteCascade, "cascada al borrar"},
      {dbRelationLeft, "combinación izquierda"},
      {dbRelationRight, "combinación derecha"},
      {dbRelationDeleteSetNull, "nulo al borrar"},
      {dbRelationUpdateSetNull, "nulo al actualizar"},
      {dbRelationDeleteSetDefault, "valor predeterminado al borrar"},
      {dbRelationUpdateSetDefault, "valor predeterminado al actualizar"},
      {dbRelationDeferred, "comprobada al confirmar"},
      {dbRelationDeclared, "cláusula FOREIGN KEY"},
  };
  std::string names;
  auto add = [&names](const std::string& name) {
    if (!names.empty()) names += ", ";
    names += name;
  };
  long rest = attributes;
  for (const auto& flag : kFlags) {
    if (!(attributes & flag.bit)) continue;
    add(flag.name);
    rest &= ~flag.bit;
  }
  for (int bit = 0; bit < 63 && rest; ++bit) {
    long value = 1L << bit;
    if (!(rest & value)) continue;
    add(std::to_string(value));
    rest &= ~value;
  }
  return names.empty() ? "ninguno" : names;
}

}  // namespace brenquil
