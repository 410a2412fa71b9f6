// The host's controls on a running engine: a scripted SDK whose every text
// lasts as long as the test wants, the real audio output under SDL's dummy
// driver, and an observer that records what the reader says it plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>

#include "fake_sdk.h"
#include "sdk/audio/sdl_audio_output.h"
#include "speech/speech_engine.h"
#include "temp_dir.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;
using testing_support::waitUntil;

class ReaderControls : public ::testing::Test {
  protected:
    // The engine's observer writes into `events` until the engine is gone.
    void TearDown() override { engine.reset(); }

    void start(int audioMs) {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        sdk.steps = {{testing_support::FakeSdk::pcm(audioMs), tts::kSynthComplete, 0}};
        engine = std::make_unique<SpeechEngine>(
            sdk, audio, [this] { return now.load(); }, wavesDir);
        SpeechSettings settings;
        settings.durationLimit = 0;  // no cut: the files play for as long as they last
        engine->applySettings(settings);
        engine->setReaderObserver([this](const ReaderState& state) {
            std::lock_guard guard(lock);
            events.push_back(state);
        });
        ASSERT_EQ(engine->loginSdk(), 0);
    }

    std::string playingText() {
        auto snapshot = engine->snapshot();
        return snapshot.playing ? snapshot.playing->item.text : "";
    }
    // "text" (or "text/viewer") of each announcement, in the listed order.
    static std::vector<std::string> texts(const std::vector<Announcement>& list, bool viewers = false) {
        std::vector<std::string> out;
        for (const auto& a : list) {
            out.push_back(viewers ? a.item.text + "/" + a.item.viewer : a.item.text);
        }
        return out;
    }
    std::size_t filesOnDisk() {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(wavesDir), {}));
    }
    testing_support::TempDir dir;
    std::string wavesDir = dir.file("waves");
    testing_support::FakeSdk sdk;
    audio::SdlAudioOutput audio;
    std::atomic<std::int64_t> now{1'700'000'000};
    std::unique_ptr<SpeechEngine> engine;
    std::mutex lock;
    std::vector<ReaderState> events;
};

TEST_F(ReaderControls, ClearEmptiesTheQueueAndDeletesWaitingFiles) {
    start(20'000);
    for (const char* text : {"one", "two", "three", "four", "five"}) {
        engine->pushText(text, false);
    }
    // One plays, two finished files wait, two texts wait in the queue.
    ASSERT_TRUE(waitUntil([&] { return playingText() == "one" && filesOnDisk() == 3; }));
    EXPECT_EQ(engine->snapshot().waiting.size(), 4u);

    engine->clear();
    auto snapshot = engine->snapshot();
    EXPECT_TRUE(snapshot.waiting.empty());
    // A text caught in synthesis loses its file as soon as the synthesis ends.
    EXPECT_TRUE(waitUntil([&] { return filesOnDisk() == 1u; }));
    EXPECT_EQ(playingText(), "one") << "clearing the waiting ones cut the one playing";
    EXPECT_FALSE(waitUntil([&] { return sdk.with([](auto& s) { return s.texts.size(); }) > 3; }, 300ms));

    // The reader goes on with whatever comes next.
    engine->pushText("six", false);
    engine->skip();
    EXPECT_TRUE(waitUntil([&] { return playingText() == "six"; }));
}

TEST_F(ReaderControls, PauseLetsTheCurrentFinishAndHoldsTheNext) {
    start(150);
    engine->pushText("one", false);
    ASSERT_TRUE(waitUntil([&] { return playingText() == "one"; }));
    engine->setPaused(true);
    EXPECT_TRUE(engine->paused()) << "paused only later";
    engine->pushItem({"welcome", SpeechKind::Welcome, "b"});
    engine->pushItem({"chat", SpeechKind::Chat, "a"});

    // "one" ends on its own; nothing else starts, and the waiting ones show in
    // the order they will play.
    ASSERT_TRUE(waitUntil([&] { return engine->snapshot().recent.size() == 1 && playingText().empty(); }));
    EXPECT_FALSE(waitUntil([&] { return !playingText().empty(); }, 200ms));
    auto snapshot = engine->snapshot();
    EXPECT_TRUE(snapshot.paused);
    EXPECT_EQ(texts(snapshot.waiting, true), (std::vector<std::string>{"welcome/b", "chat/a"}));
    EXPECT_EQ(snapshot.waiting[0].item.kind, SpeechKind::Welcome);
    EXPECT_LT(snapshot.waiting[0].id, snapshot.waiting[1].id);
    {
        std::lock_guard guard(lock);
        EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const auto& e) { return e.paused; }));
    }

    engine->setPaused(false);
    EXPECT_TRUE(waitUntil([&] { return engine->snapshot().recent.size() == 3; }));
    snapshot = engine->snapshot();
    EXPECT_EQ(texts(snapshot.recent), (std::vector<std::string>{"chat", "welcome", "one"}));
    EXPECT_FALSE(snapshot.paused);
    EXPECT_EQ(snapshot.recent[0].startedAt, 1'700'000'000);
}

