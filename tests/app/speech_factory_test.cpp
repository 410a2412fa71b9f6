// The program's own speech: the engine wired to the real synthesiser and the
// SDL output (the dummy driver here). Closing it while an announcement plays
// must not touch the synthesiser or the device after they are gone; the
// sanitizer build turns a wrong destruction order into a failure here.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "app/speech_factory.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;

TEST(ProgramSpeech, SpeaksThroughTheRealPartsAndClosesWhilePlaying) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);  // plays in real time, with or without a sound card
    testing_support::TempDir folder;
    const std::filesystem::path waves = folder.file("waves");
    boost::asio::io_context unused;
    auto speech = app::defaultSpeechFactory(waves)(unused);
    ASSERT_NE(speech, nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(waves));

    speech->applySettings(SpeechSettings{});
    ASSERT_EQ(speech->loginSdk(), 0) << "the synthesiser did not log in";
    std::atomic<int> taken{0}, playing{0};
    speech->setSpeakObserver([&](const std::string&) { ++taken; });
    speech->setReaderObserver([&](const ReaderState& state) {
        if (state.playing) {
            ++playing;
        }
    });
    for (int i = 0; i < 3; ++i) {
        speech->pushText(util::utf8ToLocal("主播今天的状态真不错啊"), false);
    }
    ASSERT_TRUE(testing_support::waitUntil([&] { return playing > 0; }, 20s))
        << "nothing played; " << taken << " texts taken for synthesis";
    speech.reset();  // one plays, the others wait: all of it is torn down now
    EXPECT_GE(taken.load(), 1);
}

}  // namespace
