// WAV reading, conversion and mixing without a device: the files external
// engines write, turned into what the device plays.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "../platforms/golden.h"
#include "audio_analysis.h"
#include "sdk/audio/mixer.h"
#include "sdk/audio/wav_file.h"
#include "temp_dir.h"
#include "wav_builder.h"

namespace {

using testing_support::chunk;
using testing_support::wavBytes;
using testing_support::WavSpec;

bool parse(const std::string& bytes, audio::WavAudio& out) {
    // An exactly sized copy, so a read past the end is caught by the sanitizers.
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
    return audio::parseWav(exact.data(), exact.size(), out);
}

WavSpec spec(int rate, int channels, bool isFloat = false) {
    WavSpec w;
    w.rate = rate;
    w.channels = channels;
    w.isFloat = isFloat;
    return w;
}

TEST(WavFile, ReadsWhatEnginesWriteAndRefusesWhatIsBroken) {
    const auto cases = testing_support::goldenCases("sdk/wav.golden");
    ASSERT_GE(cases.size(), 20u);
    for (const auto& c : cases) {
        audio::WavAudio wav;
        const std::string got = parse(c.in, wav) ? "ok " + std::to_string(wav.rate) + " Hz " +
                                                       std::to_string(wav.channels) + " ch " +
                                                       std::to_string(wav.frames()) + " frames"
                                                 : "refused";
        EXPECT_EQ(got, c.out) << c.in;
    }
}

// Within full scale, float samples are scaled as the output format test
// measures (its three-channel files are float).
TEST(WavFile, FloatSamplesBeyondFullScaleAreClipped) {
    WavSpec loud = spec(16000, 1, true);
    loud.amplitude = 1.5;  // beyond full scale, as some engines write
    audio::WavAudio wav;
    ASSERT_TRUE(parse(wavBytes(loud), wav));
    auto [low, high] = std::minmax_element(wav.samples.begin(), wav.samples.end());
    EXPECT_EQ(*high, 32767);
    EXPECT_EQ(*low, -32767);
}

// Zero crossings per second of one channel of interleaved stereo, halved.
double frequencyOf(const std::vector<std::int16_t>& stereo, int channel, int rate) {
    std::size_t crossings = 0;
    for (std::size_t i = 2 + static_cast<std::size_t>(channel); i < stereo.size(); i += 2) {
        crossings += (stereo[i - 2] < 0) != (stereo[i] < 0);
    }
    return static_cast<double>(crossings) / 2 / (static_cast<double>(stereo.size() / 2) / rate);
}

std::vector<std::int16_t> channelOf(const std::vector<std::int16_t>& stereo, int channel) {
    std::vector<std::int16_t> out;
    for (std::size_t i = static_cast<std::size_t>(channel); i < stereo.size(); i += 2)
        out.push_back(stereo[i]);
    return out;
}

TEST(OutputFormat, AnyCommonRateAndLayoutBecomesTheSameToneInStereoAt44100) {
    const double expectedRms = 0.4 * 32767 / std::sqrt(2.0);
    for (int rate : {8000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        for (int channels : {1, 2, 3}) {
            WavSpec w = spec(rate, channels, channels == 3);
            w.rightAmplitude = channels == 1 ? -1 : 0.2;
            audio::WavAudio wav;
            ASSERT_TRUE(parse(wavBytes(w), wav));
            auto out = audio::toOutputFormat(wav, 44100);
            const std::string name = std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels";
            EXPECT_NEAR(static_cast<double>(out.size() / 2), 0.5 * 44100, 2) << name;
            EXPECT_NEAR(frequencyOf(out, 0, 44100), 440, 440 * 0.01) << name;
            auto left = channelOf(out, 0), right = channelOf(out, 1);
            EXPECT_NEAR(testing_support::rms(left.data(), left.size()), expectedRms, expectedRms * 0.03)
                << name;
            const double rightRms = channels == 1 ? expectedRms : expectedRms / 2;
            EXPECT_NEAR(testing_support::rms(right.data(), right.size()), rightRms, rightRms * 0.03) << name;
        }
    }
}

struct Due {
    int calls = 0;
    static void callback(audio::SyncHandle, audio::StreamHandle, std::uint32_t, void* user) {
        ++static_cast<Due*>(user)->calls;
    }
};

// Mixes 10 ms blocks until `blocks` are done, running due callbacks (and
// resuming held streams) the way the device's dispatcher does.
std::vector<std::int16_t> mixBlocks(audio::Mixer& mixer, int blocks) {
    std::vector<std::int16_t> out;
    std::vector<audio::Mixer::DueCall> due;
    std::vector<audio::StreamHandle> started;
    for (int b = 0; b < blocks; ++b) {
        std::vector<std::int16_t> block(441 * 2);
        due.clear();
        mixer.mix(block.data(), 441, due, started);
        out.insert(out.end(), block.begin(), block.end());
        for (const auto& call : due) {
            call.callback(call.sync, call.stream, 0, call.user);
        }
    }
    return out;
}

std::size_t audibleFrames(const std::vector<std::int16_t>& stereo) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < stereo.size(); ++i) {
        if (std::abs(stereo[i]) > 300)
            last = i / 2 + 1;
    }
    return last;
}

