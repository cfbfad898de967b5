// A small JSON reader for checking elvarin-host's output in tests.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace clitest {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool flag = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;
  std::vector<std::string> order; // member names as they appeared

  // The member, or a null value when there is none.
  const Json &operator[](const std::string &name) const;
  const Json &operator[](size_t index) const;
  bool isNull() const { return kind == Kind::Null; }
};

// Parses a whole document; false, with the position and reason in error, on
// anything that is not strict JSON.
bool parseJson(const std::string &document, Json *out, std::string *error);

} // namespace clitest
