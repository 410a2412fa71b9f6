// Feeds arbitrary bytes to the WAV reader, and whatever it accepts to the
// conversion to the output format, as a file an external engine wrote would
// be. The input is copied to an exactly sized buffer so any read past it is
// caught.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/audio/mixer.h"
#include "sdk/audio/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> exact(data, data + size);
    audio::WavAudio wav;
    if (!audio::parseWav(exact.data(), exact.size(), wav)) {
        return 0;
    }
    // Long inputs at odd rates would only make the run slow, not find more.
    if (wav.frames() <= 20000) {
        (void)audio::toOutputFormat(wav, 44100);
    }
    return 0;
}
