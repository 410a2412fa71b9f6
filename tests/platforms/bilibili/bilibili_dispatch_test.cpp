#include "platforms/bilibili/bilibili_dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "util/text.h"

using namespace bilibili;
using namespace std::chrono_literals;

namespace {

// Delivers through a real message window: a thread of its own stands for the
// dialog, and the test thread sends (blocking) as the network thread does.
struct Rig {
    std::vector<std::string> seen;  // "<message> <name>|<text>" in UTF-8
    std::chrono::steady_clock::time_point now{};
    MessageWindow window{[this](unsigned message, std::unique_ptr<ChatEvent> record) {
        seen.push_back(std::to_string(message) + " " + util::localToUtf8(record->name) + "|" +
                       util::localToUtf8(record->text));
    }};
    CommandDispatch dispatch{window, [](std::string_view, std::size_t) {}, [this] { return now; }};
    std::atomic<bool> running{true};
    std::thread dialog{[this] {
        while (running) {
            window.waitAndDispatch(5ms);
        }
    }};

    ~Rig() {
        running = false;
        dialog.join();
    }
    bool feed(const std::string& json) { return dispatch.handle(json); }
    std::string like(int uid, const std::string& name) {
        return R"({"cmd":"LIKE_INFO_V3_CLICK","data":{"uid":)" + std::to_string(uid) + R"(,"uname":")" +
               name + R"("}})";
    }
};

const std::string kHidden = "1028 哔哩哔哩|游客模式,昵称被隐藏;登录见bilibili_cookie.txt";

}  // namespace

TEST(BilibiliDispatch, MaskedNamesAreSpokenWithoutTheirMaskAndTheNoticeShowsOnce) {
    const std::pair<const char*, const char*> names[] = {
        {"用***", "用某"}, {"***", "观众"}, {"路*", "路某"}, {" * ", "观众"}, {"小明", "小明"}, {"", ""},
    };
    for (const auto& [sent, spoken] : names) {
        EXPECT_EQ(util::localToUtf8(speakableName(util::utf8ToLocal(sent))), spoken) << sent;
    }

    // Each connection may show the notice once (a logged-in one keeps the
    // asterisks: BilibiliClient.TheCookieLogsInOnlyWhenTheNavAnswerConfirmsIt).
    Rig rig;
    rig.dispatch.startConnection(false);
    ASSERT_TRUE(rig.feed(R"({"cmd":"LOG_IN_NOTICE","data":{"notice_msg":"未登录"}})"));
    ASSERT_TRUE(rig.feed(R"({"cmd":"LOG_IN_NOTICE","data":{}})"));
    rig.dispatch.startConnection(false);
    ASSERT_TRUE(rig.feed(R"({"cmd":"LOG_IN_NOTICE","data":{}})"));
    EXPECT_EQ(rig.seen, (std::vector<std::string>{kHidden, kHidden}));
}

TEST(BilibiliDispatch, LikesFoldPerViewerForAMinuteWithinABoundedMemory) {
    Rig rig;
    rig.dispatch.startConnection(true);
    struct Step {
        std::chrono::seconds after;
        int uid;
        const char* name;
        bool read;
    };
    const Step steps[] = {
        {0s, 7, "甲", true},   {1s, 7, "甲", false}, {1s, 8, "乙", true},  {57s, 7, "甲改名", false},
        {1s, 7, "甲", true},   {0s, 0, "丙", true},  {0s, 0, "丙", false}, {0s, 0, "丁", true},
        {59s, 7, "甲", false}, {1s, 7, "甲", true},
    };
    std::size_t expected = 0;
    for (const Step& step : steps) {
        rig.now += step.after;
        ASSERT_TRUE(rig.feed(rig.like(step.uid, step.name)));
        expected += step.read ? 1 : 0;
        EXPECT_EQ(rig.seen.size(), expected) << step.name << " +" << step.after.count();
    }

    // A flood of distinct likers: the remembered ones are capped, the rest dropped.
    rig.now += 61s;
    rig.seen.clear();
    for (std::size_t i = 0; i < CommandDispatch::kMaxLikers + 50; ++i) {
        ASSERT_TRUE(rig.feed(rig.like(static_cast<int>(1000 + i), "x")));
    }
    EXPECT_EQ(rig.seen.size(), CommandDispatch::kMaxLikers);
    rig.now += 60s;
    ASSERT_TRUE(rig.feed(rig.like(99, "y")));
    EXPECT_EQ(rig.seen.size(), CommandDispatch::kMaxLikers + 1);
}
