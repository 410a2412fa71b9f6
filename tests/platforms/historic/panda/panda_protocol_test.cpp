#include "platforms/historic/panda/panda_protocol.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../../golden.h"
#include "util/text.h"

using namespace panda;

namespace {

std::string be16(std::size_t n) {
    return {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
}

// "kind|name|text|count" in UTF-8.
std::string describe(const Message& m) {
    return std::string(m.kind == Message::Chat ? "chat|" : "gift|") + util::localToUtf8(m.name) + "|" +
           util::localToUtf8(m.text) + "|" + std::to_string(m.count);
}

// Drives the frame reader over a byte stream the way the client's exact reads
// do, collecting each complete frame's kind and body.
struct StreamResult {
    std::vector<std::pair<int, std::string>> frames;
    bool broken = false;
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
    return result;
}

}  // namespace

TEST(PandaChatInfo, ReadsCredentialsAndServersInOrder) {
    auto info = parseChatInfo(testing_support::testData("historic/panda/chatinfo.json"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->authtype, "4");
    std::vector<std::string> servers;
    for (const auto& s : info->servers) {
        servers.push_back(s.address + ":" + std::to_string(s.port));
    }
    // Blanks after the colon are skipped; a missing port reads as 0.
    EXPECT_EQ(servers,
              (std::vector<std::string>{"115.159.203.155:8080", "115.159.203.156:443", "10.0.0.1:0"}));
    // Numbers are taken as their text.
    EXPECT_EQ(loginText(*info),
              "u:-47491123@134224728\nk:1\nt:300\nts:1473662127582\nsign:5f1d0a3c9b\nauthtype:3");
    EXPECT_EQ(buildLoginPacket(*info),
              std::string("\x00\x06\x00\x02", 4) + be16(loginText(*info).size()) + loginText(*info));

    // Refused: the client looks the room up again.
    const std::string good = testing_support::testData("historic/panda/chatinfo.json");
    std::string noAuthtype = good;
    noAuthtype.replace(noAuthtype.find("\"authtype\""), 10, "\"other\"");
    for (const std::string& bad : {std::string(), good.substr(0, good.size() - 3), noAuthtype}) {
        EXPECT_FALSE(parseChatInfo(bad)) << bad;
    }
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
        {"largest body",
         std::string("\x00\x06\x00\x03", 4) + std::string(9, '\0') + be16(32768) + std::string(32768, 'x'),
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
    auto r = readStream(testing_support::testData("historic/panda/batch_three_records.bin"));
    ASSERT_EQ(r.frames.size(), 1u);
    std::vector<std::string> seen;
    forEachBatchRecord(r.frames[0].second, [&](std::string_view json) {
        if (auto m = parseMessage(json)) {
            seen.push_back(describe(*m));
        }
    });
    // The nickname is not trimmed, the chat text is.
    EXPECT_EQ(seen,
              (std::vector<std::string>{"chat|小明 |你好 主播|0", "gift|竹林|竹子|10", "gift|阿花|火箭|2"}));
}

TEST(PandaBatch, RecordRunningPastTheBodyStopsAtItsEnd) {
    std::string first = R"({"type":1,"data":{"from":{"nickName":"a"},"content":"b"}})";
    std::string body =
        std::string(14, '\0') + be16(first.size()) + first + std::string(14, '\0') + be16(500) + "{\"type\"";
    std::vector<std::string> seen;
    forEachBatchRecord(body, [&](std::string_view p) { seen.emplace_back(p); });
    EXPECT_EQ(seen, (std::vector<std::string>{first, "{\"type\""}));

    seen.clear();
    forEachBatchRecord(std::string(16, '\0'), [&](std::string_view p) { seen.emplace_back(p); });
    EXPECT_TRUE(seen.empty());  // a record head without payload
}

TEST(PandaMessages, GoldenRecords) {
    auto cases = testing_support::goldenCases("historic/panda/messages.golden");
    ASSERT_GE(cases.size(), 11u);
    for (const auto& c : cases) {
        auto m = parseMessage(c.in);
        EXPECT_EQ(m ? describe(*m) : "none", c.out) << c.in;
    }
    EXPECT_FALSE(parseMessage(std::string(5000, '[') + std::string(5000, ']')));  // too deep to read safely
}
