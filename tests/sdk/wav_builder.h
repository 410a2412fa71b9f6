// Builds WAV files of any layout the external engines write, for tests: the
// format, extra chunks before the audio, odd-sized chunks.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testing_support {

struct WavSpec {
    int rate = 16000;
    int channels = 1;
    bool isFloat = false;  // 32-bit float, else 16-bit PCM
    double seconds = 0.5;
    double frequency = 440;
    double amplitude = 0.4;                 // of full scale, left channel (and mono)
    double rightAmplitude = -1;             // of full scale; negative: as the left
    std::vector<std::string> chunksBefore;  // raw chunks (id + size + body) before "data"
};

inline std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}
inline std::string le16(std::uint16_t v) {
    return le32(v).substr(0, 2);
}

// A chunk with its pad byte when `body` has an odd size.
inline std::string chunk(const std::string& id, const std::string& body) {
    return id + le32(static_cast<std::uint32_t>(body.size())) + body +
           (body.size() % 2 ? std::string(1, '\0') : "");
}

inline std::string wavBytes(const WavSpec& w) {
    const int bytes = w.isFloat ? 4 : 2;
    std::string fmt = le16(w.isFloat ? 3 : 1) + le16(static_cast<std::uint16_t>(w.channels)) +
                      le32(static_cast<std::uint32_t>(w.rate)) +
                      le32(static_cast<std::uint32_t>(w.rate * w.channels * bytes)) +
                      le16(static_cast<std::uint16_t>(w.channels * bytes)) +
                      le16(static_cast<std::uint16_t>(8 * bytes));
    std::string data;
    const auto frames = static_cast<std::size_t>(w.seconds * w.rate);
    for (std::size_t i = 0; i < frames; ++i) {
        double wave = std::sin(2 * M_PI * w.frequency * static_cast<double>(i) / w.rate);
        for (int c = 0; c < w.channels; ++c) {
            double level = (c == 1 && w.rightAmplitude >= 0) ? w.rightAmplitude : w.amplitude;
            if (w.isFloat) {
                float value = static_cast<float>(level * wave);
                std::uint32_t raw;
                std::memcpy(&raw, &value, 4);
                data += le32(raw);
            } else {
                data += le16(
                    static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(level * wave * 32767))));
            }
        }
    }
    std::string body = "WAVE" + chunk("fmt ", fmt);
    for (const auto& c : w.chunksBefore)
        body += c;
    body += chunk("data", data);
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

}  // namespace testing_support
