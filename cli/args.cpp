#include "cli/args.h"

#include <charconv>

namespace elvhost {

std::string ParsedArgs::value(const std::string &name, const std::string &fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : it->second;
}

namespace {

const OptionDef *findOption(std::span<const OptionDef> known, const std::string &name) {
  for (const OptionDef &option : known) {
    if (name == option.name) {
      return &option;
    }
  }
  return nullptr;
}

} // namespace

bool parseArgs(std::span<const std::string> args, std::span<const OptionDef> known,
               ParsedArgs *parsed, std::string *error) {
  *parsed = ParsedArgs{};
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed->positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h") {
      parsed->flags.insert("help");
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      *error = "unknown option " + arg;
      return false;
    }
    const size_t equals = arg.find('=');
    const std::string name =
        arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const OptionDef *option = findOption(known, name);
    if (option == nullptr) {
      *error = "unknown option --" + name;
      return false;
    }
    if (parsed->flags.count(name) != 0 || parsed->values.count(name) != 0) {
      *error = "option --" + name + " given twice";
      return false;
    }
    if (!option->takesValue) {
      if (equals != std::string::npos) {
        *error = "option --" + name + " takes no value";
        return false;
      }
      parsed->flags.insert(name);
      continue;
    }
    if (equals != std::string::npos) {
      parsed->values[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed->values[name] = args[++i];
    } else {
      *error = "option --" + name + " needs a value";
      return false;
    }
  }
  return true;
}

bool parseInteger(const std::string &text, long long min, long long max, long long *value) {
  long long parsed = 0;
  const char *first = text.data();
  const char *last = text.data() + text.size();
  const auto [end, errc] = std::from_chars(first, last, parsed);
  if (text.empty() || errc != std::errc() || end != last || parsed < min || parsed > max) {
    return false;
  }
  *value = parsed;
  return true;
}

} // namespace elvhost
