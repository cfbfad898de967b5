#include "cli/formats/json_text.h"

#include <cstdio>
#include <functional>
#include <vector>

namespace elvhost {

namespace {

using Json = nlohmann::ordered_json;

// Whether text is UTF-8, as the JSON library judges it.
bool isUtf8(const std::string &text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return Json::accept(quoted);
}

// text as a JSON string: UTF-8 kept, a byte that is not part of valid UTF-8
// written as the lone surrogate \udcXX (XX the byte), the escape of bytes in
// names that Python's "surrogateescape" also uses, so the name round-trips.
std::string jsonString(const std::string &text) {
  std::string out = "\"";
  const auto hex = [&out](unsigned value) {
    char code[8];
    (void)std::snprintf(code, sizeof code, "\\u%04x", value);
    out += code;
  };
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = byte < 0x80         ? 1
                          : (byte >> 5) == 6  ? 2
                          : (byte >> 4) == 14 ? 3
                          : (byte >> 3) == 30 ? 4
                                              : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
    }
    if (valid && length > 1) {
      // Overlong forms and surrogates are not UTF-8 either.
      valid = isUtf8(text.substr(i, length));
    }
    if (!valid) {
      hex(0xdc00u + byte);
      ++i;
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += text[i++];
    } else if (byte < 0x20) {
      hex(byte);
      ++i;
    } else {
      out += text.substr(i, length);
      i += length;
    }
  }
  return out + '"';
}

// The document as JSON text for any file name: strings that are not UTF-8
// stand in the dump as "\u0000N" (no name or message holds a NUL), then are
// replaced by their escaped text.
} // namespace

std::string jsonText(Json doc) {
  std::vector<std::string> odd;
  std::function<void(Json &)> mark = [&](Json &value) {
    if (value.is_structured()) {
      for (Json &child : value) {
        mark(child);
      }
    } else if (value.is_string() && !isUtf8(value.get<std::string>())) {
      odd.push_back(value.get<std::string>());
      // Built piece by piece: GCC 12 misreads chained concatenation as an
      // overlapping copy (-Wrestrict).
      std::string placeholder(1, '\0');
      placeholder.append(std::to_string(odd.size() - 1));
      value = placeholder;
    }
  };
  mark(doc);
  std::string text = doc.dump(2);
  for (size_t i = 0; i < odd.size(); ++i) {
    const std::string placeholder = "\"\\u0000" + std::to_string(i) + "\"";
    text.replace(text.find(placeholder), placeholder.size(), jsonString(odd[i]));
  }
  return text + "\n";
}

} // namespace elvhost
