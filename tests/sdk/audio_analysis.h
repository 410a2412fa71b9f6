// Reading WAV files and measuring what is in them: loudness, pitch, spectrum,
// and the played spans of a raw capture. For tests only.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testing_support {

struct WavData {
    bool valid = false;
    std::uint32_t riffSize = 0;  // the field at offset 4
    std::uint32_t dataSize = 0;  // the field at offset 40
    int rate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<std::int16_t> samples;
};

inline std::vector<char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t le32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    }
    return v;
}

inline std::uint16_t le16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                             << 8);
}

// A 44-byte-header PCM file as the synthesis writes it.
inline WavData readWav(const std::string& path) {
    WavData wav;
    auto bytes = readBytes(path);
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(&bytes[8], "WAVE", 4) != 0 || std::memcmp(&bytes[12], "fmt ", 4) != 0 ||
        std::memcmp(&bytes[36], "data", 4) != 0) {
        return wav;
    }
    wav.riffSize = le32(&bytes[4]);
    wav.dataSize = le32(&bytes[40]);
    wav.channels = le16(&bytes[22]);
    wav.rate = static_cast<int>(le32(&bytes[24]));
    wav.bits = le16(&bytes[34]);
    wav.samples.resize((bytes.size() - 44) / 2);
    std::memcpy(wav.samples.data(), &bytes[44], wav.samples.size() * 2);
    wav.valid =
        le16(&bytes[20]) == 1 && wav.dataSize == bytes.size() - 44 && wav.riffSize == 36 + wav.dataSize;
    return wav;
}

// A 16-bit mono WAV of a sine tone.
inline void writeToneWav(const std::string& path, double seconds, double frequency, int rate = 16000,
                         double amplitude = 12000) {
    auto count = static_cast<std::uint32_t>(seconds * rate);
    std::vector<std::int16_t> samples(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(amplitude * std::sin(2 * M_PI * frequency * i / rate));
    }
    std::uint32_t dataBytes = count * 2;
    char header[44] = {};
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<char>(v >> (8 * i));
    };
    auto put16 = [&](int at, std::uint16_t v) {
        header[at] = static_cast<char>(v);
        header[at + 1] = static_cast<char>(v >> 8);
    };
    std::memcpy(header, "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, static_cast<std::uint32_t>(rate));
    put32(28, static_cast<std::uint32_t>(rate * 2));
    put16(32, 2);
    put16(34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(40, dataBytes);
    std::ofstream out(path, std::ios::binary);
    out.write(header, 44);
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
}

inline double rms(const std::int16_t* samples, std::size_t count) {
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return count ? std::sqrt(sum / static_cast<double>(count)) : 0;
}

inline double rms(const std::vector<std::int16_t>& samples) {
    return rms(samples.data(), samples.size());
}

// Median fundamental frequency of the voiced 40 ms frames (normalised
// autocorrelation peak between 60 and 500 Hz); 0 when nothing is voiced.
inline double medianPitchHz(const std::vector<std::int16_t>& samples, int rate) {
    const std::size_t frame = static_cast<std::size_t>(rate) / 25;
    const std::size_t minLag = static_cast<std::size_t>(rate) / 500,
                      maxLag = static_cast<std::size_t>(rate) / 60;
    double loudest = 0;
    for (std::size_t at = 0; at + frame <= samples.size(); at += frame) {
        loudest = std::max(loudest, rms(&samples[at], frame));
    }
    std::vector<double> pitches;
    for (std::size_t at = 0; at + frame + maxLag <= samples.size(); at += frame / 2) {
        if (rms(&samples[at], frame) < 0.2 * loudest) {
            continue;
        }
        double energy = 0;
        for (std::size_t i = 0; i < frame; ++i) {
            energy += static_cast<double>(samples[at + i]) * samples[at + i];
        }
        double best = 0;
        std::size_t bestLag = 0;
        for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
            double sum = 0, lagged = 0;
            for (std::size_t i = 0; i < frame; ++i) {
                sum += static_cast<double>(samples[at + i]) * samples[at + i + lag];
                lagged += static_cast<double>(samples[at + i + lag]) * samples[at + i + lag];
            }
            double score = sum / std::sqrt(energy * lagged + 1);
            if (score > best) {
                best = score;
                bestLag = lag;
            }
        }
        if (best > 0.6 && bestLag) {
            pitches.push_back(static_cast<double>(rate) / static_cast<double>(bestLag));
        }
    }
    if (pitches.empty()) {
        return 0;
    }
    std::nth_element(pitches.begin(), pitches.begin() + static_cast<std::ptrdiff_t>(pitches.size() / 2),
                     pitches.end());
    return pitches[pitches.size() / 2];
}

// Long-term spectrum: the share of energy in each of 8 bands of equal width
// up to the Nyquist frequency (sums to 1).
inline std::array<double, 8> bandShares(const std::vector<std::int16_t>& samples) {
    constexpr std::size_t kFrame = 256;
    std::array<double, 8> bands{};
    std::vector<double> windowed(kFrame);
    for (std::size_t at = 0; at + kFrame <= samples.size(); at += kFrame) {
        for (std::size_t i = 0; i < kFrame; ++i) {
            windowed[i] = samples[at + i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / kFrame));
        }
        for (std::size_t bin = 1; bin < kFrame / 2; ++bin) {
            double re = 0, im = 0;
            for (std::size_t i = 0; i < kFrame; ++i) {
                re += windowed[i] * std::cos(2 * M_PI * bin * i / kFrame);
                im -= windowed[i] * std::sin(2 * M_PI * bin * i / kFrame);
            }
            bands[bin * 8 / (kFrame / 2)] += re * re + im * im;
        }
    }
    double total = 0;
    for (double b : bands)
        total += b;
    for (double& b : bands)
        b = total > 0 ? b / total : 0;
    return bands;
}

inline double spectrumDistance(const std::array<double, 8>& a, const std::array<double, 8>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += std::abs(a[i] - b[i]);
    }
    return sum;
}

}  // namespace testing_support
