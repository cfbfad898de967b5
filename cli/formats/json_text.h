// A JSON document as text for any string it holds: names that are not UTF-8
// are escaped so that they round-trip.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace elvhost {

// doc as indented JSON text, a line break after it: UTF-8 kept, a byte that
// is not part of valid UTF-8 written as the lone surrogate \udcXX (XX the
// byte), the escape of bytes in names that Python's "surrogateescape" also
// uses.
std::string jsonText(nlohmann::ordered_json doc);

} // namespace elvhost
