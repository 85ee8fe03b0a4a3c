#include "jet/properties.h"

#include <cstring>
#include <vector>

#include "engine/collection.h"
#include "jet/jet_damage.h"
#include "jet/jet_format.h"
#include "jet/table_definition.h"

namespace brenquil::jet {

namespace {

constexpr std::uint16_t kNameList = 0x80;

std::string ValueText(std::uint8_t type, const Bytes& data, TextDecoder& text) {
  switch (type) {
    case kJetBoolean: return data.size() > 0 && data.U8(0) != 0 ? "1" : "0";
    case kJetByte: return data.size() >= 1 ? std::to_string(data.U8(0)) : "";
    case kJetInteger:
      return data.size() >= 2 ? std::to_string(static_cast<std::int16_t>(data.U16(0))) : "";
    case kJetLong:
      return data.size() >= 4 ? std::to_string(static_cast<std::int32_t>(data.U32(0))) : "";
    case kJetText:
    case kJetMemo: return text.Decode(data.data(), data.size(), true);
    default: return std::string(reinterpret_cast<const char*>(data.data()), data.size());
  }
}

}  // namespace

std::optional<Property> PropertyMaps::Get(const std::string& object,
                                          const std::string& name) const {
  for (const auto& [key, values] : objects) {
    if (!SameName(key, object)) continue;
    auto found = values.find(name);
    if (found != values.end()) return found->second;
  }
  return std::nullopt;
}

PropertyMaps ParseProperties(const std::string& blob, TextDecoder& text) {
  PropertyMaps maps;
  if (blob.empty()) return maps;
  Bytes b(reinterpret_cast<const std::uint8_t*>(blob.data()), blob.size());
  if (b.size() < 4 ||
      (std::memcmp(b.data(), "MR2", 4) != 0 && std::memcmp(b.data(), "KKD", 4) != 0))
    throw JetDamage("las propiedades de un objeto no tienen su formato");
  auto name_at = [&](const Bytes& block, std::size_t& at) {
    std::size_t length = block.U16(at);
    Bytes name = block.Slice(at + 2, length);
    at += 2 + length;
    return text.Decode(name.data(), name.size(), false);
  };
  std::vector<std::string> names;
  std::size_t at = 4;
  while (at < b.size()) {
    const std::uint32_t length = b.U32(at);
    const std::uint16_t type = b.U16(at + 4);
    if (length < 6) throw JetDamage("un bloque de propiedades vacío");
    Bytes block = b.Slice(at + 6, length - 6);
    at += length;
    if (type == kNameList) {
      names.clear();
      for (std::size_t i = 0; i < block.size();) names.push_back(name_at(block, i));
      continue;
    }
    if (block.size() == 0) continue;
    std::string object;
    const std::uint32_t object_block = block.U32(0);
    if (object_block < 4) throw JetDamage("un bloque de propiedades sin su nombre");
    if (object_block > 6) {
      std::size_t i = 4;
      object = name_at(block, i);
    }
    auto& values = maps.objects[object];
    for (std::size_t i = object_block; i < block.size();) {
      const std::uint16_t value_length = block.U16(i);
      if (value_length < 8) throw JetDamage("una propiedad más corta que su cabecera");
      const std::uint8_t value_type = block.U8(i + 3);
      const std::uint16_t name_index = block.U16(i + 4);
      const std::uint16_t data_size = block.U16(i + 6);
      Bytes data = block.Slice(i + 8, data_size);
      if (name_index >= names.size()) throw JetDamage("una propiedad sin nombre");
      values[names[name_index]] = Property{value_type, ValueText(value_type, data, text)};
      i += value_length;
    }
  }
  return maps;
}

}  // namespace brenquil::jet
