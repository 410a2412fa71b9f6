#include "sdk/audio/wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

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

// Where the chunks put the audio.
struct Layout {
    Format format;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataBytes = 0;
};

// Reads `count` bytes at `offset` into `to`; false when they are not there.
using ReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* to, std::size_t count)>;

// A hostile file of tiny chunks would otherwise cost one read per 8 bytes.
constexpr int kMaxChunks = 4096;

// Walks the chunks of a file of `size` bytes. The RIFF size is ignored:
// engines that write to a pipe or get killed leave it 0 or wrong, and the
// chunks themselves say enough.
bool locate(std::uint64_t size, const ReadAt& readAt, Layout& out) {
    std::uint8_t riff[12];
    if (size < 12 || !readAt(0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool haveFormat = false, haveData = false;
    std::uint64_t at = 12;
    for (int chunks = 0; at + 8 <= size && chunks < kMaxChunks; ++chunks) {
        std::uint8_t header[8];
        if (!readAt(at, header, 8)) {
            return false;
        }
        const std::uint64_t declared = le32(header + 4);
        const std::uint64_t chunkSize = std::min(declared, size - at - 8);
        if (std::memcmp(header, "fmt ", 4) == 0) {
            std::uint8_t body[40];
            const auto bodySize = static_cast<std::size_t>(std::min<std::uint64_t>(chunkSize, sizeof body));
            haveFormat = readAt(at + 8, body, bodySize) && readFormat(body, bodySize, out.format);
            if (!haveFormat) {
                return false;
            }
        } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
            haveData = true;
            out.dataOffset = at + 8;
            out.dataBytes = chunkSize;
        }
        // Chunks are padded to an even size; the pad byte is not counted.
        at += 8 + chunkSize + (chunkSize & 1);
    }
    return haveFormat && haveData;
}

WavInfo infoOf(const Layout& layout) {
    WavInfo info;
    info.rate = layout.format.rate;
    info.channels = layout.format.channels;
    info.bytesPerSample = layout.format.bits / 8;
    info.frames = layout.dataBytes / static_cast<std::uint64_t>(layout.format.blockAlign);
    return info;
}

}  // namespace

bool parseWav(const std::uint8_t* bytes, std::size_t size, WavAudio& out) {
    if (!bytes) {
        return false;
    }
    Layout layout;
    auto readAt = [&](std::uint64_t offset, std::uint8_t* to, std::size_t count) {
        if (offset > size || count > size - offset) {
            return false;
        }
        std::memcpy(to, bytes + offset, count);
        return true;
    };
    if (!locate(size, readAt, layout)) {
        return false;
    }
    const WavInfo info = infoOf(layout);
    const std::uint8_t* data = bytes + layout.dataOffset;
    WavAudio audio;
    audio.rate = info.rate;
    audio.channels = info.channels;
    audio.bytesPerSample = info.bytesPerSample;
    audio.samples.resize(info.frames * static_cast<std::size_t>(info.channels));
    for (std::size_t i = 0; i < audio.samples.size(); ++i) {
        audio.samples[i] = toInt16(data + i * static_cast<std::size_t>(info.bytesPerSample), layout.format);
    }
    out = std::move(audio);
    return true;
}

bool WavFileReader::open(const std::string& nativePath) {
    std::unique_ptr<std::FILE, Closer> file(std::fopen(nativePath.c_str(), "rb"));
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const off_t size = ftello(file.get());
    if (size < 0) {
        return false;
    }
    auto readAt = [&](std::uint64_t offset, std::uint8_t* to, std::size_t count) {
        return fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) == 0 &&
               std::fread(to, 1, count, file.get()) == count;
    };
    Layout layout;
    if (!locate(static_cast<std::uint64_t>(size), readAt, layout)) {
        return false;
    }
    file_ = std::move(file);
    info_ = infoOf(layout);
    dataOffset_ = layout.dataOffset;
    formatTag_ = layout.format.tag;
    bits_ = layout.format.bits;
    rewind();
    return true;
}

void WavFileReader::rewind() {
    nextFrame_ = 0;
    if (file_ && fseeko(file_.get(), static_cast<off_t>(dataOffset_), SEEK_SET) != 0) {
        nextFrame_ = info_.frames;  // unreadable: nothing more to hand out
    }
}

std::size_t WavFileReader::read(std::int16_t* out, std::size_t frames) {
    Format format;
    format.tag = formatTag_;
    format.bits = bits_;
    const auto frameBytes = static_cast<std::size_t>(info_.channels * info_.bytesPerSample);
    const auto sampleBytes = static_cast<std::size_t>(info_.bytesPerSample);
    std::size_t done = 0;
    while (file_ && done < frames && nextFrame_ < info_.frames) {
        const std::size_t block = static_cast<std::size_t>(
            std::min<std::uint64_t>({frames - done, kBlockFrames, info_.frames - nextFrame_}));
        raw_.resize(block * frameBytes);
        const std::size_t got = std::fread(raw_.data(), frameBytes, block, file_.get());
        const std::size_t samples = got * static_cast<std::size_t>(info_.channels);
        std::int16_t* to = out + done * static_cast<std::size_t>(info_.channels);
        for (std::size_t i = 0; i < samples; ++i) {
            to[i] = toInt16(raw_.data() + i * sampleBytes, format);
        }
        done += got;
        nextFrame_ += got;
        if (got < block) {
            nextFrame_ = info_.frames;  // the file shrank under us: end here
        }
    }
    return done;
}

}  // namespace audio
