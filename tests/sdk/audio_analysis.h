// Reading and writing WAV files and measuring what is in them: loudness,
// pitch and spectrum. For tests only.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "wav_builder.h"

namespace testing_support {

inline std::vector<char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t le(const char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    }
    return v;
}

struct WavData {
    bool valid = false;  // 16-bit mono 16 kHz PCM, with both size fields matching the file
    int rate = 0;
    std::vector<std::int16_t> samples;
};

// A file with the 44-byte header the synthesis writes.
inline WavData readWav(const std::string& path) {
    WavData wav;
    auto b = readBytes(path);
    if (b.size() < 44 || std::string(&b[0], 4) != "RIFF" || std::string(&b[8], 8) != "WAVEfmt " ||
        std::string(&b[36], 4) != "data") {
        return wav;
    }
    std::uint32_t dataSize = le(&b[40], 4);
    wav.rate = static_cast<int>(le(&b[24], 4));
    wav.valid = le(&b[16], 4) == 16 && le(&b[20], 2) == 1 && le(&b[22], 2) == 1 && le(&b[24], 4) == 16000 &&
                le(&b[28], 4) == 32000 && le(&b[32], 2) == 2 && le(&b[34], 2) == 16 &&
                dataSize == b.size() - 44 && le(&b[4], 4) == 36 + dataSize;
    wav.samples.resize((b.size() - 44) / 2);
    std::memcpy(wav.samples.data(), &b[44], wav.samples.size() * 2);
    return wav;
}

// A 16-bit mono 16 kHz WAV file of a 440 Hz tone.
inline void writeToneWav(const std::string& path, double seconds, double amplitude = 12000) {
    WavSpec tone;
    tone.seconds = seconds;
    tone.amplitude = amplitude / 32767;
    std::ofstream(path, std::ios::binary) << wavBytes(tone);
}

inline double rms(const std::int16_t* samples, std::size_t count) {
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return count ? std::sqrt(sum / static_cast<double>(count)) : 0;
}

// Median fundamental frequency over the loud 40 ms frames (normalised
// autocorrelation peak between 60 and 500 Hz); 0 when nothing is voiced.
inline double medianPitchHz(const std::vector<std::int16_t>& s, int rate) {
    const std::size_t frame = static_cast<std::size_t>(rate) / 25, minLag = rate / 500u, maxLag = rate / 60u;
    double loudest = 0;
    for (std::size_t at = 0; at + frame <= s.size(); at += frame)
        loudest = std::max(loudest, rms(&s[at], frame));
    std::vector<double> pitches;
    for (std::size_t at = 0; at + frame + maxLag <= s.size(); at += frame / 2) {
        if (rms(&s[at], frame) < 0.2 * loudest)
            continue;
        double best = 0;
        std::size_t bestLag = 0;
        for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
            double cross = 0, e0 = 0, e1 = 0;
            for (std::size_t i = at; i < at + frame; ++i) {
                cross += static_cast<double>(s[i]) * s[i + lag];
                e0 += static_cast<double>(s[i]) * s[i];
                e1 += static_cast<double>(s[i + lag]) * s[i + lag];
            }
            if (double score = cross / std::sqrt(e0 * e1 + 1); score > best) {
                best = score;
                bestLag = lag;
            }
        }
        if (best > 0.6)
            pitches.push_back(static_cast<double>(rate) / static_cast<double>(bestLag));
    }
    if (pitches.empty())
        return 0;
    std::nth_element(pitches.begin(), pitches.begin() + static_cast<std::ptrdiff_t>(pitches.size() / 2),
                     pitches.end());
    return pitches[pitches.size() / 2];
}

// How far apart two sounds' long-term spectra are: the summed difference of
// each of 8 equal bands' share of the energy (0..2).
inline double spectrumDistance(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    constexpr std::size_t kFrame = 256;
    auto shares = [](const std::vector<std::int16_t>& s) {
        std::vector<double> bands(8);
        double total = 0;
        for (std::size_t at = 0; at + kFrame <= s.size(); at += kFrame) {
            for (std::size_t bin = 1; bin < kFrame / 2; ++bin) {
                double re = 0, im = 0;
                for (std::size_t i = 0; i < kFrame; ++i) {
                    double x = s[at + i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / kFrame));
                    re += x * std::cos(2 * M_PI * bin * i / kFrame);
                    im -= x * std::sin(2 * M_PI * bin * i / kFrame);
                }
                bands[bin * 8 / (kFrame / 2)] += re * re + im * im;
                total += re * re + im * im;
            }
        }
        return std::make_pair(bands, total);
    };
    auto [sa, ta] = shares(a);
    auto [sb, tb] = shares(b);
    double sum = 0;
    for (std::size_t i = 0; i < sa.size(); ++i)
        sum += std::abs(sa[i] / ta - sb[i] / tb);
    return sum;
}

}  // namespace testing_support
