// Arbitrary bytes cut into WebSocket messages (each led by a one-byte length,
// so the fuzzer chooses the cuts), fed to the frame reader; every frame it
// hands out goes on to the event parser.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platforms/douyuws/douyuws_messages.h"
#include "platforms/douyuws/frame_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    douyuws::FrameReader reader;
    std::string text;
    std::size_t at = 0;
    while (at < input.size()) {
        std::size_t length = static_cast<unsigned char>(input[at++]);
        // A zero length sends the rest whole, so large frames are reachable.
        std::string_view message = input.substr(at, length == 0 ? std::string_view::npos : length);
        at += message.size();
        reader.append(message);
        douyuws::FrameReader::Result result;
        while ((result = reader.next(text)) == douyuws::FrameReader::Result::Frame) {
            (void)douyuws::parseEvent(text);
        }
        if (result == douyuws::FrameReader::Result::Broken) {
            break;
        }
    }
    (void)douyuws::parseEvent(input);
    return 0;
}
