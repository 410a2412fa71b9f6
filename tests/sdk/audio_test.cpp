// The audio output under SDL's dummy driver: real-time pace, no sound card.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "audio_analysis.h"
#include "sdk/audio/sdl_audio_output.h"
#include "temp_dir.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;

class AudioOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(audio.init(-1, 44100, 0));
    }

    std::string tone(const std::string& name, double seconds) {
        std::string path = dir.file(name);
        testing_support::writeToneWav(path, seconds, 440);
        return path;
    }

    testing_support::TempDir dir;
    audio::SdlAudioOutput audio;
};

// Records each callback with the thread it ran on; optionally frees the stream.
struct Recorder {
    audio::AudioOutput* output = nullptr;
    bool freeFromCallback = false;
    std::atomic<int> calls{0};
    std::atomic<bool> onOtherThread{true};
    std::atomic<bool> afterFree{false};
    std::atomic<bool> freed{false};
    std::thread::id owner = std::this_thread::get_id();

    static void callback(audio::SyncHandle, audio::StreamHandle stream, std::uint32_t, void* user) {
        auto* self = static_cast<Recorder*>(user);
        if (self->freed) {
            self->afterFree = true;
        }
        if (std::this_thread::get_id() == self->owner) {
            self->onOtherThread = false;
        }
        if (self->freeFromCallback) {
            self->output->streamFree(stream);
        }
        ++self->calls;
    }
};

TEST_F(AudioOutputTest, ReportsDecodedLengthAndRejectsWhatItCannotOpen) {
    audio::StreamHandle stream = audio.streamCreateFile(tone("half.wav", 0.5));
    ASSERT_NE(stream, 0u);
    std::uint64_t bytes = audio.channelGetLength(stream, audio::kLengthBytes);
    EXPECT_EQ(bytes, 16000u);
    EXPECT_DOUBLE_EQ(audio.channelBytesToSeconds(stream, bytes), 0.5);
    EXPECT_TRUE(audio.streamFree(stream));
    EXPECT_FALSE(audio.streamFree(stream));

    std::ofstream(dir.file("bad.wav")) << "RIFF....WAVEjunk";
    EXPECT_EQ(audio.streamCreateFile(dir.file("bad.wav")), 0u);
    EXPECT_EQ(audio.streamCreateFile(dir.file("missing.wav")), 0u);
}

TEST_F(AudioOutputTest, PositionAndEndCallbacksFireOnceEachOnTheLibrarysThread) {
    Recorder position, end;
    audio::StreamHandle stream = audio.streamCreateFile(tone("short.wav", 0.2));
    ASSERT_NE(audio.channelSetSync(stream, audio::kSyncPosition, 3200, &Recorder::callback, &position), 0u);
    ASSERT_NE(audio.channelSetSync(stream, audio::kSyncEnd, 0, &Recorder::callback, &end), 0u);
    ASSERT_TRUE(audio.channelPlay(stream, false));
    ASSERT_TRUE(testing_support::waitUntil([&] { return end.calls == 1; }));
    EXPECT_EQ(position.calls, 1);
    EXPECT_TRUE(position.onOtherThread);
    EXPECT_TRUE(end.onOtherThread);
    EXPECT_TRUE(audio.streamFree(stream));
}

TEST_F(AudioOutputTest, ACallbackMayFreeItsOwnStreamWhichEndsTheOtherSync) {
    Recorder recorder;
    recorder.output = &audio;
    recorder.freeFromCallback = true;
    audio::StreamHandle stream = audio.streamCreateFile(tone("cut.wav", 1.0));
    audio.channelSetSync(stream, audio::kSyncPosition, 1600, &Recorder::callback, &recorder);
    audio.channelSetSync(stream, audio::kSyncEnd, 0, &Recorder::callback, &recorder);
    audio.channelPlay(stream, false);
    ASSERT_TRUE(testing_support::waitUntil([&] { return recorder.calls == 1; }));
    EXPECT_FALSE(audio.streamFree(stream));  // already gone

    // A marker stream longer than the cut one's remaining second shows the end sync never came.
    Recorder marker;
    audio::StreamHandle after = audio.streamCreateFile(tone("marker.wav", 1.0));
    audio.channelSetSync(after, audio::kSyncEnd, 0, &Recorder::callback, &marker);
    audio.channelPlay(after, false);
    ASSERT_TRUE(testing_support::waitUntil([&] { return marker.calls == 1; }));
    EXPECT_EQ(recorder.calls, 1);
}

TEST_F(AudioOutputTest, NoCallbackRunsAfterItsStreamWasFreed) {
    for (int round = 0; round < 10; ++round) {
        Recorder early, marker;
        audio::StreamHandle stream = audio.streamCreateFile(tone("a.wav", 0.05));
        audio::StreamHandle other = audio.streamCreateFile(tone("b.wav", 0.05));
        audio.channelSetSync(stream, audio::kSyncPosition, 0, &Recorder::callback, &early);
        audio.channelSetSync(other, audio::kSyncEnd, 0, &Recorder::callback, &marker);
        audio.channelPlay(stream, false);
        audio.channelPlay(other, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(round));  // vary where the free falls
        audio.streamFree(stream);
        early.freed = true;
        ASSERT_TRUE(testing_support::waitUntil([&] { return marker.calls == 1; }));
        EXPECT_FALSE(early.afterFree) << round;
        audio.streamFree(other);
    }
}

TEST_F(AudioOutputTest, ReleaseStopsEverything) {
    Recorder end;
    audio::StreamHandle stream = audio.streamCreateFile(tone("long.wav", 2.0));
    audio.channelSetSync(stream, audio::kSyncEnd, 0, &Recorder::callback, &end);
    audio.channelPlay(stream, false);
    EXPECT_TRUE(audio.release());
    EXPECT_FALSE(audio.release());
    EXPECT_EQ(audio.streamCreateFile(tone("again.wav", 0.1)), 0u);
    EXPECT_EQ(end.calls, 0);
}

}  // namespace
