#include "speech/synthesis.h"

#include <array>
#include <cstdio>

#include "sys/sys.h"

namespace speech {

namespace {

constexpr std::array<const char*, 16> kVoiceNames{
    "xiaoyan", "xiaoyan",  "yufeng",   "jinger",  "donaldduck", "baybyxu", "nannan", "xiaomeng",
    "xiaolin", "xiaoqian", "xiaorong", "xiaokun", "xiaoqiang",  "xiaomei", "dalong", "aisxa",
};

constexpr std::uint32_t kSampleRate = 16000;
constexpr std::uint32_t kHeaderBytes = 44;

void putLe32(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

void putLe16(unsigned char* at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

// 16-bit mono PCM at 16 kHz; both size fields 0 until the audio is complete.
std::array<unsigned char, kHeaderBytes> wavHeader() {
    std::array<unsigned char, kHeaderBytes> header{};
    auto* h = header.data();
    std::copy_n("RIFF", 4, h);
    std::copy_n("WAVE", 4, h + 8);
    std::copy_n("fmt ", 4, h + 12);
    putLe32(h + 16, 16);
    putLe16(h + 20, 1);
    putLe16(h + 22, 1);
    putLe32(h + 24, kSampleRate);
    putLe32(h + 28, kSampleRate * 2);
    putLe16(h + 32, 2);
    putLe16(h + 34, 16);
    std::copy_n("data", 4, h + 36);
    return header;
}

bool patchSize(std::FILE* file, long offset, std::uint32_t value) {
    unsigned char bytes[4];
    putLe32(bytes, value);
    return std::fseek(file, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, 4, file) == 4;
}

// Owns the output file: closes it, and deletes it unless the synthesis
// succeeded, so failed syntheses leave nothing behind.
class OutputFile {
  public:
    explicit OutputFile(std::string nativePath) : path_(std::move(nativePath)) {
        file_ = std::fopen(path_.c_str(), "wb");
    }
    ~OutputFile() {
        if (file_) {
            std::fclose(file_);
        }
        if (!kept_) {
            sys::deleteFile(path_);
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* get() const { return file_; }
    bool write(const void* data, std::size_t size) { return std::fwrite(data, 1, size, file_) == size; }
    // True when everything reached the disk.
    bool close() {
        bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return closed;
    }
    void keep() { kept_ = true; }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
    bool kept_ = false;
};

}  // namespace

const char* voiceNameForIndex(int voiceIndex) {
    if (voiceIndex < 0 || voiceIndex >= static_cast<int>(kVoiceNames.size())) {
        return kVoiceNames[0];
    }
    return kVoiceNames[static_cast<std::size_t>(voiceIndex)];
}

std::string buildSessionParams(int voiceIndex, int speed) {
    std::string params = "voice_name =";
    params += voiceNameForIndex(voiceIndex);
    params += ",text_encoding = gb2312, sample_rate = 16000, speed = ";
    params += std::to_string(speed);
    params += ", volume = 100, pitch =";
    params += "50";
    params += ", rdn = 2";
    return params;
}

int synthesizeToWav(tts::SpeechSdk& sdk, const std::string& text, const std::filesystem::path& path,
                    const std::string& params, const std::atomic<bool>* stop) {
    return synthesizeToWav(
        sdk, text, path, params, [](std::uint32_t ms) { sys::sleepMs(ms); }, stop);
}

int synthesizeToWav(tts::SpeechSdk& sdk, const std::string& text, const std::filesystem::path& path,
                    const std::string& params, const SleepFunction& sleep, const std::atomic<bool>* stop) {
    if (text.empty() || path.empty()) {
        return -1;
    }
    OutputFile file(path.string());
    if (!file.get()) {
        return -1;
    }
    int error = 0;
    tts::SessionHandle session = sdk.sessionBegin(params.c_str(), &error);
    if (error != 0) {
        return error;
    }
    error = sdk.textPut(session, text.data(), static_cast<unsigned>(text.size()), nullptr);
    if (error != 0) {
        sdk.sessionEnd(session, "TextPutError");
        return error;
    }
    auto header = wavHeader();
    bool written = file.write(header.data(), header.size());
    std::uint32_t audioBytes = 0;
    while (true) {
        if (stop && stop->load()) {
            sdk.sessionEnd(session, "Cancelled");
            return -1;
        }
        unsigned length = 0;
        int status = tts::kSynthContinue;
        const void* audio = sdk.audioGet(session, &length, &status, &error);
        if (error != 0) {
            std::fprintf(stderr, "QTTSAudioGet failed, error code: %d.\n", error);
            std::fflush(stderr);
            sdk.sessionEnd(session, "AudioGetError");
            return error;
        }
        if (audio && length > 0) {
            written = written && file.write(audio, length);
            audioBytes += length;
        }
        if (status == tts::kSynthComplete) {
            written =
                written && patchSize(file.get(), 4, 36 + audioBytes) && patchSize(file.get(), 40, audioBytes);
            int ended = sdk.sessionEnd(session, "Normal");
            written = file.close() && written;
            if (!written) {
                return -1;
            }
            if (audioBytes == 0) {
                return ended == 0 ? kNothingSpoken : ended;  // a file of silence would still take a turn
            }
            if (ended == 0) {
                file.keep();
            }
            return ended;
        }
        sleep(50);
    }
}

}  // namespace speech
