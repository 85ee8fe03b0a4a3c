// Writing the command line's JSON: names read from database files may hold
// bytes that are not UTF-8, which JSON cannot carry. Such bytes are replaced
// by U+FFFD and the document says so, instead of the write failing.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace brenquil {

// `text` with every byte that does not start or continue a well-formed UTF-8
// sequence (overlong forms, surrogates and code points past U+10FFFF
// included) replaced by U+FFFD; `replaced` counts the replacements.
std::string ReplaceInvalidUtf8(const std::string& text, size_t& replaced);

// The document as text, indented by two. Every string and key is made valid
// UTF-8 first; when any had to change, a top-level "warnings" array is added
// saying how many texts were changed and how.
std::string JsonText(nlohmann::ordered_json document);

// The same text as JsonText gives for a top-level object, written member by
// member and array item by array item, so that a report of tens of
// thousands of databases is never held whole as a document (one takes
// several times the memory of its text).
class JsonObjectWriter {
 public:
  explicit JsonObjectWriter(std::ostream& out);
  JsonObjectWriter(const JsonObjectWriter&) = delete;
  JsonObjectWriter& operator=(const JsonObjectWriter&) = delete;

  // One whole member.
  void Member(const std::string& key, nlohmann::ordered_json value);
  // A member that is an array, given item by item between BeginArray and
  // EndArray.
  void BeginArray(const std::string& key);
  void Item(nlohmann::ordered_json value);
  void EndArray();
  // Adds the "warnings" member when any text had to change, and closes the
  // object.
  void Finish();

 private:
  void Key(const std::string& key);
  // `value` made valid UTF-8 and written as dump(2) would at `depth`.
  void Value(nlohmann::ordered_json value, int depth);

  std::ostream& out_;
  bool first_member_ = true;
  bool first_item_ = true;
  size_t changed_ = 0;
};

}  // namespace brenquil
