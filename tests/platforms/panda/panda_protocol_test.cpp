#include "platforms/panda/panda_protocol.h"

#include <gtest/gtest.h>

#include <cstring>

#include "test_data.h"
#include "util/text.h"

using namespace panda;

namespace {

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

std::string be16(std::size_t n) {
    return {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
}

std::string batchFrame(const std::string& body) {
    return std::string("\x00\x06\x00\x03", 4) + std::string(9, '\0') + be16(body.size()) + body;
}

std::string record(const std::string& payload) {
    return std::string(14, '\0') + be16(payload.size()) + payload;
}

// Drives the frame reader over a byte stream the way the client's exact reads
// do, collecting each complete frame's kind and body.
struct StreamResult {
    std::vector<std::pair<int, std::string>> frames;
    bool broken = false;
    std::size_t consumed = 0;
};

StreamResult readStream(const std::string& stream) {
    StreamResult result;
    PandaFrame frame;
    NextRead next;
    std::size_t pos = 0;
    while (pos + next.length <= stream.size()) {
        std::memcpy(frame.data.data() + next.offset, stream.data() + pos, next.length);
        pos += next.length;
        if (next.what == NextRead::Body) {
            result.frames.emplace_back(frame.kind,
                                       std::string(reinterpret_cast<const char*>(frame.body()), next.length));
            frame.stage = 0;
            next = NextRead{};
            continue;
        }
        next = afterHeadRead(frame);
        if (next.what == NextRead::Broken) {
            result.broken = true;
            break;
        }
    }
    result.consumed = pos;
    return result;
}

}  // namespace

TEST(PandaChatInfo, ReadsCredentialsAndServersInOrder) {
    auto info = parseChatInfo(testing_support::testData("panda/chatinfo.json"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->rid, "-47491123");  // numbers are taken as their text
    EXPECT_EQ(info->appid, "134224728");
    EXPECT_EQ(info->ts, "1473662127582");
    EXPECT_EQ(info->sign, "5f1d0a3c9b");
    EXPECT_EQ(info->authtype, "4");
    ASSERT_EQ(info->servers.size(), 3u);
    EXPECT_EQ(info->servers[0].address, "115.159.203.155");
    EXPECT_EQ(info->servers[0].port, 8080);
    EXPECT_EQ(info->servers[1].port, 443);  // blanks after the colon are skipped
    EXPECT_EQ(info->servers[2].address, "10.0.0.1");
    EXPECT_EQ(info->servers[2].port, 0);

    EXPECT_EQ(loginText(*info),
              "u:-47491123@134224728\nk:1\nt:300\nts:1473662127582\nsign:5f1d0a3c9b\nauthtype:3");
    std::string packet = buildLoginPacket(*info);
    EXPECT_EQ(packet.substr(0, 4), std::string("\x00\x06\x00\x02", 4));
    EXPECT_EQ(packet.substr(4, 2), be16(loginText(*info).size()));
    EXPECT_EQ(packet.size(), loginText(*info).size() + 6);
    EXPECT_EQ(heartbeatPacket(), std::string("\x00\x06\x00\x00", 4));
}

TEST(PandaChatInfo, RefusesIncompleteDocuments) {
    const char* bad[] = {
        "",
        "not json",
        R"({"errno":0})",
        R"({"data":{"rid":1,"appid":2,"ts":3,"sign":"s","chat_addr_list":["1.2.3.4:1"]}})",  // no authtype
        R"({"data":{"rid":1,"appid":2,"ts":3,"sign":"s","authtype":"4"}})",                  // no list
    };
    for (const char* body : bad) {
        EXPECT_FALSE(parseChatInfo(body)) << body;
    }
    auto empty =
        parseChatInfo(R"({"data":{"rid":1,"appid":2,"ts":3,"sign":"s","authtype":"4","chat_addr_list":[]}})");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->servers.empty());
    EXPECT_EQ(chatInfoUrl("h:81", "12 3&x"), "h:81/ajax_chatinfo?roomid=12 3&x&retry=0");
}

TEST(PandaFrames, ClassifiesHeadersAndBoundsTheBody) {
    std::string loginAnswer = std::string("\x00\x06\x00\x06", 4) + be16(3) + "abc";
    std::string bare = std::string("\x00\x06\x00\x01", 4);
    struct Case {
        const char* what;
        std::string stream;
        std::vector<std::pair<int, std::string>> frames;
        bool broken;
    } cases[] = {
        {"bare header is 4 bytes alone", bare + loginAnswer, {{PandaFrame::LoginAnswer, "abc"}}, false},
        {"odd second byte is bare too",
         std::string("\x01\x07\x00\x03", 4) + loginAnswer,
         {{PandaFrame::LoginAnswer, "abc"}},
         false},
        {"largest body",
         batchFrame(std::string(32768, 'x')),
         {{PandaFrame::MessageBatch, std::string(32768, 'x')}},
         false},
        {"body one byte too long",
         std::string("\x00\x06\x00\x03", 4) + std::string(9, '\0') + be16(32769),
         {},
         true},
        {"empty login answer",
         std::string("\x00\x06\x00\x06\x00\x00", 6),
         {{PandaFrame::LoginAnswer, ""}},
         false},
    };
    for (const auto& c : cases) {
        auto r = readStream(c.stream);
        EXPECT_EQ(r.frames, c.frames) << c.what;
        EXPECT_EQ(r.broken, c.broken) << c.what;
    }
}

TEST(PandaBatch, GoldenFrameYieldsThreeEventsInOrder) {
    auto r = readStream(testing_support::testData("panda/batch_three_records.bin"));
    ASSERT_EQ(r.frames.size(), 1u);
    std::vector<Message> messages;
    forEachBatchRecord(r.frames[0].second, [&](std::string_view json) {
        if (auto m = parseMessage(json)) {
            messages.push_back(*m);
        }
    });
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].kind, Message::Chat);
    EXPECT_EQ(messages[0].name, gbk("小明 "));      // the nickname is not trimmed
    EXPECT_EQ(messages[0].text, gbk("你好 主播"));  // the chat text is
    EXPECT_EQ(messages[1].kind, Message::Gift);
    EXPECT_EQ(messages[1].text, gbk("竹子"));
    EXPECT_EQ(messages[1].count, 10);
    EXPECT_EQ(messages[2].name, gbk("阿花"));
    EXPECT_EQ(messages[2].text, gbk("火箭"));
    EXPECT_EQ(messages[2].count, 2);
}

