#include "cli/json_text.h"

#include <utility>

namespace brenquil {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed sequence that starts at `at`, or 0.
size_t SequenceLength(const std::string& s, size_t at) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

bool ValidUtf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

// Makes every string and key of `value` valid UTF-8; the count of texts
// changed. A text that is valid already (nearly all) is left where it is.
size_t Clean(nlohmann::ordered_json& value) {
  size_t changed = 0;
  if (value.is_string()) {
    const auto& text = value.get_ref<const std::string&>();
    if (!ValidUtf8(text)) {
      size_t replaced = 0;
      value = ReplaceInvalidUtf8(text, replaced);
      ++changed;
    }
  } else if (value.is_array()) {
    for (auto& item : value) changed += Clean(item);
  } else if (value.is_object()) {
    bool keys_valid = true;
    for (auto& [key, item] : value.items()) {
      if (!ValidUtf8(key)) keys_valid = false;
      changed += Clean(item);
    }
    if (!keys_valid) {
      nlohmann::ordered_json rebuilt = nlohmann::ordered_json::object();
      for (auto& [key, item] : value.items()) {
        size_t replaced = 0;
        std::string clean_key = ReplaceInvalidUtf8(key, replaced);
        if (replaced) ++changed;
        rebuilt[clean_key] = std::move(item);
      }
      value = std::move(rebuilt);
    }
  }
  return changed;
}

}  // namespace

std::string ReplaceInvalidUtf8(const std::string& text, size_t& replaced) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    size_t length = SequenceLength(text, at);
    if (length == 0) {
      out += kReplacement;
      ++replaced;
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

namespace {

std::string ChangedWarning(size_t changed) {
  return std::to_string(changed) + (changed == 1 ? " texto no era" : " textos no eran") +
         " UTF-8 válido: cada byte no válido se sustituyó por U+FFFD";
}

}  // namespace

std::string JsonText(nlohmann::ordered_json document) {
  size_t changed = Clean(document);
  if (changed && document.is_object()) document["warnings"].push_back(ChangedWarning(changed));
  return document.dump(2) + "\n";
}

JsonObjectWriter::JsonObjectWriter(std::ostream& out) : out_(out) { out_ << "{"; }

void JsonObjectWriter::Key(const std::string& key) {
  out_ << (first_member_ ? "\n  " : ",\n  ");
  first_member_ = false;
  Value(key, 1);
  out_ << ": ";
}

void JsonObjectWriter::Value(nlohmann::ordered_json value, int depth) {
  changed_ += Clean(value);
  // dump(2) indents as though the value stood at the top: each line after
  // the first moves in by the depth it stands at.
  const std::string text = value.dump(2);
  const std::string indent(static_cast<size_t>(2 * depth), ' ');
  for (char c : text) {
    out_ << c;
    if (c == '\n') out_ << indent;
  }
}

void JsonObjectWriter::Member(const std::string& key, nlohmann::ordered_json value) {
  Key(key);
  Value(std::move(value), 1);
}

void JsonObjectWriter::BeginArray(const std::string& key) {
  Key(key);
  out_ << "[";
  first_item_ = true;
}

void JsonObjectWriter::Item(nlohmann::ordered_json value) {
  out_ << (first_item_ ? "\n    " : ",\n    ");
  first_item_ = false;
  Value(std::move(value), 2);
}

void JsonObjectWriter::EndArray() { out_ << (first_item_ ? "]" : "\n  ]"); }

void JsonObjectWriter::Finish() {
  if (changed_) Member("warnings", nlohmann::ordered_json::array({ChangedWarning(changed_)}));
  out_ << (first_member_ ? "}\n" : "\n}\n");
}

}  // namespace brenquil
