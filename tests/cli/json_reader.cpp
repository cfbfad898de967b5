#include "tests/cli/json_reader.h"

#include <cstdlib>

namespace clitest {

namespace {

const Json kNull;

struct Parser {
  const std::string &s;
  size_t pos = 0;
  std::string error;

  void skipSpace() {
    while (pos < s.size() &&
           (s[pos] == ' ' || s[pos] == '\n' || s[pos] == '\t' || s[pos] == '\r')) {
      ++pos;
    }
  }
  bool fail(const std::string &why) {
    if (error.empty()) {
      error = "at " + std::to_string(pos) + ": " + why;
    }
    return false;
  }
  bool literal(const char *word) {
    const std::string w(word);
    if (s.compare(pos, w.size(), w) != 0) {
      return fail("expected " + w);
    }
    pos += w.size();
    return true;
  }
  bool string(std::string *out) {
    if (pos >= s.size() || s[pos] != '"') {
      return fail("expected a string");
    }
    ++pos;
    while (pos < s.size() && s[pos] != '"') {
      char ch = s[pos++];
      if (static_cast<unsigned char>(ch) < 0x20) {
        return fail("control character in string");
      }
      if (ch == '\\') {
        if (pos >= s.size()) {
          return fail("unfinished escape");
        }
        const char e = s[pos++];
        switch (e) {
        case 'n':
          ch = '\n';
          break;
        case 't':
          ch = '\t';
          break;
        case 'r':
          ch = '\r';
          break;
        case 'b':
          ch = '\b';
          break;
        case 'f':
          ch = '\f';
          break;
        case '/':
        case '\\':
        case '"':
          ch = e;
          break;
        case 'u':
          if (pos + 4 > s.size()) {
            return fail("short \\u escape");
          }
          ch = static_cast<char>(std::strtol(s.substr(pos, 4).c_str(), nullptr, 16));
          pos += 4;
          break;
        default:
          return fail("bad escape");
        }
      }
      out->push_back(ch);
    }
    if (pos >= s.size()) {
      return fail("unterminated string");
    }
    ++pos;
    return true;
  }
  bool number(double *out) {
    const size_t start = pos;
    if (pos < s.size() && s[pos] == '-') {
      ++pos;
    }
    if (pos >= s.size() || !(s[pos] >= '0' && s[pos] <= '9')) {
      return fail("expected a value");
    }
    if (s[pos] == '0' && pos + 1 < s.size() && s[pos + 1] >= '0' && s[pos + 1] <= '9') {
      return fail("leading zero");
    }
    while (pos < s.size() && std::string("0123456789.eE+-").find(s[pos]) != std::string::npos) {
      ++pos;
    }
    const std::string text = s.substr(start, pos - start);
    char *end = nullptr;
    *out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() ? true : fail("bad number " + text);
  }
  bool value(Json *out, int depth) {
    if (depth > 64) {
      return fail("nested too deeply");
    }
    skipSpace();
    if (pos >= s.size()) {
      return fail("unexpected end");
    }
    const char ch = s[pos];
    if (ch == '{') {
      out->kind = Json::Kind::Object;
      ++pos;
      skipSpace();
      if (pos < s.size() && s[pos] == '}') {
        ++pos;
        return true;
      }
      for (;;) {
        skipSpace();
        std::string name;
        if (!string(&name)) {
          return false;
        }
        skipSpace();
        if (pos >= s.size() || s[pos++] != ':') {
          return fail("expected :");
        }
        if (out->members.count(name) != 0) {
          return fail("duplicate member " + name);
        }
        Json member;
        if (!value(&member, depth + 1)) {
          return false;
        }
        out->members[name] = member;
        out->order.push_back(name);
        skipSpace();
        if (pos < s.size() && s[pos] == ',') {
          ++pos;
          continue;
        }
        if (pos < s.size() && s[pos] == '}') {
          ++pos;
          return true;
        }
        return fail("expected , or }");
      }
    }
    if (ch == '[') {
      out->kind = Json::Kind::Array;
      ++pos;
      skipSpace();
      if (pos < s.size() && s[pos] == ']') {
        ++pos;
        return true;
      }
      for (;;) {
        Json item;
        if (!value(&item, depth + 1)) {
          return false;
        }
        out->items.push_back(item);
        skipSpace();
        if (pos < s.size() && s[pos] == ',') {
          ++pos;
          continue;
        }
        if (pos < s.size() && s[pos] == ']') {
          ++pos;
          return true;
        }
        return fail("expected , or ]");
      }
    }
    if (ch == '"') {
      out->kind = Json::Kind::String;
      return string(&out->text);
    }
    if (ch == 't' || ch == 'f') {
      out->kind = Json::Kind::Bool;
      out->flag = ch == 't';
      return literal(ch == 't' ? "true" : "false");
    }
    if (ch == 'n') {
      out->kind = Json::Kind::Null;
      return literal("null");
    }
    out->kind = Json::Kind::Number;
    return number(&out->number);
  }
};

} // namespace

const Json &Json::operator[](const std::string &name) const {
  const auto it = members.find(name);
  return it == members.end() ? kNull : it->second;
}

const Json &Json::operator[](size_t index) const {
  return index < items.size() ? items[index] : kNull;
}

bool parseJson(const std::string &document, Json *out, std::string *error) {
  Parser parser{document, 0, {}};
  Json parsed;
  if (!parser.value(&parsed, 0)) {
    *error = parser.error;
    return false;
  }
  parser.skipSpace();
  if (parser.pos != document.size()) {
    *error = "trailing text at " + std::to_string(parser.pos);
    return false;
  }
  *out = parsed;
  return true;
}

} // namespace clitest
