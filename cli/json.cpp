#include "cli/json.h"

#include <cmath>
#include <cstdio>

#include "cli/georef.h"

namespace elvhost {

std::string jsonQuoted(const std::string &text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto u = static_cast<unsigned char>(ch);
    switch (ch) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\r':
      out += "\\r";
      break;
    default:
      if (u < 0x20) {
        char escaped[8];
        (void)std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
        out += escaped;
      } else {
        out += ch;
      }
    }
  }
  return out + "\"";
}

void JsonWriter::newline() {
  out_ += '\n';
  out_.append(static_cast<size_t>(depth_) * 2, ' ');
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (depth_ > 0) {
    if (!first_) {
      out_ += ',';
    }
    newline();
  }
  first_ = false;
}

void JsonWriter::beginObject() {
  beforeValue();
  out_ += '{';
  ++depth_;
  first_ = true;
}

void JsonWriter::endObject() {
  --depth_;
  if (!first_) {
    newline();
  }
  out_ += '}';
  first_ = false;
}

void JsonWriter::beginArray() {
  beforeValue();
  out_ += '[';
  ++depth_;
  first_ = true;
}

void JsonWriter::endArray() {
  --depth_;
  if (!first_) {
    newline();
  }
  out_ += ']';
  first_ = false;
}

void JsonWriter::key(const std::string &name) {
  beforeValue();
  out_ += jsonQuoted(name);
  out_ += ": ";
  afterKey_ = true;
}

void JsonWriter::value(const std::string &text) {
  beforeValue();
  out_ += jsonQuoted(text);
}

void JsonWriter::value(const char *text) { value(std::string(text != nullptr ? text : "")); }

void JsonWriter::value(double number) {
  beforeValue();
  out_ += std::isfinite(number) ? formatShortest(number) : "null";
}

void JsonWriter::value(int64_t number) {
  beforeValue();
  out_ += std::to_string(number);
}

void JsonWriter::value(bool flag) {
  beforeValue();
  out_ += flag ? "true" : "false";
}

void JsonWriter::null() {
  beforeValue();
  out_ += "null";
}

} // namespace elvhost