TEST(PandaBatch, RecordRunningPastTheBodyStopsAtItsEnd) {
    std::string first = R"({"type":1,"data":{"from":{"nickName":"a"},"content":"b"}})";
    std::string body = record(first) + std::string(14, '\0') + be16(500) + "{\"type\"";
    std::vector<std::string> seen;
    forEachBatchRecord(body, [&](std::string_view p) { seen.emplace_back(p); });
    EXPECT_EQ(seen, (std::vector<std::string>{first, "{\"type\""}));

    seen.clear();
    forEachBatchRecord(std::string(16, '\0'), [&](std::string_view p) { seen.emplace_back(p); });
    EXPECT_TRUE(seen.empty());  // a record head without payload
}

TEST(PandaMessages, TypesAndConversions) {
    struct Case {
        const char* json;
        bool delivered;
        Message::Kind kind;
        const char* text;
        int count;
    } cases[] = {
        {R"({"type":"1","data":{"from":{"nickName":"n"},"content":"hi"}})", true, Message::Chat, "hi", 0},
        {R"({"type":" 1 ","data":{"from":{"nickName":"n"},"content":"hi"}})", true, Message::Chat, "hi", 0},
        {R"({"type":2,"data":{"from":{"nickName":"n"},"content":"hi"}})", false, Message::Chat, "", 0},
        {R"({"type":207,"data":{"from":{"nickName":"n"},"content":"hi"}})", false, Message::Chat, "", 0},
        {R"({"type":"1.0","data":{"from":{"nickName":"n"},"content":"hi"}})", false, Message::Chat, "", 0},
        {R"({"type":1,"data":{"content":"hi"}})", false, Message::Chat, "", 0},
        {R"({"type":206,"data":{"from":{"nickName":"n"},"content":"x5"}})", true, Message::Gift, "竹子", 0},
        {R"({"type":206,"data":{"from":{"nickName":"n"},"content":" -3"}})", true, Message::Gift, "竹子", -3},
        {R"({"type":306,"data":{"from":{"nickName":"n"},"content":{"name":"g","count":3}}})", false,
         Message::Gift, "", 0},
        {R"({"type":306,"data":{"from":{"nickName":"n"},"content":{"name":"g","count":3,"price":"x"}}})",
         false, Message::Gift, "", 0},
        {R"({"type":306,"data":{"from":{"nickName":"n"},"content":{"name":"g","count":3,"price":1}}})", true,
         Message::Gift, "g", 3},
        {"{\"type\":1,", false, Message::Chat, "", 0},
    };
    for (const auto& c : cases) {
        auto m = parseMessage(c.json);
        ASSERT_EQ(m.has_value(), c.delivered) << c.json;
        if (m) {
            EXPECT_EQ(m->kind, c.kind) << c.json;
            EXPECT_EQ(m->text, gbk(c.text)) << c.json;
            EXPECT_EQ(m->count, c.count) << c.json;
        }
    }
    EXPECT_FALSE(parseMessage(std::string(5000, '[') + std::string(5000, ']')));  // too deep to read safely
}
