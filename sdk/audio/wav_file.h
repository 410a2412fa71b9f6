// Reading WAV files as speech engines write them: 8-, 16-, 24- or 32-bit
// integer PCM or 32-bit float, any rate, any channel count, the chunks in any
// order ("LIST" and other chunks before or after "data"), odd-sized chunks
// padded. Hostile input is refused, never read past.
//
// Threads: any; nothing is shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

struct WavAudio {
    int rate = 0;                       // frames per second
    int channels = 0;                   // 1..kMaxWavChannels
    int bytesPerSample = 0;             // in the file, so byte positions keep the file's meaning
    std::vector<std::int16_t> samples;  // interleaved, converted to 16 bits

    std::uint64_t frames() const {
        return channels ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
    std::uint64_t sourceBytes() const {
        return frames() * static_cast<std::uint64_t>(channels * bytesPerSample);
    }
};

inline constexpr int kMaxWavChannels = 8;
inline constexpr int kMinWavRate = 1000;
inline constexpr int kMaxWavRate = 384000;
// Longer files are refused rather than held in memory whole (10 minutes of
// 48 kHz stereo float is about 230 MB).
inline constexpr std::size_t kMaxWavBytes = 256u << 20;

// Decodes a whole file's bytes. False, with `out` untouched, when the bytes
// are not a WAV file this reader knows; a "data" chunk that claims more than
// the file holds (an engine killed while writing) is read as far as it goes.
bool parseWav(const std::uint8_t* bytes, std::size_t size, WavAudio& out);

// Reads and decodes the file at a native path.
bool loadWavFile(const std::string& nativePath, WavAudio& out);

}  // namespace audio
