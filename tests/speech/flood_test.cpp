// Floods of room entries and of gifts from ever new senders, twenty seconds'
// worth at 10,000 a second and more, on a clock the test moves. Nothing
// plays to its end, so nothing drains: whatever the engine keeps, it keeps
// in memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "fake_sdk.h"
#include "speech/speech_engine.h"
#include "temp_dir.h"
#include "wait.h"

namespace {

// AddressSanitizer holds freed blocks back in its quarantine (256 MB by
// default), so there the resident set says little about what is kept.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kGrowthBoundMb = 600;
#else
constexpr double kGrowthBoundMb = 64;
#endif

// The resident set of this process in MB.
double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

class Flood : public ::testing::Test {
  protected:
    void SetUp() override {
        engine = std::make_unique<SpeechEngine>(
            sdk, output, [this] { return now.load(); }, dir.file("waves"));
        ASSERT_EQ(engine->loginSdk(), 0);
        engine->applySettings(SpeechSettings{});  // a queue limit of 100
    }

    // Runs `perSecond` calls of `one(second, i)` for 20 seconds of the test's
    // clock and returns the growth of the resident set in MB.
    template <typename F>
    double flood(int perSecond, F one) {
        double before = residentMb(), peak = before;
        for (int second = 0; second < 20; ++second) {
            for (int i = 0; i < perSecond; ++i) {
                one(second, i);
            }
            now += 1;
            peak = std::max(peak, residentMb());
        }
        return peak - before;
    }

    testing_support::TempDir dir;
    testing_support::FakeSdk sdk;
    testing_support::EndlessOutput output;
    std::atomic<std::int64_t> now{1'700'000'000};
    std::unique_ptr<SpeechEngine> engine;
};

TEST_F(Flood, RoomEntriesKeepMemoryFlat) {
    const std::string name(20, 'n');
    double grown = flood(10'000, [&](int second, int i) {
        engine->pushItem(
            {"welcome " + std::to_string(second) + "/" + std::to_string(i), SpeechKind::Welcome, name});
        engine->pushItem({"chat " + std::to_string(i), SpeechKind::Chat, name});
    });
    std::printf("400,000 entries and chat lines: resident set grew %.1f MB, %zu texts waiting\n", grown,
                engine->queuedTexts());
    EXPECT_LE(engine->queuedTexts(), 200u);  // a kind of its own beside the chat limit
    EXPECT_LT(grown, kGrowthBoundMb);
    // The newest welcome is read first.
    auto waiting = engine->snapshot().waiting;
    EXPECT_TRUE(std::any_of(waiting.begin(), waiting.end(),
                            [](const Announcement& a) { return a.item.text == "welcome 19/9999"; }));
}

TEST_F(Flood, GiftsFromEverNewSendersKeepMemoryFlat) {
    double grown = flood(30'000, [&](int second, int i) {
        engine->addGift(GiftEvent("sender " + std::to_string(second) + "/" + std::to_string(i), "rose", 1));
    });
    std::printf(
        "600,000 gifts from distinct senders: resident set grew %.1f MB, %zu senders tallied, "
        "%zu texts waiting\n",
        grown, engine->tallySenders(), engine->queuedTexts());
    EXPECT_LE(engine->tallySenders(), speech::GiftTally::kMaxSenders);
    EXPECT_LE(engine->queuedTexts(), 100u);
    EXPECT_LT(grown, kGrowthBoundMb);
}

}  // namespace