// A thank-you carries its giver's name into the history: see
// MutingAndClearingDropTheGiftsInProgress.
TEST_F(ReaderControls, TheHistoryKeepsFifty) {
    start(1);
    for (int i = 0; i < 60; ++i) {
        engine->pushText("text " + std::to_string(i), false);
    }
    ASSERT_TRUE(waitUntil(
        [&] {
            auto recent = engine->snapshot().recent;
            return !recent.empty() && recent.front().item.text == "text 59";
        },
        20s));
    EXPECT_EQ(engine->snapshot().recent.size(), ReaderSnapshot::kRecent);
}

// Muting drops a viewer's lines wherever they are, the one playing included,
// and a skip cuts the playing file at once (each lasts 20 s); the file of
// each goes with it.
TEST_F(ReaderControls, SkippingAndMutingCutAtOnceAndTheirFilesGo) {
    start(20'000);
    engine->pushItem({"a1", SpeechKind::Chat, "muted"});
    engine->pushItem({"b1", SpeechKind::Chat, "other"});
    engine->pushItem({"a2", SpeechKind::Chat, "muted"});
    engine->pushItem({"a3", SpeechKind::Chat, "muted"});
    engine->pushItem({"b2", SpeechKind::Chat, "other"});
    // "a1" plays, finished files and queued texts wait behind it.
    ASSERT_TRUE(waitUntil([&] { return playingText() == "a1" && filesOnDisk() == 3; }));

    engine->dropViewer("muted");
    ASSERT_TRUE(waitUntil([&] { return playingText() == "b1"; }, 5s));
    // "b2" may be between the queue and its file for a moment: it is listed
    // again once synthesised.
    EXPECT_TRUE(
        waitUntil([&] { return texts(engine->snapshot().waiting) == std::vector<std::string>{"b2"}; }, 5s));
    engine->skip();
    ASSERT_TRUE(waitUntil([&] { return playingText() == "b2"; }, 5s));
    EXPECT_EQ(filesOnDisk(), 1u) << "a skipped or dropped file stayed on disk";
    // Skipping the last one leaves the reader idle.
    engine->skip();
    ASSERT_TRUE(waitUntil([&] { return engine->snapshot().recent.size() == 3 && playingText().empty(); }));
    EXPECT_EQ(filesOnDisk(), 0u);
    EXPECT_EQ(texts(engine->snapshot().recent, true),
              (std::vector<std::string>{"b2/other", "b1/other", "a1/muted"}));  // "a1" was cut short
}

// Gifts still being tallied are never thanked once their giver is muted or
// the queue is cleared (a room left behind), however long the quiet lasts.
TEST_F(ReaderControls, MutingAndClearingDropTheGiftsInProgress) {
    start(1);
    engine->addGift(GiftEvent("muted", "rose", 2));
    engine->addGift(GiftEvent("kept", "rose", 1));
    engine->addGift(GiftEvent("gone", "lily", 1));
    engine->dropViewer("muted");
    now += 10;
    ASSERT_TRUE(waitUntil([&] { return engine->snapshot().recent.size() >= 2; }));
    EXPECT_FALSE(waitUntil([&] { return engine->snapshot().recent.size() > 2; }, 200ms));
    std::vector<std::string> thanked = texts(engine->snapshot().recent, true);
    std::sort(thanked.begin(), thanked.end());
    ASSERT_EQ(thanked.size(), 2u);
    EXPECT_TRUE(thanked[0].ends_with("/gone") && thanked[1].ends_with("/kept")) << thanked[0];

    engine->addGift(GiftEvent("old room", "rose", 1));
    engine->clear();
    EXPECT_EQ(engine->tallySenders(), 0u);
    now += 10;
    EXPECT_FALSE(waitUntil([&] { return engine->snapshot().recent.size() > 2; }, 200ms));
}

// After a pause, chat lines that waited longer than allowed are dropped,
// both the texts still queued and the files made before the pause; newer
// lines, welcomes and a viewer's first line within the cooldown are read.
TEST_F(ReaderControls, OldChatAndChattyViewersAreNotRead) {
    start(1);
    SpeechSettings settings;
    settings.durationLimit = 0;
    settings.maxWait = 3;
    settings.viewerCooldown = 10;
    engine->applySettings(settings);
    engine->setPaused(true);
    for (const char* text : {"old1", "old2", "old3", "old4"}) {
        engine->pushItem({text, SpeechKind::Chat, text});
    }
    engine->pushItem({"welcome", SpeechKind::Welcome, "w"});
    ASSERT_TRUE(
        waitUntil([&] { return engine->snapshot().waiting.size() == 5 && engine->queuedTexts() <= 3; }));
    now += 5;
    engine->pushItem({"fresh", SpeechKind::Chat, "old1"});  // old1's cooldown still runs
    engine->pushItem({"fresh", SpeechKind::Chat, "new"});
    engine->pushItem({"again", SpeechKind::Chat, "new"});
    now += 1;
    engine->setPaused(false);
    ASSERT_TRUE(waitUntil([&] { return engine->snapshot().recent.size() >= 2; }));
    EXPECT_FALSE(waitUntil([&] { return engine->snapshot().recent.size() > 2; }, 200ms));
    EXPECT_EQ(texts(engine->snapshot().recent, true), (std::vector<std::string>{"fresh/new", "welcome/w"}));
    EXPECT_EQ(filesOnDisk(), 0u);
}

}  // namespace

