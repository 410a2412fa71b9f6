#include "platforms/historic/douyu/douyu_messages.h"

#include <gtest/gtest.h>

#include "../../golden.h"
#include "platforms/douyuws/douyu_codec.h"
#include "sim/historic/douyu/douyu_room.h"
#include "util/text.h"

using namespace douyu;

TEST(DouyuMessages, GoldenDispatch) {
    const char* const kinds[] = {"ignored", "login", "chat", "enter", "gift"};
    auto cases = testing_support::goldenCases("historic/douyu/dispatch.golden");
    ASSERT_GE(cases.size(), 25u);
    for (const auto& c : cases) {
        Message m = parseMessage(c.in);
        EXPECT_EQ(std::string(kinds[static_cast<int>(m.kind)]) + "|" + util::localToUtf8(m.name) + "|" +
                      util::localToUtf8(m.text) + "|" + std::to_string(m.count),
                  c.out)
            << "for " << c.in;
    }
}

TEST(DouyuMessages, RoomPage) {
    auto config = [](const std::string& json) { return sim::douyuPageEncode(json); };
    std::string threeServers = config(
        R"([{"ip":"1.1.1.1","port":"4001"},{"ip":"2.2.2.2","port":"0"},{"ip":" 3.3.3.3 ","port":" 4003 "}])");
    struct Case {
        const char* name;
        std::string page;
        bool found;
        std::string roomId;
        std::vector<std::string> servers;  // "address:port"
    } cases[] = {
        {"port 0 skipped, blanks trimmed",
         "var $ROOM = {\"room_id\":288016,\"x\":1};\n$ROOM.args = {\"server_config\":\"" + threeServers +
             "\"};",
         true,
         "288016",
         {"1.1.1.1:4001", "3.3.3.3:4003"}},
        {"configuration without its end",
         "{\"room_id\":3,\"server_config\":\"" + threeServers,
         false,
         "3",
         {}},
        {"address without a port",
         "{\"room_id\":3,\"server_config\":\"" + config(R"([{"ip":"1.1.1.1"}])") + "\"};",
         false,
         "3",
         {}},
    };
    for (const auto& c : cases) {
        std::string roomId = "old";
        std::vector<ServerEntry> servers{{"stale", 1}};
        EXPECT_EQ(parseRoomPage(c.page, roomId, servers), c.found) << c.name;
        EXPECT_EQ(roomId, c.roomId) << c.name;
        std::vector<std::string> got;
        for (const auto& s : servers) {
            got.push_back(s.address + ":" + std::to_string(s.port));
        }
        EXPECT_EQ(got, c.servers) << c.name;
    }
}

TEST(DouyuMessages, AuthenticationAnswersAndKeepAlives) {
    EXPECT_EQ(userNameOf("type@=loginres/userid@=0/username@= visitor42 /nickname@=v/"), "visitor42");
    EXPECT_EQ(userNameOf("username@"), "");
    std::string list =
        "type@=msgrepeaterlist/rid@=1/"
        "list@=id@AA=1@ASnr@AA=1@ASip@AA=1.2.3.4@ASport@AA=8601@AS@Sid@AA=2@ASport@AA= "
        "@AS@Sid@AA=3@ASport@AA= 8603 @AS@S/";
    EXPECT_EQ(chatPortsOf(list), (std::vector<std::string>{"8601", "8603"}));
    EXPECT_EQ(groupIdOf("type@=setmsggroup/rid@=1/gid@=2"), "2");  // no closing slash
    EXPECT_EQ(groupIdOf("type@=setmsggroup/rid@=1/"), "");
    EXPECT_EQ(chatKeepAliveText(0x80000001ull), "type@=keeplive/tick@=-2147483647/");
}
