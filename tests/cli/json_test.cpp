// The JSON writer's documents parse, keep their order and escape what needs it.
#include <gtest/gtest.h>

#include <limits>

#include "cli/json.h"
#include "tests/cli/json_reader.h"

namespace {

TEST(Json, WrittenDocumentsParseInOrder) {
  elvhost::JsonWriter json;
  json.beginObject();
  json.key("zeta");
  json.value(int32_t{-32768});
  json.key("alpha \"quoted\"\n\\");
  json.value("tab\there \x01 done");
  json.key("list");
  json.beginArray();
  json.value(0.1);
  json.value(std::numeric_limits<double>::infinity());
  json.value(true);
  json.beginObject();
  json.endObject();
  json.beginArray();
  json.endArray();
  json.value(std::optional<int32_t>());
  json.value(std::optional<double>(2.5e-300));
  json.endArray();
  json.key("empty");
  json.value("");
  json.endObject();

  clitest::Json doc;
  std::string error;
  ASSERT_TRUE(clitest::parseJson(json.text(), &doc, &error)) << error << "\n" << json.text();
  EXPECT_EQ(doc.order, (std::vector<std::string>{"zeta", "alpha \"quoted\"\n\\", "list", "empty"}));
  EXPECT_EQ(doc["zeta"].number, -32768);
  EXPECT_EQ(doc["alpha \"quoted\"\n\\"].text, "tab\there \x01 done");
  const clitest::Json &list = doc["list"];
  ASSERT_EQ(list.items.size(), 7u);
  EXPECT_EQ(list[0].number, 0.1) << "shortest form still reads back exactly";
  EXPECT_TRUE(list[1].isNull()) << "no infinity in JSON";
  EXPECT_TRUE(list[2].flag);
  EXPECT_EQ(list[3].kind, clitest::Json::Kind::Object);
  EXPECT_EQ(list[4].kind, clitest::Json::Kind::Array);
  EXPECT_TRUE(list[5].isNull());
  EXPECT_EQ(list[6].number, 2.5e-300);
  EXPECT_EQ(doc["empty"].text, "");
}

TEST(Json, TheReaderRefusesWhatIsNotJson) {
  clitest::Json doc;
  std::string error;
  for (const char *bad :
       {"", "{", "{\"a\" 1}", "[1,]", "{\"a\":1,\"a\":2}", "01", "nan", "[1] x"}) {
    EXPECT_FALSE(clitest::parseJson(bad, &doc, &error)) << bad;
  }
}

} // namespace
