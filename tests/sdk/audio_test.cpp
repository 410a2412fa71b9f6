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

}  // namespace
