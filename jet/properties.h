// The properties Access keeps for an object in its catalogue row (MSysObjects'
// LvProp): for a table, its own (ValidationRule, ...) and each column's
// (DefaultValue, ValidationRule, ValidationText, Required, AllowZeroLength,
// Caption, Format, ...). A blob opens "MR2\0" (Jet 4) or "KKD\0" (Jet 3), then
// chunks: one lists the property names, the others give one object's values.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "jet/text_decoder.h"

namespace brenquil::jet {

struct Property {
  std::uint8_t type = 0;  // Jet's type of the value
  std::string text;       // text values; numbers as decimal text; Yes/No as "1"/"0"
  bool Flag() const { return text == "1"; }
};

struct PropertyMaps {
  // Object name ("" for the object itself, else a column's name, as the
  // blob spells it) -> property name -> value.
  std::map<std::string, std::map<std::string, Property>> objects;
  // The property `name` of object `object` (column names compared without
  // regard to letter case, as Jet does).
  std::optional<Property> Get(const std::string& object, const std::string& name) const;
};

// JetDamage when the blob is not a property blob or its chunks leave it.
PropertyMaps ParseProperties(const std::string& blob, TextDecoder& text);

}  // namespace brenquil::jet
