#include "sdk/audio/sdl_audio_output.h"

#include <cstring>

namespace audio {

namespace {

constexpr int kBufferFrames = 512;  // about 12 ms at 44.1 kHz: short enough to cut playback precisely

}  // namespace

SdlAudioOutput::SdlAudioOutput() {
    due_.reserve(64);
    started_.reserve(64);
}

SdlAudioOutput::~SdlAudioOutput() {
    release();
}

bool SdlAudioOutput::init(int device, std::uint32_t frequency, std::uint32_t) {
    if (device_ != 0 || frequency == 0 || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    const char* name = device > 0 ? SDL_GetAudioDeviceName(device - 1, 0) : nullptr;
    bool opened = openNamed(name, frequency);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);  // the open device holds its own reference
    return opened;
}

std::vector<std::string> SdlAudioOutput::deviceNames() {
    std::vector<std::string> names;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return names;
    }
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        if (const char* name = SDL_GetAudioDeviceName(i, 0)) {
            names.emplace_back(name);
        }
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return names;
}

AudioOutput::DeviceOpened SdlAudioOutput::openDevice(const std::string& name, std::uint32_t frequency) {
    if (device_ != 0 || frequency == 0 || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return DeviceOpened::Failed;
    }
    DeviceOpened result = DeviceOpened::Failed;
    if (name.empty()) {
        result = openNamed(nullptr, frequency) ? DeviceOpened::Default : DeviceOpened::Failed;
    } else {
        // Only a listed name is tried: some drivers take any name and open
        // their default under it, which would hide that the device is gone.
        bool listed = false;
        for (int i = 0, count = SDL_GetNumAudioDevices(0); i < count && !listed; ++i) {
            const char* present = SDL_GetAudioDeviceName(i, 0);
            listed = present && name == present;
        }
        if (listed && openNamed(name.c_str(), frequency)) {
            result = DeviceOpened::Named;
        } else if (openNamed(nullptr, frequency)) {
            result = DeviceOpened::FellBackToDefault;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return result;
}

bool SdlAudioOutput::openNamed(const char* name, std::uint32_t frequency) {
    if (!mixer_) {
        mixer_ = std::make_unique<Mixer>(static_cast<int>(frequency));
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(frequency);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kChannels;
    wanted.samples = kBufferFrames;
    wanted.callback = &SdlAudioOutput::mixCallback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    {
        std::lock_guard guard(queueLock_);
        stopping_ = false;
    }
    dispatcher_ = std::thread(&SdlAudioOutput::dispatchLoop, this);
    // No format changes allowed: SDL converts to the device itself, so the
    // mixer (and a disk capture) always sees exactly this format.
    SDL_AudioDeviceID opened = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, 0);
    if (opened == 0) {
        {
            std::lock_guard guard(queueLock_);
            stopping_ = true;
        }
        queueReady_.notify_all();
        dispatcher_.join();
        return false;
    }
    SDL_InitSubSystem(SDL_INIT_AUDIO);  // released by release()
    device_ = opened;
    SDL_PauseAudioDevice(opened, 0);
    return true;
}

bool SdlAudioOutput::release() {
    SDL_AudioDeviceID device = device_.exchange(0);
    if (device == 0) {
        return false;
    }
    SDL_CloseAudioDevice(device);  // waits for the audio thread
    {
        std::lock_guard guard(queueLock_);
        stopping_ = true;
        calls_.clear();
    }
    queueReady_.notify_all();
    dispatcher_.join();
    mixer_->clear();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return true;
}

StreamHandle SdlAudioOutput::streamCreateFile(const std::string& nativePath) {
    if (device_ == 0) {
        return 0;
    }
    auto reader = std::make_unique<WavFileReader>();
    if (!reader->open(nativePath)) {
        return 0;
    }
    return mixer_->add(std::move(reader));
}

std::uint64_t SdlAudioOutput::channelGetLength(StreamHandle stream, std::uint32_t mode) {
    if (!mixer_ || mode != kLengthBytes) {
        return ~std::uint64_t{0};
    }
    return mixer_->sourceBytes(stream);
}

double SdlAudioOutput::channelBytesToSeconds(StreamHandle stream, std::uint64_t bytes) {
    return mixer_ ? mixer_->bytesToSeconds(stream, bytes) : -1;
}

SyncHandle SdlAudioOutput::channelSetSync(StreamHandle stream, std::uint32_t type, std::uint64_t parameter,
                                          SyncCallback callback, void* user) {
    return mixer_ ? mixer_->setSync(stream, type, parameter, callback, user) : 0;
}

bool SdlAudioOutput::channelPlay(StreamHandle stream, bool restart) {
    return device_ != 0 && mixer_->play(stream, restart);
}

bool SdlAudioOutput::channelSetVolume(StreamHandle stream, float gain) {
    return mixer_ && mixer_->setGain(stream, gain);
}

bool SdlAudioOutput::streamFree(StreamHandle stream) {
    if (!mixer_) {
        return false;
    }
    std::lock_guard callbacks(callbackLock_);
    return mixer_->remove(stream);
}

void SDLCALL SdlAudioOutput::mixCallback(void* self, Uint8* out, int length) {
    auto frames = static_cast<std::size_t>(length) / (sizeof(std::int16_t) * kChannels);
    static_cast<SdlAudioOutput*>(self)->mix(reinterpret_cast<std::int16_t*>(out), frames);
}

void SdlAudioOutput::mix(std::int16_t* out, std::size_t frames) {
    due_.clear();
    started_.clear();
    mixer_->mix(out, frames, due_, started_);
    if (!due_.empty()) {
        {
            std::lock_guard queue(queueLock_);
            calls_.insert(calls_.end(), due_.begin(), due_.end());
        }
        queueReady_.notify_one();
    }
    if (firstSampleHook_) {
        for (StreamHandle stream : started_) {
            firstSampleHook_(stream);
        }
    }
}

void SdlAudioOutput::dispatchLoop() {
    while (true) {
        Mixer::DueCall call;
        {
            std::unique_lock queue(queueLock_);
            queueReady_.wait(queue, [this] { return stopping_ || !calls_.empty(); });
            if (stopping_) {
                return;
            }
            call = calls_.front();
            calls_.pop_front();
        }
        std::lock_guard callbacks(callbackLock_);
        if (!mixer_->contains(call.stream)) {
            continue;  // freed after the sync was reached
        }
        call.callback(call.sync, call.stream, 0, call.user);
        mixer_->resume(call.stream);  // not freed by its callback: play on
    }
}

}  // namespace audio
