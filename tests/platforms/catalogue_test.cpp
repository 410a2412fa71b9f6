#include "platforms/catalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "golden.h"

// Hosts' scripts and the user guide name these variables: a rename or a new
// default breaks them.
TEST(Catalogue, HostVariablesKeepTheirNamesDefaultsAndOrder) {
    const auto table = testing_support::goldenCases("platforms/host_variables.golden");
    const auto variables = platforms::hostVariables();
    ASSERT_EQ(variables.size(), table.size());
    for (std::size_t i = 0; i < variables.size(); ++i) {
        EXPECT_EQ(variables[i].name, table[i].in);
        EXPECT_EQ(variables[i].defaultValue, table[i].out) << table[i].in;
        PlatformHosts hosts;
        EXPECT_FALSE(platforms::setHost(hosts, table[i].in, "")) << "an empty value keeps the default";
        EXPECT_TRUE(platforms::setHost(hosts, table[i].in, "127.0.0.1:4000"));
        EXPECT_EQ(hosts.values,
                  (std::map<std::string, std::string, std::less<>>{{table[i].in, "127.0.0.1:4000"}}));
    }
    PlatformHosts hosts;
    EXPECT_FALSE(platforms::setHost(hosts, "SONARO_DOUYU", "x"));
    EXPECT_FALSE(platforms::setHost(hosts, "sonaro_douyu_host", "x"));
    EXPECT_TRUE(hosts.values.empty());
}

// The settings store an entry's index and the dialog shows its names.
TEST(Catalogue, EveryEntrySitsAtItsIndexWithNamesOfItsOwn) {
    std::set<std::string> keys, listNames;
    const auto list = platforms::catalogue();
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i]->index, static_cast<int>(i)) << list[i]->key;
        EXPECT_TRUE(keys.insert(list[i]->key).second) << list[i]->key;
        EXPECT_TRUE(listNames.insert(list[i]->listName).second) << list[i]->key;
        EXPECT_TRUE(*list[i]->helpName && *list[i]->statusPrefix && list[i]->makeClient) << list[i]->key;
    }
    EXPECT_EQ(platforms::entryAt(-1), nullptr);
    EXPECT_EQ(platforms::entryAt(static_cast<int>(list.size())), nullptr);
}