// A device that is gone plays on the default, and the engine says so rather
// than reporting the chosen one.
TEST_F(ReaderControls, AGoneOutputDeviceIsReportedAsTheDefaultStandingIn) {
    start(100);
    const std::vector<std::string> names = engine->outputDevices();
    ASSERT_FALSE(names.empty());
    const std::pair<std::string, OutputDeviceResult> cases[] = {
        {names.front(), OutputDeviceResult::Named},
        {"USB 耳机 (已拔出)", OutputDeviceResult::FellBackToDefault},
        {"", OutputDeviceResult::Default},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(engine->selectOutputDevice(name), expected) << name;
        EXPECT_TRUE(engine->audioReady()) << name;
    }
}

// A synthesis that would run for minutes (the SDK never says it is done)
// ends at once when the host skips or clears it, mutes its viewer or closes
// the program; the next text is spoken. Its text never exceeded the ceiling.
TEST_F(ReaderControls, EveryControlStopsASynthesisUnderWay) {
    const std::pair<const char*, std::function<void()>> controls[] = {
        {"skip", [this] { engine->skip(); }},
        {"clear", [this] { engine->clear(); }},
        {"mute", [this] { engine->dropViewer("viewer1"); }},
        {"close", [this] { engine.reset(); }},
    };
    for (const auto& [name, control] : controls) {
        SCOPED_TRACE(name);
        start(100);
        sdk.with([](testing_support::FakeSdk& s) {
            s.steps = {{testing_support::FakeSdk::pcm(10), tts::kSynthContinue, 0}};
            s.endHints.clear();
            s.texts.clear();
        });
        engine->pushItem({std::string(3 << 20, 'x'), SpeechKind::Chat, "viewer1"});
        ASSERT_TRUE(waitUntil([&] { return sdk.with([](auto& s) { return s.texts.size(); }) == 1; }));
        EXPECT_EQ(sdk.with([](auto& s) { return s.texts[0].size(); }), kMaxAnnouncementChars);

        control();
        ASSERT_TRUE(waitUntil([&] { return sdk.with([](auto& s) { return s.endHints.size(); }) == 1; }));
        EXPECT_EQ(sdk.with([](auto& s) { return s.endHints[0]; }), "Cancelled");
        if (engine) {
            sdk.with([](testing_support::FakeSdk& s) {
                s.steps = {{testing_support::FakeSdk::pcm(100), tts::kSynthComplete, 0}};
            });
            engine->pushText("next", false);
            EXPECT_TRUE(waitUntil([&] { return playingText() == "next"; }));
            EXPECT_TRUE(engine->snapshot().recent.empty()) << "the stopped text never played";
        }
        engine.reset();
        EXPECT_EQ(filesOnDisk(), 0u);
    }
}
