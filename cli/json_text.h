// Writing the command line's JSON: names read from database files may hold
// bytes that are not UTF-8, which JSON cannot carry. Such bytes are replaced
// by U+FFFD and the document says so, instead of the write failing.
#pragma once

#include <nlohmann/json.hpp>
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

}  // namespace brenquil
