#include "platforms/douyu/douyu_messages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platforms/douyu/douyu_codec.h"
#include "sim/douyu/douyu_room.h"
#include "util/text.h"

using namespace douyu;

namespace {

const char* kindName(Message::Kind kind) {
    switch (kind) {
        case Message::Kind::Chat:
            return "chat";
        case Message::Kind::Enter:
            return "enter";
        case Message::Kind::Gift:
            return "gift";
        case Message::Kind::LoginResponse:
            return "login";
        case Message::Kind::Ignored:
            return "ignored";
    }
    return "?";
}

std::string unescapeNul(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '0') {
            out += '\0';
            ++i;
        } else {
            out += line[i];
        }
    }
    return out;
}

// What the read loop hands on for a text a server framed.
std::string receivedText(const std::string& text) {
    std::string frame = frameText(text);
    auto length = bodyLengthOf(reinterpret_cast<const std::uint8_t*>(frame.data()));
    EXPECT_TRUE(length);
    // The client adds a NUL of its own on sending; a server's text arrives as it was framed.
    return frame.substr(kHeaderSize, length ? *length - 1 : 0);
}

}  // namespace

TEST(DouyuMessages, GoldenDispatch) {
    std::ifstream file(std::string(SONARO_TEST_DATA) + "/douyu/dispatch.golden");
    ASSERT_TRUE(file) << "golden data missing";
    std::string line, input;
    int cases = 0;
    while (std::getline(file, line)) {
        if (line.rfind("in:", 0) == 0) {
            input = unescapeNul(line.substr(3));
        } else if (line.rfind("out:", 0) == 0) {
            Message m = parseMessage(receivedText(input));
            std::string actual = std::string(kindName(m.kind)) + "|" + util::localToUtf8(m.name) + "|" +
                                 util::localToUtf8(m.text) + "|" + std::to_string(m.count);
            EXPECT_EQ(actual, line.substr(4)) << "for " << input;
            ++cases;
        }
    }
    EXPECT_GE(cases, 25);
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
        {"last configuration wins",
         "{\"room_id\":7,\"server_config\":\"" + config(R"([{"ip":"9.9.9.9","port":"1"}])") +
             "\"};\n{\"server_config\":\"" + config(R"([{"ip":"8.8.8.8","port":"2"}])") + "\"};",
         true,
         "7",
         {"8.8.8.8:2"}},
        {"quoted room id kept verbatim",
         "{\"room_id\":\"55\",\"server_config\":\"" + config(R"([{"ip":"1.2.3.4","port":"5"}])") + "\"};",
         true,
         "\"55\"",
         {"1.2.3.4:5"}},
        {"blank address, negative and wordy ports skipped",
         "{\"room_id\":1,\"server_config\":\"" +
             config(
                 R"([{"ip":"  ","port":"1"},{"ip":"a","port":"-3"},{"ip":"b","port":"x"},{"ip":"c","port":"6"}])") +
             "\"};",
         true,
         "1",
         {"c:6"}},
        {"no room id", "{\"server_config\":\"" + threeServers + "\"};", false, "old", {}},
        {"no comma after the room id", "{\"room_id\":1}", false, "old", {}},
        {"no configuration", "{\"room_id\":3,\"other\":1};", false, "3", {}},
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

TEST(DouyuMessages, AuthenticationAnswers) {
    EXPECT_EQ(userNameOf("type@=loginres/userid@=0/username@= visitor42 /nickname@=v/"), "visitor42");
    EXPECT_EQ(userNameOf("username@"), "");
    EXPECT_FALSE(hasUserName("type@=msgrepeaterlist/"));

    std::string list =
        "type@=msgrepeaterlist/rid@=1/"
        "list@=id@AA=1@ASnr@AA=1@ASip@AA=1.2.3.4@ASport@AA=8601@AS@Sid@AA=2@ASport@AA= "
        "@AS@Sid@AA=3@ASport@AA= 8603 @AS@S/";
    EXPECT_EQ(chatPortsOf(list), (std::vector<std::string>{"8601", "8603"}));
    EXPECT_TRUE(chatPortsOf("port@AA=").empty());

    EXPECT_EQ(groupIdOf("type@=setmsggroup/rid@=1/gid@= 1 /"), "1");
    EXPECT_EQ(groupIdOf("type@=setmsggroup/rid@=1/gid@=2"), "2");  // no closing slash
    EXPECT_EQ(groupIdOf("type@=setmsggroup/rid@=1/"), "");
}

TEST(DouyuMessages, LoginTextsAndClock) {
    const char* oldTz = std::getenv("TZ");
    std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "CST-8", 1);
    ::tzset();
    EXPECT_EQ(localClockSeconds(1700000000), 1700000000 - 28800);
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    EXPECT_EQ(localClockSeconds(1700000000), 1700000000);
    if (oldTz) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();

    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(
        authLoginText("288016", 1699971200),
        "type@=loginreq/username@=/ct@=0/password@=/roomid@=288016/devid@=A1B2C3D4E5F60718293A4B5C6D7E8F90/"
        "rt@=1699971200/vk@=" +
            md5Hex("1699971200") + "/ver@=20150929/");
    EXPECT_EQ(chatLoginText("v42", "288016"),
              "type@=loginreq/username@=v42/password@=8642097531864209/roompass@=/roomid@=288016");
    EXPECT_EQ(joinGroupText("288016", "0"), "type@=joingroup/rid@=288016/gid@=0/");
    EXPECT_EQ(chatKeepAliveText(0x80000001ull), "type@=keeplive/tick@=-2147483647/");
    EXPECT_EQ(authKeepAliveText(1234), "type@=keeplive/tick@=1234/");
}
