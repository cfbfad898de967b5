// A small JSON writer that keeps members in the order they are added, so the
// output of `info --json` is stable from run to run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace elvhost {

class JsonWriter {
public:
  // Objects and arrays; a member's key is given before its value.
  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  void key(const std::string &name);

  void value(const std::string &text);
  void value(const char *text);
  void value(double number); // non-finite numbers are written as null
  void value(int64_t number);
  void value(int32_t number) { value(static_cast<int64_t>(number)); }
  void value(bool flag);
  void null();
  template <typename T> void value(const std::optional<T> &maybe) {
    if (maybe) {
      value(*maybe);
    } else {
      null();
    }
  }

  // The document, two-space indented, ending in a line break.
  std::string text() const { return out_ + "\n"; }

private:
  void beforeValue();
  void newline();
  std::string out_;
  int depth_ = 0;
  bool first_ = true; // nothing written yet at this depth
  bool afterKey_ = false;
};

// text as a JSON string literal, quotes included.
std::string jsonQuoted(const std::string &text);

} // namespace elvhost
