// The command line of one subcommand: positional arguments, options that take
// a value (--name VALUE or --name=VALUE) and flags (--name).
#pragma once

#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace elvhost {

struct OptionDef {
  const char *name; // without the leading dashes
  bool takesValue;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  std::set<std::string> flags;

  bool has(const std::string &flag) const { return flags.count(flag) != 0; }
  // The option's value, or fallback when it was not given.
  std::string value(const std::string &name, const std::string &fallback) const;
};

// Parses args against the options known. "--" ends the options; a lone "-" is positional.
// Returns false with the reason in error for an unknown option, an option
// missing its value, a value given to a flag or an option given twice.
bool parseArgs(std::span<const std::string> args, std::span<const OptionDef> known,
               ParsedArgs *parsed, std::string *error);

// Parses a whole decimal number in [min, max]; false for anything else.
bool parseInteger(const std::string &text, long long min, long long max, long long *value);

} // namespace elvhost
