// UTF-8 written from code points, for the texts read from files in other
// encodings and for names changed letter by letter.
#pragma once

#include <string>

namespace brenquil {

// `code_point` appended to `out` as UTF-8 (one to four bytes).
void AppendUtf8(char32_t code_point, std::string& out);

}  // namespace brenquil
