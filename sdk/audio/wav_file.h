// Reading WAV files as speech engines write them: 8-, 16-, 24- or 32-bit
// integer PCM or 32-bit float, any rate, any channel count, the chunks in any
// order ("LIST" and other chunks before or after "data"), odd-sized chunks
// padded. Hostile input is refused, never read past.
//
// Threads: any; nothing is shared. A reader belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace audio {

// What the header says about the audio.
struct WavInfo {
    int rate = 0;              // frames per second
    int channels = 0;          // 1..kMaxWavChannels
    int bytesPerSample = 0;    // in the file, so byte positions keep the file's meaning
    std::uint64_t frames = 0;  // whole frames the data chunk holds (as far as the file goes)

    std::uint64_t sourceBytes() const {
        return frames * static_cast<std::uint64_t>(channels) * static_cast<std::uint64_t>(bytesPerSample);
    }
};

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

// Decodes a whole file's bytes held in memory. False, with `out` untouched,
// when the bytes are not a WAV file this reader knows; a "data" chunk that
// claims more than the file holds (an engine killed while writing) is read as
// far as it goes.
bool parseWav(const std::uint8_t* bytes, std::size_t size, WavAudio& out);

// Samples handed out a block at a time, interleaved and converted to 16 bits.
class WavSource {
  public:
    virtual ~WavSource() = default;
    const WavInfo& info() const { return info_; }
    // Up to `frames` frames into `out` (room for frames * channels samples);
    // returns how many. 0 at the end, or when the file can no longer be read.
    virtual std::size_t read(std::int16_t* out, std::size_t frames) = 0;
    // Back to the first frame.
    virtual void rewind() = 0;

  protected:
    WavInfo info_;
};

// Reads a WAV file from disk as the player pulls it: only the header is read
// on open, then each read takes just the bytes it converts, so a file of any
// length costs one block of memory.
class WavFileReader : public WavSource {
  public:
    // Largest block a read converts at once; a longer read loops.
    static constexpr std::size_t kBlockFrames = 4096;

    // False when the file cannot be opened or is not a WAV file this reader knows.
    bool open(const std::string& nativePath);
    std::size_t read(std::int16_t* out, std::size_t frames) override;
    void rewind() override;

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::uint64_t dataOffset_ = 0;
    std::uint32_t formatTag_ = 0;
    int bits_ = 0;
    std::uint64_t nextFrame_ = 0;
    std::vector<std::uint8_t> raw_;  // one block of the file's bytes
};

}  // namespace audio
