// Feeds arbitrary bytes to the spoken form, the one pass every chat line goes
// through before synthesis. The output is itself spoken form: a second pass
// must leave it as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sdk/tts/spoken_form.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char> exact(data, data + size);  // exactly sized: a read past it is caught
    const std::string spoken = tts::spokenForm(std::string_view(exact.data(), exact.size()));
    if (tts::spokenForm(spoken) != spoken) {
        std::abort();
    }
    return 0;
}
