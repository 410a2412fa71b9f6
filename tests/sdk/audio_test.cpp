// The audio output under SDL's dummy driver (real-time pace, no sound card).
// Playback tests cover the rest; this pins the guarantee they cannot see.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "audio_analysis.h"
#include "sdk/audio/sdl_audio_output.h"
#include "temp_dir.h"
#include "wait.h"

namespace {

struct Recorder {
    std::atomic<int> calls{0};
    std::atomic<bool> freed{false}, afterFree{false};

    static void callback(audio::SyncHandle, audio::StreamHandle, std::uint32_t, void* user) {
        auto* self = static_cast<Recorder*>(user);
        self->afterFree = self->afterFree || self->freed;
        ++self->calls;
    }
};

TEST(AudioOutput, NoCallbackRunsAfterItsStreamWasFreed) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testing_support::TempDir dir;
    testing_support::writeToneWav(dir.file("a.wav"), 0.05);
    audio::SdlAudioOutput audio;
    ASSERT_TRUE(audio.init(-1, 44100, 0));
    for (int round = 0; round < 10; ++round) {
        Recorder early, marker;
        audio::StreamHandle stream = audio.streamCreateFile(dir.file("a.wav"));
        audio::StreamHandle other = audio.streamCreateFile(dir.file("a.wav"));
        audio.channelSetSync(stream, audio::kSyncPosition, 0, &Recorder::callback, &early);
        audio.channelSetSync(other, audio::kSyncEnd, 0, &Recorder::callback, &marker);
        audio.channelPlay(stream, false);
        audio.channelPlay(other, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(round));  // vary where the free falls
        audio.streamFree(stream);
        early.freed = true;
        // Once the other stream has ended, a callback due for the freed one would have run.
        ASSERT_TRUE(testing_support::waitUntil([&] { return marker.calls == 1; }));
        EXPECT_FALSE(early.afterFree) << round;
        audio.streamFree(other);
    }
    EXPECT_TRUE(audio.release());
}

// A callback that frees its stream at a position cuts it there, even when the
// callback runs late (a busy machine): nothing past the position is played.
TEST(AudioOutput, StreamHoldsAtAPositionUntilItsCallbackHasRun) {
    testing_support::TempDir dir;
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", dir.file("played.raw").c_str(), 1);
    testing_support::writeToneWav(dir.file("tone.wav"), 1.0);
    struct Cut {
        audio::SdlAudioOutput* audio;
        std::atomic<bool> done{false};
        static void callback(audio::SyncHandle, audio::StreamHandle stream, std::uint32_t, void* user) {
            auto* self = static_cast<Cut*>(user);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            self->audio->streamFree(stream);
            self->done = true;
        }
    };
    audio::SdlAudioOutput audio;
    ASSERT_TRUE(audio.init(-1, 44100, 0));
    Cut cut{&audio};
    audio::StreamHandle stream = audio.streamCreateFile(dir.file("tone.wav"));
    ASSERT_NE(stream, 0u);
    audio.channelSetSync(stream, audio::kSyncPosition,
                         audio.channelGetLength(stream, audio::kLengthBytes) / 4, &Cut::callback, &cut);
    audio.channelPlay(stream, false);
    ASSERT_TRUE(testing_support::waitUntil([&] { return cut.done.load(); }));
    ASSERT_TRUE(audio.release());
    ::unsetenv("SDL_DISKAUDIOFILE");

    // First to last audible sample: a quarter of the one-second tone.
    auto bytes = testing_support::readBytes(dir.file("played.raw"));
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    std::size_t first = bytes.size(), last = 0;
    for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        if (std::abs(samples[i]) > 300) {
            first = std::min(first, i);
            last = i;
        }
    }
    ASSERT_LT(first, last);
    double seconds = static_cast<double>(last - first) / (44100.0 * 2);  // stereo
    EXPECT_NEAR(seconds, 0.25, 0.02);
}

}  // namespace
