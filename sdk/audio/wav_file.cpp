#include "sdk/audio/wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace audio {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

std::uint32_t le16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::uint32_t le32(const std::uint8_t* p) {
    return le16(p) | le16(p + 2) << 16;
}

struct Format {
    std::uint32_t tag = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int blockAlign = 0;
};

bool readFormat(const std::uint8_t* p, std::size_t size, Format& f) {
    if (size < 16) {
        return false;
    }
    f.tag = le16(p);
    f.channels = static_cast<int>(le16(p + 2));
    f.rate = static_cast<int>(std::min<std::uint32_t>(le32(p + 4), INT32_MAX));
    f.blockAlign = static_cast<int>(le16(p + 12));
    f.bits = static_cast<int>(le16(p + 14));
    if (f.tag == kFormatExtensible) {
        // The sub-format GUID's first two bytes carry the plain format tag.
        if (size < 40) {
            return false;
        }
        f.tag = le16(p + 24);
    }
    const bool known =
        (f.tag == kFormatPcm && (f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32)) ||
        (f.tag == kFormatFloat && f.bits == 32);
    return known && f.channels >= 1 && f.channels <= kMaxWavChannels && f.rate >= kMinWavRate &&
           f.rate <= kMaxWavRate && f.blockAlign == f.channels * f.bits / 8;
}

std::int16_t toInt16(const std::uint8_t* p, const Format& f) {
    if (f.tag == kFormatFloat) {
        float value;
        std::memcpy(&value, p, sizeof value);  // IEEE little-endian, as the host's
        if (!std::isfinite(value)) {
            return 0;
        }
        return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
    }
    switch (f.bits) {
        case 8:
            return static_cast<std::int16_t>((static_cast<int>(p[0]) - 128) * 256);
        case 16:
            return static_cast<std::int16_t>(le16(p));
        default:
            return static_cast<std::int16_t>(le16(p + f.bits / 8 - 2));  // the top two bytes
    }
}

}  // namespace

bool parseWav(const std::uint8_t* bytes, std::size_t size, WavAudio& out) {
    if (!bytes || size < 12 || size > kMaxWavBytes || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0) {
        return false;
    }
    Format format;
    bool haveFormat = false;
    const std::uint8_t* data = nullptr;
    std::size_t dataSize = 0;
    std::size_t at = 12;
    // The RIFF size is ignored: engines that write to a pipe or get killed
    // leave it 0 or wrong, and the chunks themselves say enough.
    while (at + 8 <= size) {
        const std::uint8_t* header = bytes + at;
        const std::size_t declared = le32(header + 4);
        const std::size_t available = size - at - 8;
        const std::size_t chunkSize = std::min(declared, available);
        const std::uint8_t* body = header + 8;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            haveFormat = readFormat(body, chunkSize, format);
            if (!haveFormat) {
                return false;
            }
        } else if (std::memcmp(header, "data", 4) == 0 && !data) {
            data = body;
            dataSize = chunkSize;
        }
        // Chunks are padded to an even size; the pad byte is not counted.
        at += 8 + chunkSize + (chunkSize & 1);
    }
    if (!haveFormat || !data) {
        return false;
    }
    const auto frameBytes = static_cast<std::size_t>(format.blockAlign);
    const std::size_t frames = dataSize / frameBytes;
    const int sampleBytes = format.bits / 8;
    WavAudio audio;
    audio.rate = format.rate;
    audio.channels = format.channels;
    audio.bytesPerSample = sampleBytes;
    audio.samples.resize(frames * static_cast<std::size_t>(format.channels));
    for (std::size_t i = 0; i < audio.samples.size(); ++i) {
        audio.samples[i] = toInt16(data + i * static_cast<std::size_t>(sampleBytes), format);
    }
    out = std::move(audio);
    return true;
}

bool loadWavFile(const std::string& nativePath, WavAudio& out) {
    std::ifstream in(nativePath, std::ios::binary | std::ios::ate);
    if (!in) {
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 12 || static_cast<std::uint64_t>(size) > kMaxWavBytes) {
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        return false;
    }
    return parseWav(bytes.data(), bytes.size(), out);
}

}  // namespace audio
