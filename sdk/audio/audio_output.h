// The audio library seam: what playback needs of an audio library, in the
// shape of a small stream player. `SdlAudioOutput` is the real one.
//
// Guarantees every implementation gives:
// - a sync callback runs on the library's own thread, at most once per sync,
//   and never after streamFree of its stream has returned;
// - a callback may free its own stream (and create and play others);
// - streamFree stops the stream at once and releases the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

using StreamHandle = std::uint32_t;  // 0 = none
using SyncHandle = std::uint32_t;    // 0 = failed

enum SyncType : std::uint32_t {
    kSyncPosition = 0,  // when playback reaches the byte position given as parameter
    kSyncEnd = 2,       // when playback reaches the end (parameter unused)
};

enum LengthMode : std::uint32_t {
    kLengthBytes = 0,
};

// (sync, stream, data, user); data is 0.
using SyncCallback = void (*)(SyncHandle sync, StreamHandle stream, std::uint32_t data, void* user);

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;

    // Opens output `device` (-1 = the system's default) at `frequency` Hz.
    // Any thread, once, before anything else. True on success.
    virtual bool init(int device, std::uint32_t frequency, std::uint32_t flags) = 0;

    // The playback devices' names as the library reports them, for a choice
    // of output. Any thread.
    virtual std::vector<std::string> deviceNames() { return {}; }

    enum class DeviceOpened {
        Default,            // no name was asked for: the system's default
        Named,              // the device asked for
        FellBackToDefault,  // the named device is gone (or would not open): the default instead
        Failed,             // nothing could be opened
    };
    // Like init, on the device of that name (empty = the system's default).
    virtual DeviceOpened openDevice(const std::string& name, std::uint32_t frequency) {
        if (!init(-1, frequency, 0)) {
            return DeviceOpened::Failed;
        }
        return name.empty() ? DeviceOpened::Default : DeviceOpened::FellBackToDefault;
    }

    // Stops everything, frees every stream and closes the output. Any thread
    // but a callback's. No callback runs after it returns.
    virtual bool release() = 0;

    // Opens a WAV file by native path (UTF-8) and reads its header; the audio
    // is decoded as it plays. 0 on failure.
    virtual StreamHandle streamCreateFile(const std::string& nativePath) = 0;

    // Decoded length in bytes (mode kLengthBytes), in the file's own sample
    // format. Positions given to channelSetSync are in the same bytes.
    virtual std::uint64_t channelGetLength(StreamHandle stream, std::uint32_t mode) = 0;
    virtual double channelBytesToSeconds(StreamHandle stream, std::uint64_t bytes) = 0;

    virtual SyncHandle channelSetSync(StreamHandle stream, std::uint32_t type, std::uint64_t parameter,
                                      SyncCallback callback, void* user) = 0;

    // Starts (or resumes) playback; `restart` plays from the beginning.
    virtual bool channelPlay(StreamHandle stream, bool restart) = 0;

    // Linear gain of the stream, 0..1.
    virtual bool channelSetVolume(StreamHandle stream, float gain) = 0;

    virtual bool streamFree(StreamHandle stream) = 0;
};

}  // namespace audio
