// The command-line parser every subcommand uses.
#include <gtest/gtest.h>

#include <ostream>

#include "cli/args.h"

namespace {

using elvhost::OptionDef;
using elvhost::ParsedArgs;

const OptionDef kOptions[] = {{"size", true}, {"kind", true}, {"json", false}, {"help", false}};

struct ParseCase {
  const char *label;
  std::vector<std::string> args;
  bool ok;
  std::vector<std::string> positional;
  std::string size; // "" when absent
  bool json;
  std::string errorPart;
};

void PrintTo(const ParseCase &value, std::ostream *os) { *os << value.label; }

class ArgsTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ArgsTable, ParsesOrRefuses) {
  const ParseCase &c = GetParam();
  ParsedArgs parsed;
  std::string error;
  ASSERT_EQ(elvhost::parseArgs(c.args, kOptions, &parsed, &error), c.ok) << error;
  if (!c.ok) {
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    return;
  }
  EXPECT_EQ(parsed.positional, c.positional);
  EXPECT_EQ(parsed.value("size", ""), c.size);
  EXPECT_EQ(parsed.has("json"), c.json);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgsTable,
    ::testing::Values(
        ParseCase{"separate", {"a.ded", "--size", "7", "b"}, true, {"a.ded", "b"}, "7", false, ""},
        ParseCase{"equals", {"--size=7", "a.ded", "--json"}, true, {"a.ded"}, "7", true, ""},
        ParseCase{"emptyEquals", {"--size=", "a"}, true, {"a"}, "", false, ""},
        ParseCase{
            "dashDashEndsOptions", {"--", "--json", "-x"}, true, {"--json", "-x"}, "", false, ""},
        ParseCase{"loneDashIsAFile", {"-"}, true, {"-"}, "", false, ""},
        ParseCase{"unknown", {"--colour"}, false, {}, "", false, "unknown option --colour"},
        ParseCase{"shortUnknown", {"-x"}, false, {}, "", false, "unknown option -x"},
        ParseCase{"missingValue", {"a", "--size"}, false, {}, "", false, "needs a value"},
        ParseCase{"valueOnFlag", {"--json=yes"}, false, {}, "", false, "takes no value"},
        ParseCase{"twice", {"--size", "1", "--size", "2"}, false, {}, "", false, "given twice"}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST(Args, DashHIsHelp) {
  ParsedArgs parsed;
  std::string error;
  ASSERT_TRUE(elvhost::parseArgs(std::vector<std::string>{"-h"}, kOptions, &parsed, &error));
  EXPECT_TRUE(parsed.has("help"));
}

TEST(Args, IntegersAreWholeAndInRange) {
  long long v = 0;
  EXPECT_TRUE(elvhost::parseInteger("1025", 2, 32767, &v));
  EXPECT_EQ(v, 1025);
  EXPECT_TRUE(elvhost::parseInteger("2", 2, 32767, &v));
  for (const char *bad :
       {"", "1", "32768", "12x", " 12", "+5", "1e3", "-3", "99999999999999999999"}) {
    EXPECT_FALSE(elvhost::parseInteger(bad, 2, 32767, &v)) << bad;
  }
}

} // namespace
