#include "core/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "owner_loop.h"
#include "util/text.h"

namespace {

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

// Keeps what the session hands it; read on the test thread once the session
// has handled the events (the feeder waits for that).
struct CollectingSpeech : SpeechService {
    std::vector<SpeechItem> items;
    std::vector<std::pair<std::string, bool>> texts;
    std::vector<GiftEvent> gifts;
    std::vector<SpeechSettings> applied;
    StatusObserver status;

    void pushText(std::string text, bool atFront) override { texts.emplace_back(std::move(text), atFront); }
    void pushItem(SpeechItem item) override { items.push_back(std::move(item)); }
    bool addGift(const GiftEvent& gift) override {
        gifts.push_back(gift);
        return true;
    }
    void applySettings(const SpeechSettings& settings) override { applied.push_back(settings); }
    int loginSdk() override { return 0; }
    void setSpeakObserver(SpeakObserver) override {}
    void setStatusObserver(StatusObserver observer) override { status = std::move(observer); }
};

using testing_support::OwnerLoop;

// Plays `script` on the network thread, given the window and the room.
struct ScriptFeeder : msgfeeder {
    using Script = std::function<void(MessageWindow&, const std::string& room)>;
    ScriptFeeder(MessageWindow& w, Script s) : window(w), script(std::move(s)) {}
    void start(std::string room) override { script(window, room); }
    MessageWindow& window;
    Script script;
};

FeederFactory playing(ScriptFeeder::Script script) {
    return [script](boost::asio::io_context&, MessageWindow& window, const std::atomic<bool>&) {
        return std::make_unique<ScriptFeeder>(window, script);
    };
}

SessionSettings allOn() {
    SessionSettings settings;
    settings.switches = {true, true, true, true, 2, 40};
    settings.speech.queueLimit = 40;
    return settings;
}

class SessionTest : public ::testing::Test {
  protected:
    SessionTest() {
        // A short scripted room, then chat floods until the window closes
        // (it is blocked in a send whenever nobody dispatches).
        feeders[0] = playing([this](MessageWindow& window, const std::string& room) {
            sendStatus(window, gbk("斗鱼"), gbk("连接成功") + room);
            sendChat(window, gbk("甲"), gbk("[表情]大家晚上好啊"));
            sendChat(window, gbk("乙"), gbk("广告广告加我好友"));  // filtered
            sendChat(window, gbk("丙"), gbk("短"));                // too short
            sendChat(window, gbk("丁"), gbk("短"), true);          // paid: any length
            sendGift(window, gbk("戊"), gbk("火箭"), 3);
            sendEnter(window, gbk("己"));
            scriptDone = true;
            while (sendChat(window, "n", "flooding the room")) {
                ++flooded;
            }
        });
        // A quiet room: a status, a chat line and a gift, then nothing.
        feeders[2] = feeders[3] = playing([](MessageWindow& window, const std::string&) {
            sendStatus(window, gbk("斗鱼"), gbk("连接成功"));
            sendChat(window, gbk("甲"), gbk("大家晚上好啊"));
            sendGift(window, gbk("甲"), gbk("火箭"), 1);
        });
        Session::Hooks hooks;
        hooks.post = [this](std::function<void()> task) { loop.post(std::move(task)); };
        hooks.status = [this](const std::string& line) { statusLines.push_back(line); };
        session = std::make_unique<Session>(
            [this](boost::asio::io_context&) {
                auto fake = std::make_unique<CollectingSpeech>();
                speech = fake.get();
                return fake;
            },
            feeders, std::move(hooks),
            [](const std::vector<std::string>& words, const std::string& text) {
                return std::any_of(words.begin(), words.end(),
                                   [&](const std::string& w) { return text.find(w) != std::string::npos; });
            });
    }

    OwnerLoop loop;
    FeederFactories feeders;
    std::atomic<bool> scriptDone{false};
    std::atomic<int> flooded{0};
    std::vector<std::string> statusLines;
    CollectingSpeech* speech = nullptr;
    std::unique_ptr<Session> session;
};

}  // namespace

TEST_F(SessionTest, ARoomsEventsReachTheSpeechQueueThroughTheRules) {
    session->setFilterWords({gbk("广告")});
    session->apply(allOn());
    ASSERT_EQ(speech->applied.size(), 1u);
    EXPECT_EQ(speech->applied[0].queueLimit, 40);

    ASSERT_TRUE(session->login(0, "42"));
    ASSERT_TRUE(loop.pumpUntil([&] { return scriptDone.load(); }));

    EXPECT_EQ(statusLines, std::vector<std::string>{gbk("斗鱼:连接成功42")});
    // The flood that follows the script may already have begun.
    ASSERT_GE(speech->items.size(), 3u);
    speech->items.resize(3);
    std::vector<std::string> spoken;
    for (const SpeechItem& item : speech->items) {
        spoken.push_back(item.text);
    }
    EXPECT_EQ(spoken, (std::vector<std::string>{gbk("甲说:大家晚上好啊"), gbk("丁说:短"),
                                                gbk("滴!滴!欢迎己来到本直播间!")}));
    EXPECT_EQ(speech->items.back().kind, SpeechKind::Welcome);
    EXPECT_EQ(speech->items.front().viewer, gbk("甲"));
    ASSERT_EQ(speech->gifts.size(), 1u);
    EXPECT_EQ(speech->gifts[0].count, 3);
}