// The duration cap the way playback sets it: a position in the file's own
// bytes, held until its callback has run (here it frees the stream).
TEST(Mixer, CapsAtASourceBytePositionAndAppliesTheGain) {
    WavSpec w = spec(48000, 2, true);
    w.seconds = 1.0;
    w.chunksBefore = {chunk("LIST", "INFOISFT\x05\0\0\0eng\0")};
    audio::WavAudio wav;
    ASSERT_TRUE(parse(wavBytes(w), wav));
    audio::Mixer mixer(44100);
    audio::StreamHandle stream = mixer.add(wav);
    const std::uint64_t bytes = mixer.sourceBytes(stream);
    EXPECT_EQ(bytes, 48000u * 8);
    EXPECT_DOUBLE_EQ(mixer.bytesToSeconds(stream, bytes), 1.0);

    struct Cut {
        audio::Mixer* mixer;
        int calls = 0;
        static void callback(audio::SyncHandle, audio::StreamHandle s, std::uint32_t, void* user) {
            auto* self = static_cast<Cut*>(user);
            ++self->calls;
            self->mixer->remove(s);
        }
    } cut{&mixer};
    Due end;
    ASSERT_NE(mixer.setSync(stream, audio::kSyncPosition, bytes * 3 / 10, &Cut::callback, &cut), 0u);
    ASSERT_NE(mixer.setSync(stream, audio::kSyncEnd, 0, &Due::callback, &end), 0u);
    mixer.setGain(stream, 0.5f);
    ASSERT_TRUE(mixer.play(stream, false));
    auto out = mixBlocks(mixer, 150);
    EXPECT_EQ(cut.calls, 1);
    EXPECT_EQ(end.calls, 0);  // freed at the cap: it never reaches its end
    EXPECT_NEAR(static_cast<double>(audibleFrames(out)), 0.3 * 44100, 441);
    auto left = channelOf(std::vector<std::int16_t>(out.begin(), out.begin() + 2 * 44100 / 4), 0);
    const double halfRms = 0.5 * 0.4 * 32767 / std::sqrt(2.0);
    EXPECT_NEAR(testing_support::rms(left.data(), left.size()), halfRms, halfRms * 0.03);
}

// A long file plays from disk through a buffer of a few blocks, and sounds
// exactly as the whole file converted at once: the blocks join seamlessly.
TEST(Mixer, LongFilesStreamFromDiskThroughABoundedBuffer) {
    testing_support::TempDir dir;
    for (const WavSpec& w : {spec(8000, 1), spec(48000, 2, true), spec(44100, 1)}) {
        WavSpec longer = w;
        longer.seconds = 5;
        const std::string bytes = wavBytes(longer);
        std::ofstream(dir.file("long.wav"), std::ios::binary) << bytes;
        audio::WavAudio whole;
        ASSERT_TRUE(parse(bytes, whole));
        const std::vector<std::int16_t> expected = audio::toOutputFormat(whole, 44100);

        auto reader = std::make_unique<audio::WavFileReader>();
        ASSERT_TRUE(reader->open(dir.file("long.wav")));
        audio::Mixer mixer(44100);
        audio::StreamHandle stream = mixer.add(std::move(reader));
        Due end;
        mixer.setSync(stream, audio::kSyncEnd, 0, &Due::callback, &end);
        std::size_t peak = 0;
        auto playThrough = [&](bool restart) {
            end.calls = 0;
            mixer.play(stream, restart);
            std::vector<std::int16_t> played;
            while (end.calls == 0 && played.size() <= expected.size()) {
                auto block = mixBlocks(mixer, 1);
                played.insert(played.end(), block.begin(), block.end());
                peak = std::max(peak, mixer.bufferedSamples(stream));
            }
            played.resize(expected.size());  // the last block is padded with silence
            return played;
        };
        const std::string name = std::to_string(w.rate) + " Hz, " + std::to_string(w.channels) + " channels";
        EXPECT_TRUE(playThrough(false) == expected) << name;
        EXPECT_TRUE(playThrough(true) == expected) << name << ", played again";
        EXPECT_EQ(end.calls, 1) << name;
        EXPECT_LT(peak, 64u * 1024) << name << ": " << expected.size() << " samples in all";
    }
}

}  // namespace
