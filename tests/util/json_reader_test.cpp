#include "util/json_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using util::JsonLimits;
using util::JsonReader;
using util::JsonShape;

TEST(JsonReader, LookUpsKeepTheirTypesInAnyOrder) {
    JsonReader reader;
    ASSERT_TRUE(reader.open(R"({"cmd":"X","data":{"n":42,"s":"4\u4e2d2","f":1.5,"b":true,"big":1e400},
                               "info":[0,["a"],[7,"name"]]})"));
    EXPECT_EQ(reader.text("/data/s"),
              "4\xE4\xB8\xAD"
              "2");
    EXPECT_EQ(reader.text("/cmd"), "X");  // back to the top after a deeper look-up
    EXPECT_EQ(reader.integer("/data/n"), 42);
    EXPECT_EQ(reader.text("/info/2/1"), "name");
    EXPECT_EQ(reader.boolean("/data/b"), true);
    EXPECT_EQ(reader.text("/data/n"), std::nullopt);  // a number is not a text
    EXPECT_EQ(reader.integer("/data/s"), std::nullopt);
    EXPECT_EQ(reader.integer("/data/f"), std::nullopt);
    EXPECT_EQ(reader.integer("/data/big"), std::nullopt);
    EXPECT_EQ(reader.boolean("/data/n"), std::nullopt);
    EXPECT_EQ(reader.text("/info/9"), std::nullopt);
    EXPECT_FALSE(reader.has("/data/none"));
    EXPECT_TRUE(reader.has("/info/1/0"));

    // Broken documents are the text helpers' golden "jsonReader" cases; one of
    // them must not leave this document open.
    EXPECT_FALSE(reader.open("{\"a\":\"x\"") && reader.check() == JsonShape::Ok);
    EXPECT_FALSE(reader.has("/cmd"));  // nothing is left open by a refused text
}

TEST(JsonReader, WalksArraysUpToALimitAndRefusesTooLargeTexts) {
    JsonReader reader(JsonLimits{1u << 20, 8, 1000});
    std::string hosts = R"({"list":[)";
    for (int i = 0; i < 50; ++i) {
        hosts += R"({"port":)" + std::to_string(i) + R"(,"host":"h)" + std::to_string(i) + R"("},)";
    }
    hosts += R"(7]})";
    ASSERT_TRUE(reader.open(hosts));
    EXPECT_EQ(reader.check(), JsonShape::Ok);
    std::string seen;
    ASSERT_TRUE(reader.forEach("/list", 3, [&](util::JsonValue entry) {
        seen += util::jsonText(entry["host"]).value_or("?") + ":" +
                std::to_string(util::jsonInteger(entry["port"]).value_or(-1)) + " ";
        return true;
    }));
    EXPECT_EQ(seen, "h0:0 h1:1 h2:2 ");
    EXPECT_FALSE(reader.forEach("/list/0", 3, [](util::JsonValue) { return true; }));

    EXPECT_FALSE(reader.open(std::string((1u << 20) + 1, ' ')));
    std::string wide = "[" + std::string(4000, '0');
    for (std::size_t i = 1; i < wide.size(); i += 2) {
        wide[i] = ',';
    }
    wide.back() = ']';
    ASSERT_TRUE(reader.open(wide));
    EXPECT_EQ(reader.check(), JsonShape::TooWide);
}

}  // namespace