TEST_F(SessionTest, OddDeliveriesAreDroppedWithoutHarm) {
    session->apply(allOn());
    struct {
        unsigned message;
        std::unique_ptr<ChatEvent> record;
    } cases[] = {
        {WM_FEEDER_GIFT, std::make_unique<ChatEvent>("not", "a gift")},  // no count to tally
        {1026, std::make_unique<ChatEvent>("no", "such message")},
        {WM_FEEDER_CHAT, nullptr},
        {WM_FEEDER_STATUS, nullptr},
        {WM_FEEDER_ENTER, nullptr},
        {WM_FEEDER_GIFT, nullptr},
    };
    for (auto& c : cases) {
        session->handleMessage(c.message, std::move(c.record));
    }
    EXPECT_TRUE(speech->items.empty());
    EXPECT_TRUE(speech->gifts.empty());
    EXPECT_TRUE(statusLines.empty());
}

// A server's megabyte (a host name quoted in an error) leaves one line.
TEST_F(SessionTest, AHugeStatusIsCutToALine) {
    session->handleMessage(WM_FEEDER_STATUS,
                           std::make_unique<ChatEvent>(gbk("斗鱼"), std::string(1 << 20, 'x') + gbk("尾")));
    ASSERT_EQ(statusLines.size(), 1u);
    EXPECT_EQ(statusLines[0], gbk("斗鱼") + ":" + std::string(kMaxStatusChars, 'x'));
}

TEST_F(SessionTest, EngineStatusLinesArriveOnTheOwnerThread) {
    std::thread worker([&] { speech->status(gbk("语音引擎失败")); });
    worker.join();
    EXPECT_TRUE(statusLines.empty());  // not before the owner runs it
    ASSERT_TRUE(loop.pumpUntil([&] { return !statusLines.empty(); }));
    EXPECT_EQ(statusLines[0], gbk("语音引擎失败"));
}

// The network side: a client per index, one room at a time, read off the
// owner thread (the scripted feeder floods in a loop); the shutdown releases
// the feeder blocked in a send without waiting on the network, and is final.
TEST_F(SessionTest, OneRoomAtATimeAndAShutdownThatReleasesTheFeeder) {
    for (int index : {-1, 1}) {  // 1: no client for this index
        EXPECT_FALSE(session->login(index, "1")) << index;
    }
    ASSERT_TRUE(session->login(0, "1"));
    EXPECT_FALSE(session->login(0, "again"));
    ASSERT_TRUE(loop.pumpUntil([&] { return flooded.load() > 10; }));
    const auto begin = std::chrono::steady_clock::now();
    session->shutdown();  // nobody dispatches: the feeder is blocked in a send
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    EXPECT_FALSE(session->serving());
    EXPECT_TRUE(session->closing());
    EXPECT_FALSE(session->login(0, "1"));  // a login queued behind the close
    session->shutdown();                   // twice is harmless
}

TEST_F(SessionTest, WithSeveralRoomsEachStatusAndLineNamesItsRoom) {
    session->apply(allOn());
    struct {
        std::vector<RoomChoice> also;
        std::vector<std::string> seen;  // status lines, then "chat " or "gift " and the room
    } cases[] = {
        {{}, {"斗鱼:连接成功", "chat ", "gift "}},  // one room: exactly as before
        {{{3, "7"}, {2, "5"}, {3, "7"}, {4, "1"}},  // the main room again, a double, no client
         {"斗鱼[5]:连接成功", "斗鱼[7]:连接成功", "chat 斗鱼[5]", "chat 斗鱼[7]", "gift 斗鱼[5]",
          "gift 斗鱼[7]"}},
        {{{3, "7"}},  // again after 断开: the extra room's window was reopened
         {"斗鱼[5]:连接成功", "斗鱼[7]:连接成功", "chat 斗鱼[5]", "chat 斗鱼[7]", "gift 斗鱼[5]",
          "gift 斗鱼[7]"}},
    };
    for (auto& c : cases) {
        statusLines.clear();
        speech->items.clear();
        speech->gifts.clear();
        ASSERT_TRUE(session->login(2, "5", c.also));
        ASSERT_TRUE(loop.pumpUntil([&] { return speech->gifts.size() == session->roomCount(); }));
        std::vector<std::string> seen;
        for (const std::string& line : statusLines) {
            seen.push_back(util::localToUtf8(line));
        }
        for (const SpeechItem& item : speech->items) {
            seen.push_back("chat " + util::localToUtf8(item.room));
        }
        for (const GiftEvent& gift : speech->gifts) {
            seen.push_back("gift " + util::localToUtf8(gift.room));
        }
        std::sort(seen.begin(), seen.end());
        std::sort(c.seen.begin(), c.seen.end());
        EXPECT_EQ(seen, c.seen);
        session->disconnect();
    }
}

TEST(Session, RefusesToRunWithoutASpeechEngine) {
    EXPECT_THROW(Session([](boost::asio::io_context&) { return nullptr; }, {}, {}, {}),
                 std::invalid_argument);
}
